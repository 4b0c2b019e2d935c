#pragma once
// Texts in the active language. Every entry of the string table holds the
// Japanese, English and Esperanto text separated by TAB; the active
// `Language` setting picks the column: 0 the first, 1 the second, any other
// value the rest after the second TAB.

#include <string>
#include <string_view>

#include "common/language.h"
#include "zelo_text.h"

namespace zelo {

struct AppSettings;

class LangStrings {
public:
    // Follows the active language of `settings` (read at every call).
    explicit LangStrings(const AppSettings& settings) noexcept : settings_(settings) {}

    // The entry's column for the active language. Returned by value: a
    // second fetch never changes a text already fetched.
    std::string text(Text id) const;

    // The decimal value of text(id), C-library rules.
    int number(Text id) const;

    // The whole entry as stored (for the one-column entries WindowTitle and
    // MainWindowClass); empty for an id the table lacks.
    static std::string_view entry(Text id) noexcept;

    // The column rule on its own. Entries are first cut to 254 characters;
    // a column the entry lacks comes back empty.
    static std::string selectColumn(std::string_view entry, Language language);
    // The same for the key's number as it stands.
    static std::string selectColumn(std::string_view entry, int language) {
        return selectColumn(entry, static_cast<Language>(language));
    }

private:
    const AppSettings& settings_;
};

}  // namespace zelo
