// Any bytes as an item file: parsed from memory, the first records written
// back and read again. Every fourth input by length is also put on disk and
// changed through one of the record rewrites (save one record, delete one,
// add one: the length picks), the result read back and compared with what
// the rewrite promises. The file work costs twice what the rest does, so it
// is kept to a share of the inputs.
//
// What a write-back keeps: a record is rewritten from its fields, so
//  - a line end inside a text field becomes a blank (a CR can stand inside a
//    line as read; the outlet count follows the changed power text);
//  - the prompt models' login line holds the password only: a second word
//    read there (older files) is not written again.
// Everything else reads back as it was parsed, and the written text is a
// fixed point: parsing and formatting it again gives the same bytes. A record
// is written alone, so the first eight show it as well as all would, and a
// kilobyte of short records costs no more than a few full ones.
// A record carried over by a rewrite keeps its lines (one from a file before
// version 2 gets the four newer lines as a record without a sensor has them)
// and reads back as it was parsed.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "directory/item_file.h"
#include "directory/model_table.h"
#include "fuzz/scratch_dir.h"

namespace {

using namespace zelo;
using fuzz::check;

constexpr std::uint32_t kGroup = 0x1A;
constexpr std::size_t kWrittenBack = 8;

std::string header() {
    return std::string(kItemFilePrefix) + std::to_string(kItemFileVersion) + "\r\n";
}

std::string formatAll(const std::vector<DeviceRecord>& records) {
    std::string out = header();
    for (const DeviceRecord& r : records) out += formatRecordLines(r);
    return out;
}

void blankLineEnds(std::string& text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
}

// The record as reading its written lines gives it back.
DeviceRecord asWritten(DeviceRecord r) {
    for (std::string* text : {&r.name, &r.modelName, &r.powerText, &r.scheduleText, &r.macText,
                              &r.pingText, &r.rebootText})
        blankLineEnds(*text);
    if (isPromptModel(r.modelCode)) r.loginName.clear();
    r.outletCount = outletCountFromPowerText(r.powerText);
    copyToLastLogged(r);
    r.lastMasterState = 0;
    return r;
}

void checkSame(const std::vector<DeviceRecord>& got, const std::vector<DeviceRecord>& expected,
               const char* what) {
    check(got.size() == expected.size(), what);
    for (std::size_t i = 0; i < got.size(); ++i) check(got[i] == expected[i], what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<DeviceRecord> records = parseItemFile(text, kGroup);

    // In memory: the first records written back and read again.
    std::vector<DeviceRecord> first, expected;
    for (const DeviceRecord& r : records) {
        check(r.groupId == kGroup, "group id set");
        check(r.outletCount >= 1 && r.outletCount <= kMaxOutlets, "outlet count within 1..8");
        check(r.name.size() <= field::kName && !r.name.empty(), "name present and cut");
        if (first.size() == kWrittenBack) continue;
        first.push_back(r);
        expected.push_back(asWritten(r));
    }
    const std::string written = formatAll(first);
    const std::vector<DeviceRecord> back = parseItemFile(written, kGroup);
    checkSame(back, expected, "written records read back as parsed");
    check(formatAll(back) == written, "written text is a fixed point");

    // On disk.
    if (size % 4 != 0) return 0;
    const std::string& dir = fuzz::scratchDir("item-file");
    const std::string path = itemFilePath(dir, kGroup);
    fuzz::writeBytes(path, text);
    std::vector<DeviceRecord> now;
    switch (size / 4 % 3) {
        case 0: {
            // Saving the last record rewrites every record with its id and
            // carries the others over; with no record there is nothing to
            // replace.
            const DeviceRecord last = records.empty() ? DeviceRecord{} : records.back();
            check(saveDeviceRecord(dir, kGroup, last) ==
                      static_cast<long>(records.empty() ? 0 : records.size() - 1),
                  "save reports the last record's position");
            for (const DeviceRecord& r : records)
                now.push_back(r.deviceId == last.deviceId ? asWritten(last) : r);
            break;
        }
        case 1: {
            // Deleting the first record's id drops every record with it; the
            // file goes with the last.
            const std::uint32_t gone = records.empty() ? 0 : records.front().deviceId;
            check(deleteDeviceRecord(dir, kGroup, gone), "delete succeeds");
            for (const DeviceRecord& r : records)
                if (r.deviceId != gone) now.push_back(r);
            std::error_code ec;
            check(std::filesystem::exists(path, ec) == !now.empty(),
                  "the last delete removes the file");
            break;
        }
        default: {
            // A new record goes to the end.
            DeviceRecord created;
            check(createDeviceRecord(dir, 3 + static_cast<int>(size / 12 % 11), kGroup, 0x7FFFFFFF,
                                     "new", created),
                  "create succeeds");
            now = records;
            now.push_back(asWritten(created));
            break;
        }
    }
    checkSame(loadItemFile(dir, kGroup), now, "the rewrite keeps what it promises");
    return 0;
}
