#include "directory/group_outline.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>

#include "common/c_number.h"
#include "common/file_ops.h"
#include "common/file_replace.h"
#include "common/line_reader.h"
#include "directory/item_file.h"

namespace zelo {
namespace {

constexpr const char* kNonameLine = "0\tNoname\t0";

std::string directoryPath(const std::string& dataDir) {
    return dataDir + kDirectoryFileName;
}

std::string cleanName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

// A line the loader can take for a group: "level<TAB>name<TAB>id" with a
// decimal level (a sign allowed). Anything else (noise, a line cut short, a stop line) is
// damage.
bool isGroupLine(const std::string& line) {
    if (isStopLine(line)) return false;
    const std::size_t tab1 = line.find('\t');
    if (tab1 == 0 || tab1 == std::string::npos || line.find('\t', tab1 + 1) == std::string::npos)
        return false;
    const std::size_t digits = line[0] == '-' ? 1 : 0;
    if (digits == tab1) return false;
    for (std::size_t i = digits; i < tab1; ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

// The lines of the file, each with whether it is a group line. A damaged
// line is skipped and the ones after it are still read; without any group
// line the root is "Noname" (an empty file, or nothing readable).
struct OutlineLine {
    std::string text;
    bool group;
};
std::vector<OutlineLine> outlineLines(const std::string& data) {
    std::vector<OutlineLine> lines;
    LineReader reader(data);
    std::string line;
    bool any = false;
    while (reader.next(line)) {
        const bool group = isGroupLine(line);
        any = any || group;
        lines.push_back({line, group});
    }
    if (!any) lines.insert(lines.begin(), {kNonameLine, true});
    return lines;
}

// Reads the directory file, lets `emit` write the new lines, and replaces
// the file. `emit` gets each line and its parsed entry, and the output.
bool rewriteDirectory(
    const std::string& dataDir,
    const std::function<void(const std::string&, const GroupEntry&, std::string&)>& emit,
    const std::function<void(std::string&)>& atEnd) {
    std::string data;
    if (!readWholeFile(directoryPath(dataDir), data)) return false;
    std::string out;
    // Damaged lines stay where they are, as they are: nothing that may
    // still be read by hand is lost by a rewrite.
    for (const OutlineLine& line : outlineLines(data)) {
        if (line.group)
            emit(line.text, parseDirectoryLine(line.text), out);
        else if (!line.text.empty())
            out += line.text + "\r\n";
    }
    if (atEnd) atEnd(out);
    return replaceFile(directoryPath(dataDir), out);
}

}  // namespace

int GroupOutline::indexOf(std::uint32_t id) const noexcept {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].id == id) return static_cast<int>(i);
    return -1;
}

std::vector<int> GroupOutline::children(int index) const {
    std::vector<int> out;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].parent == index) out.push_back(static_cast<int>(i));
    return out;
}

int GroupOutline::depth(int index) const noexcept {
    int d = 0;
    while (index >= 0 && static_cast<std::size_t>(index) < entries.size() &&
           entries[static_cast<std::size_t>(index)].parent >= 0) {
        index = entries[static_cast<std::size_t>(index)].parent;
        ++d;
    }
    return d;
}

GroupEntry parseDirectoryLine(const std::string& line) {
    GroupEntry e;
    const std::size_t tab1 = line.find('\t');
    e.level = parseCInt(line.substr(0, tab1));
    if (tab1 == std::string::npos) return e;
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    e.name = line.substr(tab1 + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab1 - 1);
    // Ids are written as signed 32-bit numbers ("%ld"); read them back alike.
    if (tab2 != std::string::npos)
        e.id = static_cast<std::uint32_t>(parseCInt(std::string_view(line).substr(tab2 + 1)));
    return e;
}

std::string formatDirectoryLine(int level, const std::string& name, std::uint32_t id) {
    return std::to_string(level) + "\t" + cleanName(name) + "\t" +
           std::to_string(static_cast<std::int32_t>(id)) + "\r\n";
}

bool loadDirectoryTree(const std::string& dataDir, const std::string& rootName,
                       GroupOutline& outline, bool createMissing) {
    outline.entries.clear();
    outline.damagedLines = 0;
    std::string data;
    if (!readWholeFile(directoryPath(dataDir), data)) {
        data = formatDirectoryLine(0, rootName, 0);
        if (createMissing && !replaceFile(directoryPath(dataDir), data)) return false;
    }
    int prevLevel = 0, prevIndex = -1, parent = -1;
    for (const OutlineLine& line : outlineLines(data)) {
        if (!line.group) {
            if (!line.text.empty()) ++outline.damagedLines;
            continue;
        }
        GroupEntry e = parseDirectoryLine(line.text);
        if (prevIndex >= 0) {
            if (e.level > prevLevel) {
                parent = prevIndex;
            } else if (e.level < prevLevel) {
                // Levels are read as any 32-bit number: their difference may not fit.
                for (std::int64_t up = std::int64_t{prevLevel} - e.level; up > 0 && parent >= 0;
                     --up)
                    parent = outline.entries[static_cast<std::size_t>(parent)].parent;
            }
        }
        e.parent = parent;
        outline.entries.push_back(std::move(e));
        prevLevel = outline.entries.back().level;
        prevIndex = static_cast<int>(outline.entries.size()) - 1;
    }
    return true;
}

bool renameGroupEntry(const std::string& dataDir, std::uint32_t id, const std::string& name) {
    return rewriteDirectory(
        dataDir,
        [&](const std::string& line, const GroupEntry& e, std::string& out) {
            out += e.id == id ? formatDirectoryLine(e.level, name, e.id) : line + "\r\n";
        },
        nullptr);
}

bool insertGroupEntry(const std::string& dataDir, std::uint32_t parentId, std::uint32_t newId,
                      const std::string& name) {
    bool armed = false;
    int insertLevel = 0;
    return rewriteDirectory(
        dataDir,
        [&](const std::string& line, const GroupEntry& e, std::string& out) {
            if (armed && e.level < insertLevel) {
                out += formatDirectoryLine(insertLevel, name, newId);
                armed = false;
            }
            out += line + "\r\n";
            if (e.id == parentId && !armed) {
                // Below the largest level there is none: the group goes beside it.
                insertLevel = e.level < std::numeric_limits<int>::max() ? e.level + 1 : e.level;
                armed = true;
            }
        },
        [&](std::string& out) {
            if (armed) out += formatDirectoryLine(insertLevel, name, newId);
        });
}

bool deleteGroupEntry(const std::string& dataDir, std::uint32_t id) {
    enum { Copying, Dropping, Done } state = Copying;
    int droppedLevel = 0;
    const bool ok = rewriteDirectory(
        dataDir,
        [&](const std::string& line, const GroupEntry& e, std::string& out) {
            if (state == Copying && e.id == id) {
                state = Dropping;
                droppedLevel = e.level;
                return;
            }
            if (state == Dropping) {
                if (e.level > droppedLevel) return;
                state = Done;
            }
            out += line + "\r\n";
        },
        nullptr);
    if (!ok) return false;
    // A group without devices has no item file to delete.
    const std::string items = itemFilePath(dataDir, id);
    return removeFile(items) || !std::filesystem::exists(fsPath(items));
}

}  // namespace zelo
