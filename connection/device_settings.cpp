#include "connection/device_settings.h"

#include <cstdio>
#include <unordered_map>

#include "common/c_number.h"
#include "common/format.h"
#include "common/scan.h"
#include "directory/model_table.h"

namespace zelo {
namespace {

enum class Kind {
    Address,
    Number,
    Flag,
    Tenths,
    Text,
    Quoted,
    NumberList,
    TenthsList,
    TextList,
    QuotedList,
    Mac,      // ifPhysAddress: the record's MAC text
    Model,    // quoted, and checked against the record's model
    Ignored,  // accepted, not stored
    WriteOnly,
};

// Where a key's value lives. Exactly one pointer is set; lists point at
// their first element and count the values of their array.
struct FieldRef {
    std::uint32_t* address = nullptr;
    std::int64_t* numbers = nullptr;
    bool* flag = nullptr;
    std::string* texts = nullptr;
    int count = 1;
};

struct KeyEntry {
    std::string_view key;
    Kind kind;
    bool writable;
    bool restart;
    FieldRef (*field)(DeviceSettings&);
    std::size_t limit = 0;  // characters a text keeps
};

#define FIELD(member) [](DeviceSettings& s) { return ref(s.member); }
FieldRef ref(std::uint32_t& v) {
    return FieldRef{&v, nullptr, nullptr, nullptr};
}
FieldRef ref(std::int64_t& v) {
    return FieldRef{nullptr, &v, nullptr, nullptr};
}
FieldRef ref(bool& v) {
    return FieldRef{nullptr, nullptr, &v, nullptr};
}
FieldRef ref(std::string& v) {
    return FieldRef{nullptr, nullptr, nullptr, &v};
}
template <typename T, std::size_t N>
FieldRef ref(std::array<T, N>& v) {
    FieldRef f = ref(v[0]);
    f.count = static_cast<int>(N);
    return f;
}
FieldRef none(DeviceSettings&) {
    return {};
}

constexpr int kSlots = kScheduleSlots;

const KeyEntry kKeys[] = {
    {"ipAdEntAddr", Kind::Address, true, true, FIELD(ipAdEntAddr)},
    {"ifPhysAddress", Kind::Mac, false, false, none},
    {"ipAdEntNetMask", Kind::Address, true, true, FIELD(ipAdEntNetMask)},
    {"ipRouteDest", Kind::Address, true, false, FIELD(ipRouteDest)},
    {"dhcpEnabled", Kind::Number, true, false, FIELD(dhcpEnabled)},
    {"ipAdDnsServer", Kind::Address, true, false, FIELD(ipAdDnsServer)},
    {"sysName", Kind::WriteOnly, true, false, FIELD(sysName), 31},
    {"sysContact", Kind::Quoted, true, false, FIELD(sysContact), 127},
    {"sysLocation", Kind::Quoted, true, false, FIELD(sysLocation), 127},
    {"telnetEnabled", Kind::Number, false, false, FIELD(telnetEnabled)},
    {"telnetPort", Kind::Number, true, true, FIELD(telnetPort)},
    {"debTcpInactiveTimer", Kind::Tenths, true, false, FIELD(debTcpInactiveTimer)},
    {"ipAdNtpServer", Kind::Text, false, false, FIELD(ipAdNtpServer), 63},
    {"mailUserName", Kind::Quoted, true, false, FIELD(mailUserName), 31},
    {"mailPassword", Kind::Quoted, true, false, FIELD(mailPassword), 32},
    {"mailAddr", Kind::Quoted, false, false, FIELD(mailAddr), 32},
    {"mailSmtpServer", Kind::Quoted, true, false, FIELD(mailSmtpServer), 63},
    {"extMailAddr1", Kind::Quoted, false, false, FIELD(extMailAddr[0]), 32},
    {"extMailAddr2", Kind::Quoted, false, false, FIELD(extMailAddr[1]), 32},
    {"extMailAddr3", Kind::Quoted, false, false, FIELD(extMailAddr[2]), 32},
    {"extMailAddr4", Kind::Quoted, false, false, FIELD(extMailAddr[3]), 32},
    {"extMailAddr5", Kind::Quoted, false, false, FIELD(extMailAddr[4]), 32},
    {"extMailAddr6", Kind::Quoted, false, false, FIELD(extMailAddr[5]), 32},
    {"extMailAddr7", Kind::Quoted, false, false, FIELD(extMailAddr[6]), 32},
    {"extMailAddr8", Kind::Quoted, false, false, FIELD(extMailAddr[7]), 32},
    {"mailPopServer", Kind::Quoted, true, false, FIELD(mailPopServer), 63},
    {"mailApopEnabled", Kind::Number, true, false, FIELD(mailApopEnabled)},
    {"msrpEnabled", Kind::Flag, true, false, FIELD(msrpEnabled)},
    {"ipAdCenter", Kind::TextList, true, false, FIELD(ipAdCenter), 19},
    {"centerPort", Kind::NumberList, true, false, FIELD(centerPort)},
    {"centerSendTimer", Kind::Number, true, false, FIELD(centerSendTimer)},
    {"centerChangeSendTimer", Kind::Number, true, false, FIELD(centerChangeSendTimer)},
    {"centerChangeSendCount", Kind::Number, true, false, FIELD(centerChangeSendCount)},
    {"rs232Port1Speed", Kind::Number, true, true, FIELD(rs232Port1Speed)},
    {"rs232Port1Parity", Kind::Number, true, true, FIELD(rs232Port1Parity)},
    {"rs232Port1Bits", Kind::Number, true, true, FIELD(rs232Port1Bits)},
    {"rs232Port1StopBits", Kind::Number, true, true, FIELD(rs232Port1StopBits)},
    {"debOlName", Kind::QuotedList, true, false, FIELD(debOlName), 31},
    {"debOlPowerOnTime", Kind::NumberList, true, false, FIELD(debOlPowerOnTime)},
    {"debOlShutdownTime", Kind::NumberList, true, false, FIELD(debOlShutdownTime)},
    {"debOlRebootTime", Kind::TenthsList, true, false, FIELD(debOlRebootTime)},
    {"mailLogDisp", Kind::Ignored, false, false, none},
    {"debOlWdogAddr", Kind::TextList, true, false, FIELD(debOlWdogAddr), 15},
    {"debOlWdogAction", Kind::NumberList, true, false, FIELD(debOlWdogAction)},
    {"debOlWdogSendMax", Kind::NumberList, true, false, FIELD(debOlWdogSendMax)},
    {"debOlWdogNoResMax", Kind::NumberList, true, false, FIELD(debOlWdogNoResMax)},
    {"debOlWdogActCond", Kind::NumberList, true, false, FIELD(debOlWdogActCond)},
    {"debOlRebootInterval", Kind::NumberList, true, false, FIELD(debOlRebootInterval)},
    {"debOlRebootCount", Kind::NumberList, true, false, FIELD(debOlRebootCount)},
    {"debOlNoEchoInterval", Kind::Number, true, false, FIELD(debOlNoEchoInterval)},
    {"debOlPingInterval", Kind::Number, true, false, FIELD(debOlPingInterval)},
    {"debWakeupPhysAddr", Kind::TextList, true, false, FIELD(debWakeupPhysAddr), 18},
    {"debWakeupMaxCount", Kind::Number, true, false, FIELD(debWakeupMaxCount)},
    {"debWakeupInterval", Kind::Number, true, false, FIELD(debWakeupInterval)},
    {"schEnabled", Kind::NumberList, true, false, FIELD(schEnabled)},
    {"schDay", Kind::NumberList, true, false, FIELD(schDay)},
    {"schHour", Kind::NumberList, true, false, FIELD(schHour)},
    {"schMinute", Kind::NumberList, true, false, FIELD(schMinute)},
    {"schOutletNo", Kind::NumberList, true, false, FIELD(schOutletNo)},
    {"schAction", Kind::NumberList, true, false, FIELD(schAction)},
    {"model", Kind::Model, false, false, FIELD(model), 31},
    {"version", Kind::Quoted, false, false, FIELD(version), 31},
    {"serialNo", Kind::Quoted, false, false, FIELD(serialNo), 15},
};
#undef FIELD

const KeyEntry* findKey(std::string_view key) {
    // Older firmware writes these four with a capital first letter.
    static const std::pair<std::string_view, std::string_view> kAliases[] = {
        {"CenterPort", "centerPort"},
        {"CenterSendTimer", "centerSendTimer"},
        {"CenterChangeSendTimer", "centerChangeSendTimer"},
        {"CenterChangeSendCount", "centerChangeSendCount"}};
    for (const auto& [alias, name] : kAliases)
        if (key == alias) key = name;
    // Every line of a listing looks its key up: by hash, not by a walk of
    // the table (the first entry of a key, as a walk would find it).
    static const std::unordered_map<std::string_view, const KeyEntry*> byKey = [] {
        std::unordered_map<std::string_view, const KeyEntry*> m;
        for (const KeyEntry& k : kKeys) m.try_emplace(k.key, &k);
        return m;
    }();
    const auto found = byKey.find(key);
    return found == byKey.end() ? nullptr : found->second;
}

// The model name a reply must contain, by model code; empty: not checked.
std::string_view requiredModelName(int code) {
    switch (code) {
        case 9:
            return "SWD-7KB";
        case 10:
            return "SWD-8KBN";
        case 11:
            return "SWD-12K";
        case 12:
            return "SWD-Q6M";
        case 13:
            return "GV2208";
        default:
            return {};
    }
}

// Splits a list at ","; values beyond `count` are dropped.
std::vector<std::string_view> splitList(std::string_view v, int count) {
    std::vector<std::string_view> items;
    while (static_cast<int>(items.size()) < count) {
        const std::size_t comma = v.find(',');
        items.push_back(v.substr(0, comma));
        if (comma == std::string_view::npos) break;
        v.remove_prefix(comma + 1);
    }
    return items;
}

std::string quotedText(std::string_view v, std::size_t limit) {
    return unquote(v, limit + 1);
}

// Stores a reply value by its key's form.
void storeValue(const KeyEntry& k, DeviceSettings& s, std::string_view v) {
    const FieldRef f = k.field(s);
    switch (k.kind) {
        case Kind::Address:
            *f.address = parseIp(v);
            break;
        case Kind::Number:
            *f.numbers = parseCInt(v);
            break;
        case Kind::Flag:
            *f.flag = parseFlag(v);
            break;
        case Kind::Tenths:
            *f.numbers = parseTenths(v);
            break;
        case Kind::Text:
            *f.texts = cutText(v, k.limit);
            break;
        case Kind::Quoted:
        case Kind::Model:
        case Kind::WriteOnly:
            *f.texts = quotedText(v, k.limit);
            break;
        case Kind::NumberList:
        case Kind::TenthsList: {
            const auto items = splitList(v, f.count);
            for (std::size_t i = 0; i < items.size(); ++i)
                f.numbers[i] =
                    k.kind == Kind::TenthsList ? parseTenths(items[i]) : parseCInt(items[i]);
            break;
        }
        case Kind::TextList:
        case Kind::QuotedList: {
            const auto items = splitList(v, f.count);
            for (std::size_t i = 0; i < items.size(); ++i)
                f.texts[i] = k.kind == Kind::QuotedList ? quotedText(items[i], k.limit)
                                                        : cutText(items[i], k.limit);
            if (k.key == "debOlWdogAddr") s.debOlWdogAddrCount = static_cast<int>(items.size());
            break;
        }
        case Kind::Mac:
        case Kind::Ignored:
            break;
    }
}

// The schedule slots' commands follow their action and outlet numbers.
void rebuildScheduleCommands(DeviceSettings& s) {
    for (int i = 0; i < kSlots; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const char* verb = s.schAction[slot] == 1   ? "POR"
                           : s.schAction[slot] == 2 ? "PON"
                           : s.schAction[slot] == 3 ? "POF"
                                                    : nullptr;
        s.schCommand[slot] = verb ? verb + std::to_string(s.schOutletNo[slot]) : std::string();
    }
}

int actionOfCommand(std::string_view c) {
    if (startsWith(c, "POR") || startsWith(c, "MPOR")) return 1;
    if (startsWith(c, "PON") || startsWith(c, "MPON")) return 2;
    if (startsWith(c, "POF") || startsWith(c, "MPOF")) return 3;
    return 0;
}

}  // namespace

ReplyEffects parseSettingLine(ReplyTarget& target, std::string_view line) {
    ReplyEffects effects;
    if (!line.empty() && line.front() == '?') line.remove_prefix(1);
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return effects;
    const KeyEntry* k = findKey(line.substr(0, eq));
    if (!k) return effects;
    const std::string_view value = line.substr(eq + 1);
    DeviceSettings& s = target.status.settings;
    switch (k->kind) {
        case Kind::WriteOnly:
        case Kind::Ignored:
            return effects;
        case Kind::Mac: {
            const std::string mac = readMacGroups(value);
            if (mac.empty()) return effects;
            target.record.macText = cutText(mac, field::kMac);
            effects.recordChanged = true;
            return effects;
        }
        case Kind::Model: {
            storeValue(*k, s, value);
            const std::string_view required = requiredModelName(target.record.modelCode);
            effects.error = !required.empty() && !contains(value, required);
            return effects;
        }
        default:
            break;
    }
    storeValue(*k, s, value);
    if (k->key == "rs232Port1Speed") s.rs232LastRead[0] = s.rs232Port1Speed;
    if (k->key == "rs232Port1Parity") s.rs232LastRead[1] = s.rs232Port1Parity;
    if (k->key == "rs232Port1Bits") s.rs232LastRead[2] = s.rs232Port1Bits;
    if (k->key == "rs232Port1StopBits") s.rs232LastRead[3] = s.rs232Port1StopBits;
    if (k->key == "schAction" || k->key == "schOutletNo") rebuildScheduleCommands(s);
    return effects;
}

const std::vector<std::string_view>& settingKeys() {
    static const std::vector<std::string_view> keys = [] {
        std::vector<std::string_view> v;
        for (const KeyEntry& k : kKeys) v.push_back(k.key);
        return v;
    }();
    return keys;
}

bool isWritableSetting(std::string_view key) {
    const KeyEntry* k = findKey(key);
    return k && k->writable;
}

bool settingRestartsDevice(std::string_view key) {
    const KeyEntry* k = findKey(key);
    return k && k->restart;
}

std::string settingText(const DeviceSettings& constSettings, std::string_view key) {
    const KeyEntry* k = findKey(key);
    if (!k) return {};
    // The field accessors take a mutable block; nothing is changed here.
    auto& s = const_cast<DeviceSettings&>(constSettings);
    const FieldRef f = k->field(s);
    auto joinNumbers = [&](auto format) {
        std::string out;
        for (int i = 0; i < f.count; ++i) out += (i ? "," : "") + format(f.numbers[i]);
        return out;
    };
    auto decimal = [](std::int64_t v) { return std::to_string(v); };
    if (k->key == "debTcpInactiveTimer")  // the device takes whole seconds
        return s.debTcpInactiveTimer < 0 ? "-1" : std::to_string(s.debTcpInactiveTimer / 10);
    if (k->key == "schEnabled")
        return joinNumbers([](std::int64_t v) { return std::string(v ? "1" : "0"); });
    if (k->key == "schAction") {
        std::string out;
        for (int i = 0; i < kSlots; ++i)
            out += (i ? "," : "") +
                   std::to_string(actionOfCommand(s.schCommand[static_cast<std::size_t>(i)]));
        return out;
    }
    switch (k->kind) {
        case Kind::Address:
            return formatIp(*f.address);
        case Kind::Number:
            return decimal(*f.numbers);
        case Kind::Flag:
            return *f.flag ? "1" : "0";
        case Kind::Tenths:
            return formatTenths(*f.numbers);
        case Kind::Text:
        case Kind::Quoted:
        case Kind::Model:
        case Kind::WriteOnly:
            return *f.texts;
        case Kind::NumberList:
            return joinNumbers(decimal);
        case Kind::TenthsList:
            return joinNumbers(formatTenths);
        case Kind::TextList:
        case Kind::QuotedList: {
            int count = f.count;
            if (k->key == "debOlWdogAddr" && s.debOlWdogAddrCount > 0) count = s.debOlWdogAddrCount;
            std::string out;
            for (int i = 0; i < count; ++i) out += (i ? "," : "") + f.texts[i];
            return out;
        }
        case Kind::Mac:
        case Kind::Ignored:
            return {};
    }
    return {};
}

EntryResult enterSetting(DeviceSettings& s, std::string_view key, std::string_view text) {
    const KeyEntry* k = findKey(key);
    if (!k) return EntryResult::UnknownKey;
    if (!k->writable) return EntryResult::ReadOnly;
    const int count = k->field(s).count;
    auto number = [](std::string_view t, bool allowSign) {
        std::string_view digits = t;
        if (allowSign && !digits.empty() && digits.front() == '-') digits.remove_prefix(1);
        return !digits.empty() && parseInt(digits) >= 0;
    };
    switch (k->kind) {
        case Kind::Address:
            if (parseIp(text) == 0 && text != "0.0.0.0") return EntryResult::BadValue;
            break;
        case Kind::Number:
        case Kind::Flag:
            if (!number(text, false)) return EntryResult::BadValue;
            break;
        case Kind::Tenths:
            if (parseTenths(text) < 0) return EntryResult::BadValue;
            break;
        case Kind::NumberList:
        case Kind::TenthsList:
            for (std::string_view item : splitList(text, count))
                if (k->kind == Kind::NumberList ? !number(item, true) : parseTenths(item) < 0)
                    return EntryResult::BadValue;
            break;
        default:
            break;
    }
    std::string value(text);
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if ((k->kind == Kind::Quoted || k->kind == Kind::WriteOnly) && !quoted)
        value = "\"" + value + "\"";
    if (k->kind == Kind::QuotedList) {
        std::string listed;
        for (std::string_view item : splitList(text, count)) {
            const bool q = item.size() >= 2 && item.front() == '"' && item.back() == '"';
            listed += (listed.empty() ? "" : ",") +
                      (q ? std::string(item) : "\"" + std::string(item) + "\"");
        }
        value = listed;
    }
    storeValue(*k, s, value);
    if (k->key == "schAction" || k->key == "schOutletNo") rebuildScheduleCommands(s);
    if (startsWith(k->key, "sch")) s.scheduleEdited = true;
    s.changed.insert(std::string(k->key));
    return EntryResult::Ok;
}

EntryResult enterCenterRegister(DeviceSettings& s, std::uint32_t number, std::string_view text) {
    if (number < kCenterRegisterFirst || number > kCenterRegisterLast) return EntryResult::ReadOnly;
    const std::size_t i = number - kCenterRegisterFirst;
    if (number != 0x231 && parseInt(text) < 0 && parseTenths(text) < 0)
        return EntryResult::BadValue;
    s.centerRegisterEdit[i] = std::string(text);
    s.centerRegisterChanged[i] = true;
    return EntryResult::Ok;
}

}  // namespace zelo
