#include "forward/mqtt_forwarder.h"

#include <algorithm>

#include "common/text_encoding.h"

namespace zelo::forward {
namespace {

// A payload as it may appear in listen's one-line output.
std::string printable(const std::string& payload) {
    std::string out = payload.substr(0, 64);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return out;
}

int outletsOf(const DeviceRecord& r) {
    return r.outletCount > 0 ? r.outletCount : outletCountFromPowerText(r.powerText);
}

bool hasMaster(const DeviceRecord& r) {
    return r.powerText.size() >= 2 && r.powerText[1] == ' ';
}

}  // namespace

MqttForwarder::~MqttForwarder() {
    stopped();
}

bool MqttForwarder::started(ForwardingContext& context, std::string& error) {
    context_ = &context;
    const ForwardingConfig& config = context.config;
    names_.station = config.station;
    names_.base = config.options.prefix + "/" + config.station;
    names_.ha = config.options.haDiscovery.value_or("");

    // Everything the station knows waits in the outbox before the first
    // connection, so the read-back of old retained topics can tell which
    // ones belong to devices no longer here.
    const std::int64_t now = context.workspace.clock().now();
    const DeviceDirectory& directory = context.workspace.directory();
    for (const DeviceRecord& r : directory.devices()) {
        if (directory.outline().indexOf(r.groupId) < 0) continue;
        publishDevice(r);
        publishAvailability(r, now);
    }
    if (!names_.ha.empty()) {
        const Publication station = stationDiscovery(names_);
        outbox_.set(station.topic, station.payload);
    }

    LinkSettings link{*config.options.mqtt, config.password, config.options.caFile, names_};
    link_ = std::make_unique<MqttLink>(std::move(link), outbox_, status_.connected);
    if (!link_->start(error)) {
        link_.reset();
        return false;
    }
    workers_ = std::make_unique<PowerWorkers>(kWorkers);
    status_.enabled = true;
    return true;
}

bool MqttForwarder::controllable(const DeviceRecord& r) const {
    return context_->config.control.contains(r.groupId);
}

void MqttForwarder::publishDevice(const DeviceRecord& r) {
    publishDevice(r, std::make_shared<const DeviceFacts>(
                         deviceFacts(r, context_->workspace.directory().outline())));
}

const std::string& MqttForwarder::topic(Known& k, std::uint32_t deviceId, std::size_t index) {
    if (k.topics.size() <= index) {
        const std::string key = deviceKey(deviceId);
        k.topics.reserve(index + 1);
        for (std::size_t i = k.topics.size(); i <= index; ++i)
            k.topics.push_back(names_.deviceTopic(
                key, i == kStateTopic          ? std::string("state")
                     : i == kMasterTopic       ? std::string("master")
                     : i == kAvailabilityTopic ? std::string("availability")
                                               : "outlet/" + std::to_string(i - kOutletTopic + 1)));
    }
    return k.topics[index];
}

void MqttForwarder::publishDevice(const DeviceRecord& r,
                                  const std::shared_ptr<const DeviceFacts>& shared) {
    const DeviceFacts& facts = *shared;
    Known& k = known_[r.deviceId];
    const std::uint32_t id = r.deviceId;
    // The state, one topic per reported outlet, the master when known.
    outbox_.setState(topic(k, id, kStateTopic), shared);
    for (const OutletFact& o : facts.outlets)
        outbox_.set(topic(k, id, kOutletTopic + std::size_t(o.n) - 1), o.on ? "ON" : "OFF");
    if (facts.master) outbox_.set(topic(k, id, kMasterTopic), *facts.master ? "ON" : "OFF");
    // Outlets and a master the device no longer reports lose their retained
    // topics (a retained empty message).
    const int outlets = static_cast<int>(facts.outlets.size());
    for (int n = outlets + 1; n <= k.outlets; ++n)
        outbox_.set(topic(k, id, kOutletTopic + std::size_t(n) - 1), "");
    if (k.master && !facts.master) outbox_.set(topic(k, id, kMasterTopic), "");
    k.outlets = outlets;
    k.master = facts.master.has_value();
    if (!names_.ha.empty()) {
        const bool control = controllable(r);
        std::string shape = discoveryShape(facts, control);
        if (k.shape != shape) {
            scratch_.clear();
            const std::size_t first = scratch_.size();
            discoveryConfigs(facts, names_, control, scratch_);
            std::vector<std::string> configs;
            for (std::size_t i = first; i < scratch_.size(); ++i)
                configs.push_back(scratch_[i].topic);
            // Likewise the entities it no longer has.
            for (const std::string& old : k.configs)
                if (std::find(configs.begin(), configs.end(), old) == configs.end())
                    scratch_.push_back({old, ""});
            k.configs = std::move(configs);
            k.shape = std::move(shape);
            for (Publication& p : scratch_) outbox_.set(p.topic, std::move(p.payload));
        }
    }
}

void MqttForwarder::publishAvailability(const DeviceRecord& r, std::int64_t now) {
    const bool online = r.updateTime > 0 && now - static_cast<std::int64_t>(r.updateTime) <=
                                                context_->config.options.staleSeconds;
    Known& k = known_[r.deviceId];
    if (k.availabilityKnown && k.online == online) return;
    k.availabilityKnown = true;
    k.online = online;
    outbox_.set(topic(k, r.deviceId, kAvailabilityTopic), online ? "online" : "offline");
}

void MqttForwarder::afterTick(const std::vector<ChangedDevice>& changed) {
    if (!link_) return;
    const std::int64_t now = context_->workspace.clock().now();
    for (const ChangedDevice& c : changed) {
        publishDevice(*c.record, c.facts);
        publishAvailability(*c.record, now);
    }
    for (const Inbound& m : link_->takeInbound()) handle(m);
    takeResults();
    printNotices();
}

void MqttForwarder::everySecond(std::int64_t now) {
    if (!link_) return;
    const DeviceDirectory& directory = context_->workspace.directory();
    for (const DeviceRecord& r : directory.devices())
        if (directory.outline().indexOf(r.groupId) >= 0) publishAvailability(r, now);
}

void MqttForwarder::stopped() {
    if (!link_) return;
    workers_->stop();
    takeResults();  // the commands that ran, and those the stop left out
    link_->stop();
    printNotices();
    link_.reset();
    workers_.reset();
    status_.connected = false;
}

void MqttForwarder::printNotices() {
    for (const std::string& line : link_->takeNotices()) context_->printError(line);
}

std::string MqttForwarder::refusal(const DeviceRecord& r, const CommandTopic& c,
                                   PowerAction action) const {
    const ForwardingConfig& config = context_->config;
    if (!controllable(r))
        return config.control.empty() ? "the station is read-only (no --control)"
                                      : "the device is not under --control";
    if (c.target == CommandTarget::Master && action == PowerAction::Reboot)
        return "bad payload: the master takes ON or OFF";
    if (c.target == CommandTarget::Outlet && (c.outlet < 1 || c.outlet > outletsOf(r)))
        return "the device has no outlet " + std::to_string(c.outlet);
    if (c.target == CommandTarget::Master && !hasMaster(r)) return "the device has no master power";
    if (action == PowerAction::On) return {};
    for (const ForwardingConfig::Protected& p : config.protect) {
        if (p.deviceId != r.deviceId) continue;
        if (c.target == CommandTarget::Outlet && p.outlet == c.outlet)
            return "outlet " + std::to_string(c.outlet) + " is protected";
        if (c.target != CommandTarget::Outlet)
            return "outlet " + std::to_string(p.outlet) + " of the device is protected";
    }
    return {};
}

void MqttForwarder::handle(const Inbound& m) {
    Pending p;
    p.payload = m.payload;
    const auto command = parseCommandTopic(m.topic, names_);
    p.tail = m.topic.substr(std::min(m.topic.size(), names_.base.size() + 1));
    if (command) {
        p.tail = command->tail;
        p.key = deviceKey(*parseDeviceKey(command->key));
    }
    Workspace& ws = context_->workspace;
    const DeviceRecord* r =
        command ? ws.directory().devices().find(*parseDeviceKey(p.key)) : nullptr;
    if (r && ws.directory().outline().indexOf(r->groupId) < 0) r = nullptr;
    if (r) p.name = cp932ToUtf8(r->name);
    if (m.retained) return answer(p, CommandLine::Outcome::Refused, "retained command ignored");
    if (!command) return answer(p, CommandLine::Outcome::Refused, "not a command topic");
    if (!r) return answer(p, CommandLine::Outcome::Refused, "unknown device");
    const auto action = parsePowerPayload(m.payload);
    if (!action) return answer(p, CommandLine::Outcome::Refused, "bad payload: ON, OFF or REBOOT");
    if (const std::string why = refusal(*r, *command, *action); !why.empty())
        return answer(p, CommandLine::Outcome::Refused, why);

    PowerJob job;
    job.deviceId = r->deviceId;
    job.command = powerCommandText(*command, *action);
    job.frontend = std::make_unique<ReasonFrontend>();
    job.session = ws.newSession(*r, job.frontend.get(), nullptr, false);
    job.tag = nextTag_++;
    pending_.emplace(job.tag, std::move(p));
    workers_->submit(std::move(job));
}

void MqttForwarder::takeResults() {
    for (PowerDone& d : workers_->takeDone()) {
        auto it = pending_.find(d.tag);
        if (it == pending_.end()) continue;
        const Pending p = std::move(it->second);
        pending_.erase(it);
        DeviceDirectory& directory = context_->workspace.directory();
        const DeviceRecord* r = directory.devices().find(d.deviceId);
        if (d.readBack && r) {
            // The states read back become the record's power column, saved
            // and published as a report's would be.
            DeviceRecord updated = *r;
            updated.powerText = d.record.powerText;
            if (updated.powerText != r->powerText && !directory.saveDevice(updated))
                context_->printError("the record of " + p.name + " could not be saved");
            publishDevice(updated);
        }
        answer(p, d.ok ? CommandLine::Outcome::Ok : CommandLine::Outcome::Failed, d.reason);
    }
}

void MqttForwarder::answer(const Pending& p, CommandLine::Outcome outcome,
                           const std::string& reason) {
    switch (outcome) {
        case CommandLine::Outcome::Ok:
            ++status_.commandsOk;
            break;
        case CommandLine::Outcome::Refused:
            ++status_.commandsRefused;
            break;
        case CommandLine::Outcome::Failed:
            ++status_.commandsFailed;
            break;
    }
    if (!p.key.empty())
        outbox_.send(names_.deviceTopic(p.key, "result"),
                     resultJson(p.tail, p.payload, outcome == CommandLine::Outcome::Ok, reason));
    context_->printCommand(
        CommandLine{p.key, p.name, printable(p.tail), printable(p.payload), outcome, reason});
}

}  // namespace zelo::forward
