#include "settings/lang_strings.h"

#include <gtest/gtest.h>

#include "settings/app_settings.h"
#include "settings/string_table.h"

namespace zelo {
namespace {

class LangStringsTest : public ::testing::Test {
protected:
    AppSettings settings{"unused.ini"};
    LangStrings strings{settings};
};

TEST_F(LangStringsTest, ColumnFollowsTheActiveLanguage) {
    settings.language = 0;
    EXPECT_EQ(strings.text(184), "\x8a\x6d\x94\x46");  // 確認 in CP932
    settings.language = 1;
    EXPECT_EQ(strings.text(184), "Confirm");
    settings.language = 2;
    EXPECT_EQ(strings.text(184), "Konstato");
}

TEST_F(LangStringsTest, AnyOtherLanguageTakesTheRestAfterTheSecondTab) {
    for (int language : {3, 5, -1}) {
        settings.language = language;
        EXPECT_EQ(strings.text(185), "Eraro") << language;
    }
    settings.language = 5;
    EXPECT_EQ(strings.text(182).find('\t') != std::string::npos, true);  // four columns
}

TEST_F(LangStringsTest, ActiveNotSavedLanguageCounts) {
    settings.language = 1;
    settings.savedLanguage = 0;
    EXPECT_EQ(strings.text(526), "Normal");
}

TEST_F(LangStringsTest, EarlierTextsStayValidAfterALaterFetch) {
    settings.language = 1;
    const std::string first = strings.text(196);
    const std::string second = strings.text(197);
    EXPECT_EQ(first, "May I quit?");
    EXPECT_EQ(second, "Confirmation of quit.");
}

TEST_F(LangStringsTest, NumbersOfTheFontEntries) {
    settings.language = 0;
    EXPECT_EQ(strings.number(134), 13);
    EXPECT_EQ(strings.number(136), 128);
    settings.language = 1;
    EXPECT_EQ(strings.number(134), 15);
    EXPECT_EQ(strings.number(136), 0);
    settings.language = 2;
    EXPECT_EQ(strings.number(136), 162);
    EXPECT_EQ(strings.number(184), 0);  // not a number
}

TEST_F(LangStringsTest, UnknownIdsAndMissingColumnsGiveEmptyText) {
    for (int language : {0, 1, 2}) {
        settings.language = language;
        EXPECT_EQ(strings.text(99), "");
        EXPECT_EQ(strings.text(555), "");
    }
    settings.language = 1;
    EXPECT_EQ(strings.text(101), "");  // one-column entry
    settings.language = 0;
    EXPECT_EQ(strings.text(101), "ZELO");
}

TEST(LangStringsColumns, EntriesAreCutTo254CharactersBeforeTheColumnIsChosen) {
    const std::string ja(100, 'j'), en(100, 'e'), eo(100, 'o');
    const std::string entry = ja + "\t" + en + "\t" + eo;  // 302 characters
    EXPECT_EQ(LangStrings::selectColumn(entry, 0), ja);
    EXPECT_EQ(LangStrings::selectColumn(entry, 1), en);
    EXPECT_EQ(LangStrings::selectColumn(entry, 2), std::string(52, 'o'));
    const std::string longFirst = std::string(260, 'j') + "\tEnglish\tEsperanto";
    EXPECT_EQ(LangStrings::selectColumn(longFirst, 0), std::string(254, 'j'));
    EXPECT_EQ(LangStrings::selectColumn(longFirst, 1), "");
    EXPECT_EQ(LangStrings::selectColumn(longFirst, 2), "");
}

TEST(LangStringsColumns, TheSearchForAColumnEndStartsAtItsSecondCharacter) {
    EXPECT_EQ(LangStrings::selectColumn("\tEn\tEo", 0), "\tEn");
    EXPECT_EQ(LangStrings::selectColumn("Ja\t\tEo", 1), "\tEo");
    EXPECT_EQ(LangStrings::selectColumn("Ja\tEn", 2), "");
    EXPECT_EQ(LangStrings::selectColumn("", 0), "");
    EXPECT_EQ(LangStrings::selectColumn("x", 1), "");
}

TEST(StringTable, HoldsEveryIdFrom100To554) {
    ASSERT_EQ(kStringTableSize, 455u);
    for (std::size_t i = 0; i < kStringTableSize; ++i) {
        EXPECT_EQ(kStringTable[i].id, static_cast<int>(100 + i));
        EXPECT_FALSE(LangStrings::entry(kStringTable[i].id).empty());
    }
    EXPECT_EQ(LangStrings::entry(100), "ZELO");
    EXPECT_EQ(LangStrings::entry(101), "ZELO");
}

TEST(StringTable, EnglishAndEsperantoColumnsArePlainAscii) {
    for (std::size_t i = 0; i < kStringTableSize; ++i) {
        const std::string_view entry = LangStrings::entry(kStringTable[i].id);
        const std::size_t tab = entry.find('\t');
        if (tab == std::string_view::npos) continue;
        for (char c : entry.substr(tab + 1))
            EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << "id " << kStringTable[i].id;
    }
}

}  // namespace
}  // namespace zelo
