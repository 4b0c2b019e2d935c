#include "forward/metrics_forwarder.h"

#include <unordered_map>

#include "forward/metrics_server.h"

namespace zelo::forward {
namespace {

// Snapshots handed over at most this often while reports flow.
constexpr std::int64_t kPublishMicros = 100'000;

class MetricsForwarder final : public Forwarder {
public:
    bool started(ForwardingContext& context, std::string& error) override {
        context_ = &context;
        rebuild();
        const ForwardingOptions& o = context.config.options;
        if (!server_.start(*o.metricsHost, o.metricsPort, error)) return false;
        context.printError("metrics on http://" + *o.metricsHost + ":" +
                           std::to_string(server_.port()) + "/metrics");
        publish();
        return true;
    }

    void afterTick(const std::vector<ChangedDevice>& changed) override {
        const GroupOutline& outline = context_->workspace.directory().outline();
        for (const ChangedDevice& c : changed) {
            const DeviceRecord* r = c.record;
            const auto at = index_.find(r->deviceId);
            if (at == index_.end()) {
                rebuild();  // a device this forwarder has not seen: read them all again
                break;
            }
            const int g = outline.indexOf(r->groupId);
            if (g < 0 || std::size_t(g) >= groups_->paths.size()) {
                rebuild();  // the outline changed under the device
                break;
            }
            devices_[at->second] = c.facts;
        }
        const StationCounters& now = station().counters();
        dirty_ = dirty_ || !changed.empty() || now.reports != counted_.reports ||
                 now.tickTimes.count != counted_.tickTimes.count;
        if (dirty_ && micros() - lastPublish_ >= kPublishMicros) publish();
    }

    void everySecond(std::int64_t) override {
        const DeviceDirectory& d = context_->workspace.directory();
        if (d.devices().size() != seenDevices_ || d.outline().entries.size() != seenGroups_)
            rebuild();
        publish();  // the devices' availability moves with the clock
    }

    void stopped() override { server_.stop(); }

private:
    const StatusStation& station() const { return context_->workspace.station(); }
    std::int64_t micros() const { return context_->workspace.clock().micros(); }

    void rebuild() {
        const DeviceDirectory& d = context_->workspace.directory();
        groups_ = metricsGroups(d.outline());
        devices_.clear();
        index_.clear();
        for (DeviceFacts& f : collectFacts(d)) {
            index_.emplace(f.deviceId, devices_.size());
            devices_.push_back(std::make_shared<const DeviceFacts>(std::move(f)));
        }
        seenDevices_ = d.devices().size();
        seenGroups_ = d.outline().entries.size();
        dirty_ = true;
    }

    void publish() {
        auto s = std::make_shared<MetricsSnapshot>();
        s->devices = devices_;
        s->groups = groups_;
        s->station = station().counters();
        s->now = context_->workspace.clock().now();
        s->staleSeconds = context_->config.options.staleSeconds;
        if (context_->config.options.mqtt) {
            const MqttStatus& m = context_->mqtt;
            s->mqtt = MqttFigures{
                m.connected.load(),
                {m.commandsOk.load(), m.commandsRefused.load(), m.commandsFailed.load()}};
        }
        counted_ = s->station;
        server_.publish(std::move(s));
        lastPublish_ = micros();
        dirty_ = false;
    }

    ForwardingContext* context_ = nullptr;
    MetricsServer server_;
    std::shared_ptr<const MetricsGroups> groups_;
    std::vector<std::shared_ptr<const DeviceFacts>> devices_;  // list order
    std::unordered_map<std::uint32_t, std::size_t> index_;     // deviceId -> devices_
    std::size_t seenDevices_ = 0, seenGroups_ = 0;
    StationCounters counted_;  // as last published
    bool dirty_ = true;
    std::int64_t lastPublish_ = 0;
};

}  // namespace

std::unique_ptr<Forwarder> makeMetricsForwarder() {
    return std::make_unique<MetricsForwarder>();
}

}  // namespace zelo::forward
