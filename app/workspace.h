#pragma once
// The portable owner of everything the program keeps while it runs:
// settings, strings, the directory with its device list, the status
// station, the device being handled, the schedule table and the front end's
// state. ZELO.exe and zeloctl each hold one; tests, benchmarks and fuzz
// targets build theirs the same way. Nothing here is global: two
// Workspaces run side by side in one process.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/current_device.h"
#include "common/app_state.h"
#include "common/clock.h"
#include "common/frontend.h"
#include "connection/network.h"
#include "directory/device_directory.h"
#include "directory/device_view.h"
#include "schedule/delivery.h"
#include "schedule/schedule.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "status/status_station.h"

namespace zelo {

class Workspace {
public:
    // `dataDir` ends with a separator: ZELO.INI, ZELO_DIR.DAT, the item
    // files and ZELO.LOG live there. Nothing is read until load().
    Workspace(std::string dataDir, Network& network, const Clock& clock, Frontend& frontend,
              DeviceView& view);
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Reads ZELO.INI, then the directory file and every item file (the
    // directory file is created when missing, unless `createMissing` is
    // false). False when the directory cannot be read or created.
    bool load(bool createMissing = true);

    // The main window's timer: drains the status listener unless it is
    // closed, the property dialog is open or a batch walk runs.
    TickResult tick(std::size_t maxAccepted = SIZE_MAX) { return station_.tick(maxAccepted); }

    const std::string& dataDir() const noexcept { return dataDir_; }
    Network& network() noexcept { return network_; }
    const Clock& clock() const noexcept { return clock_; }
    Frontend& frontend() noexcept { return frontend_; }
    DeviceView& view() noexcept { return view_; }
    AppState& state() noexcept { return state_; }
    const AppState& state() const noexcept { return state_; }
    AppSettings& settings() noexcept { return settings_; }
    const AppSettings& settings() const noexcept { return settings_; }
    LangStrings& strings() noexcept { return strings_; }
    const LangStrings& strings() const noexcept { return strings_; }
    DeviceDirectory& directory() noexcept { return directory_; }
    const DeviceDirectory& directory() const noexcept { return directory_; }
    CurrentDevice& current() noexcept { return current_; }
    StatusStation& station() noexcept { return station_; }
    ScheduleTable& schedule() noexcept { return schedule_; }

    // A delivery of the schedule table to the devices and groups selected
    // (true: a group with its sub-groups), stepped by its owner. Messages go
    // to the Workspace's front end.
    std::unique_ptr<DeliveryWalk> startDelivery(const std::vector<ListRow>& selection);

    // A dialogue of its own with a device that is not the one being handled
    // (a batch walk, a second login): its messages go to `frontend` and its
    // events to `view` (the Workspace's front end, and nowhere, when null);
    // the record it learns is saved into the directory only with
    // `savesRecord`.
    std::unique_ptr<DeviceSession> newSession(const DeviceRecord& record,
                                              Frontend* frontend = nullptr,
                                              DeviceView* view = nullptr, bool savesRecord = false);

private:
    std::string dataDir_;
    Network& network_;
    const Clock& clock_;
    Frontend& frontend_;
    DeviceView& view_;
    AppState state_;
    AppSettings settings_;
    LangStrings strings_;
    DeviceDirectory directory_;
    CurrentDevice current_;
    StatusStation station_;
    ScheduleTable schedule_;
    NullDeviceView noView_;
    const AppState noWindow_{};
};

}  // namespace zelo
