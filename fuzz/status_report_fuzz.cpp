// libFuzzer target: any bytes as one status report datagram, decoded and
// committed over a small loaded directory (files, logs and all). The
// directory is the process's own scratch directory, in memory where it can
// be; the event logs it grows are emptied now and then.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/app_settings.h"
#include "app/frontend.h"
#include "app/lang_strings.h"
#include "common/clock.h"
#include "directory/device_directory.h"
#include "fuzz/scratch_dir.h"
#include "status/status_station.h"

namespace {

using namespace zelo;

void writeFile(const std::string& path, const std::string& text) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

std::string record(const std::string& name, const std::string& id, int code, const std::string& mac,
                   const std::string& extra) {
    return name + "\r\nM\r\n" + id + "\r\n" + std::to_string(code) +
           "\r\n#10.0.0.1 17\r\n1 1111\r\n1111\r\n00000000 00000000\r\n" + mac + "\r\npw user\r\n" +
           extra + "\r\n\r\n\r\n\r\n0\r\n-1\r\n";
}

struct Station {
    std::string dir;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<LangStrings> strings;
    std::unique_ptr<DeviceDirectory> directory;
    ReportStatus status;
    SilentFrontend frontend;
    ManualClock clock{1167606300};
    AppState state;
    std::unique_ptr<StatusStation> station;

    Station() {
        dir = fuzz::scratchDir("status-report");
        std::filesystem::create_directories(dir + "logs");
        writeFile(dir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tA\t1\r\n");
        writeFile(dir + "00000001.IDX", "#ZELO ITEM FILE#VER 2\r\n" +
                                            record("a", "1", 13, "0000AABBCC01", "0 a") +
                                            record("b", "2", 3, "0000AABBCC02", "HX 00") +
                                            record("c", "3", 10, "000000000000", "102 c") +
                                            record("d", "4", 6, "000000000000", "5 d"));
        settings = std::make_unique<AppSettings>(dir + "ZELO.INI");
        settings->language = 0;
        settings->logEnable = true;
        settings->baseDir = "logs";
        strings = std::make_unique<LangStrings>(*settings);
        directory = std::make_unique<DeviceDirectory>(dir, *settings, *strings);
        directory->load(false);
        station = std::make_unique<StatusStation>(*directory, status, *settings, *strings, frontend,
                                                  clock, state);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Station s;
    // The decoder is handed a buffer with a zero byte behind the datagram.
    std::string copy(reinterpret_cast<const char*>(data), size);
    s.station->decodeStatusReport(reinterpret_cast<const std::uint8_t*>(copy.data()), size);
    s.station->commitPendingSaves();
    s.clock.advance(1);
    static unsigned runs = 0;
    if (++runs % 4096 == 0) {
        std::error_code ec;
        for (const auto& log : std::filesystem::directory_iterator(s.dir + "logs", ec))
            std::filesystem::remove(log.path(), ec);
    }
    return 0;
}
