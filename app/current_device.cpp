#include "app/current_device.h"

namespace zelo {

CurrentDevice::CurrentDevice(Network& network, const Clock& clock, Frontend& frontend,
                             DeviceView& view, const AppState& state,
                             const AppSettings& settings, DeviceDirectory& directory)
    : session_(network, clock, frontend, view, state, settings, &directory) {}

void CurrentDevice::select(const DeviceRecord& record) {
    session_.connection.closeConnection();
    session_.record = record;
    session_.status = DeviceStatus{};
}

OpenResult CurrentDevice::open() { return openDevice(session_); }

OpenResult CurrentDevice::login() {
    const DeviceRecord& r = session_.record;
    const Dialect dialect = dialectOf(r.modelCode);
    if (dialect == Dialect::None) {
        session_.frontend().showError(msg::kNotSupported, msg::kError);
        return OpenResult::NotSupported;
    }
    if (r.addressText.empty() || r.port == 0) return OpenResult::NeedsProperties;
    const bool failed =
        dialect == Dialect::Framed ? session_.loginFramed(true) : session_.loginPlain(true);
    return failed ? OpenResult::Failed : OpenResult::Opened;
}

void CurrentDevice::close() { session_.connection.closeConnection(); }

}  // namespace zelo
