#include "win32/delivery_window_win32.h"

#include <commdlg.h>

#include "app/workspace.h"
#include "common/text_encoding.h"
#include "win32/connecting_window_win32.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace zelo {
namespace {
constexpr UINT_PTR kStepTimer = 1;
constexpr UINT kStepMilliseconds = 100;

}  // namespace

bool chooseScheduleFile(MonitorApp& app, HWND owner, std::string& path) {
    // The wide dialog: the chosen path comes back as UTF-8 whatever its
    // characters (the texts shown are the ANSI code page's).
    const LangStrings& s = app.strings();
    std::wstring filter = ansiToWide(s.text(Text::ScheduleFileFilter));
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.push_back(L'\0');
    const std::wstring title = ansiToWide(s.text(Text::OpenScheduleCaption));
    wchar_t file[MAX_PATH + 1] = {};
    wchar_t fileTitle[MAX_PATH + 1] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    // The name and extension alone, for the delivery log, come from the path.
    ofn.lpstrFileTitle = fileTitle;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = L"shx";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn)) return false;
    path = wideToUtf8(file);
    return true;
}

std::vector<DeliveryResult> DeliveryWindow::run(DeliveryWalk& walk) {
    Workspace& ws = app_.workspace();
    const LangStrings& s = ws.strings();
    const std::string delivering = s.text(Text::NowDelivering);
    HWND owner = app_.mainWindow() ? app_.mainWindow()->hwnd() : nullptr;
    ConnectingWindow progress;
    progress.show(owner, app_.instance(), s, delivering, delivering, true);
    if (owner) EnableWindow(owner, FALSE);
    ws.state().busy = true;
    SetTimer(progress.hwnd(), kStepTimer, kStepMilliseconds, nullptr);
    MSG msg;
    while (!walk.done()) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.message == WM_TIMER && msg.hwnd == progress.hwnd() && msg.wParam == kStepTimer) {
            if (progress.cancelled()) {
                walk.cancel();
            } else if (walk.position() < walk.size()) {
                const std::size_t n = walk.position();
                progress.setText(delivering + " " + std::to_string(n + 1) + "/" +
                                 std::to_string(walk.size()));
                walk.next();
            }
            continue;
        }
        if (!IsDialogMessageA(progress.hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    KillTimer(progress.hwnd(), kStepTimer);
    ws.state().busy = false;
    if (owner) EnableWindow(owner, TRUE);
    progress.hide();
    return walk.results();
}

}  // namespace zelo
