#pragma once
// The options dialog (resource 702): a tab control whose one page, Network,
// holds the status listener's switch and port. OK and Apply write the whole
// settings file, and only after a change; the running listener keeps its
// port until the next start, as the page's note says.

#include <windows.h>

#include "win32/control_page_builder_win32.h"

namespace zelo {

class Workspace;

class OptionsDialog {
public:
    OptionsDialog(Workspace& workspace, HINSTANCE instance) noexcept
        : workspace_(workspace), instance_(instance) {}
    OptionsDialog(const OptionsDialog&) = delete;
    OptionsDialog& operator=(const OptionsDialog&) = delete;

    // Modal over `owner`: IDOK or IDCANCEL.
    INT_PTR run(HWND owner);

private:
    static INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);

    void onInit();
    void buildNetworkPage();
    void fillNetworkPage();
    void onCommand(int id, int code);
    void onTabChanged();
    INT_PTR onStaticColour(HDC dc, HWND control);
    void save();
    void onDestroy();
    void enableApply(bool on);

    Workspace& workspace_;
    HINSTANCE instance_;
    HWND dlg_ = nullptr;
    ControlPageBuilder builder_;
    HWND useListener_ = nullptr;
    HWND port_ = nullptr;
};

}  // namespace zelo
