#pragma once
// The program's windows built in the test process: a MonitorApp over a
// temporary data directory whose questions a scripted front end answers,
// helpers that pump messages, and a driver for modal dialogs.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "tests/support/scripted_frontend.h"
#include "tests/support/temp_dir.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace zelo::test {

class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override { drain(); }
    void TearDown() override { stop(); }

    // Writes ZELO.INI (`ini`, with the listener switched off unless it has
    // a Network section of its own, so that no test binds a port) and builds
    // the program; its main window, or null.
    HWND start(const std::string& ini = {}) {
        const bool network = ini.find("[Network]") != std::string::npos;
        writeBytes(iniPath(), (network ? "" : "[Network]\r\nMSRPenable=0\r\n") + ini);
        return restart();
    }
    // Builds the program again over the files as they are.
    HWND restart() {
        stop();
        app_ = std::make_unique<MonitorApp>(GetModuleHandleA(nullptr), SW_SHOWNORMAL, dataDir(),
                                            frontend);
        if (!app_->start()) return nullptr;
        return app_->mainWindow()->hwnd();
    }
    // Destroys the main window when it is still there and forgets the program.
    void stop() {
        if (!app_) return;
        if (app_->mainWindow() && app_->mainWindow()->hwnd())
            DestroyWindow(app_->mainWindow()->hwnd());
        app_.reset();
        drain();
    }

    MonitorApp& app() { return *app_; }
    MainWindow& window() { return *app_->mainWindow(); }
    std::string dataDir() const { return dir.path().string() + "\\"; }
    std::string iniPath() const { return dir.file("ZELO.INI"); }

    // Dispatches what is queued; true when the quit message was among it.
    static bool pump() {
        bool quit = false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return quit;
    }
    static bool pumpUntilQuit(int milliseconds = 2000) {
        for (int waited = 0; waited <= milliseconds; waited += 10) {
            if (pump()) return true;
            Sleep(10);
        }
        return false;
    }
    // A stray quit message would end the next modal loop.
    static void drain() { pump(); }

    // Calls `open`, which shows a modal dialog, and `drive` with the dialog
    // once it is up (inside the dialog's own loop). False when no dialog
    // showed or the dialog did not close within 5 s (it is then ended).
    static bool withDialog(const std::function<void()>& open,
                           const std::function<void(HWND)>& drive) {
        Driver& d = driver();
        d = Driver{};
        d.drive = drive;
        d.started = GetTickCount();
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, onTimer);
        open();
        KillTimer(nullptr, timer);
        return d.driven && !d.timedOut;
    }

    TempDir dir;
    ScriptedFrontend frontend;

private:
    struct Driver {
        std::function<void(HWND)> drive;
        DWORD started = 0;
        bool busy = false;
        bool driven = false;
        bool timedOut = false;
    };
    static Driver& driver() {
        static thread_local Driver d;
        return d;
    }
    static HWND findDialog() {
        HWND found = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM lp) -> BOOL {
                char cls[16] = {};
                GetClassNameA(w, cls, sizeof cls);
                if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w)) {
                    *reinterpret_cast<HWND*>(lp) = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
        Driver& d = driver();
        if (d.busy) return;
        HWND dlg = findDialog();
        if (!dlg) return;
        if (!d.driven) {
            d.busy = true;
            d.driven = true;
            d.drive(dlg);
            d.busy = false;
        } else if (GetTickCount() - d.started > 5000) {
            d.timedOut = true;
            EndDialog(dlg, 0);
        }
    }

    std::unique_ptr<MonitorApp> app_;
};

}  // namespace zelo::test
