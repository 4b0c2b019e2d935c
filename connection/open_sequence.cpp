#include "connection/open_sequence.h"

#include "connection/framed_readout.h"

namespace zelo {

OpenResult loginDevice(DeviceSession& session) {
    const DeviceRecord& r = session.record;
    const Dialect dialect = dialectOf(r.modelCode);
    if (dialect == Dialect::None) {
        session.frontend().showError(Text::NotSupported, Text::ErrorCaption);
        return OpenResult::NotSupported;
    }
    if (r.addressText.empty() || r.port == 0) return OpenResult::NeedsProperties;
    const StepResult login =
        dialect == Dialect::Framed ? session.loginFramed(true) : session.loginPlain(true);
    return login == StepResult::Ok ? OpenResult::Opened : OpenResult::Failed;
}

OpenResult openDevice(DeviceSession& session) {
    const DeviceRecord& r = session.record;
    if (r.addressText.empty() || r.port == 0) return OpenResult::NeedsProperties;
    const Dialect dialect = dialectOf(r.modelCode);
    if (dialect == Dialect::None) {
        session.frontend().showError(Text::NotSupported, Text::ErrorCaption);
        return OpenResult::NotSupported;
    }
    auto closeConnecting = [&session]() { session.view().connectingHidden(); };
    session.view().connectingShown(r);

    if (dialect == Dialect::Framed) {
        if (session.loginFramed(true) == StepResult::Failed) {
            closeConnecting();
            return OpenResult::Failed;
        }
        const StepResult readout = readFramedStatus(session);
        closeConnecting();
        return readout == StepResult::Ok ? OpenResult::Opened : OpenResult::Failed;
    }

    if (session.loginPlain(true) == StepResult::Failed) {
        closeConnecting();
        return OpenResult::Failed;
    }
    const std::optional<Text> message = session.startPlainQueries();
    closeConnecting();
    if (message) {
        session.showErrorAndClose(*message);
        return OpenResult::Failed;
    }
    return OpenResult::Opened;
}

}  // namespace zelo
