#pragma once
// Status report datagrams built byte by byte from their layouts, for the
// decoder's tests, with a checksum computed on its own terms (all
// complements summed, carries folded at the end); and what the decoder takes
// from a datagram, as text.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "status/report_decoder.h"

namespace zelo::test {

using Bytes = std::vector<std::uint8_t>;
using Pairs = std::vector<std::pair<unsigned, unsigned>>;

inline void putBe16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

// Computes the checksum word (again, after a test has changed bytes on purpose).
inline void resum(Bytes& b) {
    std::uint64_t sum = 0;
    b[6] = b[7] = 0;
    for (std::size_t i = 0; i < b.size(); i += 2)
        sum += 0xFFFFu - ((unsigned(b[i]) << 8) | (i + 1 < b.size() ? b[i + 1] : 0u));
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    b[6] = static_cast<std::uint8_t>(sum >> 8);
    b[7] = static_cast<std::uint8_t>(sum & 0xFF);
}

struct PingEntry {
    unsigned state, reboots;
};

class ElementReport {
public:
    ElementReport& mac(const std::string& hex12) {
        words({0x0001, 12, 0});
        for (std::size_t i = 0; i < 12; i += 2)
            body_.push_back(std::uint8_t(std::stoul(hex12.substr(i, 2), nullptr, 16)));
        return *this;
    }
    ElementReport& master(unsigned state) { return words({0x0100, 6, state}); }
    // (state code, output flag) per outlet; `length` 0: the right one.
    ElementReport& outlets(const Pairs& entries, unsigned length = 0, int countOverride = -1) {
        const unsigned n = unsigned(entries.size());
        words({0x0110, length ? length : 6 * n + 6,
               countOverride >= 0 ? unsigned(countOverride) : n});
        for (const auto& [state, output] : entries)
            body({state, output, 0xABCD});  // the third not examined
        return *this;
    }
    ElementReport& schedule(const std::vector<unsigned>& flags, unsigned length = 0) {
        words({0x0200, length ? length : 4 * unsigned(flags.size()) + 6, unsigned(flags.size())});
        for (unsigned f : flags) body({f, 0x5555});
        return *this;
    }
    // The 142-byte form: four entries of 34 bytes, no per-entry count word.
    ElementReport& pingCompact(const std::vector<PingEntry>& four) {
        words({0x0801, 142, unsigned(four.size())});
        for (const PingEntry& p : four) pingEntry(p, 4);
        return *this;
    }
    // The general form: n, k, then entries of 18 + 4k bytes. `claimed` overrides n.
    ElementReport& pingFull(unsigned k, const std::vector<PingEntry>& entries, int claimed = -1) {
        const unsigned n = unsigned(entries.size());
        words({0x0801, 8 + n * (18 + 4 * k), claimed >= 0 ? unsigned(claimed) : n, k});
        for (const PingEntry& p : entries) pingEntry(p, k);
        return *this;
    }
    // The 32-byte form: the block at 4.
    ElementReport& temperature(bool sensor, unsigned state, int hundredths) {
        words({0x0802, 32u});
        Bytes block(28, 0x11);
        block[0] = sensor ? 1 : 0;
        block[24] = std::uint8_t(state);
        block[26] = std::uint8_t((unsigned(hundredths) >> 8) & 0xFF),
        block[27] = std::uint8_t(hundredths & 0xFF);
        return raw(block);
    }
    ElementReport& unknown(unsigned type, unsigned length) {
        return words({type, length}).raw(Bytes(length - 4, 0xEE));
    }
    ElementReport& raw(const Bytes& bytes) {
        body_.insert(body_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // Zero filler words added by build(), per element (devices send at least
    // one word per element so that the walk reaches every element).
    ElementReport& fillerWords(int perElement) {
        filler_ = perElement;
        return *this;
    }
    // The datagram: version word 0x01nn, total length, a word not examined,
    // checksum, the elements, the filler.
    Bytes build() const {
        Bytes b;
        for (unsigned w : {0x0102u, 0u, 0x1234u, 0u}) putBe16(b, w);
        b.insert(b.end(), body_.begin(), body_.end());
        for (int i = 0; i < elements_ * filler_; ++i) putBe16(b, 0);
        b[2] = std::uint8_t(b.size() >> 8), b[3] = std::uint8_t(b.size() & 0xFF);
        resum(b);
        return b;
    }

private:
    ElementReport& words(std::initializer_list<unsigned> head) {
        ++elements_;
        return body(head);
    }  // its first
    ElementReport& body(std::initializer_list<unsigned> ws) {
        for (unsigned w : ws) putBe16(body_, w);
        return *this;
    }
    void pingEntry(const PingEntry& p, unsigned k) {
        Bytes e(18 + 4 * k, 0x22);
        e[2] = std::uint8_t(p.state >> 8), e[3] = std::uint8_t(p.state & 0xFF);
        e[16] = std::uint8_t(p.reboots >> 8), e[17] = std::uint8_t(p.reboots & 0xFF);
        raw(e);
    }
    Bytes body_;
    int elements_ = 0, filler_ = 1;
};

// Table report (older line): 240 bytes, unit number little-endian at 10,
// four 48-byte outlet entries from 48 with output flag at 1, mode at 2.
inline Bytes tableReport(unsigned unit, const Pairs& outMode) {
    Bytes b(240, 0x00);
    b[1] = 0x07, b[3] = 1, b[9] = 224;
    b[10] = std::uint8_t(unit & 0xFF), b[11] = std::uint8_t(unit >> 8);
    for (std::size_t i = 0; i < outMode.size(); ++i)
        b[48 + 48 * i + 1] = std::uint8_t(outMode[i].first),
                        b[48 + 48 * i + 2] = std::uint8_t(outMode[i].second);
    return b;
}

// Short report (older line): word 1, unit little-endian at 4, four 6-byte
// entries from 6: a word not examined, output flag, pending flag.
inline Bytes shortReport(unsigned unit, const Pairs& outPending) {
    Bytes b{0, 1, 0x99, 0x99, std::uint8_t(unit & 0xFF), std::uint8_t(unit >> 8)};
    for (const auto& [output, pending] : outPending)
        for (unsigned w : {0x4444u, output, pending}) putBe16(b, w);
    return b;
}

// "rejected"; "unit=N outlets=..." for the older layouts; else the known
// elements in order: "mac:HEX master:N outlets:STATES schedule:FLAGS
// ping:STATE/REBOOTS,... temp:SENSOR/STATE/HUNDREDTHS".
inline std::string describe(const Bytes& d) {
    const auto r = decodeReport(d.data(), d.size());
    if (!r) return "rejected";
    std::string out =
        r->layout == ReportLayout::Element ? "" : "unit=" + std::to_string(r->unitId) + " outlets=";
    for (int o : r->unitOutlets) out += r->layout == ReportLayout::Element ? "" : std::to_string(o);
    for (const ReportElement& element : r->elements) {
        std::visit(
            [&out](const auto& e) {
                using E = std::decay_t<decltype(e)>;
                if constexpr (std::is_same_v<E, MacElement>) {
                    out += "mac:";
                    for (std::uint8_t b : e.mac)
                        out += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
                } else if constexpr (std::is_same_v<E, MasterElement>) {
                    out += "master:" + std::to_string(e.state);
                } else if constexpr (std::is_same_v<E, OutletsElement>) {
                    out += "outlets:";
                    for (std::size_t i = 0; i < e.kept(); ++i)
                        out += std::to_string(e.outlets[i].state());
                } else if constexpr (std::is_same_v<E, ScheduleElement>) {
                    out += "schedule:";
                    for (std::size_t i = 0; i < e.kept(); ++i) out += e.scheduled[i] ? '1' : '0';
                } else if constexpr (std::is_same_v<E, PingElement>) {
                    out += "ping:";
                    for (const auto& p : e.entries)
                        out += std::to_string(p.state) + "/" + std::to_string(p.reboots) + ",";
                } else {
                    out += "temp:" + std::to_string(e.sensor) + "/" + std::to_string(e.state) +
                           "/" + std::to_string(e.temperature);
                }
                out += " ";
            },
            element);
    }
    return out;
}

}  // namespace zelo::test
