#pragma once
// Item file records written by hand (the one writer the station tests
// share), and a loaded data directory with a few devices and a station over
// it, with a scripted front end and a hand-driven clock.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/status/report_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo::test {

inline std::string hexText(std::uint32_t v, int width = 0) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, static_cast<unsigned>(v));
    return buf;
}

// One record of 16 CR LF lines as an item file holds it. `login` is line
// 10: the password, or password and user; `extra` line 11: prompt and select
// number, or unit number (hex) and system name.
struct ItemRecord {
    std::string name, modelName;
    std::uint32_t id = 0;
    int code = 0;
    std::string power, schedule, mac, login, extra;

    std::string lines() const {  // never updated, no ping watch, no temperature
        std::string out;
        for (const std::string& line :
             {name, modelName, hexText(id), std::to_string(code), std::string("#10.0.0.1 17"),
              power, schedule, std::string("00000000 00000000"), mac, login, extra, std::string(),
              std::string(), std::string(), std::string("0"), std::string("-1")})
            out += line + "\r\n";
        return out;
    }
};

inline const std::string kHeader = "#ZELO ITEM FILE#VER 2\r\n";

inline const std::string kHxRecord =
    ItemRecord{"hx", "HX-7200", 0x10, 3, "1 1111", "1111", "0000AABBCC01", "7394", "HX 00"}.lines();
inline const std::string kGvRecord =
    ItemRecord{"gv", "GV2208", 0x11, 13, "1111", " ", "0000AABBCC02", "tavik admin", "0 gvsys"}
        .lines();
inline const std::string kSwdRecord =
    ItemRecord{"swd", "SWD-8KB", 0x12, 10, "1111", " ", "000000000000", "tavik admin", "102 s"}
        .lines();
// A prompt model whose older MAC line also reads as unit number 5.
inline const std::string kOldHxRecord =
    ItemRecord{"oldhx", "HX-7200", 0x13, 3, "1 1111", "1111", "5", "7394", "HX 00"}.lines();
inline const std::string kSwd6Record =
    ItemRecord{"swd6", "SWD-6K", 0x14, 6, "1111", " ", "000000000000", "tavik admin", "5 s6"}
        .lines();
// Group 2: a second device with the hx's MAC, later in list order.
inline const std::string kDupRecord =
    ItemRecord{"dup", "HX-7200", 0x20, 3, "1 1111", "1111", "0000AABBCC01", "7394", "HX 00"}
        .lines();
inline const std::string kGroup1 =
    kHeader + kHxRecord + kGvRecord + kSwdRecord + kOldHxRecord + kSwd6Record;

inline constexpr std::int64_t kNow = 1167606300;  // 2006-12-31 23:05 UTC

class StationTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    TestWorkspace w{dataDir, Net::System, kNow};
    AppSettings& settings = w.ws.settings();
    DeviceDirectory* directory = &w.ws.directory();
    StatusStation* station = &w.ws.station();
    DeviceRecord& currentRecord = w.ws.current().record();
    DeviceStatus& currentStatus = w.ws.current().status();
    AppState& state = w.ws.state();
    ScriptedView& view = w.view;
    ManualClock& clock = w.clock;

    void SetUp() override {
        writeBytes(dataDir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tRack\t1\r\n1\tSpare\t2\r\n");
        writeBytes(dataDir + "00000001.IDX", kGroup1);
        writeBytes(dataDir + "00000002.IDX", kHeader + kDupRecord);
        settings.language = Language::English;  // English
        settings.logEnable = true;
        settings.baseDir = "logs";
        std::filesystem::create_directories(dataDir + "logs");
        ASSERT_TRUE(directory->load(false));
    }
    // A report as one tick handles it: decoded, then saved.
    bool receive(const Bytes& b) {
        const bool accepted = station->decodeStatusReport(b.data(), b.size());
        station->commitPendingSaves();
        return accepted;
    }
    const DeviceRecord& device(std::uint32_t id) { return *directory->devices().find(id); }
    std::string file(const std::string& name) { return readBytes(dataDir + name); }
    std::string logFile(std::uint32_t id) {
        return readBytes(dataDir + "logs/" + hexText(id, 8) + ".LOG");
    }
    std::map<std::string, std::string>
    snapshot() {  // every file under the data directory with its bytes
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            if (e.is_regular_file()) files[e.path().string()] = readBytes(e.path().string());
        return files;
    }
};

}  // namespace zelo::test
