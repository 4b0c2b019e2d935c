#pragma once
// The station's forwarders: what listen's forwarding options ask for, and
// the hooks the listen loop calls on every forwarder (MQTT, metrics). Every
// hook runs on the loop's own thread and must come back at once: the
// network work of a forwarder happens on its own threads.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "forward/device_changes.h"
#include "forward/device_facts.h"

namespace zelo::forward {

// mqtt://[USER@]HOST[:PORT] or mqtts://...
struct BrokerAddress {
    bool tls = false;
    std::string user;  // empty: no user name
    std::string host;
    std::uint16_t port = 0;
};

struct ProtectedOutlet {
    std::string device;  // as given: a decimal id or an exact name
    int outlet = 0;      // 1..8
};

// The options as given on the command line; groups and devices are still
// texts (resolved against the directory once it is loaded).
struct ForwardingOptions {
    std::optional<BrokerAddress> mqtt;
    std::string caFile;
    std::string passwordFile;
    std::string prefix = "zelo";
    std::string station;  // empty: the host name
    std::int64_t staleSeconds = 300;
    std::optional<std::string> haDiscovery;  // the discovery prefix when on
    std::vector<std::string> controlGroups;
    std::vector<ProtectedOutlet> protect;
    std::optional<std::string> metricsHost;  // with metricsPort: --metrics given
    std::uint16_t metricsPort = 0;

    bool any() const { return mqtt.has_value() || metricsHost.has_value(); }
};

enum class OptionParse {
    NotMine,  // not a forwarding option: the caller's own or unknown
    Taken,    // consumed (with its value: `index` moved past it)
    Bad,      // a forwarding option with a bad or missing value: `error` says why
};

// Reads args[index] (and its value) into `options`.
[[nodiscard]] OptionParse parseForwardingOption(const std::vector<std::string>& args,
                                                std::size_t& index, ForwardingOptions& options,
                                                std::string& error);
// The checks across options once all are read (an option that needs
// --mqtt, a password file that cannot be read, a missing CA file). Empty
// when they hold, else the usage error.
std::string checkForwardingOptions(const ForwardingOptions& options);

// The synopsis and help lines of the forwarding options.
extern const char* const kForwardingSynopsis;
extern const char* const kForwardingHelp;

std::optional<BrokerAddress> parseBrokerUrl(const std::string& url);
// Characters outside [A-Za-z0-9_-] become '_'.
std::string stationName(const std::string& given);
// The host name as a station name.
std::string defaultStationName();

// The options with groups and devices resolved, and what the forwarders
// share.
struct ForwardingConfig {
    ForwardingOptions options;
    std::string station;   // cleaned
    std::string password;  // from the environment or the file; never printed
    GroupFilter control;   // empty: read-only
    struct Protected {
        std::uint32_t deviceId;
        int outlet;
    };
    std::vector<Protected> protect;
};

// One line of listen's output about a forwarded command.
struct CommandLine {
    std::string key, name, topicTail, payload;
    enum class Outcome { Ok, Refused, Failed } outcome = Outcome::Ok;
    std::string reason;
};
const char* outcomeWord(CommandLine::Outcome outcome) noexcept;

// The MQTT side's state, read by the metrics (zelo_mqtt_connected,
// zelo_mqtt_commands_total).
struct MqttStatus {
    std::atomic<bool> enabled{false};
    std::atomic<bool> connected{false};
    std::atomic<std::uint64_t> commandsOk{0}, commandsRefused{0}, commandsFailed{0};
};

// What a forwarder is handed when the station starts: the Workspace (only
// to be used on the loop's thread), the configuration, and where listen's
// output goes.
struct ForwardingContext {
    Workspace& workspace;
    const ForwardingConfig& config;
    MqttStatus& mqtt;
    std::function<void(const CommandLine&)> printCommand;
    std::function<void(const std::string&)> printError;  // one line on stderr, "zeloctl: " added
    // The directory's groups, made again when its outline changes (on the
    // loop's thread; the table itself may go to any thread).
    std::shared_ptr<const GroupTable> groups;
    // The devices' numbers for the forwarders' per-device arrays (the
    // loop's thread).
    DeviceNumbers devices;
};

// A device whose report a tick accepted: its record as committed. The
// forwarders copy what they need of it and make their texts off the loop.
struct ChangedDevice {
    const DeviceRecord* record = nullptr;
    std::uint32_t number = 0;  // the device's number in the context's DeviceNumbers
};

// A forwarder observes the station. The loop calls these on its own thread.
class Forwarder {
public:
    virtual ~Forwarder() = default;
    // Before the first report. False when it cannot start (a port in use):
    // listen then ends with a usage error; `error` says why.
    virtual bool started(ForwardingContext& context, std::string& error) = 0;
    // After every tick (also one that accepted nothing), with the devices
    // whose reports were accepted, each once, as committed.
    virtual void afterTick(const std::vector<ChangedDevice>& changed) = 0;
    // Once a second, with the clock's seconds.
    virtual void everySecond(std::int64_t now) = 0;
    // The station stops; the forwarder's threads end before this returns.
    virtual void stopped() = 0;
};

// The forwarders of one listen run.
class Forwarding {
public:
    explicit Forwarding(ForwardingConfig config) : config_(std::move(config)) {}
    Forwarding(const Forwarding&) = delete;
    Forwarding& operator=(const Forwarding&) = delete;
    ~Forwarding() { stop(); }

    const ForwardingConfig& config() const noexcept { return config_; }
    MqttStatus& mqtt() noexcept { return mqtt_; }
    void add(std::unique_ptr<Forwarder> forwarder) { forwarders_.push_back(std::move(forwarder)); }
    bool empty() const noexcept { return forwarders_.empty(); }

    // Starts each forwarder; on a failure the ones started are stopped again.
    // The printers may be empty (nothing printed).
    bool start(Workspace& workspace, std::function<void(const CommandLine&)> printCommand,
               std::function<void(const std::string&)> printError, std::string& error);
    // The records accepted in one tick (copies, in order, maybe repeated).
    void afterTick(const std::vector<DeviceRecord>& accepted);
    void stop();

private:
    // The context's group table made again when the outline changed.
    void checkGroups();

    ForwardingConfig config_;
    MqttStatus mqtt_;
    std::vector<std::unique_ptr<Forwarder>> forwarders_;
    std::unique_ptr<ForwardingContext> context_;
    bool running_ = false;
    std::int64_t lastSecond_ = 0;
    std::vector<ChangedDevice> changed_;
    struct Slot {
        std::uint64_t tick = 0;  // the tick that last saw the device
        std::size_t index = 0;   // its place in changed_ then
    };
    std::vector<Slot> slot_;  // by device number
    std::uint64_t tickNumber_ = 0;
};

// Resolves the options' groups and devices and reads the password. Empty
// when all is well, else the usage error. `resolveGroup`/`resolveDevice`
// give the id of a GROUP/DEVICE argument, or nothing (having told why).
std::string makeForwardingConfig(
    const ForwardingOptions& options, const DeviceDirectory& directory,
    const std::function<std::optional<std::uint32_t>(const std::string&)>& resolveGroup,
    const std::function<std::optional<std::uint32_t>(const std::string&)>& resolveDevice,
    ForwardingConfig& config);

// The forwarders the options ask for (MQTT; metrics adds its own).
void addForwarders(Forwarding& forwarding);

}  // namespace zelo::forward
