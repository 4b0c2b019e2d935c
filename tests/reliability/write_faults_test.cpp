// Every change the program makes to its data files, run once for every step
// of its disk work with that one step failing: a write cut short at several
// byte counts, a failing open, close, rename or remove. Afterwards each file
// must be either as it was before or as the undisturbed run left it (a
// failure never leaves half a file), a failure reported as success must not
// occur, and the directory held in memory must match what is on disk.
//
// Each case prints "WRITEFAULT <name> cases=N damaged=M" for the
// reliability report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "directory/device_directory.h"
#include "directory/item_file.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "status/event_log.h"
#include "status/status_station.h"
#include "tests/status/station_fixture.h"
#include "tests/support/faulty_file_ops.h"

namespace zelo {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileOps;
using test::FileStep;
using Files = std::map<std::string, std::string>;  // name under the directory -> bytes
using Operation = std::function<bool(const std::string& dataDir)>;  // run over "DIR/"

// `op` over a fresh directory holding `start`, with `ops` doing the disk
// work: what it reported, and the files it left.
std::pair<bool, Files> run(FaultyFileOps& ops, const Files& start, const Operation& op) {
    test::TempDir dir;
    for (const auto& [name, bytes] : start) test::writeBytes((dir.path() / name).string(), bytes);
    bool reported;
    {
        test::ScopedFileOps use(ops);
        reported = op(dir.path().string() + "/");
    }
    Files files;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        if (e.is_regular_file())
            files[fs::relative(e.path(), dir.path()).generic_string()] =
                test::readBytes(e.path().string());
    return {reported, files};
}

std::optional<std::string> bytesOf(const Files& files, const std::string& name) {
    const auto it = files.find(name);
    return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
}

struct Case {
    const char* name;
    Files start;
    Operation op;
};

// The case with each of its file steps failing in turn (each write cut at
// 0, 1, half and all but one of its bytes).
void sweep(const Case& c) {
    FaultyFileOps watch;
    const auto [ok, after] = run(watch, c.start, c.op);
    EXPECT_TRUE(ok) << "fails without any fault";
    EXPECT_NE(after, c.start) << "changes nothing";
    int cases = 0, damaged = 0;
    for (std::size_t step = 0; step < watch.trace().size(); ++step) {
        const FileStep& s = watch.trace()[step];
        std::set<std::size_t> cuts{0};
        for (std::size_t n : {std::size_t(1), s.size / 2, s.size - 1})
            if (s.kind == FileStep::Write && n < s.size) cuts.insert(n);
        for (std::size_t cut : cuts) {
            SCOPED_TRACE(std::string(test::kindName(s.kind)) + " of " + s.path +
                         (s.kind == FileStep::Write ? " cut at " + std::to_string(cut) : " fails"));
            FaultyFileOps faulty;
            faulty.failStep(step, cut);
            const auto [reported, got] = run(faulty, c.start, c.op);
            ++cases;
            EXPECT_TRUE(faulty.fired()) << "the run took another path";
            std::set<std::string> names;
            for (const Files* f : {&c.start, &after, &got})
                for (const auto& entry : *f) names.insert(entry.first);
            for (const std::string& file : names) {
                const auto g = bytesOf(got, file);
                if (g != bytesOf(c.start, file) && g != bytesOf(after, file))
                    ++damaged, ADD_FAILURE() << file << " is neither old nor new";
            }
            if (reported)
                EXPECT_EQ(got, after) << "reported success without doing it all";
            else
                EXPECT_NE(got, after) << "did it all but reported failure";
        }
    }
    EXPECT_GT(cases, 0);
    std::printf("WRITEFAULT %s cases=%d damaged=%d\n", c.name, cases, damaged);
}

const std::string kIni = "[ZELO]\r\nUniqueTree=3\r\nUniqueObj=32\r\nQuit=1\r\n";
const Files kPopulated = {
    {"ZELO.INI", kIni},
    {"ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tRack\t1\r\n2\tShelf\t3\r\n1\tSpare\t2\r\n"},
    {"00000001.IDX", test::kHeader + test::kHxRecord + test::kGvRecord + test::kSwdRecord},
    {"00000002.IDX", test::kHeader + test::kDupRecord},
    {"00000003.IDX",
     "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 000003E8\r\n"
     "1F\r\npw login\r\nHX 01\r\n\r\n"},  // version 0
};

// A directory change over the directory as a fresh start reads it; then its
// outline and each group's records, in list order, must be in memory what
// they are on disk.
Case onDirectory(const char* name, std::function<bool(DeviceDirectory&)> change) {
    return {name, kPopulated, [change](const std::string& dataDir) {
                AppSettings settings(dataDir + "ZELO.INI");
                LangStrings strings(settings);
                settings.loadSettings(strings);
                DeviceDirectory directory(dataDir, settings, strings),
                    fresh(dataDir, settings, strings);
                EXPECT_TRUE(directory.load(false));
                const bool ok = change(directory);
                EXPECT_TRUE(fresh.load(false));
                std::vector<std::string> inMemory,
                    onDisk;  // compared as the lines they are stored as
                for (const GroupEntry& g : directory.outline().entries) {
                    inMemory.push_back(g.name + "\t" + std::to_string(g.id));
                    for (const DeviceRecord& r : directory.devices())
                        if (r.groupId == g.id) inMemory.push_back(formatRecordLines(r));
                }
                for (const GroupEntry& g : fresh.outline().entries) {
                    onDisk.push_back(g.name + "\t" + std::to_string(g.id));
                    for (const DeviceRecord& r : loadItemFile(dataDir, g.id))
                        onDisk.push_back(formatRecordLines(r));
                }
                EXPECT_EQ(inMemory, onDisk);
                return ok;
            }};
}

DeviceRecord logged() {
    DeviceRecord r;
    r.name = "hx";
    r.deviceId = 0x10;
    r.addressText = "10.0.0.1";
    r.powerText = "1 1011";
    r.scheduleText = "1111";
    return r;
}

bool eventLog(const std::string& d) {
    AppSettings s(d + "ZELO.INI");
    s.baseDir = "";  // the logs beside the data
    return writeEventLog(s, d, logged(), test::kNow);
}

// One report that changes a device's outlets, committed in one tick; with
// `retry`, committed again once the disk is back.
bool stationCommit(const std::string& dataDir, bool retry = false, Files* afterFault = nullptr) {
    test::TestWorkspace w(dataDir, test::Net::Scripted, test::kNow);
    EXPECT_TRUE(w.load(false));
    w.ws.settings().logEnable = true;
    w.ws.settings().baseDir = "";
    const test::Bytes report =
        test::ElementReport().mac("0000AABBCC02").outlets({{0, 0}, {1, 1}, {0, 1}, {1, 0}}).build();
    StatusStation& station = w.ws.station();
    if (!station.decodeStatusReport(report.data(), report.size())) return false;
    station.commitPendingSaves();
    auto saved = [&] {
        return loadItemFile(dataDir, 1).at(1).powerText ==
               w.ws.directory().devices().find(0x11)->powerText;
    };
    const bool done =
        saved() &&
        fs::exists(dataDir + "00000011.LOG");  // a log line that cannot be written is skipped
    if (afterFault) *afterFault = {{"00000001.IDX", test::readBytes(dataDir + "00000001.IDX")}};
    if (!retry) return done;
    // Saved or not, the row shows the report; a file not written is told once.
    const bool savedFirst = saved();
    EXPECT_EQ(w.view.changedRecords.size(), 1u);
    station.commitPendingSaves();
    EXPECT_EQ(w.view.failedItems.size(), savedFirst ? 0u : 1u);
    setFileOps(nullptr);  // the disk is back
    station.commitPendingSaves();
    EXPECT_EQ(w.view.writtenItems, w.view.failedItems);
    return saved();
}

// One tick whose reports change devices of two groups: both item files are
// rewritten in one batch, each whole old or whole new whatever step fails.
const Files kTwoGroups = [] {
    Files f = kPopulated;
    f["00000002.IDX"] =
        test::kHeader + test::ItemRecord{"gv2", "GV2208",       0x21,          13,       "1111",
                                         " ",   "0000AABBCC03", "tavik admin", "0 gvsys"}
                            .lines();
    return f;
}();

bool stationCommitTwoGroups(const std::string& dataDir) {
    test::TestWorkspace w(dataDir, test::Net::Scripted, test::kNow);
    EXPECT_TRUE(w.load(false));
    StatusStation& station = w.ws.station();
    for (const char* mac : {"0000AABBCC02", "0000AABBCC03"}) {
        const test::Bytes report =
            test::ElementReport().mac(mac).outlets({{0, 0}, {1, 1}, {0, 1}, {1, 0}}).build();
        if (!station.decodeStatusReport(report.data(), report.size())) return false;
    }
    station.commitPendingSaves();
    return loadItemFile(dataDir, 1).at(1).powerText == "0101" &&
           loadItemFile(dataDir, 2).at(0).powerText == "0101";
}

class WriteFaults : public ::testing::TestWithParam<Case> {};
TEST_P(WriteFaults, EveryFileWholeOldOrNew) {
    sweep(GetParam());
}

const Case kCases[] = {
    {"directory-create",
     {{"ZELO.INI", kIni}},
     [](const std::string& d) {
         AppSettings settings(d + "ZELO.INI");
         LangStrings strings(settings);
         return DeviceDirectory(d, settings, strings).load(true);
     }},
    onDirectory("group-add", [](DeviceDirectory& d) { return d.addGroup(1, "New") != 0; }),
    onDirectory("group-rename", [](DeviceDirectory& d) { return d.renameGroup(2, "Other"); }),
    onDirectory("group-delete",
                [](DeviceDirectory& d) { return d.deleteGroup(1) == GroupDeletion::Deleted; }),
    onDirectory("device-add", [](DeviceDirectory& d) { return d.addDevice(1, 13, "gv2") != 0; }),
    onDirectory("device-add-new-file",
                [](DeviceDirectory& d) { return d.addDevice(2, 3, "first") != 0; }),
    onDirectory("device-add-old-file",
                [](DeviceDirectory& d) { return d.addDevice(3, 8, "swd") != 0; }),
    onDirectory("device-save",
                [](DeviceDirectory& d) {
                    DeviceRecord r = *d.devices().find(0x11);
                    r.addressText = "10.1.2.3";
                    r.port = 2323;
                    r.powerText = "0101";
                    return d.saveDevice(r);
                }),
    onDirectory("device-rename",
                [](DeviceDirectory& d) { return d.renameDevice(0x12, "renamed"); }),
    onDirectory("device-delete", [](DeviceDirectory& d) { return d.deleteDevice(0x11); }),
    onDirectory("device-delete-last", [](DeviceDirectory& d) { return d.deleteDevice(0x20); }),
    {"ini-change-key",
     {{"ZELO.INI", kIni}},
     [](const std::string& d) { return writeProfileString(d + "ZELO.INI", "ZELO", "Quit", "0"); }},
    {"ini-new-section",
     {{"ZELO.INI", kIni}},
     [](const std::string& d) {
         return writeProfileString(d + "ZELO.INI", "MessageBox", "Reconnect", "1");
     }},
    {"ini-new-file",
     {},
     [](const std::string& d) { return writeProfileString(d + "ZELO.INI", "ZELO", "Lang", "1"); }},
    {"ini-position",
     {{"ZELO.INI", kIni}},
     [](const std::string& d) {
         return AppSettings(d + "ZELO.INI").savePosition({10, 400, 20, 620});
     }},
    {"ini-new-tree-id",
     {{"ZELO.INI", kIni}},
     [](const std::string& d) {
         AppSettings s(d + "ZELO.INI");
         LangStrings l(s);
         s.loadSettings(l);
         const std::uint32_t before = s.uniqueTree;
         const bool taken = s.saveTreeId(before + 1);
         EXPECT_EQ(s.uniqueTree, taken ? before + 1 : before);  // an id not saved is not counted
         return taken;
     }},
    {"event-log-append", {{"00000010.LOG", "earlier line\r\n"}}, eventLog},
    {"event-log-new", {}, eventLog},
    {"delivery-log-append",
     {{"ZELO.LOG", "------------------------------\r\nold\r\n\r\n"}},
     [](const std::string& d) {
         AppSettings s(d + "ZELO.INI");
         LangStrings l(s);
         return writeDeliveryLog(d, logged(), "week.shx", true, l, 0, test::kNow);
     }},
    {"station-commit", kPopulated, [](const std::string& d) { return stationCommit(d); }},
    {"station-commit-two-groups", kTwoGroups, stationCommitTwoGroups},
};
INSTANTIATE_TEST_SUITE_P(Cases, WriteFaults, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.name;
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    return name;
});

TEST(WriteFaultsStation, AFailedCommitIsWrittenWithTheNextOne) {
    // Every single failure of the item file rewrite, followed by a commit on
    // a working disk: the states that stayed in memory reach the file.
    FaultyFileOps watch;
    ASSERT_TRUE(
        run(watch, kPopulated, [](const std::string& d) { return stationCommit(d); }).first);
    int itemSteps = 0;
    for (std::size_t step = 0; step < watch.trace().size(); ++step) {
        const FileStep& s = watch.trace()[step];
        if (s.path.find(".IDX") == std::string::npos && s.path.find(".TMP") == std::string::npos)
            continue;
        ++itemSteps;
        FaultyFileOps faulty;
        faulty.failStep(step, 0);
        Files afterFault;
        auto commitTwice = [&](const std::string& d) {
            return stationCommit(d, true, &afterFault);
        };
        EXPECT_TRUE(run(faulty, kPopulated, commitTwice).first)
            << test::kindName(s.kind) << " of " << s.path;
        EXPECT_EQ(afterFault.at("00000001.IDX"), kPopulated.at("00000001.IDX"));
    }
    EXPECT_GE(itemSteps, 4);
}

}  // namespace
}  // namespace zelo
