#pragma once
// The outline of groups as ZELO_DIR.DAT lists it, depth first, and the
// rewrites of that file.

#include <cstdint>
#include <string>
#include <vector>

namespace zelo {

inline constexpr const char* kDirectoryFileName = "ZELO_DIR.DAT";

struct GroupEntry {
    int level = 0;  // as stored
    std::string name;
    std::uint32_t id = 0;
    int parent = -1;  // index of the parent entry in the tree, -1 at the top
};

struct GroupOutline {
    std::vector<GroupEntry> entries;  // file order (pre-order)
    // Lines of the directory file that are not group lines (noise, a line
    // cut short): skipped when read, kept as they are by every rewrite.
    int damagedLines = 0;

    // Index of the entry with this id, or -1.
    int indexOf(std::uint32_t id) const noexcept;
    // Indexes of the entries whose tree parent is `index` (-1: top level).
    std::vector<int> children(int index) const;
    // The entry's depth in the tree (0 at the top).
    int depth(int index) const noexcept;
};

// Splits a directory line "level<TAB>name<TAB>id" the way the loader does.
GroupEntry parseDirectoryLine(const std::string& line);
// "%d\t%s\t%ld" (a name's TABs and line ends become blanks).
std::string formatDirectoryLine(int level, const std::string& name, std::uint32_t id);

// Reads ZELO_DIR.DAT from `dataDir` (which ends with a separator) and places
// each group in the tree as the tree view shows it. A missing file is created
// with the root line named `rootName`; an empty first line stands for
// "0\tNoname\t0". False when the file can neither be read nor created.
// With `createMissing` false a missing file is only assumed, not written.
bool loadDirectoryTree(const std::string& dataDir, const std::string& rootName,
                       GroupOutline& outline, bool createMissing = true);

// The rewrites. Each is false, leaving the file unchanged, when it cannot be
// read or rewritten.
bool renameGroupEntry(const std::string& dataDir, std::uint32_t id, const std::string& name);
// The new group becomes the parent's last child, after the parent's whole
// sub-tree.
bool insertGroupEntry(const std::string& dataDir, std::uint32_t parentId, std::uint32_t newId,
                      const std::string& name);
// Drops the group with its sub-tree, then deletes the group's item file (the
// item files of the groups below stay).
bool deleteGroupEntry(const std::string& dataDir, std::uint32_t id);

}  // namespace zelo
