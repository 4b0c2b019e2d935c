#pragma once
// The small modeless window of dialog 724: "Connecting" while a device is
// logged in and read, and the progress window of a schedule delivery (with
// its Cancel button). It paints at once, since the work it announces keeps
// the thread from the message loop.

#include <windows.h>

#include <string>

namespace zelo {

class LangStrings;

class ConnectingWindow {
public:
    ConnectingWindow() = default;
    ~ConnectingWindow() { hide(); }
    ConnectingWindow(const ConnectingWindow&) = delete;
    ConnectingWindow& operator=(const ConnectingWindow&) = delete;

    // Shows the window over `owner` with `caption` and `text` in the
    // interface font; with `cancellable` its Cancel button shows.
    void show(HWND owner, HINSTANCE instance, const LangStrings& strings,
              const std::string& caption, const std::string& text, bool cancellable = false);
    void hide();
    void setText(const std::string& text);
    HWND hwnd() const noexcept { return dlg_; }
    // Cancel was pressed since the window showed.
    bool cancelled() const noexcept { return cancelled_; }

private:
    static INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);

    HWND dlg_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace zelo
