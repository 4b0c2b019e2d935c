#include "win32/device_opener_win32.h"

#include "app/workspace.h"

namespace zelo {

void DeviceOpener::openDevice(std::uint32_t deviceId, HWND owner) {
    const DeviceRecord* record = workspace_.directory().devices().find(deviceId);
    if (!record) return;
    CurrentDevice& current = workspace_.current();
    current.select(*record);
    // The sequence shows its own messages ("Not supported", login errors).
    switch (current.open()) {
        case OpenResult::NeedsProperties: showProperties(deviceId, owner); break;
        case OpenResult::Opened: showControlWindow(owner); break;
        case OpenResult::NotSupported:
        case OpenResult::Failed: break;
    }
}

void DeviceOpener::showProperties(std::uint32_t deviceId, HWND owner) {
    // The property dialog (template 704) is not built yet.
    (void)deviceId, (void)owner;
}

void DeviceOpener::showControlWindow(HWND owner) {
    // The control window (template 723) is not built yet: the login and the
    // readout have run and saved the device's columns; end the dialogue.
    (void)owner;
    workspace_.current().close();
}

}  // namespace zelo
