#pragma once
// The desktop program's side of the DeviceView seam: the connecting window
// shows and hides, the open control window redraws its lamps and caption,
// and what concerns rows goes on to the tree and list panes.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "directory/device_directory.h"
#include "directory/device_view.h"
#include "win32/connecting_window_win32.h"
#include "zelo_text.h"

namespace zelo {

class ControlWindow;
class MonitorApp;

// What the device windows need of the tree and the list panes, which
// implement it.
class PaneLink {
public:
    virtual ~PaneLink() = default;
    // The rows a schedule delivery goes to, in row order: (true, group id)
    // for a group row, (false, device id) for a device row.
    virtual std::vector<ListRow> deliverySelection() = 0;
    // A device's record was saved: refresh its row.
    virtual void recordChanged(const DeviceRecord& record) = 0;
    // A group row was renamed by the property dialog.
    virtual void groupRenamed(std::uint32_t groupId, const std::string& name) = 0;
};

class WindowDeviceView final : public DeviceView {
public:
    explicit WindowDeviceView(MonitorApp& app) : app_(app) {}

    void recordChanged(const DeviceRecord& record) override;
    void outletsChanged(int index) override;
    void connectionLost() override;
    void connectionBack() override;
    void connectingShown(const DeviceRecord& record) override;
    void connectingHidden() override;
    void eventLogFailed(const std::string& path, const std::string& reason) override;
    void itemFileFailed(const std::string& path) override;
    void itemFileWritten(const std::string& path) override;

    void setControlWindow(ControlWindow* window) noexcept { control_ = window; }
    ControlWindow* controlWindow() const noexcept { return control_; }
    void setPanes(PaneLink* panes) noexcept { panes_ = panes; }
    PaneLink* panes() const noexcept { return panes_; }
    HWND connectingWindow() const noexcept { return connecting_.hwnd(); }

private:
    // Text `textId` and the path in the status bar's right part (none: cleared).
    void showMessage(std::optional<Text> textId, const std::string& path,
                     const std::string& reason = {});

    MonitorApp& app_;
    std::string shownItemFile_;  // the item file the status bar tells of
    ControlWindow* control_ = nullptr;
    PaneLink* panes_ = nullptr;
    ConnectingWindow connecting_;
};

}  // namespace zelo
