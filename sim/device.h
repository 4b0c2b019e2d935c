#pragma once
// One simulated power controller: its outlets with their switching delays,
// master power, temperature sensor, ping watch, registers (framed units),
// named settings (plain units) and schedule. No sockets here: the console
// sessions and the server drive it.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/fleet.h"
#include "sim/report.h"

namespace zelo::sim {

struct Outlet {
    int state = 0;  // 0 off, 1 on, 2 on with switch-off running, 5 off with switch-on running
    int phase = 0;  // which timed step runs (see device_power.cpp)
    std::int64_t dueMs = 0;
    bool lock = false;
    bool scheduled = false;
    int type = 0x11;
    std::string name;
    int onDelay = 0;  // tenths of a second; -1 switched off (no delay)
    int offDelay = 0;
    int rebootTime = 50;
};

// One line of the framed units' schedule memory.
struct ScheduleEntry {
    int year = 0;   // 0 every year
    int month = 0;  // 255 special day
    int day = 0;
    int weekday = 7;  // 0..6, 7 every day, 8 Monday to Friday, 9 Monday to Saturday
    int week = 0;     // 0 every week, 1..5, 6 last
    int hour = 0;
    int minute = 0;
    std::string action;
};

enum class CommandResult { Ok, Bad, Locked, Doubled, Full };

class Device {
public:
    Device(const DeviceConfig& config, std::int64_t nowMs);

    const DeviceConfig& config() const { return config_; }
    int model() const { return config_.model; }
    const std::string& name() const { return config_.name; }
    bool framed() const { return IsFramedModel(config_.model); }

    // --- power
    // "PON1".."POR8", "PON0"/"POF0"/"POR0" (every outlet), "MPON"/"MPOF"/"MPOR".
    CommandResult power(const std::string& command, std::int64_t nowMs);
    // A hand on the unit's switch: no delays, no lock.
    bool switchByHand(int outlet, bool on, std::int64_t nowMs);
    bool setMaster(bool on, std::int64_t nowMs);
    const std::vector<Outlet>& outlets() const { return outlets_; }
    int masterState() const { return master_; }
    // Ends the delays that are due; true when a state changed.
    bool tick(std::int64_t nowMs);
    // The earliest running delay, or INT64_MAX.
    std::int64_t nextDueMs() const;

    // --- sensor and ping watch
    void setTemperature(int hundredths, int state);
    void setSensor(bool fitted);
    // The watch found its host silent: it reboots the watched outlet.
    bool tripPing(int entry, std::int64_t nowMs);
    bool setPingState(int entry, int state, int reboots);
    int temperature() const { return temperature_; }
    int temperatureState() const { return temperatureState_; }

    // --- status report
    ReportState reportState() const;
    std::string stationText() const;  // "host:port" or empty
    bool reportsEnabled() const { return msrpEnabled_ && !station_.empty(); }
    int intervalSeconds() const { return interval_; }
    void setStation(const std::string& hostPort) {
        station_ = hostPort;
        ++configGeneration_;
    }
    std::uint16_t nextSequence() { return sequence_++; }

    // --- framed registers
    // numberText is the register number as sent ("9165", "5a0").
    bool readRegister(const std::string& numberText, std::string& value) const;
    CommandResult writeRegister(const std::string& numberText, const std::string& value);
    // Every register from lo to hi inclusive that the unit has, in order.
    std::vector<std::pair<int, std::string>> registerRange(int lo, int hi) const;
    std::string macWithColons() const;

    // --- framed schedule memory
    CommandResult addSchedule(const std::string& line, int& index);
    void clearSchedule() { schedule_.clear(); }
    const std::vector<ScheduleEntry>& schedule() const { return schedule_; }
    static std::string scheduleValue(const ScheduleEntry& e);

    // --- plain settings
    // LIST: its two pages, each a list of "key=value" lines.
    std::vector<std::vector<std::string>> listPages() const;
    // "?key": the reply line, or empty when the unit has no such key.
    std::string queryLine(const std::string& key) const;
    // ".key=value": false when the key is unknown, read-only or the value
    // does not fit its form. restart is set when the change needs a restart.
    bool writeSetting(const std::string& key, const std::string& value, bool& restart);
    const std::string& systemName() const { return systemName_; }

    // --- framed readout texts
    std::string specText() const;
    std::string typeText() const;
    std::string lastLog() const { return lastLog_; }

    bool locked() const { return locked_; }
    void setLocked(bool on) { locked_ = on; }
    FaultConfig& faults() { return faults_; }
    const FaultConfig& faults() const { return faults_; }

    // The port the console listens on after the next restart.
    int consolePort() const { return port_; }
    void setBoundPort(int port) { port_ = port; }

    // Counters that move on every change the console or the station sees.
    std::uint64_t outletGeneration() const { return outletGeneration_; }
    std::uint64_t reportGeneration() const { return reportGeneration_; }

    void setClockWall(std::int64_t wallSeconds) { wall_ = wallSeconds; }
    std::int64_t wall() const { return wall_; }

private:
    void changed() {
        ++outletGeneration_;
        ++reportGeneration_;
    }
    void log(const std::string& what);
    bool startOn(Outlet& o, int delay, std::int64_t now);
    bool startOff(Outlet& o, std::int64_t now);
    bool startReboot(Outlet& o, std::int64_t now);
    // Registers and settings are built on first use: a large fleet whose
    // consoles are never opened should not pay for them.
    void initRegisters() const;
    void initSettings() const;
    std::string settingValue(const std::string& key, bool& known) const;

    DeviceConfig config_;
    std::vector<Outlet> outlets_;
    int master_ = 1;
    int temperature_;
    int temperatureState_;
    bool sensor_;
    std::vector<PingEntry> ping_;
    std::string station_;
    int interval_;
    bool msrpEnabled_ = true;
    std::uint16_t sequence_ = 0;
    mutable std::map<int, std::string> registers_;
    std::vector<ScheduleEntry> schedule_;
    mutable std::map<std::string, std::string> settings_;
    std::string systemName_;
    std::string lastLog_;
    bool locked_;
    FaultConfig faults_;
    int port_;
    std::int64_t wall_ = 0;
    std::uint64_t outletGeneration_ = 0;
    std::uint64_t reportGeneration_ = 0;
    std::uint64_t configGeneration_ = 0;
};

}  // namespace zelo::sim
