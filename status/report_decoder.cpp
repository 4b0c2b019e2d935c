#include "status/report_decoder.h"

namespace zelo {
namespace {

// Element types of the element report.
constexpr std::uint16_t kElementFiller = 0x0000;
constexpr std::uint16_t kElementMac = 0x0001;
constexpr std::uint16_t kElementMaster = 0x0100;
constexpr std::uint16_t kElementOutlets = 0x0110;
constexpr std::uint16_t kElementSchedule = 0x0200;
constexpr std::uint16_t kElementPing = 0x0801;
constexpr std::uint16_t kElementTemperature = 0x0802;

// Table report of the older line.
constexpr std::size_t kTableLength = 240;
constexpr std::uint16_t kTableMarker = 224;
constexpr std::size_t kTableOutlets = 48;
constexpr std::size_t kTableOutletSize = 48;
// Short report of the older line.
constexpr std::size_t kShortLength = 30;
constexpr std::size_t kShortOutlets = 6;
constexpr std::size_t kShortOutletSize = 6;

constexpr std::size_t kPingCompactLength = 142;
constexpr std::size_t kTemperatureShortLength = 32;
constexpr std::size_t kTemperatureBlock = 28;

std::uint16_t be16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
std::uint16_t le16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t addWord(std::uint32_t sum, std::uint32_t word) noexcept {
    sum += 0xFFFFu - word;
    return (sum + (sum >> 16)) & 0xFFFFu;
}

std::uint32_t addWords(std::uint32_t sum, const std::uint8_t* data, std::size_t length) noexcept {
    std::size_t i = 0;
    for (; i + 1 < length; i += 2) sum = addWord(sum, be16(data + i));
    if (i < length) sum = addWord(sum, static_cast<std::uint32_t>(data[i]) << 8);
    return sum;
}

// The checksum of a report of even length with its checksum word taken as
// zero, as the sender computed it.
std::uint16_t checksumWithoutField(const std::uint8_t* data, std::size_t count) noexcept {
    std::uint32_t sum = addWords(0, data, 6);
    sum = addWord(sum, 0);
    return static_cast<std::uint16_t>(addWords(sum, data + 8, count - 8));
}

std::optional<DecodedReport> decodeOlder(const std::uint8_t* data, std::size_t count) {
    const bool table = count == kTableLength && data[3] == 1 && be16(data + 8) == kTableMarker;
    if (!table && be16(data) != 1) return std::nullopt;
    if (!table && count < kShortLength) return std::nullopt;  // fields past the end
    DecodedReport report;
    report.layout = table ? ReportLayout::Table : ReportLayout::Short;
    report.unitId = table ? le16(data + 10) : le16(data + 4);
    for (std::size_t i = 0; i < std::size_t(kOlderLineOutlets); ++i) {
        int code;
        if (table) {
            const std::uint8_t* e = data + kTableOutlets + kTableOutletSize * i;
            const std::uint8_t output = e[1], mode = e[2];
            if (output)
                code = mode == 1 ? 1 : mode == 2 ? 2 : 5;
            else
                code = mode == 2 ? 2 : mode == 3 ? 5 : 0;
        } else {
            const std::uint8_t* e = data + kShortOutlets + kShortOutletSize * i;
            const bool output = be16(e + 2) != 0, pending = be16(e + 4) != 0;
            code = output && pending ? 2 : output ? 1 : pending ? 5 : 0;
        }
        report.unitOutlets[i] = code;
    }
    return report;
}

// One known element at `e`, `length` bytes long by its own word, with
// `room` bytes of the datagram from `e` on; nothing when a field lies past
// them or the length breaks its element's rule.
std::optional<ReportElement> decodeElement(std::uint16_t type, const std::uint8_t* e,
                                           std::size_t length, std::size_t room) {
    // Fields may lie beyond the element's own length: only the datagram's
    // end bounds them.
    auto fits = [room](std::uint64_t end) { return end <= room; };
    switch (type) {
        case kElementMac: {
            if (!fits(12)) return std::nullopt;
            MacElement m;
            for (std::size_t i = 0; i < 6; ++i) m.mac[i] = e[6 + i];
            return m;
        }
        case kElementMaster:
            if (!fits(6)) return std::nullopt;
            return MasterElement{be16(e + 4)};
        case kElementOutlets: {
            if (!fits(6)) return std::nullopt;
            OutletsElement o;
            o.count = be16(e + 4);
            if (length != 6 * std::size_t(o.count) + 6) return std::nullopt;
            for (std::size_t i = 0; i < o.kept(); ++i)
                o.outlets[i] = {be16(e + 6 + 6 * i), be16(e + 8 + 6 * i) != 0};
            return o;
        }
        case kElementSchedule: {
            if (!fits(6)) return std::nullopt;
            ScheduleElement s;
            s.count = be16(e + 4);
            if (length != 4 * std::size_t(s.count) + 6) return std::nullopt;
            for (std::size_t i = 0; i < s.kept(); ++i) s.scheduled[i] = be16(e + 6 + 4 * i) != 0;
            return s;
        }
        case kElementPing: {
            if (!fits(6)) return std::nullopt;
            const std::uint64_t n = be16(e + 4);
            std::uint64_t k = 4, first = 6;
            if (length != kPingCompactLength) {
                if (!fits(8)) return std::nullopt;
                k = be16(e + 6);
                first = 8;
            }
            const std::uint64_t entrySize = 18 + 4 * k;
            // The last entry's reboot count is the furthest read.
            if (n > 0 && !fits(first + (n - 1) * entrySize + 18)) return std::nullopt;
            PingElement p;
            p.entries.reserve(n);
            for (std::uint64_t i = 0; i < n; ++i) {
                const std::uint8_t* entry = e + first + i * entrySize;
                p.entries.push_back({be16(entry + 2), be16(entry + 16)});
            }
            return p;
        }
        case kElementTemperature: {
            const std::size_t block = length == kTemperatureShortLength ? 4 : 6;
            if (!fits(block + kTemperatureBlock)) return std::nullopt;
            const std::uint8_t* b = e + block;
            return TemperatureElement{b[0] != 0, b[24], static_cast<std::int16_t>(be16(b + 26))};
        }
        default:
            return std::nullopt;
    }
}

bool isKnownElement(std::uint16_t type) noexcept {
    return type == kElementMac || type == kElementMaster || type == kElementOutlets ||
           type == kElementSchedule || type == kElementPing || type == kElementTemperature;
}

std::optional<DecodedReport> decodeElements(const std::uint8_t* data, std::size_t count) {
    const std::size_t total = be16(data + 2);
    if (total != count || (total & 1)) return std::nullopt;
    if (checksumWithoutField(data, count) != be16(data + 6)) return std::nullopt;

    DecodedReport report;
    report.layout = ReportLayout::Element;
    report.elements.reserve(6);  // one of each kind, as devices send them
    // The walk as devices expect it: each element takes its length plus 2
    // from the count, a filler word takes 2 without moving on, and the
    // position moves by the length rounded down to even. Devices end their
    // reports with filler words so that the count reaches every element.
    std::size_t pos = 8;
    long remaining = static_cast<long>(total) - 8;
    while (remaining >= 0) {
        if (pos + 2 > count) return std::nullopt;
        const std::uint16_t type = be16(data + pos);
        if (type == kElementFiller) {
            remaining -= 2;
            continue;
        }
        if (pos + 4 > count) return std::nullopt;
        const std::size_t length = be16(data + pos + 2);
        if (pos + length > count) return std::nullopt;
        if (isKnownElement(type)) {
            auto element = decodeElement(type, data + pos, length, count - pos);
            if (!element) return std::nullopt;
            report.elements.push_back(std::move(*element));
        }
        pos += length & ~std::size_t(1);
        remaining -= static_cast<long>(length) + 2;
    }
    return report;
}

}  // namespace

std::uint16_t reportChecksum(const std::uint8_t* data, std::size_t length) noexcept {
    return static_cast<std::uint16_t>(addWords(0, data, length));
}

std::optional<DecodedReport> decodeReport(const std::uint8_t* data, std::size_t count) {
    if (count < kMinReportBytes || count > kMaxReportBytes) return std::nullopt;
    switch (be16(data) >> 8) {
        case 0x00:
            return decodeOlder(data, count);
        case 0x01:
            return decodeElements(data, count);
        default:
            return std::nullopt;
    }
}

}  // namespace zelo
