#include "win32/splitter_win32.h"

#include <windowsx.h>

namespace zelo {
namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
constexpr DWORD kChildExStyle = WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE;

}  // namespace

SplitterPane::~SplitterPane() {
    if (pane_) {
        SetWindowLongPtrA(pane_, GWLP_USERDATA, 0);
        DestroyWindow(pane_);
    }
}

LRESULT CALLBACK SplitterPane::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    SplitterPane* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<SplitterPane*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->pane_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<SplitterPane*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    return self->handle(msg, wp, lp);
}

LRESULT CALLBACK SplitterPane::childProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrA(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    }
    auto* handler = reinterpret_cast<PaneHandler*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    if (!handler) return DefWindowProcA(hwnd, msg, wp, lp);
    return handler->paneMessage(hwnd, msg, wp, lp);
}

bool SplitterPane::create(HWND owner, HINSTANCE instance, const PaneRect& rect) {
    owner_ = owner;
    CreateWindowExA(0, kSplitBaseClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect.x, rect.y,
                    rect.width, rect.height, owner, nullptr, instance, this);
    return pane_ != nullptr;
}

bool SplitterPane::createChild(HINSTANCE instance, PaneHandler* handler) {
    const SIZE s = size();
    const PaneRect r = childRect(s.cx, s.cy, right_ != nullptr, bottom_ != nullptr);
    child_ = CreateWindowExA(kChildExStyle, kSplitChildClass, "", kChildStyle, r.x, r.y, r.width,
                             r.height, pane_, nullptr, instance, handler);
    return child_ != nullptr;
}

void SplitterPane::place(const PaneRect& rect) {
    MoveWindow(pane_, rect.x, rect.y, rect.width, rect.height, TRUE);
}

SIZE SplitterPane::size() const {
    RECT r{};
    GetClientRect(pane_, &r);
    return {r.right, r.bottom};
}

LRESULT SplitterPane::handle(UINT msg, WPARAM wp, LPARAM lp) {
    HWND self = pane_;  // cleared below when the window goes
    switch (msg) {
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT && onSetCursor()) return TRUE;
            break;
        case WM_SIZE:
            onSize(LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_LBUTTONDOWN:
            onButtonDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return 0;
        case WM_MOUSEMOVE:
            onMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return 0;
        case WM_LBUTTONUP:
            onButtonUp();
            return 0;
        case WM_CAPTURECHANGED:
            drag_ = Drag::None;
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrA(pane_, GWLP_USERDATA, 0);
            pane_ = nullptr;
            child_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcA(self, msg, wp, lp);
}

bool SplitterPane::overBottomBar(int y) const {
    return bottom_ && y >= size().cy - kSplitterBar;
}

bool SplitterPane::onSetCursor() {
    // The child covers all but the bar, so the pane sees the mouse only there.
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(pane_, &p);
    LPCSTR cursor = IDC_ARROW;
    if (overBottomBar(p.y))
        cursor = IDC_SIZENS;
    else if (right_)
        cursor = IDC_SIZEWE;
    SetCursor(LoadCursorA(nullptr, cursor));
    return true;
}

void SplitterPane::onSize(int width, int height) {
    if (!child_) return;
    const PaneRect r = childRect(width, height, right_ != nullptr, bottom_ != nullptr);
    // The tree, the group box and the list follow when the child sees its
    // new size.
    MoveWindow(child_, r.x, r.y, r.width, r.height, TRUE);
}

void SplitterPane::onButtonDown(int x, int y) {
    const SIZE s = size();
    if (overBottomBar(y)) {
        drag_ = Drag::Vertical;
        grab_ = s.cy - y;
    } else if (right_) {
        drag_ = Drag::Horizontal;
        grab_ = s.cx - x;
    } else {
        return;
    }
    SetCapture(pane_);
}

void SplitterPane::onButtonUp() {
    if (drag_ == Drag::None) return;
    drag_ = Drag::None;
    ReleaseCapture();
}

RECT SplitterPane::rectInOwner(HWND window) const {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, owner_, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void SplitterPane::onMouseMove(int x, int y) {
    if (drag_ == Drag::None) return;
    const bool across = drag_ == Drag::Horizontal;
    SplitterPane* neighbour = across ? right_ : bottom_;
    if (!neighbour) return;
    const RECT mine = rectInOwner(pane_), theirs = rectInOwner(neighbour->pane_);
    const SplitResult split = across ? dragSplit(x, grab_, theirs.right - mine.left)
                                     : dragSplit(y, grab_, theirs.bottom - mine.top);
    // Both moves show as one: nothing of the owner is drawn until both are done.
    LockWindowUpdate(owner_);
    if (across) {
        MoveWindow(pane_, mine.left, mine.top, split.paneSize, mine.bottom - mine.top, TRUE);
        MoveWindow(neighbour->pane_, mine.left + split.neighbourStart, theirs.top,
                   split.neighbourSize, theirs.bottom - theirs.top, TRUE);
    } else {
        MoveWindow(pane_, mine.left, mine.top, mine.right - mine.left, split.paneSize, TRUE);
        MoveWindow(neighbour->pane_, theirs.left, mine.top + split.neighbourStart,
                   theirs.right - theirs.left, split.neighbourSize, TRUE);
    }
    LockWindowUpdate(nullptr);
    RedrawWindow(owner_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace zelo
