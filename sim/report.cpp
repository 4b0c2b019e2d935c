#include "sim/report.h"

#include <algorithm>

namespace zelo::sim {
namespace {

void put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
}
void set16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    put16(b, static_cast<std::uint16_t>(v >> 16));
    put16(b, static_cast<std::uint16_t>(v & 0xFFFF));
}
std::uint16_t get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

// An element: type, length (whole element), body.
void putElement(std::vector<std::uint8_t>& b, std::uint16_t type,
                const std::vector<std::uint8_t>& body) {
    put16(b, type);
    put16(b, static_cast<std::uint16_t>(body.size() + 4));
    b.insert(b.end(), body.begin(), body.end());
}

bool outputLive(int state) {
    return state == 1 || state == 2 || state == 4 || state == 6;
}

void sealElementReport(std::vector<std::uint8_t>& b) {
    set16(b, 2, static_cast<std::uint16_t>(b.size()));
    set16(b, 6, 0);
    set16(b, 6, ReportChecksum(b.data(), b.size()));
}

}  // namespace

std::uint16_t ReportChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; i += 2) {
        std::uint32_t word = static_cast<std::uint32_t>(data[i]) << 8;
        if (i + 1 < length) word |= data[i + 1];
        sum += 0xFFFFu - word;
        sum = (sum + (sum >> 16)) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(sum);
}

std::vector<std::uint8_t> EncodeElementReport(const ReportState& s) {
    std::vector<std::uint8_t> b;
    put16(b, 0x0101);      // version word
    put16(b, 0);           // total length, sealed below
    put16(b, s.sequence);  // running number
    put16(b, 0);           // checksum, sealed below
    int elements = 0;

    {  // identification first: the station matches the unit by it
        std::vector<std::uint8_t> body;
        put16(body, 6);
        for (int i = 0; i < 6; ++i) {
            body.push_back(
                static_cast<std::uint8_t>(std::stoi(s.mac.substr(2 * i, 2), nullptr, 16)));
        }
        putElement(b, kElemMac, body);
        ++elements;
    }
    if (s.master) {
        std::vector<std::uint8_t> body;
        put16(body, static_cast<std::uint16_t>(s.masterState));
        putElement(b, kElemMaster, body);
        ++elements;
    }
    {
        std::vector<std::uint8_t> body;
        put16(body, static_cast<std::uint16_t>(s.outlets.size()));
        for (const auto& o : s.outlets) {
            put16(body, static_cast<std::uint16_t>(o.state));
            put16(body, outputLive(o.state) ? 1 : 0);
            put16(body, static_cast<std::uint16_t>(std::min(o.remainingSeconds, 0xFFFF)));
        }
        putElement(b, kElemOutlets, body);  // length 6n + 6
        ++elements;
    }
    if (!s.schedule.empty()) {
        std::vector<std::uint8_t> body;
        put16(body, static_cast<std::uint16_t>(s.schedule.size()));
        for (bool on : s.schedule) {
            put16(body, on ? 1 : 0);
            put16(body, 0);
        }
        putElement(b, kElemSchedule, body);  // length 4n + 6
        ++elements;
    }
    if (!s.ping.empty()) {
        // The compact form (length 142) carries exactly four entries with
        // four addresses each and no address-count word.
        const bool compact = s.pingCompact && s.ping.size() == 4;
        const int k = compact ? 4 : 1;
        std::vector<std::uint8_t> body;
        put16(body, static_cast<std::uint16_t>(s.ping.size()));
        if (!compact) put16(body, static_cast<std::uint16_t>(k));
        for (std::size_t i = 0; i < s.ping.size(); ++i) {
            const auto& p = s.ping[i];
            put16(body, static_cast<std::uint16_t>(i + 1));      // entry number
            put16(body, static_cast<std::uint16_t>(p.state));    // watch state
            put16(body, static_cast<std::uint16_t>(i % 8 + 1));  // watched outlet
            put16(body, 10);                                     // ping interval, seconds
            put16(body, 3);                                      // pings per round
            put16(body, 3);                                      // missed answers before acting
            put16(body, p.state == 0 || p.state == 1 || p.state == 3 ? 0 : 3);  // misses now
            put16(body, 1);                                                     // action: reboot
            put16(body, static_cast<std::uint16_t>(p.reboots));
            put32(body, p.host);
            for (int a = 1; a < k; ++a) put32(body, 0);
        }
        putElement(b, kElemPing, body);
        ++elements;
    }
    {
        std::vector<std::uint8_t> body;
        if (!s.temperatureShortForm) put16(body, 1);  // sensor count
        std::vector<std::uint8_t> block(28, 0);
        block[0] = s.sensor ? 1 : 0;
        auto setBlock16 = [&](std::size_t at, int v) {
            block[at] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
            block[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
        };
        setBlock16(2, 3500);  // upper warning
        setBlock16(4, 4000);  // upper alarm
        setBlock16(6, 500);   // lower warning
        setBlock16(8, 0);     // lower alarm
        block[24] = static_cast<std::uint8_t>(s.temperatureState);
        setBlock16(26, s.temperature);
        body.insert(body.end(), block.begin(), block.end());
        putElement(b, kElemTemperature, body);  // length 32 or 34
        ++elements;
    }
    // The station's walk takes two bytes more than each element's length
    // from what remains; one zero word per element lets it reach them all.
    for (int i = 0; i < elements; ++i) put16(b, kElemFiller);
    sealElementReport(b);
    return b;
}

std::vector<std::uint8_t> EncodeTableReport(const ReportState& s) {
    std::vector<std::uint8_t> b(240, 0);
    b[0] = 0x00;
    b[1] = 0x02;  // layout revision
    b[2] = 0x00;
    b[3] = 0x01;
    b[4] = static_cast<std::uint8_t>(s.sequence >> 8);
    b[5] = static_cast<std::uint8_t>(s.sequence & 0xFF);
    set16(b, 8, 224);                                  // bytes after the 16-byte head
    b[10] = static_cast<std::uint8_t>(s.unit & 0xFF);  // unit number, low byte first
    b[11] = static_cast<std::uint8_t>((s.unit >> 8) & 0xFF);
    b[12] = static_cast<std::uint8_t>(s.model);
    b[13] = static_cast<std::uint8_t>(s.outlets.size());
    std::copy_n(s.systemName.begin(), std::min<std::size_t>(s.systemName.size(), 31),
                b.begin() + 16);
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t at = 48 + 48 * i;
        b[at] = static_cast<std::uint8_t>(i + 1);
        if (i >= s.outlets.size()) continue;
        const int state = s.outlets[i].state;
        // mode: 1 steady on, 2 switch-off running, 3 switch-on running, 0 steady off
        b[at + 1] = outputLive(state) ? 1 : 0;
        b[at + 2] = state == 2 ? 2 : state == 5 ? 3 : outputLive(state) ? 1 : 0;
        b[at + 4] = static_cast<std::uint8_t>(std::min(s.outlets[i].remainingSeconds, 255));
    }
    return b;
}

std::vector<std::uint8_t> EncodeShortReport(const ReportState& s) {
    std::vector<std::uint8_t> b;
    put16(b, 1);
    put16(b, s.sequence);
    b.push_back(static_cast<std::uint8_t>(s.unit & 0xFF));  // unit number, low byte first
    b.push_back(static_cast<std::uint8_t>((s.unit >> 8) & 0xFF));
    for (std::size_t i = 0; i < 4; ++i) {
        const int state = i < s.outlets.size() ? s.outlets[i].state : 0;
        put16(b, static_cast<std::uint16_t>(i + 1));
        put16(b, outputLive(state) ? 1 : 0);
        put16(b, state == 2 || state == 5 ? 1 : 0);  // a delay is running
    }
    return b;  // 30 bytes
}

std::vector<std::uint8_t> EncodeReport(ReportLayout layout, const ReportState& s) {
    switch (layout) {
        case ReportLayout::Element:
            return EncodeElementReport(s);
        case ReportLayout::Table:
            return EncodeTableReport(s);
        case ReportLayout::Short:
            return EncodeShortReport(s);
        case ReportLayout::None:
            break;
    }
    return {};
}

void ApplyReportFault(std::vector<std::uint8_t>& b, ReportLayout layout, const std::string& fault) {
    if (fault.empty() || b.size() < 8) return;
    const bool element = layout == ReportLayout::Element;
    if (fault == "bad-checksum") {
        // The older layouts carry no checksum; they go out unchanged.
        if (element) set16(b, 6, static_cast<std::uint16_t>(get16(b, 6) ^ 0x0101));
    } else if (fault == "wrong-length") {
        if (element) {
            set16(b, 2, static_cast<std::uint16_t>(b.size() + 2));
            set16(b, 6, 0);
            set16(b, 6, ReportChecksum(b.data(), b.size()));
        } else {
            b.resize(b.size() == 240 ? 238 : 20);
        }
    } else if (fault == "odd-length") {
        b.push_back(0);
        if (element) sealElementReport(b);
    } else if (fault == "truncated") {
        if (element) {
            // Keep the identification and cut the element after it short,
            // so that it claims more bytes than the datagram holds. The walk
            // still reaches it: only one element comes before it.
            const std::size_t second = 8 + get16(b, 10);
            b.resize(std::min(b.size(), second + 4));
            sealElementReport(b);
        } else {
            b.resize(b.size() == 240 ? 120 : 12);
        }
    } else if (fault == "unknown-layout") {
        b[0] = element ? 0x02 : 0x05;
        if (element) sealElementReport(b);
    }
}

}  // namespace zelo::sim
