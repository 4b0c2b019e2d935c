#include "forward/forwarding.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "common/format.h"
#include "forward/metrics_forwarder.h"
#include "forward/mqtt_forwarder.h"

namespace zelo::forward {
namespace {

bool parsePort(const std::string& text, bool allowZero, std::uint16_t& port) {
    const std::int64_t v = parseInt(text);
    if (text.empty() || v < (allowZero ? 0 : 1) || v > 65535) return false;
    port = static_cast<std::uint16_t>(v);
    return true;
}

bool hostCharacters(const std::string& host) {
    if (host.empty()) return false;
    for (char c : host)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == '_'))
            return false;
    return true;
}

bool readable(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return static_cast<bool>(f);
}

}  // namespace

const char* const kForwardingSynopsis = "[FORWARDING...]";

const char* const kForwardingHelp =
    "FORWARDING options (docs/forwarding.md):\n"
    "  --mqtt URL               publish to a broker: mqtt://[USER@]HOST[:PORT] (1883) or\n"
    "                           mqtts://[USER@]HOST[:PORT] (TLS, 8883); the password comes\n"
    "                           from ZELO_MQTT_PASSWORD or --mqtt-password-file\n"
    "  --mqtt-cafile FILE       the CA certificate that signs the broker's (mqtts://)\n"
    "  --mqtt-password-file F   the broker password, the file's first line\n"
    "  --mqtt-prefix P          topic prefix (default zelo)\n"
    "  --station NAME           this station's name in topics (default the host name)\n"
    "  --stale S                a device is offline S seconds after its last report (300)\n"
    "  --ha-discovery[=P]       Home Assistant discovery under P (homeassistant)\n"
    "  --control GROUP          devices of GROUP and its sub-groups take commands\n"
    "                           (repeatable; without it every command is refused)\n"
    "  --protect DEVICE:OUTLET  refuse OFF and REBOOT of that outlet (repeatable)\n"
    "  --metrics [HOST:]PORT    serve Prometheus metrics (HOST 127.0.0.1)";

std::optional<BrokerAddress> parseBrokerUrl(const std::string& url) {
    BrokerAddress a;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
        a.port = 1883;
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        a.tls = true;
        a.port = 8883;
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    const std::size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        a.user = rest.substr(0, at);
        rest = rest.substr(at + 1);
        // A password in the address would sit in the process list.
        if (a.user.empty() || a.user.find(':') != std::string::npos) return std::nullopt;
    }
    const std::size_t colon = rest.find(':');
    a.host = rest.substr(0, colon);
    if (colon != std::string::npos && !parsePort(rest.substr(colon + 1), false, a.port))
        return std::nullopt;
    if (!hostCharacters(a.host)) return std::nullopt;
    return a;
}

std::string stationName(const std::string& given) {
    std::string out = given;
    for (char& c : out)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-'))
            c = '_';
    return out;
}

std::string defaultStationName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "zelo";
    return stationName(buf);
}

OptionParse parseForwardingOption(const std::vector<std::string>& args, std::size_t& i,
                                  ForwardingOptions& o, std::string& error) {
    const std::string& a = args[i];
    if (a == "--ha-discovery" || a.rfind("--ha-discovery=", 0) == 0) {
        std::string prefix = a.size() > 14 ? a.substr(15) : "homeassistant";
        if (prefix.empty() || prefix.find_first_of("+#") != std::string::npos) {
            error = "--ha-discovery=P takes a topic prefix without + or #";
            return OptionParse::Bad;
        }
        o.haDiscovery = prefix;
        return OptionParse::Taken;
    }
    static const char* const kWithValue[] = {
        "--mqtt",        "--mqtt-cafile", "--mqtt-password-file",
        "--mqtt-prefix", "--station",     "--stale",
        "--control",     "--protect",     "--metrics"};
    bool known = false;
    for (const char* name : kWithValue) known = known || a == name;
    if (!known) return OptionParse::NotMine;
    if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return OptionParse::Bad;
    }
    const std::string& v = args[++i];
    if (a == "--mqtt") {
        o.mqtt = parseBrokerUrl(v);
        if (!o.mqtt) error = "--mqtt takes mqtt://[USER@]HOST[:PORT] or mqtts://[USER@]HOST[:PORT]";
    } else if (a == "--mqtt-cafile") {
        o.caFile = v;
        if (v.empty()) error = "--mqtt-cafile takes a file";
    } else if (a == "--mqtt-password-file") {
        o.passwordFile = v;
        if (v.empty()) error = "--mqtt-password-file takes a file";
    } else if (a == "--mqtt-prefix") {
        o.prefix = v;
        if (v.empty() || v.find_first_of("+#") != std::string::npos || v.front() == '/' ||
            v.back() == '/')
            error =
                "--mqtt-prefix takes a topic prefix without + or # and without a leading "
                "or trailing /";
    } else if (a == "--station") {
        o.station = stationName(v);
        if (v.empty()) error = "--station takes a name";
    } else if (a == "--stale") {
        const std::int64_t s = parseInt(v);
        if (v.empty() || s <= 0 || s > 0xFFFFFFFFLL)
            error = "--stale takes a number of seconds above 0";
        else
            o.staleSeconds = s;
    } else if (a == "--control") {
        if (v.empty()) error = "--control takes a group";
        o.controlGroups.push_back(v);
    } else if (a == "--protect") {
        // Device names may hold a colon: the outlet follows the last one.
        const std::size_t colon = v.rfind(':');
        const std::int64_t n = colon == std::string::npos ? -1 : parseInt(v.substr(colon + 1));
        if (colon == std::string::npos || colon == 0 || colon + 1 == v.size() || n < 1 ||
            n > kMaxOutlets)
            error = "--protect takes DEVICE:OUTLET with an outlet of 1..8";
        else
            o.protect.push_back({v.substr(0, colon), static_cast<int>(n)});
    } else if (a == "--metrics") {
        const std::size_t colon = v.rfind(':');
        std::string host = colon == std::string::npos ? "127.0.0.1" : v.substr(0, colon);
        const std::string port = colon == std::string::npos ? v : v.substr(colon + 1);
        if (!hostCharacters(host) || !parsePort(port, true, o.metricsPort))
            error = "--metrics takes [HOST:]PORT";
        else
            o.metricsHost = host;
    }
    return error.empty() ? OptionParse::Taken : OptionParse::Bad;
}

std::string checkForwardingOptions(const ForwardingOptions& o) {
    if (!o.mqtt) {
        if (!o.caFile.empty() || !o.passwordFile.empty() || o.haDiscovery ||
            !o.controlGroups.empty() || !o.protect.empty() || o.prefix != "zelo" ||
            !o.station.empty())
            return "the MQTT options need --mqtt URL";
        return {};
    }
    if (!o.caFile.empty() && !o.mqtt->tls) return "--mqtt-cafile is for mqtts:// addresses";
    if (!o.caFile.empty() && !readable(o.caFile))
        return "cannot read the CA file '" + o.caFile + "'";
    if (!o.passwordFile.empty() && !readable(o.passwordFile))
        return "cannot read the password file '" + o.passwordFile + "'";
    return {};
}

const char* outcomeWord(CommandLine::Outcome outcome) noexcept {
    switch (outcome) {
        case CommandLine::Outcome::Ok:
            return "ok";
        case CommandLine::Outcome::Refused:
            return "refused";
        case CommandLine::Outcome::Failed:
            return "failed";
    }
    return "failed";
}

std::string makeForwardingConfig(
    const ForwardingOptions& options, const DeviceDirectory& directory,
    const std::function<std::optional<std::uint32_t>(const std::string&)>& resolveGroup,
    const std::function<std::optional<std::uint32_t>(const std::string&)>& resolveDevice,
    ForwardingConfig& config) {
    config.options = options;
    config.station = options.station.empty() ? defaultStationName() : options.station;
    for (const std::string& g : options.controlGroups) {
        const auto id = resolveGroup(g);
        if (!id) return "--control: no group '" + g + "'";
        config.control.add(directory.outline(), *id);
    }
    for (const ProtectedOutlet& p : options.protect) {
        const auto id = resolveDevice(p.device);
        if (!id) return "--protect: no device '" + p.device + "'";
        config.protect.push_back({*id, p.outlet});
    }
    if (!options.passwordFile.empty()) {
        std::ifstream f(options.passwordFile, std::ios::binary);
        if (!f) return "cannot read the password file '" + options.passwordFile + "'";
        std::getline(f, config.password);
        while (!config.password.empty() &&
               (config.password.back() == '\r' || config.password.back() == '\n'))
            config.password.pop_back();
    } else if (const char* env = std::getenv("ZELO_MQTT_PASSWORD")) {
        config.password = env;
    }
    // The client sends no password without a user name: say so rather than
    // connect without it.
    if (!config.password.empty() && options.mqtt && options.mqtt->user.empty())
        return "a broker password needs a user name: mqtt://USER@HOST";
    return {};
}

bool Forwarding::start(Workspace& workspace, std::function<void(const CommandLine&)> printCommand,
                       std::function<void(const std::string&)> printError, std::string& error) {
    // Where nothing is to be printed, nothing is.
    if (!printCommand) printCommand = [](const CommandLine&) {};
    if (!printError) printError = [](const std::string&) {};
    context_.reset(new ForwardingContext{workspace,
                                         config_,
                                         mqtt_,
                                         std::move(printCommand),
                                         std::move(printError),
                                         groupTable(workspace.directory().outline()),
                                         {}});
    for (std::size_t i = 0; i < forwarders_.size(); ++i) {
        if (!forwarders_[i]->started(*context_, error)) {
            while (i-- > 0) forwarders_[i]->stopped();
            return false;
        }
    }
    running_ = true;
    lastSecond_ = workspace.clock().now();
    return true;
}

namespace {

bool sameOutline(const GroupOutline& a, const GroupOutline& b) {
    if (a.entries.size() != b.entries.size()) return false;
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        const GroupEntry& x = a.entries[i];
        const GroupEntry& y = b.entries[i];
        if (x.id != y.id || x.parent != y.parent || x.name != y.name) return false;
    }
    return true;
}

}  // namespace

void Forwarding::checkGroups() {
    const GroupOutline& outline = context_->workspace.directory().outline();
    if (!sameOutline(outline, context_->groups->outline)) context_->groups = groupTable(outline);
}

void Forwarding::afterTick(const std::vector<DeviceRecord>& accepted) {
    if (!running_ || forwarders_.empty()) return;
    if (!accepted.empty()) checkGroups();
    // Each device once, as its last report left it. A device keeps its
    // entry from tick to tick (marked with the tick that last saw it), so
    // that no report costs an allocation.
    changed_.clear();
    ++tickNumber_;
    for (const DeviceRecord& r : accepted) {
        const std::uint32_t number = context_->devices.of(r.deviceId);
        if (number >= slot_.size())
            slot_.resize(std::max<std::size_t>(number + 1, 2 * slot_.size()));
        Slot& slot = slot_[number];
        if (slot.tick != tickNumber_) {
            slot = {tickNumber_, changed_.size()};
            changed_.push_back({&r, number});
        } else {
            changed_[slot.index].record = &r;
        }
    }
    for (auto& f : forwarders_) f->afterTick(changed_);
    const std::int64_t now = context_->workspace.clock().now();
    if (now != lastSecond_) {
        lastSecond_ = now;
        checkGroups();
        for (auto& f : forwarders_) f->everySecond(now);
    }
}

void addForwarders(Forwarding& forwarding) {
    if (forwarding.config().options.mqtt)
        forwarding.add(std::make_unique<MqttForwarder>(forwarding.mqtt()));
    if (forwarding.config().options.metricsHost) forwarding.add(makeMetricsForwarder());
}

void Forwarding::stop() {
    if (!running_) return;
    running_ = false;
    for (auto& f : forwarders_) f->stopped();
}

}  // namespace zelo::forward
