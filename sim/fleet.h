#pragma once
// The fleet description: which devices one simulator process plays, and how
// each of them is set up. The text form is documented in sim/README.md.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelo::sim {

// Misbehaviour a device can be told to show. All off by default.
struct FaultConfig {
    std::int64_t closeAfterBytes = -1;  // close the console after sending this many bytes
    std::string closeAt;                // accept, greeting, user, password, login, cmdN
    int slowMs = 0;                     // hold every answer back this long
    bool muteAll = false;               // accept the connection, never send a byte
    bool muteCommands = false;          // log in normally, then never answer
    int garbageLines = 0;               // lines of noise before every answer
    bool splitIac = false;              // telnet sequences cut across separate sends
    int iacStorm = 0;                   // telnet sequences around and inside every answer
    int dripMs = 0;                     // every answer byte alone, this far apart
    int floodBytes = 0;                 // bytes without a line end, sent on connect
    bool refusePassword = false;        // every password is wrong
    bool silentReset = false;           // CPURESET restarts the unit without an answer
    std::string reportFault;            // bad-checksum, wrong-length, odd-length,
                                        // truncated, unknown-layout
};

// Parses "close-after:120, slow:500, refuse-password" into a FaultConfig.
// Returns false and an error text on an unknown fault name or a bad number.
bool ParseFaults(std::string_view text, FaultConfig& out, std::string& error);

struct PingEntry {
    int state = 1;    // 0 off, 1 watching, 3 rebooting, other: failed
    int reboots = 0;  // how often the watch rebooted its outlet
    std::uint32_t host = 0;
};

enum class ReportLayout { Element, Table, Short, None };

struct DeviceConfig {
    std::string name;
    int model = 0;
    std::string bindAddress = "127.0.0.1";
    int port = 0;  // 0: the system picks a free port
    std::string password;
    std::string user = "admin";  // the user name a framed unit in login mode accepts
    bool loginMode = false;      // framed units: ask "login:" first
    std::string selectNumber = "00";
    std::string prompt;      // two letters, framed units
    std::string systemName;  // plain units
    std::string mac;         // 12 upper-case hex digits
    int unit = -1;           // unit number, codes 6 to 10; -1: numbered in file order
    std::string firmware;    // version text
    std::string firmwareDate = "060401";
    std::string serial;
    int outlets = 4;
    bool master = true;
    std::vector<int> states;     // initial outlet states (0/1), one per outlet
    std::vector<bool> schedule;  // per-outlet schedule flags
    std::vector<std::string> outletNames;
    std::vector<int> onDelay;  // tenths of a second, -1 switched off
    std::vector<int> offDelay;
    std::vector<int> rebootTime;
    bool sensor = true;
    int temperature = 2350;  // hundredths of a degree
    int temperatureState = 0;
    bool temperatureShortForm = true;  // 32-byte element instead of 34
    std::vector<PingEntry> ping;
    bool pingGiven = false;       // the fleet named the entries, or none
    bool pingCompactForm = true;  // 142-byte element when there are 4 entries
    std::string station;          // "host:port" of the monitoring station; empty: none
    int intervalSeconds = 60;     // 0: report only on changes
    ReportLayout layout = ReportLayout::Element;
    bool locked = false;
    int restartMs = 2000;  // how long a CPURESET keeps the unit away
    FaultConfig faults;
    // Events that come back on their own, for demos and long runs.
    int pingTripSeconds = 0;     // a ping watch trips this often; 0: never
    int pingTripEntry = 1;       // which watch entry trips (1-based)
    int onlineSeconds = 0;       // on the network this long, then
    int offlineSeconds = 0;      // off it this long, over and over; 0: always on
    bool offlineSilent = false;  // off the network: connections taken, never answered
};

struct Fleet {
    std::vector<DeviceConfig> devices;
    int ratePerSecond = 0;  // aggregate report rate; 0: each device's own interval
};

// Model name a unit of this code reports, e.g. "HX-7200"; empty for codes
// the simulator does not play (1, 2, 4 and any other).
std::string ModelName(int model);
bool IsFramedModel(int model);  // 3, 5
bool IsPlainModel(int model);   // 6 to 13

// Parses a fleet text. Returns false with "line N: reason" on the first error.
bool ParseFleet(std::string_view text, Fleet& fleet, std::string& error);
bool LoadFleetFile(const std::string& path, Fleet& fleet, std::string& error);

// "HOST:PORT" with a port from 1 to 65535: where a unit's reports can go.
bool ValidStation(std::string_view text);

// "00:80:87:0A:0B:0C", "0080870a0b0c" -> "0080870A0B0C"; empty when malformed.
std::string NormaliseMac(std::string_view text);
// Adds n to a 12-digit MAC text (wrapping within 48 bits).
std::string MacPlus(const std::string& mac, std::uint64_t n);

}  // namespace zelo::sim
