// Texts in the active language: the column rule, CP932 bytes, numbers.
#include "settings/lang_strings.h"

#include <gtest/gtest.h>

#include "settings/app_settings.h"
#include "settings/string_table.h"

namespace zelo {
namespace {

TEST(LangStrings, ColumnFollowsTheActiveLanguage) {
    AppSettings settings("unused.ini");
    LangStrings strings(settings);
    settings.savedLanguage = 0;  // the active language counts, not the saved one
    const struct {
        int language, id;
        const char* text;
        int number;
    } rows[] = {
        {0, 184, "\x8a\x6d\x94\x46", 0},  // "確認" in CP932
        {1, 184, "Confirm", 0},
        {2, 184, "Konstato", 0},
        {3, 185, "Eraro", 0},  // any other language: the rest after the second TAB
        {-1, 185, "Eraro", 0},
        {0, 134, "13", 13},  // font sizes and character sets
        {1, 134, "15", 15},
        {0, 136, "128", 128},
        {1, 136, "0", 0},
        {2, 136, "162", 162},
        {1, 99, "", 0},  // unknown ids
        {0, 555, "", 0},
        {1, 101, "", 0},  // a one-column entry
        {0, 101, "ZELO", 0},
    };
    for (const auto& row : rows) {
        settings.language = row.language;
        EXPECT_EQ(strings.text(row.id), row.text) << row.language << "/" << row.id;
        EXPECT_EQ(strings.number(row.id), row.number) << row.language << "/" << row.id;
    }
    settings.language = 5;
    EXPECT_NE(strings.text(182).find('\t'), std::string::npos);  // four columns: the rest keeps its TAB
}

TEST(LangStrings, EntriesAreCutTo254CharactersBeforeTheColumnIsChosen) {
    const std::string ja(100, 'j'), en(100, 'e'), eo(100, 'o'), longFirst = std::string(260, 'j') + "\tEn\tEo";
    const struct {
        std::string entry;
        int language;
        std::string column;
    } rows[] = {
        {ja + "\t" + en + "\t" + eo, 0, ja}, {ja + "\t" + en + "\t" + eo, 1, en},
        {ja + "\t" + en + "\t" + eo, 2, std::string(52, 'o')},  // 302 characters cut to 254
        {longFirst, 0, std::string(254, 'j')}, {longFirst, 1, ""}, {longFirst, 2, ""},
        // The search for a column's end starts at its second character.
        {"\tEn\tEo", 0, "\tEn"}, {"Ja\t\tEo", 1, "\tEo"}, {"Ja\tEn", 2, ""}, {"", 0, ""}, {"x", 1, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LangStrings::selectColumn(row.entry, row.language), row.column) << row.entry.substr(0, 12);
}

TEST(LangStrings, EnglishAndEsperantoColumnsArePlainAscii) {
    for (std::size_t i = 0; i < kStringTableSize; ++i) {
        const std::string_view entry = LangStrings::entry(kStringTable[i].id);
        const std::size_t tab = entry.find('\t');
        for (char c : entry.substr(tab == std::string_view::npos ? entry.size() : tab))
            EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << "id " << kStringTable[i].id;
    }
}

}  // namespace
}  // namespace zelo
