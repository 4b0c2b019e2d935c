#include "win32/delivery_window_win32.h"

#include <commdlg.h>

#include "app/workspace.h"
#include "win32/connecting_window_win32.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace zelo {
namespace {

constexpr int kTextFilter = 300, kTextOpenSchedule = 303, kTextDelivering = 337;
constexpr UINT_PTR kStepTimer = 1;
constexpr UINT kStepMilliseconds = 100;

}  // namespace

bool chooseScheduleFile(MonitorApp& app, HWND owner, std::string& path) {
    const LangStrings& s = app.strings();
    std::string filter = s.text(kTextFilter);
    for (char& c : filter)
        if (c == '|') c = '\0';
    const std::string title = s.text(kTextOpenSchedule);
    char file[256] = {};
    char fileTitle[256] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 255;
    // The name and extension alone, for the delivery log, come from the path.
    ofn.lpstrFileTitle = fileTitle;
    ofn.nMaxFileTitle = 255;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = "shx";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&ofn)) return false;
    path = file;
    return true;
}

std::vector<DeliveryResult> DeliveryWindow::run(DeliveryWalk& walk) {
    Workspace& ws = app_.workspace();
    const LangStrings& s = ws.strings();
    const std::string delivering = s.text(kTextDelivering);
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
