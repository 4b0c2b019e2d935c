#include "win32/about_dialog_win32.h"

#include <cstdio>
#include <vector>

#include "resources/resource_ids.h"
#include "settings/lang_strings.h"
#include "win32/lang_fonts_win32.h"

namespace zelo {

std::string versionValue(const char* name) {
    // Read through the wide calls: the program's folder may be outside the
    // ANSI code page.
    wchar_t path[32768] = {};
    GetModuleFileNameW(nullptr, path, 32767);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return {};
    std::vector<char> block(size + 1);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) return {};

    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) ||
        length < sizeof(DWORD))
        return {};
    const DWORD translation = *static_cast<const DWORD*>(value);
    char query[128];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s",
                  static_cast<unsigned>(LOWORD(translation)),
                  static_cast<unsigned>(HIWORD(translation)), name);
    if (!VerQueryValueA(block.data(), query, &value, &length) || !value) return {};
    return std::string(static_cast<const char*>(value));
}

INT_PTR AboutDialog::run(HWND owner) {
    return DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_ABOUT), owner, dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK AboutDialog::dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    AboutDialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<AboutDialog*>(lp);
        self->dlg_ = dlg;
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
    } else {
        self = reinterpret_cast<AboutDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
    }
    return self ? self->handle(msg, wp, lp) : FALSE;
}

INT_PTR AboutDialog::handle(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            onInit();
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) EndDialog(dlg_, LOWORD(wp));
            return TRUE;
        case WM_DESTROY:
            onDestroy();
            return TRUE;
        default:
            return FALSE;
    }
}

void AboutDialog::onInit() {
    const std::string face = strings_.text(Text::FontFace);
    const int height = strings_.number(Text::AboutFontHeight),
              charSet = strings_.number(Text::FontCharSet);
    font_ = makeFont(face.c_str(), height, 0, charSet);
    for (int id : {IDC_ABOUT_PRODUCT, IDC_ABOUT_COPYRIGHT, IDOK})
        SendDlgItemMessageA(dlg_, id, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SetWindowTextA(dlg_, strings_.text(Text::AboutCaption).c_str());

    const std::string line = versionValue("ProductName") + " Ver " + versionValue("ProductVersion");
    SetDlgItemTextA(dlg_, IDC_ABOUT_PRODUCT, line.c_str());
    noticeFont_ = makeFont(face.c_str(), height, 0, charSet);
    SendDlgItemMessageA(dlg_, IDC_ABOUT_COPYRIGHT, WM_SETFONT,
                        reinterpret_cast<WPARAM>(noticeFont_.get()), FALSE);
    SetDlgItemTextA(dlg_, IDC_ABOUT_COPYRIGHT, versionValue("LegalCopyright").c_str());
    SetFocus(dlg_);
}

void AboutDialog::onDestroy() {
    font_.reset();
    noticeFont_.reset();
}

}  // namespace zelo
