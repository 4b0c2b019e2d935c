// The rules behind the device control window and the property dialog: the
// fixed button ids whichever rows exist, enabling, lamps, the report fields
// as read at login, and how an accepted property form lands in the record.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/control_window.h"
#include "app/property_dialog.h"
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
    const std::vector<int> four = idsOf(powerButtons(true, 4));
    ASSERT_EQ(four.size(), 2u + 12u + 3u);
    EXPECT_EQ(four.front(), 3000);
    EXPECT_EQ(four[13], 3013);  // outlet 4's RESET
    EXPECT_EQ(four[14], 3026);  // all outlets follow outlet 4 at once
    EXPECT_EQ(idsOf(powerButtons(true, 8)).size(), 29u);
    EXPECT_EQ(idsOf(powerButtons(false, 12)).size(), 27u);  // cut to 8 outlets
}

TEST(ControlButtons, EachIdSendsItsOutletsCommand) {
    struct Row {
        int id, outlet;
        PowerAction action;
        const char* command;
    };
    for (const Row& r : {Row{3000, -1, PowerAction::On, "MPON"},
                         Row{3001, -1, PowerAction::Off, "MPOF"},
                         Row{3002, 1, PowerAction::On, "PON1"},
                         Row{3012, 4, PowerAction::Off, "POF4"},
                         Row{3025, 8, PowerAction::Reset, "POR8"},
                         Row{3027, 0, PowerAction::Off, "POF0"},
                         Row{3028, 0, PowerAction::Reset, "POR0"}}) {
        SCOPED_TRACE(r.id);
        const auto b = powerButtonOf(r.id);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->outlet, r.outlet);
        EXPECT_EQ(b->action, r.action);
        EXPECT_EQ(b->command, r.command);
    }
    EXPECT_FALSE(powerButtonOf(2999));
    EXPECT_FALSE(powerButtonOf(3029));
}

TEST(ControlLamps, ColourPerStateCode) {
    const Lamp expected[] = {Lamp::Yellow, Lamp::Grey,  Lamp::Green,     Lamp::Red, Lamp::Grey,
                             Lamp::Green,  Lamp::DarkGreen, Lamp::Yellow, Lamp::Yellow};
    for (int code = -1; code <= 7; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(lampOf(code), expected[code + 1]);
    }
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
    for (const Row& r : {Row{1, false, {1, 1, 1, 1, 1, 0, 1, 1}},
                         Row{0, false, {1, 1, 0, 0, 0, 0, 0, 0}},
                         Row{-1, false, {1, 1, 1, 1, 1, 0, 1, 1}},
                         Row{1, true, {1, 0, 1, 0, 1, 0, 1, 0}}}) {
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
    ASSERT_FALSE(s.connection.connectToDevice(0x0A000001, 23));
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

TEST_F(ControlModelTest, TitleAndMasterRowFollowTheDevice) {
    DeviceSession& s = tw.session();
    s.record.name = "Rack";
    s.record.addressText = "10.0.0.9";
    s.record.port = 2301;
    EXPECT_EQ(model.title(tw.ws.strings()), "Rack - 10.0.0.9:2301 - [" +
                                                tw.ws.strings().text(157) + "]");
    s.connection.connected = true;
    EXPECT_NE(model.title(tw.ws.strings()).find(tw.ws.strings().text(156)), std::string::npos);
    EXPECT_TRUE(model.masterPresent());
    s.record.modelCode = 13;
    model.open();
    EXPECT_FALSE(model.masterPresent());
    EXPECT_EQ(model.reportHeaderText(), 490);
    s.record.modelCode = 8;
    EXPECT_EQ(model.reportHeaderText(), 497);
}

TEST(ReportFields, FramedFromRegistersPlainFromSettings) {
    DeviceStatus st;
    st.settings.ipAdCenter = {"10.1.1.1", "10.2.2.2", "a-very-long-host-name.example"};
    st.settings.centerPort = {5000, 5001, 123456};
    st.settings.centerSendTimer = 60;
    st.settings.msrpEnabled = true;
    const ReportFields plain = reportFieldsOf(st, 13);
    EXPECT_TRUE(plain.enabled);
    const std::array<std::string, 7> plainText = {"10.1.1.1", "5000", "10.2.2.2", "5001",
                                                  "a-very-long-host-n", "12345", "60"};
    EXPECT_EQ(plain.text, plainText);

    st.registers[0x230] = {RegisterForm::Number, 0, 0, ""};
    st.registers[0x231] = {RegisterForm::Text, 0, 0, "192.168.0.7"};
    st.registers[0x232] = {RegisterForm::Number, 6000, 0, ""};
    st.registers[0x233] = {RegisterForm::Tenths, 305, 0, ""};
    const ReportFields framed = reportFieldsOf(st, 3);
    EXPECT_FALSE(framed.enabled);
    EXPECT_EQ(framed.text[0], "192.168.0.7");
    EXPECT_EQ(framed.text[1], "6000");
    EXPECT_EQ(framed.text[6], "30.5");
    st.registers[0x233].number = 600;
    EXPECT_EQ(reportFieldsOf(st, 5).text[6], "60");
}

TEST(PropertyLayout, PerModelGroup) {
    struct Row {
        int code;
        bool prompt, promptOn, select, selectOn, login, user, sysName;
        int macLabel, macLimit;
    };
    for (const Row& r : {Row{3, 1, 1, 1, 1, 0, 0, 0, 139, 17}, Row{4, 1, 1, 1, 0, 1, 0, 0, 139, 17},
                         Row{5, 1, 1, 1, 1, 0, 0, 0, 139, 17}, Row{7, 0, 1, 0, 1, 0, 1, 1, 152, 5},
                         Row{10, 0, 1, 0, 1, 0, 1, 1, 152, 5}, Row{11, 0, 1, 0, 1, 0, 1, 1, 139, 20},
                         Row{13, 0, 1, 0, 1, 0, 1, 1, 139, 20}, Row{1, 1, 0, 1, 0, 1, 0, 0, 139, 17}}) {
        SCOPED_TRACE(r.code);
        const PropertyLayout l = propertyLayoutOf(r.code);
        EXPECT_FALSE(l.groupRow);
        EXPECT_EQ(l.showPrompt, r.prompt);
        EXPECT_EQ(l.promptEnabled, r.promptOn);
        EXPECT_EQ(l.showSelect, r.select);
        EXPECT_EQ(l.selectEnabled, r.selectOn);
        EXPECT_EQ(l.loginEnabled, r.login);
        EXPECT_EQ(l.showUser, r.user);
        EXPECT_EQ(l.showSystemName, r.sysName);
        EXPECT_EQ(l.macLabel, r.macLabel);
        EXPECT_EQ(l.macLimit, r.macLimit);
    }
    EXPECT_TRUE(propertyLayoutOf(2).groupRow);
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

TEST(PropertyForm, OpensWithTheRecordsFields) {
    const PropertyForm f = propertyFormOf(gv2208());
    EXPECT_EQ(f.modelSelection, 10);
    EXPECT_TRUE(f.login);
    EXPECT_EQ(f.mac, "00:90:CC:00:00:01");
    EXPECT_EQ(f.port, "23");
    DeviceRecord swd = gv2208();
    swd.modelCode = 8;
    swd.password.clear();
    swd.loginName.clear();
    const PropertyForm u = propertyFormOf(swd);
    EXPECT_EQ(u.mac, "4");  // the terminal id
    EXPECT_FALSE(u.login);
    EXPECT_FALSE(userEnabled(u, 8));
    swd.modelCode = 0;
    EXPECT_EQ(propertyFormOf(swd).modelSelection, -1);
}

TEST(PropertyForm, SaveRules) {
    struct Row {
        const char* what;
        void (*edit)(PropertyForm&);
        void (*check)(const PropertyForm&, const DeviceRecord&);
    };
    const Row rows[] = {
        {"name cut to 62", [](PropertyForm& f) { f.name = std::string(70, 'n'); },
         [](const PropertyForm&, const DeviceRecord& r) { EXPECT_EQ(r.name, std::string(62, 'n')); }},
        {"MAC letters and digits", [](PropertyForm& f) { f.mac = "00-1a-2b-3c-4d-5e"; },
         [](const PropertyForm&, const DeviceRecord& r) {
             EXPECT_EQ(r.macText, "001A2B3C4D5E");
             EXPECT_EQ(r.unitId, 0u);  // the number at its start, "00"
         }},
        {"port clamped", [](PropertyForm& f) { f.port = "70000"; },
         [](const PropertyForm& f, const DeviceRecord& r) {
             EXPECT_EQ(r.port, 65535);
             EXPECT_EQ(f.port, "65535");
         }},
        {"login unchecked", [](PropertyForm& f) { f.login = false; },
         [](const PropertyForm&, const DeviceRecord& r) {
             EXPECT_EQ(r.password, "");
             EXPECT_EQ(r.loginName, "");
         }},
        {"HX-7200 chosen", [](PropertyForm& f) { f.modelSelection = 0; },
         [](const PropertyForm&, const DeviceRecord& r) {
             EXPECT_EQ(r.modelCode, 3);
             EXPECT_EQ(r.prompt, "HX");
             EXPECT_EQ(r.selectNumber, "07");
             EXPECT_EQ(r.loginName, "");  // not a user-login model
             EXPECT_EQ(r.password, "pw");
             EXPECT_EQ(r.unitId, 4u);
         }},
        {"terminal id", [](PropertyForm& f) { f.modelSelection = 4, f.mac = "123456x"; },
         [](const PropertyForm&, const DeviceRecord& r) {
             EXPECT_EQ(r.modelCode, 7);
             EXPECT_EQ(r.unitId, 12345u);
             EXPECT_EQ(r.macText, "123456x");
         }},
        {"no model", [](PropertyForm& f) { f.modelSelection = -1; },
         [](const PropertyForm&, const DeviceRecord& r) { EXPECT_EQ(r.modelCode, 1); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DeviceRecord r = gv2208();
        PropertyForm f = propertyFormOf(r);
        row.edit(f);
        ASSERT_EQ(savePropertyForm(f, r), PropertySave::Saved);
        row.check(f, r);
    }
    DeviceRecord r = gv2208();
    PropertyForm f = propertyFormOf(r);
    f.name.clear();
    EXPECT_EQ(savePropertyForm(f, r), PropertySave::EmptyName);
    EXPECT_EQ(r, gv2208());
}

}  // namespace
}  // namespace zelo
