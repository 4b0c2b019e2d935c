#include "app/workspace.h"

namespace zelo {

Workspace::Workspace(std::string dataDir, Network& network, const Clock& clock, Frontend& frontend,
                     DeviceView& view)
    : dataDir_(std::move(dataDir)),
      network_(network),
      clock_(clock),
      frontend_(frontend),
      view_(view),
      settings_(dataDir_ + kSettingsFileName),
      strings_(settings_),
      directory_(dataDir_, settings_, strings_),
      current_(network_, clock_, frontend_, view_, state_, settings_, directory_),
      station_(directory_, current_.record(), current_.status(), settings_, strings_, view_, clock_,
               state_) {}

std::unique_ptr<DeviceSession> Workspace::newSession(const DeviceRecord& record, Frontend* frontend,
                                                     DeviceView* view, bool savesRecord) {
    auto session = std::make_unique<DeviceSession>(
        network_, clock_, frontend ? *frontend : frontend_, view ? *view : noView_, noWindow_,
        settings_, savesRecord ? &directory_ : nullptr);
    session->record = record;
    return session;
}

std::unique_ptr<DeliveryWalk> Workspace::startDelivery(const std::vector<ListRow>& selection) {
    return std::make_unique<DeliveryWalk>(
        deliveryTargets(directory_, selection), schedule_,
        DeliveryContext{network_, clock_, settings_, strings_, dataDir_}, directory_, frontend_);
}

bool Workspace::load(bool createMissing) {
    settings_.loadSettings(strings_);
    return directory_.load(createMissing);
}

}  // namespace zelo
