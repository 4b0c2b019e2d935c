#include "devicewin/delivery.h"

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "app/app_settings.h"
#include "app/lang_strings.h"
#include "connection/device_session.h"
#include "connection/framed_readout.h"
#include "directory/device_directory.h"
#include "directory/model_table.h"
#include "status/event_log.h"

namespace zelo {
namespace {

std::mutex& logMutex() {
    static std::mutex m;  // one delivery log per process
    return m;
}

}  // namespace

bool isDeliverable(const DeviceRecord& r) {
    return isPromptModel(r.modelCode) && !r.addressText.empty() && r.port != 0;
}

bool uploadSchedule(DeviceSession& session, const ScheduleTable& table, Frontend& frontend,
                    int& refusedPosition) {
    refusedPosition = -1;
    if (session.sendFramedCommand("PCLR", true)) return true;
    session.awaitFramedReply(std::nullopt);  // its answer does not matter
    for (int i = 0; i < kScheduleEntries; ++i) {
        const ScheduleEntry& e = table.entries[static_cast<std::size_t>(i)];
        if (!e.inUse()) continue;
        if (session.sendFramedCommand("PSET" + formatScheduleLine(e), true)) return true;
        if (session.awaitFramedReply(std::nullopt)) {
            refusedPosition = i;
            frontend.showNumberedError(kTextScheduleRefused, msg::kConfirm, i);
            return true;
        }
    }
    return false;
}

DeliveryResult deliverToDevice(const DeviceRecord& record, const ScheduleTable& table,
                               DeliveryContext& context, Frontend& frontend) {
    DeliveryResult result;
    result.deviceId = record.deviceId;
    result.name = record.name;
    result.record = record;
    if (!isDeliverable(record)) {
        result.failedStep = "skipped";
        return result;
    }
    DeviceSession session(context.network, context.clock, frontend, context.settings, nullptr);
    session.record = record;
    DeviceReplies replies(session);  // POS/MPOS replies update the record

    int refused = -1;
    if (session.loginFramed(true)) {
        result.failedStep = "login";
    } else if (context.readOutletStates ? context.readOutletStates(session)
                                        : readOutletStates(session)) {
        result.failedStep = "readout";
    } else if (uploadSchedule(session, table, frontend, refused)) {
        result.failedStep = refused >= 0 ? "upload line " + std::to_string(refused) : "upload";
    } else {
        result.normal = true;
    }
    session.connection.closeConnection();
    result.record = session.record;

    std::lock_guard<std::mutex> lock(logMutex());
    writeDeliveryLog(context.dataDir, record, table.fileName, result.normal, context.strings,
                     context.settings.dateStyle, context.clock.now());
    return result;
}

std::vector<DeviceRecord> deliveryTargets(
    const DeviceDirectory& directory, const std::vector<std::pair<bool, std::uint32_t>>& selection) {
    const GroupOutline& outline = directory.outline();
    std::vector<DeviceRecord> targets;
    std::set<std::uint32_t> seenDevices, seenGroups;
    auto addDevice = [&](const DeviceRecord& r) {
        if (isDeliverable(r) && seenDevices.insert(r.deviceId).second) targets.push_back(r);
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

std::vector<DeliveryResult> deliverToAll(const std::vector<DeviceRecord>& targets,
                                         const ScheduleTable& table, DeliveryContext& context,
                                         int parallel,
                                         const std::function<Frontend&(std::size_t)>& frontendFor) {
    std::vector<DeliveryResult> results(targets.size());
    const std::size_t workers =
        std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(std::max(parallel, 1)),
                                                       targets.size()));
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < targets.size(); i = next++)
            results[i] = deliverToDevice(targets[i], table, context, frontendFor(i));
    };
    if (workers == 1) {
        work();
        return results;
    }
    std::vector<std::thread> threads;
    for (std::size_t w = 0; w < workers; ++w) threads.emplace_back(work);
    for (std::thread& t : threads) t.join();
    return results;
}

}  // namespace zelo
