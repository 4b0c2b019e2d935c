#pragma once
// The compiled string table (generated from resources/strings.txt): one
// entry per id, sorted by id, each the bytes of the ANSI code page with the
// language columns separated by TAB.

#include <cstddef>

namespace zelo {

struct StringTableEntry {
    int id;
    const char* text;
    std::size_t size;
};

extern const StringTableEntry kStringTable[];
extern const std::size_t kStringTableSize;

}  // namespace zelo
