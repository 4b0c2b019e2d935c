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

// `v` in upper-case hex with at least `width` digits ("%0*lX").
void appendHex(std::string& out, std::uint32_t v, int width = 0) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = "0123456789ABCDEF"[v & 0xF];
        v >>= 4;
    } while (v != 0);
    if (width > n) out.append(static_cast<std::size_t>(width - n), '0');
    while (n > 0) out += digits[--n];
}

// Ends the line that starts at `begin` of `out`: a text field written as one
// line cannot hold a line end (it would split the record), so any there
// becomes a blank; then CR LF.
void endLine(std::string& out, std::size_t begin) {
    for (std::size_t i = begin; i < out.size(); ++i)
        if (out[i] == '\r' || out[i] == '\n') out[i] = ' ';
    out += kCrLf;
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
        r.addressText = formatIp(parseCHex(first));  // older files: the address in hex
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
void copyRecord(std::string& out, const RawRecord& raw, int version, std::string_view data) {
    const auto& l = raw.lines;
    // Most often the record stands in the file exactly as it is written:
    // every line within its limit and ended by CR LF right before the next.
    // Then it is copied in one piece.
    if (version >= kItemFileVersion && l[0].size() <= field::kName &&
        l[1].size() <= field::kModelName) {
        const char* const dataEnd = data.data() + data.size();
        bool whole = true;
        for (int i = 0; i < raw.count && whole; ++i) {
            const std::string_view line = l[static_cast<std::size_t>(i)];
            const char* end = line.data() + line.size();
            whole = line.data() != nullptr && dataEnd - end >= 2 && end[0] == '\r' &&
                    end[1] == '\n' &&
                    (i + 1 == raw.count || l[static_cast<std::size_t>(i) + 1].data() == end + 2);
        }
        if (whole) {
            const std::string_view last = l[static_cast<std::size_t>(raw.count) - 1];
            out.append(l[0].data(),
                       static_cast<std::size_t>(last.data() + last.size() + 2 - l[0].data()));
            return;
        }
    }
    out.append(l[0].data(), std::min(l[0].size(), field::kName)).append(kCrLf);
    out.append(l[1].data(), std::min(l[1].size(), field::kModelName)).append(kCrLf);
    for (int i = 2; i < raw.count; ++i) out.append(l[static_cast<std::size_t>(i)]).append(kCrLf);
    if (version < kItemFileVersion) out += "\r\n\r\n0\r\n-1\r\n";
}

std::string header() {
    return std::string(kItemFilePrefix) + std::to_string(kItemFileVersion) + kCrLf;
}

}  // namespace

std::string itemFilePath(const std::string& dataDir, std::uint32_t groupId) {
    std::string path = dataDir;
    appendHex(path, groupId, 8);
    return path + ".IDX";
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

void appendRecordLines(std::string& out, const DeviceRecord& r) {
    std::size_t begin = out.size();
    out.append(r.name, 0, field::kName);
    // Reading stops at a record whose first line starts with a control
    // character; such a name must not hide the records after it.
    endLine(out, begin);
    if (isStopLine(std::string_view(out).substr(begin, out.size() - begin - 2)))
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(begin), ' ');
    auto line = [&out](std::string_view text) {
        const std::size_t start = out.size();
        out.append(text);
        endLine(out, start);
    };
    line(std::string_view(r.modelName).substr(0, field::kModelName));
    begin = out.size();
    appendHex(out, r.deviceId);
    endLine(out, begin);
    line(std::to_string(r.modelCode));
    begin = out.size();
    out += '#';
    out += r.addressText;
    out += ' ';
    appendHex(out, r.port);
    endLine(out, begin);
    line(r.powerText);
    line(r.scheduleText);
    begin = out.size();
    out += "00000000 ";
    appendHex(out, r.updateTime, 8);
    endLine(out, begin);
    line(r.macText);
    begin = out.size();
    out += r.password;
    if (isUserLoginModel(r.modelCode)) {
        out += ' ';
        out += r.loginName;
    }
    endLine(out, begin);
    begin = out.size();
    if (isPromptModel(r.modelCode)) {
        out += r.prompt;
        out += ' ';
        out += r.selectNumber;
    } else if (isUserLoginModel(r.modelCode)) {
        appendHex(out, r.unitId);
        out += ' ';
        out += r.systemName;
    }
    endLine(out, begin);
    out += kCrLf;
    line(r.pingText);
    line(r.rebootText);
    line(std::to_string(r.temperature));
    line(std::to_string(r.temperatureState));
}

std::string formatRecordLines(const DeviceRecord& r) {
    std::string out;
    appendRecordLines(out, r);
    return out;
}

std::vector<DeviceRecord> loadItemFile(const std::string& dataDir, std::uint32_t groupId) {
    std::string data;
    if (!readWholeFile(itemFilePath(dataDir, groupId), data)) return {};
    return parseItemFile(data, groupId);
}

// The item file's contents with every record whose id `replacement` knows
// written anew and every other record carried over, into `out`. The
// position of the last replaced record (0 when none), or -1 when the file
// cannot be read.
static long rewrittenItemFile(const std::string& path,
                              const std::function<const DeviceRecord*(std::uint32_t)>& replacement,
                              std::string& out) {
    std::string data;
    if (!readWholeFile(path, data)) return -1;
    const ItemFileContents contents = splitItemFile(data);
    out = header();
    out.reserve(data.size() + 1024);
    long position = 0;
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        const RawRecord& raw = contents.records[i];
        if (const DeviceRecord* r = replacement(raw.id)) {
            position = static_cast<long>(i);
            appendRecordLines(out, *r);
        } else {
            copyRecord(out, raw, contents.version, data);
        }
    }
    return position;
}

long saveDeviceRecord(const std::string& dataDir, std::uint32_t groupId,
                      const DeviceRecord& record) {
    std::string out;
    const long position = rewrittenItemFile(
        itemFilePath(dataDir, groupId),
        [&record](std::uint32_t id) { return id == record.deviceId ? &record : nullptr; }, out);
    return position >= 0 && replaceFile(itemFilePath(dataDir, groupId), out) ? position : -1;
}

bool rewriteDeviceRecords(const std::string& dataDir, std::uint32_t groupId,
                          const std::vector<const DeviceRecord*>& records, std::string& contents) {
    std::unordered_map<std::uint32_t, const DeviceRecord*> byId;
    byId.reserve(records.size());
    for (const DeviceRecord* r : records) byId[r->deviceId] = r;
    return rewrittenItemFile(
               itemFilePath(dataDir, groupId),
               [&byId](std::uint32_t id) {
                   const auto hit = byId.find(id);
                   return hit == byId.end() ? nullptr : hit->second;
               },
               contents) >= 0;
}

bool saveDeviceRecords(const std::string& dataDir, std::uint32_t groupId,
                       const std::vector<const DeviceRecord*>& records) {
    std::string contents;
    return rewriteDeviceRecords(dataDir, groupId, records, contents) &&
           replaceFile(itemFilePath(dataDir, groupId), contents);
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
        for (const RawRecord& raw : contents.records) copyRecord(out, raw, contents.version, data);
    }
    out += formatRecordLines(r);
    if (!replaceFile(path, out)) return false;
    created = r;
    return true;
}

bool deleteDeviceRecord(const std::string& dataDir, std::uint32_t groupId, std::uint32_t deviceId) {
    const std::string path = itemFilePath(dataDir, groupId);
    std::string data;
    if (!readWholeFile(path, data)) return false;
    const ItemFileContents contents = splitItemFile(data);
    std::string out = header();
    std::size_t kept = 0;
    for (const RawRecord& raw : contents.records) {
        if (raw.id == deviceId) continue;
        copyRecord(out, raw, contents.version, data);
        ++kept;
    }
    if (kept == 0) return removeFile(path);
    return replaceFile(path, out);
}

}  // namespace zelo
