// zeloctl status, power and settings against simulated devices of every
// model on loopback: output, exit status and the item files they leave.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "directory/item_file.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/e2e/run_program.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::RunResult;
using test::TempDir;

const char* kFleet = R"(
[hx]
model = 3
states = 1101
schedule = 1010
[jb]
model = 5
login = login
[hx-31411]
model = 3
firmware = 3.14.11
[hx-old]
model = 3
firmware = 3.10.2
[hx-32905]
model = 3
firmware = 3.29.05
[swd6k]
model = 6
[swd6zk]
model = 7
[swd7ka]
model = 8
[swd7kb]
model = 9
[swd8kbn]
model = 10
[swd12k]
model = 11
[swdq6m]
model = 12
[gv2208]
model = 13
states = 0110
[locked]
model = 11
locked = yes
[refuser]
model = 3
faults = refuse-password
[mover]
model = 12
restart-ms = 100
)";

struct Unit {
    const char* name;
    int model;
    const char* modelName;
    const char* firmware;
    int outlets;
};
const Unit kUnits[] = {
    {"hx", 3, "HX-7200", "3.14.12", 4},         {"jb", 5, "JB-81K", "3.29.05", 3},
    {"hx-31411", 3, "HX-7200", "3.14.11", 4},   {"hx-old", 3, "HX-7200", "3.10.2", 4},
    {"hx-32905", 3, "HX-7200", "3.29.05", 4},   {"swd6k", 6, "SWD-6K", "2.01a.0012", 4},
    {"swd6zk", 7, "SWD-6ZK", "2.01a.0012", 4},  {"swd7ka", 8, "SWD-7KA", "2.01a.0012", 4},
    {"swd7kb", 9, "SWD-7KB", "2.01a.0012", 4},  {"swd8kbn", 10, "SWD-8KBN", "2.01a.0012", 4},
    {"swd12k", 11, "SWD-12K", "2.01a.0012", 4}, {"swdq6m", 12, "SWD-Q6M", "2.01a.0012", 4},
    {"gv2208", 13, "GV2208", "2.01a.0012", 4},
};

class ZeloctlDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim::Fleet fleet;
        std::string error;
        ASSERT_TRUE(sim::ParseFleet(kFleet, fleet, error)) << error;
        server = std::make_unique<sim::SimServer>(std::move(fleet));
        ASSERT_TRUE(server->start(error)) << error;
        server->startThread();
    }
    static void TearDownTestSuite() {
        server->stop();
        server.reset();
    }

    TempDir data;
    TempDir scratch;

    void SetUp() override {
        test::writeBytes(data.file("ZELO.INI"), "[ZELO]\r\nLanguage=1\r\n");
        ASSERT_EQ(run({"add-group", "0", "Lab"}).out, "1\n");
    }

    RunResult run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--dir", data.path().string()});
        return test::runProgram(ZELOCTL_PATH, args, scratch);
    }
    static int port(const char* unit) {
        return server->consolePort(static_cast<std::size_t>(server->find(unit)));
    }
    // A device in group 1 named after the unit, pointing at its console.
    void addDevice(const char* unit, int model) {
        ASSERT_EQ(run({"add-device", "Lab", std::to_string(model), unit}).code, 0);
        ASSERT_EQ(
            run({"set", unit, "address=127.0.0.1", "port=" + std::to_string(port(unit))}).code, 0);
    }
    DeviceRecord stored(const std::string& name) {
        for (const DeviceRecord& r : loadItemFile(data.path().string() + "/", 1))
            if (r.name == name) return r;
        ADD_FAILURE() << "no record " << name;
        return {};
    }
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);) out.push_back(l);
        return out;
    }

    static std::unique_ptr<sim::SimServer> server;
};
std::unique_ptr<sim::SimServer> ZeloctlDevice::server;

// ------------------------------------------------------------ status

TEST_F(ZeloctlDevice, StatusOfEveryModelAndFirmwareGeneration) {
    for (const Unit& u : kUnits) {
        SCOPED_TRACE(u.name);
        addDevice(u.name, u.model);
        const RunResult r = run({"status", u.name});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const auto l = lines(r.out);
        ASSERT_EQ(l.size(), static_cast<std::size_t>(u.outlets) + 1 + 8);
        EXPECT_EQ(l[0].substr(0, 9), "outlet\t1\t");
        const bool framed = u.model == 3 || u.model == 5;
        EXPECT_EQ(l[static_cast<std::size_t>(u.outlets)], framed ? "master\t1" : "master\t-");
        const std::size_t k = static_cast<std::size_t>(u.outlets) + 1;
        EXPECT_EQ(l[k + 4], std::string("firmware=") + u.firmware);
        EXPECT_EQ(l[k + 5], std::string("model=") + u.modelName);
        // The MAC comes from the device (R9900 or ifPhysAddress) and is saved.
        const DeviceRecord rec = stored(u.name);
        EXPECT_EQ(l[k + 7], "mac=" + rec.macText);
        EXPECT_NE(rec.macText, "000000000000");
        EXPECT_EQ(l[k], "power=" + rec.powerText);
        if (framed) {
            EXPECT_NE(rec.updateTime, 0u);  // stamped by MPOS
            EXPECT_EQ(rec.powerText.substr(0, 2), "1 ");
        } else {
            EXPECT_EQ(l[k + 6], std::string("systemName=") + u.name);
            EXPECT_EQ(rec.systemName, u.name);
        }
    }
}

TEST_F(ZeloctlDevice, StatusReadsOutletsAndScheduleFlags) {
    addDevice("hx", 3);
    const RunResult r = run({"status", "hx"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto l = lines(r.out);
    EXPECT_EQ(l[0], "outlet\t1\t1\ton");
    EXPECT_EQ(l[2], "outlet\t3\t0\toff");
    EXPECT_EQ(l[5], "power=1 1101");
    EXPECT_EQ(l[6], "schedule=1010");
    EXPECT_EQ(stored("hx").scheduleText, "1010");
    // Below 3.14.10 there is no SCS: the schedule stays unknown.
    addDevice("hx-old", 3);
    ASSERT_EQ(run({"status", "hx-old"}).code, 0);
    EXPECT_EQ(stored("hx-old").scheduleText, "----");
}

TEST_F(ZeloctlDevice, StatusAsJson) {
    addDevice("gv2208", 13);
    const RunResult r = run({"--json", "status", "gv2208"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"outlets\":[{\"number\":1,\"state\":0,\"on\":false},"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"master\":null"), std::string::npos);
    EXPECT_NE(r.out.find("\"model\":\"GV2208\""), std::string::npos);
}

TEST_F(ZeloctlDevice, FailuresAndTheirExitCodes) {
    addDevice("refuser", 3);
    RunResult r = run({"status", "refuser"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Bad password"), std::string::npos) << r.err;
    EXPECT_EQ(run({"status", "nobody"}).code, 2);
    ASSERT_EQ(run({"add-device", "Lab", "11", "nowhere"}).code, 0);
    EXPECT_EQ(run({"status", "nowhere"}).code, 2);  // no address yet
    ASSERT_EQ(run({"set", "nowhere", "address=127.0.0.1", "port=1"}).code, 0);
    r = run({"status", "nowhere"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Can not connect"), std::string::npos) << r.err;
    EXPECT_EQ(run({"status"}).code, 2);
}

// ------------------------------------------------------------ power

TEST_F(ZeloctlDevice, FramedPowerCommandsAndTheStatesReadBack) {
    addDevice("hx-32905", 3);
    RunResult r = run({"power", "hx-32905", "POF2", "pof4"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(lines(r.out),
              (std::vector<std::string>{"outlet\t1\t1\ton", "outlet\t2\t0\toff", "outlet\t3\t1\ton",
                                        "outlet\t4\t0\toff", "master\t1"}));
    EXPECT_EQ(stored("hx-32905").powerText, "1 1010");
    r = run({"power", "hx-32905", "PON0"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(stored("hx-32905").powerText, "1 1111");
}

TEST_F(ZeloctlDevice, PlainPowerCommandsWaitForThePrompt) {
    addDevice("swd7kb", 9);
    RunResult r = run({"power", "swd7kb", "POF0", "PON3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(lines(r.out),
              (std::vector<std::string>{"outlet\t1\t0\toff", "outlet\t2\t0\toff",
                                        "outlet\t3\t1\ton", "outlet\t4\t0\toff", "master\t-"}));
    EXPECT_EQ(stored("swd7kb").powerText, "0010");
    ASSERT_EQ(run({"power", "swd7kb", "PON0"}).code, 0);
}

TEST_F(ZeloctlDevice, RefusedAndUnknownPowerCommands) {
    addDevice("locked", 11);
    const RunResult r = run({"power", "locked", "POF1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lines(r.out).size(), 5u);  // the states are still printed
    EXPECT_EQ(run({"power", "locked", "POF9"}).code, 2);
    EXPECT_EQ(run({"power", "locked", "MPOR"}).code, 2);
}

// ------------------------------------------------------------ settings

TEST_F(ZeloctlDevice, PlainSettingsAreReadWrittenAndReadBack) {
    addDevice("swd12k", 11);
    RunResult r = run({"settings", "swd12k"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("sysLocation=Rack room\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("model=SWD-12K\n"), std::string::npos);
    EXPECT_NE(r.out.find("rs232Port1Speed=9600\n"), std::string::npos);
    EXPECT_NE(r.out.find("debOlRebootTime=5.0,5.0,5.0,5.0\n"), std::string::npos);

    r = run({"settings", "swd12k", "sysLocation=Shelf 3", "debOlShutdownTime=2,-1,0,0"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "debOlShutdownTime=2,-1,0,0\nsysLocation=Shelf 3\n");
    r = run({"settings", "swd12k"});
    EXPECT_NE(r.out.find("sysLocation=Shelf 3\n"), std::string::npos);
    EXPECT_NE(r.out.find("debOlShutdownTime=2,-1,0,0\n"), std::string::npos);

    EXPECT_EQ(run({"settings", "swd12k", "model=x"}).code, 2);
    EXPECT_EQ(run({"settings", "swd12k", "noSuchKey=1"}).code, 2);
    EXPECT_EQ(run({"settings", "swd12k", "telnetPort=abc"}).code, 2);
}

TEST_F(ZeloctlDevice, FramedSettingsListRegistersAndWriteTheCentreGroup) {
    addDevice("hx", 3);
    RunResult r = run({"settings", "hx"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("R9165=1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("R871=Rack room\n"), std::string::npos);
    EXPECT_NE(r.out.find("R9900=008087"), std::string::npos);
    r = run({"settings", "hx", "R232=5001"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "R232=5001\n");
    EXPECT_NE(run({"settings", "hx"}).out.find("R232=5001\n"), std::string::npos);
    EXPECT_EQ(run({"settings", "hx", "R870=x"}).code, 2);
}

TEST_F(ZeloctlDevice, RestartOnlyWhenAskedAndTheNewPortIsStored) {
    addDevice("mover", 12);
    const int newPort = port("mover") + 1000;
    RunResult r = run({"settings", "mover", "telnetPort=" + std::to_string(newPort)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(stored("mover").port, newPort);
    // Without --restart the unit keeps its console where it is.
    ASSERT_EQ(run({"set", "mover", "port=" + std::to_string(port("mover"))}).code, 0);
    r = run({"settings", "mover", "telnetPort=" + std::to_string(newPort), "--restart"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(stored("mover").port, newPort);
}

}  // namespace
}  // namespace zelo
