#pragma once
// What the tool knows of the device it is talking to: outlets, master
// power, clock, identification. One copy goes with the record being handled.

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "directory/device_record.h"

namespace zelo {

// Outlet state codes: 0 off, 1 on, 2 on with switch-off running, 5 off with
// switch-on running; 3, 4 and 6 come from readouts; -1 not reported. For the
// column texts 0, 3 and 5 count as off, 1, 2, 4 and 6 as on.
inline constexpr int kOutletNotReported = -1;

struct OutletStatus {
    int state = 0;
    int type = 0;
    bool schedule = false;
    bool offLock = false;
    bool valid = false;  // reported since the last reset
};

struct DeviceClock {
    int second = 0, minute = 0, hour = 0;
    int day = 0;
    int month = 0;    // 0..11
    int year = 0;     // years since 1900
    int weekday = 0;  // 0 = Sunday
    int daylight = 0;
};

// How a register's value text is read.
enum class RegisterForm { Number, Flag, Tenths, Address, Text, Pair, Word, Mac };

// One register as last read (or written): the converted value and the form
// it was read in. Numbers, flags, tenths (ten times the value, -1 when
// malformed), addresses (host order) and word indexes are in `number`; the
// second number of a pair in `second`; texts and the MAC text in `text`.
struct RegisterValue {
    RegisterForm form = RegisterForm::Number;
    std::int64_t number = 0;
    std::int64_t second = 0;
    std::string text;
};

// One line of a framed device's schedule list ("PLnn=" replies), as read.
struct ListedScheduleEntry {
    bool used = false;
    std::string code;   // the first four characters ("WEEK", "DATE", "SPEC")
    int dateField = 0;  // the number of the date part (week or day), 0 without one
    int hour = 0;       // 255 with minute when the time part begins with "T"
    int minute = 0;
    int outlet = 0;
    int action = 0;
    int dayToken = 7;     // 0..6 Sun..Sat, 7 All, 8 M-F, 9 M-S (7 also when unknown)
    int weekOfMonth = 0;  // 0 every week, 1..5, 6 the last
};
inline constexpr int kScheduleListEntries = 200;

inline constexpr int kSettingOutlets = 4;  // per-outlet setting lists
inline constexpr int kScheduleSlots = 20;  // slots of the plain dialect's schedule keys

// The named settings of a plain-dialect device ("LIST", "?key" replies), a
// few of them also fed by framed registers. Texts are stored unquoted.
struct DeviceSettings {
    std::uint32_t ipAdEntAddr = 0, ipAdEntNetMask = 0, ipRouteDest = 0, ipAdDnsServer = 0;
    std::int64_t dhcpEnabled = 0;
    std::string sysName;  // only written; the name a device reports comes from its greeting
    std::string sysContact, sysLocation;
    std::int64_t telnetEnabled = 0;
    std::int64_t telnetPort = 0;           // -1: the entered text is not a port
    std::int64_t debTcpInactiveTimer = 0;  // tenths; -1 malformed
    std::string ipAdNtpServer;
    std::string mailUserName, mailPassword, mailAddr, mailSmtpServer, mailPopServer;
    std::array<std::string, 8> extMailAddr{};
    std::int64_t mailApopEnabled = 0;
    bool msrpEnabled = false;
    std::array<std::string, 3> ipAdCenter{};
    std::array<std::int64_t, 3> centerPort{};
    std::int64_t centerSendTimer = 0, centerChangeSendTimer = 0, centerChangeSendCount = 0;
    std::int64_t rs232Port1Speed = 0, rs232Port1Parity = 0, rs232Port1Bits = 0,
                 rs232Port1StopBits = 0;
    // The serial values as last read: the apply writes those that differ.
    std::array<std::int64_t, 4> rs232LastRead{};
    std::array<std::string, kSettingOutlets> debOlName{};
    std::array<std::int64_t, kSettingOutlets> debOlPowerOnTime{};   // -1 delay switched off
    std::array<std::int64_t, kSettingOutlets> debOlShutdownTime{};  // -1 delay switched off
    std::array<std::int64_t, kSettingOutlets> debOlRebootTime{};    // tenths
    std::array<std::string, kSettingOutlets> debOlWdogAddr{};
    int debOlWdogAddrCount = 0;
    std::array<std::int64_t, kSettingOutlets> debOlWdogAction{}, debOlWdogSendMax{},
        debOlWdogNoResMax{}, debOlWdogActCond{}, debOlRebootInterval{}, debOlRebootCount{};
    std::int64_t debOlNoEchoInterval = 0, debOlPingInterval = 0;
    std::array<std::string, kSettingOutlets> debWakeupPhysAddr{};
    std::int64_t debWakeupMaxCount = 0, debWakeupInterval = 0;
    std::array<std::int64_t, kScheduleSlots> schEnabled{}, schDay{}, schHour{}, schMinute{},
        schOutletNo{}, schAction{};
    // Each slot's command as the action list gives it ("POR2", "PON1", "POF3", or empty).
    std::array<std::string, kScheduleSlots> schCommand{};
    std::string model, version, serialNo;

    // Edits waiting to be written: plain keys by name; framed registers
    // 0x230..0x235 by their value text.
    std::set<std::string, std::less<>> changed;
    std::array<std::string, 6> centerRegisterEdit{};
    std::array<bool, 6> centerRegisterChanged{};
    bool scheduleEdited = false;
    bool restartNeeded = false;
    // What the last apply wrote: "key=value" (or "Rxxx=value") per write.
    std::vector<std::string> written;
};

// What status reports and readouts both fill: master power, outlets,
// schedule flags, temperature. The status report decoder works on this part
// alone.
struct PowerState {
    bool masterPresent = false;  // a master switch is there (SPEC, or a master report)
    int masterState = -1;        // -1 unknown; 0 off; anything else on
    int outletCount = 0;         // how many outlets the texts and displays cover
    std::array<OutletStatus, kMaxOutlets> outlets{};
    bool scheduleKnown = false;
    bool temperatureKnown = false;
    bool sensorPresent = false;
    int temperature = 0;       // hundredths of a degree
    int temperatureState = 0;  // as received

    // Everything cleared, every outlet "not reported": the state a report
    // starts from.
    void resetForReport() noexcept {
        *this = PowerState{};
        for (OutletStatus& o : outlets) o.state = kOutletNotReported;
    }
};

struct DeviceStatus : PowerState {
    DeviceClock clock;
    std::string lastLogText;
    std::string modelNameText;  // from the identification
    std::string firmwareText;
    std::string firmwareDate;           // six digits (plain dialect)
    std::uint32_t firmwareVersion = 0;  // major<<16 | minor<<8 | patch
    std::uint32_t firmwareBuild = 0;
    int specField = 0;  // the 16-bit field SPEC fills; 20 for the plain dialect
    int smtpPort = 0;
    int pop3Port = 0;
    bool fullReload = false;

    // From SPEC: the outlet group count and the further digit and byte fields.
    int outletGroups = 0;
    int masterDigit = 0;
    int modelByte = 0;
    int sensorDigit = 0;
    int pingDigit = 0;
    // The record as it was before the last POS or MPOS update (the control
    // window compares against it).
    DeviceRecord previousRecord;
    // Framed registers by number, as read.
    std::map<std::uint16_t, RegisterValue> registers;
    DeviceSettings settings;
    std::array<ListedScheduleEntry, kScheduleListEntries> scheduleList{};
};

// Day of the week (0 = Sunday) of a date; year with four digits, month 1..12.
int weekdayOf(int year, int month, int day);

inline constexpr std::size_t kPowerTextMax = 31;

bool outletCountsAsOn(int state) noexcept;
bool outletCountsAsOff(int state) noexcept;

// The power column as stored (at most 31 characters): the master digit and
// a blank when master power is present and its state known, then "0" or "1"
// per outlet (unknown states add nothing). The master digit is the state's
// own digit for 0..9; a device that sends a larger value still means "on"
// and gets "1", so no control byte ever reaches a file.
std::string powerText(const PowerState& status);
// The schedule column (at most 31 characters): "1"/"0" per outlet when the
// schedule is known, otherwise "-" per outlet.
std::string scheduleText(const PowerState& status);

// The packed firmware number of a version word such as "1.23.4" (each part
// hexadecimal): 0x12304.
std::uint32_t packFirmwareVersion(std::string_view text);

}  // namespace zelo
