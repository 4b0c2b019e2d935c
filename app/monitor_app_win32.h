#pragma once
// The desktop program's owner object: settings, strings, window handles and
// the flags the main window timer reads. Built once by the entry point; it
// runs start-up, the message loop and the release of what it holds.

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "app/app_settings.h"
#include "app/frontend.h"
#include "app/gui_frontend_win32.h"
#include "app/lang_strings.h"
#include "common/clock.h"
#include "directory/device_directory.h"
#include "status/report_status.h"
#include "status/status_station.h"

namespace zelo {

class MainWindow;

class MonitorApp {
public:
    MonitorApp(HINSTANCE instance, int showCommand);
    ~MonitorApp();
    MonitorApp(const MonitorApp&) = delete;
    MonitorApp& operator=(const MonitorApp&) = delete;

    // Start-up, message loop, release. The process exit code (always 0).
    int run();

    HINSTANCE instance() const { return instance_; }
    const std::string& moduleDirectory() const { return moduleDirectory_; }
    AppSettings& settings() { return settings_; }
    const LangStrings& strings() const { return strings_; }
    HBRUSH brush(int index) const { return brushes_[static_cast<std::size_t>(index)]; }
    DeviceDirectory& directory() { return directory_; }
    StatusStation& station() { return station_; }
    GuiFrontend& frontend() { return frontend_; }

    // Listener open, batch walk running, which modal window is open: what
    // the timer tick looks at.
    AppState state;


private:
    static std::string findModuleDirectory();
    void createBrushes();
    void releaseShared();
    bool registerWindowClasses();
    int messageLoop(HACCEL accelerators);

    HINSTANCE instance_;
    int showCommand_;
    std::string moduleDirectory_;  // ends with a backslash
    AppSettings settings_;
    LangStrings strings_;
    SystemClock clock_;
    GuiFrontend frontend_;
    DeviceDirectory directory_;
    ReportStatus currentStatus_;
    StatusStation station_;
    std::array<HBRUSH, 9> brushes_{};
    std::unique_ptr<MainWindow> mainWindow_;
};

}  // namespace zelo
