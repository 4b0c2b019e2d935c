#pragma once
// A loaded data directory with a few devices, and a station over it with a
// scripted front end and a hand-driven clock.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "tests/status/report_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo::test {

// One 16-line item file record.
inline std::string recordLines(const std::string& name, const std::string& modelName,
                               const std::string& idHex, int code, const std::string& power,
                               const std::string& schedule, const std::string& mac,
                               const std::string& login, const std::string& extra,
                               const std::string& ping = "", const std::string& reboot = "",
                               int temperature = 0, int temperatureState = -1) {
    return name + "\r\n" + modelName + "\r\n" + idHex + "\r\n" + std::to_string(code) +
           "\r\n#10.0.0.1 17\r\n" + power + "\r\n" + schedule + "\r\n00000000 00000000\r\n" + mac +
           "\r\n" + login + "\r\n" + extra + "\r\n\r\n" + ping + "\r\n" + reboot + "\r\n" +
           std::to_string(temperature) + "\r\n" + std::to_string(temperatureState) + "\r\n";
}

inline const std::string kHeader = "#ZELO ITEM FILE#VER 2\r\n";
inline const std::string kHxRecord =
    recordLines("hx", "HX-7200", "10", 3, "1 1111", "1111", "0000AABBCC01", "7394", "HX 00");
inline const std::string kGvRecord =
    recordLines("gv", "GV2208", "11", 13, "1111", " ", "0000AABBCC02", "tavik admin", "0 gvsys");
inline const std::string kSwdRecord =
    recordLines("swd", "SWD-8KB", "12", 10, "1111", " ", "000000000000", "tavik admin", "102 s");
// A prompt model whose older MAC line also reads as unit number 5.
inline const std::string kOldHxRecord =
    recordLines("oldhx", "HX-7200", "13", 3, "1 1111", "1111", "5", "7394", "HX 00");
inline const std::string kSwd6Record =
    recordLines("swd6", "SWD-6K", "14", 6, "1111", " ", "000000000000", "tavik admin", "5 s6");
// Group 2: a second device with the hx's MAC, later in list order.
inline const std::string kDupRecord =
    recordLines("dup", "HX-7200", "20", 3, "1 1111", "1111", "0000AABBCC01", "7394", "HX 00");

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
    ScriptedFrontend& frontend = w.frontend;
    ScriptedView& view = w.view;
    ManualClock& clock = w.clock;

    void SetUp() override {
        writeBytes(dataDir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tRack\t1\r\n1\tSpare\t2\r\n");
        writeBytes(dataDir + "00000001.IDX",
                   kHeader + kHxRecord + kGvRecord + kSwdRecord + kOldHxRecord + kSwd6Record);
        writeBytes(dataDir + "00000002.IDX", kHeader + kDupRecord);
        settings.language = 1;  // English
        settings.logEnable = true;
        settings.baseDir = "logs";
        std::filesystem::create_directories(dataDir + "logs");
        load();
    }

    // Reads the directory again from the files (the settings stay).
    void load() {
        ASSERT_TRUE(directory->load(false));
        station->directoryChanged();
    }
    bool decode(const Bytes& b) { return station->decodeStatusReport(b.data(), b.size()); }
    // A report as one tick handles it: decoded, then saved.
    bool receive(const Bytes& b) {
        const bool accepted = decode(b);
        station->commitPendingSaves();
        return accepted;
    }

    const DeviceRecord& device(std::uint32_t id) { return *directory->devices().find(id); }
    std::string file(const std::string& name) { return readBytes(dataDir + name); }
    std::string logFile(std::uint32_t id) {
        char name[16];
        std::snprintf(name, sizeof name, "%08X.LOG", id);
        return readBytes(dataDir + "logs/" + name);
    }

    // Every file under the data directory with its bytes.
    std::map<std::string, std::string> snapshot() {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            if (e.is_regular_file()) files[e.path().string()] = readBytes(e.path().string());
        return files;
    }
};

}  // namespace zelo::test
