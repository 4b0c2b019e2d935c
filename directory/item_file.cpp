#include "directory/item_file.h"

#include <algorithm>
#include <array>
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

// The first two blank-separated words of a line (empty where there are
// fewer); a record line never holds more that is read.
struct TwoWords {
    std::string_view first, second;
};

TwoWords words(std::string_view line) {
    auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t i = 0;
    auto nextWord = [&]() {
        while (i < line.size() && space(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !space(line[i])) ++i;
        return line.substr(start, i - start);
    };
    TwoWords w;
    w.first = nextWord();
    w.second = nextWord();
    return w;
}

// A field filled from a file: the first `max` bytes of the text, assigned
// in place.
void setCut(std::string& field, std::string_view text, std::size_t max) {
    field.assign(text.data(), std::min(text.size(), max));
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
    std::array<std::string_view, kRecordLines> lines;  // views into the file's data
    int count = 0;
    std::uint32_t id = 0;
};

// The records of an item file's data, one after the other, without copying
// any of it.
class RecordReader {
public:
    explicit RecordReader(std::string_view data) noexcept : reader_(data) {
        if (!reader_.next(line_)) return;
        if (line_.substr(0, kItemFilePrefix.size()) == kItemFilePrefix) {
            version_ = parseCInt(line_.substr(kItemFilePrefix.size()));
            if (!reader_.next(line_)) return;
        }
        more_ = true;
    }
    int version() const noexcept { return version_; }

    // The next record; false after the last one (at the end of the data or
    // at a stop line).
    bool next(RawRecord& r) noexcept {
        if (!more_ || isStopLine(line_)) return false;
        r.count = version_ >= kItemFileVersion ? kRecordLines : kOldRecordLines;
        r.lines[0] = line_;
        for (int i = 1; i < r.count; ++i) {
            std::string_view& next = r.lines[static_cast<std::size_t>(i)];
            if (!reader_.next(next)) next = std::string_view();  // missing lines read as empty
        }
        r.id = parseCHex(r.lines[2]);
        more_ = reader_.next(line_);
        return true;
    }

private:
    LineReader reader_;
    std::string_view line_;
    int version_ = 0;
    bool more_ = false;
};

struct ItemFileContents {
    int version = 0;
    std::vector<RawRecord> records;
};

ItemFileContents splitItemFile(std::string_view data) {
    ItemFileContents contents;
    RecordReader reader(data);
    contents.version = reader.version();
    RawRecord r;
    while (reader.next(r)) contents.records.push_back(r);
    return contents;
}

void fillRecord(DeviceRecord& r, const RawRecord& raw, int version, std::uint32_t groupId) {
    const auto& l = raw.lines;
    setCut(r.name, l[0], field::kName);
    setCut(r.modelName, l[1], field::kModelName);
    r.deviceId = raw.id;
    r.modelCode = parseCInt(l[3]);

    const TwoWords address = words(l[4]);
    const std::string_view first = address.first;
    if (!first.empty() && first[0] == '#') {
        setCut(r.addressText, first.substr(1), field::kAddress);
    } else if (!first.empty()) {
        r.addressText = FormatIp(parseCHex(first));  // older files: the address in hex
    }
    r.port = static_cast<std::uint16_t>(parseCHex(address.second));

    setCut(r.powerText, l[5], field::kStateText);
    setCut(r.scheduleText, l[6], field::kStateText);
    const TwoWords times = words(l[7]);
    r.updateTime = parseCHex(times.first) + parseCHex(times.second);
    setCut(r.macText, l[8], field::kMac);
    if (l[8].size() < 5) r.unitId = parseCHex(l[8]);  // older files kept the unit here

    const TwoWords login = words(l[9]);
    const TwoWords extra = words(l[10]);
    if (isPromptModel(r.modelCode)) {
        setCut(r.password, login.first, field::kPromptLogin);
        setCut(r.loginName, login.second, field::kPromptLogin);
        setCut(r.prompt, extra.first, field::kPrompt);
        setCut(r.selectNumber, extra.second, field::kSelect);
    } else if (isUserLoginModel(r.modelCode)) {
        setCut(r.password, login.first, field::kPassword);
        setCut(r.loginName, login.second, field::kLoginName);
        r.unitId = parseCHex(extra.first);
        setCut(r.systemName, extra.second, field::kSystemName);
    } else {
        // Every model writes its password; keep it for the others too.
        setCut(r.password, login.first, field::kPassword);
    }

    if (version >= kItemFileVersion) {
        setCut(r.pingText, l[12], field::kPingText);
        setCut(r.rebootText, l[13], field::kRebootText);
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
}

// A record carried over unchanged: names within their limits, the rest as
// read. An old record gets the four lines it lacks as they read back for it:
// no ping watch, no reboot list, and no temperature sensor (empty lines there
// would read as a sensor in the normal state at 0 degrees).
void copyRecord(std::string& out, const RawRecord& raw, int version) {
    const auto& l = raw.lines;
    out.append(l[0].data(), std::min(l[0].size(), field::kName)).append(kCrLf);
    out.append(l[1].data(), std::min(l[1].size(), field::kModelName)).append(kCrLf);
    for (int i = 2; i < raw.count; ++i) out.append(l[static_cast<std::size_t>(i)]).append(kCrLf);
    if (version < kItemFileVersion) out += "\r\n\r\n0\r\n-1\r\n";
}

std::string header() { return std::string(kItemFilePrefix) + std::to_string(kItemFileVersion) + kCrLf; }

}  // namespace

std::string itemFilePath(const std::string& dataDir, std::uint32_t groupId) {
    return dataDir + hexUpper(groupId, 8) + ".IDX";
}

std::vector<DeviceRecord> parseItemFile(std::string_view data, std::uint32_t groupId) {
    std::vector<DeviceRecord> out;
    parseItemFile(data, groupId, [&out](DeviceRecord&& r) { out.push_back(std::move(r)); });
    return out;
}

void parseItemFile(std::string_view data, std::uint32_t groupId,
                   const std::function<void(DeviceRecord&&)>& take) {
    RecordReader reader(data);
    RawRecord raw;
    while (reader.next(raw)) {
        DeviceRecord r;
        fillRecord(r, raw, reader.version(), groupId);
        take(std::move(r));
    }
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
            copyRecord(out, raw, contents.version);
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
        for (const RawRecord& raw : contents.records) copyRecord(out, raw, contents.version);
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
        copyRecord(out, raw, contents.version);
        ++kept;
    }
    if (kept == 0) return removeFile(path);
    return replaceFile(path, out);
}

}  // namespace zelo
