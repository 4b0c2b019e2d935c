#pragma once
// The desktop program's owner object: the Workspace, the window handles, the
// shared image list and brushes. Built once by the entry point; it runs
// start-up, the message loop and the release of what it holds.

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <memory>
#include <string>

#include "app/workspace.h"
#include "common/clock.h"
#include "common/data_lock.h"
#include "win32/device_view_win32.h"
#include "win32/gui_frontend_win32.h"

namespace zelo {

class MainWindow;

// The Workspace is built before any window exists: its DeviceView passes
// events on to the window that shows devices, once there is one.
class MonitorApp {
public:
    // The program: its files live beside the executable (which becomes the
    // working directory) and questions are message boxes.
    MonitorApp(HINSTANCE instance, int showCommand);
    // Over another data directory (ending with a separator), with questions
    // answered by `frontend`; the working directory is left alone. Tests
    // build the program this way, several times in one process.
    MonitorApp(HINSTANCE instance, int showCommand, std::string dataDir, Frontend& frontend);
    ~MonitorApp();
    MonitorApp(const MonitorApp&) = delete;
    MonitorApp& operator=(const MonitorApp&) = delete;

    // Start-up up to the message loop. False when the main window could not
    // be made (everything is released again).
    bool start();
    // Until the main window is destroyed.
    void messageLoop();
    // The data directory's lock, start, the loop, release. The process exit
    // code (always 0).
    int run();

    HINSTANCE instance() const { return instance_; }
    const std::string& moduleDirectory() const { return moduleDirectory_; }
    Workspace& workspace() { return workspace_; }
    AppSettings& settings() { return workspace_.settings(); }
    const LangStrings& strings() const { return workspace_.strings(); }
    HBRUSH brush(int index) const { return brushes_[static_cast<std::size_t>(index)]; }
    DeviceDirectory& directory() { return workspace_.directory(); }
    StatusStation& station() { return workspace_.station(); }
    Frontend& frontend() { return frontend_; }
    AppState& state() { return workspace_.state(); }
    MainWindow* mainWindow() { return mainWindow_.get(); }
    // The tree's and the list's icons; made by the main window's creation.
    HIMAGELIST imageList() const { return imageList_; }
    void buildImageList();

    // The device windows (device_windows_win32.cpp). Opens a device as the
    // list's open command does: login and readout behind the connecting
    // window, then the control window until it closes; a device without
    // address or port opens its property dialog instead.
    void openDevice(std::uint32_t deviceId);
    // The property dialog of a list row: a device's record, or a group row
    // (model code 2, the group's id in groupId). IDOK or IDCANCEL.
    INT_PTR openProperties(const DeviceRecord& row);
    // Command 32778: a schedule file, then its delivery to the selected rows.
    void deliverSchedule();
    // The delivery of an already chosen file; false when it cannot be read.
    bool deliverScheduleFile(const std::string& path);
    WindowDeviceView& deviceView() { return view_; }
    // The tree and list panes, once they exist (null: the delivery goes to
    // the group in `currentGroup`).
    void setPanes(PaneLink* panes) { view_.setPanes(panes); }
    std::uint32_t currentGroup = 0;
    // Message boxes are owned by this window (null: the main window).
    void setMessageOwner(HWND owner);

private:
    MonitorApp(HINSTANCE instance, int showCommand, std::string dataDir, Frontend* frontend,
               bool ownDirectory);
    static std::string findModuleDirectory();
    void createBrushes();
    void releaseShared();
    bool registerWindowClasses();
    // One writer per data directory: false, after a message box naming the
    // holder, when another program holds it.
    bool lockDataDirectory();

    HINSTANCE instance_;
    int showCommand_;
    bool ownDirectory_;            // the data directory is the program's: make it current
    std::string moduleDirectory_;  // ends with a separator
    SystemClock clock_;
    std::unique_ptr<Network> network_;
    WindowDeviceView view_{*this};
    GuiFrontend guiFrontend_;
    Frontend& frontend_;
    Workspace workspace_;
    std::array<HBRUSH, 9> brushes_{};
    HIMAGELIST imageList_ = nullptr;
    HACCEL accelerators_ = nullptr;
    std::unique_ptr<MainWindow> mainWindow_;
    DataLock dataLock_;
};

}  // namespace zelo
