// The directory at scale: loading 10,000 devices in 1,000 groups, and saving
// one record in groups of 10, 100 and 1,000 devices. The load is compared
// with the time it takes only to read the same files from disk the way the
// load reads them; a save through the directory is measured with and
// without the syncs that put each rewrite on the disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/figure_reporter.h"
#include "bench/file_sync.h"
#include "common/file_replace.h"
#include "directory/device_directory.h"
#include "directory/group_outline.h"
#include "directory/item_file.h"
#include "directory/model_table.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"

namespace {

namespace fs = std::filesystem;
using namespace zelo;

DeviceRecord sampleRecord(std::uint32_t id, std::uint32_t group) {
    DeviceRecord r;
    r.name = "device " + std::to_string(id);
    r.modelCode = id % 2 ? 3 : 13;
    applyModelDefaults(r, r.modelCode);
    r.deviceId = id;
    r.groupId = group;
    r.addressText = "10.0." + std::to_string(id / 250) + "." + std::to_string(id % 250);
    r.port = 23;
    r.updateTime = 1700000000u + id;
    r.pingText = "O-X";
    r.temperature = 2350;
    r.temperatureState = 0;
    return r;
}

// A data directory with `groups` groups of `perGroup` devices each.
std::string makeDirectory(const std::string& name, int groups, int perGroup) {
    const bench::SyncSwitch unsynced(false);  // laying out the files is not measured
    const fs::path dir = fs::temp_directory_path() / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string dataDir = dir.string() + "/";
    std::string outline = formatDirectoryLine(0, "Root", 0);
    std::uint32_t id = 1;
    for (int g = 1; g <= groups; ++g) {
        outline +=
            formatDirectoryLine(1, "group " + std::to_string(g), static_cast<std::uint32_t>(g));
        std::string items = std::string(kItemFilePrefix) + "2\r\n";
        for (int d = 0; d < perGroup; ++d)
            items += formatRecordLines(sampleRecord(id++, static_cast<std::uint32_t>(g)));
        replaceFile(itemFilePath(dataDir, static_cast<std::uint32_t>(g)), items);
    }
    replaceFile(dataDir + kDirectoryFileName, outline);
    return dataDir;
}

const std::string& bigDirectory() {
    static const std::string dir = makeDirectory("zelo-bench-10000", 1000, 10);
    return dir;
}

void BM_LoadDirectory(benchmark::State& state) {
    const std::string& dataDir = bigDirectory();
    AppSettings settings(dataDir + "ZELO.INI");
    LangStrings strings(settings);
    for (auto _ : state) {
        DeviceDirectory directory(dataDir, settings, strings);
        directory.load(false);
        benchmark::DoNotOptimize(directory.devices().size());
    }
    state.counters["devices"] = 10000;
}
BENCHMARK(BM_LoadDirectory)->Unit(benchmark::kMillisecond);

// The same files, only read into memory: the directory file, then the item
// file of every group in the outline (the root's is looked for too and not
// found, as the load looks for it), with the call the load reads them with.
void BM_ReadSameBytes(benchmark::State& state) {
    const std::string& dataDir = bigDirectory();
    GroupOutline outline;
    loadDirectoryTree(dataDir, "Root", outline, false);
    std::string data;
    for (auto _ : state) {
        std::size_t total = 0;
        readWholeFile(dataDir + kDirectoryFileName, data);
        total += data.size();
        for (const GroupEntry& group : outline.entries) {
            if (readWholeFile(itemFilePath(dataDir, group.id), data)) total += data.size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.counters["files"] = static_cast<double>(outline.entries.size() + 1);
}
BENCHMARK(BM_ReadSameBytes)->Unit(benchmark::kMillisecond);

void BM_SaveOneRecord(benchmark::State& state) {
    const int perGroup = static_cast<int>(state.range(0));
    const std::string dataDir =
        makeDirectory("zelo-bench-save-" + std::to_string(perGroup), 1, perGroup);
    DeviceRecord r = sampleRecord(static_cast<std::uint32_t>(perGroup / 2 + 1), 1);
    std::uint32_t t = 0;
    for (auto _ : state) {
        r.updateTime = ++t;
        benchmark::DoNotOptimize(saveDeviceRecord(dataDir, 1, r));
    }
    state.counters["devices in group"] = perGroup;
}
BENCHMARK(BM_SaveOneRecord)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// One device saved through the directory (its item file rewritten, then its
// node), with the rewrite synced to the disk (sync:1, as the program runs)
// and without the syncs (sync:0).
void BM_SaveDevice(benchmark::State& state) {
    const int perGroup = static_cast<int>(state.range(0));
    const bench::SyncSwitch syncs(state.range(1) != 0);
    const std::string dataDir =
        makeDirectory("zelo-bench-save-device-" + std::to_string(perGroup), 1, perGroup);
    AppSettings settings(dataDir + "ZELO.INI");
    LangStrings strings(settings);
    DeviceDirectory directory(dataDir, settings, strings);
    directory.load(false);
    DeviceRecord r = *directory.devices().find(static_cast<std::uint32_t>(perGroup / 2 + 1));
    std::uint32_t t = 0;
    for (auto _ : state) {
        r.updateTime = ++t;
        benchmark::DoNotOptimize(directory.saveDevice(r));
    }
}
BENCHMARK(BM_SaveDevice)
    ->ArgNames({"devices", "sync"})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // Below the table: the load as a multiple of the read, and what the
    // syncs add to a save.
    bench::FigureReporter reporter([](const bench::FigureReporter& r) {
        const double load = r.micros("BM_LoadDirectory"), read = r.micros("BM_ReadSameBytes");
        if (load > 0 && read > 0)
            std::printf(
                "load of 10,000 devices / reading the same bytes: %.2fx (goal: within 2x)\n",
                load / read);
        const double synced = r.micros("BM_SaveDevice/devices:100/sync:1");
        const double unsynced = r.micros("BM_SaveDevice/devices:100/sync:0");
        if (synced > 0 && unsynced > 0)
            std::printf(
                "save of one device in a group of 100: %.0f us synced, %.0f us without the syncs"
                " (the syncs add %.0f us)\n",
                synced, unsynced, synced - unsynced);
    });
    return bench::runBenchmarks(argc, argv, reporter);
}
