// The event log directory is made when the first line finds it missing; a
// log that still cannot be written is told to the view, once per file.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/file_ops.h"
#include "status/event_log.h"
#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;

DeviceRecord sample() {
    DeviceRecord r;
    r.deviceId = 0x2A;
    r.powerText = "1 1011";
    r.temperatureState = -1;
    return r;
}

// Directory steps that fail.
class NoNewDirectories : public FileOps {
public:
    bool makeDirectory(const std::string& path) override {
        tried.push_back(path);
        return false;
    }
    std::vector<std::string> tried;
};

TEST(EventLogDirectory, MissingLevelsAreMadeWithTheFirstLine) {
    struct Row {
        const char* baseDir;
        const char* logDir;  // relative to the data directory
    };
    for (const Row& r : {Row{"0", "0"}, Row{"logs/2024/", "logs/2024"}, Row{"a/b/c", "a/b/c"}}) {
        SCOPED_TRACE(r.baseDir);
        TempDir dir;
        const std::string dataDir = dir.path().string() + "/";
        AppSettings settings(dataDir + "ZELO.INI");
        settings.baseDir = r.baseDir;
        ASSERT_TRUE(writeEventLog(settings, dataDir, sample(), test::kNow));
        ASSERT_TRUE(writeEventLog(settings, dataDir, sample(), test::kNow));
        const std::string line = formatEventLine(sample(), 0, 0, test::kNow);
        EXPECT_EQ(readBytes(dataDir + r.logDir + "/0000002A.LOG"), line + line);
    }
    // An absolute BaseDir too.
    TempDir dir;
    const std::string dataDir = dir.path().string() + "/";
    AppSettings settings(dataDir + "ZELO.INI");
    settings.baseDir = dataDir + "abs/logs";
    ASSERT_TRUE(writeEventLog(settings, dataDir, sample(), test::kNow));
    EXPECT_TRUE(fs::exists(dataDir + "abs/logs/0000002A.LOG"));
}

TEST(EventLogDirectory, ADirectoryThatCannotBeMadeFailsTheLine) {
    TempDir dir;
    const std::string dataDir = dir.path().string() + "/";
    AppSettings settings(dataDir + "ZELO.INI");
    settings.baseDir = "0";
    NoNewDirectories ops;
    setFileOps(&ops);
    const bool written = writeEventLog(settings, dataDir, sample(), test::kNow);
    setFileOps(nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(ops.tried.back(), dataDir + "0");
    EXPECT_FALSE(fs::exists(dataDir + "0"));
}

using StationLog = test::StationTest;

TEST_F(StationLog, AnUnwritableLogIsToldOncePerFileUntilItWorksAgain) {
    settings.baseDir = "blocked";
    test::writeBytes(dataDir + "blocked", "a file where the directory should be");
#ifdef _WIN32
    const std::string path = dataDir + "blocked\\00000010.LOG";
#else
    const std::string path = dataDir + "blocked/00000010.LOG";
#endif
    const auto report = [](unsigned on) {
        return test::ElementReport().mac("0000AABBCC01").outlets({{on, 1}, {1, 1}}).build();
    };
    ASSERT_TRUE(receive(report(0)));
    const std::string first = device(0x10).powerText;
    ASSERT_TRUE(receive(report(1)));  // changed again: a second line fails
    EXPECT_EQ(view.failedLogs, std::vector<std::string>{path});
    // The status itself went on.
    EXPECT_NE(device(0x10).powerText, first);

    fs::remove(dataDir + "blocked");
    ASSERT_TRUE(receive(report(0)));
    EXPECT_TRUE(fs::exists(path));
    fs::remove_all(dataDir + "blocked");
    test::writeBytes(dataDir + "blocked", "");
    ASSERT_TRUE(receive(report(1)));
    EXPECT_EQ(view.failedLogs, (std::vector<std::string>{path, path}));
}

}  // namespace
}  // namespace zelo
