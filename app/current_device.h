#pragma once
// The device being handled: its record, its status and the dialogue with
// it, in one place. The list's open command selects it, the control window
// works on it, and status reports for it update the same record and status.

#include <cstdint>

#include "connection/device_session.h"
#include "connection/framed_readout.h"
#include "connection/open_sequence.h"

namespace zelo {

class CurrentDevice {
public:
    CurrentDevice(Network& network, const Clock& clock, Frontend& frontend, DeviceView& view,
                  const AppState& state, const AppSettings& settings, DeviceDirectory& directory);
    CurrentDevice(const CurrentDevice&) = delete;
    CurrentDevice& operator=(const CurrentDevice&) = delete;

    // Makes `record` the device being handled, with a status not yet read.
    void select(const DeviceRecord& record);
    // The open sequence on the selected device: the connecting window, the
    // login by the model's dialect, then the framed readout or the plain
    // start-up queries.
    OpenResult open();
    // The login alone (with a reset), as a single command needs it.
    OpenResult login();
    void close();

    DeviceRecord& record() noexcept { return session_.record; }
    const DeviceRecord& record() const noexcept { return session_.record; }
    DeviceStatus& status() noexcept { return session_.status; }
    const DeviceStatus& status() const noexcept { return session_.status; }
    DeviceSession& session() noexcept { return session_; }

private:
    DeviceSession session_;
};

}  // namespace zelo
