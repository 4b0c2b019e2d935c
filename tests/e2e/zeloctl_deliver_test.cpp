// zeloctl deliver against simulated devices: the output per device, the
// exit status and the delivery log.
#include <gtest/gtest.h>

#include <memory>

#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/e2e/run_program.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

class ZeloctlDeliver : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Fleet fleet;
        std::string error;
        ASSERT_TRUE(sim::ParseFleet("[hx]\nmodel = 3\n[jb]\nmodel = 5\nlogin = login\n"
                                    "[bad]\nmodel = 3\nfaults = refuse-password\n",
                                    fleet, error))
            << error;
        server = std::make_unique<sim::SimServer>(std::move(fleet));
        ASSERT_TRUE(server->start(error)) << error;
        server->startThread();
        test::writeBytes(data.file("ZELO.INI"), "[ZELO]\r\nLanguage=1\r\n");
        run({"add-group", "0", "Lab"});
        run({"add-group", "Lab", "Shelf"});
        add("Lab", "3", "hx", "hx");
        add("Shelf", "5", "jb", "jb");
        add("Shelf", "3", "bad", "bad");
        run({"add-device", "Lab", "13", "plain"});  // takes no schedule
        test::writeBytes(data.file("week.shx"), "8:30,5/1,,PON1\r\n07:00,S,1-6,MPON\r\n");
    }
    void TearDown() override {
        if (server) server->stop();
    }
    test::RunResult run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--dir", data.path().string()});
        return test::runProgram(ZELOCTL_PATH, args, scratch);
    }
    void add(const char* group, const char* model, const char* name, const char* unit) {
        run({"add-device", group, model, name});
        const int port = server->consolePort(std::size_t(server->find(unit)));
        ASSERT_EQ(run({"set", name, "address=127.0.0.1", "port=" + std::to_string(port)}).code, 0);
    }

    test::TempDir data, scratch;
    std::unique_ptr<sim::SimServer> server;
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
}

TEST_F(ZeloctlDeliver, UsageErrors) {
    EXPECT_EQ(run({"deliver", data.file("missing.shx"), "Lab"}).code, 2);
    EXPECT_EQ(run({"deliver", data.file("week.shx"), "nowhere"}).code, 2);
    EXPECT_EQ(run({"deliver", data.file("week.shx"), "Lab", "--parallel", "0"}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(data.file("ZELO.LOG")));
}

}  // namespace
}  // namespace zelo
