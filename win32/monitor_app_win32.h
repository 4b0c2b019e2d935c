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
#include "win32/gui_frontend_win32.h"

namespace zelo {

class MainWindow;

// The Workspace is built before any window exists: its DeviceView passes
// events on to the window that shows devices, once there is one.
class DeviceViewRelay final : public DeviceView {
public:
    void setTarget(DeviceView* target) noexcept { target_ = target; }
    void recordChanged(const DeviceRecord& r) override { if (target_) target_->recordChanged(r); }
    void reportAccepted(const DeviceRecord& r) override { if (target_) target_->reportAccepted(r); }
    void outletsChanged(int index) override { if (target_) target_->outletsChanged(index); }
    void connectionLost() override { if (target_) target_->connectionLost(); }
    void connectionBack() override { if (target_) target_->connectionBack(); }
    void connectingShown(const DeviceRecord& r) override { if (target_) target_->connectingShown(r); }
    void connectingHidden() override { if (target_) target_->connectingHidden(); }

private:
    DeviceView* target_ = nullptr;
};

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
    // start, the loop, release. The process exit code (always 0).
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
    // Where device events go (null: nowhere).
    void setDeviceView(DeviceView* view) noexcept { view_.setTarget(view); }

private:
    MonitorApp(HINSTANCE instance, int showCommand, std::string dataDir, Frontend* frontend,
               bool ownDirectory);
    static std::string findModuleDirectory();
    void createBrushes();
    void releaseShared();
    bool registerWindowClasses();

    HINSTANCE instance_;
    int showCommand_;
    bool ownDirectory_;  // the data directory is the program's: make it current
    std::string moduleDirectory_;  // ends with a separator
    SystemClock clock_;
    std::unique_ptr<Network> network_;
    DeviceViewRelay view_;
    GuiFrontend guiFrontend_;
    Frontend& frontend_;
    Workspace workspace_;
    std::array<HBRUSH, 9> brushes_{};
    HIMAGELIST imageList_ = nullptr;
    HACCEL accelerators_ = nullptr;
    std::unique_ptr<MainWindow> mainWindow_;
};

}  // namespace zelo
