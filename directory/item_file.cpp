#include "directory/item_file.h"

#include <cstdio>
#include <functional>
#include <unordered_map>

#include "common/c_number.h"
#include "common/file_replace.h"
#include "common/format.h"
#include "common/line_reader.h"
#include "directory/model_table.h"

namespace zelo {
namespace {

constexpr int kOldRecordLines = 12;
constexpr int kRecordLines = 16;
constexpr const char* kCrLf = "\r\n";

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < line.size()) {
        while (i < line.size() && space(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !space(line[i])) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::string_view word(const std::vector<std::string_view>& w, std::size_t i) {
    return i < w.size() ? w[i] : std::string_view();
}

std::string hexUpper(std::uint32_t v, int width = 0) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*lX", width, static_cast<unsigned long>(v));
    return buf;
}

// A text field written as one line: a line end inside it would split the
// record, so it becomes a blank.
std::string lineText(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

// One record's lines as read (missing lines at the end of the file empty),
// with its id and the number of lines that belong to it.
struct RawRecord {
    std::vector<std::string_view> lines;  // views into the file's data
    std::uint32_t id = 0;
};

struct ItemFileContents {
    int version = 0;
    std::vector<RawRecord> records;
};

ItemFileContents splitItemFile(std::string_view data) {
    ItemFileContents contents;
    LineReader reader(data);
    std::string_view line;
    if (!reader.next(line)) return contents;
    if (line.substr(0, kItemFilePrefix.size()) == kItemFilePrefix) {
        contents.version = parseCInt(line.substr(kItemFilePrefix.size()));
        if (!reader.next(line)) return contents;
    }
    const int count = contents.version >= kItemFileVersion ? kRecordLines : kOldRecordLines;
    while (!isStopLine(line)) {
        RawRecord r;
        r.lines.reserve(kRecordLines);
        r.lines.push_back(line);
        for (int i = 1; i < count; ++i) {
            std::string_view next;
            reader.next(next);  // missing lines read as empty
            r.lines.push_back(next);
        }
        r.id = parseCHex(r.lines[2]);
        contents.records.push_back(std::move(r));
        if (!reader.next(line)) break;
    }
    return contents;
}

DeviceRecord recordFromLines(const RawRecord& raw, int version, std::uint32_t groupId) {
    const auto& l = raw.lines;
    DeviceRecord r;
    r.name = cutText(l[0], field::kName);
    r.modelName = cutText(l[1], field::kModelName);
    r.deviceId = raw.id;
    r.modelCode = parseCInt(l[3]);

    const auto address = words(l[4]);
    const std::string_view first = word(address, 0);
    if (!first.empty() && first[0] == '#') {
        r.addressText = cutText(first.substr(1), field::kAddress);
    } else if (!first.empty()) {
        r.addressText = FormatIp(parseCHex(first));  // older files: the address in hex
    }
    r.port = static_cast<std::uint16_t>(parseCHex(word(address, 1)));

    r.powerText = cutText(l[5], field::kStateText);
    r.scheduleText = cutText(l[6], field::kStateText);
    const auto times = words(l[7]);
    r.updateTime = parseCHex(word(times, 0)) + parseCHex(word(times, 1));
    r.macText = cutText(l[8], field::kMac);
    if (l[8].size() < 5) r.unitId = parseCHex(l[8]);  // older files kept the unit here

    const auto login = words(l[9]);
    const auto extra = words(l[10]);
    if (isPromptModel(r.modelCode)) {
        r.password = cutText(word(login, 0), field::kPromptLogin);
        r.loginName = cutText(word(login, 1), field::kPromptLogin);
        r.prompt = cutText(word(extra, 0), field::kPrompt);
        r.selectNumber = cutText(word(extra, 1), field::kSelect);
    } else if (isUserLoginModel(r.modelCode)) {
        r.password = cutText(word(login, 0), field::kPassword);
        r.loginName = cutText(word(login, 1), field::kLoginName);
        r.unitId = parseCHex(word(extra, 0));
        r.systemName = cutText(word(extra, 1), field::kSystemName);
    } else {
        // Every model writes its password; keep it for the others too.
        r.password = cutText(word(login, 0), field::kPassword);
    }

    if (version >= kItemFileVersion) {
        r.pingText = cutText(l[12], field::kPingText);
        r.rebootText = cutText(l[13], field::kRebootText);
        r.temperature = static_cast<std::int16_t>(parseCInt(l[14]));
        r.temperatureState = static_cast<std::int16_t>(parseCInt(l[15]));
    } else {
        r.temperature = 0;
        r.temperatureState = -1;
    }
    r.outletCount = outletCountFromPowerText(r.powerText);
    copyToLastLogged(r);
    r.lastMasterState = 0;
    r.groupId = groupId;
    return r;
}

// A record carried over unchanged: names within their limits, the rest as
// read. An old record gets the four lines it lacks as they read back for it:
// no ping watch, no reboot list, and no temperature sensor (empty lines there
// would read as a sensor in the normal state at 0 degrees).
std::string copyRecord(const RawRecord& raw, int version) {
    std::string out = cutText(raw.lines[0], field::kName) + kCrLf +
                      cutText(raw.lines[1], field::kModelName) + kCrLf;
    for (std::size_t i = 2; i < raw.lines.size(); ++i) {
        out += raw.lines[i];
        out += kCrLf;
    }
    if (version < kItemFileVersion) out += "\r\n\r\n0\r\n-1\r\n";
    return out;
}

std::string header() { return std::string(kItemFilePrefix) + std::to_string(kItemFileVersion) + kCrLf; }

}  // namespace

std::string itemFilePath(const std::string& dataDir, std::uint32_t groupId) {
    return dataDir + hexUpper(groupId, 8) + ".IDX";
}

std::vector<DeviceRecord> parseItemFile(std::string_view data, std::uint32_t groupId) {
    const ItemFileContents contents = splitItemFile(data);
    std::vector<DeviceRecord> out;
    out.reserve(contents.records.size());
    for (const RawRecord& raw : contents.records)
        out.push_back(recordFromLines(raw, contents.version, groupId));
    return out;
}

std::string formatRecordLines(const DeviceRecord& r) {
    std::string name = lineText(cutText(r.name, field::kName));
    // Reading stops at a record whose first line starts with a control
    // character; such a name must not hide the records after it.
    if (isStopLine(name)) name.insert(name.begin(), ' ');
    std::string out;
    auto line = [&out](const std::string& text) { out += lineText(text) + kCrLf; };
    line(name);
    line(cutText(r.modelName, field::kModelName));
    line(hexUpper(r.deviceId));
    line(std::to_string(r.modelCode));
    line("#" + r.addressText + " " + hexUpper(r.port));
    line(r.powerText);
    line(r.scheduleText);
    line("00000000 " + hexUpper(r.updateTime, 8));
    line(r.macText);
    line(isUserLoginModel(r.modelCode) ? r.password + " " + r.loginName : r.password);
    if (isPromptModel(r.modelCode))
        line(r.prompt + " " + r.selectNumber);
    else if (isUserLoginModel(r.modelCode))
        line(hexUpper(r.unitId) + " " + r.systemName);
    else
        line("");
    line("");
    line(r.pingText);
    line(r.rebootText);
    line(std::to_string(r.temperature));
    line(std::to_string(r.temperatureState));
    return out;
}

std::vector<DeviceRecord> loadItemFile(const std::string& dataDir, std::uint32_t groupId) {
    std::string data;
    if (!readWholeFile(itemFilePath(dataDir, groupId), data)) return {};
    return parseItemFile(data, groupId);
}

// Rewrites the item file with every record whose id `replacement` knows
// written anew and every other record carried over. The position of the last
// replaced record (0 when none), or -1 when the file cannot be read or
// rewritten.
static long rewriteItemFile(const std::string& path,
                            const std::function<const DeviceRecord*(std::uint32_t)>& replacement) {
    std::string data;
    if (!readWholeFile(path, data)) return -1;
    const ItemFileContents contents = splitItemFile(data);
    std::string out = header();
    out.reserve(data.size() + 1024);
    long position = 0;
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        const RawRecord& raw = contents.records[i];
        if (const DeviceRecord* r = replacement(raw.id)) {
            position = static_cast<long>(i);
            out += formatRecordLines(*r);
        } else {
            out += copyRecord(raw, contents.version);
        }
    }
    return replaceFile(path, out) ? position : -1;
}

long saveDeviceRecord(const std::string& dataDir, std::uint32_t groupId,
                      const DeviceRecord& record) {
    return rewriteItemFile(itemFilePath(dataDir, groupId), [&record](std::uint32_t id) {
        return id == record.deviceId ? &record : nullptr;
    });
}

bool saveDeviceRecords(const std::string& dataDir, std::uint32_t groupId,
                       const std::vector<const DeviceRecord*>& records) {
    std::unordered_map<std::uint32_t, const DeviceRecord*> byId;
    byId.reserve(records.size());
    for (const DeviceRecord* r : records) byId[r->deviceId] = r;
    return rewriteItemFile(itemFilePath(dataDir, groupId), [&byId](std::uint32_t id) {
               const auto hit = byId.find(id);
               return hit == byId.end() ? nullptr : hit->second;
           }) >= 0;
}

bool createDeviceRecord(const std::string& dataDir, int modelCode, std::uint32_t groupId,
                        std::uint32_t deviceId, const std::string& name, DeviceRecord& created) {
    DeviceRecord r;
    r.name = cutText(name, field::kName);
    r.deviceId = deviceId;
    r.groupId = groupId;
    r.modelCode = modelCode;
    applyModelDefaults(r, modelCode);
    r.port = 23;
    r.temperatureState = -1;
    r.outletCount = 4;
    r.lastTemperatureState = -1;

    const std::string path = itemFilePath(dataDir, groupId);
    std::string data;
    std::string out = header();
    if (readWholeFile(path, data)) {
        const ItemFileContents contents = splitItemFile(data);
        for (const RawRecord& raw : contents.records) out += copyRecord(raw, contents.version);
    }
    out += formatRecordLines(r);
    if (!replaceFile(path, out)) return false;
    created = r;
    return true;
}

bool deleteDeviceRecord(const std::string& dataDir, std::uint32_t groupId,
                        std::uint32_t deviceId) {
    const std::string path = itemFilePath(dataDir, groupId);
    std::string data;
    if (!readWholeFile(path, data)) return false;
    const ItemFileContents contents = splitItemFile(data);
    std::string out = header();
    std::size_t kept = 0;
    for (const RawRecord& raw : contents.records) {
        if (raw.id == deviceId) continue;
        out += copyRecord(raw, contents.version);
        ++kept;
    }
    if (kept == 0) return removeFile(path);
    return replaceFile(path, out);
}

}  // namespace zelo
