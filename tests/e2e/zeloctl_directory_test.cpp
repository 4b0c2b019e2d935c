// zeloctl over a data directory: a session of changes, then the files on
// disk compared byte for byte with what the formats say they must hold.
#include <filesystem>

#include "tests/e2e/zeloctl_fixture.h"

namespace zelo {
namespace {

using test::readBytes;
using test::RunResult;
using test::writeBytes;
using ZeloctlDirectory = test::ZeloctlTest;

TEST_F(ZeloctlDirectory, ASessionOfChangesLeavesExactlyTheseFiles) {
    english();
    EXPECT_EQ(run({"add-group", "0", "Server Room"}).out, "1\n");
    EXPECT_EQ(run({"add-group", "Server Room", "Rack A"}).out, "2\n");
    EXPECT_EQ(run({"add-group", "0", "Office"}).out, "3\n");
    EXPECT_EQ(run({"add-group", "1", "Rack B"}).out, "4\n");  // after Rack A's whole sub-tree
    EXPECT_EQ(run({"add-device", "Rack A", "HX-7200", "hx one"}).out, "1\n");
    EXPECT_EQ(run({"add-device", "2", "10", "swd"}).out, "2\n");
    EXPECT_EQ(run({"add-device", "Office", "13", "gv"}).out, "3\n");
    EXPECT_EQ(run({"set", "hx one", "address=192.168.1.20", "port=8023", "prompt=AB", "select=07",
                   "password=1234"})
                  .code,
              0);
    EXPECT_EQ(run({"set", "swd", "unit=77", "address=pdu.local", "user=root", "port=70000"}).code,
              0);
    EXPECT_EQ(run({"rename", "gv", "front desk"}).code, 0);
    EXPECT_EQ(run({"rename", "Office", "Main Office"}).code, 0);
    EXPECT_EQ(run({"add-device", "Rack B", "JB-81K", "temporary"}).out, "4\n");
    EXPECT_EQ(run({"delete", "temporary"}).code, 0);
    EXPECT_EQ(run({"delete", "Rack B"}).code, 0);

    EXPECT_EQ(file("ZELO_DIR.DAT"),
              "0\tRoot\t0\r\n1\tServer Room\t1\r\n2\tRack A\t2\r\n1\tMain Office\t3\r\n");
    EXPECT_EQ(file("ZELO.INI"), "[ZELO]\r\nLanguage=1\r\nUniqueTree=4\r\nUniqueObj=4\r\n");
    EXPECT_EQ(file("00000002.IDX"),
              "#ZELO ITEM FILE#VER 2\r\n"
              "hx one\r\nHX-7200\r\n1\r\n3\r\n#192.168.1.20 1F57\r\n1 1111\r\n1111\r\n"
              "00000000 00000000\r\n000000000000\r\n1234\r\nAB 07\r\n\r\n\r\n\r\n0\r\n-1\r\n"
              "swd\r\nSWD-8KB\r\n2\r\n10\r\n#pdu.local FFFF\r\n1111\r\n \r\n00000000 00000000\r\n"
              "77\r\ntavik root\r\n4D \r\n\r\n\r\n\r\n0\r\n-1\r\n");
    EXPECT_EQ(file("00000003.IDX"),
              "#ZELO ITEM FILE#VER 2\r\n"
              "front desk\r\nGV2208\r\n3\r\n13\r\n# 17\r\n1111\r\n \r\n00000000 00000000\r\n"
              "000000000000\r\ntavik admin\r\n0 \r\n\r\n\r\n\r\n0\r\n-1\r\n");
    EXPECT_FALSE(std::filesystem::exists(data.file("00000004.IDX")));
    EXPECT_FALSE(std::filesystem::exists(data.file("ZELO_DIR.TMP")));
}

TEST_F(ZeloctlDirectory, ListShowsTheRowsOfAGroup) {
    writeBytes(data.file("ZELO.INI"), "[ZELO]\r\nLanguage=1\r\n[ListViewMode]\r\nLineMstPow=1\r\n");
    writeBytes(data.file("ZELO_DIR.DAT"), "0\tRoot\t0\r\n1\tG\t5\r\n2\tSub\t6\r\n");
    writeBytes(data.file("00000005.IDX"),
               "#ZELO ITEM FILE#VER 2\r\n"
               "a\r\nSWD-7KA\r\n1\r\n8\r\n#10.1.1.1 17\r\n1010\r\n1111\r\n00000000 00000000\r\n"
               "\r\ntavik admin\r\n201 sys\r\n\r\nO-X\r\n1 0 \r\n2350\r\n0\r\n"
               "b\r\nHX-7200\r\nB\r\n3\r\n#h 17\r\n1 10\r\n11\r\n00000000 00000000\r\n"
               "0090CC0000FF\r\n7394\r\nHX 00\r\n\r\n\r\n\r\n0\r\n-1\r\n"
               "c\r\nSWD-12K\r\nC\r\n11\r\n#c 17\r\n1111\r\n\r\n00000000 00000000\r\n"
               "ABC\r\ntavik admin\r\n0 \r\n\r\n\r\n\r\n-150\r\n7\r\n");
    const RunResult r = run({"list", "G"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              "group\t6\tSub\n"
              "device\t1\ta\t10.1.1.1\t- O-O-\t\t513\tO-X\t1 0 \t23\tNormal\n"
              "device\t11\tb\th\tO O-\t\t00:90:CC:00:00:FF\t\t\t\t\n"
              // A MAC that is not twelve digits is shown as it is; a state beyond
              // the known ones shows the temperature again.
              "device\t12\tc\tc\t- OOOO\t\tABC\t\t\t-1\t-1\n");
    EXPECT_EQ(run({"list", "0"}).out, "group\t5\tG\n");
}

// An unreadable line of the outline is said and kept, and stops nothing.
TEST_F(ZeloctlDirectory, UsageErrorsExitWith2) {
    writeBytes(data.file("ZELO_DIR.DAT"), "0\tRoot\t0\r\n1\tSame\t1\r\nno group\r\n1\tSame\t2\r\n");
    const RunResult ambiguous = run({"list", "Same"});
    EXPECT_EQ(ambiguous.code, 2);
    EXPECT_NE(ambiguous.err.find("group 1"), std::string::npos);
    EXPECT_NE(ambiguous.err.find("group 2"), std::string::npos);
    EXPECT_NE(
        ambiguous.err.find("Unreadable lines of ZELO_DIR.DAT skipped (left in the file): 1\n"),
        std::string::npos)
        << ambiguous.err;
    EXPECT_EQ(run({"list", "nothing"}).code, 2);
    EXPECT_EQ(run({"add-device", "1", "HX-7100", "x"}).code, 2);  // no new records of model 4
    EXPECT_EQ(run({"frobnicate"}).code, 2);
    EXPECT_EQ(run({"delete", "0"}).code, 2);
    EXPECT_EQ(run({"add-device", "1", "3", "d"}).code, 0);
    EXPECT_EQ(run({"set", "d", "colour=red"}).code, 2);
    EXPECT_EQ(run({"set", "d", "port=abc"}).code, 2);
}

// One writer per data directory: while listen runs (it rewrites whole item
// files from memory) a command that writes is turned away, naming it, and
// cannot lose its change to the next report; reading commands still work. A
// holder stopped in order or killed outright leaves no lock behind.
TEST_F(ZeloctlDirectory, ListenHoldsTheDirectoryAgainstOtherWriters) {
    english();
    ASSERT_EQ(run({"add-group", "0", "Lab"}).code, 0);
    ASSERT_EQ(run({"add-device", "Lab", "HX-7200", "hx"}).code, 0);
    for (const int stop : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(stop);
        test::ChildProcess station;
        ASSERT_NE(listen(station, data.path().string()), "0");
        const RunResult refused = run({"set", "hx", "address=10.0.0.2"});
        EXPECT_EQ(refused.code, 1);
        EXPECT_EQ(refused.err,
                  "zeloctl: the data directory " + data.path().string() +
                      " is in use by zeloctl listen (process " + std::to_string(station.pid()) +
                      "); one program at a time changes it (reading commands still work)\n");
        const RunResult shown = run({"show", "hx"});
        EXPECT_EQ(shown.code, 0);
        EXPECT_NE(shown.out.find("\naddress=\n"), std::string::npos) << shown.out;
        station.signal(stop);
        EXPECT_EQ(station.wait(), stop == SIGINT ? 0 : -1);  // a signal ends it in order
        const RunResult after = run({"set", "hx", "address=10.0.0.3"});
        EXPECT_EQ(after.code, 0) << after.err;
        EXPECT_EQ(run({"set", "hx", "address="}).code, 0);
    }
}

// A command that writes makes a missing data directory, not its parents; one
// that reads says there is none.
TEST_F(ZeloctlDirectory, AMissingDirectoryIsMadeByWritersOnly) {
    const std::string missing = data.file("station"), deeper = data.file("none/station");
    const struct {
        std::string dir;
        std::vector<std::string> args;
        int code;
        std::string err;
    } rows[] = {
        {missing, {"tree"}, 2, "zeloctl: no data directory at " + missing + "\n"},
        {deeper,
         {"add-group", "0", "Lab"},
         2,
         "zeloctl: no data directory at " + deeper +
             ", and it cannot be made: its parent directory does not exist\n"},
        {missing, {"add-group", "0", "Lab"}, 0, ""},
    };
    for (const auto& row : rows) {
        const RunResult r = runIn(row.dir, row.args);
        EXPECT_EQ(r.code, row.code) << row.args[0];
        EXPECT_EQ(r.err, row.err);
    }
    EXPECT_FALSE(std::filesystem::exists(data.file("none")));
    EXPECT_EQ(readBytes(data.file("station/ZELO_DIR.DAT")).substr(0, 2), "0\t");
}

}  // namespace
}  // namespace zelo
