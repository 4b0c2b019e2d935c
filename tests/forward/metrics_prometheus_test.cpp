// zeloctl listen --metrics against the real tools: promtool checks the
// exposition of a data directory with a device of every model, a real
// Prometheus server scrapes the station every second while zelo-sim's
// reports flow, and what it stored is read back through its query API.
#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <cstdlib>
#include <thread>

#include "tests/e2e/zeloctl_fixture.h"
#include "tests/support/mqtt_broker_posix.h"

namespace zelo::test {
namespace {

// The number after `after` in `text` (up to the next space, tab or line end).
int numberAfter(const std::string& text, const std::string& after) {
    const std::size_t at = text.find(after);
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + after.size());
}

class MetricsStation : public ZeloctlTest {
protected:
    ChildProcess station;
    int metricsPort = 0, udpPort = 0;

    // listen with metrics on free ports; the metrics' port from the line
    // before the announcement.
    void startListen(std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"--metrics", "127.0.0.1:0", "--seconds", "50"});
        std::string before;
        udpPort = std::stoi(listen(station, data.path().string(), extra, &before));
        metricsPort = numberAfter(before, "metrics on http://127.0.0.1:");
        ASSERT_TRUE(metricsPort && udpPort) << before;
    }
    httplib::Result get(int port, const std::string& target) {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(10);
        return c.Get(target.c_str());
    }
};

TEST_F(MetricsStation, ExpositionOfEveryModelPassesPromtoolAndBadRequestsAreRefused) {
    ASSERT_EQ(runProgram("/usr/bin/env",
                         {"python3", SOURCE_DIR "/scripts/sample_directory.py",
                          data.path().string(), "--english"},
                         scratch)
                  .code,
              0);
    startListen({});
    const auto all = get(metricsPort, "/metrics");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->status, 200);
    EXPECT_EQ(all->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    writeBytes(scratch.file("exposition.txt"), all->body);
    const RunResult check = runProgram(
        "/bin/sh",
        {"-c", std::string(PROMTOOL_PATH) + " check metrics < " + scratch.file("exposition.txt")},
        scratch);
    EXPECT_EQ(check.code, 0) << check.out << check.err;
    EXPECT_EQ(check.out + check.err, "");  // not even a lint remark
    for (const char* model : {"HX-7200", "JB-81K", "SWD-6K", "SWD-6ZK", "SWD-7KA", "SWD-7KB",
                              "SWD-8KBN", "SWD-12K", "SWD-Q6M", "GV2208"})
        EXPECT_NE(all->body.find(std::string("model=\"") + model + "\""), std::string::npos)
            << model;

    const struct {
        std::string target;
        int status;
    } bad[] = {
        // What the server hands answerRequest (its own table has the rest):
        // the path, every parameter, and the query's length.
        {"/metricsx", 404},
        {"/metrics?group=Root&group=Office", 400},
        {"/metrics?group=" + std::string(2000, 'a'), 400},
        {"/metrics?group=" + std::string(100'000, 'a'),
         400},  // past the request line the library takes
    };
    for (const auto& b : bad) {
        const auto r = get(metricsPort, b.target);
        ASSERT_TRUE(r) << b.target.substr(0, 40);
        EXPECT_EQ(r->status, b.status) << b.target.substr(0, 40);
    }
    httplib::Client client("127.0.0.1", metricsPort);
    const auto deleted = client.Delete("/metrics");
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->status, 405);
    EXPECT_EQ(deleted->get_header_value("Allow"), "GET, HEAD");
    const auto posted = client.Post("/metrics", "x", "text/plain");  // no body is taken
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 413);

    // Scrapes at once are each served whole or refused with 503.
    std::vector<std::thread> scrapers;
    std::atomic<int> whole{0}, refused{0};
    for (int i = 0; i < 12; ++i)
        scrapers.emplace_back([&] {
            const auto r = get(metricsPort, "/metrics");
            if (r && r->status == 200 && r->body == all->body) ++whole;
            if (r && r->status == 503) ++refused;
        });
    for (auto& t : scrapers) t.join();
    EXPECT_EQ(whole + refused, 12);
    EXPECT_GT(whole, 0);
    const auto health = get(metricsPort, "/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->body, "ok\n");
    // A second station is refused the port this one serves.
    TempDir other;
    const std::string port = std::to_string(metricsPort);
    const RunResult second = runIn(other.path().string(), {"listen", "--port", "0", "--seconds",
                                                           "5", "--metrics", "127.0.0.1:" + port});
    EXPECT_EQ(second.code, 2) << second.err;
    EXPECT_TRUE(contains(second.err, "cannot serve metrics on 127.0.0.1:" + port)) << second.err;
    station.signal(SIGINT);
    EXPECT_EQ(station.wait(), 0);
}

// The value of a Prometheus instant query with one result, or "" (none yet).
std::string queryValue(int port, const std::string& query) {
    httplib::Client c("127.0.0.1", port);
    const auto r = c.Get("/api/v1/query", httplib::Params{{"query", query}}, httplib::Headers{});
    if (!r || r->status != 200) return "";
    // {"status":"success","data":{"resultType":"vector","result":[{"metric":{...},"value":[T,"V"]}]}}
    const std::size_t at = r->body.find("\"value\":[");
    if (at == std::string::npos || r->body.find("\"value\":[", at + 1) != std::string::npos)
        return "";
    const std::size_t open = r->body.find('"', r->body.find(',', at));
    return r->body.substr(open + 1, r->body.find('"', open + 1) - open - 1);
}

// With --mqtt the exposition tells too whether the broker is there and how
// the commands from it ended.
TEST_F(MetricsStation, PrometheusStoresWhatTheSimulatorReportedTheDeviceGoingDownAndTheBroker) {
    // One HX-7200 with the simulator's first MAC, device 1 of a fresh directory.
    ASSERT_EQ(run({"add-group", "0", "Lab"}).code, 0);
    ASSERT_EQ(run({"add-device", "Lab", "3", "hx"}).out, "1\n");
    ASSERT_EQ(run({"set", "hx", "address=127.0.0.1", "mac=008087100001"}).code, 0);
    const std::string key = "00000001";
    const std::string device = "{device=\"" + key + "\"";
    MqttBroker broker;
    std::string error;
    ASSERT_TRUE(broker.start(scratch, "", error)) << error;
    startListen({"--stale", "3", "--mqtt", "mqtt://127.0.0.1:" + std::to_string(broker.port()),
                 "--station", "lab"});
    writeBytes(scratch.file("lab.fleet"),
               "interval = 1\n[hx]\nmodel = 3\nmac = 00:80:87:10:00:01\nstates = 1101\ntemperature "
               "= 23.5\n");
    ChildProcess sim;
    ASSERT_TRUE(sim.start({ZELO_SIM_PATH, scratch.file("lab.fleet"), "--station",
                           "127.0.0.1:" + std::to_string(udpPort), "--control", "0"}));
    std::string line;
    int controlPort = 0;
    while (!controlPort && sim.readLine(line, 10'000))
        controlPort = numberAfter(line, "control 127.0.0.1:");
    ASSERT_NE(controlPort, 0);
    LoopbackClient control;
    ASSERT_TRUE(control.connect(controlPort));
    const auto command = [&](const std::string& c) {
        ASSERT_TRUE(control.send(c + "\n"));
        std::string reply;
        while (control.readLine(reply, 5000) && reply != "OK")
            ASSERT_NE(reply.substr(0, 3), "ERR") << c;
    };

    const int promPort = unusedTcpPort();  // Prometheus cannot tell which port it took
    writeBytes(scratch.file("prometheus.yml"),
               "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\nscrape_configs:\n  - "
               "job_name: zelo\n"
               "    static_configs:\n      - targets: ['127.0.0.1:" +
                   std::to_string(metricsPort) + "']\n");
    ChildProcess prometheus;
    ASSERT_TRUE(prometheus.start(
        {PROMETHEUS_PATH, "--config.file=" + scratch.file("prometheus.yml"),
         "--storage.tsdb.path=" + scratch.file("tsdb"),
         "--web.listen-address=127.0.0.1:" + std::to_string(promPort), "--log.level=error"},
        scratch.file("prometheus.out"), scratch.file("prometheus.err")));

    // Waits (bounded) until Prometheus holds `expected` for the query.
    const auto holds = [&](const std::string& query, const std::string& expected) {
        std::string value;
        for (const std::int64_t end = steadyMs() + 20'000; steadyMs() < end;
             ::poll(nullptr, 0, 200))
            if ((value = queryValue(promPort, query)) == expected) return true;
        ADD_FAILURE() << query << " is '" << value << "', not " << expected << "\n"
                      << readBytes(scratch.file("prometheus.err"));
        return false;
    };
    ASSERT_TRUE(holds("zelo_outlet_on" + device + ",outlet=\"3\"}", "0"));
    EXPECT_TRUE(holds("zelo_device_up" + device + "}", "1"));
    EXPECT_TRUE(holds("zelo_device_info" + device + ",name=\"hx\",model=\"HX-7200\"}", "1"));

    command("outlet hx 1 off");
    command("temp hx 31.25");
    EXPECT_TRUE(holds("zelo_outlet_on" + device + ",outlet=\"1\"}", "0"));
    EXPECT_TRUE(holds("zelo_device_temperature_celsius" + device + "}", "31.25"));
    EXPECT_TRUE(holds("zelo_station_reports_total{result=\"accepted\"} > bool 1", "1"));

    // Silent from now on: down once its last report is over 3 seconds old.
    command("offline hx silent");
    EXPECT_TRUE(holds("zelo_device_up" + device + "}", "0"));

    EXPECT_TRUE(holds("zelo_mqtt_connected", "1"));
    EXPECT_TRUE(holds("zelo_mqtt_commands_total{result=\"refused\"}", "0"));
    MqttWatcher client;
    ASSERT_TRUE(client.connect(broker.port(), {"zelo/lab/" + key + "/result"}));
    client.publish("zelo/lab/" + key + "/outlet/1/set", "OFF");  // without --control
    EXPECT_NE(client.waitForPart("zelo/lab/" + key + "/result", "read-only"), "");
    EXPECT_TRUE(holds("zelo_mqtt_commands_total{result=\"refused\"}", "1"));
    broker.crash();
    EXPECT_TRUE(holds("zelo_mqtt_connected", "0"));
    station.signal(SIGINT);
    EXPECT_EQ(station.wait(), 0);
}

}  // namespace
}  // namespace zelo::test
