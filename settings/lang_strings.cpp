#include "settings/lang_strings.h"

#include <algorithm>

#include "common/c_number.h"
#include "settings/app_settings.h"
#include "settings/string_table.h"

namespace zelo {
namespace {

// Texts are fetched into 255 characters including the terminator.
constexpr std::size_t kFetchMax = 254;

}  // namespace

std::string_view LangStrings::entry(Text text) noexcept {
    const int id = static_cast<int>(text);
    const StringTableEntry* end = kStringTable + kStringTableSize;
    const StringTableEntry* it = std::lower_bound(
        kStringTable, end, id, [](const StringTableEntry& e, int wanted) { return e.id < wanted; });
    if (it == end || it->id != id) return {};
    return std::string_view(it->text, it->size);
}

std::string LangStrings::selectColumn(std::string_view entry, Language language) {
    entry = entry.substr(0, kFetchMax);
    // The search for the TAB that ends a column starts at its second
    // character: a column is never empty.
    auto columnEnd = [](std::string_view column) {
        const std::size_t tab = column.size() > 1 ? column.find('\t', 1) : std::string_view::npos;
        return tab == std::string_view::npos ? column : column.substr(0, tab);
    };
    auto afterTab = [](std::string_view text) {
        const std::size_t tab = text.find('\t');
        return tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1);
    };
    if (language == Language::Japanese) return std::string(columnEnd(entry));
    if (language == Language::English) return std::string(columnEnd(afterTab(entry)));
    // Esperanto, and any other number
    return std::string(afterTab(afterTab(entry)));
}

std::string LangStrings::text(Text id) const {
    return selectColumn(entry(id), settings_.language);
}

int LangStrings::number(Text id) const {
    return parseCInt(text(id));
}

}  // namespace zelo
