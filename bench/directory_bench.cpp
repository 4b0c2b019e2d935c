// The directory at scale: loading 10,000 devices in 1,000 groups, and saving
// one record in groups of 10, 100 and 1,000 devices. The load is compared
// with the time it takes only to read the same bytes from disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/app_settings.h"
#include "app/lang_strings.h"
#include "common/file_replace.h"
#include "directory/device_directory.h"
#include "directory/group_outline.h"
#include "directory/item_file.h"
#include "directory/model_table.h"

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
    const fs::path dir = fs::temp_directory_path() / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string dataDir = dir.string() + "/";
    std::string outline = formatDirectoryLine(0, "Root", 0);
    std::uint32_t id = 1;
    for (int g = 1; g <= groups; ++g) {
        outline += formatDirectoryLine(1, "group " + std::to_string(g), static_cast<std::uint32_t>(g));
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

// The same files, only read into memory.
void BM_ReadSameBytes(benchmark::State& state) {
    const std::string& dataDir = bigDirectory();
    std::string data;
    for (auto _ : state) {
        std::size_t total = 0;
        readWholeFile(dataDir + kDirectoryFileName, data);
        total += data.size();
        for (std::uint32_t g = 1; g <= 1000; ++g) {
            readWholeFile(itemFilePath(dataDir, g), data);
            total += data.size();
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ReadSameBytes)->Unit(benchmark::kMillisecond);

void BM_SaveOneRecord(benchmark::State& state) {
    const int perGroup = static_cast<int>(state.range(0));
    const std::string dataDir = makeDirectory("zelo-bench-save-" + std::to_string(perGroup), 1, perGroup);
    DeviceRecord r = sampleRecord(static_cast<std::uint32_t>(perGroup / 2 + 1), 1);
    std::uint32_t t = 0;
    for (auto _ : state) {
        r.updateTime = ++t;
        benchmark::DoNotOptimize(saveDeviceRecord(dataDir, 1, r));
    }
    state.counters["devices in group"] = perGroup;
}
BENCHMARK(BM_SaveOneRecord)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then the load time as a multiple of the read time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            if (name == "BM_LoadDirectory") load_ = run.GetAdjustedRealTime();
            if (name == "BM_ReadSameBytes") read_ = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (load_ > 0 && read_ > 0)
            std::printf("load of 10,000 devices / reading the same bytes: %.2fx (goal: within 2x)\n",
                        load_ / read_);
    }

private:
    double load_ = 0, read_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
