// Any bytes as ZELO_DIR.DAT: loaded into the outline; every third input by
// length is then changed through one of the three rewrites (rename, insert,
// delete: the length picks), the result loaded again and compared with what
// the rewrite promises. A rewrite and its check cost more than the load, so
// they are kept to a share of the inputs.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "directory/group_outline.h"
#include "fuzz/scratch_dir.h"

namespace {

using namespace zelo;
using fuzz::check;

struct Line {
    int level;
    std::string name;
    std::uint32_t id;
    bool operator==(const Line& o) const {
        return level == o.level && name == o.name && id == o.id;
    }
};

std::vector<Line> linesOf(const GroupOutline& outline) {
    std::vector<Line> out;
    for (const GroupEntry& e : outline.entries) out.push_back({e.level, e.name, e.id});
    return out;
}

GroupOutline load(const std::string& dir) {
    GroupOutline outline;
    check(loadDirectoryTree(dir, "Root", outline, false), "the file loads");
    const auto& entries = outline.entries;
    check(!entries.empty(), "there is always a first line");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int parent = entries[i].parent;
        check(parent >= -1 && parent < static_cast<int>(i), "a parent comes before its children");
        check(outline.depth(static_cast<int>(i)) <= static_cast<int>(i), "depth is bounded");
    }
    const std::uint32_t firstId = entries.front().id;
    check(outline.indexOf(firstId) == 0, "indexOf finds the first entry with an id");
    for (int child : outline.children(static_cast<int>(entries.size()) / 2))
        check(
            entries[static_cast<std::size_t>(child)].parent == static_cast<int>(entries.size()) / 2,
            "children have their parent");
    return outline;
}

int countId(const std::vector<Line>& lines, std::uint32_t id) {
    int n = 0;
    for (const Line& l : lines) n += l.id == id;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = fuzz::scratchDir("directory");
    fuzz::writeBytes(dir + kDirectoryFileName,
                     std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<Line> before = linesOf(load(dir));
    if (size % 3 != 0) return 0;

    switch (size / 3 % 3) {
        case 0: {
            // Rename the last entry's id: every line with that id gets the
            // new name (its TAB a blank), nothing else changes.
            const std::uint32_t id = before.back().id;
            check(renameGroupEntry(dir, id, "Renamed\tgroup"), "rename succeeds");
            std::vector<Line> expected = before;
            for (Line& l : expected)
                if (l.id == id) l.name = "Renamed group";
            check(linesOf(load(dir)) == expected, "rename changes the names only");
            break;
        }
        case 1: {
            // Insert under the middle entry: with that id once in the file,
            // one new line a level below it (beside it at the largest
            // level), after the lines below it.
            const std::size_t at = before.size() / 2;
            const Line parent = before[at];
            std::uint32_t newId = 0x40000000u + static_cast<std::uint32_t>(size);
            while (countId(before, newId) > 0) ++newId;
            check(insertGroupEntry(dir, parent.id, newId, "New"), "insert succeeds");
            const std::vector<Line> after = linesOf(load(dir));
            std::vector<Line> without;
            for (const Line& l : after)
                if (l.id != newId) without.push_back(l);
            check(without == before, "insert keeps every other line in order");
            check(countId(after, newId) >= 1, "insert adds a line");
            if (countId(before, parent.id) == 1) {
                const int level = parent.level < std::numeric_limits<int>::max() ? parent.level + 1
                                                                                 : parent.level;
                std::size_t end = at + 1;
                while (end < before.size() && before[end].level >= level) ++end;
                std::vector<Line> expected = before;
                expected.insert(expected.begin() + static_cast<long>(end),
                                Line{level, "New", newId});
                check(after == expected, "insert places the line after the parent's lines");
            }
            break;
        }
        default: {
            // Delete the entry a third of the way down: its first line with
            // that id goes with the lines below it; an empty file reads as
            // the Noname root.
            const std::size_t at = before.size() / 3;
            const std::uint32_t id = before[at].id;
            std::size_t first = 0;
            while (before[first].id != id) ++first;
            std::size_t end = first + 1;
            while (end < before.size() && before[end].level > before[first].level) ++end;
            check(deleteGroupEntry(dir, id), "delete succeeds");
            std::vector<Line> expected = before;
            expected.erase(expected.begin() + static_cast<long>(first),
                           expected.begin() + static_cast<long>(end));
            if (expected.empty()) expected.push_back({0, "Noname", 0});
            check(linesOf(load(dir)) == expected, "delete drops the group and the lines below it");
            break;
        }
    }
    return 0;
}
