#pragma once
// Status report datagrams as the units send them to the monitoring station:
// the element report of the current line (codes 3, 5, 11 to 13) and the two
// fixed layouts of the older line (codes 6 to 10). Multi-byte fields go out
// big-endian, except the older line's unit number, which is little-endian.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/fleet.h"

namespace zelo::sim {

struct OutletReport {
    int state = 0;  // 0 off, 1 on, 2 on with switch-off running, 5 off with switch-on running
    int remainingSeconds = 0;
};

// What one report tells about its unit.
struct ReportState {
    std::string mac;  // 12 hex digits
    int unit = 0;
    int model = 0;
    std::string systemName;
    bool master = false;
    int masterState = 1;
    std::vector<OutletReport> outlets;
    std::vector<bool> schedule;
    std::vector<PingEntry> ping;
    bool pingCompact = true;
    bool sensor = true;
    int temperature = 0;
    int temperatureState = 0;
    bool temperatureShortForm = true;
    std::uint16_t sequence = 0;
};

// The 16-bit one's-complement sum the station checks: each big-endian word
// (a last odd byte counts as its value times 256) is added as 0xFFFF minus
// the word, with the carry folded back after every addition.
std::uint16_t ReportChecksum(const std::uint8_t* data, std::size_t length);

std::vector<std::uint8_t> EncodeElementReport(const ReportState& s);
std::vector<std::uint8_t> EncodeTableReport(const ReportState& s);
std::vector<std::uint8_t> EncodeShortReport(const ReportState& s);
std::vector<std::uint8_t> EncodeReport(ReportLayout layout, const ReportState& s);

// Spoils a finished datagram the way the named fault says (see FaultConfig).
void ApplyReportFault(std::vector<std::uint8_t>& datagram, ReportLayout layout,
                      const std::string& fault);

// Element type codes.
enum : std::uint16_t {
    kElemFiller = 0x0000,
    kElemMac = 0x0001,
    kElemMaster = 0x0100,
    kElemOutlets = 0x0110,
    kElemSchedule = 0x0200,
    kElemPing = 0x0801,
    kElemTemperature = 0x0802,
};

}  // namespace zelo::sim
