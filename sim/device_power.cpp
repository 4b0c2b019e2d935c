#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <ctime>

#include "sim/device.h"

namespace zelo::sim {

namespace {

// Timed steps of one outlet.
enum Phase { kIdle = 0, kSwitchingOn = 1, kSwitchingOff = 2, kRebootOff = 3, kRebootOn = 4 };

}  // namespace

void Device::log(const std::string& what) {
    std::time_t t = static_cast<std::time_t>(wall_);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d %s", tm.tm_year % 100, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, what.c_str());
    lastLog_ = std::string(buf).substr(0, 31);
}

bool Device::startOn(Outlet& o, int delay, std::int64_t now) {
    if ((o.state == 1 && o.phase == kIdle) || o.phase == kSwitchingOn || o.phase == kRebootOn) {
        return false;
    }
    if (delay > 0) {
        o.state = 5;
        o.phase = kSwitchingOn;
        o.dueMs = now + delay * 100LL;
    } else {
        o.state = 1;
        o.phase = kIdle;
    }
    return true;
}

bool Device::startOff(Outlet& o, std::int64_t now) {
    if (o.state == 0 && o.phase == kIdle) return false;
    if (o.phase == kSwitchingOn || o.phase == kRebootOn || o.offDelay <= 0 || o.state != 1) {
        o.state = 0;
        o.phase = kIdle;
    } else {
        o.state = 2;
        o.phase = kSwitchingOff;
        o.dueMs = now + o.offDelay * 100LL;
    }
    return true;
}

bool Device::startReboot(Outlet& o, std::int64_t now) {
    if (o.phase == kRebootOff || o.phase == kRebootOn) return false;
    if (o.state == 1 && o.offDelay > 0) {
        o.state = 2;
        o.phase = kRebootOff;
        o.dueMs = now + o.offDelay * 100LL;
    } else if (o.rebootTime > 0) {
        o.state = 5;
        o.phase = kRebootOn;
        o.dueMs = now + o.rebootTime * 100LL;
    } else {
        o.state = 1;
        o.phase = kIdle;
    }
    return true;
}

CommandResult Device::power(const std::string& command, std::int64_t nowMs) {
    if (command.size() != 4) return CommandResult::Bad;
    std::string verb = command.substr(0, 3);
    int n = -1;
    if (command[0] == 'M' && (command == "MPON" || command == "MPOF" || command == "MPOR")) {
        if (locked_) return CommandResult::Locked;
        verb = command.substr(1, 3);
        if (config_.master) {
            bool changedAny = false;
            if (verb == "POF" || verb == "POR") {
                changedAny = master_ != 0;
                master_ = 0;
                for (auto& o : outlets_) {
                    changedAny = changedAny || o.state != 0;
                    o.state = 0;
                    o.phase = kIdle;
                }
            }
            if (verb == "PON" || verb == "POR") {
                changedAny = changedAny || master_ != 1;
                master_ = 1;
                for (auto& o : outlets_) {
                    // Power returns outlet by outlet, each after its own delay;
                    // a reboot first waits for the unit's reboot time.
                    int delay =
                        std::max(0, o.onDelay) + (verb == "POR" ? std::max(0, o.rebootTime) : 0);
                    changedAny = startOn(o, delay, nowMs) || changedAny;
                    if (o.phase == kSwitchingOn && verb == "POR") o.phase = kRebootOn;
                }
            }
            if (changedAny) changed();
            log(command);
            return CommandResult::Ok;
        }
        n = 0;  // a unit without a master switch takes it for every outlet
    } else {
        if (verb != "PON" && verb != "POF" && verb != "POR") return CommandResult::Bad;
        if (!std::isdigit(static_cast<unsigned char>(command[3]))) return CommandResult::Bad;
        n = command[3] - '0';
        if (n > static_cast<int>(outlets_.size())) return CommandResult::Bad;
        if (locked_) return CommandResult::Locked;
    }
    bool any = false;
    for (int i = 0; i < static_cast<int>(outlets_.size()); ++i) {
        if (n != 0 && i != n - 1) continue;
        Outlet& o = outlets_[i];
        if (verb == "PON")
            any = startOn(o, o.onDelay, nowMs) || any;
        else if (verb == "POF")
            any = startOff(o, nowMs) || any;
        else
            any = startReboot(o, nowMs) || any;
    }
    if (any) changed();
    log(command);
    return CommandResult::Ok;
}

bool Device::switchByHand(int outlet, bool on, std::int64_t nowMs) {
    (void)nowMs;
    if (outlet < 1 || outlet > static_cast<int>(outlets_.size())) return false;
    Outlet& o = outlets_[outlet - 1];
    o.state = on ? 1 : 0;
    o.phase = kIdle;
    changed();
    log(std::string(on ? "SW ON" : "SW OFF") + std::to_string(outlet));
    return true;
}

bool Device::setMaster(bool on, std::int64_t nowMs) {
    if (!config_.master) return false;
    const bool wasLocked = locked_;
    locked_ = false;  // the hand on the switch is not stopped by the console lock
    const bool ok = power(on ? "MPON" : "MPOF", nowMs) == CommandResult::Ok;
    locked_ = wasLocked;
    return ok;
}

bool Device::tick(std::int64_t nowMs) {
    bool any = false;
    for (size_t i = 0; i < outlets_.size(); ++i) {
        Outlet& o = outlets_[i];
        while (o.phase != kIdle && o.dueMs <= nowMs) {
            any = true;
            switch (o.phase) {
                case kSwitchingOn:
                case kRebootOn:
                    o.state = 1;
                    o.phase = kIdle;
                    for (auto& p : ping_) {
                        if (p.state == 3) p.state = 1;  // the watched host is back
                    }
                    break;
                case kSwitchingOff:
                    o.state = 0;
                    o.phase = kIdle;
                    break;
                case kRebootOff:
                    o.state = 5;
                    o.phase = kRebootOn;
                    o.dueMs += std::max(0, o.rebootTime) * 100LL;
                    break;
                default:
                    o.phase = kIdle;
            }
        }
    }
    if (any) changed();
    return any;
}

std::int64_t Device::nextDueMs() const {
    std::int64_t due = INT64_MAX;
    for (const auto& o : outlets_) {
        if (o.phase != kIdle) due = std::min(due, o.dueMs);
    }
    return due;
}

}  // namespace zelo::sim
