#pragma once
// Delivering a schedule: the table goes to one device over its own
// connection (login, outlet readout, PCLR and one PSET per entry), each
// attempt logged in ZELO.LOG. A walk over the operator's selection reaches
// every device once, groups with their sub-groups depth first. The desktop
// program walks one device after the other; zeloctl may run several
// connections at a time, each device's result reported on its own.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/frontend.h"
#include "common/clock.h"
#include "connection/network.h"
#include "devicewin/schedule.h"
#include "directory/device_record.h"

namespace zelo {

struct AppSettings;
class DeviceDirectory;
class DeviceSession;
class LangStrings;

inline constexpr int kTextScheduleRefused = 203;

// Devices that take a schedule: the framed models with an address and a port.
bool isDeliverable(const DeviceRecord& record);

// PCLR, then PSET with the line of every entry in use. True on failure;
// `refusedPosition` receives the table position of a refused line (-1 when
// the failure was not a refused line), and the refusal is shown as text 203
// with that position.
bool uploadSchedule(DeviceSession& session, const ScheduleTable& table, Frontend& frontend,
                    int& refusedPosition);

struct DeliveryResult {
    std::uint32_t deviceId = 0;
    std::string name;
    bool normal = false;
    std::string failedStep;  // "login", "readout" or "upload line N"; empty when normal
    DeviceRecord record;     // the record as the dialogue left it
};

// What a delivery needs besides the device and the table.
struct DeliveryContext {
    Network& network;
    const Clock& clock;
    const AppSettings& settings;
    const LangStrings& strings;
    std::string dataDir;  // where ZELO.LOG is
    // The outlet readout after the login (true on failure, message shown);
    // the framed readout's own when not set.
    std::function<bool(DeviceSession&)> readOutletStates = {};
};

// One device: login, readout, upload, close, log entry. A device that
// cannot take a schedule is skipped (no connection, no log entry); its
// result then names the step "skipped".
DeliveryResult deliverToDevice(const DeviceRecord& record, const ScheduleTable& table,
                               DeliveryContext& context, Frontend& frontend);

// The devices a delivery to `deviceIds` and `groupIds` reaches, in walk
// order: the named devices and groups in the order given, each group with
// its sub-groups depth first, every group and device once. Devices that
// cannot take a schedule are left out.
std::vector<DeviceRecord> deliveryTargets(const DeviceDirectory& directory,
                                          const std::vector<std::pair<bool, std::uint32_t>>& selection);

// Delivers to each target with at most `parallel` connections at a time.
// Results come back in target order; log entries are written as devices
// finish. Messages of each device go to a frontend of its own made by
// `frontendFor` (called on the delivering thread).
std::vector<DeliveryResult> deliverToAll(const std::vector<DeviceRecord>& targets,
                                         const ScheduleTable& table, DeliveryContext& context,
                                         int parallel,
                                         const std::function<Frontend&(std::size_t)>& frontendFor);

}  // namespace zelo
