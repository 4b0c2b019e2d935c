#pragma once
// Opening a device from the list: login by the model's dialect, then the
// framed readout or the plain start-up queries. What follows a successful
// open is the front end's: the desktop program shows the device control
// window (and closes the connection when it closes), zeloctl prints the
// state.

#include "connection/device_session.h"

namespace zelo {

enum class [[nodiscard]] OpenResult{
    Opened,           // logged in and read; the connection is open
    NeedsProperties,  // no address or port: the property dialog opens instead
    NotSupported,     // a model of neither dialect (message 193 shown)
    Failed,           // the message is shown and the connection closed
};

// Runs the open sequence on `session.record`, with the "Connecting" window
// shown (through the session's view) while the device is logged in and
// read.
OpenResult openDevice(DeviceSession& session);

// The login alone (with a reset), as a single command needs it: Opened
// means logged in.
OpenResult loginDevice(DeviceSession& session);

}  // namespace zelo
