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
    const DeviceFacts facts = deviceFacts(r, context_->workspace.directory().outline());
    Known& k = known_[r.deviceId];
    scratch_.clear();
    deviceTopics(facts, names_, scratch_);
    // Outlets and a master the device no longer reports lose their retained
    // topics (a retained empty message).
    const int outlets = static_cast<int>(facts.outlets.size());
    for (int n = outlets + 1; n <= k.outlets; ++n)
        scratch_.push_back({names_.deviceTopic(facts.key, "outlet/" + std::to_string(n)), ""});
    if (k.master && !facts.master)
        scratch_.push_back({names_.deviceTopic(facts.key, "master"), ""});
    k.outlets = outlets;
    k.master = facts.master.has_value();
    if (!names_.ha.empty()) {
        const bool control = controllable(r);
        std::string shape = discoveryShape(facts, control);
        if (k.shape != shape) {
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
        }
    }
    for (const Publication& p : scratch_) outbox_.set(p.topic, p.payload);
}

void MqttForwarder::publishAvailability(const DeviceRecord& r, std::int64_t now) {
    const bool online = r.updateTime > 0 && now - static_cast<std::int64_t>(r.updateTime) <=
                                                context_->config.options.staleSeconds;
    Known& k = known_[r.deviceId];
    if (k.availabilityKnown && k.online == online) return;
    k.availabilityKnown = true;
    k.online = online;
    outbox_.set(names_.deviceTopic(deviceKey(r.deviceId), "availability"),
                online ? "online" : "offline");
}

void MqttForwarder::afterTick(const std::vector<const DeviceRecord*>& changed) {
    if (!link_) return;
    const std::int64_t now = context_->workspace.clock().now();
    for (const DeviceRecord* r : changed) {
        publishDevice(*r);
        publishAvailability(*r, now);
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
