#pragma once
// The about box (resource 703): the program icon, "<product> Ver <version>"
// and the copyright notice, read from the program file's version resource.

#include <windows.h>

#include <string>

#include "win32/lang_fonts_win32.h"

namespace zelo {

class LangStrings;

// A value of the version resource of the running program file
// ("ProductName", "ProductVersion", "LegalCopyright"), in the first
// translation the resource lists; empty when it cannot be read.
std::string versionValue(const char* name);

class AboutDialog {
public:
    AboutDialog(const LangStrings& strings, HINSTANCE instance) noexcept
        : strings_(strings), instance_(instance) {}
    AboutDialog(const AboutDialog&) = delete;
    AboutDialog& operator=(const AboutDialog&) = delete;

    // Modal over `owner`: IDOK, or IDCANCEL for Escape.
    INT_PTR run(HWND owner);

private:
    static INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);
    void onInit();
    void onDestroy();

    const LangStrings& strings_;
    HINSTANCE instance_;
    HWND dlg_ = nullptr;
    FontHandle font_;
    FontHandle noticeFont_;
};

}  // namespace zelo
