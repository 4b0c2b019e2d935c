#pragma once
// The MQTT forwarder: every device's state, outlets, master and
// availability as retained topics, Home Assistant discovery, and outlet
// commands from the broker run on workers under --control and --protect.
// The listen loop only notes which devices changed (a copy of a few texts
// each); their documents and topics are made on the broker's thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "forward/device_changes.h"
#include "forward/forwarding.h"
#include "forward/mqtt_link.h"
#include "forward/mqtt_outbox.h"
#include "forward/mqtt_topics.h"
#include "forward/power_workers.h"

namespace zelo::forward {

class MqttForwarder final : public Forwarder {
public:
    // Devices commanded at once (one command at a time each).
    static constexpr std::size_t kWorkers = 4;

    explicit MqttForwarder(MqttStatus& status) : status_(status) {}
    ~MqttForwarder() override;

    bool started(ForwardingContext& context, std::string& error) override;
    void afterTick(const std::vector<ChangedDevice>& changed) override;
    void everySecond(std::int64_t now) override;
    void stopped() override;

private:
    struct Pending {
        std::string key, name, tail, payload;
    };
    // What the broker's thread has published of a device.
    struct Known {
        std::string shape;                 // of the discovery configs sent
        std::vector<std::string> configs;  // their topics
        int outlets = 0;                   // outlet topics sent
        bool master = false;               // a master topic sent
        std::uint32_t updated = 0;         // the record's update time
        bool online = false;
        bool availabilityKnown = false;
        std::vector<std::string> topics;  // made as first needed, by the indexes below
    };
    static constexpr std::size_t kStateTopic = 0, kMasterTopic = 1, kAvailabilityTopic = 2,
                                 kOutletTopic = 3;  // outlet/1; outlet/N follows it

    // The loop's thread: a record committed (a report, a command's read-back)
    // waits for the broker's thread, which makes its topics.
    void queue(const DeviceRecord& record);

    // The broker's thread, before it looks at the outbox: the topics of the
    // devices that changed, and once a second every device's availability.
    void prepare();
    // The device's own topic of that index, made once.
    const std::string& topic(Known& known, std::uint32_t deviceId, std::size_t index);
    void publishDevice(const DeviceSource& source, const GroupTable& groups);
    void publishAvailability(std::uint32_t deviceId, Known& known, std::int64_t now);

    void handle(const Inbound& message);
    void answer(const Pending& p, CommandLine::Outcome outcome, const std::string& reason);
    void takeResults();
    void printNotices();
    bool controllable(std::uint32_t groupId) const;
    // The reason a command is refused, or empty.
    std::string refusal(const DeviceRecord& record, const CommandTopic& command,
                        PowerAction action) const;

    MqttStatus& status_;
    ForwardingContext* context_ = nullptr;
    MqttNames names_;
    Outbox outbox_;
    std::unique_ptr<MqttLink> link_;
    std::unique_ptr<PowerWorkers> workers_;
    std::unordered_map<std::uint64_t, Pending> pending_;
    std::uint64_t nextTag_ = 1;

    // Between the loop and the broker's thread.
    std::mutex changesMutex_;
    DeviceChanges changes_;
    std::int64_t now_ = 0;  // the loop's clock, seconds
    std::shared_ptr<const GroupTable> groups_;

    // The broker's thread's own (the tests' thread may take its place).
    std::mutex prepareMutex_;
    std::unordered_map<std::uint32_t, Known> known_;
    std::vector<DeviceSource> taken_;
    std::int64_t swept_ = 0;  // the second whose availability was swept
    std::vector<Publication> scratch_;
};

}  // namespace zelo::forward
