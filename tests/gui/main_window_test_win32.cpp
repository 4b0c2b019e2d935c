// The main window built in this process over a temporary data directory,
// with questions answered by a scripted front end: what only the window can
// get wrong (its menu, the splitter drags, sizes, the saved rectangle, the
// close question, the tray), driven with messages.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/gui/gui_fixture_win32.h"
#include "win32/image_list_win32.h"

namespace zelo {
namespace {

using test::readBytes;

class MainWindowTest : public test::GuiFixture {};

RECT rectIn(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}
int widthOf(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r.right - r.left;
}

// Presses the left pane's bar, moves to `x` (relative to the pane) and lets go.
void drag(HWND pane, int x) {
    RECT r{};
    GetClientRect(pane, &r);
    const int y = r.bottom / 2;
    SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right - 2, y));
    SendMessageA(pane, WM_MOUSEMOVE, MK_LBUTTON,
                 MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), y));
    SendMessageA(pane, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), y));
}

TEST_F(MainWindowTest, CreatesItsFramePanesAndStatusBar) {
    HWND main = start("[ZELO]\r\nLanguage=1\r\n");
    ASSERT_NE(main, nullptr);
    char text[64] = {};
    GetClassNameA(main, text, sizeof text);
    EXPECT_STREQ(text, "ZELO");
    GetWindowTextA(main, text, sizeof text);
    EXPECT_STREQ(text, "ZELO");
    EXPECT_EQ(GetWindowLongA(main, GWL_STYLE) & 0x02CF0000, 0x02CF0000);

    HWND bar = GetDlgItem(main, IDC_STATUS_BAR);
    ASSERT_NE(bar, nullptr);
    int parts[4] = {};
    ASSERT_EQ(SendMessageA(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)), 3);
    EXPECT_EQ(parts[0], 200);
    EXPECT_EQ(parts[1], 350);
    EXPECT_EQ(parts[2], -1);

    HWND left = window().leftPane().hwnd(), right = window().rightPane().hwnd();
    GetClassNameA(left, text, sizeof text);
    EXPECT_STREQ(text, "SplitBase Class");
    GetClassNameA(window().leftPane().child(), text, sizeof text);
    EXPECT_STREQ(text, "SplitChid Class");
    RECT client{};
    GetClientRect(main, &client);
    RECT barRect{};
    GetWindowRect(bar, &barRect);
    const RECT l = rectIn(left, main), r = rectIn(right, main);
    EXPECT_EQ(l.right - l.left, client.right * 20 / 100);
    EXPECT_EQ(r.left, l.right);
    EXPECT_EQ(r.right, client.right);
    EXPECT_EQ(l.bottom, client.bottom - (barRect.bottom - barRect.top));
    // The left child leaves the 4-pixel bar free; the right one fills its pane.
    EXPECT_EQ(widthOf(window().leftPane().child()), l.right - l.left - 4);
    EXPECT_EQ(widthOf(window().rightPane().child()), r.right - r.left);

    EXPECT_EQ(ImageList_GetImageCount(app().imageList()), kImageCount);
}

TEST_F(MainWindowTest, TrackingLimitsHoldWhenTheWindowIsSized) {
    HWND main = start();
    ASSERT_NE(main, nullptr);
    MINMAXINFO info{};
    SendMessageA(main, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 300);
    EXPECT_EQ(info.ptMinTrackSize.y, 300);
    EXPECT_EQ(info.ptMaxTrackSize.x, 8192);
    EXPECT_EQ(info.ptMaxTrackSize.y, 8192);
}

TEST_F(MainWindowTest, MenuFollowsTheLanguage) {
    struct Case {
        const char* language;
        const wchar_t* file;
        const wchar_t* help;
    } cases[] = {
        {"0", L"\x30D5\x30A1\x30A4\x30EB(&F)", L"\x30D8\x30EB\x30D7(&H)"},
        {"1", L"&File", L"&Help"},
        {"2", L"&Dosiero", L"&Savo"},
        {"7", L"\x30D5\x30A1\x30A4\x30EB(&F)", L"\x30D8\x30EB\x30D7(&H)"},  // unknown: Japanese
        {"-1", L"\x30D5\x30A1\x30A4\x30EB(&F)", L"\x30D8\x30EB\x30D7(&H)"},
    };
    for (const Case& c : cases) {
        HWND main = start(std::string("[ZELO]\r\nLanguage=") + c.language + "\r\n");
        ASSERT_NE(main, nullptr) << c.language;
        HMENU menu = GetMenu(main);
        ASSERT_NE(menu, nullptr) << c.language;
        wchar_t label[64] = {};
        GetMenuStringW(menu, 0, label, 64, MF_BYPOSITION);
        EXPECT_STREQ(label, c.file) << c.language;
        GetMenuStringW(menu, 2, label, 64, MF_BYPOSITION);
        EXPECT_STREQ(label, c.help) << c.language;
        stop();
    }
}

TEST_F(MainWindowTest, SplitterDragsStopFourPixelsFromEitherEdge) {
    HWND main = start();
    ASSERT_NE(main, nullptr);
    HWND left = window().leftPane().hwnd(), right = window().rightPane().hwnd();
    RECT client{};
    GetClientRect(main, &client);
    const int height = rectIn(left, main).bottom;

    drag(left, -500);  // far left
    EXPECT_EQ(widthOf(left), 4);
    EXPECT_EQ(rectIn(right, main).left, 4);
    EXPECT_EQ(rectIn(right, main).right, client.right);

    drag(left, 5000);  // far right
    EXPECT_EQ(widthOf(right), 4);
    EXPECT_EQ(rectIn(right, main).left, client.right - 4);
    EXPECT_EQ(widthOf(left), client.right - 4);

    drag(left, 298);  // the pointer was 2 pixels inside the bar's right edge
    EXPECT_EQ(widthOf(left), 300);
    EXPECT_EQ(rectIn(right, main).left, 300);
    EXPECT_EQ(rectIn(right, main).right, client.right);
    EXPECT_EQ(widthOf(window().leftPane().child()), 296);  // the child follows its pane
    EXPECT_EQ(rectIn(left, main).bottom, height);           // heights untouched
    EXPECT_EQ(rectIn(right, main).bottom, height);

    // A move without a press moves nothing.
    SendMessageA(left, WM_MOUSEMOVE, 0, MAKELPARAM(100, 10));
    EXPECT_EQ(widthOf(left), 300);
}

TEST_F(MainWindowTest, ResizingKeepsTheLeftPaneAndGivesTheRestToTheList) {
    HWND main = start();
    ASSERT_NE(main, nullptr);
    HWND left = window().leftPane().hwnd(), right = window().rightPane().hwnd();
    const int leftWidth = widthOf(left);

    SetWindowPos(main, nullptr, 0, 0, 1000, 650, SWP_NOZORDER | SWP_NOMOVE);
    RECT client{}, bar{};
    GetClientRect(main, &client);
    GetWindowRect(GetDlgItem(main, IDC_STATUS_BAR), &bar);
    EXPECT_EQ(widthOf(left), leftWidth);
    EXPECT_EQ(rectIn(right, main).left, leftWidth);
    EXPECT_EQ(rectIn(right, main).right, client.right);
    EXPECT_EQ(rectIn(right, main).bottom, client.bottom - (bar.bottom - bar.top));
    EXPECT_EQ(rectIn(left, main).bottom, client.bottom - (bar.bottom - bar.top));
    // The status bar was told: it lies along the new bottom edge.
    EXPECT_EQ(rectIn(GetDlgItem(main, IDC_STATUS_BAR), main).bottom, client.bottom);
    EXPECT_EQ(rectIn(GetDlgItem(main, IDC_STATUS_BAR), main).right, client.right);

    SetWindowPos(main, nullptr, 0, 0, 400, 400, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(widthOf(left), leftWidth);
    GetClientRect(main, &client);
    EXPECT_EQ(widthOf(right), client.right - leftWidth);
}

TEST_F(MainWindowTest, SavedRectangleRoundTripsAndDefaultIs800By500AtTheCorner) {
    HWND main = start("[ZELO]\r\nPosition=40 440 60 560\r\n");
    ASSERT_NE(main, nullptr);
    RECT r{};
    GetWindowRect(main, &r);
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.right, 560);
    EXPECT_EQ(r.bottom, 440);
    MoveWindow(main, 100, 120, 640, 480, TRUE);
    SendMessageA(main, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_TRUE(pumpUntilQuit());
    EXPECT_NE(readBytes(iniPath()).find("Position=120 600 100 740\r\n"), std::string::npos)
        << readBytes(iniPath());
    stop();

    // The next start opens where the last one ended.
    main = restart();
    ASSERT_NE(main, nullptr);
    GetWindowRect(main, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.right - r.left, 640);
    stop();

    // A left edge of 0: the default size at the saved top edge.
    main = start("[ZELO]\r\nPosition=30 300 0 700\r\n");
    ASSERT_NE(main, nullptr);
    GetWindowRect(main, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 500);
}

TEST_F(MainWindowTest, CloseAsksWhenQuitIsOnAndNoKeepsEverything) {
    HWND main = start();
    ASSERT_NE(main, nullptr);
    const std::string before = readBytes(iniPath());
    frontend.answers = {false};
    SendMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(frontend.questions.size(), 1u);
    EXPECT_EQ(frontend.questions[0].textId, 196);
    EXPECT_EQ(frontend.questions[0].captionId, 197);
    EXPECT_EQ(frontend.questions[0].icon, Icon::Question);
    EXPECT_TRUE(IsWindow(main));
    EXPECT_FALSE(pumpUntilQuit(300));
    EXPECT_EQ(readBytes(iniPath()), before);

    frontend.answers = {true};
    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(frontend.questions.size(), 2u);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(pumpUntilQuit());
    EXPECT_NE(readBytes(iniPath()).find("Position="), std::string::npos);
}

TEST_F(MainWindowTest, CloseWithQuitOffAndTheQuitCommandAskNothing) {
    HWND main = start("[MessageBox]\r\nQuit=0\r\n");
    ASSERT_NE(main, nullptr);
    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(frontend.questions.empty());
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(pumpUntilQuit());
    stop();

    main = start();  // Quit on: the menu's quit command still asks nothing
    ASSERT_NE(main, nullptr);
    SendMessageA(main, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_TRUE(frontend.questions.empty());
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(pumpUntilQuit());
}

TEST_F(MainWindowTest, TrayClicksRestoreAndMinimiseWhenTaskTrayIsOn) {
    HWND main = start("[CtrlDlgMode]\r\nTaskTray=1\r\n");
    ASSERT_NE(main, nullptr);
    ShowWindow(main, SW_MINIMIZE);
    pump();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_FALSE(IsWindowVisible(main));  // hidden: only the tray icon is left

    // Other icons and other mouse events do nothing.
    SendMessageA(main, WM_ZELO_TRAY, IDI_GROUP, WM_LBUTTONDOWN);
    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_RBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(main));

    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsIconic(main));
    // The display server confirms the focus change in its own time.
    for (int waited = 0; waited < 1000 && GetFocus() != main; waited += 20) {
        pump();
        Sleep(20);
    }
    EXPECT_EQ(GetFocus(), main);

    SendMessageA(main, WM_ZELO_TRAY, IDI_PROGRAM, WM_LBUTTONDOWN);
    pump();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_FALSE(IsWindowVisible(main));
}

TEST_F(MainWindowTest, MinimisingWithTaskTrayOffKeepsTheWindowShown) {
    HWND main = start();
    ASSERT_NE(main, nullptr);
    ShowWindow(main, SW_MINIMIZE);
    pump();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_TRUE(IsWindowVisible(main));
}

}  // namespace
}  // namespace zelo
