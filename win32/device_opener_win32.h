#pragma once
// What opening a device from the list does: the open sequence on the
// device (the property dialog when its address or port is missing, the
// login by its model's dialect, "Not supported" for other models), and
// what follows it. The device windows plug in here.

#include <windows.h>

#include <cstdint>

namespace zelo {

class Workspace;

class DeviceOpener {
public:
    explicit DeviceOpener(Workspace& workspace) : workspace_(workspace) {}

    // Opens the device with this id; nothing when it is not in the directory.
    void openDevice(std::uint32_t deviceId, HWND owner);
    // The property dialog of the device with this id.
    void showProperties(std::uint32_t deviceId, HWND owner);

private:
    // The device control window over the logged-in current device; the
    // connection closes when it closes.
    void showControlWindow(HWND owner);

    Workspace& workspace_;
};

}  // namespace zelo
