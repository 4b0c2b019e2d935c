#include "forward/metrics_forwarder.h"

#include <mutex>
#include <unordered_map>

#include "forward/device_changes.h"
#include "forward/metrics_server.h"

namespace zelo::forward {
namespace {

class MetricsForwarder final : public Forwarder {
public:
    bool started(ForwardingContext& context, std::string& error) override {
        context_ = &context;
        rebuild();
        server_.setSource([this] { return snapshot(); });
        const ForwardingOptions& o = context.config.options;
        if (!server_.start(*o.metricsHost, o.metricsPort, error)) return false;
        context.printError("metrics on http://" + *o.metricsHost + ":" +
                           std::to_string(server_.port()) + "/metrics");
        return true;
    }

    void afterTick(const std::vector<ChangedDevice>& changed) override {
        if (groups_ != context_->groups) return rebuild();  // the outline changed
        for (const ChangedDevice& c : changed) {
            // A device this forwarder has not seen, or one moved to a group
            // that is not in the outline: every device is read again. The
            // outline is the one of the last rebuild, so a device still in
            // the group it was seen in needs no look-up.
            if (c.number >= groupOf_.size() || groupOf_[c.number] == kNotListed) return rebuild();
            std::uint32_t& group = groupOf_[c.number];
            if (c.record->groupId != group) {
                if (groups_->outline.indexOf(c.record->groupId) < 0) return rebuild();
                group = c.record->groupId;
            }
        }
        const StationCounters& counters = context_->workspace.station().counters();
        const bool counted = counters.reports != counted_.reports ||
                             counters.tickTimes.count != counted_.tickTimes.count;
        if (changed.empty() && !counted) return;
        // Only the records' few texts are copied here; the facts are made by
        // the next scrape.
        std::lock_guard<std::mutex> lock(shared_.mutex);
        for (const ChangedDevice& c : changed) shared_.changes.put(c.number, *c.record);
        if (counted) counted_ = shared_.station = counters;
        shared_.now = context_->workspace.clock().now();
    }

    void everySecond(std::int64_t now) override {
        const DeviceDirectory& d = context_->workspace.directory();
        if (d.devices().size() != seenDevices_ || groups_ != context_->groups) return rebuild();
        std::lock_guard<std::mutex> lock(shared_.mutex);
        shared_.now = now;  // the devices' availability moves with the clock
    }

    void stopped() override { server_.stop(); }

private:
    // Every device read again (at the start, and when the directory's
    // devices or outline changed): on the loop's thread, rare.
    void rebuild() {
        const DeviceDirectory& d = context_->workspace.directory();
        groups_ = context_->groups;
        auto order = std::make_shared<std::vector<std::uint32_t>>();
        std::vector<std::pair<std::uint32_t, const DeviceRecord*>> listed;
        for (const DeviceRecord& r : d.devices()) {
            if (groups_->outline.indexOf(r.groupId) < 0) continue;  // its group was deleted
            listed.emplace_back(context_->devices.of(r.deviceId), &r);
            order->push_back(r.deviceId);
        }
        groupOf_.assign(context_->devices.size(), kNotListed);
        for (const auto& [number, r] : listed) groupOf_[number] = r->groupId;
        seenDevices_ = d.devices().size();
        const StationCounters& counters = context_->workspace.station().counters();
        std::lock_guard<std::mutex> lock(shared_.mutex);
        shared_.changes.clear();
        for (const auto& [number, r] : listed) shared_.changes.put(number, *r);
        ++shared_.generation;
        shared_.order = std::move(order);
        shared_.groups = groups_;
        counted_ = shared_.station = counters;
        shared_.now = context_->workspace.clock().now();
    }

    // On a scrape's thread: the facts of the devices changed since the last
    // scrape are made, and the snapshot shares them with the earlier ones.
    // The loop waits for this only while the changes trade places with the
    // scrapes' empty ones (a swap of two tables, however many changed).
    std::shared_ptr<const MetricsSnapshot> snapshot() {
        std::lock_guard<std::mutex> caching(cache_.mutex);
        auto s = std::make_shared<MetricsSnapshot>();
        std::size_t n = 0;
        std::uint64_t generation = 0;
        std::shared_ptr<const std::vector<std::uint32_t>> order;
        {
            std::lock_guard<std::mutex> lock(shared_.mutex);
            shared_.changes.swap(cache_.changes);
            generation = shared_.generation;
            order = shared_.order;
            s->groups = shared_.groups;
            s->station = shared_.station;
            s->now = shared_.now;
        }
        n = cache_.changes.take(cache_.taken);
        if (generation != cache_.generation) {
            cache_.generation = generation;
            cache_.devices.assign(order->size(), nullptr);
            cache_.index.clear();
            for (std::size_t i = 0; i < order->size(); ++i) cache_.index.emplace((*order)[i], i);
        }
        for (std::size_t i = 0; i < n; ++i) {
            const DeviceSource& source = cache_.taken[i];
            const auto at = cache_.index.find(source.deviceId);
            if (at == cache_.index.end()) continue;
            cache_.devices[at->second] = std::make_shared<const DeviceFacts>(
                deviceFacts(source, s->groups->pathOf(source.groupId)));
        }
        s->devices.reserve(cache_.devices.size());
        for (const auto& d : cache_.devices)
            if (d) s->devices.push_back(d);
        s->staleSeconds = context_->config.options.staleSeconds;
        if (context_->config.options.mqtt) {
            const MqttStatus& m = context_->mqtt;
            s->mqtt = MqttFigures{
                m.connected.load(),
                {m.commandsOk.load(), m.commandsRefused.load(), m.commandsFailed.load()}};
        }
        return s;
    }

    ForwardingContext* context_ = nullptr;
    MetricsServer server_;

    // The loop's own.
    std::shared_ptr<const GroupTable> groups_;
    // By device number: its group as last seen, or kNotListed for a device
    // not in the list the scrapes show.
    static constexpr std::uint32_t kNotListed = 0xFFFFFFFF;
    std::vector<std::uint32_t> groupOf_;
    std::size_t seenDevices_ = 0;
    StationCounters counted_;  // as last handed over

    // Between the loop and the scrapes.
    struct {
        std::mutex mutex;
        DeviceChanges changes;         // the devices changed since the last scrape
        std::uint64_t generation = 0;  // how often every device was read again
        std::shared_ptr<const std::vector<std::uint32_t>> order;  // device ids, list order
        std::shared_ptr<const GroupTable> groups;
        StationCounters station;
        std::int64_t now = 0;  // clock seconds
    } shared_;

    // The scrapes' own, one scrape at a time.
    struct {
        std::mutex mutex;
        std::uint64_t generation = 0;  // of the device list `devices` follows
        std::vector<std::shared_ptr<const DeviceFacts>> devices;  // list order
        std::unordered_map<std::uint32_t, std::size_t> index;     // deviceId -> devices
        DeviceChanges changes;  // as taken from the loop; empty between scrapes
        std::vector<DeviceSource> taken;
    } cache_;
};

}  // namespace

std::unique_ptr<Forwarder> makeMetricsForwarder() {
    return std::make_unique<MetricsForwarder>();
}

}  // namespace zelo::forward
