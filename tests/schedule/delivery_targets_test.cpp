// The devices a delivery reaches, and a walk run to its end.
#include <gtest/gtest.h>

#include <thread>

#include "directory/device_directory.h"
#include "schedule/delivery.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

class DeliveryTargets : public ::testing::Test {
protected:
    void SetUp() override {
        // Root > A (a1, a2) > A1 (x) ; Root > B (b, plain device, one without address)
        test::writeBytes(dir.file("ZELO_DIR.DAT"), "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n1\tB\t3\r\n");
        ASSERT_TRUE(w.load());
        for (const auto& [group, model, name] : {std::tuple{1u, 3, "a1"}, {1u, 5, "a2"}, {2u, 3, "x"}, {3u, 3, "b"},
                                                 {3u, 11, "plain"}, {3u, 3, "no address"}}) {
            DeviceRecord r = *directory.devices().find(directory.addDevice(group, model, name));
            r.addressText = r.name == "no address" ? "" : "127.0.0.1";
            ASSERT_TRUE(directory.saveDevice(r));
        }
    }
    std::vector<std::string> names(const std::vector<std::pair<bool, std::uint32_t>>& selection) {
        std::vector<std::string> out;
        for (const DeviceRecord& r : deliveryTargets(directory, selection)) out.push_back(r.name);
        return out;
    }

    test::TempDir dir;
    test::TestWorkspace w{dir.path().string() + "/"};
    DeviceDirectory& directory = w.ws.directory();
};

TEST_F(DeliveryTargets, GroupsWithTheirSubGroupsDepthFirstEachDeviceOnceOnlyDevicesThatTakeASchedule) {
    EXPECT_EQ(names({{true, 1}}), (std::vector<std::string>{"a1", "a2", "x"}));
    EXPECT_EQ(names({{true, 0}}), (std::vector<std::string>{"a1", "a2", "x", "b"}));
    // A device named on its own and again through its group counts once.
    EXPECT_EQ(names({{false, 3}, {true, 1}, {true, 2}}), (std::vector<std::string>{"x", "a1", "a2"}));
    EXPECT_EQ(names({{true, 3}}), (std::vector<std::string>{"b"}));
    EXPECT_TRUE(names({{false, 5}, {false, 99}, {true, 42}}).empty());
}

TEST_F(DeliveryTargets, RunToEndKeepsTargetOrderAndOneConnectionStaysOnTheCallersThread) {
    // Devices that take no schedule are skipped without a connection: the
    // walk needs no device to answer.
    std::vector<DeviceRecord> targets;
    for (std::uint32_t id : {5u, 6u, 5u, 6u}) targets.push_back(*directory.devices().find(id));
    ScheduleTable table;
    for (int parallel : {0, 1, 3}) {
        SCOPED_TRACE(parallel);
        DeliveryWalk walk(targets, table,
                          DeliveryContext{w.ws.network(), w.ws.clock(), w.ws.settings(), w.ws.strings(), w.ws.dataDir()},
                          directory, w.frontend);
        std::vector<std::thread::id> threads(targets.size());
        walk.runToEnd(parallel, [&](std::size_t i) -> Frontend& {
            threads[i] = std::this_thread::get_id();
            return w.frontend;
        });
        ASSERT_EQ(walk.results().size(), targets.size());
        for (std::size_t i = 0; i < targets.size(); ++i) {
            EXPECT_EQ(walk.results()[i].deviceId, targets[i].deviceId);
            EXPECT_EQ(failedStepText(walk.results()[i]), "skipped");
            EXPECT_EQ(threads[i] == std::this_thread::get_id(), parallel <= 1) << i;
        }
        EXPECT_TRUE(walk.done());
        EXPECT_EQ(w.frontend.progress.back().done, targets.size());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("ZELO.LOG")));
}

}  // namespace
}  // namespace zelo
