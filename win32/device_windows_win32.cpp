// MonitorApp's device windows: opening a device, the property dialog and
// the schedule delivery.
#include "app/workspace.h"
#include "win32/control_window_win32.h"
#include "win32/delivery_window_win32.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"
#include "win32/property_dialog_win32.h"

namespace zelo {

void MonitorApp::setMessageOwner(HWND owner) {
    guiFrontend_.setOwner(owner ? owner : mainWindow_ ? mainWindow_->hwnd() : nullptr);
}

void MonitorApp::openDevice(std::uint32_t deviceId) {
    const DeviceRecord* found = directory().devices().find(deviceId);
    if (!found) return;
    const DeviceRecord row = *found;
    CurrentDevice& current = workspace_.current();
    current.select(row);
    switch (current.open()) {
        case OpenResult::NeedsProperties:
            openProperties(row);
            break;
        case OpenResult::Opened: {
            ControlWindow window(*this);
            window.run(mainWindow_ ? mainWindow_->hwnd() : nullptr);
            // The window is closed: the connection goes, and what it knew.
            current.close();
            current.select(DeviceRecord{});
            break;
        }
        default:
            break;
    }
}

INT_PTR MonitorApp::openProperties(const DeviceRecord& row) {
    PropertyDialog dialog(*this, row);
    return dialog.run(mainWindow_ ? mainWindow_->hwnd() : nullptr);
}

void MonitorApp::deliverSchedule() {
    std::string path;
    if (!chooseScheduleFile(*this, mainWindow_ ? mainWindow_->hwnd() : nullptr, path)) return;
    deliverScheduleFile(path);
}

bool MonitorApp::deliverScheduleFile(const std::string& path) {
    // A file with a line the devices would not take is refused whole before
    // the progress window starts: no device's schedule is cleared for it.
    ScheduleFault fault;
    if (!loadScheduleFromPath(path, workspace_.schedule(), fault)) {
        if (fault) frontend_.showNumberedError(fault.textId, Text::ErrorCaption, fault.line);
        return false;
    }
    PaneLink* panes = view_.panes();
    const std::vector<ListRow> selection =
        panes ? panes->deliverySelection() : std::vector<ListRow>{{true, currentGroup}};
    std::unique_ptr<DeliveryWalk> walk = workspace_.startDelivery(selection);
    DeliveryWindow(*this).run(*walk);
    return true;
}

}  // namespace zelo
