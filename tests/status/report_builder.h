#pragma once
// Status report datagrams built byte by byte from their layouts, for the
// decoder's tests. The checksum is computed here on its own terms (all
// complements summed, carries folded at the end), not with the decoder's.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zelo::test {

using Bytes = std::vector<std::uint8_t>;

inline void putBe16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

inline std::uint16_t foldedChecksum(const Bytes& b) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        const unsigned hi = b[i], lo = i + 1 < b.size() ? b[i + 1] : 0;
        sum += 0xFFFFu - ((hi << 8) | lo);
    }
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(sum);
}

struct PingEntry {
    unsigned state;
    unsigned reboots;
};

class ElementReport {
public:
    ElementReport& mac(const std::string& hex12) {
        putBe16(body_, 0x0001);
        putBe16(body_, 12);
        putBe16(body_, 0);
        for (std::size_t i = 0; i < 12; i += 2)
            body_.push_back(static_cast<std::uint8_t>(std::stoul(hex12.substr(i, 2), nullptr, 16)));
        return element();
    }
    ElementReport& master(unsigned state) {
        putBe16(body_, 0x0100);
        putBe16(body_, 6);
        putBe16(body_, state);
        return element();
    }
    // (state code, output flag) per outlet; `length` 0: the right one.
    ElementReport& outlets(const std::vector<std::pair<unsigned, unsigned>>& entries,
                           unsigned length = 0, int countOverride = -1) {
        const unsigned n = countOverride >= 0 ? unsigned(countOverride) : unsigned(entries.size());
        putBe16(body_, 0x0110);
        putBe16(body_, length ? length : 6 * unsigned(entries.size()) + 6);
        putBe16(body_, n);
        for (const auto& [state, output] : entries) {
            putBe16(body_, state);
            putBe16(body_, output);
            putBe16(body_, 0xABCD);  // not examined
        }
        return element();
    }
    ElementReport& schedule(const std::vector<unsigned>& flags, unsigned length = 0) {
        putBe16(body_, 0x0200);
        putBe16(body_, length ? length : 4 * unsigned(flags.size()) + 6);
        putBe16(body_, unsigned(flags.size()));
        for (unsigned f : flags) {
            putBe16(body_, f);
            putBe16(body_, 0x5555);
        }
        return element();
    }
    // The 142-byte form: four entries of 34 bytes, no per-entry count word.
    ElementReport& pingCompact(const std::vector<PingEntry>& four) {
        putBe16(body_, 0x0801);
        putBe16(body_, 142);
        putBe16(body_, unsigned(four.size()));
        for (const PingEntry& p : four) pingEntry(p, 4);
        return element();
    }
    // The general form: n, k, then entries of 18 + 4k bytes. `claimed`
    // overrides n.
    ElementReport& pingFull(unsigned k, const std::vector<PingEntry>& entries, int claimed = -1) {
        putBe16(body_, 0x0801);
        putBe16(body_, 8 + unsigned(entries.size()) * (18 + 4 * k));
        putBe16(body_, claimed >= 0 ? unsigned(claimed) : unsigned(entries.size()));
        putBe16(body_, k);
        for (const PingEntry& p : entries) pingEntry(p, k);
        return element();
    }
    // 32-byte form: the block at 4; otherwise 34 bytes with the block at 6.
    ElementReport& temperature(bool sensor, unsigned state, int hundredths, bool shortForm = true) {
        putBe16(body_, 0x0802);
        putBe16(body_, shortForm ? 32 : 34);
        if (!shortForm) putBe16(body_, 0x7777);
        Bytes block(28, 0x11);
        block[0] = sensor ? 1 : 0;
        block[24] = static_cast<std::uint8_t>(state);
        block[26] = static_cast<std::uint8_t>((unsigned(hundredths) >> 8) & 0xFF);
        block[27] = static_cast<std::uint8_t>(unsigned(hundredths) & 0xFF);
        body_.insert(body_.end(), block.begin(), block.end());
        return element();
    }
    ElementReport& unknown(unsigned type, unsigned length) {
        putBe16(body_, type);
        putBe16(body_, length);
        for (unsigned i = 4; i < length; ++i) body_.push_back(0xEE);
        return element();
    }
    ElementReport& raw(const Bytes& bytes) {
        body_.insert(body_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // Zero filler words added by build(), per element (devices send at least
    // one word per element so that the walk reaches every element).
    ElementReport& fillerWords(int perElement) {
        fillerPerElement_ = perElement;
        return *this;
    }

    // The datagram: version word 0x01nn, total length, a word not examined,
    // checksum, the elements, the filler.
    Bytes build() const {
        Bytes b;
        putBe16(b, 0x0102);
        putBe16(b, 0);
        putBe16(b, 0x1234);
        putBe16(b, 0);
        b.insert(b.end(), body_.begin(), body_.end());
        for (int i = 0; i < elements_ * fillerPerElement_; ++i) putBe16(b, 0);
        b[2] = static_cast<std::uint8_t>(b.size() >> 8);
        b[3] = static_cast<std::uint8_t>(b.size() & 0xFF);
        const std::uint16_t sum = foldedChecksum(b);
        b[6] = static_cast<std::uint8_t>(sum >> 8);
        b[7] = static_cast<std::uint8_t>(sum & 0xFF);
        return b;
    }

private:
    ElementReport& element() {
        ++elements_;
        return *this;
    }
    void pingEntry(const PingEntry& p, unsigned k) {
        Bytes e(18 + 4 * k, 0x22);
        e[2] = static_cast<std::uint8_t>(p.state >> 8);
        e[3] = static_cast<std::uint8_t>(p.state & 0xFF);
        e[16] = static_cast<std::uint8_t>(p.reboots >> 8);
        e[17] = static_cast<std::uint8_t>(p.reboots & 0xFF);
        body_.insert(body_.end(), e.begin(), e.end());
    }

    Bytes body_;
    int elements_ = 0;
    int fillerPerElement_ = 1;
};

// Recomputes the checksum after a test has changed bytes on purpose.
inline void resum(Bytes& b) {
    b[6] = b[7] = 0;
    const std::uint16_t sum = foldedChecksum(b);
    b[6] = static_cast<std::uint8_t>(sum >> 8);
    b[7] = static_cast<std::uint8_t>(sum & 0xFF);
}

// Table report (older line): 240 bytes, unit number little-endian at 10,
// four 48-byte outlet entries from 48 with output flag at 1, mode at 2.
inline Bytes tableReport(unsigned unit, const std::vector<std::pair<unsigned, unsigned>>& outMode) {
    Bytes b(240, 0x00);
    b[1] = 0x07;
    b[3] = 1;
    b[8] = 0;
    b[9] = 224;
    b[10] = static_cast<std::uint8_t>(unit & 0xFF);
    b[11] = static_cast<std::uint8_t>(unit >> 8);
    for (std::size_t i = 0; i < outMode.size(); ++i) {
        b[48 + 48 * i + 1] = static_cast<std::uint8_t>(outMode[i].first);
        b[48 + 48 * i + 2] = static_cast<std::uint8_t>(outMode[i].second);
    }
    return b;
}

// Short report (older line): word 1, unit little-endian at 4, four 6-byte
// entries from 6: a word not examined, output flag, pending flag.
inline Bytes shortReport(unsigned unit,
                         const std::vector<std::pair<unsigned, unsigned>>& outPending) {
    Bytes b;
    putBe16(b, 1);
    putBe16(b, 0x9999);
    b.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    b.push_back(static_cast<std::uint8_t>(unit >> 8));
    for (const auto& [output, pending] : outPending) {
        putBe16(b, 0x4444);
        putBe16(b, output);
        putBe16(b, pending);
    }
    return b;
}

}  // namespace zelo::test
