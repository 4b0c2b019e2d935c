// The forwarders' pure parts: the forwarding options, the device facts and
// their state document, the group filter, the command topics, and the
// outbox that keeps one value per topic while the broker is away, and the
// metrics' exposition and request answers, without a socket.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "forward/device_changes.h"
#include "forward/device_facts.h"
#include "forward/forwarding.h"
#include "forward/metrics_server.h"
#include "forward/mqtt_outbox.h"
#include "forward/mqtt_topics.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo::forward {
namespace {

OptionParse parseAll(std::vector<std::string> args, ForwardingOptions& o, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const OptionParse p = parseForwardingOption(args, i, o, error);
        if (p != OptionParse::Taken) return p;
    }
    return OptionParse::Taken;
}

TEST(ForwardingOptions, BadValuesAreUsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"--mqtt", "http://host"},
        {"--mqtt", "mqtt://"},
        {"--mqtt", "mqtt://h:0"},
        {"--mqtt", "mqtt://h:65536"},
        {"--mqtt", "mqtt://u:pw@h"},
        {"--mqtt", "mqtt://h:x"},
        {"--mqtt"},
        {"--stale", "0"},
        {"--protect", "dev"},
        {"--protect", "dev:9"},
        {"--protect", ":1"},
        {"--mqtt-prefix", "a/#"},
        {"--mqtt-prefix", "/zelo"},
        {"--ha-discovery=home/+"},
        {"--metrics", "127.0.0.1:99999"},
        {"--metrics", "bad host:9100"},
    };
    for (const auto& args : bad) {
        ForwardingOptions o;
        std::string error;
        EXPECT_EQ(parseAll(args, o, error), OptionParse::Bad) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(ForwardingOptions, ValuesAndTheChecksAcrossThem) {
    ForwardingOptions o;
    std::string error;
    ASSERT_EQ(
        parseAll({"--mqtt", "mqtts://ops@broker.lan", "--station", "site 1/ä", "--ha-discovery",
                  "--protect", "rack:a:3", "--protect", "pdu:8", "--control", "Lab", "--metrics",
                  "9100", "--mqtt-password-file", "/etc/hostname"},
                 o, error),
        OptionParse::Taken)
        << error;
    EXPECT_TRUE(o.mqtt->tls);
    EXPECT_EQ(o.mqtt->user + "@" + o.mqtt->host + ":" + std::to_string(o.mqtt->port),
              "ops@broker.lan:8883");
    EXPECT_EQ(o.station, "site_1___");  // two bytes of UTF-8 make two
    EXPECT_EQ(*o.haDiscovery, "homeassistant");
    EXPECT_EQ(o.protect[0].device + "|" + std::to_string(o.protect[0].outlet) + " " +
                  o.protect[1].device + "|" + std::to_string(o.protect[1].outlet) + " " +
                  o.passwordFile,
              "rack:a|3 pdu|8 /etc/hostname");
    EXPECT_EQ(*o.metricsHost + ":" + std::to_string(o.metricsPort), "127.0.0.1:9100");
    EXPECT_EQ(checkForwardingOptions(o), "");
    o.caFile = "/nonexistent/ca.pem";
    EXPECT_NE(checkForwardingOptions(o).find("CA file"), std::string::npos);

    ForwardingOptions plain;
    ASSERT_EQ(parseAll({"--mqtt", "mqtt://h", "--mqtt-cafile", "/etc/hostname"}, plain, error),
              OptionParse::Taken);
    EXPECT_EQ(plain.mqtt->port, 1883);
    EXPECT_NE(checkForwardingOptions(plain), "");  // a CA file is for mqtts://
    ForwardingOptions noBroker;
    ASSERT_EQ(parseAll({"--control", "Lab"}, noBroker, error), OptionParse::Taken);
    EXPECT_EQ(checkForwardingOptions(noBroker), "the MQTT options need --mqtt URL");
}

// Root(0) > Site(1) > Rack(2); Root > Office(3) > a second "Rack"(4).
GroupOutline outline() {
    GroupOutline o;
    o.entries = {{0, "Root", 0, -1},
                 {1, "Site", 1, 0},
                 {2, "Rack", 2, 1},
                 {1, "Office", 3, 0},
                 {2, "Rack", 4, 3}};
    return o;
}

TEST(DeviceFacts, StateDocumentOfAReportedDevice) {
    DeviceRecord r;
    r.deviceId = 0x2A;
    r.groupId = 2;
    r.name = "\x83\x89\x83\x62\x83\x4E";  // "ラック" in CP932
    r.modelCode = 3;
    r.addressText = "10.0.0.5";
    r.macText = "00:80:87:aa:bb:0C";
    r.powerText = "0 10-1";                           // master off; an unknown outlet adds nothing
    r.pingText = "\x81\x9B\x81\xA2\x81\x7E\x81\x7C";  // the Japanese signs O R X -
    r.rebootText = "0 12 3 0 ";
    r.temperature = -250;
    r.temperatureState = 4;
    r.updateTime = 1796620814;
    EXPECT_EQ(stateJson(deviceFacts(r, outline())),
              "{\"id\":\"0000002A\",\"name\":\"\xE3\x83\xA9\xE3\x83\x83\xE3\x82\xAF\","
              "\"group\":\"Root/Site/Rack\",\"model\":\"HX-7200\",\"address\":\"10.0.0.5\","
              "\"mac\":\"008087aabb0C\",\"outlets\":[{\"n\":1,\"name\":\"\",\"state\":\"ON\"},"
              "{\"n\":2,\"name\":\"\",\"state\":\"OFF\"},{\"n\":3,\"name\":\"\",\"state\":\"ON\"}],"
              "\"master\":\"OFF\",\"ping\":[\"ok\",\"reboot\",\"fail\",\"off\"],"
              "\"reboots\":[0,12,3,0],\"temperature\":-2.5,\"temperature_state\":\"LW Alart\","
              "\"updated\":\"2026-12-07T05:20:14Z\"}");

    // Never reported (the power column holds the model's placeholder), no
    // sensor, a name with quotes.
    DeviceRecord quiet;
    quiet.deviceId = 7;
    quiet.groupId = 99;  // not in the outline
    quiet.name = "a\"b\\c\td";
    quiet.powerText = "1 1101";
    quiet.pingText = "O-";
    quiet.temperatureState = -1;
    quiet.macText = "12345";
    EXPECT_EQ(
        stateJson(deviceFacts(quiet, outline())),
        "{\"id\":\"00000007\",\"name\":\"a\\\"b\\\\c\\td\",\"group\":\"\",\"model\":\"\","
        "\"address\":\"\",\"mac\":\"\",\"outlets\":[],\"master\":null,\"ping\":[\"ok\",\"off\"],"
        "\"reboots\":[0,0],\"temperature\":null,\"temperature_state\":\"\",\"updated\":null}");
}

TEST(DeviceFacts, TimesAndTemperaturesReadAsTheCLibraryPrintsThem) {
    for (const std::int64_t t : {1LL, 59LL, 951782400LL, 951868799LL, 1796620814LL, 4102444800LL,
                                 4107542399LL, 4107542400LL, 4294967295LL}) {
        const std::time_t c = static_cast<std::time_t>(t);
        std::tm tm{};
        gmtime_r(&c, &tm);
        char buf[32];
        std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
        EXPECT_EQ(isoTime(t), buf) << t;
    }
    for (const double v :
         {0.0, -0.0, 20.0, 20.5, 20.05, 21.1, -0.01, -0.004, 0.125, -2.5, 1e13, 327.67, -327.68}) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%.2f", v);
        std::string want = buf;
        while (want.back() == '0') want.pop_back();
        if (want.back() == '.') want.pop_back();
        if (want == "-0") want = "0";
        DeviceFacts f;
        f.temperature = v;
        const std::string json = stateJson(f);
        EXPECT_NE(json.find("\"temperature\":" + want + ","), std::string::npos)
            << v << " " << json;
    }
}

TEST(CommandTopics, WhatIsACommand) {
    const MqttNames n{"zelo/t1", "t1", ""};
    struct Row {
        const char* topic;
        bool valid;
        CommandTarget target;
        int outlet;
        const char* tail;
    };
    const Row rows[] = {
        {"zelo/t1/0000002A/outlet/3/set", true, CommandTarget::Outlet, 3, "outlet/3/set"},
        {"zelo/t1/0000002a/outlet/12/set", true, CommandTarget::Outlet, 12, "outlet/12/set"},
        {"zelo/t1/0000002A/all/set", true, CommandTarget::All, 0, "all/set"},
        {"zelo/t1/0000002A/master/set", true, CommandTarget::Master, 0, "master/set"},
        {"zelo/t1/0000002A/outlet/x/set", false, CommandTarget::Outlet, 0, ""},
        {"zelo/t1/0000002A/outlet//set", false, CommandTarget::Outlet, 0, ""},
        {"zelo/t1/2A/outlet/1/set", false, CommandTarget::Outlet, 0, ""},
        {"zelo/t1/0000002A/outlet/1", false, CommandTarget::Outlet, 0, ""},
        {"zelo/t2/0000002A/all/set", false, CommandTarget::Outlet, 0, ""},
        {"zelo/t1/0000002A/master/x/set", false, CommandTarget::Outlet, 0, ""},
    };
    for (const Row& r : rows) {
        const auto c = parseCommandTopic(r.topic, n);
        ASSERT_EQ(c.has_value(), r.valid) << r.topic;
        if (!c) continue;
        EXPECT_EQ(c->target, r.target) << r.topic;
        EXPECT_EQ(c->outlet, r.outlet) << r.topic;
        EXPECT_EQ(c->tail, r.tail) << r.topic;
    }
    const CommandTopic outlet{"0000002A", "outlet/3/set", CommandTarget::Outlet, 3};
    const CommandTopic master{"0000002A", "master/set", CommandTarget::Master, 0};
    const CommandTopic all{"0000002A", "all/set", CommandTarget::All, 0};
    EXPECT_EQ(powerCommandText(outlet, *parsePowerPayload(" reboot\n")), "POR3");
    EXPECT_EQ(powerCommandText(all, *parsePowerPayload("Off")), "POF0");
    EXPECT_EQ(powerCommandText(master, *parsePowerPayload("ON")), "MPON");
    EXPECT_EQ(powerCommandText(master, PowerAction::Reboot), "");
    EXPECT_FALSE(parsePowerPayload("TOGGLE"));
    EXPECT_FALSE(parsePowerPayload(""));

    const MqttNames ha{"zelo/a", "a", "homeassistant"};
    EXPECT_TRUE(ownRetainedTopic("homeassistant/switch/zelo_a_0000002A/outlet_1/config", ha));
    EXPECT_TRUE(ownRetainedTopic("homeassistant/binary_sensor/zelo_a/status/config", ha));
    // Station "a_b" is another station, not a device of "a".
    EXPECT_FALSE(ownRetainedTopic("homeassistant/switch/zelo_a_b_0000002A/outlet_1/config", ha));
    EXPECT_FALSE(ownRetainedTopic("zelo/a/status", ha));
    EXPECT_TRUE(ownRetainedTopic("zelo/a/0000002A/outlet/1", ha));
}

// Records what the listen loop tells it.
class Recorder final : public Forwarder {
public:
    explicit Recorder(std::vector<std::string>& log, bool startOk = true)
        : log_(log), startOk_(startOk) {}
    bool started(ForwardingContext& context, std::string& error) override {
        context_ = &context;
        log_.push_back(startOk_ ? "started" : "refused");
        if (!startOk_) error = "port in use";
        return startOk_;
    }
    void afterTick(const std::vector<ChangedDevice>& changed) override {
        std::string line = "tick";
        for (const ChangedDevice& c : changed) line += " " + c.record->name;
        log_.push_back(line);
    }
    void everySecond(std::int64_t now) override {  // with the groups it knows by then
        log_.push_back("second " + std::to_string(now) + " " +
                       std::to_string(context_->groups->outline.entries.size()));
    }
    void stopped() override { log_.push_back("stopped"); }

private:
    std::vector<std::string>& log_;
    bool startOk_;
    ForwardingContext* context_ = nullptr;
};

DeviceRecord named(std::uint32_t id, const char* name) {
    DeviceRecord r;
    r.deviceId = id;
    r.name = name;
    return r;
}

TEST(Forwarding, EachDeviceOncePerTickAsItsLastReportLeftIt) {
    test::TempDir dir;
    test::TestWorkspace w(dir.path().string() + "/");
    ASSERT_TRUE(w.load());
    std::vector<std::string> log;
    Forwarding f({});
    f.add(std::make_unique<Recorder>(log));
    std::string error;
    ASSERT_TRUE(f.start(w.ws, {}, {}, error));
    f.afterTick({named(1, "a"), named(2, "b"), named(1, "a2"), named(3, "c"), named(2, "b2")});
    f.afterTick({});
    const std::size_t groups = w.ws.directory().outline().entries.size();
    ASSERT_NE(w.ws.directory().addGroup(0, "Lab"), 0u);  // seen with the next second
    w.clock.advance(1);  // the second ticks over once, however many ticks it holds
    f.afterTick({});
    f.afterTick({});
    f.stop();
    f.stop();
    EXPECT_EQ(log, (std::vector<std::string>{"started", "tick a2 b2 c", "tick", "tick",
                                             "second " + std::to_string(test::kWorkspaceNow + 1) +
                                                 " " + std::to_string(groups + 1),
                                             "tick", "stopped"}));
}

TEST(Forwarding, AForwarderThatCannotStartStopsTheOthers) {
    test::TestWorkspace w("unwritten/");
    std::vector<std::string> log;
    Forwarding f({});
    f.add(std::make_unique<Recorder>(log));
    f.add(std::make_unique<Recorder>(log, false));
    std::string error;
    EXPECT_FALSE(f.start(w.ws, {}, {}, error));
    EXPECT_EQ(error, "port in use");
    f.afterTick({named(1, "a")});  // nothing runs after a failed start
    f.stop();
    EXPECT_EQ(log, (std::vector<std::string>{"started", "refused", "stopped"}));
}

TEST(Outbox, OneValuePerTopicHoweverLongTheBrokerIsAway) {
    Outbox box;
    for (int i = 0; i < 10000; ++i) {
        box.set("t/a", std::to_string(i));
        box.set("t/b", "same");
        if (i % 5 == 0) box.send("t/result", std::to_string(i));  // 2000 results
    }
    EXPECT_EQ(box.topics(), 2u);
    EXPECT_TRUE(box.has("t/b") && !box.has("t/result"));  // results are not kept
    std::vector<OutMessage> out = box.take(100000);
    ASSERT_EQ(out.size(), Outbox::kMaxEvents + 2);  // the newest results, then the values
    EXPECT_EQ(out.front().payload, "5000");         // the oldest results gave way
    EXPECT_EQ(out[Outbox::kMaxEvents - 1].payload, "9995");
    EXPECT_FALSE(out[Outbox::kMaxEvents - 1].retain);
    EXPECT_EQ(out[Outbox::kMaxEvents].topic + "=" + out[Outbox::kMaxEvents].payload, "t/a=9999");
    EXPECT_TRUE(out.back().retain);
    EXPECT_FALSE(box.pending());
    EXPECT_FALSE(box.set("t/b", "same"));  // unchanged: nothing goes out
    box.markAllDirty();                    // a reconnect sends everything again
    EXPECT_EQ(box.take(10).size(), 2u);
    box.set("h/x", "1");
    box.take(10);
    box.markDirty("h/");
    out = box.take(10);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].topic, "h/x");
}

// The numbers of many devices first: the changes' tables are indexed by them.
TEST(DeviceChanges, EachIdKeepsItsNumberAndEachDeviceIsTakenOnceWithItsLatestSource) {
    DeviceNumbers numbers;
    // Ids alike in their low bits and in their high bits, and zero.
    auto id = [](std::uint32_t i) { return i % 2 ? i << 16 | 1u : i * 4096u; };
    for (std::uint32_t i = 0; i < 20000; ++i) ASSERT_EQ(numbers.of(id(i)), i);
    for (std::uint32_t i = 0; i < 20000; ++i) ASSERT_EQ(numbers.of(id(i)), i);
    EXPECT_EQ(numbers.size(), 20000u);

    DeviceChanges changes;
    std::vector<DeviceSource> out;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 1000; ++i) {
            DeviceRecord r = named(std::uint32_t(i % 3 + 1), "");
            r.powerText = std::to_string(i);
            changes.put(numbers.of(r.deviceId), r);
        }
        ASSERT_EQ(changes.take(out), 3u);  // however long nobody took
        EXPECT_TRUE(changes.empty());
        std::string seen;
        for (std::size_t i = 0; i < 3; ++i)
            seen += std::to_string(out[i].deviceId) + "=" + out[i].powerText + " ";
        EXPECT_EQ(seen, "1=999 2=997 3=998 ");
    }
    changes.put(numbers.of(2), named(2, "b"));
    changes.clear();
    EXPECT_EQ(changes.take(out), 0u);
}

// ---- the metrics: the exposition as a pure function of a snapshot, and the
// answers to each kind of request

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
    auto late = std::make_shared<DeviceFacts>(*device(0x2B, 3, "office"));
    late->updated = 999;  // a second past the stale seconds
    s.devices = {full, late, device(0x2C, 4, "rack two")};
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

TEST(Metrics, SamplesJoinTheInfoOnTheKeyAndCountersAndTheHistogramAreCumulative) {
    MetricsSnapshot s = snapshot();
    std::string text = renderMetrics(s);
    const std::string d = "{device=\"0000002A\"";
    EXPECT_EQ(lines(text, "zelo_device_info" + d),
              "zelo_device_info{device=\"0000002A\",name=\"web \\\"A\\\"\\\\b\\nc\",group=\"Root/"
              "Site/Rack\",model=\"HX-7200\",address=\"10.0.0.1\",mac=\"0080871000AA\"} 1\n");
    // Up: reported within the stale seconds; 2B a second too long ago, 2C never.
    const std::string up = "zelo_device_up{device=\"0000002", at = "zelo_device_last_report_";
    EXPECT_EQ(lines(text, up), up + "A\"} 1\n" + up + "B\"} 0\n" + up + "C\"} 0\n");
    EXPECT_EQ(lines(text, at), at + "timestamp_seconds" + d + "} 1000\n" + at +
                                   "timestamp_seconds{device=\"0000002B\"} 999\n");
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

    s.station[ReportOutcome::Accepted] = 12;
    s.station[ReportOutcome::UnknownMac] = 3;
    for (std::int64_t micros : {400, 500, 501, 2'000'000}) s.station.tickTimes.record(micros);
    s.mqtt = MqttFigures{true, {5, 2, 1}};
    text = renderMetrics(s);
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
        {"/metrics", {{"group", "0"}}, 7, 200, {"0000002A", "0000002B", "0000002C"}},
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
