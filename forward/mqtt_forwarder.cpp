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

    // Everything the station knows is in the outbox before the first
    // connection looks at it, so the read-back of old retained topics can
    // tell which ones belong to devices no longer here.
    const DeviceDirectory& directory = context.workspace.directory();
    {
        std::lock_guard<std::mutex> lock(changesMutex_);
        now_ = context.workspace.clock().now();
        groups_ = context.groups;
        for (const DeviceRecord& r : directory.devices())
            if (directory.outline().indexOf(r.groupId) >= 0)
                changes_.put(context.devices.of(r.deviceId), r);
    }
    outbox_.setPrepare([this] { prepare(); });
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

bool MqttForwarder::controllable(std::uint32_t groupId) const {
    return context_->config.control.contains(groupId);
}

void MqttForwarder::queue(const DeviceRecord& r) {
    const std::uint32_t number = context_->devices.of(r.deviceId);
    std::lock_guard<std::mutex> lock(changesMutex_);
    changes_.put(number, r);
}

void MqttForwarder::prepare() {
    std::lock_guard<std::mutex> preparing(prepareMutex_);
    std::size_t n = 0;
    std::int64_t now = 0;
    std::shared_ptr<const GroupTable> groups;
    {
        std::lock_guard<std::mutex> lock(changesMutex_);
        n = changes_.take(taken_);
        now = now_;
        groups = groups_;
    }
    for (std::size_t i = 0; i < n; ++i) {
        publishDevice(taken_[i], *groups);
        publishAvailability(taken_[i].deviceId, known_[taken_[i].deviceId], now);
    }
    if (now != swept_) {
        swept_ = now;
        for (auto& [id, k] : known_) publishAvailability(id, k, now);
    }
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

void MqttForwarder::publishDevice(const DeviceSource& source, const GroupTable& groups) {
    const DeviceFacts facts = deviceFacts(source, groups.pathOf(source.groupId));
    const std::uint32_t id = source.deviceId;
    Known& k = known_[id];
    k.updated = source.updateTime;
    // The state, one topic per reported outlet, the master when known.
    outbox_.set(topic(k, id, kStateTopic), stateJson(facts));
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
        const bool control = controllable(source.groupId);
        std::string shape = discoveryShape(facts, control);
        if (k.shape != shape) {
            scratch_.clear();
            discoveryConfigs(facts, names_, control, scratch_);
            std::vector<std::string> configs;
            for (const Publication& p : scratch_) configs.push_back(p.topic);
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

void MqttForwarder::publishAvailability(std::uint32_t id, Known& k, std::int64_t now) {
    const bool online = k.updated > 0 && now - static_cast<std::int64_t>(k.updated) <=
                                             context_->config.options.staleSeconds;
    if (k.availabilityKnown && k.online == online) return;
    k.availabilityKnown = true;
    k.online = online;
    outbox_.set(topic(k, id, kAvailabilityTopic), online ? "online" : "offline");
}

void MqttForwarder::afterTick(const std::vector<ChangedDevice>& changed) {
    if (!link_) return;
    if (!changed.empty()) {
        // Only the records' few texts are copied here; their topics are made
        // on the broker's thread.
        std::lock_guard<std::mutex> lock(changesMutex_);
        for (const ChangedDevice& c : changed) changes_.put(c.number, *c.record);
        now_ = context_->workspace.clock().now();
        if (groups_ != context_->groups) groups_ = context_->groups;
    }
    for (const Inbound& m : link_->takeInbound()) handle(m);
    takeResults();
    printNotices();
}

void MqttForwarder::everySecond(std::int64_t now) {
    if (!link_) return;
    std::lock_guard<std::mutex> lock(changesMutex_);
    now_ = now;
    if (groups_ != context_->groups) groups_ = context_->groups;
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
    if (!controllable(r.groupId))
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
            queue(updated);
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
