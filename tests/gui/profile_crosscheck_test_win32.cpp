// The settings store against the system's own profile functions, on the same
// file: what one writes, the other must read alike.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/profile_file.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using Query = std::pair<std::string, std::string>;  // section, key

std::string systemRead(const std::string& path, const std::string& section,
                       const std::string& key, const char* def) {
    // The system keeps profile files cached; drop the cache so that it sees
    // what our store wrote.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    char buf[256] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), def, buf, sizeof buf, path.c_str());
    return buf;
}

bool systemWrite(const std::string& path, const char* section, const char* key,
                 const char* value) {
    const BOOL ok = WritePrivateProfileStringA(section, key, value, path.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    return ok != FALSE;
}

const std::vector<Query> kQueries = {
    {"ZELO", "Position"},      {"zelo", "POSITION"},       {"ZELO", "Language"},
    {"MessageBox", "Quit"},    {"Log", "BaseDir"},         {"Log", "Blank"},
    {"Log", "Quoted"},         {"Log", "Padded"},          {"Network", "MSRPport"},
    {"Network", "Missing"},    {"NoSuchSection", "Quit"},  {"Log", "Long"},
    {"ListViewMode", "LineMstPow"},
};

void expectSameReads(const std::string& path) {
    for (const auto& [section, key] : kQueries) {
        EXPECT_EQ(readProfileString(path, section, key, "dflt"),
                  systemRead(path, section, key, "dflt"))
            << "[" << section << "] " << key;
    }
}

class ProfileCrossCheck : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string path = dir.file("ZELO.INI");
    const std::string longValue = std::string(300, 'L');
};

TEST_F(ProfileCrossCheck, SystemWritesOurStoreReads) {
    ASSERT_TRUE(systemWrite(path, "ZELO", "Position", "10 510 20 820"));
    ASSERT_TRUE(systemWrite(path, "ZELO", "Language", "1"));
    ASSERT_TRUE(systemWrite(path, "MessageBox", "Quit", "0"));
    ASSERT_TRUE(systemWrite(path, "Log", "BaseDir", "C:\\ZELO logs\\"));
    ASSERT_TRUE(systemWrite(path, "Log", "Blank", ""));
    ASSERT_TRUE(systemWrite(path, "Log", "Quoted", "\"quoted value\""));
    ASSERT_TRUE(systemWrite(path, "Log", "Padded", "  padded value  "));
    ASSERT_TRUE(systemWrite(path, "Log", "Long", longValue.c_str()));
    ASSERT_TRUE(systemWrite(path, "Network", "MSRPport", "5001"));
    ASSERT_TRUE(systemWrite(path, "zelo", "LANGUAGE", "2"));  // same key, other case
    expectSameReads(path);
    EXPECT_EQ(readProfileString(path, "ZELO", "Language", ""), "2");
    EXPECT_EQ(readProfileString(path, "Log", "Padded", ""), "padded value");
}

TEST_F(ProfileCrossCheck, OurStoreWritesSystemReads) {
    ASSERT_TRUE(writeProfileString(path, "ZELO", "Position", "10 510 20 820"));
    ASSERT_TRUE(writeProfileString(path, "ZELO", "Language", "1"));
    ASSERT_TRUE(writeProfileString(path, "MessageBox", "Quit", "0"));
    ASSERT_TRUE(writeProfileString(path, "Log", "BaseDir", "C:\\ZELO logs\\"));
    ASSERT_TRUE(writeProfileString(path, "Log", "Blank", ""));
    ASSERT_TRUE(writeProfileString(path, "Log", "Quoted", "'quoted value'"));
    ASSERT_TRUE(writeProfileString(path, "Log", "Padded", "  padded value  "));
    ASSERT_TRUE(writeProfileString(path, "Log", "Long", longValue));
    ASSERT_TRUE(writeProfileString(path, "Network", "MSRPport", "5001"));
    ASSERT_TRUE(writeProfileString(path, "zelo", "LANGUAGE", "2"));
    expectSameReads(path);
    EXPECT_EQ(systemRead(path, "ZELO", "Language", ""), "2");
}

TEST_F(ProfileCrossCheck, BothWriteTheSameFileInTurn) {
    ASSERT_TRUE(systemWrite(path, "ZELO", "Position", "1 2 3 4"));
    ASSERT_TRUE(writeProfileString(path, "Log", "BaseDir", "logs"));
    ASSERT_TRUE(systemWrite(path, "Log", "Blank", ""));
    ASSERT_TRUE(writeProfileString(path, "ZELO", "Position", "5 6 7 8"));
    ASSERT_TRUE(systemWrite(path, "Network", "MSRPport", "6000"));
    ASSERT_TRUE(writeProfileString(path, "MessageBox", "Quit", "1"));
    ASSERT_TRUE(systemWrite(path, "ZELO", "Language", "0"));
    expectSameReads(path);
    EXPECT_EQ(readProfileString(path, "ZELO", "Position", ""), "5 6 7 8");
}

TEST_F(ProfileCrossCheck, HandEditedFileReadsAlike) {
    test::writeBytes(path,
                     "; kept by hand\r\n [ZELO] \r\n Position = 7 8 9 10 \r\nLanguage=\"1\"\r\n"
                     "\r\n[Log]\r\nBaseDir='x'\r\nQuoted=\"a\r\nPadded=\t tabbed \t\r\nBlank=\r\n"
                     "[Network]\nMSRPport=5002\n");
    expectSameReads(path);
}

}  // namespace
}  // namespace zelo
