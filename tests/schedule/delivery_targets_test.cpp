#include <gtest/gtest.h>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "schedule/delivery.h"
#include "directory/device_directory.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

class DeliveryTargets : public ::testing::Test {
protected:
    void SetUp() override {
        // Root > A (a1, a2) > A1 (x) ; Root > B (b, plain device)
        test::writeBytes(dir.file("ZELO_DIR.DAT"),
                         "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n1\tB\t3\r\n");
        ASSERT_TRUE(directory.load());
        add(1, 3, "a1");
        add(1, 5, "a2");
        add(2, 3, "x");
        add(3, 3, "b");
        add(3, 11, "plain");
        DeviceRecord r = *directory.devices().find(add(3, 3, "no address"));
        r.addressText.clear();
        directory.saveDevice(r);
    }
    std::uint32_t add(std::uint32_t group, int model, const char* name) {
        const std::uint32_t id = directory.addDevice(group, model, name);
        DeviceRecord r = *directory.devices().find(id);
        r.addressText = "127.0.0.1";
        directory.saveDevice(r);
        return id;
    }
    std::vector<std::string> names(const std::vector<std::pair<bool, std::uint32_t>>& selection) {
        std::vector<std::string> out;
        for (const DeviceRecord& r : deliveryTargets(directory, selection)) out.push_back(r.name);
        return out;
    }

    test::TempDir dir;
    AppSettings settings{dir.file("ZELO.INI")};
    LangStrings strings{settings};
    DeviceDirectory directory{dir.path().string() + "/", settings, strings};
};

TEST_F(DeliveryTargets, GroupsWithTheirSubGroupsDepthFirstEachDeviceOnce) {
    EXPECT_EQ(names({{true, 1}}), (std::vector<std::string>{"a1", "a2", "x"}));
    EXPECT_EQ(names({{true, 0}}), (std::vector<std::string>{"a1", "a2", "x", "b"}));
    // A device named on its own and again through its group counts once.
    EXPECT_EQ(names({{false, 3}, {true, 1}, {true, 2}}), (std::vector<std::string>{"x", "a1", "a2"}));
}

TEST_F(DeliveryTargets, DevicesThatTakeNoScheduleAreLeftOut) {
    EXPECT_EQ(names({{true, 3}}), (std::vector<std::string>{"b"}));
    EXPECT_TRUE(names({{false, 5}, {false, 99}, {true, 42}}).empty());
}

}  // namespace
}  // namespace zelo
