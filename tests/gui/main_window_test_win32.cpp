// The main window built in this process: what only the window can get wrong
// (its menu per language, the splitter drags, sizes, the saved rectangle,
// the close question, the tray), driven with messages; the options dialog
// and the about box opened the way the operator opens them (F8, the Help
// command) and driven inside their modal loops.
#include <gtest/gtest.h>

#include <map>
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
    RECT rectOf(HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(HWND_DESKTOP, window().hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static int widthOf(HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        return r.right - r.left;
    }
    HWND left() { return window().leftPane().hwnd(); }
    HWND right() { return window().rightPane().hwnd(); }
    // Both panes side by side over the client area above the status bar.
    void expectPanesFill(int leftWidth) {
        RECT client{};
        GetClientRect(window().hwnd(), &client);
        const RECT bar = rectOf(GetDlgItem(window().hwnd(), IDC_STATUS_BAR));
        const int bottom = client.bottom - (bar.bottom - bar.top);
        EXPECT_EQ(widthOf(left()), leftWidth);
        EXPECT_EQ(rectOf(right()).left, leftWidth);
        EXPECT_EQ(rectOf(right()).right, client.right);
        EXPECT_EQ(rectOf(left()).bottom, bottom);
        EXPECT_EQ(rectOf(right()).bottom, bottom);
        EXPECT_EQ(bar.bottom, client.bottom);
        // The left child leaves the 4-pixel bar free.
        EXPECT_EQ(widthOf(window().leftPane().child()), leftWidth - 4);
    }
};

TEST_F(MainWindowTest, MenuFollowsTheLanguageAndCarriesTheWindowsCommands) {
    const wchar_t *file = L"\x30D5\x30A1\x30A4\x30EB(&F)", *help = L"\x30D8\x30EB\x30D7(&H)";
    const struct {
        const char* language;
        const wchar_t* labels[2];
    } cases[] = {{"0", {file, help}}, {"1", {L"&File", L"&Help"}}, {"2", {L"&Dosiero", L"&Savo"}},
                 {"7", {file, help}}, {"-1", {file, help}}};  // unknown: Japanese
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        ASSERT_NE(start(std::string("[ZELO]\r\nLanguage=") + c.language + "\r\n"), nullptr);
        HMENU menu = GetMenu(window().hwnd());
        wchar_t label[64] = {};
        GetMenuStringW(menu, 0, label, 64, MF_BYPOSITION);
        EXPECT_STREQ(label, c.labels[0]);
        GetMenuStringW(menu, 2, label, 64, MF_BYPOSITION);
        EXPECT_STREQ(label, c.labels[1]);
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
    const auto drag = [&](int x) {
        const int y = rectOf(left()).bottom / 2, w = widthOf(left());
        SendMessageA(left(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(w - 2, y));
        SendMessageA(left(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), y));
        SendMessageA(left(), WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), y));
    };
    const struct {
        int x, width;
    } drags[] = {{-500, 4}, {5000, static_cast<int>(client.right) - 4}, {298, 300}};
    for (const auto& d : drags) {
        SCOPED_TRACE(d.x);
        drag(d.x);
        expectPanesFill(d.width);
    }
    SendMessageA(left(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 10));  // no press: nothing moves
    EXPECT_EQ(widthOf(left()), 300);
    for (const SIZE s : {SIZE{1000, 650}, SIZE{400, 400}}) {
        SCOPED_TRACE(s.cx);
        SetWindowPos(window().hwnd(), nullptr, 0, 0, s.cx, s.cy, SWP_NOZORDER | SWP_NOMOVE);
        expectPanesFill(300);
    }
}

TEST_F(MainWindowTest, SavedRectangleRoundTripsAndDefaultIs800By500AtTheCorner) {
    HWND main = start("[ZELO]\r\nPosition=40 440 60 560\r\n");
    ASSERT_NE(main, nullptr);
    RECT r{};
    GetWindowRect(main, &r);
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({60, 40, 560, 440}));
    MoveWindow(main, 100, 120, 640, 480, TRUE);
    SendMessageA(main, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_TRUE(pumpUntilQuit());
    EXPECT_NE(readBytes(iniPath()).find("Position=120 600 100 740\r\n"), std::string::npos);
    ASSERT_NE(main = restart(), nullptr);  // opens where the last run ended
    GetWindowRect(main, &r);
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({100, 120, 740, 600}));
    // A left edge of 0: the default size at the saved top edge.
    ASSERT_NE(main = start("[ZELO]\r\nPosition=30 300 0 700\r\n"), nullptr);
    GetWindowRect(main, &r);
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({0, 30, 800, 530}));
}

TEST_F(MainWindowTest, CloseAsksOnlyWhenQuitIsOnAndNoKeepsEverything) {
    const struct {
        const char* name;
        const char* ini;
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
        if (c.questions) {
            EXPECT_EQ(frontend.questions[0].textId, 196);
            EXPECT_EQ(frontend.questions[0].icon, Icon::Question);
        }
        EXPECT_EQ(IsWindow(main) == FALSE, c.closes);
        EXPECT_EQ(pumpUntilQuit(c.closes ? 2000 : 300), c.closes);
        // Closing writes the position; staying writes nothing.
        EXPECT_EQ(readBytes(iniPath()) != before, c.closes);
        EXPECT_EQ(readBytes(iniPath()).find("Position=") != std::string::npos, c.closes);
    }
}

TEST_F(MainWindowTest, TrayClicksRestoreAndMinimiseOnlyWhenTaskTrayIsOn) {
    HWND main = start();
    ASSERT_NE(main, nullptr);
    ShowWindow(main, SW_MINIMIZE);  // TaskTray off: stays on the task bar
    pump();
    EXPECT_TRUE(IsIconic(main) && IsWindowVisible(main));

    ASSERT_NE(main = start("[CtrlDlgMode]\r\nTaskTray=1\r\n"), nullptr);
    ShowWindow(main, SW_MINIMIZE);
    pump();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_FALSE(IsWindowVisible(main));  // only the tray icon is left
    SendMessageA(main, WM_ZELO_TRAY, IDI_GROUP, WM_LBUTTONDOWN);  // another icon
    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_RBUTTONDOWN);  // another button
    EXPECT_FALSE(IsWindowVisible(main));
    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsIconic(main));
    // The display server confirms the focus change in its own time.
    EXPECT_TRUE(waitFor([&] { return GetFocus() == main; }, 1000));
    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_LBUTTONDOWN);
    pump();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_FALSE(IsWindowVisible(main));
}

constexpr int kUseListener = 3100, kPort = 3300;

// "section/key" -> value of an INI file's bytes.
std::map<std::string, std::string> parseIni(const std::string& bytes) {
    std::map<std::string, std::string> ini;
    std::istringstream in(bytes);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 1 && line.front() == '[') section = line.substr(1, line.size() - 2);
        else if (const auto eq = line.find('='); eq != std::string::npos)
            ini[section + "/" + line.substr(0, eq)] = line.substr(eq + 1);
    }
    return ini;
}
std::set<std::string> keysOf(const std::string& bytes) {
    std::set<std::string> keys;
    for (const auto& kv : parseIni(bytes)) keys.insert(kv.first);
    return keys;
}

class DialogTest : public test::GuiFixture {
protected:
    void openOptions(const std::function<void(HWND, HWND, HWND)>& drive) {
        HWND main = window().hwnd();
        EXPECT_TRUE(withDialog([&] { SendMessageA(main, WM_KEYDOWN, VK_F8, 0); }, [&](HWND dlg) {
            EXPECT_EQ(app().state().openDialog, OpenDialog::Options);
            drive(dlg, GetDlgItem(dlg, kUseListener), GetDlgItem(dlg, kPort));
        }));
        EXPECT_EQ(app().state().openDialog, OpenDialog::None);
    }
    static bool applyEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDC_APPLY)); }
    static void press(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
};

TEST_F(DialogTest, OkOrCancelWithoutAnAppliedChangeWritesNothing) {
    for (const bool change : {false, true}) {
        SCOPED_TRACE(change ? "changed, Cancel" : "unchanged, OK");
        ASSERT_NE(start(), nullptr);
        const std::string before = readBytes(iniPath());
        openOptions([&](HWND dlg, HWND use, HWND port) {
            EXPECT_EQ(SendMessageA(use, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // MSRPenable=0
            EXPECT_FALSE(IsWindowEnabled(port));
            EXPECT_EQ(textOf(port), "5000");
            EXPECT_FALSE(applyEnabled(dlg));
            if (change) press(dlg, kUseListener);
            EXPECT_EQ(applyEnabled(dlg), change);
            press(dlg, change ? IDCANCEL : IDOK);
        });
        EXPECT_EQ(readBytes(iniPath()), before);
    }
}

TEST_F(DialogTest, ApplyAfterAChangeWritesExactlyTheSavedKeysAndKeepsTheDialogOpen) {
    ASSERT_NE(start(), nullptr);
    // The keys saveSettings writes, learnt from it over a file of its own.
    AppSettings other(dir.file("OTHER.INI"));
    other.saveSettings();
    std::set<std::string> expected = keysOf(readBytes(dir.file("OTHER.INI")));
    const std::set<std::string> before = keysOf(readBytes(iniPath()));
    expected.insert(before.begin(), before.end());
    std::string afterApply;
    openOptions([&](HWND dlg, HWND, HWND port) {
        press(dlg, kUseListener);
        EXPECT_TRUE(IsWindowEnabled(port));
        SetWindowTextA(port, "12345");
        press(dlg, IDC_APPLY);
        afterApply = readBytes(iniPath());
        EXPECT_TRUE(IsWindow(dlg));
        SetWindowTextA(port, "777");  // a later change that is cancelled is not written
        press(dlg, IDCANCEL);
    });
    EXPECT_EQ(keysOf(afterApply), expected);
    EXPECT_EQ(parseIni(afterApply)["Network/MSRPenable"], "1");
    EXPECT_EQ(parseIni(afterApply)["Network/MSRPport"], "12345");
    EXPECT_EQ(readBytes(iniPath()), afterApply);
}

TEST_F(DialogTest, EscapeClosesTheAboutBox) {
    ASSERT_NE(start("[ZELO]\r\nLanguage=1\r\n"), nullptr);
    HWND main = window().hwnd();
    std::string product;
    EXPECT_TRUE(withDialog([&] { SendMessageA(main, WM_COMMAND, IDM_ABOUT, 0); }, [&](HWND dlg) {
        product = textOf(GetDlgItem(dlg, IDC_ABOUT_PRODUCT));
        HWND focus = GetFocus();
        PostMessageA(focus ? focus : dlg, WM_KEYDOWN, VK_ESCAPE, 0);
    }));  // closed by Escape, not by the watchdog
    EXPECT_EQ(product, "ZELO Ver 1.00");  // from the version block
}

}  // namespace
}  // namespace zelo
