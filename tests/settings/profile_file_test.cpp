// The settings file: what a read finds, and what a write leaves.
#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::writeBytes;

TEST(ProfileFile, Reads) {
    test::TempDir dir;
    const std::string ini = dir.file("ZELO.INI");
    EXPECT_EQ(readProfileString(ini, "ZELO", "Language", "0"), "0");  // no file
    const struct {
        std::string file;
        const char* section;
        const char* key;
        std::string expected;
    } rows[] = {
        {"[ZELO]\r\nLanguage=1\r\n", "Network", "MSRPport", "dflt"},
        {"[ZELO]\r\nLanguage=1\r\n", "ZELO", "DateStyle", "dflt"},
        {"[ZELO]\r\nLanguage=1\r\n", "ZELO", "Language", "1"},
        // Names compare without case; blanks around them are ignored.
        {"  [ zelo ]  \nlanguage  =   2  \n[Log]\nBaseDir= C:\\logs \\ \n", "ZELO", "Language", "2"},
        {"  [ zelo ]  \nlanguage  =   2  \n[Log]\nBaseDir= C:\\logs \\ \n", "log", "BASEDIR", "C:\\logs \\"},
        {"[Log]\r\nBaseDir=\r\n", "Log", "BaseDir", ""},  // an empty value is not the default
        // Paired quotes are removed.
        {"[S]\r\na=\"x y\"\r\nb='z'\r\nc=\"open\r\nd=\"\r\n", "S", "a", "x y"},
        {"[S]\r\na=\"x y\"\r\nb='z'\r\nc=\"open\r\nd=\"\r\n", "S", "b", "z"},
        {"[S]\r\na=\"x y\"\r\nb='z'\r\nc=\"open\r\nd=\"\r\n", "S", "c", "\"open"},
        {"[S]\r\na=\"x y\"\r\nb='z'\r\nc=\"open\r\nd=\"\r\n", "S", "d", "\""},
        // The first duplicate wins; keys stay in their section.
        {"[A]\r\nk=1\r\nk=2\r\n[B]\r\nk=3\r\n[A]\r\nk=4\r\n", "A", "k", "1"},
        {"[A]\r\nk=1\r\nk=2\r\n[B]\r\nk=3\r\n[A]\r\nk=4\r\n", "B", "k", "3"},
        {"[A]\r\nk=1\r\nk=2\r\n[B]\r\nk=3\r\n[A]\r\nk=4\r\n", "C", "k", "dflt"},
        // Comments and lines without '=' are not keys.
        {"[A]\r\n;k=1\r\nk\r\nk=2\r\n", "A", "k", "2"},
        {"[A]\r\n;k=1\r\nk\r\nk=2\r\n", "A", ";k", "dflt"},
        {"[Log]\r\nBaseDir=" + std::string(300, 'v') + "\r\n", "Log", "BaseDir", std::string(255, 'v')},
    };
    for (const auto& row : rows) {
        writeBytes(ini, row.file);
        EXPECT_EQ(readProfileString(ini, row.section, row.key, "dflt"), row.expected) << row.file;
    }
    EXPECT_EQ(readProfileString(ini, "Log", "Other", std::string(300, 'v')), std::string(255, 'v'));  // the default too
}

TEST(ProfileFile, Writes) {
    test::TempDir dir;
    const std::string ini = dir.file("ZELO.INI");
    const struct {
        const char* before;  // nullptr: no file
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    } rows[] = {
        {nullptr, "ZELO", "Position", "1 2 3 4", "[ZELO]\r\nPosition=1 2 3 4\r\n"},
        {"[ZELO]\r\nPosition=1 2 3 4\r\n", "Network", "MSRPport", "5001",
         "[ZELO]\r\nPosition=1 2 3 4\r\n\r\n[Network]\r\nMSRPport=5001\r\n"},
        // One key changed in place, every other line kept.
        {"; operator notes\n[ZELO]\nLanguage=0\nposition = 9 9 9 9 \n\n[Log]\nLOGenable=1\nunknown line\n", "zelo",
         "Position", "1 2 3 4",
         "; operator notes\r\n[ZELO]\r\nLanguage=0\r\nPosition=1 2 3 4\r\n\r\n[Log]\r\nLOGenable=1\r\nunknown line\r\n"},
        // A new key goes after the last line of its section.
        {"[ZELO]\r\nLanguage=0\r\n\r\n[Log]\r\nLOGenable=1\r\n", "ZELO", "UniqueObj", "1",
         "[ZELO]\r\nLanguage=0\r\nUniqueObj=1\r\n\r\n[Log]\r\nLOGenable=1\r\n"},
        // Line ends in a value cannot make new lines.
        {nullptr, "Log", "BaseDir", "C:\\x\r\n[ZELO]\r\nLanguage=2", "[Log]\r\nBaseDir=C:\\x\r\n"},
    };
    for (const auto& row : rows) {
        std::filesystem::remove(ini);
        if (row.before) writeBytes(ini, row.before);
        EXPECT_TRUE(writeProfileString(ini, row.section, row.key, row.value)) << row.after;
        EXPECT_EQ(readBytes(ini), row.after);
    }
    ASSERT_TRUE(writeProfileString(ini, "Log", "BaseDir", std::string(300, 'v')));
    EXPECT_EQ(readProfileString(ini, "Log", "BaseDir", ""), std::string(255, 'v'));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ZELO.TMP")));
    const std::string missingDir = dir.file("no-such-dir") + "/ZELO.INI";  // a failed write leaves no file
    EXPECT_FALSE(writeProfileString(missingDir, "ZELO", "Position", "1 2 3 4"));
    EXPECT_FALSE(std::filesystem::exists(missingDir));
}

}  // namespace
}  // namespace zelo
