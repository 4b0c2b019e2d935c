// The main window built in this process: what only the window can get wrong
// (its menu per language, the splitter drags, sizes, the saved rectangle,
// the close question, the tray), driven with messages; the options dialog
// and the about box opened the way the operator opens them (F8, the Help
// command) and driven inside their modal loops.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "settings/app_settings.h"
#include "tests/gui/gui_fixture_win32.h"

namespace zelo {
namespace {

using test::readBytes;
using test::textOf;

class MainWindowTest : public test::GuiFixture {
protected:
    // left, top, right, bottom in the main window's client coordinates.
    std::vector<LONG> rectOf(HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(HWND_DESKTOP, window().hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return {r.left, r.top, r.right, r.bottom};
    }
    HWND left() { return window().leftPane().hwnd(); }
    // Both panes side by side over the client area above the status bar; the
    // left pane's child leaves the 4-pixel bar free.
    void expectPanesFill(LONG leftWidth) {
        RECT client{};
        GetClientRect(window().hwnd(), &client);
        const std::vector<LONG> bar = rectOf(GetDlgItem(window().hwnd(), IDC_STATUS_BAR));
        EXPECT_EQ(bar[3], client.bottom);
        const LONG bottom = bar[1];
        EXPECT_EQ(rectOf(left()), std::vector<LONG>({0, 0, leftWidth, bottom}));
        EXPECT_EQ(rectOf(window().rightPane().hwnd()),
                  std::vector<LONG>({leftWidth, 0, client.right, bottom}));
        EXPECT_EQ(rectOf(window().leftPane().child())[2], leftWidth - 4);
    }
};

TEST_F(MainWindowTest, MenuFollowsTheLanguageAndCarriesTheWindowsCommands) {
    // The first and third menus' labels per Language; an unknown one is Japanese.
    const std::wstring japanese = L"\x30D5\x30A1\x30A4\x30EB(&F) \x30D8\x30EB\x30D7(&H)";
    const std::pair<const char*, std::wstring> cases[] = {{"0", japanese},
                                                          {"1", L"&File &Help"},
                                                          {"2", L"&Dosiero &Savo"},
                                                          {"7", japanese},
                                                          {"-1", japanese}};
    for (const auto& [language, labels] : cases) {
        SCOPED_TRACE(language);
        ASSERT_NE(start(std::string("[ZELO]\r\nLanguage=") + language + "\r\n"), nullptr);
        HMENU menu = GetMenu(window().hwnd());
        wchar_t file[64] = {}, help[64] = {};
        GetMenuStringW(menu, 0, file, 64, MF_BYPOSITION);
        GetMenuStringW(menu, 2, help, 64, MF_BYPOSITION);
        EXPECT_EQ(std::wstring(file) + L" " + help, labels);
        for (UINT command : {IDM_QUIT, IDM_OPTION, IDM_ABOUT})
            EXPECT_NE(GetMenuState(menu, command, MF_BYCOMMAND), UINT(-1)) << command;
    }
}

TEST_F(MainWindowTest, SplitterDragsStopFourPixelsFromEitherEdgeAndResizingKeepsTheLeftPane) {
    ASSERT_NE(start(), nullptr);
    RECT client{};
    GetClientRect(window().hwnd(), &client);
    expectPanesFill(client.right * 20 / 100);
    // Presses the bar 2 pixels inside its right edge, moves to x and lets go.
    const std::pair<int, LONG> drags[] = {{-500, 4}, {5000, client.right - 4}, {298, 300}};
    for (const auto& [x, width] : drags) {
        SCOPED_TRACE(x);
        const LPARAM to = MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), 100);
        SendMessageA(left(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rectOf(left())[2] - 2, 100));
        SendMessageA(left(), WM_MOUSEMOVE, MK_LBUTTON, to);
        SendMessageA(left(), WM_LBUTTONUP, 0, to);
        expectPanesFill(width);
    }
    SendMessageA(left(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 10));  // no press: nothing moves
    EXPECT_EQ(rectOf(left())[2], 300);
    for (const SIZE s : {SIZE{1000, 650}, SIZE{400, 400}}) {
        SCOPED_TRACE(s.cx);
        SetWindowPos(window().hwnd(), nullptr, 0, 0, s.cx, s.cy, SWP_NOZORDER | SWP_NOMOVE);
        expectPanesFill(300);
    }
}

// Where a saved rectangle leads (and the default) is the core's; the window
// opens there and saves where it is.
TEST_F(MainWindowTest, SavedRectangleRoundTrips) {
    HWND main = start("[ZELO]\r\nPosition=40 440 60 560\r\n");
    ASSERT_NE(main, nullptr);
    const auto screenRect = [&] {
        RECT r{};
        GetWindowRect(window().hwnd(), &r);
        return std::vector<LONG>({r.left, r.top, r.right, r.bottom});
    };
    EXPECT_EQ(screenRect(), std::vector<LONG>({60, 40, 560, 440}));
    MoveWindow(main, 100, 120, 640, 480, TRUE);
    SendMessageA(main, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_TRUE(waitFor(pump, 2000));
    EXPECT_NE(readBytes(iniPath()).find("Position=120 600 100 740\r\n"), std::string::npos);
    ASSERT_NE(restart(), nullptr);  // opens where the last run ended
    EXPECT_EQ(screenRect(), std::vector<LONG>({100, 120, 740, 600}));
}

TEST_F(MainWindowTest, CloseAsksOnlyWhenQuitIsOnAndNoKeepsEverything) {
    const struct {
        const char *name, *ini;
        UINT message;
        WPARAM command;
        std::deque<bool> answers;
        std::size_t questions;
        bool closes;
    } cases[] = {
        {"close, Quit on, No", "", WM_CLOSE, 0, {false}, 1, false},
        {"close, Quit on, Yes", "", WM_CLOSE, 0, {true}, 1, true},
        {"close, Quit off", "[MessageBox]\r\nQuit=0\r\n", WM_CLOSE, 0, {}, 0, true},
        {"quit command, Quit on", "", WM_COMMAND, IDM_QUIT, {}, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        frontend.questions.clear();
        frontend.answers = c.answers;
        HWND main = start(c.ini);
        ASSERT_NE(main, nullptr);
        const std::string before = readBytes(iniPath());
        SendMessageA(main, c.message, c.command, 0);
        ASSERT_EQ(frontend.questions.size(), c.questions);
        if (c.questions) {  // text, caption, icon
            EXPECT_TRUE(frontend.questions[0] ==
                        (test::ScriptedFrontend::Question{Text::QuitQuestion, Text::QuitCaption,
                                                          Icon::Question}));
        }
        EXPECT_EQ(IsWindow(main) == FALSE, c.closes);
        EXPECT_EQ(waitFor(pump, c.closes ? 2000 : 300), c.closes);
        // Closing writes the position; staying writes nothing.
        EXPECT_EQ(readBytes(iniPath()) != before, c.closes);
        EXPECT_EQ(readBytes(iniPath()).find("Position=") != std::string::npos, c.closes);
    }
}

TEST_F(MainWindowTest, TrayClicksRestoreAndMinimiseOnlyWhenTaskTrayIsOn) {
    for (const bool tray : {false, true}) {
        SCOPED_TRACE(tray ? "TaskTray on" : "TaskTray off");
        ASSERT_NE(start(tray ? "[CtrlDlgMode]\r\nTaskTray=1\r\n" : ""), nullptr);
        ShowWindow(window().hwnd(), SW_MINIMIZE);
        pump();
        EXPECT_TRUE(IsIconic(window().hwnd()));
        EXPECT_EQ(IsWindowVisible(window().hwnd()) == FALSE,
                  tray);  // on: only the tray icon is left
    }
    HWND main = window().hwnd();
    const auto inTray = [&] { return IsIconic(main) && !IsWindowVisible(main); };
    SendMessageA(main, WM_ZELO_TRAY, IDI_GROUP, WM_LBUTTONDOWN);    // another icon
    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_RBUTTONDOWN);  // another button
    EXPECT_TRUE(inTray());
    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(main) && !IsIconic(main));
    // The display server confirms the focus change in its own time.
    EXPECT_TRUE(waitFor([&] { return GetFocus() == main; }, 1000));
    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_LBUTTONDOWN);
    pump();
    EXPECT_TRUE(inTray());
}

constexpr int kUseListener = 3100, kPort = 3300;

// "section/key" of every value in an INI file's bytes.
std::set<std::string> keysOf(const std::string& bytes) {
    std::set<std::string> keys;
    std::istringstream in(bytes);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.size() > 1 && line.front() == '[')
            section = line.substr(1, line.find(']') - 1);
        else if (const auto eq = line.find('='); eq != std::string::npos)
            keys.insert(section + "/" + line.substr(0, eq));
    }
    return keys;
}

class DialogTest : public test::GuiFixture {
protected:
    static bool applyEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDC_APPLY)); }
    static void press(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
};

// OK without a change and Cancel after one write nothing; Apply writes the
// change (exactly the keys saveSettings writes) and keeps the dialog open.
TEST_F(DialogTest, OnlyApplyWritesAndItKeepsTheDialogOpen) {
    for (const int last : {IDOK, IDCANCEL, IDC_APPLY}) {
        SCOPED_TRACE(last == IDOK       ? "unchanged, OK"
                     : last == IDCANCEL ? "changed, Cancel"
                                        : "Apply");
        ASSERT_NE(start(), nullptr);
        const std::string before = readBytes(iniPath());
        std::string afterApply = before;
        HWND main = window().hwnd();
        EXPECT_TRUE(withDialog(
            [&] { SendMessageA(main, WM_KEYDOWN, VK_F8, 0); },
            [&](HWND dlg) {
                EXPECT_EQ(app().state().openDialog, OpenDialog::Options);
                HWND use = GetDlgItem(dlg, kUseListener), port = GetDlgItem(dlg, kPort);
                EXPECT_EQ(SendMessageA(use, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // MSRPenable=0
                EXPECT_EQ(textOf(port), "5000");
                EXPECT_FALSE(applyEnabled(dlg));
                if (last != IDOK) press(dlg, kUseListener);
                EXPECT_EQ(applyEnabled(dlg), last != IDOK);
                EXPECT_EQ(IsWindowEnabled(port) != FALSE, last != IDOK);
                if (last == IDC_APPLY) {
                    SetWindowTextA(port, "12345");
                    press(dlg, IDC_APPLY);
                    afterApply = readBytes(iniPath());
                    EXPECT_TRUE(IsWindow(dlg));
                    SetWindowTextA(port, "777");  // a later change that is cancelled is not written
                }
                press(dlg, last == IDOK ? IDOK : IDCANCEL);
            }));
        EXPECT_EQ(app().state().openDialog, OpenDialog::None);
        EXPECT_EQ(readBytes(iniPath()), afterApply);
        if (last != IDC_APPLY) continue;
        // The keys saveSettings writes, learnt from it over a file of its own.
        AppSettings other(dir.file("OTHER.INI"));
        other.saveSettings();
        std::set<std::string> expected = keysOf(readBytes(dir.file("OTHER.INI")));
        for (const std::string& key : keysOf(before)) expected.insert(key);
        EXPECT_EQ(keysOf(afterApply), expected);
        EXPECT_NE(afterApply.find("\r\nMSRPenable=1\r\n"), std::string::npos) << afterApply;
        EXPECT_NE(afterApply.find("\r\nMSRPport=12345\r\n"), std::string::npos);
    }
}

TEST_F(DialogTest, EscapeClosesTheAboutBox) {
    ASSERT_NE(start("[ZELO]\r\nLanguage=1\r\n"), nullptr);
    HWND main = window().hwnd();
    std::string product;
    EXPECT_TRUE(withDialog([&] { SendMessageA(main, WM_COMMAND, IDM_ABOUT, 0); },
                           [&](HWND dlg) {
                               product = textOf(GetDlgItem(dlg, IDC_ABOUT_PRODUCT));
                               HWND focus = GetFocus();
                               PostMessageA(focus ? focus : dlg, WM_KEYDOWN, VK_ESCAPE, 0);
                           }));           // closed by Escape, not by the watchdog
    EXPECT_EQ(product, "ZELO Ver 1.00");  // from the version block
}

}  // namespace
}  // namespace zelo
