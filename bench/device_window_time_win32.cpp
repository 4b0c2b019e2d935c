// zelo_device_window: the device windows over one device on a simulator
// port, outside the test suite.
//   zelo_device_window.exe time PORT MODEL [ROUNDS]
//       prints the time to the control window shown and filled against the
//       login and readout alone (median of ROUNDS, 10 by default)
//   zelo_device_window.exe show PORT MODEL PAGE LANGUAGE
//       opens the control window on PAGE and keeps it until killed
//   zelo_device_window.exe property PORT MODEL LANGUAGE
//       opens the property dialog of the device
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "common/file_replace.h"
#include "common/frontend.h"
#include "resources/resource_ids.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace {

using zelo::MonitorApp;

double nowMs() {
    LARGE_INTEGER t, frequency;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Set by the hook once the control window is shown and painted.
double shownAt = 0;
int pageToShow = -1;
bool closeWhenShown = false;
HHOOK hook = nullptr;

LRESULT CALLBACK afterMessage(int code, WPARAM wp, LPARAM lp) {
    const auto* m = reinterpret_cast<CWPRETSTRUCT*>(lp);
    if (code == HC_ACTION && m->message == WM_INITDIALOG && GetDlgItem(m->hwnd, IDC_CONTROL_TAB)) {
        if (pageToShow > 0)
            SendDlgItemMessageA(m->hwnd, IDC_CONTROL_TAB, TCM_SETCURFOCUS, pageToShow, 0);
        ShowWindow(m->hwnd, SW_SHOW);
        RedrawWindow(m->hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        shownAt = nowMs();
        if (closeWhenShown) PostMessageA(m->hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(hook, code, wp, lp);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string mode = argv[1];
    const int port = std::atoi(argv[2]);
    const int model = std::atoi(argv[3]);

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string dir =
        std::string(temp) + "zelo-dw-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    const int language = mode == "show" && argc > 5       ? std::atoi(argv[5])
                         : mode == "property" && argc > 4 ? std::atoi(argv[4])
                                                          : 1;
    zelo::replaceFile(dir + "ZELO.INI",
                      "[ZELO]\r\nLanguage=" + std::to_string(language) +
                          "\r\n[Network]\r\nMSRPenable=0\r\n[MessageBox]\r\nQuit=0\r\n");
    zelo::SilentFrontend frontend(true);
    MonitorApp app(GetModuleHandleA(nullptr), SW_SHOWNORMAL, dir, frontend);
    if (!app.start()) return 1;
    const std::uint32_t id = app.directory().addDevice(0, model, "Rack 3 power");
    zelo::DeviceRecord record = *app.directory().devices().find(id);
    record.addressText = "127.0.0.1";
    record.port = static_cast<std::uint16_t>(port);
    app.directory().saveDevice(record);
    hook = SetWindowsHookExA(WH_CALLWNDPROCRET, afterMessage, nullptr, GetCurrentThreadId());

    if (mode == "show") {
        pageToShow = argc > 4 ? std::atoi(argv[4]) : 0;
        app.openDevice(id);
    } else if (mode == "property") {
        app.openProperties(record);
    } else if (mode == "time") {
        const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 10;
        std::vector<double> alone, window;
        zelo::CurrentDevice& current = app.workspace().current();
        for (int i = 0; i < rounds; ++i) {
            current.select(record);
            const double t0 = nowMs();
            const bool opened = current.open() == zelo::OpenResult::Opened;
            alone.push_back(nowMs() - t0);
            current.close();
            if (!opened) return 1;

            closeWhenShown = true;
            shownAt = 0;
            const double t1 = nowMs();
            app.openDevice(id);
            if (shownAt == 0) return 1;
            window.push_back(shownAt - t1);
        }
        const double a = median(alone), w = median(window);
        std::printf("login and readout alone: %.1f ms (median of %d)\n", a, rounds);
        std::printf("control window shown and filled: %.1f ms (median of %d)\n", w, rounds);
        std::printf("ratio: %.2f\n", a > 0 ? w / a : 0.0);
    }
    UnhookWindowsHookEx(hook);
    DestroyWindow(app.mainWindow()->hwnd());
    return 0;
}
