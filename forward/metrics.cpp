#include "forward/metrics.h"

#include <charconv>
#include <cstdio>

#include "common/format.h"
#include "zelo_version.h"

namespace zelo::forward {
namespace {

// A number as the text format reads it: integers without a fraction,
// others with at most `decimals` places and no trailing zeros.
void appendNumber(std::string& out, double v, int decimals) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string_view s = buf;
    if (s.find('.') != std::string_view::npos) {
        while (s.back() == '0') s.remove_suffix(1);
        if (s.back() == '.') s.remove_suffix(1);
    }
    out += s == "-0" ? "0" : s;
}

// Without printf: a large scrape writes some 150,000 of these.
void appendInteger(std::string& out, std::uint64_t v) {
    char buf[24];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void family(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

// `name{device="KEY"` without the closing brace, for further labels.
void deviceSample(std::string& out, std::string_view name, const DeviceFacts& d) {
    out.append(name.data(), name.size());
    out.append("{device=\"", 9);
    out += d.key;  // eight hex digits: nothing to escape
    out += '"';
}

void endSample(std::string& out, const char* value) {
    out += "} ";
    out += value;
    out += '\n';
}

constexpr ReportOutcome kOutcomes[] = {ReportOutcome::Accepted,   ReportOutcome::TooShort,
                                       ReportOutcome::TooLong,    ReportOutcome::Malformed,
                                       ReportOutcome::NoMac,      ReportOutcome::UnknownMac,
                                       ReportOutcome::UnknownUnit};
static_assert(std::size(kOutcomes) == kReportOutcomes);

void renderStation(std::string& out, const MetricsSnapshot& s) {
    family(out, "zelo_build_info", "gauge", "The station's program version.");
    out += "zelo_build_info{version=\"";
    appendLabelValue(out, ZELO_VERSION_TEXT);
    out += "\"} 1\n";

    family(out, "zelo_station_reports_total", "counter",
           "Datagrams received by the station, by what became of them.");
    for (ReportOutcome o : kOutcomes) {
        out += "zelo_station_reports_total{result=\"";
        out += reportOutcomeLabel(o);
        out += "\"} ";
        appendInteger(out, s.station[o]);
        out += '\n';
    }

    const TickTimes& t = s.station.tickTimes;
    family(out, "zelo_station_commit_duration_seconds", "histogram",
           "Time of each tick that received reports: decoding, committing and saving them.");
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < kTickBucketMicros.size(); ++i) {
        cumulative += t.buckets[i];
        out += "zelo_station_commit_duration_seconds_bucket{le=\"";
        appendNumber(out, double(kTickBucketMicros[i]) / 1e6, 6);
        out += "\"} ";
        appendInteger(out, cumulative);
        out += '\n';
    }
    out += "zelo_station_commit_duration_seconds_bucket{le=\"+Inf\"} ";
    appendInteger(out, t.count);
    out += "\nzelo_station_commit_duration_seconds_sum ";
    appendNumber(out, double(t.sumMicros) / 1e6, 6);
    out += "\nzelo_station_commit_duration_seconds_count ";
    appendInteger(out, t.count);
    out += '\n';

    if (s.mqtt) {
        family(out, "zelo_mqtt_connected", "gauge",
               "1 while the station is connected to its broker.");
        out += s.mqtt->connected ? "zelo_mqtt_connected 1\n" : "zelo_mqtt_connected 0\n";
        family(out, "zelo_mqtt_commands_total", "counter",
               "Commands received from the broker, by their outcome.");
        static const char* const kResults[] = {"ok", "refused", "failed"};
        for (std::size_t i = 0; i < 3; ++i) {
            out += "zelo_mqtt_commands_total{result=\"";
            out += kResults[i];
            out += "\"} ";
            appendInteger(out, s.mqtt->commands[i]);
            out += '\n';
        }
    }
}

}  // namespace

const char* reportOutcomeLabel(ReportOutcome o) noexcept {
    switch (o) {
        case ReportOutcome::Accepted:
            return "accepted";
        case ReportOutcome::TooShort:
            return "too_short";
        case ReportOutcome::TooLong:
            return "too_long";
        case ReportOutcome::Malformed:
            return "malformed";
        case ReportOutcome::NoMac:
            return "no_mac";
        case ReportOutcome::UnknownMac:
            return "unknown_mac";
        case ReportOutcome::UnknownUnit:
            return "unknown_unit";
    }
    return "malformed";
}

void appendLabelValue(std::string& out, std::string_view value) {
    // The text between the characters to escape goes in at once.
    std::size_t from = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' && c != '"' && c != '\n') continue;
        out.append(value.data() + from, i - from);
        out += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : "\\n";
        from = i + 1;
    }
    out.append(value.data() + from, value.size() - from);
}

bool deviceUp(const DeviceFacts& d, std::int64_t now, std::int64_t stale) noexcept {
    return d.updated > 0 && now - d.updated <= stale;
}

GroupMatch findGroup(const MetricsGroups& g, const std::string& text, std::uint32_t& id) {
    for (std::size_t i = 0; i < g.paths.size(); ++i) {
        if (g.paths[i] == text) {
            id = g.outline.entries[i].id;
            return GroupMatch::Found;
        }
    }
    const std::int64_t number = parseInt(text);
    if (!text.empty() && number >= 0 && number <= 0xFFFFFFFFLL &&
        g.outline.indexOf(static_cast<std::uint32_t>(number)) >= 0) {
        id = static_cast<std::uint32_t>(number);
        return GroupMatch::Found;
    }
    int found = 0;
    for (std::size_t i = 0; i < g.names.size(); ++i) {
        if (g.names[i] == text) {
            id = g.outline.entries[i].id;
            ++found;
        }
    }
    return found == 1 ? GroupMatch::Found : found ? GroupMatch::Ambiguous : GroupMatch::Unknown;
}

std::string renderMetrics(const MetricsSnapshot& s, const GroupFilter* filter) {
    std::vector<const DeviceFacts*> devices;
    devices.reserve(s.devices.size());
    // The text's size, a little over: the station's part, then per device
    // its samples' fixed parts (about 300 bytes, 48 an outlet, 120 a watched
    // ping target) and its labels. One allocation, not a string that doubles as
    // it grows: a large scrape would copy megabytes for nothing.
    std::size_t bytes = 4096;
    for (const auto& d : s.devices) {
        if (filter && !filter->contains(d->groupId)) continue;
        devices.push_back(d.get());
        bytes += 300 + d->name.size() + d->group.size() + d->model.size() + d->address.size() +
                 d->mac.size() + 48 * d->outlets.size();
        for (const PingState p : d->ping) bytes += p == PingState::Off ? 0 : 120;
    }
    std::string out;
    out.reserve(bytes);
    renderStation(out, s);

    family(out, "zelo_device_info", "gauge", "A device's descriptive labels; always 1.");
    for (const DeviceFacts* d : devices) {
        deviceSample(out, "zelo_device_info", *d);
        const std::pair<const char*, const std::string*> labels[] = {{",name=\"", &d->name},
                                                                     {"\",group=\"", &d->group},
                                                                     {"\",model=\"", &d->model},
                                                                     {"\",address=\"", &d->address},
                                                                     {"\",mac=\"", &d->mac}};
        for (const auto& [prefix, value] : labels) {
            out += prefix;
            appendLabelValue(out, *value);
        }
        out += '"';
        endSample(out, "1");
    }

    family(out, "zelo_device_up", "gauge",
           "1 while the device's last report is no older than the station's --stale.");
    for (const DeviceFacts* d : devices) {
        deviceSample(out, "zelo_device_up", *d);
        endSample(out, deviceUp(*d, s.now, s.staleSeconds) ? "1" : "0");
    }

    family(out, "zelo_device_last_report_timestamp_seconds", "gauge",
           "When the device's record was last updated by a report, in seconds since 1970.");
    for (const DeviceFacts* d : devices) {
        if (d->updated <= 0) continue;
        deviceSample(out, "zelo_device_last_report_timestamp_seconds", *d);
        out += "} ";
        appendInteger(out, static_cast<std::uint64_t>(d->updated));
        out += '\n';
    }

    family(out, "zelo_device_master_on", "gauge", "1 while the device's master power is on.");
    for (const DeviceFacts* d : devices) {
        if (!d->master) continue;
        deviceSample(out, "zelo_device_master_on", *d);
        endSample(out, *d->master ? "1" : "0");
    }

    family(out, "zelo_outlet_on", "gauge", "1 while the outlet is on, as last reported.");
    for (const DeviceFacts* d : devices) {
        for (const OutletFact& o : d->outlets) {
            deviceSample(out, "zelo_outlet_on", *d);
            out += ",outlet=\"";
            appendInteger(out, static_cast<std::uint64_t>(o.n));
            out += '"';
            endSample(out, o.on ? "1" : "0");
        }
    }

    family(out, "zelo_device_temperature_celsius", "gauge",
           "The temperature the device's sensor last reported.");
    for (const DeviceFacts* d : devices) {
        if (!d->temperature) continue;
        deviceSample(out, "zelo_device_temperature_celsius", *d);
        out += "} ";
        appendNumber(out, *d->temperature, 2);
        out += '\n';
    }

    // Ping watch entries shown as - watch nothing: left out.
    family(out, "zelo_ping_target_ok", "gauge", "1 while the ping watch target answers.");
    for (const DeviceFacts* d : devices) {
        for (std::size_t i = 0; i < d->ping.size(); ++i) {
            if (d->ping[i] == PingState::Off) continue;
            deviceSample(out, "zelo_ping_target_ok", *d);
            out += ",target=\"";
            appendInteger(out, i + 1);
            out += '"';
            endSample(out, d->ping[i] == PingState::Ok ? "1" : "0");
        }
    }
    family(out, "zelo_ping_target_reboots", "gauge",
           "The reboots the ping watch has made for the target, as the device counts them.");
    for (const DeviceFacts* d : devices) {
        for (std::size_t i = 0; i < d->ping.size(); ++i) {
            if (d->ping[i] == PingState::Off) continue;
            deviceSample(out, "zelo_ping_target_reboots", *d);
            out += ",target=\"";
            appendInteger(out, i + 1);
            out += "\"} ";
            appendInteger(out, i < d->reboots.size() ? static_cast<std::uint64_t>(
                                                           std::max<std::int64_t>(0, d->reboots[i]))
                                                     : 0);
            out += '\n';
        }
    }
    return out;
}

}  // namespace zelo::forward
