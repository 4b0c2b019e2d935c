// The MQTT forwarder in the test process, fed records by hand, against a
// real mosquitto broker: what a device stops reporting within one run
// leaves no retained topic behind.
#include <gtest/gtest.h>

#include "forward/forwarding.h"
#include "tests/support/mqtt_broker_posix.h"
#include "tests/support/test_workspace.h"

namespace zelo::forward {
namespace {

TEST(MqttForwarder, WhatADeviceNoLongerReportsLosesItsRetainedTopics) {
    test::TempDir brokerDir, data;
    test::MqttBroker broker;
    std::string error;
    ASSERT_TRUE(broker.start(brokerDir, "", error)) << error;
    test::TestWorkspace w(data.path().string() + "/");
    ASSERT_TRUE(w.load());
    const std::uint32_t group = w.ws.directory().addGroup(0, "Lab");
    const std::uint32_t id = w.ws.directory().addDevice(group, 3, "hx");
    ASSERT_NE(id, 0u);

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
    EXPECT_TRUE(watcher.waitForValue(base + "master", "ON"));
    EXPECT_NE(watcher.waitForPart(
                  node.substr(0, 3) + "sensor/zelo_u1_" + deviceKey(id) + "/temperature/config",
                  "temperature"),
              "");
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
        EXPECT_TRUE(watcher.seen(gone)) << gone;
    }
    EXPECT_NE(watcher.latest(node + "outlet_2/config"), "");
    forwarding.stop();
}

}  // namespace
}  // namespace zelo::forward
