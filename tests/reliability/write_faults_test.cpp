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
using test::ScopedFileOps;
using test::TempDir;

using Files = std::map<std::string, std::string>;  // name under the directory -> bytes
using Operation = std::function<bool(const std::string& dataDir)>;  // run over "DIR/"

Files snapshot(const fs::path& root) {
    Files files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files[fs::relative(e.path(), root).generic_string()] = test::readBytes(e.path().string());
    return files;
}

void lay(const fs::path& root, const Files& files) {
    for (const auto& [name, bytes] : files) {
        fs::create_directories((root / name).parent_path());
        test::writeBytes((root / name).string(), bytes);
    }
}

std::optional<std::string> bytesOf(const Files& files, const std::string& name) {
    const auto it = files.find(name);
    return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
}

// Runs `op` over `start` with each of its file steps failing in turn (each
// write cut at 0, 1, half and all but one of its bytes); returns the damaged
// count: files left neither as they were nor as the undisturbed run left them.
int sweep(const std::string& name, const Files& start, const Operation& op, int minCases = 1) {
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
    int cases = 0, damaged = 0;
    for (std::size_t step = 0; step < watch.trace().size(); ++step) {
        const test::FileStep& s = watch.trace()[step];
        std::set<std::size_t> cuts{0};
        if (s.kind == test::FileStep::Write)
            for (std::size_t n : {std::size_t(1), s.size / 2, s.size - 1})
                if (n < s.size) cuts.insert(n);
        for (std::size_t cut : cuts) {
            const std::string what = name + ": " + test::kindName(s.kind) + " of " + s.path +
                                     (s.kind == test::FileStep::Write ? " cut at " + std::to_string(cut) : " fails");
            TempDir work;
            lay(work.path(), start);
            FaultyFileOps faulty;
            faulty.failStep(step, cut);
            bool reported;
            {
                ScopedFileOps use(faulty);
                reported = op(work.path().string() + "/");
            }
            ++cases;
            EXPECT_TRUE(faulty.fired()) << what << ": the run took another path";
            const Files got = snapshot(work.path());
            std::set<std::string> names;
            for (const Files* f : {&start, &after, &got})
                for (const auto& entry : *f) names.insert(entry.first);
            for (const std::string& file : names) {
                const auto g = bytesOf(got, file);
                if (g != bytesOf(start, file) && g != bytesOf(after, file)) {
                    ++damaged;
                    ADD_FAILURE() << what << ": " << file << " is neither old nor new";
                }
            }
            if (reported)
                EXPECT_EQ(got, after) << what << ": reported success without doing it all";
            else
                EXPECT_NE(got, after) << what << ": did it all but reported failure";
        }
    }
    EXPECT_GE(cases, minCases) << name;
    std::printf("WRITEFAULT %s cases=%d damaged=%d\n", name.c_str(), cases, damaged);
    return damaged;
}

// ---- starting directories ----

const std::string kIni = "[ZELO]\r\nUniqueTree=3\r\nUniqueObj=32\r\nQuit=1\r\n";

Files populated() {
    return {
        {"ZELO.INI", kIni},
        {"ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tRack\t1\r\n2\tShelf\t3\r\n1\tSpare\t2\r\n"},
        {"00000001.IDX", test::kHeader + test::kHxRecord + test::kGvRecord + test::kSwdRecord},
        {"00000002.IDX", test::kHeader + test::kDupRecord},
        {"00000003.IDX", "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 000003E8\r\n"
                         "1F\r\npw login\r\nHX 01\r\n\r\n"},  // version 0
    };
}

// A directory change over the directory as a fresh start reads it; its
// outline and each listed group's records, in list order, must then be in
// memory what they are on disk.
Operation onDirectory(std::function<bool(DeviceDirectory&)> change) {
    return [change](const std::string& dataDir) {
        AppSettings settings(dataDir + "ZELO.INI");
        LangStrings strings(settings);
        settings.loadSettings(strings);
        DeviceDirectory directory(dataDir, settings, strings);
        EXPECT_TRUE(directory.load(false));
        const bool ok = change(directory);
        DeviceDirectory fresh(dataDir, settings, strings);
        EXPECT_TRUE(fresh.load(false));
        const auto& entries = directory.outline().entries;
        EXPECT_EQ(fresh.outline().entries.size(), entries.size()) << dataDir;
        for (std::size_t i = 0; i < entries.size() && i < fresh.outline().entries.size(); ++i) {
            EXPECT_EQ(fresh.outline().entries[i].id, entries[i].id);
            EXPECT_EQ(fresh.outline().entries[i].name, entries[i].name);
            std::vector<std::string> inMemory, onDisk;  // compared as the lines they are stored as
            for (const DeviceRecord& r : directory.devices())
                if (r.groupId == entries[i].id) inMemory.push_back(formatRecordLines(r));
            for (const DeviceRecord& r : loadItemFile(dataDir, entries[i].id)) onDisk.push_back(formatRecordLines(r));
            EXPECT_EQ(inMemory, onDisk) << "group " << entries[i].id;
        }
        return ok;
    };
}

TEST(WriteFaults, DirectoryFileCreatedOnFirstStart) {
    EXPECT_EQ(sweep("directory-create", {{"ZELO.INI", kIni}},
                    [](const std::string& dir) {
                        AppSettings settings(dir + "ZELO.INI");
                        LangStrings strings(settings);
                        return DeviceDirectory(dir, settings, strings).load(true);
                    }),
              0);
}

TEST(WriteFaults, GroupsAndDevicesAddedSavedRenamedAndDeleted) {
    const struct {
        const char* name;
        std::function<bool(DeviceDirectory&)> change;
    } cases[] = {
        {"group-add", [](DeviceDirectory& d) { return d.addGroup(1, "New") != 0; }},
        {"group-add-under-root", [](DeviceDirectory& d) { return d.addGroup(0, "Top") != 0; }},
        {"group-rename", [](DeviceDirectory& d) { return d.renameGroup(2, "Other"); }},
        {"group-delete", [](DeviceDirectory& d) { return d.deleteGroup(1); }},
        {"device-add", [](DeviceDirectory& d) { return d.addDevice(1, 13, "gv2") != 0; }},
        {"device-add-new-file", [](DeviceDirectory& d) { return d.addDevice(2, 3, "first") != 0; }},
        {"device-add-old-file", [](DeviceDirectory& d) { return d.addDevice(3, 8, "swd") != 0; }},
        {"device-save",
         [](DeviceDirectory& d) {
             DeviceRecord r = *d.devices().find(0x11);
             r.addressText = "10.1.2.3";
             r.port = 2323;
             r.powerText = "0101";
             return d.saveDevice(r);
         }},
        {"device-rename", [](DeviceDirectory& d) { return d.renameDevice(0x12, "renamed"); }},
        {"device-delete", [](DeviceDirectory& d) { return d.deleteDevice(0x11); }},
        {"device-delete-last", [](DeviceDirectory& d) { return d.deleteDevice(0x20); }},
    };
    for (const auto& c : cases) EXPECT_EQ(sweep(c.name, populated(), onDirectory(c.change)), 0);
}

TEST(WriteFaults, SettingsFileKeysAndIds) {
    const std::pair<const char*, Operation> cases[] = {
        {"ini-change-key", [](const std::string& d) { return writeProfileString(d + "ZELO.INI", "ZELO", "Quit", "0"); }},
        {"ini-new-section",
         [](const std::string& d) { return writeProfileString(d + "ZELO.INI", "MessageBox", "Reconnect", "1"); }},
        {"ini-position", [](const std::string& d) { return AppSettings(d + "ZELO.INI").savePosition({10, 400, 20, 620}); }},
        {"ini-new-tree-id",
         [](const std::string& d) {
             AppSettings s(d + "ZELO.INI");
             LangStrings l(s);
             s.loadSettings(l);
             const std::uint32_t before = s.uniqueTree;
             const std::uint32_t id = s.newTreeId();
             EXPECT_EQ(s.uniqueTree, id ? id : before);  // an id not saved is neither handed out nor counted
             return id != 0;
         }},
    };
    for (const auto& [name, op] : cases) EXPECT_EQ(sweep(name, {{"ZELO.INI", kIni}}, op), 0);
    EXPECT_EQ(sweep("ini-new-file", {},
                    [](const std::string& d) { return writeProfileString(d + "ZELO.INI", "ZELO", "Lang", "1"); }),
              0);
}

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
    EXPECT_EQ(sweep("event-log-append", {{"00000010.LOG", "earlier line\r\n"}}, eventLog), 0);
    EXPECT_EQ(sweep("event-log-new", {}, eventLog), 0);
    EXPECT_EQ(sweep("delivery-log-append", {{"ZELO.LOG", "------------------------------\r\nold\r\n\r\n"}},
                    [r](const std::string& d) {
                        AppSettings s(d + "ZELO.INI");
                        LangStrings l(s);
                        return writeDeliveryLog(d, r, "week.shx", true, l, 0, test::kNow);
                    }),
              0);
}

// One report that changes a device's outlets, committed in one tick.
bool stationCommit(const std::string& dataDir, bool retryAfterwards, Files* afterFault = nullptr) {
    test::TestWorkspace w(dataDir, test::Net::Scripted, test::kNow);
    EXPECT_TRUE(w.load(false));
    w.ws.settings().logEnable = true;
    w.ws.settings().baseDir = "";
    const test::Bytes report = test::ElementReport().mac("0000AABBCC02").outlets({{0, 0}, {1, 1}, {0, 1}, {1, 0}}).build();
    StatusStation& station = w.ws.station();
    if (!station.decodeStatusReport(report.data(), report.size())) return false;
    station.commitPendingSaves();
    auto saved = [&] {
        return loadItemFile(dataDir, 1).at(1).powerText == w.ws.directory().devices().find(0x11)->powerText;
    };
    // The event line is skipped silently when its log cannot be written.
    const bool done = saved() && fs::exists(dataDir + "00000011.LOG");
    if (afterFault) *afterFault = snapshot(fs::path(dataDir));
    if (!retryAfterwards) return done;
    setFileOps(nullptr);  // the disk is back
    station.commitPendingSaves();
    return saved();
}

TEST(WriteFaults, StationCommitOfAReport) {
    EXPECT_EQ(sweep("station-commit", populated(), [](const std::string& d) { return stationCommit(d, false); }, 9), 0);
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
        const test::FileStep& s = watch.trace()[step];
        if (s.path.find(".IDX") == std::string::npos && s.path.find(".TMP") == std::string::npos) continue;
        ++itemSteps;
        TempDir d;
        lay(d.path(), populated());
        FaultyFileOps faulty;
        faulty.failStep(step, 0);
        const ScopedFileOps use(faulty);
        Files afterFault;
        EXPECT_TRUE(stationCommit(d.path().string() + "/", true, &afterFault)) << test::kindName(s.kind) << " of " << s.path;
        EXPECT_EQ(afterFault.at("00000001.IDX"), populated().at("00000001.IDX"));
    }
    EXPECT_GE(itemSteps, 4);
}

}  // namespace
}  // namespace zelo
