#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

class ProfileFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.file("ZELO.INI");
};

TEST_F(ProfileFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(readProfileString(ini, "ZELO", "Language", "0"), "0");
    writeBytes(ini, "[ZELO]\r\nLanguage=1\r\n");
    EXPECT_EQ(readProfileString(ini, "Network", "MSRPport", "5000"), "5000");
    EXPECT_EQ(readProfileString(ini, "ZELO", "DateStyle", "0"), "0");
    EXPECT_EQ(readProfileString(ini, "ZELO", "Language", "0"), "1");
}

TEST_F(ProfileFileTest, NamesCompareWithoutCaseAndBlanksAreIgnored) {
    writeBytes(ini, "  [ zelo ]  \nlanguage  =   2  \n[Log]\nBaseDir= C:\\logs \\ \n");
    EXPECT_EQ(readProfileString(ini, "ZELO", "Language", "0"), "2");
    EXPECT_EQ(readProfileString(ini, "log", "BASEDIR", "0"), "C:\\logs \\");
}

TEST_F(ProfileFileTest, EmptyValueIsNotTheDefault) {
    writeBytes(ini, "[Log]\r\nBaseDir=\r\n");
    EXPECT_EQ(readProfileString(ini, "Log", "BaseDir", "0"), "");
}

TEST_F(ProfileFileTest, PairedQuotesAreRemoved) {
    writeBytes(ini, "[S]\r\na=\"x y\"\r\nb='z'\r\nc=\"open\r\nd=\"\r\n");
    EXPECT_EQ(readProfileString(ini, "S", "a", ""), "x y");
    EXPECT_EQ(readProfileString(ini, "S", "b", ""), "z");
    EXPECT_EQ(readProfileString(ini, "S", "c", ""), "\"open");
    EXPECT_EQ(readProfileString(ini, "S", "d", ""), "\"");
}

TEST_F(ProfileFileTest, FirstDuplicateWinsAndKeysStayInTheirSection) {
    writeBytes(ini, "[A]\r\nk=1\r\nk=2\r\n[B]\r\nk=3\r\n[A]\r\nk=4\r\nonly=5\r\n");
    EXPECT_EQ(readProfileString(ini, "A", "k", ""), "1");
    EXPECT_EQ(readProfileString(ini, "B", "k", ""), "3");
    EXPECT_EQ(readProfileString(ini, "C", "k", "d"), "d");
}

TEST_F(ProfileFileTest, CommentsAndLinesWithoutEqualsAreNotKeys) {
    writeBytes(ini, "[A]\r\n;k=1\r\nk\r\nk=2\r\n");
    EXPECT_EQ(readProfileString(ini, "A", "k", ""), "2");
    EXPECT_EQ(readProfileString(ini, "A", ";k", "none"), "none");
}

TEST_F(ProfileFileTest, ValuesAreCutTo255Characters) {
    const std::string longValue(300, 'v');
    ASSERT_TRUE(writeProfileString(ini, "Log", "BaseDir", longValue));
    EXPECT_EQ(readProfileString(ini, "Log", "BaseDir", ""), std::string(255, 'v'));
    EXPECT_EQ(readProfileString(ini, "Log", "Other", longValue), std::string(255, 'v'));
}

TEST_F(ProfileFileTest, WriteCreatesFileAndSectionWithCrLf) {
    ASSERT_TRUE(writeProfileString(ini, "ZELO", "Position", "1 2 3 4"));
    EXPECT_EQ(readBytes(ini), "[ZELO]\r\nPosition=1 2 3 4\r\n");
    ASSERT_TRUE(writeProfileString(ini, "Network", "MSRPport", "5001"));
    EXPECT_EQ(readBytes(ini), "[ZELO]\r\nPosition=1 2 3 4\r\n\r\n[Network]\r\nMSRPport=5001\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("ZELO.TMP")));
}

TEST_F(ProfileFileTest, WriteChangesOneKeyInPlaceAndKeepsEveryOtherLine) {
    writeBytes(ini,
               "; operator notes\n[ZELO]\nLanguage=0\nposition = 9 9 9 9 \n\n[Log]\nLOGenable=1\n"
               "unknown line\n");
    ASSERT_TRUE(writeProfileString(ini, "zelo", "Position", "1 2 3 4"));
    EXPECT_EQ(readBytes(ini),
              "; operator notes\r\n[ZELO]\r\nLanguage=0\r\nPosition=1 2 3 4\r\n\r\n[Log]\r\n"
              "LOGenable=1\r\nunknown line\r\n");
}

TEST_F(ProfileFileTest, NewKeyGoesAfterTheLastLineOfItsSection) {
    writeBytes(ini, "[ZELO]\r\nLanguage=0\r\n\r\n[Log]\r\nLOGenable=1\r\n");
    ASSERT_TRUE(writeProfileString(ini, "ZELO", "UniqueObj", "1"));
    ASSERT_TRUE(writeProfileString(ini, "Log", "BaseDir", "logs"));
    EXPECT_EQ(readBytes(ini),
              "[ZELO]\r\nLanguage=0\r\nUniqueObj=1\r\n\r\n[Log]\r\nLOGenable=1\r\nBaseDir=logs\r\n");
}

TEST_F(ProfileFileTest, LineEndsInAValueCannotMakeNewLines) {
    ASSERT_TRUE(writeProfileString(ini, "Log", "BaseDir", "C:\\x\r\n[ZELO]\r\nLanguage=2"));
    EXPECT_EQ(readProfileString(ini, "Log", "BaseDir", ""), "C:\\x");
    EXPECT_EQ(readProfileString(ini, "ZELO", "Language", "0"), "0");
}

TEST_F(ProfileFileTest, FailedWriteLeavesNoFileBehind) {
    const std::string missingDir = dir.file("no-such-dir") + "/ZELO.INI";
    EXPECT_FALSE(writeProfileString(missingDir, "ZELO", "Position", "1 2 3 4"));
    EXPECT_FALSE(std::filesystem::exists(missingDir));
}

}  // namespace
}  // namespace zelo
