// libFuzzer target: any bytes as one status report datagram, read by the
// pure decoder. One report in sixteen the decoder takes is also committed
// over a small loaded directory (files, logs and all), so the file work
// stays a small share; the first input always is, so a single input
// replayed on its own takes the same path. The directory is the process's
// own scratch directory, in memory where it can be; the event logs it grows
// are emptied now and then.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/frontend.h"
#include "directory/device_directory.h"
#include "fuzz/scratch_dir.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "status/report_decoder.h"
#include "status/status_station.h"
#include "tests/support/test_workspace.h"

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
    std::unique_ptr<test::TestWorkspace> w;
    StatusStation* station = nullptr;

    Station() {
        dir = fuzz::scratchDir("status-report");
        std::filesystem::create_directories(dir + "logs");
        writeFile(dir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tA\t1\r\n");
        writeFile(dir + "00000001.IDX", "#ZELO ITEM FILE#VER 2\r\n" +
                                            record("a", "1", 13, "0000AABBCC01", "0 a") +
                                            record("b", "2", 3, "0000AABBCC02", "HX 00") +
                                            record("c", "3", 10, "000000000000", "102 c") +
                                            record("d", "4", 6, "000000000000", "5 d"));
        w = std::make_unique<test::TestWorkspace>(dir);
        AppSettings& settings = w->ws.settings();
        settings.language = Language::Japanese;
        settings.logEnable = true;
        settings.baseDir = "logs";
        w->ws.directory().load(false);
        station = &w->ws.station();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<DecodedReport> report = decodeReport(data, size);
    if (!report) return 0;
    static unsigned decoded = 0;
    if (decoded++ % 16 != 0) return 0;
    static Station s;
    s.station->commitReport(*report);
    s.station->commitPendingSaves();
    s.w->clock.advance(1);
    static unsigned runs = 0;
    if (++runs % 256 == 0) {
        std::error_code ec;
        for (const auto& log : std::filesystem::directory_iterator(s.dir + "logs", ec))
            std::filesystem::remove(log.path(), ec);
    }
    return 0;
}
