#pragma once
// The framed dialect's status readout: the reply parser that digests every
// framed reply line (also the unsolicited ones the control window reads),
// the register dispatcher, and the readout that runs once per opening.
//
// Results follow the dialogue's convention: true means failure.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "connection/device_session.h"

namespace zelo {

// The firmware versions from which a framed device knows a command.
namespace firmware {
inline constexpr std::uint32_t kRegister194 = 0x31002;
inline constexpr std::uint32_t kRegister9919 = 0x31404;
inline constexpr std::uint32_t kRegister9165 = 0x31408;
inline constexpr std::uint32_t kScheduleFlags = 0x31410;  // SCS
inline constexpr std::uint32_t kRangeLists = 0x31412;     // RL, PL ranges, R9801
inline constexpr std::uint32_t kLogAndSerial = 0x32905;   // LOG0, R9930
}  // namespace firmware

// The 44 register ranges of a device that lists them, in reading order.
extern const std::array<const char*, 44> kRegisterRanges;
// The 135 registers read one by one otherwise; a leading '*' marks those
// that firmware below 0x31002 lacks.
extern const std::array<const char*, 135> kSingleRegisters;
// The schedule list in 8 ranges.
extern const std::array<const char*, 8> kScheduleRanges;

// Both reply parsers bound to one session; installs itself as the
// session's parsers for its lifetime.
class DeviceReplies final : public ReplyParsers {
public:
    explicit DeviceReplies(DeviceSession& session) : session_(session) { session_.parsers = this; }
    ~DeviceReplies() override {
        if (session_.parsers == this) session_.parsers = nullptr;
    }
    DeviceReplies(const DeviceReplies&) = delete;
    DeviceReplies& operator=(const DeviceReplies&) = delete;

    bool parseFramedReply(const std::string& line) override;
    bool parseSettingLine(const std::string& line) override;

private:
    DeviceSession& session_;
};

// One framed reply line; true only when the frame prefix is followed by "Err".
bool parseFramedReply(DeviceSession& session, std::string_view line);

// Converts a register's value text by the register's form and stores it;
// registers outside the table are ignored (false).
bool dispatchRegister(DeviceSession& session, std::uint32_t number, std::string_view value);

// A MAC address given as six groups "%2s:%2s:%2s:%2s:%2s:%2s", joined
// without separators; empty unless all six groups are there.
std::string readMacGroups(std::string_view text);

// A register value as the device lists it ("192.168.0.1", "3.5", text).
std::string formatRegisterValue(const RegisterValue& value);

// Reads one schedule list value into an entry (fields past the end of a
// short value stay as they were reset).
void parseListedScheduleEntry(std::string_view value, ListedScheduleEntry& entry);

// "MPOS" and, from firmware 0x31410 on, "SCS". On failure the message is
// shown and the connection closed.
bool readOutletStates(DeviceSession& session);

// The whole readout after a framed login: outlets, registers, clock,
// SPEC text, outlet types, schedule list. On failure the message (195
// for a refused MPOS, else 194) is shown and the connection closed.
bool readFramedStatus(DeviceSession& session);

}  // namespace zelo
