// The options dialog and the about box, opened from the main window the way
// the operator opens them (F8, the Help command) and driven inside their
// modal loops.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "tests/gui/gui_fixture_win32.h"

namespace zelo {
namespace {

using test::readBytes;

constexpr int kUseListener = 3100, kPort = 3300;

// section -> key -> value of an INI file's bytes.
using Ini = std::map<std::string, std::map<std::string, std::string>>;
Ini parseIni(const std::string& bytes) {
    Ini ini;
    std::istringstream in(bytes);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 1 && line.front() == '[') {
            section = line.substr(1, line.size() - 2);
        } else if (const auto eq = line.find('='); eq != std::string::npos) {
            ini[section][line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return ini;
}
std::set<std::string> keysOf(const Ini& ini) {
    std::set<std::string> keys;
    for (const auto& [section, values] : ini)
        for (const auto& kv : values) keys.insert(section + "/" + kv.first);
    return keys;
}

class DialogTest : public test::GuiFixture {
protected:
    // The keys saveSettings writes, learnt from it over a file of its own.
    std::set<std::string> keysOfSaveSettings() {
        AppSettings other(dir.file("OTHER.INI"));
        other.saveSettings();
        return keysOf(parseIni(readBytes(dir.file("OTHER.INI"))));
    }
    void openOptions(const std::function<void(HWND)>& drive) {
        HWND main = window().hwnd();
        EXPECT_TRUE(withDialog([&] { SendMessageA(main, WM_KEYDOWN, VK_F8, 0); }, drive));
    }
    static bool applyEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDC_APPLY)); }
    static std::string text(HWND w) {
        char buf[256] = {};
        GetWindowTextA(w, buf, sizeof buf);
        return buf;
    }
    static RECT rectIn(HWND w, HWND parent) {
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
};

TEST_F(DialogTest, F8OpensTheNetworkPageAsBuiltAndOkWithoutAChangeWritesNothing) {
    ASSERT_NE(start("[ZELO]\r\nLanguage=1\r\n"), nullptr);
    const std::string before = readBytes(iniPath());
    openOptions([&](HWND dlg) {
        EXPECT_EQ(app().state().openDialog, OpenDialog::Options);
        EXPECT_EQ(text(dlg), "Option");
        EXPECT_EQ(text(GetDlgItem(dlg, IDCANCEL)), "Cancel");
        HWND tab = GetDlgItem(dlg, IDC_OPTIONS_TAB);
        ASSERT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 1);
        char label[64] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = label;
        item.cchTextMax = sizeof label;
        SendMessageA(tab, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(label, "Network");

        HWND use = GetDlgItem(dlg, kUseListener), port = GetDlgItem(dlg, kPort);
        ASSERT_NE(use, nullptr);
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(text(use), "&Use");
        EXPECT_EQ(SendMessageA(use, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // MSRPenable=0
        EXPECT_FALSE(IsWindowEnabled(port));
        EXPECT_EQ(text(port), "5000");
        EXPECT_EQ(SendMessageA(port, EM_GETLIMITTEXT, 0, 0), 5);
        EXPECT_TRUE(GetWindowLongA(port, GWL_STYLE) & ES_NUMBER);
        EXPECT_TRUE(IsWindowVisible(use));
        const RECT u = rectIn(use, dlg), p = rectIn(port, dlg);
        EXPECT_EQ(u.left, 18);
        EXPECT_EQ(u.top, 47);
        EXPECT_EQ(p.left, 170);
        EXPECT_EQ(p.top, 66);
        EXPECT_EQ(p.right - p.left, 60);
        EXPECT_FALSE(applyEnabled(dlg));
        SendMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(app().state().openDialog, OpenDialog::None);
    EXPECT_EQ(readBytes(iniPath()), before);
}

TEST_F(DialogTest, ApplyAfterAChangeWritesExactlyTheSavedKeysAndKeepsTheDialogOpen) {
    ASSERT_NE(start(), nullptr);
    const std::set<std::string> before = keysOf(parseIni(readBytes(iniPath())));
    std::string afterApply;
    openOptions([&](HWND dlg) {
        HWND use = GetDlgItem(dlg, kUseListener), port = GetDlgItem(dlg, kPort);
        SendMessageA(use, BM_CLICK, 0, 0);
        EXPECT_TRUE(IsWindowEnabled(port));
        EXPECT_TRUE(applyEnabled(dlg));
        SetWindowTextA(port, "12345");
        SendMessageA(GetDlgItem(dlg, IDC_APPLY), BM_CLICK, 0, 0);
        afterApply = readBytes(iniPath());
        EXPECT_TRUE(IsWindow(dlg));
        EXPECT_TRUE(applyEnabled(dlg));
        // A later change that is cancelled is not written.
        SetWindowTextA(port, "777");
        SendMessageA(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
    });
    const Ini ini = parseIni(afterApply);
    std::set<std::string> expected = keysOfSaveSettings();
    expected.insert(before.begin(), before.end());
    EXPECT_EQ(keysOf(ini), expected);
    EXPECT_EQ(ini.at("Network").at("MSRPenable"), "1");
    EXPECT_EQ(ini.at("Network").at("MSRPport"), "12345");
    EXPECT_EQ(readBytes(iniPath()), afterApply);
    EXPECT_EQ(app().state().openDialog, OpenDialog::None);
}

TEST_F(DialogTest, OkAfterUncheckingWritesTheSwitchAndTheWrappedPort) {
    ASSERT_NE(start(), nullptr);
    // As loaded from a file that has them (the listener itself stays closed).
    app().settings().msrpEnable = true;
    app().settings().savedMsrpPort = 6000;
    openOptions([&](HWND dlg) {
        HWND use = GetDlgItem(dlg, kUseListener), port = GetDlgItem(dlg, kPort);
        EXPECT_EQ(SendMessageA(use, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_TRUE(IsWindowEnabled(port));
        EXPECT_EQ(text(port), "6000");
        SetWindowTextA(port, "70000");  // five digits, kept in 16 bits
        EXPECT_TRUE(applyEnabled(dlg));
        SendMessageA(use, BM_CLICK, 0, 0);
        EXPECT_FALSE(IsWindowEnabled(port));
        SendMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    });
    const Ini ini = parseIni(readBytes(iniPath()));
    EXPECT_EQ(ini.at("Network").at("MSRPenable"), "0");
    EXPECT_EQ(ini.at("Network").at("MSRPport"), "4464");
    EXPECT_EQ(ini.at("MessageBox").at("Quit"), "1");
}

TEST_F(DialogTest, CancelAfterAChangeWritesNothing) {
    ASSERT_NE(start(), nullptr);
    const std::string before = readBytes(iniPath());
    openOptions([&](HWND dlg) {
        SendMessageA(GetDlgItem(dlg, kUseListener), BM_CLICK, 0, 0);
        EXPECT_TRUE(applyEnabled(dlg));
        SendMessageA(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(readBytes(iniPath()), before);
}

TEST_F(DialogTest, AboutShowsTheVersionBlockAndEscapeClosesIt) {
    ASSERT_NE(start("[ZELO]\r\nLanguage=1\r\n"), nullptr);
    HWND main = window().hwnd();
    std::string caption, product, notice;
    const bool closed = withDialog([&] { SendMessageA(main, WM_COMMAND, IDM_ABOUT, 0); },
                                   [&](HWND dlg) {
                                       caption = text(dlg);
                                       product = text(GetDlgItem(dlg, IDC_ABOUT_PRODUCT));
                                       notice = text(GetDlgItem(dlg, IDC_ABOUT_COPYRIGHT));
                                       HWND focus = GetFocus();
                                       PostMessageA(focus ? focus : dlg, WM_KEYDOWN, VK_ESCAPE, 0);
                                   });
    EXPECT_TRUE(closed);  // by Escape, not by the watchdog
    EXPECT_EQ(caption, "About this software");
    EXPECT_EQ(product, "ZELO Ver 1.00");
    EXPECT_EQ(notice, "Copyright (C) 2026 ZELO developers");
}

}  // namespace
}  // namespace zelo
