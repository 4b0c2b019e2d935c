#include "schedule/delivery.h"

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "connection/device_session.h"
#include "connection/framed_readout.h"
#include "directory/device_directory.h"
#include "directory/model_table.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "status/event_log.h"

namespace zelo {

bool isDeliverable(const DeviceRecord& r) {
    return isPromptModel(r.modelCode) && !r.addressText.empty() && r.port != 0;
}

StepResult uploadSchedule(DeviceSession& session, const ScheduleTable& table, Frontend& frontend,
                          int& refusedPosition) {
    refusedPosition = -1;
    if (session.sendFramedCommand("PCLR", true) == StepResult::Failed) return StepResult::Failed;
    static_cast<void>(session.awaitFramedReply(std::nullopt));  // its answer does not matter
    for (int i = 0; i < kScheduleEntries; ++i) {
        const ScheduleEntry& e = table.entries[static_cast<std::size_t>(i)];
        if (!e.inUse()) continue;
        if (session.sendFramedCommand("PSET" + formatScheduleLine(e), true) == StepResult::Failed)
            return StepResult::Failed;
        if (session.awaitFramedReply(std::nullopt) == StepResult::Failed) {
            refusedPosition = i;
            frontend.showNumberedError(Text::ScheduleRefused, Text::ConfirmCaption, i);
            return StepResult::Failed;
        }
    }
    return StepResult::Ok;
}

std::string failedStepText(const DeliveryResult& r) {
    switch (r.failedStep) {
        case DeliveryStep::None:
            return "";
        case DeliveryStep::Login:
            return "login";
        case DeliveryStep::Readout:
            return "readout";
        case DeliveryStep::Upload:
            return r.tablePosition >= 0 ? "upload line " + std::to_string(r.tablePosition)
                                        : "upload";
        case DeliveryStep::Skipped:
            return "skipped";
    }
    return "";
}

DeliveryResult deliverToDevice(const DeviceRecord& record, const ScheduleTable& table,
                               DeliveryContext& context, Frontend& frontend) {
    DeliveryResult result;
    result.deviceId = record.deviceId;
    result.name = record.name;
    result.record = record;
    if (!isDeliverable(record)) {
        result.failedStep = DeliveryStep::Skipped;
        return result;
    }
    // A device of the walk is not the open device: nothing to redraw, no
    // window to ask about.
    NullDeviceView view;
    const AppState state;
    DeviceSession session(context.network, context.clock, frontend, view, state, context.settings,
                          nullptr);
    session.record = record;
    constexpr StepResult kFailed = StepResult::Failed;
    if (session.loginFramed(true) == kFailed) {
        result.failedStep = DeliveryStep::Login;
    } else if (readOutletStates(session) == kFailed) {
        result.failedStep = DeliveryStep::Readout;
    } else if (uploadSchedule(session, table, frontend, result.tablePosition) == kFailed) {
        result.failedStep = DeliveryStep::Upload;
    } else {
        result.normal = true;
    }
    session.connection.closeConnection();
    result.record = session.record;
    return result;
}

std::vector<DeviceRecord> deliveryTargets(const DeviceDirectory& directory,
                                          const std::vector<ListRow>& selection,
                                          std::vector<DeviceRecord>* skipped) {
    const GroupOutline& outline = directory.outline();
    std::vector<DeviceRecord> targets;
    std::set<std::uint32_t> seenDevices, seenGroups;
    auto addDevice = [&](const DeviceRecord& r) {
        if (!seenDevices.insert(r.deviceId).second) return;
        if (isDeliverable(r))
            targets.push_back(r);
        else if (skipped)
            skipped->push_back(r);
    };
    std::function<void(int)> visit = [&](int index) {
        const GroupEntry& g = outline.entries[static_cast<std::size_t>(index)];
        if (!seenGroups.insert(g.id).second) return;
        for (const DeviceRecord& r : directory.devices())
            if (r.groupId == g.id) addDevice(r);
        for (int child : outline.children(index)) visit(child);
    };
    for (const auto& [isGroup, id] : selection) {
        if (isGroup) {
            const int index = outline.indexOf(id);
            if (index >= 0) visit(index);
        } else if (const DeviceRecord* r = directory.devices().find(id)) {
            addDevice(*r);
        }
    }
    return targets;
}

DeliveryWalk::DeliveryWalk(std::vector<DeviceRecord> targets, const ScheduleTable& table,
                           DeliveryContext context, DeviceDirectory& directory, Frontend& frontend)
    : targets_(std::move(targets)),
      table_(table),
      context_(std::move(context)),
      directory_(directory),
      frontend_(frontend) {
    results_.reserve(targets_.size());
}

void DeliveryWalk::finish(const DeviceRecord& target, DeliveryResult& result) {
    if (result.failedStep == DeliveryStep::Skipped) return;
    std::lock_guard<std::mutex> lock(logMutex_);
    writeDeliveryLog(context_.dataDir, target, table_.fileName, result.normal, context_.strings,
                     context_.settings.dateStyle, context_.clock.now());
}

// What the readout learnt of the device is kept, as opening it would.
void DeliveryWalk::keepLearntStates(const DeliveryResult& result) {
    const DeviceRecord* node = directory_.devices().find(result.deviceId);
    if (!node || node->powerText == result.record.powerText) return;
    DeviceRecord updated = *node;
    updated.powerText = result.record.powerText;
    updated.scheduleText = result.record.scheduleText;
    updated.updateTime = result.record.updateTime;
    directory_.saveDevice(updated);
}

const DeliveryResult* DeliveryWalk::next() {
    if (done()) return nullptr;
    const DeviceRecord& target = targets_[position_];
    frontend_.batchProgress(position_, targets_.size(), target.name);
    results_.push_back(deliverToDevice(target, table_, context_, frontend_));
    DeliveryResult& result = results_.back();
    finish(target, result);
    keepLearntStates(result);
    ++position_;
    if (done()) frontend_.batchProgress(position_, targets_.size(), "");
    return &result;
}

void DeliveryWalk::runToEnd(int parallel,
                            const std::function<Frontend&(std::size_t)>& frontendFor) {
    const std::size_t first = position_;
    const std::size_t count = targets_.size() - first;
    if (cancelled_ || count == 0) return;
    std::vector<DeliveryResult> done(count);
    std::atomic<std::size_t> nextIndex{first};
    auto work = [&] {
        for (std::size_t i = nextIndex++; i < targets_.size(); i = nextIndex++) {
            Frontend& frontend = frontendFor ? frontendFor(i) : frontend_;
            DeliveryResult& result = done[i - first];
            result = deliverToDevice(targets_[i], table_, context_, frontend);
            finish(targets_[i], result);
        }
    };
    const std::size_t workers = std::max<std::size_t>(
        1, std::min<std::size_t>(static_cast<std::size_t>(std::max(parallel, 1)), count));
    if (workers == 1) {
        work();
    } else {
        std::vector<std::thread> threads;
        for (std::size_t w = 0; w < workers; ++w) threads.emplace_back(work);
        for (std::thread& t : threads) t.join();
    }
    // The directory is changed on the caller's thread, in target order.
    for (DeliveryResult& result : done) {
        keepLearntStates(result);
        results_.push_back(std::move(result));
    }
    position_ = targets_.size();
    frontend_.batchProgress(position_, targets_.size(), "");
}

}  // namespace zelo
