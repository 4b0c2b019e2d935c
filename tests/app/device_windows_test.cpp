// The rules behind the device control window and the property dialog: the
// fixed button ids whichever rows exist, enabling, the report fields as read
// at login, the report page's Apply (which fields each model's device takes;
// a change the device has no register or key for is neither sent nor taken
// for written), and how an accepted property form lands in the record.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/control_window.h"
#include "app/property_dialog.h"
#include "connection/device_settings.h"
#include "tests/support/scripted_devices.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

std::vector<int> idsOf(const std::vector<PowerButton>& buttons) {
    std::vector<int> ids;
    for (const PowerButton& b : buttons) ids.push_back(b.id);
    return ids;
}

TEST(ControlButtons, IdsStayFixedWhicheverRowsExist) {
    const std::vector<int> noMasterOne = {3002, 3003, 3004, 3026, 3027, 3028};
    EXPECT_EQ(idsOf(powerButtons(false, 1)), noMasterOne);
    EXPECT_EQ(idsOf(powerButtons(true, 1)),
              (std::vector<int>{3000, 3001, 3002, 3003, 3004, 3026, 3027, 3028}));
    const std::vector<int> four = idsOf(powerButtons(true, 4));
    ASSERT_EQ(four.size(), 2u + 12u + 3u);
    EXPECT_EQ(four[13], 3013);                              // outlet 4's RESET
    EXPECT_EQ(four[14], 3026);                              // all outlets follow outlet 4 at once
    EXPECT_EQ(idsOf(powerButtons(false, 12)).size(), 27u);  // cut to 8 outlets
}

TEST(ControlButtons, EachIdSendsItsOutletsCommand) {
    // target, action (0 on, 1 off, 2 reset), command
    const std::pair<int, const char*> rows[] = {
        {3000, "master 0 MPON"}, {3001, "master 1 MPOF"}, {3002, "1 0 PON1"},  {3012, "4 1 POF4"},
        {3025, "8 2 POR8"},      {3027, "all 1 POF0"},    {3028, "all 2 POR0"}};
    for (const auto& [id, expected] : rows) {
        const auto b = powerButtonOf(id);
        ASSERT_TRUE(b) << id;
        const std::string target = b->target == OutletTarget::Master ? "master"
                                   : b->target == OutletTarget::All  ? "all"
                                                                     : std::to_string(b->outlet);
        EXPECT_EQ(target + " " + std::to_string(int(b->action)) + " " + std::string(b->command),
                  expected);
    }
    EXPECT_FALSE(powerButtonOf(2999));
    EXPECT_FALSE(powerButtonOf(3029));
}

class ControlModelTest : public ::testing::Test {
protected:
    ControlModelTest() : tw("unused/") {
        tw.session().record.modelCode = 3;
        tw.session().status.outletCount = 2;
        model.open();
    }
    bool on(int id) { return model.enabled(*powerButtonOf(id)); }
    test::TestWorkspace tw;
    ControlModel model{tw.session()};
};

TEST_F(ControlModelTest, MasterOffDisablesTheOutletsAndLocksDisableOff) {
    DeviceStatus& st = tw.session().status;
    st.outlets[1].offLock = true;
    struct Row {
        int master;
        bool unitLock;
        // 3000 3001 | outlet 1 ON OFF RESET | outlet 2 OFF | all ON OFF
        std::array<bool, 8> expected;
    };
    for (const Row& r :
         {Row{1, false, {1, 1, 1, 1, 1, 0, 1, 1}}, Row{0, false, {1, 1, 0, 0, 0, 0, 0, 0}},
          Row{-1, false, {1, 1, 1, 1, 1, 0, 1, 1}}, Row{1, true, {1, 0, 1, 0, 1, 0, 1, 0}}}) {
        SCOPED_TRACE(testing::Message() << "master " << r.master << " lock " << r.unitLock);
        st.masterState = r.master;
        model.unitOffLock = {false, r.unitLock};
        const int ids[] = {3000, 3001, 3002, 3003, 3004, 3006, 3026, 3027};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(on(ids[i]), r.expected[i]) << ids[i];
    }
}

TEST_F(ControlModelTest, TheTimerReadsWhatACommandLeftInTheRingAndTellsALossOnce) {
    DeviceSession& s = tw.session();
    s.record.selectNumber = "00";
    s.record.prompt = "HX";
    ASSERT_EQ(s.connection.connectToDevice(0x0A000001, 23), StepResult::Ok);
    test::ScriptedStream& device = tw.net.last();
    // A command's send has waited for its reply: the lines are in the ring.
    device.deliver("*00:MPOS=0,1:0,0:0,\r\n00:HX>");
    ASSERT_EQ(s.connection.receiveChunk(1'000'000) > 0, true);
    s.status.masterState = 1;
    model.poll();
    EXPECT_EQ(s.status.masterState, 0);
    EXPECT_FALSE(on(3002));
    EXPECT_NE(std::find(tw.view.redrawnOutlets.begin(), tw.view.redrawnOutlets.end(), -1),
              tw.view.redrawnOutlets.end());
    // While a reply wait runs the timer leaves the connection alone.
    device.closeAfter();
    s.dialogueIdle = false;
    model.poll();
    EXPECT_EQ(tw.view.losses, 0);
    s.dialogueIdle = true;
    model.poll();
    model.poll();
    EXPECT_EQ(tw.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
}

// The report page's header follows the model; the rows stop at eight outlets.
TEST_F(ControlModelTest, ReportHeaderAndRowsFollowTheDevice) {
    DeviceSession& s = tw.session();
    s.record.modelCode = 13;
    EXPECT_EQ(model.reportHeaderText(), Text::MsrpReport);
    s.record.modelCode = 8;
    EXPECT_EQ(model.reportHeaderText(), Text::CenterReport);
    for (const auto& [reported, rows] : {std::pair{2, 2}, {-3, 0}, {20, 8}}) {
        s.status.outletCount = reported;
        EXPECT_EQ(model.outletCount(), rows) << reported;
    }
}

// Outlet names come from the settings, else from the registers 0x880 on.
// The info page names the product from the identification or else the
// settings, and shows the outlets' types, the bar under them and the ports.
TEST_F(ControlModelTest, OutletNamesAndTheInfoPage) {
    DeviceRecord& r = tw.session().record;
    DeviceStatus& st = tw.session().status;
    st.settings.debOlName[0] = "Web";
    for (const std::uint16_t reg : {0x880, 0x881, 0x884})
        st.registers[reg].text = "R" + std::to_string(reg - 0x880);
    std::string names;
    for (int o = 0; o <= 9; ++o) names += model.outletName(o) + ",";
    EXPECT_EQ(names, ",Web,R1,,,R4,,,,,");

    r.macText = "0080870A0B0C";
    st.settings.model = "SWD-12K";
    st.settings.version = "2.10";
    st.outlets[0].type = st.outlets[2].type = 0x11;
    const auto page = [&](int code, int outlets) {
        r.modelCode = code;
        st.outletCount = outlets;
        const InfoPage p = infoPageOf(r, st);
        std::string text = p.productName + " " + p.macAddress + " " + p.softwareVersion + " ";
        for (int i = 0; i < p.physicalOutlets; ++i)
            text += p.standardOutlet[std::size_t(i)] ? "S" : "-";
        text += " " + p.barText + " |";
        for (const InfoIcon& i : p.ports)
            text += " " + std::to_string(i.iconResource) + " " + i.line1 + " " + i.line2;
        return text;
    };
    EXPECT_EQ(page(11, 1),
              "SWD-12K 00:80:87:0A:0B:0C 2.10 S  | 730 COM  730 LAN 10M 735 TEMP  735 AUX ");
    EXPECT_EQ(page(13, 3),
              "SWD-12K 00:80:87:0A:0B:0C 2.10 S-S TOTAL MAX 15A | 730 COM  730 LAN 10M 735 TEMP  "
              "735 AUX ");
    st.modelNameText = "HX-7200";
    st.firmwareText = "3.14.12";
    EXPECT_EQ(page(3, 12),
              "HX-7200 00:80:87:0A:0B:0C 3.14.12 S-S----- TOTAL MAX 15A | 729 COM  730 LAN 10M");
}

TEST(ReportFields, FramedFromRegistersPlainFromSettings) {
    DeviceStatus st;
    st.settings.ipAdCenter = {"10.1.1.1", "10.2.2.2", "a-very-long-host-name.example"};
    st.settings.centerPort = {5000, 5001, 123456};
    st.settings.centerSendTimer = 60;
    st.settings.msrpEnabled = true;
    const ReportFields plain = reportFieldsOf(st, 13);
    EXPECT_TRUE(plain.enabled);
    const std::array<std::string, 7> plainText = {"10.1.1.1",           "5000",  "10.2.2.2", "5001",
                                                  "a-very-long-host-n", "12345", "60"};
    EXPECT_EQ(plain.text, plainText);

    st.registers[0x230] = {RegisterForm::Number, 0, 0, ""};
    st.registers[0x231] = {RegisterForm::Text, 0, 0, "192.168.0.7"};
    st.registers[0x232] = {RegisterForm::Number, 6000, 0, ""};
    st.registers[0x233] = {RegisterForm::Tenths, 305, 0, ""};
    const ReportFields framed = reportFieldsOf(st, 3);
    EXPECT_FALSE(framed.enabled);
    EXPECT_EQ(framed.text[0] + " " + framed.text[1] + " " + framed.text[6],
              "192.168.0.7 6000 30.5");
    st.registers[0x233].number = 600;
    EXPECT_EQ(reportFieldsOf(st, 5).text[6], "60");
}

TEST(PropertyLayout, PerModelGroup) {
    // group row, prompt shown/enabled, select shown/enabled, login, user, system name; MAC
    // label and limit
    const std::pair<int, const char*> rows[] = {
        {3, "01111000 139/17"},  {4, "01110100 139/17"}, {5, "01111000 139/17"},
        {7, "00101011 152/5"},   {10, "00101011 152/5"}, {11, "00101011 139/20"},
        {13, "00101011 139/20"}, {1, "01010100 139/17"}, {2, "1"}};
    for (const auto& [code, expected] : rows) {
        const PropertyLayout l = propertyLayoutOf(code);
        std::string got;
        for (bool b : {l.groupRow, l.showPrompt, l.promptEnabled, l.showSelect, l.selectEnabled,
                       l.loginEnabled, l.showUser, l.showSystemName})
            got += b ? '1' : '0';
        got +=
            " " + std::to_string(static_cast<int>(l.macLabel)) + "/" + std::to_string(l.macLimit);
        EXPECT_EQ(got.substr(0, std::string(expected).size()), expected) << code;
    }
}

DeviceRecord gv2208() {
    DeviceRecord r;
    r.name = "gv";
    r.modelCode = 13;
    r.password = "pw";
    r.loginName = "admin";
    r.prompt = "HX";
    r.selectNumber = "07";
    r.addressText = "10.0.0.1";
    r.port = 23;
    r.macText = "0090CC000001";
    r.unitId = 4;
    r.systemName = "gvsys";
    return r;
}

// Every field of the dialog, in its order.
std::string form(const PropertyForm& f) {
    return f.name + "|" + std::to_string(f.modelSelection) + (f.login ? "|login|" : "||") +
           f.password + "|" + f.user + "|" + f.prompt + " " + f.select + "|" + f.address + ":" +
           f.port + "|" + f.mac + "|" + f.systemName;
}

TEST(PropertyForm, OpensWithTheRecordsFields) {
    DeviceRecord r = gv2208();
    EXPECT_EQ(form(propertyFormOf(r)),
              "gv|10|login|pw|admin|HX 07|10.0.0.1:23|00:90:CC:00:00:01|gvsys");
    r.modelCode = 8, r.password.clear(), r.loginName.clear();
    const PropertyForm u = propertyFormOf(r);
    EXPECT_EQ(form(u), "gv|5||||HX 07|10.0.0.1:23|4|gvsys");  // the terminal id in the MAC field
    EXPECT_FALSE(userEnabled(u, 8));
    r.modelCode = 0;
    EXPECT_EQ(propertyFormOf(r).modelSelection, -1);
}

// What an accepted form leaves: name|MAC|unit|port and what its field shows|password|user|
// model prompt select.
std::string saved(const PropertyForm& f, const DeviceRecord& r) {
    return r.name + "|" + r.macText + "|" + std::to_string(r.unitId) + "|" +
           std::to_string(r.port) + "," + f.port + "|" + r.password + "|" + r.loginName + "|" +
           std::to_string(r.modelCode) + " " + r.prompt + " " + r.selectNumber;
}

TEST(PropertyForm, SaveRules) {
    const std::string n62(62, 'n');
    const struct {
        const char* what;
        void (*edit)(PropertyForm&);
        std::string expected;
    } rows[] = {
        {"name cut to 62", [](PropertyForm& f) { f.name = std::string(70, 'n'); },
         n62 + "|0090CC000001|0|23,23|pw|admin|13 HX 07"},
        // the unit is the number at the MAC's start, "00"
        {"MAC letters and digits", [](PropertyForm& f) { f.mac = "00-1a-2b-3c-4d-5e"; },
         "gv|001A2B3C4D5E|0|23,23|pw|admin|13 HX 07"},
        {"port clamped", [](PropertyForm& f) { f.port = "70000"; },
         "gv|0090CC000001|0|65535,65535|pw|admin|13 HX 07"},
        {"login unchecked", [](PropertyForm& f) { f.login = false; },
         "gv|0090CC000001|0|23,23|||13 HX 07"},
        // not a user-login model: no user; the unit stays
        {"HX-7200 chosen", [](PropertyForm& f) { f.modelSelection = 0; },
         "gv|0090CC000001|4|23,23|pw||3 HX 07"},
        {"terminal id", [](PropertyForm& f) { f.modelSelection = 4, f.mac = "123456x"; },
         "gv|123456x|12345|23,23|pw|admin|7 HX 07"},
        {"no model", [](PropertyForm& f) { f.modelSelection = -1; },
         "gv|0090CC000001|0|23,23|pw||1 HX 07"},
    };
    for (const auto& row : rows) {
        DeviceRecord r = gv2208();
        PropertyForm f = propertyFormOf(r);
        row.edit(f);
        ASSERT_EQ(savePropertyForm(f, r), PropertySave::Saved) << row.what;
        EXPECT_EQ(saved(f, r), row.expected) << row.what;
    }
}

// ---- the report page's Apply

using F = ReportField;

TEST(ReportFieldRule, WhatEachModelsDeviceTakes) {
    struct Row {
        int model;
        bool enable;
        // Address 1, P1, Address 2, P2, Address 3, P3, Interval
        std::array<bool, kReportFields> fields;
    };
    // One model of each kind: one report address, none, three.
    const Row rows[] = {{3, true, {1, 1, 0, 0, 0, 0, 1}},
                        {8, false, {0, 0, 0, 0, 0, 0, 0}},
                        {11, true, {1, 1, 1, 1, 1, 1, 1}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.model);
        EXPECT_EQ(reportEnableWritable(r.model), r.enable);
        for (int i = 0; i < kReportFields; ++i)
            EXPECT_EQ(reportFieldWritable(r.model, static_cast<F>(i)), r.fields[std::size_t(i)])
                << "field " << i;
    }
}

TEST(ReportApply, FramedDeviceGetsItsRegistersAndKeepsTheOthersChanged) {
    test::TestWorkspace tw("unused/", test::Net::Scripted, 1'700'000'000);
    DeviceSession& s = tw.session();
    DeviceRecord& r = s.record;
    r.modelCode = 3;
    r.addressText = "127.0.0.1";
    r.port = 23;
    r.selectNumber = "00";
    r.prompt = "HX";
    r.password = "7394";
    test::FramedDeviceScript device;
    device.fallback = [](const std::string& cmd) { return test::FramedDeviceScript::framed(cmd); };
    device.attach(tw.net);
    ASSERT_EQ(s.loginFramed(true), StepResult::Ok);
    ControlModel model(s);
    model.open();
    model.editReport(F::Address1, "10.9.8.7");
    model.editReport(F::Address2, "10.9.8.8");
    model.editReport(F::Port2, "6000");
    tw.frontend.answers = {false};  // no restart
    EXPECT_EQ(model.applyReport(), StepResult::Failed);
    EXPECT_EQ(device.commandsStartingWith("R2"), std::vector<std::string>{"R231=10.9.8.7"});
    EXPECT_EQ(tw.frontend.errors, std::vector<Text>{Text::NotSupported});
    const ReportFields& f = model.report();
    EXPECT_FALSE(f.changed[std::size_t(F::Address1)]);
    EXPECT_TRUE(f.changed[std::size_t(F::Address2)]);
    EXPECT_TRUE(f.changed[std::size_t(F::Port2)]);
}

}  // namespace
}  // namespace zelo
