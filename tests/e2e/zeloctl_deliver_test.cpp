// zeloctl deliver against simulated devices, several at a time: the output
// per device, the exit status, the delivery log and what each device's
// schedule memory holds afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/child_process_posix.h"
#include "tests/support/sim_fleet.h"

namespace zelo {
namespace {

class ZeloctlDeliver : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.start("[hx]\nmodel = 3\n[jb]\nmodel = 5\nlogin = login\n"
                              "[bad]\nmodel = 3\nfaults = refuse-password\n",
                              error))
            << error;
        test::writeBytes(data.file("ZELO.INI"), "[ZELO]\r\nLanguage=1\r\n");
        run({"add-group", "0", "Lab"});
        run({"add-group", "Lab", "Shelf"});
        for (const auto& [group, model, name] :
             {std::tuple{"Lab", "3", "hx"}, {"Shelf", "5", "jb"}, {"Shelf", "3", "bad"}}) {
            run({"add-device", group, model, name});
            ASSERT_EQ(
                run({"set", name, "address=127.0.0.1", "port=" + std::to_string(sim.port(name))})
                    .code,
                0);
        }
        run({"add-device", "Lab", "13", "plain"});  // takes no schedule
        run({"add-device", "Shelf", "3", "nowhere"});  // has no address
        test::writeBytes(data.file("week.shx"), "8:30,5/1,,PON1\r\n07:00,S,1-6,MPON\r\n");
    }
    test::RunResult run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--dir", data.path().string()});
        return test::runProgram(ZELOCTL_PATH, args, scratch);
    }

    test::TempDir data, scratch;
    test::SimFleet sim;
};

TEST_F(ZeloctlDeliver, EveryDeviceOfTheGroupsOnceWithItsResult) {
    const test::RunResult r =
        run({"deliver", data.file("week.shx"), "Lab", "jb", "--parallel", "4"});
    EXPECT_EQ(r.code, 1);  // one device refused the password
    EXPECT_EQ(r.out, "1\thx\tNormal\n2\tjb\tNormal\n3\tbad\tAbnormal\treadout\n");
    EXPECT_NE(r.err.find("bad: Bad password"), std::string::npos) << r.err;
    const std::string log = test::readBytes(data.file("ZELO.LOG"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3 * 5);  // three blocks of five lines
    EXPECT_NE(log.find("Send filename: week.shx\r\nResult: Abnormal\r\n"), std::string::npos);
    sim.stop();
    EXPECT_EQ(sim.device("hx").schedule().size(), 2u);
    EXPECT_EQ(sim.device("jb").schedule().size(), 2u);
    EXPECT_EQ(sim.device("bad").schedule().size(), 0u);
}

TEST_F(ZeloctlDeliver, UsageErrors) {
    EXPECT_EQ(run({"deliver", data.file("missing.shx"), "Lab"}).code, 2);
    EXPECT_EQ(run({"deliver", data.file("week.shx"), "nowhere-group"}).code, 2);
    EXPECT_EQ(run({"deliver", data.file("week.shx"), "Lab", "--parallel", "0"}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(data.file("ZELO.LOG")));
}

}  // namespace
}  // namespace zelo
