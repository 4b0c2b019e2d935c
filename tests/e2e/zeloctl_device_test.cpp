// zeloctl status, power, settings and deliver against simulated devices on
// loopback: output, exit status, the item files and the delivery log they
// leave, and what the devices hold afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "directory/item_file.h"
#include "tests/e2e/zeloctl_fixture.h"
#include "tests/support/sim_fleet.h"

namespace zelo {
namespace {

using test::RunResult;

// One unit of each dialect for status (every model and firmware is read out
// in the connection tests); the rest serve one test each.
const char* const kFleet =
    "[hx]\nmodel = 3\nstates = 1101\nschedule = 1010\n[gv2208]\nmodel = 13\nstates = 0110\n"
    "[hx-32905]\nmodel = 3\nfirmware = 3.29.05\n[swd12k]\nmodel = 11\n"
    "[locked]\nmodel = 11\nlocked = yes\n[refuser]\nmodel = 3\nfaults = refuse-password\n"
    "[jb]\nmodel = 5\nlogin = login\n[mover]\nmodel = 12\nrestart-ms = 100\n"
    "[mover2]\nmodel = 12\nrestart-ms = 100\n[mover3]\nmodel = 12\nrestart-ms = 100\n";

class ZeloctlDevice : public test::ZeloctlTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.start(kFleet, error)) << error;
        english();
        ASSERT_EQ(run({"add-group", "0", "Lab"}).out, "1\n");
    }
    // A device named after the unit, pointing at its console.
    void addDevice(const char* unit, int model, const char* group = "Lab") {
        ASSERT_EQ(run({"add-device", group, std::to_string(model), unit}).code, 0);
        ASSERT_EQ(
            run({"set", unit, "address=127.0.0.1", "port=" + std::to_string(sim.port(unit))}).code,
            0);
    }
    DeviceRecord stored(const std::string& name) {
        for (const DeviceRecord& r : loadItemFile(data.path().string() + "/", 1))
            if (r.name == name) return r;
        ADD_FAILURE() << "no record " << name;
        return {};
    }

    test::SimFleet sim;
};

TEST_F(ZeloctlDevice, StatusOfEachDialectIsPrintedAndSaved) {
    // The simulator numbers the MACs in fleet order.
    const std::tuple<const char*, int, const char*> rows[] = {
        {"hx", 3,
         "outlet\t1\t1\ton\noutlet\t2\t1\ton\noutlet\t3\t0\toff\noutlet\t4\t1\ton\nmaster\t1\n"
         "power=1 1101\nschedule=1010\ntemperature=0\ntemperatureState=-1\nfirmware=3.14.12\n"
         "model=HX-7200\nsystemName=\nmac=008087000001\n"},
        {"gv2208", 13,
         "outlet\t1\t0\toff\noutlet\t2\t1\ton\noutlet\t3\t1\ton\noutlet\t4\t0\toff\nmaster\t-\n"
         "power=0110\nschedule= \ntemperature=0\ntemperatureState=-1\nfirmware=2.01a.0012\n"
         "model=GV2208\nsystemName=gv2208\nmac=008087000002\n"},
    };
    for (const auto& [unit, model, out] : rows) {
        SCOPED_TRACE(unit);
        addDevice(unit, model);
        const RunResult r = run({"status", unit});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, out);
    }
    const DeviceRecord hx = stored("hx"), gv = stored("gv2208");  // what was read is saved
    EXPECT_EQ(hx.powerText + "|" + hx.scheduleText + "|" + hx.macText, "1 1101|1010|008087000001");
    EXPECT_EQ(gv.powerText + "|" + gv.systemName + "|" + gv.macText, "0110|gv2208|008087000002");
    const RunResult json = run({"--json", "status", "gv2208"});
    ASSERT_EQ(json.code, 0) << json.err;
    for (const char* part : {"\"outlets\":[{\"number\":1,\"state\":0,\"on\":false},",
                             "\"master\":null", "\"model\":\"GV2208\""})
        EXPECT_NE(json.out.find(part), std::string::npos) << part << " in " << json.out;
}

TEST_F(ZeloctlDevice, PowerCommandsTheStatesReadBackAndTheFailures) {
    addDevice("hx-32905", 3);
    RunResult r = run({"power", "hx-32905", "POF2", "pof4"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "outlet\t1\t1\ton\noutlet\t2\t0\toff\noutlet\t3\t1\ton\noutlet\t4\t0\toff\nmaster\t1\n");
    EXPECT_EQ(stored("hx-32905").powerText, "1 1010");

    addDevice("locked", 11);
    r = run({"power", "locked", "POF1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5);  // the states are still printed

    ASSERT_EQ(run({"add-device", "Lab", "11", "nowhere"}).code, 0);
    for (const std::vector<std::string>& usage : {std::vector<std::string>{"status", "nobody"},
                                                  {"status", "nowhere"} /* no address */,
                                                  {"status"},
                                                  {"power", "hx-32905", "POF9"},
                                                  {"power", "hx-32905", "MPOR"}})
        EXPECT_EQ(run(usage).code, 2) << usage.back();
    r = run({"power", "nowhere", "PON1", "mpof"});  // refused before anything is sent
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("MPOF: nowhere (SWD-12K) has no master switch"), std::string::npos)
        << r.err;
}

TEST_F(ZeloctlDevice, PlainSettingsAreReadWrittenAndReadBack) {
    addDevice("swd12k", 11);
    RunResult r = run({"settings", "swd12k", "sysLocation=Shelf 3", "debOlShutdownTime=2,-1,0,0"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "debOlShutdownTime=2,-1,0,0\nsysLocation=Shelf 3\n");
    r = run({"settings", "swd12k"});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line : {"sysLocation=Shelf 3\n", "model=SWD-12K\n",
                             "debOlRebootTime=5.0,5.0,5.0,5.0\n", "debOlShutdownTime=2,-1,0,0\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in " << r.out;
    for (const char* bad : {"model=x", "noSuchKey=1", "telnetPort=abc"})
        EXPECT_EQ(run({"settings", "swd12k", bad}).code, 2) << bad;
}

TEST_F(ZeloctlDevice, FramedSettingsListRegistersAndWriteTheCentreGroup) {
    addDevice("hx", 3);
    RunResult r = run({"settings", "hx"});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line : {"R9165=1\n", "R871=Rack room\n", "R9900=008087"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in " << r.out;
    r = run({"settings", "hx", "R232=5001"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "R232 (report port)=5001\n");
    EXPECT_NE(r.err.find("R232: takes effect at the device's restart"), std::string::npos) << r.err;
    EXPECT_NE(run({"settings", "hx"}).out.find("R232 (report port)=5001\n"), std::string::npos);
    EXPECT_NE(run({"--json", "settings", "hx"}).out.find("\"R232\":\"5001\""), std::string::npos);
    EXPECT_EQ(run({"settings", "hx", "R870=x"}).code, 2);
}

// The unit keeps its console on the old port until it restarts: the stored
// port follows with the restart (asked for, or found when the unit restarted
// by itself), and what waits for it is said.
TEST_F(ZeloctlDevice, ANewPortIsStoredOnlyOnceTheDeviceListensThere) {
    for (const char* unit : {"mover", "mover2", "mover3"}) addDevice(unit, 12);
    const std::string oldPort = std::to_string(sim.port("mover"));
    const std::string newPort = std::to_string(sim.port("mover") + 1000);
    RunResult r = run({"settings", "mover", "telnetPort=" + newPort});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(std::to_string(stored("mover").port), oldPort);
    EXPECT_NE(
        r.err.find("telnetPort: takes effect at the device's restart; the stored port stays " +
                   oldPort),
        std::string::npos)
        << r.err;
    EXPECT_EQ(run({"status", "mover"}).code, 0);  // still where it was
    r = run({"settings", "mover", "--restart"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("the stored port is now " + newPort + " (was " + oldPort + ")"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(std::to_string(stored("mover").port), newPort);

    const std::string port2 = std::to_string(sim.port("mover2") + 1000);
    r = run({"settings", "mover2", "telnetPort=" + port2, "--restart"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(std::to_string(stored("mover2").port), port2);

    // Restarted from its own console: the next command finds it on the new port.
    const int old3 = sim.port("mover3"), port3 = old3 + 1000;
    ASSERT_EQ(run({"settings", "mover3", "telnetPort=" + std::to_string(port3)}).code, 0);
    test::LoopbackClient console;
    ASSERT_TRUE(console.connect(old3));
    ASSERT_TRUE(console.send("\r\ntavik\r\nCPURESET\r\n"));
    bool up = false;
    for (const std::int64_t end = test::steadyMs() + 10'000; !up && test::steadyMs() < end;)
        up = test::LoopbackClient().connect(port3);
    ASSERT_TRUE(up);
    r = run({"status", "mover3"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "zeloctl: the device answers on its new port " + std::to_string(port3) +
                         " (was " + std::to_string(old3) + "), which is stored now\n");
    EXPECT_EQ(stored("mover3").port, port3);
}

TEST_F(ZeloctlDevice, DeliverReachesEveryDeviceOfTheGroupsOnceWithItsResult) {
    ASSERT_EQ(run({"add-group", "Lab", "Shelf"}).code, 0);
    addDevice("hx", 3);
    addDevice("jb", 5, "Shelf");
    addDevice("refuser", 3, "Shelf");
    ASSERT_EQ(run({"add-device", "Lab", "13", "plain"}).code, 0);     // takes no schedule
    ASSERT_EQ(run({"add-device", "Shelf", "3", "nowhere"}).code, 0);  // has no address
    test::writeBytes(data.file("week.shx"), "8:30,5/1,,PON1\r\n07:00,S,1-6,MPON\r\n");
    const long started = static_cast<long>(std::time(nullptr));
    const RunResult r = run({"deliver", data.file("week.shx"), "Lab", "jb", "--parallel", "4"});
    EXPECT_EQ(r.code, 1);  // one device refused the password
    EXPECT_EQ(r.out, "1\thx\tNormal\n2\tjb\tNormal\n3\trefuser\tAbnormal\treadout\n");
    EXPECT_NE(r.err.find("refuser: Bad password"), std::string::npos) << r.err;
    // What the readout learnt is kept: the states, and when they were read.
    const std::string shown = run({"show", "hx"}).out;
    EXPECT_GE(std::atol(shown.c_str() + shown.find("updateTime=") + 11), started) << shown;
    const std::string log = test::readBytes(data.file("ZELO.LOG"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3 * 5);  // three blocks of five lines
    EXPECT_NE(log.find("Send filename: week.shx\r\nResult: Abnormal\r\n"), std::string::npos);
    // Line 2 names an outlet the unit lacks: the device refuses it, the lines before it stay.
    test::writeBytes(data.file("twice.shx"),
                     "8:30,5/1,,PON1\r\n9:00,5/1,,PON2\r\n9:30,5/1,,PON8\r\n");
    const RunResult refused = run({"deliver", data.file("twice.shx"), "hx"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.out, "1\thx\tAbnormal\tupload line 2\n");
    EXPECT_NE(refused.err.find("hx: "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("Error line: 002"), std::string::npos) << refused.err;
    sim.stop();
    ASSERT_EQ(sim.device("hx").schedule().size(), 2u);
    EXPECT_EQ(sim.device("hx").schedule()[1].action, "PON2");
    EXPECT_EQ(sim.device("jb").schedule().size(), 2u);
    EXPECT_EQ(sim.device("jb").schedule()[1].action, "MPON");
    EXPECT_EQ(sim.device("refuser").schedule().size(), 0u);
}

// The guide's example file as it stands is taken whole; with a header line
// above it (or any bad line, or a usage error) nothing reaches the device,
// which keeps what it had.
TEST_F(ZeloctlDevice, TheGuidesScheduleExampleIsTakenAndABadFileRefusedBeforeTheDevice) {
    addDevice("hx", 3);
    const std::string guide = test::readBytes(ZELO_SOURCE_DIR "/docs/guide.md");
    const std::size_t at = guide.find("```\n", guide.find("### 7.1 The schedule file")) + 4;
    const std::string example = guide.substr(at, guide.find("```", at) - at);
    test::writeBytes(data.file("night.shx"), example);
    for (const std::vector<std::string>& usage :
         {std::vector<std::string>{"deliver", data.file("missing.shx"), "hx"},
          {"deliver", data.file("night.shx"), "nowhere-group"},
          {"deliver", data.file("night.shx"), "hx", "--parallel", "0"}})
        EXPECT_EQ(run(usage).code, 2) << usage.back();
    EXPECT_FALSE(std::filesystem::exists(data.file("ZELO.LOG")));  // no device was called
    RunResult r = run({"deliver", data.file("night.shx"), "hx"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1\thx\tNormal\n");
    const std::size_t entries = std::count(example.begin(), example.end(), '\n');
    const std::size_t logged = test::readBytes(data.file("ZELO.LOG")).size();
    // A header line above it: the whole file is refused before any device is called.
    test::writeBytes(data.file("bad.shx"), "TIME,DATE,WEEKDAY,ACTION\n" + example);
    r = run({"deliver", data.file("bad.shx"), "hx"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("bad.shx: Schedule file line 1: the time is not HH:MM"), std::string::npos)
        << r.err;
    EXPECT_EQ(test::readBytes(data.file("ZELO.LOG")).size(), logged);
    test::writeBytes(data.file("empty.shx"), "");
    ASSERT_EQ(run({"add-device", "Lab", "13", "plain"}).code, 0);
    r = run({"deliver", data.file("empty.shx"), "plain"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("empty.shx holds no entries"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("plain: skipped: takes no schedules"), std::string::npos) << r.err;
    sim.stop();
    EXPECT_EQ(sim.device("hx").schedule().size(), entries);
}

}  // namespace
}  // namespace zelo
