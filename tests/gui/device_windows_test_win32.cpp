// The device control window and the property dialog over simulated devices
// of both dialects (zelo-sim, started by tests/gui/sim_fixture.sh): the rows
// and button ids, a press that switches an outlet and its lamp, the master
// power's enabling rule, a status report's redraw, the report page's Apply,
// a dropped connection; then the property dialog's save.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "tests/gui/gui_fixture_win32.h"
#include "tests/gui/sim_control_win32.h"
#include "tests/status/report_builder.h"
#include "tests/status/udp_sender.h"
#include "win32/control_window_win32.h"

namespace zelo {
namespace {

using test::simControl;
using test::simPorts;
using test::textOf;

class DeviceWindows : public test::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        ports = simPorts();
        if (ports.count("CONTROL") == 0) GTEST_SKIP() << "no zelo-sim (ZELO_SIM_PORTS)";
    }

    HWND startEnglish(const std::string& more = {}) {
        return start("[ZELO]\r\nLanguage=1\r\n[MessageBox]\r\nQuit=0\r\n" + more);
    }
    // A device of `group` on the simulator's unit of that name.
    std::uint32_t addUnit(const std::string& unit, int model, const std::string& mac = {},
                          std::uint32_t group = 0) {
        return addDevice(group, model, unit, ports.at(unit), mac);
    }
    std::string sim(const std::string& command) { return simControl(ports.at("CONTROL"), command); }
    bool simShows(const std::string& unit, const std::string& line) {
        return sim("show " + unit).find("\n" + line + "\n") != std::string::npos;
    }

    // Opens the device and runs `drive` inside its control window, which is
    // then cancelled.
    bool openAndDrive(std::uint32_t id, const std::function<void(HWND, ControlWindow&)>& drive) {
        return withDialog([&] { app().openDevice(id); },
                          [&](HWND dlg) {
                              drive(dlg, *app().deviceView().controlWindow());
                              SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
                          });
    }
    static void click(HWND dlg, int id) {
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    }
    static bool enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }
    // The brush the window paints a lamp with.
    HBRUSH lampBrush(HWND dlg, ControlWindow& w, int outlet) {
        HDC dc = GetDC(dlg);
        const auto b = reinterpret_cast<HBRUSH>(
            SendMessageA(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(w.lampWindow(outlet))));
        ReleaseDC(dlg, dc);
        return b;
    }
    bool asked(Text textId) const {
        const auto& q = frontend.questions;
        return std::any_of(q.begin(), q.end(), [&](const auto& x) { return x.textId == textId; });
    }
    static constexpr int kGreen = 4, kGrey = 5;

    std::map<std::string, int> ports;
};

TEST_F(DeviceWindows, RowsButtonIdsAndTitlePerModel) {
    ASSERT_NE(startEnglish(), nullptr);
    struct Row {
        const char* unit;
        int model, outlets;
        bool master;
    };
    // Which ids a device's rows have is the core's; the window makes them.
    for (const Row& r : {Row{"jb-rows", 5, 3, true}, Row{"gv-rows", 13, 4, false}}) {
        SCOPED_TRACE(r.unit);
        const std::uint32_t id = addUnit(r.unit, r.model);
        std::set<int> expected;
        if (r.master) expected.insert({3000, 3001});
        for (int o = 0; o < r.outlets; ++o)
            expected.insert({3002 + 3 * o, 3003 + 3 * o, 3004 + 3 * o});
        expected.insert({3026, 3027, 3028});
        EXPECT_TRUE(openAndDrive(id, [&](HWND dlg, ControlWindow&) {
            for (int b = 2990; b <= 3040; ++b)
                EXPECT_EQ(GetDlgItem(dlg, b) != nullptr, expected.count(b) == 1) << b;
            EXPECT_EQ(textOf(dlg), std::string(r.unit) + " - 127.0.0.1:" +
                                       std::to_string(ports.at(r.unit)) + " - [Online]");
            // The info page shows the product name the device gave.
            SendMessageA(GetDlgItem(dlg, IDC_CONTROL_TAB), TCM_SETCURFOCUS, 2, 0);
            EXPECT_EQ(GetDlgItem(dlg, 3002), nullptr);
            EXPECT_NE(textOf(GetDlgItem(dlg, 3300)), "");
        }));
        EXPECT_EQ(app().state().openDialog, OpenDialog::None);
    }
}

// The master power's buttons (whose enabling rule is the core's) and a status
// report for the open device both redraw its buttons and lamps.
TEST_F(DeviceWindows, MasterButtonsAndAStatusReportRedrawTheOpenDevice) {
    ASSERT_NE(startEnglish("[Network]\r\nMSRPenable=1\r\nMSRPport=0\r\n"), nullptr);  // a free port
    const std::uint16_t udp = app().station().listenerPort();
    const std::uint32_t id = addUnit("hx-report", 3, "0090CC0000A1");
    test::UdpSender sender;
    EXPECT_TRUE(openAndDrive(id, [&](HWND dlg, ControlWindow& w) {
        const int outletButtons[] = {3002, 3004, 3008, 3026, 3028};
        click(dlg, 3001);  // master OFF
        EXPECT_TRUE(waitFor([&] { return !enabled(dlg, 3002); }));
        for (int b : outletButtons) EXPECT_FALSE(enabled(dlg, b)) << b;
        EXPECT_EQ(lampBrush(dlg, w, -1), app().brush(kGrey));
        click(dlg, 3000);
        EXPECT_TRUE(waitFor([&] { return enabled(dlg, 3002); }));
        for (int b : outletButtons) EXPECT_TRUE(enabled(dlg, b)) << b;

        const auto report = [](unsigned master, unsigned third) {
            return test::ElementReport()
                .mac("0090CC0000A1")
                .master(master)
                .outlets({{1, 1}, {1, 1}, {third, third}, {1, 1}})
                .build();
        };
        sender.send(udp, report(0, 0));
        EXPECT_TRUE(waitFor([&] { return !enabled(dlg, 3002); }));
        EXPECT_EQ(lampBrush(dlg, w, 3), app().brush(kGrey));
        sender.send(udp, report(1, 1));
        EXPECT_TRUE(waitFor([&] { return enabled(dlg, 3002); }));
        EXPECT_EQ(lampBrush(dlg, w, 3), app().brush(kGreen));
    }));
}

// Per dialect: a press switches the outlet and its lamp; Apply writes the
// report fields (with the restart question on the older dialect only); a
// dropped connection turns the window Offline and the next press offers to
// reconnect.
TEST_F(DeviceWindows, PressApplyAndADroppedConnectionPerDialect) {
    ASSERT_NE(startEnglish(), nullptr);
    for (const auto& [dialect, model] : {std::pair{"hx", 3}, std::pair{"gv", 13}}) {
        SCOPED_TRACE(dialect);
        const std::string unit = dialect, press = unit + "-press", apply = unit + "-apply",
                          drop = unit + "-drop";
        frontend.questions.clear();
        EXPECT_TRUE(openAndDrive(addUnit(press, model), [&](HWND dlg, ControlWindow& w) {
            EXPECT_EQ(lampBrush(dlg, w, 2), app().brush(kGreen));
            click(dlg, 3006);  // outlet 2 OFF
            EXPECT_TRUE(asked(Text::PowerQuestion));
            EXPECT_TRUE(waitFor([&] { return lampBrush(dlg, w, 2) == app().brush(kGrey); }));
            EXPECT_TRUE(simShows(press, "states=1011"));
        }));

        frontend.questions.clear();
        frontend.answers = {false};  // no restart
        EXPECT_TRUE(openAndDrive(addUnit(apply, model), [&](HWND dlg, ControlWindow&) {
            HWND tab = GetDlgItem(dlg, IDC_CONTROL_TAB);
            SendMessageA(tab, TCM_SETCURFOCUS, 1, 0);
            ASSERT_NE(GetDlgItem(dlg, 3127), nullptr);
            EXPECT_FALSE(enabled(dlg, IDC_APPLY));
            if (SendDlgItemMessageA(dlg, 3127, BM_GETCHECK, 0, 0) != BST_CHECKED)
                SendDlgItemMessageA(dlg, 3127, BM_CLICK, 0, 0);
            SetDlgItemTextA(dlg, 3415, "10.9.8.7");
            SetDlgItemTextA(dlg, 3416, "5123");
            SendMessageA(tab, TCM_SETCURFOCUS, 0, 0);  // an edit survives a change of tab
            SendMessageA(tab, TCM_SETCURFOCUS, 1, 0);
            EXPECT_EQ(textOf(GetDlgItem(dlg, 3415)), "10.9.8.7");
            ASSERT_TRUE(enabled(dlg, IDC_APPLY));
            click(dlg, IDC_APPLY);
            EXPECT_FALSE(enabled(dlg, IDC_APPLY));
            EXPECT_NE(sim("show " + apply).find("\nstation=10.9.8.7:5123 "), std::string::npos);
        }));
        EXPECT_EQ(asked(Text::RestartQuestion), model == 3);

        frontend.questions.clear();
        frontend.errors.clear();
        frontend.answers = {true, false};  // power: yes; reconnect: no
        EXPECT_TRUE(openAndDrive(addUnit(drop, model), [&](HWND dlg, ControlWindow&) {
            sim("offline " + drop);
            EXPECT_TRUE(
                waitFor([&] { return textOf(dlg).find("[Offline]") != std::string::npos; }));
            EXPECT_EQ(frontend.errors, std::vector<Text>{Text::NetworkDisconnected});
            click(dlg, 3002);
            EXPECT_TRUE(asked(Text::ReconnectQuestion));
        }));
        sim("online " + drop);
    }
}

// A unit that restarts without answering CPURESET drops the connection
// while the command waits: one notice for the one loss.
TEST_F(DeviceWindows, ARestartThatClosesWithoutAnAnswerIsToldOnce) {
    ASSERT_NE(startEnglish(), nullptr);
    frontend.answers = {true};  // restart: Yes
    EXPECT_TRUE(openAndDrive(addUnit("hx-silent", 3), [&](HWND dlg, ControlWindow&) {
        SendMessageA(GetDlgItem(dlg, IDC_CONTROL_TAB), TCM_SETCURFOCUS, 1, 0);
        ASSERT_EQ(SendDlgItemMessageA(dlg, 3127, BM_GETCHECK, 0, 0), BST_CHECKED);
        SendDlgItemMessageA(dlg, 3127, BM_CLICK, 0, 0);  // Enable off
        click(dlg, IDC_APPLY);
        EXPECT_TRUE(asked(Text::RestartQuestion));
        EXPECT_TRUE(waitFor([&] { return textOf(dlg).find("[Offline]") != std::string::npos; }));
        pump();
    }));
    EXPECT_EQ(frontend.errors, std::vector<Text>{Text::NetworkDisconnected});
}

TEST_F(DeviceWindows, ADeliveryWalksTheGroupBehindItsProgressWindow) {
    ASSERT_NE(startEnglish(), nullptr);
    // The rows selected in the list are delivered to: a group row, its devices.
    addUnit("hx-deliver", 3, {}, app().directory().addGroup(0, "Deliver"));
    key(list(), VK_F5);
    ASSERT_EQ(names(), std::vector<std::string>{"Deliver"});
    setRowState(0, LVIS_SELECTED | LVIS_FOCUSED);
    const std::string file = dir.file("week.shx");
    // A header line is refused with its number before the progress window starts.
    test::writeBytes(file, "TIME,DATE,WEEKDAY,ACTION\r\n08:30,05/01,,PON1\r\n");
    EXPECT_FALSE(app().deliverScheduleFile(file));
    EXPECT_EQ(frontend.errors, std::vector<Text>{Text::ScheduleBadTime});
    EXPECT_EQ(frontend.numbers, std::vector<int>{1});
    EXPECT_EQ(test::readBytes(dir.file("ZELO.LOG")), "");
    test::writeBytes(file, "08:30,05/01,,PON1\r\n07:00,S,1-6,POF2\r\n");
    EXPECT_TRUE(app().deliverScheduleFile(file));
    EXPECT_FALSE(app().state().busy);
    EXPECT_TRUE(simShows("hx-deliver", "schedule-entries=2"));
    // The walk is logged (what the log says is the core's).
    EXPECT_NE(test::readBytes(dir.file("ZELO.LOG")).find("week.shx"), std::string::npos);
}

using PropertyDialogTest = test::GuiFixture;

// What the dialog shows and when it writes; the field rules themselves
// (clamps, cuts, the MAC's spellings) are the core's.
TEST_F(PropertyDialogTest, SavesADeviceRowOnlyAfterAChangeAndRefusesAnEmptyName) {
    ASSERT_NE(start("[ZELO]\r\nLanguage=1\r\n[MessageBox]\r\nQuit=0\r\n"), nullptr);
    const std::uint32_t id = app().directory().addDevice(0, 13, "gv");
    const std::string item = test::readBytes(dir.file("00000000.IDX"));
    const auto open = [&] { app().openProperties(*app().directory().devices().find(id)); };
    EXPECT_TRUE(withDialog(open, [&](HWND dlg) { SendMessageA(dlg, WM_COMMAND, IDOK, 0); }));
    EXPECT_EQ(test::readBytes(dir.file("00000000.IDX")), item);  // OK without a change

    EXPECT_TRUE(withDialog(open, [&](HWND dlg) {
        EXPECT_EQ(app().state().openDialog, OpenDialog::Property);
        // The model's layout (the core's) applied: the prompt row hidden here.
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_PROP_PROMPT)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_APPLY)));
        SetDlgItemTextA(dlg, IDC_PROP_PORT, "70000");
        SetDlgItemTextA(dlg, IDC_PROP_MAC, "00-1a-2b-3c-4d-5e");
        ASSERT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_APPLY)));
        SendMessageA(dlg, WM_COMMAND, IDC_APPLY, 0);
        EXPECT_EQ(textOf(GetDlgItem(dlg, IDC_PROP_PORT)), "65535");  // shown as saved
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_APPLY)));
        SetDlgItemTextA(dlg, IDC_PROP_NAME, "");
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);  // refused: stays open
        EXPECT_TRUE(IsWindow(dlg));
        SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ(frontend.errors, std::vector<Text>{Text::EnterName});
    EXPECT_EQ(app().state().openDialog, OpenDialog::None);
    EXPECT_EQ(app().directory().devices().find(id)->name, "gv");
    EXPECT_NE(test::readBytes(dir.file("00000000.IDX")).find("001A2B3C4D5E"), std::string::npos);
}

}  // namespace
}  // namespace zelo
