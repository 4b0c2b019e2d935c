#pragma once
// The MQTT side's texts: the topic names, the Home Assistant discovery
// configs of a device, the result payload, and the reading of the command
// topics and payloads it receives. Pure functions.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "forward/device_facts.h"

namespace zelo::forward {

struct MqttNames {
    std::string base;     // "PREFIX/STATION"
    std::string station;  // cleaned
    std::string ha;       // the discovery prefix; empty without discovery

    std::string statusTopic() const { return base + "/status"; }
    std::string deviceTopic(std::string_view key, std::string_view tail) const {
        std::string topic;
        topic.reserve(base.size() + key.size() + tail.size() + 2);
        topic += base;
        topic += '/';
        topic += key;
        topic += '/';
        topic += tail;
        return topic;
    }
    std::string haStatusTopic() const { return ha + "/status"; }
};

struct Publication {
    std::string topic;
    std::string payload;
};

// The device's discovery configs: a switch per outlet and the master when
// controllable (a binary sensor otherwise), a temperature sensor, a problem
// sensor per ping target.
void discoveryConfigs(const DeviceFacts& facts, const MqttNames& names, bool controllable,
                      std::vector<Publication>& out);
// The station's own entry (the devices name it as their via_device).
Publication stationDiscovery(const MqttNames& names);

// What the discovery configs depend on: when this text is unchanged, so are
// they.
std::string discoveryShape(const DeviceFacts& facts, bool controllable);

enum class CommandTarget { Outlet, All, Master };
enum class PowerAction { On, Off, Reboot };

struct CommandTopic {
    std::string key;   // as in the topic: 8 hex digits
    std::string tail;  // "outlet/3/set", "all/set", "master/set"
    CommandTarget target = CommandTarget::Outlet;
    int outlet = 0;  // 1..8 for an outlet
};

// A command topic under `names.base`; nothing for any other topic.
std::optional<CommandTopic> parseCommandTopic(const std::string& topic, const MqttNames& names);
// "ON", "OFF", "REBOOT" (any case, blanks around ignored).
std::optional<PowerAction> parsePowerPayload(const std::string& payload);
// The power button text of a command ("PON3", "POF0", "MPON"); empty when
// the target has no such action (a master reboot).
std::string powerCommandText(const CommandTopic& command, PowerAction action);

// The result topic's JSON.
std::string resultJson(const std::string& tail, const std::string& payload, bool ok,
                       const std::string& error);

// True when a topic is one this station publishes retained (device topics
// under base, its discovery configs), so that a stale copy of it may be
// emptied.
bool ownRetainedTopic(const std::string& topic, const MqttNames& names);

// The subscriptions that read back the station's own retained topics.
std::vector<std::string> ownRetainedPatterns(const MqttNames& names);

}  // namespace zelo::forward
