// The settings store against the system's own profile functions, on the same
// file: what one writes, the other must read alike.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "settings/profile_file.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

// Every key read by our store and by the system, whose cache of profile files
// is dropped first so that it sees what our store wrote.
void expectSameReads(const std::string& path) {
    const std::pair<const char*, const char*> queries[] = {
        {"ZELO", "Position"},      {"zelo", "POSITION"},
        {"ZELO", "Language"},      {"MessageBox", "Quit"},
        {"Log", "BaseDir"},        {"Log", "Blank"},
        {"Log", "Quoted"},         {"Log", "Single"},
        {"Log", "Padded"},         {"Log", "Long"},
        {"Network", "MSRPport"},   {"Network", "Missing"},
        {"NoSuchSection", "Quit"}, {"ListViewMode", "LineMstPow"},
    };
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    for (const auto& [section, key] : queries) {
        char system[256] = {};
        GetPrivateProfileStringA(section, key, "dflt", system, sizeof system, path.c_str());
        EXPECT_EQ(readProfileString(path, section, key, "dflt"), system)
            << "[" << section << "] " << key;
    }
}

TEST(ProfileCrossCheck, WhatEitherWritesOrAHandEditHasBothReadAlike) {
    const std::tuple<const char*, const char*, std::string> writes[] = {
        {"ZELO", "Position", "10 510 20 820"},
        {"ZELO", "Language", "1"},
        {"MessageBox", "Quit", "0"},
        {"Log", "BaseDir", "C:\\ZELO logs\\"},
        {"Log", "Blank", ""},
        {"Log", "Quoted", "\"quoted value\""},
        {"Log", "Single", "'quoted value'"},
        {"Log", "Padded", "  padded value  "},
        {"Log", "Long", std::string(300, 'L')},
        {"Network", "MSRPport", "5001"},
        {"zelo", "LANGUAGE", "2"},  // the same key in another case
        {"ZELO", "Position", "5 6 7 8"},
    };
    for (const char* writer : {"the system", "our store", "both in turn"}) {
        SCOPED_TRACE(writer);
        test::TempDir dir;
        const std::string path = dir.file("ZELO.INI");
        int n = 0;
        for (const auto& [section, key, value] : writes) {
            const bool ours = writer[0] == 'o' || (writer[0] == 'b' && n++ % 2);
            ASSERT_TRUE(ours ? writeProfileString(path, section, key, value)
                             : WritePrivateProfileStringA(section, key, value.c_str(),
                                                          path.c_str()) != FALSE);
            WritePrivateProfileStringA(nullptr, nullptr, nullptr,
                                       path.c_str());  // the system's writes through
        }
        expectSameReads(path);
        std::string read;
        for (const auto& [section, key] :
             {std::pair{"ZELO", "Language"}, {"ZELO", "Position"}, {"Log", "Padded"}})
            read += readProfileString(path, section, key, "") + "|";
        EXPECT_EQ(read, "2|5 6 7 8|padded value|");
    }
    SCOPED_TRACE("by hand");
    test::TempDir dir;
    test::writeBytes(dir.file("ZELO.INI"),
                     "; kept by hand\r\n [ZELO] \r\n Position = 7 8 9 10 \r\nLanguage=\"1\"\r\n"
                     "\r\n[Log]\r\nBaseDir='x'\r\nQuoted=\"a\r\nPadded=\t tabbed \t\r\nBlank=\r\n"
                     "[Network]\nMSRPport=5002\n");
    expectSameReads(dir.file("ZELO.INI"));
}

}  // namespace
}  // namespace zelo
