// Every change the program makes to its data files, run once for every step
// of its disk work with that one step failing: a write cut short at several
// byte counts, a failing open, close, rename or remove. Afterwards each file
// must be either as it was before or as the undisturbed run left it (a
// failure never leaves half a file), a failure reported as success must not
// occur, and the directory held in memory must match what is on disk.
//
// Each test prints "WRITEFAULT <name> cases=N damaged=M" for the
// reliability report.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "common/file_replace.h"
#include "directory/device_directory.h"
#include "directory/item_file.h"
#include "status/event_log.h"
#include "status/status_station.h"
#include "tests/status/station_fixture.h"
#include "tests/support/faulty_file_ops.h"
#include "tests/support/test_workspace.h"
#include "tests/support/scripted_frontend.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileOps;
using test::FileStep;
using test::ScopedFileOps;
using test::TempDir;

using Files = std::map<std::string, std::string>;  // name under the directory -> bytes

Files snapshot(const fs::path& root) {
    Files files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).generic_string()] =
                test::readBytes(e.path().string());
    return files;
}

void lay(const fs::path& root, const Files& files) {
    for (const auto& [name, bytes] : files) {
        fs::create_directories((root / name).parent_path());
        test::writeBytes((root / name).string(), bytes);
    }
}

// The operation under test, run over a data directory ("DIR/").
using Operation = std::function<bool(const std::string& dataDir)>;

struct Sweep {
    int cases = 0;
    int damaged = 0;
};

// Write counts to cut a write of `size` bytes at.
std::set<std::size_t> cutsFor(std::size_t size) {
    std::set<std::size_t> cuts;
    for (std::size_t n : {std::size_t(0), std::size_t(1), size / 2, size - 1})
        if (n < size) cuts.insert(n);
    return cuts;
}

Sweep sweep(const std::string& name, const Files& start, const Operation& op) {
    Sweep result;
    TempDir clean;
    lay(clean.path(), start);
    FaultyFileOps watch;
    bool ok;
    {
        ScopedFileOps use(watch);
        ok = op(clean.path().string() + "/");
    }
    EXPECT_TRUE(ok) << name << ": fails without any fault";
    const Files after = snapshot(clean.path());
    EXPECT_NE(after, start) << name << ": changes nothing";
    EXPECT_FALSE(watch.trace().empty()) << name << ": writes nothing through the file steps";

    for (std::size_t step = 0; step < watch.trace().size(); ++step) {
        const FileStep& s = watch.trace()[step];
        std::set<std::size_t> cuts{0};
        if (s.kind == FileStep::Write) cuts = cutsFor(s.size);
        for (std::size_t cut : cuts) {
            const std::string what = name + ": " + test::kindName(s.kind) + " of " + s.path +
                                     (s.kind == FileStep::Write ? " cut at " + std::to_string(cut)
                                                                : std::string(" fails"));
            TempDir work;
            lay(work.path(), start);
            FaultyFileOps faulty;
            faulty.failStep(step, cut);
            bool reported;
            {
                ScopedFileOps use(faulty);
                reported = op(work.path().string() + "/");
            }
            ++result.cases;
            EXPECT_TRUE(faulty.fired()) << what << ": the run took another path";
            const Files got = snapshot(work.path());
            std::set<std::string> names;
            for (const Files* f : {&start, &after, &got})
                for (const auto& entry : *f) names.insert(entry.first);
            for (const std::string& file : names) {
                const auto g = got.find(file), b = start.find(file), a = after.find(file);
                const bool asBefore =
                    (g == got.end() && b == start.end()) ||
                    (g != got.end() && b != start.end() && g->second == b->second);
                const bool asAfter =
                    (g == got.end() && a == after.end()) ||
                    (g != got.end() && a != after.end() && g->second == a->second);
                if (!asBefore && !asAfter) {
                    ++result.damaged;
                    ADD_FAILURE() << what << ": " << file << " is neither old nor new";
                }
            }
            if (reported)
                EXPECT_EQ(got, after) << what << ": reported success without doing it all";
            else
                EXPECT_NE(got, after) << what << ": did it all but reported failure";
        }
    }
    std::printf("WRITEFAULT %s cases=%d damaged=%d\n", name.c_str(), result.cases,
                result.damaged);
    return result;
}

struct Case {
    std::string name;
    Files start;
    Operation op;
};

// Every case swept; their counts summed.
Sweep sweepAll(const std::vector<Case>& cases) {
    Sweep total;
    for (const Case& c : cases) {
        const Sweep s = sweep(c.name, c.start, c.op);
        total.cases += s.cases;
        total.damaged += s.damaged;
    }
    return total;
}

// ---- starting directories ----

const std::string kIni = "[ZELO]\r\nUniqueTree=3\r\nUniqueObj=32\r\nQuit=1\r\n";
const std::string kOutline = "0\tRoot\t0\r\n1\tRack\t1\r\n2\tShelf\t3\r\n1\tSpare\t2\r\n";
const char* kVersion0Items =
    "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 000003E8\r\n"
    "1F\r\npw login\r\nHX 01\r\n\r\n";

Files populated() {
    using test::kHeader;
    return {
        {"ZELO.INI", kIni},
        {"ZELO_DIR.DAT", kOutline},
        {"00000001.IDX", kHeader + test::kHxRecord + test::kGvRecord + test::kSwdRecord},
        {"00000002.IDX", kHeader + test::kDupRecord},
        {"00000003.IDX", kVersion0Items},
    };
}

// The directory as a fresh start reads it, with its outline and records
// checked against memory after the operation.
struct Loaded {
    explicit Loaded(const std::string& dataDir)
        : settings(dataDir + "ZELO.INI"), strings(settings), directory(dataDir, settings, strings) {
        settings.loadSettings(strings);
        EXPECT_TRUE(directory.load(false));
    }
    // Memory and disk agree: the outline, and each listed group's records in
    // list order.
    void expectMatchesDisk(const std::string& what) const {
        AppSettings s2(settings.iniPath);
        LangStrings l2(s2);
        DeviceDirectory fresh(directory.dataDir(), s2, l2);
        ASSERT_TRUE(fresh.load(false)) << what;
        ASSERT_EQ(fresh.outline().entries.size(), directory.outline().entries.size()) << what;
        for (std::size_t i = 0; i < fresh.outline().entries.size(); ++i) {
            const GroupEntry& g = directory.outline().entries[i];
            EXPECT_EQ(fresh.outline().entries[i].id, g.id) << what;
            EXPECT_EQ(fresh.outline().entries[i].name, g.name) << what;
            // Compared as the lines they are stored as.
            std::vector<std::string> inMemory, onDisk;
            for (const DeviceRecord& r : directory.devices())
                if (r.groupId == g.id) inMemory.push_back(formatRecordLines(r));
            for (const DeviceRecord& r : loadItemFile(directory.dataDir(), g.id))
                onDisk.push_back(formatRecordLines(r));
            EXPECT_EQ(inMemory, onDisk) << what << ": group " << g.id;
        }
    }
    AppSettings settings;
    LangStrings strings;
    DeviceDirectory directory;
};

// A directory operation whose in-memory result is checked too.
Operation onDirectory(std::function<bool(DeviceDirectory&)> change) {
    return [change](const std::string& dataDir) {
        Loaded l(dataDir);
        const bool ok = change(l.directory);
        l.expectMatchesDisk(dataDir);
        return ok;
    };
}

// ---- the directory file and the item files ----

TEST(WriteFaults, DirectoryFileCreatedOnFirstStart) {
    const Sweep s = sweep("directory-create", {{"ZELO.INI", kIni}}, [](const std::string& dir) {
        AppSettings settings(dir + "ZELO.INI");
        LangStrings strings(settings);
        DeviceDirectory directory(dir, settings, strings);
        return directory.load(true);
    });
    EXPECT_EQ(s.damaged, 0);
}

TEST(WriteFaults, GroupsAddedRenamedAndDeleted) {
    const Sweep total = sweepAll({
             {"group-add", populated(), onDirectory([](DeviceDirectory& d) { return d.addGroup(1, "New") != 0; })},
             {"group-add-under-root", populated(),
              onDirectory([](DeviceDirectory& d) { return d.addGroup(0, "Top") != 0; })},
             {"group-rename", populated(), onDirectory([](DeviceDirectory& d) { return d.renameGroup(2, "Other"); })},
             {"group-delete", populated(), onDirectory([](DeviceDirectory& d) { return d.deleteGroup(1); })},
    });
    EXPECT_GT(total.cases, 20);
    EXPECT_EQ(total.damaged, 0);
}

TEST(WriteFaults, DevicesAddedSavedRenamedAndDeleted) {
    const Sweep total = sweepAll({
             {"device-add", populated(), onDirectory([](DeviceDirectory& d) { return d.addDevice(1, 13, "gv2") != 0; })},
             {"device-add-new-file", populated(),
              onDirectory([](DeviceDirectory& d) { return d.addDevice(2, 3, "first") != 0; })},
             {"device-add-old-file", populated(),
              onDirectory([](DeviceDirectory& d) { return d.addDevice(3, 8, "swd") != 0; })},
             {"device-save", populated(), onDirectory([](DeviceDirectory& d) {
                  DeviceRecord r = *d.devices().find(0x11);
                  r.addressText = "10.1.2.3";
                  r.port = 2323;
                  r.powerText = "0101";
                  return d.saveDevice(r);
              })},
             {"device-rename", populated(), onDirectory([](DeviceDirectory& d) { return d.renameDevice(0x12, "renamed"); })},
             {"device-delete", populated(), onDirectory([](DeviceDirectory& d) { return d.deleteDevice(0x11); })},
             {"device-delete-last", populated(),
              onDirectory([](DeviceDirectory& d) { return d.deleteDevice(0x20); })},
    });
    EXPECT_GT(total.cases, 40);
    EXPECT_EQ(total.damaged, 0);
}

// ---- the settings file ----

TEST(WriteFaults, SettingsFileKeysAndIds) {
    const Sweep total = sweepAll({
             {"ini-change-key", {{"ZELO.INI", kIni}},
              [](const std::string& d) { return writeProfileString(d + "ZELO.INI", "ZELO", "Quit", "0"); }},
             {"ini-new-section", {{"ZELO.INI", kIni}},
              [](const std::string& d) {
                  return writeProfileString(d + "ZELO.INI", "MessageBox", "Reconnect", "1");
              }},
             {"ini-new-file", {},
              [](const std::string& d) { return writeProfileString(d + "ZELO.INI", "ZELO", "Lang", "1"); }},
             {"ini-position", {{"ZELO.INI", kIni}},
              [](const std::string& d) {
                  AppSettings s(d + "ZELO.INI");
                  return s.savePosition({10, 400, 20, 620});
              }},
             {"ini-new-tree-id", {{"ZELO.INI", kIni}},
              [](const std::string& d) {
                  AppSettings s(d + "ZELO.INI");
                  LangStrings l(s);
                  s.loadSettings(l);
                  const std::uint32_t before = s.uniqueTree;
                  const std::uint32_t id = s.newTreeId();
                  // An id that was not saved is neither handed out nor counted.
                  EXPECT_EQ(s.uniqueTree, id ? id : before);
                  return id != 0;
              }},
    });
    EXPECT_EQ(total.damaged, 0);
}

// ---- the logs ----

TEST(WriteFaults, LogEntriesAreWholeOrSkipped) {
    DeviceRecord r;
    r.name = "hx";
    r.deviceId = 0x10;
    r.addressText = "10.0.0.1";
    r.powerText = "1 1011";
    r.scheduleText = "1111";
    const Operation eventLog = [r](const std::string& d) {
        AppSettings s(d + "ZELO.INI");
        s.baseDir = "";  // the logs beside the data
        return writeEventLog(s, d, r, test::kNow);
    };
    const Sweep total = sweepAll({
             {"event-log-append", {{"00000010.LOG", "earlier line\r\n"}},
              eventLog},
             {"event-log-new", {},
              eventLog},
             {"delivery-log-append", {{"ZELO.LOG", "------------------------------\r\nold\r\n\r\n"}},
              [r](const std::string& d) {
                  AppSettings s(d + "ZELO.INI");
                  LangStrings l(s);
                  return writeDeliveryLog(d, r, "week.shx", true, l, 0, test::kNow);
              }},
    });
    EXPECT_EQ(total.damaged, 0);
}

// ---- the status station ----

// One report that changes a device's outlets, committed in one tick.
bool stationCommit(const std::string& dataDir, bool retryAfterwards, Files* afterFault = nullptr) {
    test::TestWorkspace w(dataDir, test::Net::Scripted, test::kNow);
    EXPECT_TRUE(w.load(false));
    AppSettings& settings = w.ws.settings();
    settings.logEnable = true;
    settings.baseDir = "";
    DeviceDirectory& directory = w.ws.directory();
    StatusStation& station = w.ws.station();
    const test::Bytes report = test::ElementReport()
                                   .mac("0000AABBCC02")
                                   .outlets({{0, 0}, {1, 1}, {0, 1}, {1, 0}})
                                   .build();
    if (!station.decodeStatusReport(report.data(), report.size())) return false;
    station.commitPendingSaves();
    // The event line is skipped silently when its log cannot be written.
    const bool saved = loadItemFile(dataDir, 1).at(1).powerText ==
                           directory.devices().find(0x11)->powerText &&
                       fs::exists(dataDir + "00000011.LOG");
    if (afterFault) *afterFault = snapshot(fs::path(dataDir));
    if (!retryAfterwards) return saved;
    setFileOps(nullptr);  // the disk is back
    station.commitPendingSaves();
    return loadItemFile(dataDir, 1).at(1).powerText == directory.devices().find(0x11)->powerText;
}

TEST(WriteFaults, StationCommitOfAReport) {
    const Sweep s = sweep("station-commit", populated(),
                          [](const std::string& d) { return stationCommit(d, false); });
    EXPECT_GT(s.cases, 8);
    EXPECT_EQ(s.damaged, 0);
}

TEST(WriteFaults, StationWritesAFailedCommitWithTheNextOne) {
    // Every single failure of the item file rewrite, followed by a commit on
    // a working disk: the states that stayed in memory reach the file.
    FaultyFileOps watch;
    {
        TempDir d;
        lay(d.path(), populated());
        ScopedFileOps use(watch);
        ASSERT_TRUE(stationCommit(d.path().string() + "/", false));
    }
    int itemSteps = 0;
    for (std::size_t step = 0; step < watch.trace().size(); ++step) {
        if (watch.trace()[step].path.find(".IDX") == std::string::npos &&
            watch.trace()[step].path.find(".TMP") == std::string::npos)
            continue;
        ++itemSteps;
        TempDir d;
        lay(d.path(), populated());
        FaultyFileOps faulty;
        faulty.failStep(step, 0);
        const ScopedFileOps use(faulty);
        Files afterFault;
        EXPECT_TRUE(stationCommit(d.path().string() + "/", true, &afterFault))
            << test::kindName(watch.trace()[step].kind) << " of " << watch.trace()[step].path;
        EXPECT_EQ(afterFault.at("00000001.IDX"), populated().at("00000001.IDX"));
    }
    EXPECT_GE(itemSteps, 4);
}

}  // namespace
}  // namespace zelo
