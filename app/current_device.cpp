#include "app/current_device.h"

namespace zelo {

CurrentDevice::CurrentDevice(Network& network, const Clock& clock, Frontend& frontend,
                             DeviceView& view, const AppState& state, const AppSettings& settings,
                             DeviceDirectory& directory)
    : session_(network, clock, frontend, view, state, settings, &directory) {}

void CurrentDevice::select(const DeviceRecord& record) {
    session_.connection.closeConnection();
    session_.record = record;
    session_.status = DeviceStatus{};
}

OpenResult CurrentDevice::open() {
    return openDevice(session_);
}

OpenResult CurrentDevice::login() {
    return loginDevice(session_);
}

void CurrentDevice::close() {
    session_.connection.closeConnection();
}

}  // namespace zelo
