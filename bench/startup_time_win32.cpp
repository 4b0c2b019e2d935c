// zelo_startup_time: how long ZELO.exe takes to show its main window over
// an empty data directory and over 10,000 devices in 1,000 groups. Figures
// are printed, never judged: run it under Wine with a display.
//   zelo_startup_time.exe [RUNS]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/file_replace.h"
#include "directory/device_record.h"
#include "directory/group_outline.h"
#include "directory/item_file.h"
#include "directory/model_table.h"
#include "resources/resource_ids.h"
#include "tests/gui/zelo_process_win32.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace zelo;

DeviceRecord sampleRecord(std::uint32_t id, std::uint32_t group) {
    DeviceRecord r;
    applyModelDefaults(r, r.modelCode = id % 2 ? 3 : 13);
    r.name = "device " + std::to_string(id);
    r.deviceId = id;
    r.groupId = group;
    r.addressText = "10.0." + std::to_string(id / 250) + "." + std::to_string(id % 250);
    r.port = 23;
    r.updateTime = 1700000000u + id;
    return r;
}

// ZELO.exe and its files in `dir`: `groups` groups of `perGroup` devices.
void makeProgramDirectory(const fs::path& dir, int groups, int perGroup) {
    fs::copy_file(test::testProgramDirectory() / "ZELO.exe", dir / "ZELO.exe");
    // No listener: the figure is the window's, not the socket's.
    test::writeBytes((dir / "ZELO.INI").string(),
                     "[MessageBox]\r\nQuit=0\r\n[Network]\r\nMSRPenable=0\r\n");
    if (groups == 0) return;
    const std::string dataDir = dir.string() + "\\";
    std::string outline = formatDirectoryLine(0, "Root", 0);
    std::uint32_t id = 1;
    for (int g = 1; g <= groups; ++g) {
        const auto group = static_cast<std::uint32_t>(g);
        outline += formatDirectoryLine(1, "group " + std::to_string(g), group);
        std::string items = std::string(kItemFilePrefix) + "2\r\n";
        for (int d = 0; d < perGroup; ++d) items += formatRecordLines(sampleRecord(id++, group));
        replaceFile(itemFilePath(dataDir, group), items);
    }
    replaceFile(dataDir + kDirectoryFileName, outline);
}

// Milliseconds from the process start to its visible main window; -1 when
// it never showed.
double timeToWindow(const fs::path& dir) {
    test::ZeloProcess process;
    const auto t0 = std::chrono::steady_clock::now();
    if (!process.start(dir / "ZELO.exe", dir)) return -1;
    HWND main = nullptr;
    while (!(main = process.findWindow("ZELO")) && process.running()) Sleep(1);
    const auto t1 = std::chrono::steady_clock::now();
    if (!main) return -1;
    PostMessageA(main, WM_COMMAND, IDM_QUIT, 0);
    process.waitForExit();
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    test::TempDir empty, large;
    makeProgramDirectory(empty.path(), 0, 0);
    makeProgramDirectory(large.path(), 1000, 10);
    for (int i = 0; i < runs; ++i) {
        std::printf("run %d: empty directory %.0f ms, 10000 devices in 1000 groups %.0f ms\n",
                    i + 1, timeToWindow(empty.path()), timeToWindow(large.path()));
    }
    return 0;
}
