// The settings file and ZELO.INI: what a read finds, what a write leaves,
// and the texts of the active language.
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "settings/string_table.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::writeBytes;

TEST(ProfileFile, Reads) {
    test::TempDir dir;
    const std::string ini = dir.file("ZELO.INI");
    EXPECT_EQ(readProfileString(ini, "ZELO", "Language", "0"), "0");  // no file
    // Names compare without case and blanks around them are ignored; an
    // empty value is not the default; paired quotes are removed; the first
    // duplicate wins and keys stay in their section; comments and lines
    // without '=' are not keys.
    writeBytes(ini,
               "  [ zelo ]  \nlanguage  =   2  \n[Log]\nBaseDir= C:\\logs \\ \nBlank=\r\nlong=" +
                   std::string(300, 'v') +
                   "\r\n[S]\r\na=\"x "
                   "y\"\r\nb='z'\r\nc=\"open\r\nd=\"\r\n[A]\r\nk=1\r\nk=2\r\n;c=1\r\nn\r\n"
                   "[B]\r\nk=3\r\n[A]\r\nk=4\r\n");
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {"ZELO", "LANGUAGE", "2"},
        {"log", "BASEDIR", "C:\\logs \\"},
        {"Log", "Blank", ""},
        {"S", "a", "x y"},
        {"S", "b", "z"},
        {"S", "c", "\"open"},
        {"S", "d", "\""},
        {"A", "k", "1"},
        {"B", "k", "3"},
        {"A", ";c", "dflt"},
        {"A", "n", "dflt"},
        {"A", "", "dflt"},  // "n" has no '=': no key at all
        {"Network", "MSRPport", "dflt"},
        {"Log", "long", std::string(255, 'v')}};
    for (const auto& [section, key, expected] : rows)
        EXPECT_EQ(readProfileString(ini, section, key, "dflt"), expected) << key;
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
        {"; operator notes\n[ZELO]\nLanguage=0\nposition = 9 9 9 9 \n\n[Log]\nLOGenable=1\nunknown "
         "line\n",
         "zelo", "Position", "1 2 3 4",
         "; operator notes\r\n[ZELO]\r\nLanguage=0\r\nPosition=1 2 3 "
         "4\r\n\r\n[Log]\r\nLOGenable=1\r\n"
         "unknown line\r\n"},
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
    EXPECT_FALSE(std::filesystem::exists(dir.file("ZELO.TMP")));
    const std::string missingDir =
        dir.file("no-such-dir") + "/ZELO.INI";  // a failed write leaves no file
    EXPECT_FALSE(writeProfileString(missingDir, "ZELO", "Position", "1 2 3 4"));
    EXPECT_FALSE(std::filesystem::exists(missingDir));
}

class AppSettingsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string ini = dir.file("ZELO.INI");
    AppSettings settings{ini};
    LangStrings strings{settings};
    void load() { settings.loadSettings(strings); }
    static std::string list(const std::array<int, kListColumns>& a) {
        std::string t;
        for (int v : a) t += std::to_string(v) + " ";
        return t;
    }
};

TEST_F(AppSettingsTest, WhatEachFileReadsAs) {
    load();
    EXPECT_FALSE(std::filesystem::exists(ini));  // no file: defaults, and nothing written
    // Japanese clock format, "現在時刻 %02d時%02d分%02d秒" in CP932.
    EXPECT_EQ(settings.clockFormat.substr(0, 8), "\x8c\xbb\x8d\xdd\x8e\x9e\x8d\x8f");
    const struct {
        std::string file;
        std::function<std::string(const AppSettings&)> read;
        std::string expected;
    } rows[] = {
        {"[ZELO]\r\nLanguage=1\r\n", [](const AppSettings& s) { return s.clockFormat; },
         "Present time %02d:%02d:%02d"},
        {"[Network]\r\nMSRPport=70000\r\n",
         [](const AppSettings& s) { return std::to_string(s.msrpPort); }, "4464"},
        // Values that are not numbers read as 0.
        {"[Network]\r\nMSRPenable=yes\r\n[MessageBox]\r\nQuit=x\r\nDelete= 2\r\n",
         [](const AppSettings& s) {
             return std::to_string(s.msrpEnable + 2 * s.confirmQuit + 4 * s.confirmDelete);
         },
         "4"},
        // Short lists are filled up by the appended tails.
        {"[ZELO]\r\nListOrder=2 1 0 3 4 5\r\nColumnWidth=100 120\r\n",
         [](const AppSettings& s) { return list(s.listOrder) + list(s.columnWidth); },
         "2 1 0 3 4 5 6 7 8 9 100 120 80 80 80 80 80 80 80 80 "},
        {"[Log]\r\nBaseDir=" + std::string(250, 'd') + "\r\n",
         [](const AppSettings& s) { return s.baseDir; }, std::string(200, 'd')},
    };
    for (const auto& row : rows) {
        writeBytes(ini, row.file);
        load();
        EXPECT_EQ(row.read(settings), row.expected) << row.file;
    }
}

TEST_F(AppSettingsTest, SaveWritesTheSectionsInTheirOrderWithTheSavedValues) {
    load();
    ASSERT_TRUE(settings.saveSettings());
    EXPECT_EQ(readBytes(ini),
              "[MessageBox]\r\nQuit=1\r\nDisconnect=1\r\nReconnect=1\r\nPower=1\r\n"
              "CancelAccept=1\r\nDelete=1\r\n\r\n[CtrlDlgMode]\r\nAutoJump=0\r\nTaskTray=0\r\n\r\n"
              "[ListViewMode]\r\nLineMstPow=0\r\n\r\n[ZELO]\r\nLanguage=0\r\nDateStyle=0\r\n\r\n"
              "[Log]\r\nLOGenable=0\r\nBaseDir=0\r\nFnameDate=0\r\nFnameHour=0\r\n\r\n"
              "[Network]\r\nMSRPenable=1\r\nMSRPport=5000\r\n");
    settings.language = Language::English;
    settings.msrpPort = 6000;
    settings.savedLanguage = Language::Esperanto;
    settings.savedDateStyle = 1;
    settings.savedMsrpPort = 65535;
    settings.confirmQuit = settings.confirmPower = settings.msrpEnable = false;
    settings.taskTray = settings.lineMstPow = settings.logEnable = settings.fnameHour =
        settings.autoJump = true;
    settings.baseDir = "C:\\ZELO logs";
    ASSERT_TRUE(settings.saveSettings());
    EXPECT_EQ(settings.language, Language::English);  // the saved ones count at the next start
    AppSettings again(ini);
    LangStrings againStrings(again);
    again.loadSettings(againStrings);
    EXPECT_EQ(std::to_string(int(again.language)) + " " + std::to_string(again.dateStyle) + " " +
                  std::to_string(again.msrpPort) + " " + again.baseDir,
              "2 1 65535 C:\\ZELO logs");
    const bool flags[] = {again.confirmQuit, again.confirmDisconnect, again.confirmPower,
                          again.taskTray,    again.lineMstPow,        again.logEnable,
                          again.fnameDate,   again.fnameHour,         again.msrpEnable,
                          again.autoJump};
    EXPECT_EQ(std::vector<bool>(std::begin(flags), std::end(flags)),
              (std::vector<bool>{false, true, false, true, true, true, false, true, false, true}));
}

TEST(LangStrings, TheActiveLanguagesColumnOfAKnownId) {
    AppSettings settings("unused.ini");
    LangStrings strings(settings);
    settings.savedLanguage = Language::Japanese;  // the active language counts, not the saved one
    const struct {
        int language, id;
        const char* text;
        int number;
    } rows[] = {
        {1, 184, "Confirm", 0}, {1, 134, "15", 15},   // a font size
        {1, 99, "", 0},         {0, 9999, "", 0},     // unknown ids, below and above the table
        {1, 101, "", 0},        {0, 101, "ZELO", 0},  // a one-column entry
    };
    for (const auto& row : rows) {
        settings.language = Language(row.language);
        EXPECT_EQ(strings.text(static_cast<Text>(row.id)), row.text)
            << row.language << "/" << row.id;
        EXPECT_EQ(strings.number(static_cast<Text>(row.id)), row.number)
            << row.language << "/" << row.id;
    }
}

TEST(LangStrings, EntriesAreCutTo254CharactersBeforeTheColumnIsChosen) {
    const std::string ja(100, 'j'), en(100, 'e'), eo(100, 'o'),
        longFirst = std::string(260, 'j') + "\tEn\tEo";
    const struct {
        std::string entry;
        int language;
        std::string column;
    } rows[] = {
        {ja + "\t" + en + "\t" + eo, 2, std::string(52, 'o')},  // 302 characters cut to 254
        {longFirst, 0, std::string(254, 'j')},
        {longFirst, 1, ""},
        // The search for a column's end starts at its second character.
        {"\tEn\tEo", 0, "\tEn"},
        {"Ja\t\tEo", 1, "\tEo"},
        {"Ja\tEn", 2, ""},
        // Any other language: the rest after the second TAB, TABs and all.
        {"Ja\tEn\tEo\tXx", 3, "Eo\tXx"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LangStrings::selectColumn(row.entry, row.language), row.column)
            << row.entry.substr(0, 12);
}

TEST(LangStrings, EnglishAndEsperantoColumnsArePlainAscii) {
    for (std::size_t i = 0; i < kStringTableSize; ++i) {
        const std::string_view entry = LangStrings::entry(static_cast<Text>(kStringTable[i].id));
        const std::size_t tab = entry.find('\t');
        for (char c : entry.substr(tab == std::string_view::npos ? entry.size() : tab))
            EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << "id " << kStringTable[i].id;
    }
}

}  // namespace
}  // namespace zelo
