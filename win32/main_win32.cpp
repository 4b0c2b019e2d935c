// Entry point of ZELO.exe. The command line is not read; the exit code is
// always 0.
#include <windows.h>

#include "win32/monitor_app_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    zelo::MonitorApp app(instance, showCommand);
    return app.run();
}
