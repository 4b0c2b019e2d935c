// The exposition as a pure function of a snapshot: the lines of a device,
// label escaping, the group filter, and the answers to each kind of request.
#include <gtest/gtest.h>

#include "forward/metrics_server.h"

namespace zelo::forward {
namespace {

GroupOutline
outline() {  // Root(0) > Site(1) > Rack(2); Root > Office(3); a second "Rack"(4) under Office
    GroupOutline o;
    o.entries = {{0, "Root", 0, -1},
                 {1, "Site", 1, 0},
                 {2, "Rack", 2, 1},
                 {1, "Office", 3, 0},
                 {2, "Rack", 4, 3}};
    return o;
}

std::shared_ptr<const DeviceFacts> device(std::uint32_t id, std::uint32_t group, std::string name) {
    auto f = std::make_shared<DeviceFacts>();
    f->deviceId = id, f->groupId = group, f->key = deviceKey(id), f->name = std::move(name);
    f->model = "HX-7200", f->address = "10.0.0.1", f->mac = "0080871000AA";
    return f;
}

MetricsSnapshot snapshot() {
    MetricsSnapshot s;
    s.groups = metricsGroups(outline());
    auto full = std::make_shared<DeviceFacts>(*device(0x2A, 2, "web \"A\"\\b\nc"));
    full->group = "Root/Site/Rack";
    full->outlets = {{1, "", true}, {2, "", false}};
    full->master = true;
    full->ping = {PingState::Ok, PingState::Off, PingState::Fail};
    full->reboots = {0, 0, 7};
    full->temperature = -5.25;
    full->updated = 1000;
    s.devices = {full, device(0x2B, 3, "office"), device(0x2C, 4, "rack two")};
    s.now = 1300;
    s.staleSeconds = 300;
    return s;
}

// The lines of `text` that start with `prefix`, joined.
std::string lines(const std::string& text, const std::string& prefix) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        if (line.rfind(prefix, 0) == 0) out += line + "\n";
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
}

TEST(Metrics, ADevicesSamplesJoinItsInfoOnTheKeyWithLabelValuesEscaped) {
    const MetricsSnapshot s = snapshot();
    const std::string text = renderMetrics(s);
    const std::string d = "{device=\"0000002A\"";
    EXPECT_EQ(lines(text, "zelo_device_info" + d),
              "zelo_device_info{device=\"0000002A\",name=\"web \\\"A\\\"\\\\b\\nc\",group=\"Root/"
              "Site/Rack\",model=\"HX-7200\",address=\"10.0.0.1\",mac=\"0080871000AA\"} 1\n");
    EXPECT_EQ(lines(text, "zelo_device_up" + d), "zelo_device_up" + d + "} 1\n");
    EXPECT_EQ(
        lines(text, "zelo_device_last_report_timestamp_seconds{"),
        "zelo_device_last_report_timestamp_seconds" + d + "} 1000\n");  // never reported: none
    EXPECT_EQ(lines(text, "zelo_device_master_on{"), "zelo_device_master_on" + d + "} 1\n");
    EXPECT_EQ(lines(text, "zelo_outlet_on{"),
              "zelo_outlet_on" + d + ",outlet=\"1\"} 1\nzelo_outlet_on" + d + ",outlet=\"2\"} 0\n");
    EXPECT_EQ(lines(text, "zelo_device_temperature_celsius{"),
              "zelo_device_temperature_celsius" + d + "} -5.25\n");
    // Entry 2 is shown as -: left out of both.
    EXPECT_EQ(lines(text, "zelo_ping_target_"),
              "zelo_ping_target_ok" + d + ",target=\"1\"} 1\nzelo_ping_target_ok" + d +
                  ",target=\"3\"} 0\nzelo_ping_target_reboots" + d +
                  ",target=\"1\"} 0\nzelo_ping_target_reboots" + d + ",target=\"3\"} 7\n");
    EXPECT_EQ(lines(text, "zelo_mqtt"), "");  // without --mqtt
    EXPECT_NE(text.find("# TYPE zelo_station_commit_duration_seconds histogram\n"),
              std::string::npos);
}

TEST(Metrics, UpUntilTheStaleSecondsHavePassedSinceTheLastReport) {
    DeviceFacts f;
    const struct {
        std::int64_t updated, now;
        bool up;
    } rows[] = {{1000, 1300, true}, {1000, 1301, false}, {0, 0, false}, {1000, 999, true}};
    for (const auto& r : rows) {
        f.updated = r.updated;
        EXPECT_EQ(deviceUp(f, r.now, 300), r.up) << r.updated << " " << r.now;
    }
}

TEST(Metrics, CountersAndTheHistogramAreCumulativeAndMqttFiguresAppearWithMqtt) {
    MetricsSnapshot s = snapshot();
    s.station[ReportOutcome::Accepted] = 12;
    s.station[ReportOutcome::UnknownMac] = 3;
    for (std::int64_t micros : {400, 500, 501, 2'000'000}) s.station.tickTimes.record(micros);
    s.mqtt = MqttFigures{true, {5, 2, 1}};
    const std::string text = renderMetrics(s);
    EXPECT_EQ(lines(text, "zelo_station_reports_total{result=\"accepted\"}"),
              "zelo_station_reports_total{result=\"accepted\"} 12\n");
    EXPECT_EQ(lines(text, "zelo_station_reports_total{result=\"unknown_mac\"}"),
              "zelo_station_reports_total{result=\"unknown_mac\"} 3\n");
    const std::string h = "zelo_station_commit_duration_seconds";
    EXPECT_EQ(lines(text, h + "_bucket{le=\"0.00"),
              h + "_bucket{le=\"0.0005\"} 2\n" + h + "_bucket{le=\"0.001\"} 3\n" + h +
                  "_bucket{le=\"0.0025\"} 3\n" + h + "_bucket{le=\"0.005\"} 3\n");
    EXPECT_EQ(lines(text, h + "_bucket{le=\"1\"}") + lines(text, h + "_bucket{le=\"+Inf\"}") +
                  lines(text, h + "_sum") + lines(text, h + "_count"),
              h + "_bucket{le=\"1\"} 3\n" + h + "_bucket{le=\"+Inf\"} 4\n" + h + "_sum 2.001401\n" +
                  h + "_count 4\n");
    EXPECT_EQ(lines(text, "zelo_mqtt_c"),
              "zelo_mqtt_connected 1\nzelo_mqtt_commands_total{result=\"ok\"} 5\n"
              "zelo_mqtt_commands_total{result=\"refused\"} 2\n"
              "zelo_mqtt_commands_total{result=\"failed\"} 1\n");
}

TEST(Metrics, RequestsAnsweredByPathParametersAndGroup) {
    const MetricsSnapshot s = snapshot();
    using Params = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* path;
        Params params;
        std::size_t queryBytes;
        int status;
        std::vector<std::string> devices;  // the keys in the exposition
    } rows[] = {
        {"/metrics", {}, 0, 200, {"0000002A", "0000002B", "0000002C"}},
        {"/metrics", {{"group", "Root/Site"}}, 15, 200, {"0000002A"}},     // with its sub-groups
        {"/metrics", {{"group", "3"}}, 7, 200, {"0000002B", "0000002C"}},  // by id
        {"/metrics", {{"group", "Office"}}, 12, 200, {"0000002B", "0000002C"}},  // by its only name
        {"/metrics", {{"group", "Root/Office/Rack"}}, 22, 200, {"0000002C"}},
        {"/metrics", {{"group", "Rack"}}, 10, 400, {}},  // two groups have that name
        {"/metrics", {{"group", "Nowhere"}}, 13, 404, {}},
        {"/metrics", {{"group", "99"}}, 8, 404, {}},
        {"/metrics", {{"group", ""}}, 6, 400, {}},
        {"/metrics", {{"group", "Root"}, {"group", "Root"}}, 21, 400, {}},
        {"/metrics", {{"format", "json"}}, 11, 400, {}},
        {"/metrics", {{"group", "Root"}}, kMaxQueryBytes + 1, 400, {}},
        {"/healthz", {}, 0, 200, {}},
        {"/", {}, 0, 404, {}},
        {"/metrics/", {}, 0, 404, {}},
    };
    for (const auto& r : rows) {
        const HttpAnswer a = answerRequest(r.path, r.params, r.queryBytes, &s);
        SCOPED_TRACE(std::string(r.path) + " " + std::to_string(r.queryBytes));
        EXPECT_EQ(a.status, r.status) << *a.body;
        if (r.status != 200 || std::string(r.path) != "/metrics") continue;
        EXPECT_EQ(a.contentType, kMetricsContentType);
        std::vector<std::string> keys;
        for (std::size_t at = 0;
             (at = a.body->find("zelo_device_info{device=\"", at)) != std::string::npos;)
            keys.push_back(a.body->substr(at += 25, 8));
        EXPECT_EQ(keys, r.devices);
        EXPECT_NE(a.body->find("zelo_station_reports_total{"),
                  std::string::npos);  // the station's own too
    }
    EXPECT_EQ(*answerRequest("/healthz", {}, 0, nullptr).body, "ok\n");
    EXPECT_EQ(answerRequest("/metrics", {}, 0, nullptr).status, 503);  // before the first snapshot
}

}  // namespace
}  // namespace zelo::forward
