#include "win32/main_window_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <winsock.h>

#include "app/main_layout.h"
#include "common/frontend.h"
#include "resources/resource_ids.h"
#include "win32/about_dialog_win32.h"
#include "win32/monitor_app_win32.h"
#include "win32/options_dialog_win32.h"

namespace zelo {
namespace {

constexpr DWORD kMainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kStatusBarStyle = WS_CHILD | WS_VISIBLE | CCS_BOTTOM | SBARS_SIZEGRIP;
constexpr UINT kTimerMilliseconds = 100;
constexpr int kStatusParts[3] = {200, 350, -1};

}  // namespace

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool MainWindow::create(const std::string& className, const std::string& title, int showCommand) {
    const PaneRect r = initialWindowRect(app_.settings().position);
    hwnd_ =
        CreateWindowExA(0, className.c_str(), title.c_str(), kMainWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, r.width, r.height, nullptr, nullptr, app_.instance(), this);
    if (!hwnd_) return false;
    // The saved left and top edge, whether or not a rectangle was saved.
    MoveWindow(hwnd_, r.x, r.y, r.width, r.height, FALSE);
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    if (app_.settings().taskTray) addTrayIcon();
    SetFocus(hwnd_);
    return true;
}

void MainWindow::focusTree() {
    if (screen_) screen_->focusTree();
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MainWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    return self->handle(msg, wp, lp);
}

LRESULT MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            return onCreate() ? 0 : -1;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lp);
            info->ptMinTrackSize = {kMinTrackSize, kMinTrackSize};
            info->ptMaxTrackSize = {kMaxTrackSize, kMaxTrackSize};
            return 0;
        }
        case WM_TIMER:
            onTimer();
            return 0;
        case WM_SIZE:
            onSize(wp, lp);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd_, &ps);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_CLOSE:
            onClose();
            return 0;
        case WM_DESTROY:
            onDestroy();
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            return 0;
        case WM_KEYDOWN:
            onKeyDown(wp);
            return 0;
        case WM_COMMAND:
            onCommand(LOWORD(wp));
            return 0;
        case WM_ZELO_TRAY:
            onTrayCallback(wp, lp);
            return 0;
        default:
            return DefWindowProcA(hwnd_, msg, wp, lp);
    }
}

HMENU MainWindow::loadMainMenu() const {
    int id = IDR_MENU_JA;  // 0 and any value not known
    if (app_.settings().language == Language::English) id = IDR_MENU_EN;
    if (app_.settings().language == Language::Esperanto) id = IDR_MENU_EO;
    return LoadMenuA(app_.instance(), MAKEINTRESOURCEA(id));
}

bool MainWindow::onCreate() {
    SetTimer(hwnd_, IDT_MAIN_TIMER, kTimerMilliseconds, nullptr);
    menu_ = loadMainMenu();
    SetMenu(hwnd_, menu_);
    statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", kStatusBarStyle, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)),
                                 app_.instance(), nullptr);
    SendMessageA(statusBar_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(kStatusParts));
    screen_ = std::make_unique<MainScreen>(app_);
    if (!createPanes()) return false;
    app_.buildImageList();
    // The group tree with its group box, the device list, the root selected.
    if (!screen_->create(left_.child(), right_.child(), statusBar_)) return false;
    app_.setPanes(screen_.get());
    return true;
}

bool MainWindow::createPanes() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const PaneLayout layout = zelo::createPanes(client.right, client.bottom);
    left_.setRightNeighbour(&right_);
    if (!left_.create(hwnd_, app_.instance(), layout.left) ||
        !right_.create(hwnd_, app_.instance(), layout.right))
        return false;
    return left_.createChild(app_.instance(), screen_.get()) &&
           right_.createChild(app_.instance(), screen_.get());
}

void MainWindow::onTimer() {
    // Polls the status listener unless it is closed, the property dialog is
    // open or a batch walk runs.
    app_.workspace().tick();
}

void MainWindow::onSize(WPARAM kind, LPARAM lp) {
    if (statusBar_) SendMessageA(statusBar_, WM_SIZE, kind, lp);
    if (left_.hwnd() && right_.hwnd()) {
        RECT bar{};
        if (statusBar_) GetWindowRect(statusBar_, &bar);
        const PaneLayout layout =
            sizePanes(LOWORD(lp), HIWORD(lp), bar.bottom - bar.top, left_.size().cx);
        left_.place(layout.left);
        right_.place(layout.right);
        if (screen_) screen_->layout(HIWORD(lp));
    }
    if (kind == SIZE_MINIMIZED && app_.settings().taskTray) ShowWindow(hwnd_, SW_HIDE);
}

void MainWindow::onClose() {
    if (app_.settings().confirmQuit &&
        !app_.frontend().askYesNo(Text::QuitQuestion, Text::QuitCaption, Icon::Question))
        return;
    DestroyWindow(hwnd_);
}

void MainWindow::onDestroy() {
    KillTimer(hwnd_, IDT_MAIN_TIMER);
    // The column layout of the group shown, so that a change made since the
    // last move between groups is not lost.
    if (screen_) screen_->saveLayout();
    app_.setPanes(nullptr);
    app_.state().listenerOpen = false;
    app_.station().closeStatusListener();
    WSACleanup();
    removeTrayIcon();
    app_.directory().devices().clear();
    // A minimised window reports the icon's parking place: keep the restored
    // rectangle instead, so the next start opens on the screen.
    RECT rect;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (IsIconic(hwnd_) && GetWindowPlacement(hwnd_, &placement))
        rect = placement.rcNormalPosition;
    else
        GetWindowRect(hwnd_, &rect);
    app_.settings().savePosition({rect.top, rect.bottom, rect.left, rect.right});
    PostQuitMessage(0);
}

void MainWindow::onKeyDown(WPARAM key) {
    if (key == VK_F8) SendMessageA(hwnd_, WM_COMMAND, IDM_OPTION, 0);
}

void MainWindow::onCommand(int id) {
    switch (id) {
        case IDM_QUIT:
            DestroyWindow(hwnd_);
            break;
        case IDM_OPTION:
            OptionsDialog(app_.workspace(), app_.instance()).run(hwnd_);
            break;
        case IDM_ABOUT:
            AboutDialog(app_.strings(), app_.instance()).run(hwnd_);
            break;
        case IDM_DELIVER_SCHEDULE:
            app_.deliverSchedule();
            break;
        default:
            break;
    }
}

void MainWindow::onTrayCallback(WPARAM iconId, LPARAM mouseEvent) {
    if (iconId != IDI_PROGRAM || mouseEvent != WM_LBUTTONDOWN) return;
    if (!IsIconic(hwnd_)) {
        ShowWindow(hwnd_, SW_MINIMIZE);
    } else {
        ShowWindow(hwnd_, SW_SHOW);
        ShowWindow(hwnd_, SW_RESTORE);
        // A click on the tray leaves another program in front: come forward.
        SetForegroundWindow(hwnd_);
        SetFocus(hwnd_);
    }
}

void MainWindow::addTrayIcon() {
    NOTIFYICONDATAA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd_;
    nid.uID = IDI_PROGRAM;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_ZELO_TRAY;
    nid.hIcon = LoadIconA(app_.instance(), MAKEINTRESOURCEA(IDI_PROGRAM));
    lstrcpynA(nid.szTip, "ZELO", sizeof nid.szTip);
    Shell_NotifyIconA(NIM_ADD, &nid);
}

void MainWindow::removeTrayIcon() {
    NOTIFYICONDATAA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd_;
    nid.uID = IDI_PROGRAM;
    Shell_NotifyIconA(NIM_DELETE, &nid);
}

}  // namespace zelo
