// New ids never repeat one the directory holds, whatever ZELO.INI says.
#include <gtest/gtest.h>

#include <filesystem>

#include "directory/device_directory.h"
#include "directory/item_file.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::TempDir;
using test::writeBytes;

TEST(DirectoryIds, CountersStartAboveTheHighestIdsInTheFiles) {
    struct Row {
        const char* ini;  // ZELO.INI as found (none, older, newer)
        std::uint32_t group, device;  // the next ids handed out
    };
    // The directory holds groups 1, 7 and 3, devices 10, 0x2F and 12.
    for (const Row& r : {Row{nullptr, 8, 0x30}, Row{"[ZELO]\r\nUniqueTree=2\r\nUniqueObj=11\r\n", 8, 0x30},
                         Row{"[ZELO]\r\nUniqueTree=7\r\nUniqueObj=47\r\n", 8, 0x30},
                         Row{"[ZELO]\r\nUniqueTree=20\r\nUniqueObj=100\r\n", 21, 101}}) {
        SCOPED_TRACE(r.ini ? r.ini : "no ZELO.INI");
        TempDir dir;
        const std::string dataDir = dir.path().string() + "/";
        writeBytes(dataDir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tA\t1\r\n2\tB\t7\r\n1\tC\t3\r\n");
        DeviceRecord made;
        ASSERT_TRUE(createDeviceRecord(dataDir, 3, 1, 10, "a", made));
        ASSERT_TRUE(createDeviceRecord(dataDir, 13, 7, 0x2F, "b", made));
        ASSERT_TRUE(createDeviceRecord(dataDir, 8, 3, 12, "c", made));
        if (r.ini) writeBytes(dataDir + "ZELO.INI", r.ini);
        AppSettings settings(dataDir + "ZELO.INI");
        LangStrings strings(settings);
        settings.loadSettings(strings);
        DeviceDirectory directory(dataDir, settings, strings);
        ASSERT_TRUE(directory.load());
        const std::filesystem::path ini(dataDir + "ZELO.INI");
        EXPECT_EQ(r.ini == nullptr, !std::filesystem::exists(ini));  // loading writes nothing
        EXPECT_EQ(directory.addGroup(0, "new"), r.group);
        EXPECT_EQ(directory.addDevice(1, 3, "new"), r.device);
        EXPECT_EQ(readProfileString(dataDir + "ZELO.INI", "ZELO", "UniqueObj", ""),
                  std::to_string(r.device));
    }
}

}  // namespace
}  // namespace zelo
