#pragma once
// What the tool knows of the device it is talking to: outlets, master
// power, clock, identification. One copy goes with the record being handled.

#include <array>
#include <cstdint>
#include <string>

#include "directory/device_record.h"

namespace zelo {

struct OutletStatus {
    int state = 0;       // 0 off, 1 on, 2 on/off pending, 5 off/on pending, 3, 4, 6; -1 unknown
    int type = 0;
    bool schedule = false;
    bool offLock = false;
    bool valid = false;  // reported since the last reset
};

struct DeviceClock {
    int second = 0, minute = 0, hour = 0;
    int day = 0;
    int month = 0;  // 0..11
    int year = 0;   // years since 1900
    int weekday = 0;  // 0 = Sunday
    int daylight = 0;
};

struct DeviceStatus {
    bool masterPresent = false;
    int masterState = -1;
    int outletCount = 0;
    std::array<OutletStatus, kMaxOutlets> outlets{};
    bool scheduleKnown = false;
    DeviceClock clock;
    std::string lastLogText;
    std::string modelNameText;  // from the identification
    std::string firmwareText;
    std::string firmwareDate;   // six digits (plain dialect)
    std::uint32_t firmwareVersion = 0;  // major<<16 | minor<<8 | patch
    std::uint32_t firmwareBuild = 0;
    int specField = 0;  // the 16-bit field SPEC fills; 20 for the plain dialect
    int smtpPort = 0;
    int pop3Port = 0;
    bool fullReload = false;
};

// Day of the week (0 = Sunday) of a date; year with four digits, month 1..12.
int weekdayOf(int year, int month, int day);

// The power column: the master digit and a blank when master power is
// present and known, then "0" or "1" per outlet (unknown states add nothing).
std::string buildPowerText(const DeviceStatus& status);
// The schedule column: "1"/"0" per outlet when the schedule is known,
// otherwise "-" per outlet.
std::string buildScheduleText(const DeviceStatus& status);

// The packed firmware number of a version text such as " 1.23.4" (each part
// hexadecimal): 0x12304.
std::uint32_t packFirmwareVersion(std::string_view text);

}  // namespace zelo
