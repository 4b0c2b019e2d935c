#pragma once
// A station's reading of status reports, written apart from the simulator's
// encoder: it checks what the station checks and collects what it would
// take from a datagram, so the tests can hold the encoder to the layouts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelo::sim::test {

inline unsigned be16(const std::vector<std::uint8_t>& d, std::size_t at) {
    return static_cast<unsigned>(d[at]) * 256u + d[at + 1];
}
inline unsigned le16(const std::vector<std::uint8_t>& d, std::size_t at) {
    return static_cast<unsigned>(d[at + 1]) * 256u + d[at];
}

// Sum of the complemented words in a wide accumulator, folded at the end.
inline std::uint16_t IndependentChecksum(const std::vector<std::uint8_t>& d, std::size_t length) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2) total += 0xFFFFu - (d[i] * 256u + d[i + 1]);
    if (length % 2) total += 0xFFFFu - d[length - 1] * 256u;
    while (total >> 16) total = (total & 0xFFFF) + (total >> 16);
    return static_cast<std::uint16_t>(total);
}

struct ElementWalk {
    bool accepted = false;
    std::string why;
    std::vector<unsigned> types;       // in the order the walk met them
    std::vector<unsigned> lengths;
    std::vector<std::size_t> offsets;
};

// The element report as the station reads it: version, total length equal
// to the count and even, the checksum over the datagram with its own field
// zeroed, then the walk in which every element costs its length plus two
// and a filler word costs two without moving. Any read past the end drops
// the datagram.
inline ElementWalk WalkElementReport(std::vector<std::uint8_t> d) {
    ElementWalk w;
    const std::size_t n = d.size();
    if (n < 10) return w.why = "short", w;
    if (d[0] != 0x01) return w.why = "version", w;
    const unsigned total = be16(d, 2);
    if (total != n || total % 2) return w.why = "length", w;
    const unsigned sum = be16(d, 6);
    d[6] = d[7] = 0;
    if (IndependentChecksum(d, total) != sum) return w.why = "checksum", w;
    long remaining = static_cast<long>(total) - 8;
    std::size_t pos = 8;
    int guard = 0;
    while (remaining >= 0 && ++guard < 10000) {
        if (pos + 2 > n) return w.why = "type past end", w;
        const unsigned type = be16(d, pos);
        if (type == 0) {
            remaining -= 2;
            continue;
        }
        if (pos + 4 > n) return w.why = "length past end", w;
        const unsigned len = be16(d, pos + 2);
        if (len < 4 || pos + len > n) return w.why = "element past end", w;
        w.types.push_back(type);
        w.lengths.push_back(len);
        w.offsets.push_back(pos);
        pos += len & ~1u;
        remaining -= static_cast<long>(len) + 2;
    }
    w.accepted = true;
    return w;
}

}  // namespace zelo::sim::test
