#pragma once
// The MQTT forwarder: every device's state, outlets, master and
// availability as retained topics, Home Assistant discovery, and outlet
// commands from the broker run on workers under --control and --protect.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

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
    struct Known {
        std::string shape;                 // of the discovery configs sent
        std::vector<std::string> configs;  // their topics
        int outlets = 0;                   // outlet topics sent
        bool master = false;               // a master topic sent
        bool online = false;
        bool availabilityKnown = false;
        std::vector<std::string> topics;  // made as first needed, by the indexes below
    };
    static constexpr std::size_t kStateTopic = 0, kMasterTopic = 1, kAvailabilityTopic = 2,
                                 kOutletTopic = 3;  // outlet/1; outlet/N follows it

    // The device's own topic of that index, made once.
    const std::string& topic(Known& known, std::uint32_t deviceId, std::size_t index);

    void publishDevice(const DeviceRecord& record);
    void publishDevice(const DeviceRecord& record, const std::shared_ptr<const DeviceFacts>& facts);
    void publishAvailability(const DeviceRecord& record, std::int64_t now);
    void handle(const Inbound& message);
    void answer(const Pending& p, CommandLine::Outcome outcome, const std::string& reason);
    void takeResults();
    void printNotices();
    bool controllable(const DeviceRecord& record) const;
    // The reason a command is refused, or empty.
    std::string refusal(const DeviceRecord& record, const CommandTopic& command,
                        PowerAction action) const;

    MqttStatus& status_;
    ForwardingContext* context_ = nullptr;
    MqttNames names_;
    Outbox outbox_;
    std::unique_ptr<MqttLink> link_;
    std::unique_ptr<PowerWorkers> workers_;
    std::unordered_map<std::uint32_t, Known> known_;
    std::unordered_map<std::uint64_t, Pending> pending_;
    std::uint64_t nextTag_ = 1;
    std::vector<Publication> scratch_;
};

}  // namespace zelo::forward
