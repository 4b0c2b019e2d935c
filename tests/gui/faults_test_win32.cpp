// ZELO.exe's windows under faults, for scripts/reliability: an item file
// that cannot be written while reports arrive, a device that drops while
// its control window is open and a button is pressed, a storm of reports
// while the property dialog is open, and damaged ZELO.INI and ZELO_DIR.DAT
// at start. Each case prints one "WINFAULT case figures" line for the
// reliability table.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "directory/item_file.h"
#include "tests/gui/gui_fixture_win32.h"
#include "tests/gui/sim_control_win32.h"
#include "tests/status/report_builder.h"
#include "tests/status/udp_sender.h"
#include "win32/control_window_win32.h"

namespace zelo {
namespace {

using test::textOf;
using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point t) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

void figures(const char* name, const std::string& text, bool ok) {
    std::printf("WINFAULT %s %s %s\n", name, text.c_str(), ok ? "ok" : "FAILED");
    std::fflush(stdout);
}

class WindowFaults : public test::GuiFixture {
protected:
    // A device with a MAC in a group of its own (item file 00000001.IDX);
    // the program starts again over the files and shows the group's list.
    std::uint32_t addReporting(const std::string& mac) {
        group = app().directory().addGroup(0, "Rack");
        const std::uint32_t id = addDevice(group, 13, "gv", 0, mac);
        restart();
        selectGroup(group);
        return id;
    }
    static test::Bytes report(const std::string& mac, unsigned second, unsigned fourth) {
        return test::ElementReport()
            .mac(mac)
            .master(1)
            .outlets({{1, 1}, {second, second}, {0, 0}, {fourth, fourth}})
            .build();
    }
    std::wstring messagePart() {
        wchar_t text[512] = {};
        SendMessageW(window().statusBar(), SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::string storedPower(std::uint32_t id) {
        for (const DeviceRecord& r : loadItemFile(dir.path().string() + "\\", group))
            if (r.deviceId == id) return r.powerText;
        return "(none)";
    }
    std::string memoryPower(std::uint32_t id) {
        return app().directory().devices().find(id)->powerText;
    }

    std::uint32_t group = 0;
};

// Reports keep arriving while another program holds the group's item file
// open (as a backup or a virus scanner does; it cannot be replaced): the row
// follows them, the status bar says the file cannot be written, and once it
// can the last state is written.
TEST_F(WindowFaults, ItemFileUnwritableWhileReportsArrive) {
    ASSERT_NE(
        start("[ZELO]\r\nLanguage=1\r\n[MessageBox]\r\nQuit=0\r\n[Network]\r\nMSRPport=0\r\n"),
        nullptr);
    const std::uint32_t id = addReporting("0090CC0F0001");
    const std::uint16_t port = app().station().listenerPort();
    ASSERT_EQ(rows(), 1);
    const std::wstring item = dir.path().wstring() + L"\\00000001.IDX";
    HANDLE held = CreateFileW(item.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    test::UdpSender sender;
    int sent = 0, live = 0;
    std::string shown[2];
    bool told = false;
    for (int i = 0; i < 20; ++i) {
        const unsigned on = i % 2;
        sender.send(port, report("0090CC0F0001", on, 1 - on));
        ++sent;
        const std::string before = cell(0, 2);
        if (waitFor([&] { return cell(0, 2) != before || (i == 0 && !cell(0, 2).empty()); }, 1000))
            ++live;
        shown[on] = cell(0, 2);
        told = told || messagePart().find(L"Item file cannot be written") != std::wstring::npos;
    }
    const std::string lastShown = cell(0, 2), blockedOnDisk = storedPower(id);
    CloseHandle(held);
    const auto freed = Clock::now();
    const bool written = waitFor([&] { return storedPower(id) == memoryPower(id); }, 3000);
    const long writtenMs = msSince(freed);
    const bool cleared = waitFor([&] { return messagePart().empty(); }, 1000);
    const bool ok = told && live == sent && shown[0] != shown[1] && written && cleared &&
                    blockedOnDisk != memoryPower(id) && lastShown == cell(0, 2);
    EXPECT_TRUE(told) << "the status bar did not say the file cannot be written";
    EXPECT_EQ(live, sent) << "rows that did not follow a report";
    EXPECT_TRUE(written) << "stored " << storedPower(id) << ", shown " << memoryPower(id);
    EXPECT_TRUE(cleared);
    figures("item-file-unwritable",
            "reports=" + std::to_string(sent) + " rows_followed=" + std::to_string(live) +
                " told=" + (told ? "yes" : "no") +
                " written_after_ms=" + std::to_string(writtenMs) + " lost=" + (written ? "0" : "1"),
            ok);
}

// The device goes off the network with its control window open and a
// button is pressed before the window noticed: one notice, the window
// Offline and usable; back on the network the next press reconnects.
TEST_F(WindowFaults, DeviceDropsWhileItsWindowIsOpenAndAButtonIsPressed) {
    const auto ports = test::simPorts();
    ASSERT_TRUE(ports.count("CONTROL") && ports.count("hx-fault"))
        << "no zelo-sim (ZELO_SIM_PORTS)";
    const auto sim = [&](const std::string& command) {
        return test::simControl(ports.at("CONTROL"), command);
    };
    ASSERT_NE(start("[ZELO]\r\nLanguage=1\r\n[MessageBox]\r\nQuit=0\r\n"), nullptr);
    const std::uint32_t id = addDevice(0, 3, "hx-fault", ports.at("hx-fault"));
    long pressMs = -1, backMs = -1;
    bool offline = false, back = false;
    frontend.answers = {true, true, true};  // power: yes; reconnect: yes; power: yes
    const bool shown = withDialog(
        [&] { app().openDevice(id); },
        [&](HWND dlg) {
            sim("offline hx-fault");
            const auto pressed = Clock::now();
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(3006, BN_CLICKED), 0);  // outlet 2 OFF
            pressMs = msSince(pressed);
            offline = waitFor([&] { return textOf(dlg).find("[Offline]") != std::string::npos; });
            sim("online hx-fault");
            const auto again = Clock::now();
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(3006, BN_CLICKED), 0);
            back = waitFor([&] {
                return sim("show hx-fault").find("\nstates=1011\n") != std::string::npos &&
                       textOf(dlg).find("[Online]") != std::string::npos;
            });
            backMs = msSince(again);
            SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        });
    const long notices =
        std::count(frontend.errors.begin(), frontend.errors.end(), Text::NetworkDisconnected);
    const bool ok = shown && offline && back && notices == 1 && pressMs < 3000;
    EXPECT_TRUE(shown && offline && back);
    EXPECT_EQ(notices, 1);
    figures("device-drop-press",
            "press_ms=" + std::to_string(pressMs) + " notices=" + std::to_string(notices) +
                " offline_shown=" + (offline ? "yes" : "no") +
                " reconnect_ms=" + std::to_string(backMs),
            ok);
}

// 1,000 reports a second for two seconds while the property dialog is open:
// the dialog answers another thread's messages at once throughout, and the
// row shows the last report once the dialog is closed.
TEST_F(WindowFaults, ReportStormWhileThePropertyDialogIsOpen) {
    ASSERT_NE(
        start("[ZELO]\r\nLanguage=1\r\n[MessageBox]\r\nQuit=0\r\n[Network]\r\nMSRPport=0\r\n"),
        nullptr);
    const std::uint32_t id = addReporting("0090CC0F0002");
    const std::uint16_t port = app().station().listenerPort();
    const test::Bytes a = report("0090CC0F0002", 1, 0), b = report("0090CC0F0002", 0, 1);
    // What the row and the file show for `b`, the storm's last report.
    test::UdpSender calibrate;
    std::string rowB, powerB;
    for (const test::Bytes* r : {&b, &a}) {
        const std::string before = cell(0, 2);
        calibrate.send(port, *r);
        ASSERT_TRUE(waitFor([&] { return cell(0, 2) != before; }));
        if (r == &b) rowB = cell(0, 2), powerB = memoryPower(id);
    }
    std::atomic<int> sent{0};
    std::atomic<long> worstReplyMs{0};
    std::atomic<bool> stormOver{false};
    HWND shownDialog = nullptr;
    const bool shown =
        withDialog([&] { app().openProperties(*app().directory().devices().find(id)); },
                   [&](HWND dlg) {
                       shownDialog = dlg;
                       std::thread([&, dlg] {
                           test::UdpSender sender;
                           const auto begin = Clock::now();
                           for (int i = 0; i < 2000; ++i) {
                               while (msSince(begin) < i) Sleep(0);
                               sender.send(port, i % 2 ? b : a);
                               ++sent;
                               if (i % 100 == 0) {
                                   // What the operator's click would wait for.
                                   const auto asked = Clock::now();
                                   DWORD_PTR result = 0;
                                   SendMessageTimeoutW(dlg, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL,
                                                       5000, &result);
                                   worstReplyMs = std::max<long>(worstReplyMs, msSince(asked));
                               }
                           }
                           stormOver = true;
                           PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
                       }).detach();
                   });
    ASSERT_TRUE(waitFor([&] { return stormOver.load(); }, 10000));
    const bool current =
        waitFor([&] { return cell(0, 2) == rowB && storedPower(id) == powerB; }, 3000);
    const bool ok = shownDialog && worstReplyMs < 250 && current;
    EXPECT_TRUE(shown || stormOver) << "the property dialog did not show";
    EXPECT_LT(worstReplyMs, 250);
    EXPECT_TRUE(current) << cell(0, 2) << " / " << storedPower(id) << ", expected " << rowB << " / "
                         << powerB;
    figures("report-storm-dialog",
            "reports=" + std::to_string(sent) + " worst_reply_ms=" + std::to_string(worstReplyMs) +
                " rows_current=" + (current ? "yes" : "no"),
            ok);
}

// ZELO.exe started over a damaged ZELO.INI and ZELO_DIR.DAT: as a program
// of its own it starts and ends cleanly; built here, the status bar says
// what was skipped and the tree holds every group that could be read; the
// files keep everything readable.
TEST_F(WindowFaults, DamagedSettingsAndDirectoryFilesAtStart) {
    namespace fs = std::filesystem;
    const std::string junk("\x01\xff\xfe\x00garbage\x83", 13);
    // Readable keys among lines that are not: a section left open, a line
    // without a key, binary noise, a line of 70,000 characters.
    const std::string ini = "[ZELO]\r\nLanguage=1\r\n" + junk + "\r\n[Net\r\nno key here\r\n" +
                            std::string(70000, 'x') + "\r\n[MessageBox]\r\nQuit=0\r\n";
    const std::string directory = "0\tTop\t0\r\n1\tRack\t1\r\n" + junk +
                                  "\r\n\t\t\r\n1\tShelf\t2\r\n" + std::string(5000, '\t') + "\r\n";
    test::writeBytes(dir.file("ZELO.INI"), ini);
    test::writeBytes(dir.file("ZELO_DIR.DAT"), directory);
    fs::copy_file(test::testProgramDirectory() / "ZELO.exe", dir.path() / "ZELO.exe");
    test::ZeloProcess zelo;
    ASSERT_TRUE(zelo.start(dir.path() / "ZELO.exe", dir.path()));
    const auto started = Clock::now();
    HWND main = zelo.waitForWindow("ZELO");
    const long startMs = msSince(started);
    ASSERT_NE(main, nullptr) << "ZELO.exe did not start";
    PostMessageA(main, WM_CLOSE, 0, 0);  // Quit=0: no question
    const long code = zelo.waitForExit();

    ASSERT_NE(restart(), nullptr);
    const bool told =
        messagePart() == L"Unreadable lines of ZELO_DIR.DAT skipped (left in the file): 3";
    std::vector<std::uint32_t> ids;
    for (const auto& [item, id] : treeItems()) ids.push_back(id);
    stop();
    const std::string iniAfter = test::readBytes(dir.file("ZELO.INI")),
                      directoryAfter = test::readBytes(dir.file("ZELO_DIR.DAT"));
    const bool kept = iniAfter.find("Language=1\r\n") != std::string::npos &&
                      iniAfter.find("Quit=0\r\n") != std::string::npos &&
                      directoryAfter == directory && ids == std::vector<std::uint32_t>{0, 1, 2};
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(told);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_TRUE(kept) << iniAfter.substr(0, 200);
    figures("damaged-ini-and-directory",
            "start_ms=" + std::to_string(startMs) + " exit=" + std::to_string(code) +
                " told=" + (told ? "yes" : "no") + " groups=" + std::to_string(ids.size()) + "/3" +
                " readable_kept=" + (kept ? "yes" : "no"),
            code == 0 && told && kept);
}

}  // namespace
}  // namespace zelo
