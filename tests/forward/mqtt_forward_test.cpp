// zeloctl listen --mqtt against a real mosquitto broker on loopback, with
// simulated devices reporting to it and a real MQTT client watching: the
// retained topics, availability, commands and their refusals, a broker that
// dies and comes back, Home Assistant's discovery, the clean-up of deleted
// devices, the faults an operator must be told about, and the forwarder
// itself fed records by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>

#include "directory/item_file.h"
#include "forward/forwarding.h"
#include "tests/e2e/zeloctl_fixture.h"
#include "tests/support/mqtt_broker_posix.h"
#include "tests/support/sim_fleet.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using test::MqttWatcher;

// lab1 and lab2 go into group Lab, off1 into Office. The simulator numbers
// the MACs in fleet order.
const char* const kFleet =
    "interval = 1\n"
    "[lab1]\nmodel = 11\nstates = 1100\ntemperature = 25.5\nping = 1:0,2:3\n"
    "[lab2]\nmodel = 3\nstates = 1101\ntemperature = none\n"
    "[off1]\nmodel = 13\nstates = 0110\ntemperature = none\nping = none\n";

struct Unit {
    const char* name;
    const char* group;
    int model;
    const char* key;  // the device id the directory gives it, as topics name it
};
const Unit kUnits[] = {{"lab1", "Lab", 11, "00000001"},
                       {"lab2", "Lab", 3, "00000002"},
                       {"off1", "Office", 13, "00000003"}};

std::string topic(const std::string& key, const std::string& tail) {
    return "zelo/t1/" + key + "/" + tail;
}

class MqttForward : public test::ZeloctlTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(broker.start(brokerDir, "", error)) << error;
        english();
        ASSERT_EQ(run({"add-group", "0", "Lab"}).code, 0);
        ASSERT_EQ(run({"add-group", "0", "Office"}).code, 0);
    }
    // The fleet's consoles listen, and the directory gets a device per unit.
    void bindFleet(const std::string& fleet = kFleet) {
        std::string error;
        ASSERT_TRUE(sim.bind(fleet, error)) << error;
        for (std::size_t i = 0; i < std::size(kUnits); ++i) {
            const Unit& u = kUnits[i];
            ASSERT_EQ(run({"add-device", u.group, std::to_string(u.model), u.name}).out,
                      std::to_string(i + 1) + "\n");
            ASSERT_EQ(
                run({"set", u.name, "address=127.0.0.1", "port=" + std::to_string(sim.port(u.name)),
                     "mac=00808700000" + std::to_string(i + 1)})
                    .code,
                0);
        }
    }
    // Starts the station with the broker and `extra` options; the fleet
    // (bound already) then reports to it.
    void startListen(std::vector<std::string> extra, bool fleetRuns = true,
                     const std::string& url = "") {
        extra.insert(
            extra.begin(),
            {"--mqtt", url.empty() ? "mqtt://127.0.0.1:" + std::to_string(broker.port()) : url,
             "--station", "t1"});
        station = std::make_unique<test::ChildProcess>();
        const std::string port = listen(*station, data.path().string(), extra);
        ASSERT_NE(port, "0") << "listen did not start";
        if (!fleetRuns) return;
        sim.setStation("127.0.0.1:" + port);
        sim.run();
    }
    // Ends the station as SIGTERM does (or waits for it to end by itself);
    // its exit code.
    int stopListen(bool signal = true) {
        if (signal) station->signal(SIGTERM);
        const int code = station->wait(15000);
        std::string line;
        while (station->readLine(line, 100)) errLines += line + "\n";
        return code;
    }
    std::string listenOut() { return test::readBytes(scratch.file("listen.txt")); }
    // Waits for a line of listen's output holding `part`.
    bool outputHas(const std::string& part, int timeoutMs = 10000) {
        for (const std::int64_t end = test::steadyMs() + timeoutMs; test::steadyMs() < end;) {
            if (listenOut().find(part) != std::string::npos) return true;
            ::poll(nullptr, 0, 20);
        }
        return false;
    }
    std::size_t reportLines() {
        std::size_t n = 0;
        const std::string out = listenOut();
        for (std::size_t at = 0; (at = out.find('\n', at)) != std::string::npos; ++at) ++n;
        return n - countOf(out, "command\t");
    }
    static std::size_t countOf(const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
            ++n;
        return n;
    }
    void watch(MqttWatcher& w) {
        ASSERT_TRUE(w.connect(broker.port(), {"zelo/#", "homeassistant/#"}));
    }

    test::TempDir brokerDir;
    test::MqttBroker broker;
    test::SimFleet sim;
    std::unique_ptr<test::ChildProcess> station;
    std::string errLines;
};

// One station run: the retained state and discovery of each device as it
// reports, commands on it, the devices falling silent; then a start after
// a device was deleted.
TEST_F(MqttForward, RetainedStateDiscoveryAndCommandsFollowTheDevicesAndDeletedOnesGoAway) {
    bindFleet();
    MqttWatcher w;
    watch(w);
    startListen({"--stale", "2", "--control", "Lab", "--protect", "lab1:2", "--ha-discovery"});
    ASSERT_TRUE(w.waitForValue("zelo/t1/status", "online"));
    // The state of lab1 as its simulator unit reports it: outlets 1100, a
    // sensor at 25.5 degrees in the normal state, ping entries watching
    // and failed with three reboots.
    const std::string state = w.waitForPart(topic("00000001", "state"), "\"updated\":\"");
    EXPECT_NE(state.find("{\"id\":\"00000001\",\"name\":\"lab1\",\"group\":\"Root/Lab\","
                         "\"model\":\"SWD-12K\",\"address\":\"127.0.0.1\",\"mac\":\"008087000001\","
                         "\"outlets\":[{\"n\":1,\"name\":\"\",\"state\":\"ON\"},{\"n\":2,\"name\":"
                         "\"\",\"state\":\"ON\"},{\"n\":3,\"name\":\"\",\"state\":\"OFF\"},{\"n\":"
                         "4,\"name\":\"\",\"state\":\"OFF\"}],\"master\":null,\"ping\":[\"ok\","
                         "\"fail\"],\"reboots\":[0,3],\"temperature\":25.5,\"temperature_state\":"
                         "\"Normal\",\"updated\":\"20"),
              std::string::npos)
        << state;
    for (const Unit& u : kUnits)  // each has reported
        ASSERT_TRUE(w.waitForValue(topic(u.key, "availability"), "online")) << u.name;
    EXPECT_EQ(w.latest(topic("00000001", "outlet/3")), "OFF");
    EXPECT_EQ(w.latest(topic("00000001", "outlet/2")), "ON");
    EXPECT_FALSE(w.seen(topic("00000001", "outlet/5")));  // only reported outlets
    // The framed unit reports its master; the plain one has none.
    EXPECT_TRUE(w.waitForValue(topic("00000002", "master"), "ON"));
    EXPECT_TRUE(w.waitForValue(topic("00000003", "outlet/1"), "OFF"));
    EXPECT_FALSE(w.seen(topic("00000003", "master")));

    const std::string lab1 = "homeassistant/switch/zelo_t1_00000001/outlet_1/config";
    const std::string config = w.waitForPart(lab1, "\"unique_id\":\"zelo_t1_00000001_outlet_1\"");
    for (const char* part :
         {"\"state_topic\":\"zelo/t1/00000001/outlet/1\"",
          "\"command_topic\":\"zelo/t1/00000001/outlet/1/set\"", "\"device_class\":\"outlet\"",
          "\"availability\":[{\"topic\":\"zelo/t1/status\"},{\"topic\":\"zelo/t1/00000001/"
          "availability\"}],\"availability_mode\":\"all\"",
          "\"device\":{\"identifiers\":[\"zelo_t1_00000001\"],\"name\":\"lab1\",\"model\":\"SWD-"
          "12K\",\"via_device\":\"zelo_t1\"}"})
        EXPECT_NE(config.find(part), std::string::npos) << part << " in " << config;
    // Read-only devices get sensors; sensors and ping watches their own.
    for (const auto& [node, part] : std::vector<std::pair<std::string, std::string>>{
             {"binary_sensor/zelo_t1_00000003/outlet_1", "\"device_class\":\"power\""},
             {"sensor/zelo_t1_00000001/temperature",
              "\"unit_of_measurement\":\"\xC2\xB0"
              "C\""},
             {"binary_sensor/zelo_t1_00000001/ping_2", "\"device_class\":\"problem\""},
             {"switch/zelo_t1_00000002/master", "master/set"}})
        EXPECT_NE(w.waitForPart("homeassistant/" + node + "/config", part), "") << node;
    EXPECT_FALSE(w.seen("homeassistant/sensor/zelo_t1_00000003/temperature/config"));

    struct Refused {
        const char* key;
        const char* tail;
        const char* payload;
        bool retain;
        const char* reason;
    };
    const Refused refused[] = {
        {"00000003", "outlet/1/set", "ON", false, "the device is not under --control"},
        {"00000001", "outlet/2/set", "OFF", false, "outlet 2 is protected"},
        {"00000001", "outlet/2/set", "REBOOT", false, "outlet 2 is protected"},
        {"00000001", "all/set", "OFF", false, "outlet 2 of the device is protected"},
        {"00000001", "outlet/9/set", "ON", false, "the device has no outlet 9"},
        {"00000001", "master/set", "ON", false, "the device has no master power"},
        {"00000002", "master/set", "REBOOT", false, "bad payload: the master takes ON or OFF"},
        {"00000001", "outlet/1/set", "FLIP", false, "bad payload: ON, OFF or REBOOT"},
        {"00000001", "outlet/3/set", "ON", true, "retained command ignored"},
        {"000000FF", "outlet/1/set", "ON", false, "unknown device"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(std::string(r.key) + "/" + r.tail + " " + r.payload);
        w.publish(topic(r.key, r.tail), r.payload, r.retain);
        const std::string expected = std::string("{\"command\":\"") + r.tail + "\",\"payload\":\"" +
                                     r.payload + "\",\"ok\":false,\"error\":\"" + r.reason + "\"}";
        EXPECT_EQ(w.waitForPart(topic(r.key, "result"), expected), expected);
        EXPECT_TRUE(outputHas(std::string("command\t") + r.key + "\t")) << listenOut();
    }
    // The retained command is gone from the broker, so it never runs later.
    EXPECT_TRUE(w.waitForValue(topic("00000001", "outlet/3/set"), ""));
    for (const Unit& u : kUnits) EXPECT_EQ(sim.consoleConnections(u.name), 0u) << u.name;
    EXPECT_NE(listenOut().find("command\t00000001\tlab1\toutlet/2/set\tOFF\trefused\toutlet 2 is "
                               "protected\n"),
              std::string::npos)
        << listenOut();

    // Accepted: switched on the device, the state read back and published,
    // in both dialects.
    w.publish(topic("00000001", "outlet/1/set"), "OFF");
    w.publish(topic("00000002", "outlet/4/set"), "OFF");
    w.publish(topic("00000002", "outlet/4/set"), "ON");  // after the OFF, on the same device
    const std::string ok1 = "{\"command\":\"outlet/1/set\",\"payload\":\"OFF\",\"ok\":true}";
    EXPECT_EQ(w.waitForPart(topic("00000001", "result"), ok1), ok1);
    EXPECT_TRUE(w.waitForValue(topic("00000001", "outlet/1"), "OFF"));
    EXPECT_TRUE(outputHas("command\t00000002\tlab2\toutlet/4/set\tON\tok\t\n")) << listenOut();
    const std::string out = listenOut();
    EXPECT_LT(out.find("command\t00000002\tlab2\toutlet/4/set\tOFF\tok"),
              out.find("command\t00000002\tlab2\toutlet/4/set\tON\tok"));
    EXPECT_TRUE(w.waitForValue(topic("00000002", "outlet/4"), "ON"));
    EXPECT_EQ(sim.consoleConnections("lab1"), 1u);
    EXPECT_EQ(sim.consoleConnections("lab2"), 2u);

    // Home Assistant restarted with its retained configs lost: its birth
    // message brings them back.
    w.publish(lab1, "", true);
    ASSERT_TRUE(w.waitForValue(lab1, ""));
    w.publish("homeassistant/status", "online");
    EXPECT_NE(w.waitForPart(lab1, "zelo_t1_00000001_outlet_1"), "");

    // The devices fall silent: after --stale each one goes offline.
    sim.stop();
    for (const Unit& u : kUnits)
        EXPECT_TRUE(w.waitForValue(topic(u.key, "availability"), "offline", 8000)) << u.name;
    EXPECT_EQ(stopListen(), 0);
    EXPECT_TRUE(w.waitForValue("zelo/t1/status", "offline"));

    // off1 is deleted while the station is stopped: the next start empties
    // every retained topic of it, and only of it.
    ASSERT_EQ(run({"delete", "off1"}).code, 0);
    std::vector<std::string> gone;
    for (const auto& [t, payload] : w.latestAll())  // its own topics, not the commands' ones
        if (t.find("00000003") != std::string::npos && !payload.empty() &&
            t.find("/set") == std::string::npos && t.find("/result") == std::string::npos)
            gone.push_back(t);
    ASSERT_GE(gone.size(), 10u);  // state, availability, 4 outlets, 4 discovery configs
    startListen({"--ha-discovery", "--control", "Lab"}, false);
    for (const std::string& t : gone) EXPECT_TRUE(w.waitForValue(t, "", 5000)) << t;
    EXPECT_EQ(stopListen(), 0);
    MqttWatcher late;
    watch(late);
    ASSERT_TRUE(late.waitFor(
        [&] {
            return late.seenLocked(topic("00000001", "state")) &&
                   late.seenLocked(topic("00000002", "state")) &&
                   late.seenLocked("zelo/t1/status") && late.seenLocked(lab1);
        },
        5000));
}

TEST_F(MqttForward, BrokerOutageLosesNoReportAndEveryStateIsCurrentAfterwards) {
    bindFleet();
    startListen({});
    {
        MqttWatcher w;
        watch(w);
        ASSERT_TRUE(w.waitForValue("zelo/t1/status", "online"));
    }
    broker.crash();
    // Reports go on being received and committed while the broker is away.
    const std::size_t before = reportLines();
    for (const std::int64_t end = test::steadyMs() + 10000;
         reportLines() < before + 6 && test::steadyMs() < end;)
        ::poll(nullptr, 0, 50);
    EXPECT_GE(reportLines(), before + 6);
    ASSERT_TRUE(broker.restart());
    MqttWatcher w;
    watch(w);
    EXPECT_TRUE(w.waitForValue("zelo/t1/status", "online", 10000));  // backoff of 1 s, 2 s, 4 s
    sim.stop();
    // Every report the devices sent was taken.
    const std::uint64_t sent = sim.reportsSent();
    for (const std::int64_t end = test::steadyMs() + 5000;
         reportLines() < sent && test::steadyMs() < end;)
        ::poll(nullptr, 0, 20);
    EXPECT_EQ(reportLines(), sent);
    EXPECT_EQ(stopListen(), 0);
    EXPECT_EQ(countOf(errLines, "MQTT: lost the broker"), 1u) << errLines;

    // What a newcomer finds retained is each record's last report.
    MqttWatcher late;
    watch(late);
    for (const DeviceRecord& r : loadItemFile(data.path().string() + "/", 1)) {
        SCOPED_TRACE(r.name);
        char stamp[40];  // the quoted key and a 20-letter time
        const std::time_t t = r.updateTime;
        std::strftime(stamp, sizeof stamp, "\"updated\":\"%Y-%m-%dT%H:%M:%SZ\"", std::gmtime(&t));
        const std::string key = "0000000" + std::to_string(r.deviceId);
        EXPECT_NE(late.waitForPart(topic(key, "state"), stamp), "");
        // Topics whose values did not change since before the outage are
        // there again too.
        EXPECT_TRUE(late.waitForValue(topic(key, "availability"), "online"));
        EXPECT_NE(late.waitForPart(topic(key, "outlet/1"), "O"), "");
    }
}

// The next line of listen's stderr holding `part` ("" when none came in time).
std::string errLine(test::ChildProcess& listen, const std::string& part, int timeoutMs = 8000) {
    std::string line;
    for (const std::int64_t end = test::steadyMs() + timeoutMs; test::steadyMs() < end;)
        if (listen.readLine(line, 200) && line.find(part) != std::string::npos) return line;
    return "";
}

TEST_F(MqttForward, WrongPasswordAndUntrustedCertificateAreClearErrorsNotBusyLoops) {
    bindFleet();
    const auto tool = [&](std::vector<std::string> args) {
        const std::string program = args.front();
        args.erase(args.begin());
        const test::RunResult r = test::runProgram(program, args, scratch);
        ASSERT_EQ(r.code, 0) << program << ": " << r.err;
    };
    test::TempDir secrets;
    const auto file = [&](const char* name) { return secrets.file(name); };
    tool({"/usr/bin/mosquitto_passwd", "-c", "-b", file("passwd"), "zelo", "s3cret"});
    test::MqttBroker locked;
    std::string error;
    ASSERT_TRUE(locked.start(
        secrets, "allow_anonymous false\npassword_file " + file("passwd") + "\n", error))
        << error;
    const std::string url = "mqtt://zelo@127.0.0.1:" + std::to_string(locked.port());

    ::setenv("ZELO_MQTT_PASSWORD", "wrong", 1);
    startListen({"--seconds", "4"}, false, url);
    ::unsetenv("ZELO_MQTT_PASSWORD");
    EXPECT_EQ(stopListen(false), 0);  // ended by --seconds
    EXPECT_EQ(countOf(errLines, "refused the connection: Not authorized"), 1u) << errLines;
    // Tries after 1 s and 2 s more: not a busy loop.
    const std::size_t tries = countOf(locked.log(), "New connection from");
    EXPECT_GE(tries, 2u);
    EXPECT_LE(tries, 4u);
    EXPECT_EQ(errLines.find("wrong"), std::string::npos);  // the password is never printed

    // The file's first line wins over the environment.
    test::writeBytes(file("password.txt"), "s3cret\r\nsecond line\n");
    ::setenv("ZELO_MQTT_PASSWORD", "wrong", 1);
    startListen({"--mqtt-password-file", file("password.txt")}, false, url);
    EXPECT_NE(errLine(*station, "MQTT: connected to the broker"), "");
    EXPECT_EQ(stopListen(), 0);
    const test::RunResult userless = run({"listen", "--mqtt", "mqtt://127.0.0.1:1"});
    ::unsetenv("ZELO_MQTT_PASSWORD");
    EXPECT_EQ(userless.code, 2);
    EXPECT_EQ(userless.err, "zeloctl: a broker password needs a user name: mqtt://USER@HOST\n");

    // TLS: the broker's certificate, made here, is its own CA; the other CA signed nothing.
    tool({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
          "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", file("server.key"), "-out",
          file("server.pem"), "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
          "subjectAltName=IP:127.0.0.1"});
    tool({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
          "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", file("other.key"), "-out",
          file("other.pem"), "-days", "2", "-subj", "/CN=another CA"});
    test::TempDir tlsDir;
    test::MqttBroker tls;
    ASSERT_TRUE(tls.start(tlsDir,
                          "allow_anonymous true\ncafile " + file("server.pem") + "\ncertfile " +
                              file("server.pem") + "\nkeyfile " + file("server.key") + "\n",
                          error))
        << error;
    // A user name without a password is sent all the same.
    const std::string secure = "mqtts://zelo@127.0.0.1:" + std::to_string(tls.port());
    startListen({"--mqtt-cafile", file("other.pem")}, false, secure);
    EXPECT_NE(errLine(*station, "certificate verify failed"), "");
    EXPECT_EQ(stopListen(), 0);
    // The right CA, but the certificate names 127.0.0.1, not localhost.
    startListen({"--mqtt-cafile", file("server.pem")}, false,
                "mqtts://localhost:" + std::to_string(tls.port()));
    EXPECT_NE(errLine(*station, "certificate verify failed"), "");
    EXPECT_EQ(stopListen(), 0);
    startListen({"--mqtt-cafile", file("server.pem")}, false, secure);
    EXPECT_NE(errLine(*station, "MQTT: connected to the broker"), "");
    EXPECT_EQ(stopListen(), 0);
    EXPECT_NE(tls.log().find("u'zelo'"), std::string::npos) << tls.log();
}

// The forwarder in the test process, fed records by hand: what a device
// stops reporting within one run leaves no retained topic behind.
TEST_F(MqttForward, WhatADeviceNoLongerReportsLosesItsRetainedTopics) {
    using namespace forward;
    test::TestWorkspace w(data.path().string() + "/");
    ASSERT_TRUE(w.load());
    const std::uint32_t id = w.ws.directory().addDevice(1, 3, "hx");
    ASSERT_NE(id, 0u);

    std::string error;
    ForwardingConfig config;
    config.options.mqtt = BrokerAddress{false, "", "127.0.0.1", std::uint16_t(broker.port())};
    config.options.haDiscovery = "ha";
    config.station = "u1";
    Forwarding forwarding(std::move(config));
    addForwarders(forwarding);
    test::MqttWatcher watcher;
    ASSERT_TRUE(watcher.connect(broker.port(), {"zelo/#", "ha/#"}));
    ASSERT_TRUE(forwarding.start(w.ws, {}, {}, error)) << error;

    const std::string base = "zelo/u1/" + deviceKey(id) + "/";
    const std::string node = "ha/binary_sensor/zelo_u1_" + deviceKey(id) + "/";  // read-only
    DeviceRecord r = *w.ws.directory().devices().find(id);
    r.updateTime = std::uint32_t(test::kWorkspaceNow);
    r.powerText = "1 1111";
    r.temperature = 2500;
    r.temperatureState = 0;
    forwarding.afterTick({r});
    EXPECT_TRUE(watcher.waitForValue(base + "outlet/4", "ON"));
    EXPECT_NE(watcher.waitForPart(node + "outlet_4/config", "outlet_4"), "");

    // Two outlets, no master, no sensor now.
    r.powerText = "10";
    r.temperatureState = -1;
    forwarding.afterTick({r});
    EXPECT_TRUE(watcher.waitForValue(base + "outlet/2", "OFF"));
    for (const std::string& gone :
         {base + "outlet/3", base + "outlet/4", base + "master", node + "outlet_3/config",
          node + "outlet_4/config", node + "master/config",
          "ha/sensor/zelo_u1_" + deviceKey(id) + "/temperature/config"}) {
        EXPECT_TRUE(watcher.waitForValue(gone, "")) << gone;
        EXPECT_TRUE(watcher.seen(gone)) << gone;  // published, then emptied
    }
    EXPECT_NE(watcher.latest(node + "outlet_2/config"), "");
    forwarding.stop();
}

}  // namespace
}  // namespace zelo
