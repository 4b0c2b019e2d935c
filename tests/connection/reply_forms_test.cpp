// The reply parsers line by line: outlet states, the device clock, SPEC,
// registers, schedule entries, settings lines and refusals, in both
// dialects. Each row names its line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "connection/device_settings.h"
#include "connection/framed_replies.h"
#include "connection/plain_replies.h"
#include "connection/register_table.h"

namespace zelo {
namespace {

// What a parser reads into, for a framed unit "00:HX>" of model 11 (whose
// settings replies must name SWD-12K).
struct Target {
    DeviceRecord record;
    DeviceStatus status;
    std::string promptName = "pdu";
    int listMode = 0;
    bool listStarted = false, listEnded = false;
    ReplyTarget t{record, status, promptName, listMode, listStarted, listEnded};

    Target() {
        record.selectNumber = "00";
        record.prompt = "HX";
        record.modelCode = 11;
    }
    ReplyEffects framed(const std::string& line) { return parseFramedReply(t, line, 1'717'000'000); }
    ReplyEffects plain(const std::string& line) { return parsePlainReply(t, line); }
    ReplyEffects setting(const std::string& line) { return parseSettingLine(t, line); }
    const RegisterValue* reg(std::uint16_t n) const {
        auto it = status.registers.find(n);
        return it == status.registers.end() ? nullptr : &it->second;
    }
};

TEST(ReplyForms, OutletStates) {
    const struct {
        bool plain;
        std::string line;
        int count;
        const char* power;  // not looked at when null
    } cases[] = {
        {false, "*00:POS=1:0,0:0,1:1,0:0,", 4, "1010"},  // master not known: no master digit
        {false, "*00:POS=1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,", 8, "11111111"},
        {false, "*00:POS=", 0, ""},
        {false, "*00:POS=1", 1, "1"},
        {false, "*00:POS=1:0,0", 2, "10"},  // the second field cut after its state
        {false, "*00:POS=1:0, :0,", 1, "1"},  // a blank ends the states
        {false, "*00:MPOS=0,1:0,5:0,2:0,", 3, "0 101"},  // 5 counts as off, 2 as on
        {false, "00:HX>*00:POS=0:0,0:0,", 2, "00"},  // a prompt in front hides nothing
        {true, "XPOS 1,,,,,,0,,,,,", 2, "10"},
        {true, "XPOS 1:0000, :0000", 1, "1"},  // a blank or a control character ends them
        {true, "XPOS 1:0000,\x1F:0000", 1, "1"},
        {true, "XPOS 1:0000,!:0000", 2, nullptr},
        {true, "XPOS 1:0000,\x7F:0000", 2, nullptr},
        {true, "XPOS 1:0000,\x80:0000", 1, "1"},  // and so does a byte above 127
        {true, "XPOS 9,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1", 8, nullptr},
        {true, "XPOS ", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Target t;
        t.status.masterPresent = !c.plain;  // as the framed login has it
        const ReplyEffects e = c.plain ? t.plain(c.line) : t.framed(c.line);
        EXPECT_EQ(t.status.outletCount, c.count);
        EXPECT_EQ(t.record.powerText, c.power ? c.power : t.record.powerText);
        EXPECT_TRUE(e.recordChanged);
    }
}

TEST(ReplyForms, WhatALineDidIsReportedNotActedOn) {
    Target t;
    t.record.powerText = "0 0000";
    const ReplyEffects pos = t.framed("*00:POS=1:0,0:0,1:0,");
    EXPECT_TRUE(pos.masterWanted);
    EXPECT_FALSE(pos.masterChanged);
    EXPECT_FALSE(pos.error);
    EXPECT_EQ(pos.outletsChanged, 0b101);  // outlets 0 and 2 were 0
    const ReplyEffects mpos = t.framed("*00:MPOS=0,1:0,0:0,1:0,");
    EXPECT_TRUE(mpos.masterChanged);
    EXPECT_FALSE(mpos.masterWanted);
    EXPECT_EQ(mpos.outletsChanged, 0);
    EXPECT_EQ(t.record.updateTime, 1'717'000'000u);
    EXPECT_FALSE(t.framed("*00:DT=2006/04/01 Sat 12:34:56").recordChanged);
    t.plain("XPOS 0,,,,,,0,,,,,,0");
    EXPECT_EQ(t.plain("XPOS 0,,,,,,1,,,,,,0").outletsChanged, 0b010);
}

std::string clockText(const DeviceClock& c) {
    char text[64];
    std::snprintf(text, sizeof text, "%d-%d-%d w%d %d:%d:%d dst%d", c.year, c.month, c.day,
                  c.weekday, c.hour, c.minute, c.second, c.daylight);
    return text;
}

// Lines read one after the other; the clock as the last one left it
// (years since 1900, months from 0, weekdays from Sunday).
TEST(ReplyForms, DeviceClock) {
    const struct {
        std::vector<std::string> lines;
        const char* clock;
    } cases[] = {
        {{"*00:DT=2006/04/01 Sat 12:34:56"}, "106-3-1 w6 12:34:56 dst0"},
        {{"*00:DT=2006/07/02 Sunday 01:02:03 (DT)"}, "106-6-2 w0 1:2:3 dst-1"},
        {{"*00:DT=2006/07/05 Xyz 01:02:03 (ST)"}, "106-6-5 w0 1:2:3 dst0"},  // unknown: Sunday
        {{"*00:DT=2006/04/01 Sat 12:34:56", "*00:DT=2006/07"}, "106-3-1 w6 12:34:56 dst0"},
        {{"DATE 06.04.01"}, "106-3-1 w6 0:0:0 dst0"},
        {{"DATE 07/05/02", "TIME 13:05:09"}, "107-4-2 w3 13:5:9 dst0"},
        {{"DATE 99/12/31"}, "199-11-31 w4 0:0:0 dst0"},
        {{"DATE 06.04.01 (Sat)"}, "106-3-1 w6 0:0:0 dst0"},  // anything after the day
        // Other separators, mixed ones, other characters between the
        // numbers and numbers out of range change nothing.
        {{"DATE 07-05-02", "DATE 07.05/02", "DATE 07/05.02", "DATE 07.x5.02",
          "DATE 06.04.99999999999", "DATE   .  .99999999999 -99999999999 1", "DATE 06.13.01",
          "DATE 06.04.00", "DATE 06.04.32", "DATE -1.04.01", "DATE 1", "DATE "},
         "0-0-0 w0 0:0:0 dst0"},
        {{"TIME 13.05.09", "TIME 13:05", "TIME 1:", "TIME 13:0x:09"}, "0-0-0 w0 0:0:0 dst0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines.back());
        Target t;
        for (const std::string& line : c.lines)
            EXPECT_FALSE(line[0] == '*' ? t.framed(line).error : t.plain(line).error);
        EXPECT_EQ(clockText(t.status.clock), c.clock);
    }
    EXPECT_EQ(weekdayOf(2024, 1, 1), 1);   // Monday, January counts as month 13
    EXPECT_EQ(weekdayOf(2000, 2, 29), 2);  // Tuesday
}

TEST(ReplyForms, SpecIsReadOnlyWithItsDashes) {
    const struct {
        const char* line;
        const char* read;  // groups, master, model byte, spec field, sensor, ping
    } cases[] = {
        {"*00:SPEC=7200-0100-4101-0300-1400-0001-0000-4", "4 1 3 20 1 4"},  // field "0014"
        {"*00:SPEC=7200-0100-4100-0300-2A19-0001-0000-4", "0 1 3 42 1 4"},  // "192A", low 8 bits
        {"*00:SPEC=7200+0100-6101-0300-1400-0001-0000-4", "0 0 0 0 0 0"},  // a dash missing
        {"*00:SPEC=7200-0100-6101-0300-1400-0001-0000-", "6 1 3 20 1 0"},  // ends at its last dash
        {"*00:SPEC=7200-01", "0 0 0 0 0 0"},
    };
    for (const auto& c : cases) {
        Target t;
        t.framed(c.line);
        const DeviceStatus& st = t.status;
        char read[64];
        std::snprintf(read, sizeof read, "%d %d %d %d %d %d", st.outletGroups, st.masterDigit,
                      st.modelByte, st.specField, st.sensorDigit, st.pingDigit);
        EXPECT_EQ(std::string(read), c.read) << c.line;
    }
}

TEST(ReplyForms, ScheduleFlagsLogAndOutletTypes) {
    Target t;
    t.framed("*00:MPOS=1,1:0,1:0,1:0,1:0,");
    EXPECT_EQ(scheduleText(t.status), "----");
    t.framed("*00:SCS=1:0,0:0,1:0,0:0,1:0,");  // a fifth flag beyond the outlet count
    EXPECT_TRUE(t.status.scheduleKnown);
    EXPECT_EQ(t.record.scheduleText, "1010");
    t.framed("*00:SCS=1");  // short: only the first flag
    EXPECT_EQ(t.record.scheduleText, "1010");
    t.framed("*00:LOG0=0123456789012345678901234567890123456789");
    EXPECT_EQ(t.status.lastLogText, "0123456789012345678901234567890");
    t.framed("*00:LOG0=");
    EXPECT_EQ(t.status.lastLogText, "");
    t.status.outletCount = 3;
    t.framed("*00:TYPE=11,1A,22,33,44");
    EXPECT_EQ(t.status.outlets[1].type, 0x1A);
    EXPECT_EQ(t.status.outlets[2].type, 0x22);
    EXPECT_EQ(t.status.outlets[3].type, 0);  // beyond the outlet count
    t.framed("*00:TYPE=");
    EXPECT_EQ(t.status.outlets[0].type, 0);
}

TEST(ReplyForms, RefusalsAndWrongModels) {
    const struct {
        const char* line;
        bool plain, listMode, error;
    } cases[] = {
        {"*00:Err", false, false, true},           {"*00:Error in line 3", false, false, true},
        {"*01:Err", false, false, false},          {"Err", false, false, false},
        {"", false, false, false},                 {"*00:", false, false, false},
        {"*00:SOMETHING=1", false, false, false},  {"501 Syntax error", true, false, true},
        {"XPOS 1", true, false, false},            {"501 Invalid setting", true, true, true},
        {"sysContact=501", true, true, false},     {"?model=\"SWD-12K\"", true, false, false},
        {"?model=\"SWD-Q6M\"", true, false, true}, {"model=\"SWD-Q6M\"", true, true, false},
    };
    for (const auto& c : cases) {
        Target t;
        t.listMode = c.listMode ? 1 : 0;
        EXPECT_EQ((c.plain ? t.plain(c.line) : t.framed(c.line)).error, c.error) << c.line;
    }
}

// The register value as it is listed again; null: not in the table.
TEST(ReplyForms, RegistersByTheirForm) {
    const struct {
        const char* line;
        std::uint16_t number;
        const char* value;
    } cases[] = {
        {"R190=9600", 0x190, "9600"},
        {"R170=7", 0x170, "1"},  // flag
        {"R282=30.5", 0x282, "30.5"},
        {"R283=3.x", 0x283, "-1"},  // malformed tenths
        {"R201=255.255.255.0", 0x201, "255.255.255.0"},
        {"R204=255.255.0", 0x204, "0.0.0.0"},  // malformed address
        {"R231=123456789012345678901234", 0x231, "123456789012345678"},
        {"R2002=65561", 0x2002, "25"},  // 16 bits
        {"R2004=258", 0x2004, "2"},     // 8 bits
        {"R900=-3,12", 0x900, "-3,12"},
        {"R582=MAIL", 0x582, "MAIL"},
        {"R583=ANY", 0x583, "NONE"},
        {"R880=0123456789012345678901234567890123", 0x880, "012345678901234567890123456789"},
        {"R9900=00:80:87:0A:0B:0C", 0x9900, "0080870A0B0C"},
        {"R9801=65537", 0x9801, "1"},
        {"R222=9", 0x222, nullptr},
        {"R4018=1.0", 0x4018, nullptr},
        {"r307=1.0", 0x307, nullptr},  // lower-case "r" is no register line
        {"R12=1", 0x12, nullptr},      // too short
        // Where each per-outlet range begins and ends: entries 0..7 in their
        // own form (1.5 reads as 1 in a number, 15 tenths otherwise).
        {"R2FF=1.5", 0x2FF, nullptr}, {"R300=1.5", 0x300, "1.5"},   {"R307=1.5", 0x307, "1.5"},
        {"R308=1.5", 0x308, nullptr}, {"R4FF=1.5", 0x4FF, nullptr}, {"R500=1.5", 0x500, "1"},
        {"R507=1.5", 0x507, "1"},     {"R508=1.5", 0x508, nullptr}, {"R53F=1.5", 0x53F, nullptr},
        {"R540=1.5", 0x540, "1.5"},   {"R547=1.5", 0x547, "1.5"},   {"R548=1.5", 0x548, nullptr},
        {"R400F=1.5", 0x400F, nullptr}, {"R4010=1.5", 0x4010, "1.5"}, {"R4017=1.5", 0x4017, "1.5"},
        {"R405F=1.5", 0x405F, nullptr}, {"R4060=1.5", 0x4060, "1"},   {"R4067=1.5", 0x4067, "1"},
        {"R4068=1.5", 0x4068, nullptr},
    };
    for (const auto& c : cases) {
        Target t;
        t.framed(std::string("*00:") + c.line);
        const RegisterValue* v = t.reg(c.number);
        if (!c.value) {
            EXPECT_TRUE(t.status.registers.empty()) << c.line;
        } else if (v) {
            EXPECT_EQ(formatRegisterValue(*v), c.value) << c.line;
        } else {
            ADD_FAILURE() << c.line << " was not read";
        }
    }
}

TEST(ReplyForms, RegistersMirroredIntoSettingsAndRecord) {
    Target t;
    for (const char* line : {"*00:R190=9600", "*00:R282=30.5", "*00:R231=10.0.0.9", "*00:R2002=25",
                             "*00:R871=\"Rack room\"", "*00:R870=rack", "*00:R9930=SN0042"})
        t.framed(line);
    const DeviceSettings& s = t.status.settings;
    EXPECT_EQ(s.rs232Port1Speed, 9600);
    EXPECT_EQ(s.debTcpInactiveTimer, 305);
    EXPECT_EQ(s.ipAdCenter[0], "10.0.0.9");
    EXPECT_EQ(t.status.smtpPort, 25);
    EXPECT_EQ(s.sysLocation, "\"Rack room\"");
    EXPECT_EQ(t.promptName, "rack");
    EXPECT_EQ(s.serialNo, "SN0042");
    t.framed("*00:R200=0.0.0.0");
    EXPECT_EQ(s.dhcpEnabled, 1);  // no own address: DHCP
    t.framed("*00:R200=192.168.0.10");
    EXPECT_EQ(s.dhcpEnabled, 0);
    EXPECT_EQ(s.ipAdEntAddr, 0xC0A8000Au);
    EXPECT_TRUE(t.framed("*00:R9900=00:80:87:0A:0B:0C").recordChanged);
    EXPECT_EQ(t.record.macText, "0080870A0B0C");
    EXPECT_FALSE(t.framed("*00:R9900=00:80:87").recordChanged);  // incomplete: kept
    EXPECT_EQ(t.record.macText, "0080870A0B0C");
}

TEST(ReplyForms, RegisterListRunsFromHeaderThroughDashesToPrompt) {
    Target t;
    t.framed("*00:RL=170-1FF");
    EXPECT_EQ(t.listMode, 1);
    EXPECT_TRUE(t.listStarted);
    t.framed("R193=2");
    EXPECT_EQ(t.reg(0x193)->number, 2);
    EXPECT_FALSE(t.framed("00:HX>").listEnded);  // a prompt before the dashes ends nothing
    EXPECT_EQ(t.listMode, 1);
    t.framed("--------");
    EXPECT_TRUE(t.listEnded);
    EXPECT_TRUE(t.framed("00:HX>").listEnded);
    EXPECT_EQ(t.listMode, 0);
    t.framed("R191=7");  // outside the list: not a register line any more
    EXPECT_EQ(t.reg(0x191), nullptr);

    t.framed("*00:PLIST=0-199");
    EXPECT_EQ(t.listMode, 2);
    t.framed("PL01=DATE 0401 07:05 00:03 M-FL");
    t.framed("PL205=WEEK 12:30 01:02 Mon1");  // beyond the table
    t.framed("-----");
    t.framed("00:HX>");
    EXPECT_EQ(t.listMode, 0);
    EXPECT_TRUE(t.status.scheduleList[1].used);
    EXPECT_EQ(t.status.scheduleList[1].dateField, 401);
}

TEST(ReplyForms, ScheduleEntries) {
    const struct {
        const char* value;
        const char* read;  // code, date, hour, minute, outlet, action, day token, week
    } cases[] = {
        {"WEEK 12:30 01:02 Mon1", "WEEK 0 12 30 1 2 1 1"},
        {"DATE 0401 07:05 00:03 M-FL", "DATE 401 7 5 0 3 8 6"},
        {"SPEC 9999 T     02:01 All ", "SPEC 9999 255 255 2 1 7 0"},
        {"WEEK", "WEEK 0 0 0 0 0 7 0"},  // short: as far as it goes
        {"WEEK 1x:30 01:02 Xyz9", "WEEK 0 1 30 1 2 7 0"},
    };
    for (const auto& c : cases) {
        ListedScheduleEntry e;
        parseListedScheduleEntry(c.value, e);
        char read[96];
        std::snprintf(read, sizeof read, "%s %d %d %d %d %d %d %d", e.code.c_str(), e.dateField,
                      e.hour, e.minute, e.outlet, e.action, e.dayToken, e.weekOfMonth);
        EXPECT_EQ(std::string(read), c.read) << c.value;
    }
}

TEST(ReplyForms, FirmwareVersionLines) {
    Target t;
    EXPECT_FALSE(t.plain("version 1.23a.0012 /061231").error);
    EXPECT_EQ(t.status.firmwareVersion, (0x1u << 16) + (0x23u << 8) + 'a');
    EXPECT_EQ(t.status.firmwareBuild, 0x12u);
    EXPECT_EQ(t.status.firmwareDate, "061231");
    t.plain("version 2.10 /0612");
    EXPECT_EQ(t.status.firmwareVersion, (0x2u << 16) + (0x10u << 8) + ' ');
    EXPECT_EQ(t.status.firmwareDate, "061231");  // too few digits: unchanged
    for (const char* odd : {"ver", "ver ", "ver 1."}) t.plain(odd);
    EXPECT_EQ(t.status.firmwareVersion, (0x2u << 16) + (0x10u << 8) + ' ');
}

// A settings line, then the key's value as it would be written back.
TEST(ReplyForms, SettingsLines) {
    const std::string u40(40, 'u'), x40(40, 'x');
    std::string twentyTwo;
    for (int i = 0; i < 22; ++i) twentyTwo += (i ? "," : "") + std::to_string(i);
    const struct {
        std::string line;
        const char* key;
        std::string value;
    } cases[] = {
        {"ipAdEntAddr=192.168.1.20", "ipAdEntAddr", "192.168.1.20"},
        {"?ipAdEntNetMask=255.255.255.0", "ipAdEntNetMask", "255.255.255.0"},
        {"ipRouteDest=192.168.1", "ipRouteDest", "0.0.0.0"},
        {"telnetPort=2323", "telnetPort", "2323"},
        {"msrpEnabled=5", "msrpEnabled", "1"},
        {"sysContact=\"admin@example.com\"", "sysContact", "admin@example.com"},
        {"mailUserName=\"" + u40 + "\"", "mailUserName", std::string(31, 'u')},
        {"mailPassword=\"" + u40 + "\"", "mailPassword", std::string(32, 'u')},
        {"sysLocation=x", "sysLocation", ""},  // too short to carry quotes
        {"ipAdNtpServer=" + std::string(70, 'n'), "ipAdNtpServer", std::string(63, 'n')},
        {"serialNo=\"SN0001-TOO-LONG-FOR-IT\"", "serialNo", "SN0001-TOO-LONG"},
        {"debTcpInactiveTimer=30.5", "debTcpInactiveTimer", "30"},  // written in whole seconds
        {"debTcpInactiveTimer=3x", "debTcpInactiveTimer", "-1"},
        {"debOlName=\"Web\",\"Mail\",\"" + x40 + "\",\"Four\",\"Five\"", "debOlName",
         "Web,Mail," + std::string(31, 'x') + ",Four"},
        {"debOlPowerOnTime=5,-1,0,12,99", "debOlPowerOnTime", "5,-1,0,12"},
        {"debOlRebootTime=5.0,1.5,2", "debOlRebootTime", "5.0,1.5,2.0,0.0"},
        {"schHour=" + twentyTwo, "schHour", twentyTwo.substr(0, twentyTwo.find(",20"))},
        {"ipAdCenter=10.0.0.1,10.0.0.2,10.0.0.3,10.0.0.4", "ipAdCenter",
         "10.0.0.1,10.0.0.2,10.0.0.3"},
        {"debWakeupPhysAddr=00:11:22:33:44:55", "debWakeupPhysAddr", "00:11:22:33:44:55,,,"},
        {"CenterPort=5000,5001,5002", "centerPort", "5000,5001,5002"},
        {"CenterSendTimer=60", "centerSendTimer", "60"},
        {"CenterChangeSendTimer=7", "centerChangeSendTimer", "7"},
        {"CenterChangeSendCount=3", "centerChangeSendCount", "3"},
        {"CENTERPORT=1", "centerPort", "0,0,0"},  // keys are compared exactly
        {"sysName=\"ignored\"", "sysName", ""},   // the name comes from the greeting
        {"noSuchKey=1", "noSuchKey", ""},
    };
    for (const auto& c : cases) {
        Target t;
        EXPECT_FALSE(t.setting(c.line).error) << c.line;
        EXPECT_EQ(settingText(t.status.settings, c.key), c.value) << c.line;
    }
    Target t;
    for (const char* odd : {"no equals sign", "", "?", "=", "mailLogDisp=1"})
        EXPECT_FALSE(t.setting(odd).error || t.setting(odd).recordChanged) << odd;
}

TEST(ReplyForms, ScheduleActionsBecomeSlotCommands) {
    Target t;
    t.setting("schOutletNo=1,2,3,4");
    t.setting("schAction=1,2,3,0");
    const DeviceSettings& s = t.status.settings;
    EXPECT_EQ(s.schCommand[0], "POR1");
    EXPECT_EQ(s.schCommand[1], "PON2");
    EXPECT_EQ(s.schCommand[2], "POF3");
    EXPECT_EQ(s.schCommand[3], "");
    t.status.settings.schCommand[0] = "MPON";
    t.status.settings.schCommand[1] = "MPOR";
    EXPECT_EQ(settingText(s, "schAction").substr(0, 8), "2,1,3,0,");
}

TEST(ReplyForms, MacAndModelInSettingsLines) {
    Target t;
    EXPECT_TRUE(t.setting("ifPhysAddress=00:80:87:12:34:56").recordChanged);
    EXPECT_EQ(t.record.macText, "008087123456");
    EXPECT_FALSE(t.setting("ifPhysAddress=garbage").recordChanged);
    EXPECT_EQ(t.record.macText, "008087123456");
    const struct {
        int model;
        const char* line;
        bool error;
    } cases[] = {{11, "model=\"SWD-12K\"", false}, {11, "model=\"SWD-Q6M\"", true},
                 {10, "?model=\"SWD-8KBN\"", false}, {10, "?model=\"SWD-8KB\"", true},
                 {6, "model=\"anything\"", false}};  // not checked
    for (const auto& c : cases) {
        t.record.modelCode = c.model;
        EXPECT_EQ(t.setting(c.line).error, c.error) << c.model << " " << c.line;
    }
    EXPECT_EQ(t.status.settings.model, "anything");
}

}  // namespace
}  // namespace zelo
