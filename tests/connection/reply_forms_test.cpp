// The reply parsers line by line, as one table: lines of a form read one
// after the other into a fresh unit "00:HX>" (of model 11 unless told),
// then one thing about what they left, as text.
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

// Framed, plain, plain inside a settings list, a settings line.
enum Parser { F, P, L, S };

struct Row {
    Parser parser;
    std::vector<std::string> lines;
    std::string probe;
    std::string expected;
    int model = 11;
};

std::string format(const char* f, long a = 0, long b = 0, long c = 0, long d = 0, long e = 0,
                   long g = 0, long h = 0, long i = 0) {
    char text[128];
    std::snprintf(text, sizeof text, f, a, b, c, d, e, g, h, i);
    return text;
}

// What a probe reads: "states" (count and power text), "effects" of the
// last line ("any": of all lines), "clock", "spec", "types", "schedule", "log", "list", "R<hex>"
// (the register as listed again, "-" when not read), "registers" (how
// many), "set <key>" (the value as it is written back), "mac", "fw", "prompt",
// "entry <n>", "slots", "mirrors".
std::string observe(const Row& row) {
    DeviceRecord record;
    record.selectNumber = "00";
    record.prompt = "HX";
    record.modelCode = row.model;
    DeviceStatus st;
    st.masterPresent = row.parser == F;  // as the framed login has it
    std::string promptName = "pdu";
    int listMode = row.parser == L ? 1 : 0;
    bool started = false, ended = false;
    ReplyTarget t{record, st, promptName, listMode, started, ended};
    ReplyEffects e, any;
    for (const std::string& line : row.lines) {
        e = row.parser == F   ? parseFramedReply(t, line, 1'717'000'000)
            : row.parser == S ? parseSettingLine(t, line)
                              : parsePlainReply(t, line);
        any |= e;
    }
    const std::string& p = row.probe;
    if (p == "any")
        e = any;
    else if (any.error && p != "effects")
        return "refused";
    const DeviceClock& c = st.clock;
    const DeviceSettings& s = st.settings;
    if (p == "states") return std::to_string(st.outletCount) + " " + record.powerText;
    if (p == "effects" || p == "any") {
        const std::string flags =
            std::string(e.error ? " error" : "") + (e.recordChanged ? " record" : "") +
            (e.masterWanted ? " wanted" : "") + (e.masterChanged ? " master" : "") +
            (e.listEnded ? " ended" : "") +
            (e.outletsChanged ? format(" outlets %lx", e.outletsChanged) : "");
        return flags.empty() ? "none" : flags.substr(1);
    }
    if (p == "clock")
        return format("%ld-%ld-%ld w%ld %ld:%ld:%ld dst%ld", c.year, c.month, c.day, c.weekday,
                      c.hour, c.minute, c.second, c.daylight);
    if (p == "spec")
        return format("%ld %ld %ld %ld %ld %ld", st.outletGroups, st.masterDigit, st.modelByte,
                      st.specField, st.sensorDigit, st.pingDigit);
    if (p == "types")
        return format("%lx %lx %lx %lx", st.outlets[0].type, st.outlets[1].type, st.outlets[2].type,
                      st.outlets[3].type);
    if (p == "schedule")
        return std::to_string(st.scheduleKnown) + " " + scheduleText(st) + " " +
               record.scheduleText;
    if (p == "log") return st.lastLogText;
    if (p == "list") return format("%ld %ld %ld", listMode, started, ended);
    if (p[0] == 'R') {
        const auto n = static_cast<std::uint16_t>(std::stoul(p.substr(1), nullptr, 16));
        const auto it = st.registers.find(n);
        return it == st.registers.end() ? "-" : formatRegisterValue(it->second);
    }
    if (p == "registers") return std::to_string(st.registers.size());
    if (p.rfind("set ", 0) == 0) return settingText(s, p.substr(4));
    if (p == "mac") return record.macText;
    if (p == "fw")
        return format("%lx %lx ", st.firmwareVersion, st.firmwareBuild) + st.firmwareDate;
    if (p == "prompt") return promptName;
    if (p.rfind("entry ", 0) == 0) {
        const ListedScheduleEntry& x = st.scheduleList[std::stoul(p.substr(6))];
        return format("%ld %ld %ld %ld %ld %ld %ld %ld", x.used, x.dateField, x.hour, x.minute,
                      x.outlet, x.action, x.dayToken, x.weekOfMonth) +
               " " + x.code;
    }
    if (p == "slots")
        return s.schCommand[0] + "," + s.schCommand[1] + "," + s.schCommand[2] + "," +
               s.schCommand[3];
    if (p == "mirrors")
        return format("%ld %ld %ld %ld %lx ", s.rs232Port1Speed, s.debTcpInactiveTimer, st.smtpPort,
                      s.dhcpEnabled, s.ipAdEntAddr) +
               s.ipAdCenter[0] + " " + s.sysLocation + " " + s.serialNo + " " + s.debOlName[1];
    ADD_FAILURE() << "no probe " << p;
    return {};
}

const std::string k40(40, 'x');

const Row kRows[] = {
    // ---- outlet states; 5 counts as off, 2 as on; no master digit while
    // the master state is not known
    {F, {"*00:POS=1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,"}, "states", "8 11111111"},
    {F, {"*00:POS="}, "states", "0 "},
    {F, {"*00:POS=1:0,0"}, "states", "2 10"},
    {F, {"*00:POS=1:0, :0,"}, "states", "1 1"},  // a blank ends the states
    {F, {"*00:MPOS=0,1:0,5:0,2:0,"}, "states", "3 0 101"},
    {F, {"00:HX>*00:POS=0:0,0:0,"}, "states", "2 00"},  // a prompt in front hides nothing
    {P, {"XPOS 1,,,,,,0,,,,,"}, "states", "2 10"},
    {P, {"XPOS 1:0000, :0000"}, "states", "1 1"},     // a blank (or a byte below it) or a
    {P, {"XPOS 1:0000,\x80:0000"}, "states", "1 1"},  // byte above 127 ends the states
    {P, {"XPOS 1:0000,!:0000"}, "effects", "record outlets 3"},
    {P, {"XPOS 1:0000,\x7F:0000"}, "effects", "record outlets 3"},
    {P,
     {"XPOS 9,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1"},
     "states",
     "8 1111111"},  // 9 is no state
    {P, {"XPOS "}, "states", "0 "},
    // ---- what a line did, reported and not acted on
    {F, {"*00:POS=1:0,0:0,1:0,"}, "effects", "record wanted outlets 5"},
    {F, {"*00:POS=1:0,0:0,1:0,", "*00:MPOS=0,1:0,0:0,1:0,"}, "effects", "record master"},
    {P, {"XPOS 0,,,,,,0,,,,,,0", "XPOS 0,,,,,,1,,,,,,0"}, "effects", "record outlets 2"},
    // ---- refusals and wrong models
    {F, {"*00:Err"}, "effects", "error"},
    {F, {"*01:Err", "Err", "", "*00:", "*00:SOMETHING=1"}, "any", "none"},
    {P, {"501 Syntax error"}, "effects", "error"},
    {L, {"501 Invalid setting"}, "effects", "error"},
    {L, {"sysContact=501"}, "effects", "none"},
    {P, {"?model=\"SWD-Q6M\""}, "effects", "error"},
    {L, {"model=\"SWD-Q6M\""}, "effects", "none"},
    {S, {"model=\"SWD-Q6M\""}, "effects", "error"},
    {S, {"?model=\"SWD-8KBN\""}, "effects", "none", 10},
    {S, {"?model=\"SWD-8KB\""}, "effects", "error", 10},
    {S, {"model=\"anything\""}, "set model", "anything", 6},  // not checked
    // ---- the device clock (years since 1900, months from 0)
    {F, {"*00:DT=2006/04/01 Sat 12:34:56"}, "clock", "106-3-1 w6 12:34:56 dst0"},
    {F, {"*00:DT=2006/07/02 Sunday 01:02:03 (DT)"}, "clock", "106-6-2 w0 1:2:3 dst-1"},
    {F, {"*00:DT=2006/7/2 Su 1:2:3 (DT)"}, "clock", "106-6-2 w0 1:2:3 dst-1"},  // 22 characters
    {F, {"*00:DT=2006/07/05 Xyz 01:02:03 (ST)"}, "clock", "106-6-5 w0 1:2:3 dst0"},  // Sunday
    {F, {"*00:DT=2006/04/01 Sat 12:34:56", "*00:DT=2006/07"}, "clock", "106-3-1 w6 12:34:56 dst0"},
    {P, {"DATE 07/05/02", "TIME 13:05:09"}, "clock", "107-4-2 w3 13:5:9 dst0"},
    {P, {"DATE 99/12/31"}, "clock", "199-11-31 w4 0:0:0 dst0"},
    {P, {"DATE 00/02/29"}, "clock", "100-1-29 w2 0:0:0 dst0"},       // February counts as month 14
    {P, {"DATE 07. 5. 2"}, "clock", "107-4-2 w3 0:0:0 dst0"},        // blanks before a number
    {P, {"DATE 06.04.01 (Sat)"}, "clock", "106-3-1 w6 0:0:0 dst0"},  // anything after the day
    // Other separators, mixed ones or ones off their columns, other
    // characters between the numbers and numbers out of range change nothing.
    {P,
     {"DATE 07-05-02", "DATE 07.05/02", "DATE 07/05.02", "DATE 07.x5.02", "DATE 06.13.01",
      "DATE 06.04.99999999999", "DATE   .  .99999999999 -99999999999 1", "DATE 06.04.00",
      "DATE 06.04.32", "DATE -1.04.01", "DATE 1", "DATE ", "DATE 07.5.002", "TIME 13:5:009",
      "TIME 13.05.09", "TIME 13:05", "TIME 1:", "TIME 13:0x:09"},
     "clock",
     "0-0-0 w0 0:0:0 dst0"},
    // ---- SPEC: groups, master, model byte, spec field, sensor, ping
    {F, {"*00:SPEC=7200-0100-4101-0300-1400-0001-0000-4"}, "spec", "4 1 3 20 1 4"},  // field "0014"
    {F, {"*00:SPEC=7200-0100-4100-0300-2A19-0001-0000-4"}, "spec", "0 1 3 42 1 4"},  // "192A"
    {F, {"*00:SPEC=7200+0100-6101-0300-1400-0001-0000-4"}, "spec", "0 0 0 0 0 0"},   // a dash out
    {F, {"*00:SPEC=7200-0100-6101-0300-1400-0001-0000-"}, "spec", "6 1 3 20 1 0"},   // no ping
    {F, {"*00:SPEC=7200-01"}, "spec", "0 0 0 0 0 0"},
    // ---- schedule flags, the log line, outlet types
    {F, {"*00:MPOS=1,1:0,1:0,1:0,1:0,"}, "schedule", "0 ---- "},
    {F, {"*00:MPOS=1,1:0,1:0,1:0,1:0,", "*00:SCS=1:0,0:0,1:0,0:0,1:0,"}, "schedule", "1 1010 1010"},
    {F,
     {"*00:MPOS=1,1:0,1:0,1:0,1:0,", "*00:SCS=1:0,0:0,1:0,0:0,", "*00:SCS=1"},
     "schedule",
     "1 1010 1010"},
    {F, {"*00:LOG0=" + k40}, "log", k40.substr(0, 31)},
    {F, {"*00:LOG0=0123", "*00:LOG0="}, "log", ""},
    {F, {"*00:POS=1:0,1:0,1:0,", "*00:TYPE=11,1A,22,33,44"}, "types", "11 1a 22 0"},
    {F, {"*00:POS=1:0,1:0,1:0,", "*00:TYPE=11,1A,22", "*00:TYPE="}, "types", "0 1a 22 0"},
    // ---- registers by their form
    {F, {"*00:R282=30.5"}, "R282", "30.5"},
    {F, {"*00:R201=255.255.255.0"}, "R201", "255.255.255.0"},
    {F, {"*00:R2002=131071"}, "R2002", "65535"},  // 16 bits
    {F, {"*00:R2004=511"}, "R2004", "255"},       // 8 bits
    {F, {"*00:R900=-3,12"}, "R900", "-3,12"},
    {F, {"*00:R582=MAIL"}, "R582", "MAIL"},
    {F, {"*00:r307=1.0", "*00:R12=1", "*00:R12345=1"}, "registers", "0"},
    // Registers that also fill settings, the prompt and the record.
    {F,
     {"*00:R190=9600", "*00:R282=30.5", "*00:R2002=25", "*00:R200=0.0.0.0", "*00:R231=10.0.0.9",
      "*00:R871=\"Rack room\"", "*00:R9930=SN0042", "*00:R881=" + k40},
     "mirrors",
     "9600 305 25 1 0 10.0.0.9 \"Rack room\" SN0042 " + k40.substr(0, 30)},  // DHCP
    {F, {"*00:R200=0.0.0.0", "*00:R200=192.168.0.10"}, "mirrors", "0 0 0 0 c0a8000a    "},
    {F, {"*00:R870=rack"}, "prompt", "rack"},
    {F, {"*00:R9900=00:80:87:0A:0B:0C"}, "effects", "record"},
    {F, {"*00:R9900=00:80:87:0A:0B:0C", "*00:R9900=00:80:87"}, "mac", "0080870A0B0C"},  // kept
    // ---- lists: a prompt ends one only after its dashes
    {F, {"*00:RL=170-1FF", "R193=2"}, "R193", "2"},
    {F, {"*00:RL=170-1FF", "00:HX>"}, "effects", "none"},
    {F, {"*00:RL=170-1FF", "00:HX>", "--------"}, "list", "1 1 1"},
    {F, {"*00:RL=170-1FF", "--------", "00:HX>"}, "effects", "ended"},
    {F, {"*00:RL=170-1FF", "--------", "00:HX>", "R191=7"}, "R191", "-"},  // outside the list
    {F, {"*00:PLIST=0-199"}, "list", "2 1 0"},
    {F,
     {"*00:PLIST=0-199", "PL01=DATE 0401 07:05 00:03 M-FL", "PL205=WEEK 12:30 01:02 Mon1", "-----",
      "00:HX>"},
     "entry 1",
     "1 401 7 5 0 3 8 6 DATE"},
    {F, {"*00:PLIST=0-199", "PL00=WEEK 12:30 01:02 Mon1"}, "entry 0", "1 0 12 30 1 2 1 1 WEEK"},
    {F, {"*00:PLIST=0-199", "PL12=WEEK 12:30 01:02 Mon1"}, "entry 12", "1 0 12 30 1 2 1 1 WEEK"},
    {F,
     {"*00:PLIST=0-199", "PL07=SPEC 9999 T     02:01 All "},
     "entry 7",
     "1 9999 255 255 2 1 7 0 SPEC"},
    {F, {"*00:PLIST=0-199", "PL02=WEEK"}, "entry 2", "1 0 0 0 0 0 7 0 WEEK"},  // as far as it goes
    {F, {"*00:PLIST=0-199", "PL03=WEEK 1x:30 01:02 Xyz9"}, "entry 3", "1 0 1 30 1 2 7 0 WEEK"},
    // ---- firmware version lines (the minor number counted in hex digits)
    {P, {"version 1.23a.0012 /061231"}, "fw", "12361 12 061231"},
    {P,
     {"version 1.23a.0012 /061231", "version 2.10 /0612", "ver", "ver ", "ver 1."},
     "fw",
     "21020 12 061231"},
    // ---- settings lines, as they would be written back
    {S, {"ipAdEntAddr=192.168.1.20"}, "set ipAdEntAddr", "192.168.1.20"},
    {S, {"?ipAdEntNetMask=255.255.255.0"}, "set ipAdEntNetMask", "255.255.255.0"},
    {S, {"ipRouteDest=192.168.1"}, "set ipRouteDest", "0.0.0.0"},
    {S, {"msrpEnabled=5"}, "set msrpEnabled", "1"},
    {S, {"sysContact=\"admin@example.com\""}, "set sysContact", "admin@example.com"},
    {S, {"sysLocation=x"}, "set sysLocation", ""},  // too short to carry quotes
    {S, {"debTcpInactiveTimer=30.5"}, "set debTcpInactiveTimer", "30"},  // written in whole seconds
    {S, {"debTcpInactiveTimer=3x"}, "set debTcpInactiveTimer", "-1"},
    {S,
     {"debOlName=\"Web\",\"Mail\",\"" + k40 + "\",\"Four\",\"Five\""},
     "set debOlName",
     "Web,Mail," + k40.substr(0, 31) + ",Four"},
    {S, {"debOlPowerOnTime=5,-1,0,12,99"}, "set debOlPowerOnTime", "5,-1,0,12"},
    {S, {"debOlRebootTime=5.0,1.5,2"}, "set debOlRebootTime", "5.0,1.5,2.0,0.0"},
    {S,
     {"schHour=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21"},
     "set schHour",
     "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19"},
    {S,
     {"ipAdCenter=10.0.0.1,10.0.0.2,10.0.0.3,10.0.0.4"},
     "set ipAdCenter",
     "10.0.0.1,10.0.0.2,10.0.0.3"},
    {S, {"debOlWdogAddr=10.0.0.1,10.0.0.2"}, "set debOlWdogAddr", "10.0.0.1,10.0.0.2"},
    {S, {"debWakeupPhysAddr=00:11:22:33:44:55"}, "set debWakeupPhysAddr", "00:11:22:33:44:55,,,"},
    {S, {"CenterPort=5000,5001,5002", "CENTERPORT=1"}, "set centerPort", "5000,5001,5002"},
    {S, {"CenterSendTimer=60"}, "set centerSendTimer", "60"},
    {S, {"sysName=\"ignored\""}, "set sysName", ""},  // the name comes from the greeting
    {S, {"no equals sign", "", "?", "=", "mailLogDisp=1", "noSuchKey=1"}, "any", "none"},
    {S, {"schOutletNo=1,2,3,4", "schAction=1,2,3,0"}, "slots", "POR1,PON2,POF3,"},
    {S, {"ifPhysAddress=00:80:87:12:34:56", "ifPhysAddress=garbage"}, "mac", "008087123456"},
    {S, {"ifPhysAddress=00:80:87:12:34:56"}, "effects", "record"},
};

TEST(ReplyForms, EveryFormOfEveryParser) {
    for (const Row& row : kRows)
        EXPECT_EQ(observe(row), row.expected) << row.lines.back() << " (" << row.probe << ")";
}

// Every register the readout keeps, as runs of numbers that read a long
// number the same way (a text as its length): each range a device lists in
// its own form, no more and no less.
TEST(ReplyForms, TheRegistersTheReadoutKeeps) {
    DeviceRecord record;
    DeviceStatus st;
    std::string promptName;
    int listMode = 0;
    bool started = false, ended = false;
    ReplyTarget t{record, st, promptName, listMode, started, ended};
    std::string changedRecord;
    for (std::uint32_t r = 0; r <= 0x10000; ++r)
        if (dispatchRegister(t, r, "12.5" + std::string(196, 'x')).recordChanged)
            changedRecord += format("%lx ", r);
    EXPECT_EQ(changedRecord, "");
    const auto shown = [](const RegisterValue& v) {
        const std::string text = formatRegisterValue(v);
        return v.form == RegisterForm::Text ? "#" + std::to_string(text.size()) : text;
    };
    std::string ranges;
    for (auto it = st.registers.begin(); it != st.registers.end();) {
        auto last = it;
        for (auto n = std::next(last); n != st.registers.end() && n->first == last->first + 1 &&
                                       shown(n->second) == shown(it->second);
             ++n)
            last = n;
        ranges += format(it == last ? "%lx" : "%lx-%lx", it->first, last->first) + "=" +
                  shown(it->second) + " ";
        it = std::next(last);
    }
    EXPECT_EQ(
        ranges,
        "170=1 190-194=12 200-201=0.0.0.0 204-205=0.0.0.0 210=0.0.0.0 220=#63 230=12 231=#18 "
        "232=12 233=-1 234=12 235=-1 270-271=12 280-281=12 282-283=-1 300-307=-1 320-327=-1 "
        "340-347=-1 360-367=-1 400-407=#18 420-427=12 440-447=-1 480-487=#18 4a0-4a7=12 "
        "4c0-4c7=-1 500-507=12 520-527=12 540-547=-1 560-567=12 580-587=NONE 5a0-5a7=12 "
        "5c0-5c7=-1 600-7ff=#15 800=12 801=-1 870-872=#127 880-887=#30 900=12,0 901=1 "
        "980-982=1 1000-1007=-1 1020-1027=-1 1060-1067=-1 1080-1081=1 1084=1 2000=#63 2002=12 "
        "2004-2005=12 2030=#63 2032=12 2041-2042=#31 2100=#32 2110-2113=#32 2200=1 2201=-1 "
        "2210-2213=1 2220=1 2230-2234=1 2240-2243=1 4000=1 4010-4017=-1 4020-4027=12 "
        "4030-4037=12 4040-4047=12 4050-4057=12 4060-4067=12 4100-42ff=0.0.0.0 9165=1 9801=12 "
        "9900= 9919=12 9930=#15 ");
}

// (A framed line's update stamp is checked on the stored record, with the readout.)
TEST(ReplyForms, SlotsGiveTheirActions) {
    DeviceSettings s;
    s.schCommand[0] = "MPON";
    s.schCommand[1] = "MPOR";
    s.schCommand[2] = "POF3";
    EXPECT_EQ(settingText(s, "schAction").substr(0, 8), "2,1,3,0,");
}

}  // namespace
}  // namespace zelo
