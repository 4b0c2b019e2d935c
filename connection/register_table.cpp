#include "connection/register_table.h"

#include "common/c_number.h"
#include "common/format.h"
#include "common/scan.h"

namespace zelo {
namespace {

using F = RegisterForm;

// The fixed words of registers 0x580 + n, stored as their index.
const char* const kWatchWords[] = {"NONE", "PING", "MAIL", "BOTH"};

// Where a register's value goes besides the register map: `n` is the
// register's place in its range. True when the record changed.
using Mirror = bool (*)(ReplyTarget& t, std::size_t n, const RegisterValue& v);

struct RegisterEntry {
    std::uint32_t first;
    std::uint32_t count;  // per-outlet and per-entry ranges keep entries 0..7
    RegisterForm form;
    unsigned keep = 0;  // characters a text keeps, or bits a number keeps (0: all)
    Mirror mirror = nullptr;
};

DeviceSettings& settingsOf(ReplyTarget& t) {
    return t.status.settings;
}

const RegisterEntry kRegisters[] = {
    {0x170, 1, F::Flag},
    {0x190, 1, F::Number, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         auto& s = settingsOf(t);
         s.rs232Port1Speed = s.rs232LastRead[0] = v.number;
         return false;
     }},
    {0x191, 1, F::Number, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         auto& s = settingsOf(t);
         s.rs232Port1Bits = s.rs232LastRead[2] = v.number;
         return false;
     }},
    {0x192, 1, F::Number, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         auto& s = settingsOf(t);
         s.rs232Port1Parity = s.rs232LastRead[1] = v.number;
         return false;
     }},
    {0x193, 1, F::Number, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         auto& s = settingsOf(t);
         s.rs232Port1StopBits = s.rs232LastRead[3] = v.number;
         return false;
     }},
    {0x194, 1, F::Number},
    {0x200, 1, F::Address, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         auto& s = settingsOf(t);
         s.ipAdEntAddr = static_cast<std::uint32_t>(v.number);
         s.dhcpEnabled = v.number == 0 ? 1 : 0;  // no own address: DHCP
         return false;
     }},
    {0x201, 1, F::Address},
    {0x204, 2, F::Address},
    {0x210, 1, F::Address},
    {0x220, 1, F::Text, 63,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).ipAdNtpServer = v.text;
         return false;
     }},
    {0x230, 1, F::Number},
    {0x231, 1, F::Text, 18,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).ipAdCenter[0] = v.text;
         return false;
     }},
    {0x232, 1, F::Number},
    {0x233, 1, F::Tenths},
    {0x234, 1, F::Number},
    {0x235, 1, F::Tenths},
    {0x270, 1, F::Number, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).telnetEnabled = v.number;
         return false;
     }},
    {0x271, 1, F::Number, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).telnetPort = v.number;
         return false;
     }},
    {0x280, 2, F::Number},
    {0x282, 1, F::Tenths, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).debTcpInactiveTimer = v.number;
         return false;
     }},
    {0x283, 1, F::Tenths},
    {0x300, 8, F::Tenths},
    {0x320, 8, F::Tenths, 0,
     [](ReplyTarget& t, std::size_t n, const RegisterValue& v) {
         if (n < kSettingOutlets) settingsOf(t).debOlRebootTime[n] = v.number;
         return false;
     }},
    {0x340, 8, F::Tenths},
    {0x360, 8, F::Tenths},
    {0x400, 8, F::Text, 18},
    {0x420, 8, F::Number},
    {0x440, 8, F::Tenths},
    {0x480, 8, F::Text, 18},
    {0x4A0, 8, F::Number},
    {0x4C0, 8, F::Tenths},
    {0x500, 8, F::Number},
    {0x520, 8, F::Number},
    {0x540, 8, F::Tenths},
    {0x560, 8, F::Number},
    {0x580, 8, F::Word},
    {0x5A0, 8, F::Number},
    {0x5C0, 8, F::Tenths},
    {0x600, 0x200, F::Text, 15},
    {0x800, 1, F::Number},
    {0x801, 1, F::Tenths},
    {0x870, 1, F::Text, 127,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         t.promptName = v.text;
         return false;
     }},
    {0x871, 1, F::Text, 127,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).sysLocation = v.text;
         return false;
     }},
    {0x872, 1, F::Text, 127,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).sysContact = v.text;
         return false;
     }},
    {0x880, 8, F::Text, 30,
     [](ReplyTarget& t, std::size_t n, const RegisterValue& v) {
         if (n < kSettingOutlets) settingsOf(t).debOlName[n] = v.text;
         return false;
     }},
    {0x900, 1, F::Pair},
    {0x901, 1, F::Flag},
    {0x980, 3, F::Flag},
    {0x1000, 8, F::Tenths},
    {0x1020, 8, F::Tenths},
    {0x1060, 8, F::Tenths},
    {0x1080, 2, F::Flag},
    {0x1084, 1, F::Flag},
    {0x2000, 1, F::Text, 63,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).mailSmtpServer = v.text;
         return false;
     }},
    {0x2002, 1, F::Number, 16,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         t.status.smtpPort = static_cast<int>(v.number);
         return false;
     }},
    {0x2004, 2, F::Number, 8},
    {0x2030, 1, F::Text, 63,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).mailPopServer = v.text;
         return false;
     }},
    {0x2032, 1, F::Number, 16,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         t.status.pop3Port = static_cast<int>(v.number);
         return false;
     }},
    {0x2041, 2, F::Text, 31},
    {0x2100, 1, F::Text, 32},
    {0x2110, 4, F::Text, 32},
    {0x2200, 1, F::Flag},
    {0x2201, 1, F::Tenths},
    {0x2210, 4, F::Flag},
    {0x2220, 1, F::Flag},
    {0x2230, 5, F::Flag},
    {0x2240, 4, F::Flag},
    {0x4000, 1, F::Flag},
    {0x4010, 8, F::Tenths},
    {0x4020, 8, F::Number},
    {0x4030, 8, F::Number},
    {0x4040, 8, F::Number},
    {0x4050, 8, F::Number},
    {0x4060, 8, F::Number},
    {0x4100, 0x200, F::Address},
    {0x9165, 1, F::Flag},
    {0x9801, 1, F::Number, 16},
    {0x9900, 1, F::Mac, 0,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         if (v.text.empty()) return false;  // incomplete: the record keeps its MAC
         t.record.macText = cutText(v.text, field::kMac);
         return true;
     }},
    {0x9919, 1, F::Number},
    {0x9930, 1, F::Text, 15,
     [](ReplyTarget& t, std::size_t, const RegisterValue& v) {
         settingsOf(t).serialNo = v.text;
         return false;
     }},
};

const RegisterEntry* findRegister(std::uint32_t r) {
    for (const RegisterEntry& e : kRegisters)
        if (r >= e.first && r - e.first < e.count) return &e;
    return nullptr;
}

RegisterValue convert(const RegisterEntry& e, std::string_view text) {
    RegisterValue v;
    v.form = e.form;
    switch (e.form) {
        case F::Number:
            v.number = parseCInt(text);
            if (e.keep) v.number &= (std::int64_t{1} << e.keep) - 1;
            break;
        case F::Flag:
            v.number = parseFlag(text) ? 1 : 0;
            break;
        case F::Tenths:
            v.number = parseTenths(text);
            break;
        case F::Address:
            v.number = parseIp(text);
            break;
        case F::Text:
            v.text = cutText(text, e.keep);
            break;
        case F::Pair: {
            std::int32_t pair[2] = {0, 0};
            scanSeparatedInts(text, ',', pair, 2);
            v.number = pair[0];
            v.second = pair[1];
            break;
        }
        case F::Word:
            v.number = 0;
            for (int i = 0; i < 4; ++i)
                if (text == kWatchWords[i]) v.number = i;
            v.text = kWatchWords[v.number];
            break;
        case F::Mac:
            v.text = readMacGroups(text);
            break;
    }
    return v;
}

}  // namespace

ReplyEffects dispatchRegister(ReplyTarget& target, std::uint32_t r, std::string_view text) {
    ReplyEffects effects;
    const RegisterEntry* e = r > 0xFFFF ? nullptr : findRegister(r);
    if (!e) return effects;
    RegisterValue v = convert(*e, text);
    if (e->mirror) effects.recordChanged = e->mirror(target, r - e->first, v);
    target.status.registers[static_cast<std::uint16_t>(r)] = std::move(v);
    return effects;
}

std::string formatRegisterValue(const RegisterValue& v) {
    switch (v.form) {
        case F::Number:
        case F::Flag:
            return std::to_string(v.number);
        case F::Tenths:
            return formatTenths(v.number);
        case F::Address:
            return formatIp(static_cast<std::uint32_t>(v.number));
        case F::Pair:
            return std::to_string(v.number) + "," + std::to_string(v.second);
        case F::Word:
        case F::Text:
        case F::Mac:
            return v.text;
    }
    return {};
}

}  // namespace zelo
