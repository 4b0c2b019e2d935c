#include "win32/connecting_window_win32.h"

#include "resources/resource_ids.h"
#include "settings/lang_strings.h"
#include "win32/lang_fonts_win32.h"

namespace zelo {

INT_PTR CALLBACK ConnectingWindow::dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        return TRUE;
    }
    auto* self = reinterpret_cast<ConnectingWindow*>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (self && msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) {
        self->cancelled_ = true;
        EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
        return TRUE;
    }
    return FALSE;
}

void ConnectingWindow::show(HWND owner, HINSTANCE instance, const LangStrings& strings,
                            const std::string& caption, const std::string& text, bool cancellable) {
    hide();
    cancelled_ = false;
    dlg_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CONNECTING), owner, dialogProc,
                              reinterpret_cast<LPARAM>(this));
    if (!dlg_) return;
    HFONT font = uiFont(strings);
    SetWindowTextA(dlg_, caption.c_str());
    HWND label = GetDlgItem(dlg_, IDC_CONNECTING_TEXT);
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowTextA(label, text.c_str());
    if (cancellable) {
        HWND cancel = GetDlgItem(dlg_, IDCANCEL);
        SendMessageA(cancel, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowTextA(cancel, strings.text(Text::Cancel).c_str());
        ShowWindow(cancel, SW_SHOW);
    }
    ShowWindow(dlg_, SW_SHOW);
    UpdateWindow(dlg_);
}

void ConnectingWindow::setText(const std::string& text) {
    if (!dlg_) return;
    SetDlgItemTextA(dlg_, IDC_CONNECTING_TEXT, text.c_str());
    UpdateWindow(dlg_);
}

void ConnectingWindow::hide() {
    if (dlg_) DestroyWindow(dlg_);
    dlg_ = nullptr;
}

}  // namespace zelo
