#include "forward/mqtt_topics.h"

#include <cctype>

namespace zelo::forward {
namespace {

std::vector<std::string> splitTopic(const std::string& topic) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = topic.find('/', start);
        parts.push_back(topic.substr(start, slash - start));
        if (slash == std::string::npos) return parts;
        start = slash + 1;
    }
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

struct Entity {
    std::string component;  // switch, binary_sensor, sensor
    std::string object;     // outlet_1, master, temperature, ping_1
    std::string name;
    std::string body;  // the entity's own members, each with a leading comma
};

std::string configJson(const DeviceFacts& f, const MqttNames& n, const Entity& e) {
    const std::string node = "zelo_" + n.station + "_" + f.key;
    return "{\"name\":" + jsonQuote(e.name) + ",\"unique_id\":" + jsonQuote(node + "_" + e.object) +
           e.body + ",\"availability\":[{\"topic\":" + jsonQuote(n.statusTopic()) +
           "},{\"topic\":" + jsonQuote(n.deviceTopic(f.key, "availability")) +
           "}],\"availability_mode\":\"all\",\"device\":{\"identifiers\":[" + jsonQuote(node) +
           "],\"name\":" + jsonQuote(f.name) + ",\"model\":" + jsonQuote(f.model) +
           ",\"via_device\":" + jsonQuote("zelo_" + n.station) + "}}";
}

// A switch or a read-only power sensor over one ON/OFF topic.
Entity powerEntity(const MqttNames& n, const DeviceFacts& f, const std::string& object,
                   const std::string& name, const std::string& tail, bool controllable) {
    Entity e{controllable ? "switch" : "binary_sensor", object, name, {}};
    e.body = ",\"state_topic\":" + jsonQuote(n.deviceTopic(f.key, tail));
    if (controllable)
        e.body += ",\"command_topic\":" + jsonQuote(n.deviceTopic(f.key, tail + "/set")) +
                  ",\"device_class\":\"outlet\",\"payload_on\":\"ON\",\"payload_off\":\"OFF\","
                  "\"state_on\":\"ON\",\"state_off\":\"OFF\",\"optimistic\":false";
    else
        e.body += ",\"device_class\":\"power\",\"payload_on\":\"ON\",\"payload_off\":\"OFF\"";
    return e;
}

}  // namespace

void discoveryConfigs(const DeviceFacts& f, const MqttNames& n, bool controllable,
                      std::vector<Publication>& out) {
    if (n.ha.empty()) return;
    std::vector<Entity> entities;
    for (const OutletFact& o : f.outlets) {
        const std::string number = std::to_string(o.n);
        entities.push_back(powerEntity(n, f, "outlet_" + number,
                                       o.name.empty() ? "Outlet " + number : o.name,
                                       "outlet/" + number, controllable));
    }
    if (f.master) entities.push_back(powerEntity(n, f, "master", "Master", "master", controllable));
    if (f.temperature)
        entities.push_back({"sensor", "temperature", "Temperature",
                            ",\"state_topic\":" + jsonQuote(n.deviceTopic(f.key, "state")) +
                                ",\"value_template\":\"{{ value_json.temperature }}\","
                                "\"device_class\":\"temperature\",\"unit_of_measurement\":"
                                "\"\xC2\xB0"
                                "C\",\"state_class\":\"measurement\""});
    for (std::size_t i = 0; i < f.ping.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        entities.push_back(
            {"binary_sensor", "ping_" + number, "Ping " + number,
             ",\"state_topic\":" + jsonQuote(n.deviceTopic(f.key, "state")) +
                 ",\"value_template\":\"{{ 'ON' if value_json.ping[" + std::to_string(i) +
                 "] in ['fail', 'reboot'] else 'OFF' }}\",\"device_class\":\"problem\""});
    }
    const std::string node = "zelo_" + n.station + "_" + f.key;
    for (const Entity& e : entities)
        out.push_back({n.ha + "/" + e.component + "/" + node + "/" + e.object + "/config",
                       configJson(f, n, e)});
}

Publication stationDiscovery(const MqttNames& n) {
    const std::string node = "zelo_" + n.station;
    return {n.ha + "/binary_sensor/" + node + "/status/config",
            "{\"name\":\"Status\",\"unique_id\":" + jsonQuote(node + "_status") +
                ",\"state_topic\":" + jsonQuote(n.statusTopic()) +
                ",\"payload_on\":\"online\",\"payload_off\":\"offline\","
                "\"device_class\":\"connectivity\",\"device\":{\"identifiers\":[" +
                jsonQuote(node) + "],\"name\":" + jsonQuote("ZELO station " + n.station) +
                ",\"model\":\"ZELO station\"}}"};
}

std::string discoveryShape(const DeviceFacts& f, bool controllable) {
    std::size_t size = f.name.size() + f.model.size() + 16;
    for (const OutletFact& o : f.outlets) size += o.name.size() + 1;
    std::string s;
    s.reserve(size);
    s += f.name;
    s += '\n';
    s += f.model;
    s += '\n';
    s += controllable ? 'c' : 'r';
    s += std::to_string(f.outlets.size());
    if (f.master) s += 'm';
    if (f.temperature) s += 't';
    s += 'p';
    s += std::to_string(f.ping.size());
    for (const OutletFact& o : f.outlets) {
        s += '\n';
        s += o.name;
    }
    return s;
}

std::optional<CommandTopic> parseCommandTopic(const std::string& topic, const MqttNames& n) {
    if (!startsWith(topic, n.base + "/")) return std::nullopt;
    const std::vector<std::string> p = splitTopic(topic.substr(n.base.size() + 1));
    if (p.size() < 3 || p.back() != "set" || !parseDeviceKey(p[0])) return std::nullopt;
    CommandTopic c;
    c.key = p[0];
    c.tail = topic.substr(n.base.size() + 1 + p[0].size() + 1);
    if (p.size() == 3 && p[1] == "all") {
        c.target = CommandTarget::All;
    } else if (p.size() == 3 && p[1] == "master") {
        c.target = CommandTarget::Master;
    } else if (p.size() == 4 && p[1] == "outlet") {
        c.target = CommandTarget::Outlet;
        // Any number is read; the device decides whether it has that outlet.
        if (p[2].empty() || p[2].size() > 3) return std::nullopt;
        for (char ch : p[2])
            if (ch < '0' || ch > '9') return std::nullopt;
        c.outlet = std::stoi(p[2]);
    } else {
        return std::nullopt;
    }
    return c;
}

std::optional<PowerAction> parsePowerPayload(const std::string& payload) {
    std::size_t b = 0, e = payload.size();
    while (b < e && std::isspace(static_cast<unsigned char>(payload[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(payload[e - 1]))) --e;
    std::string word = payload.substr(b, e - b);
    for (char& ch : word) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (word == "ON") return PowerAction::On;
    if (word == "OFF") return PowerAction::Off;
    if (word == "REBOOT") return PowerAction::Reboot;
    return std::nullopt;
}

std::string powerCommandText(const CommandTopic& c, PowerAction a) {
    if (c.target == CommandTarget::Master) {
        if (a == PowerAction::Reboot) return {};
        return a == PowerAction::On ? "MPON" : "MPOF";
    }
    const char* verb = a == PowerAction::On ? "PON" : a == PowerAction::Off ? "POF" : "POR";
    return verb + std::to_string(c.target == CommandTarget::All ? 0 : c.outlet);
}

std::string resultJson(const std::string& tail, const std::string& payload, bool ok,
                       const std::string& error) {
    std::string j = "{\"command\":" + jsonQuote(tail) + ",\"payload\":" + jsonQuote(payload) +
                    ",\"ok\":" + (ok ? "true" : "false");
    if (!ok) j += ",\"error\":" + jsonQuote(error);
    return j + "}";
}

bool ownRetainedTopic(const std::string& topic, const MqttNames& n) {
    if (startsWith(topic, n.base + "/")) {
        const std::vector<std::string> p = splitTopic(topic.substr(n.base.size() + 1));
        return p.size() >= 2 && parseDeviceKey(p[0]).has_value();
    }
    if (n.ha.empty() || !startsWith(topic, n.ha + "/")) return false;
    // HA/<component>/<node>/<object>/config, the node being this station's
    // own ("zelo_STATION") or one of its devices' ("zelo_STATION_KEY").
    const std::vector<std::string> p = splitTopic(topic.substr(n.ha.size() + 1));
    if (p.size() != 4 || p[3] != "config") return false;
    const std::string node = "zelo_" + n.station;
    if (p[1] == node) return true;
    return startsWith(p[1], node + "_") && parseDeviceKey(p[1].substr(node.size() + 1)).has_value();
}

std::vector<std::string> ownRetainedPatterns(const MqttNames& n) {
    std::vector<std::string> patterns = {n.base + "/+/state", n.base + "/+/availability",
                                         n.base + "/+/master", n.base + "/+/outlet/+"};
    if (!n.ha.empty()) patterns.push_back(n.ha + "/+/+/+/config");
    return patterns;
}

}  // namespace zelo::forward
