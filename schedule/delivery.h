#pragma once
// Delivering a schedule: the table goes to one device over its own
// connection (login, outlet readout, PCLR and one PSET per entry), each
// attempt logged in ZELO.LOG. A walk over the operator's selection reaches
// every device once, groups with their sub-groups depth first. The desktop
// program steps the walk from its progress window's timer; zeloctl runs it
// to the end, several connections at a time if asked.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/frontend.h"
#include "connection/device_connection.h"
#include "connection/network.h"
#include "directory/device_directory.h"
#include "directory/device_record.h"
#include "schedule/schedule.h"

namespace zelo {

struct AppSettings;
class DeviceDirectory;
class DeviceSession;
class LangStrings;

// Devices that take a schedule: the framed models with an address and a port.
bool isDeliverable(const DeviceRecord& record);

// PCLR, then PSET with the line of every entry in use. `refusedPosition`
// receives the table position of a refused line (-1 when the failure was
// not a refused line), and the refusal is shown as text 203 with that
// position.
StepResult uploadSchedule(DeviceSession& session, const ScheduleTable& table, Frontend& frontend,
                          int& refusedPosition);

// Where a delivery to one device stopped.
enum class DeliveryStep { None, Login, Readout, Upload, Skipped };

struct DeliveryResult {
    std::uint32_t deviceId = 0;
    std::string name;
    bool normal = false;
    DeliveryStep failedStep = DeliveryStep::None;  // None when normal
    int tablePosition = -1;  // the refused line's table position (Upload), else -1
    DeviceRecord record;     // the record as the dialogue left it
};

// The failed step as zeloctl prints it: "login", "readout", "upload line N"
// (the 0-based table position), "upload", "skipped"; empty when normal.
std::string failedStepText(const DeliveryResult& result);

// What a delivery needs besides the device and the table.
struct DeliveryContext {
    Network& network;
    const Clock& clock;
    const AppSettings& settings;
    const LangStrings& strings;
    std::string dataDir;  // where ZELO.LOG is
};

// One device: login, readout, upload, close. A device that cannot take a
// schedule is skipped (no connection; its result names the step Skipped).
// The log entry is the walk's.
DeliveryResult deliverToDevice(const DeviceRecord& record, const ScheduleTable& table,
                               DeliveryContext& context, Frontend& frontend);

// The devices a delivery to `deviceIds` and `groupIds` reaches, in walk
// order: the named devices and groups in the order given, each group with
// its sub-groups depth first, every group and device once. Devices that
// cannot take a schedule are left out (and put in `skipped` when given).
std::vector<DeviceRecord> deliveryTargets(const DeviceDirectory& directory,
                                          const std::vector<ListRow>& selection,
                                          std::vector<DeviceRecord>* skipped = nullptr);

// A delivery over its targets, one device a step, so that a progress
// window can show it and stop it: next() delivers to the next device
// (logged in ZELO.LOG, its learnt outlet states saved into the directory),
// cancel() ends the walk after the device in hand. zeloctl runs it to the
// end, several connections at a time if asked.
class DeliveryWalk {
public:
    DeliveryWalk(std::vector<DeviceRecord> targets, const ScheduleTable& table,
                 DeliveryContext context, DeviceDirectory& directory, Frontend& frontend);

    // Delivers to the next target and returns its result; nullptr once the
    // walk has reached its end or was cancelled. The front end hears the
    // progress before each device and once at the end.
    const DeliveryResult* next();
    void cancel() noexcept { cancelled_ = true; }
    bool cancelled() const noexcept { return cancelled_; }
    bool done() const noexcept { return cancelled_ || position_ >= targets_.size(); }
    std::size_t position() const noexcept { return position_; }
    std::size_t size() const noexcept { return targets_.size(); }
    const std::vector<DeliveryResult>& results() const noexcept { return results_; }

    // Runs the rest of the walk with at most `parallel` connections at a
    // time. Results stay in target order; log entries are written as
    // devices finish. Messages of device i go to `frontendFor(i)` when it
    // is given (called on the delivering thread), else to the walk's.
    void runToEnd(int parallel, const std::function<Frontend&(std::size_t)>& frontendFor = {});

private:
    void finish(const DeviceRecord& target, DeliveryResult& result);
    void keepLearntStates(const DeliveryResult& result);

    std::vector<DeviceRecord> targets_;
    const ScheduleTable& table_;
    DeliveryContext context_;
    DeviceDirectory& directory_;
    Frontend& frontend_;
    std::vector<DeliveryResult> results_;
    std::size_t position_ = 0;
    bool cancelled_ = false;
    std::mutex logMutex_;  // one ZELO.LOG entry at a time
};

}  // namespace zelo
