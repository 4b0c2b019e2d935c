#include "connection/framed_readout.h"

namespace zelo {

const std::array<const char*, 44> kRegisterRanges = {
    "RL170-1FF",   "RL200-21F",   "RL220-22F",   "RL230-23F",   "RL270-28F",   "RL300-31F",
    "RL320-33F",   "RL340-35F",   "RL360-37F",   "RL400-41F",   "RL420-43F",   "RL440-45F",
    "RL460-47F",   "RL480-49F",   "RL4A0-4BF",   "RL4C0-4DF",   "RL800-80F",   "RL870-89F",
    "RL500-51F",   "RL520-53F",   "RL540-55F",   "RL560-57F",   "RL580-59F",   "RL5A0-5BF",
    "RL5C0-5DF",   "RL600-61F",   "RL620-63F",   "RL870-87F",   "RL880-89F",   "RL900-90F",
    "RL980-98F",   "RL1000-103F", "RL1040-107F", "RL1080-109F", "RL2000-201F", "RL2030-204F",
    "RL2100-211F", "RL2200-224F", "RL4000-404F", "RL4050-406F", "RL4100-413F", "RL4140-417F",
    "RL4180-41BF", "RL41C0-41FF"};

const std::array<const char*, 135> kSingleRegisters = {
    "170",  "190",  "191",  "192",  "193",  "*194", "200",  "201",  "204",  "205",  "210",  "220",
    "222",  "270",  "271",  "280",  "281",  "282",  "283",  "300",  "301",  "302",  "303",  "320",
    "321",  "322",  "323",  "340",  "341",  "342",  "343",  "360",  "361",  "362",  "363",  "500",
    "501",  "502",  "503",  "520",  "521",  "522",  "523",  "540",  "541",  "542",  "543",  "560",
    "561",  "562",  "563",  "580",  "581",  "582",  "583",  "5A0",  "5A1",  "5A2",  "5A3",  "5C0",
    "5C1",  "5C2",  "5C3",  "600",  "601",  "602",  "603",  "610",  "611",  "612",  "613",  "620",
    "621",  "622",  "623",  "630",  "631",  "632",  "633",  "800",  "801",  "870",  "871",  "872",
    "880",  "881",  "882",  "883",  "900",  "980",  "981",  "982",  "1000", "1001", "1002", "1003",
    "1020", "1021", "1022", "1023", "1060", "1061", "1062", "1063", "1080", "1081", "1084", "2000",
    "2002", "2004", "2005", "2030", "2032", "2041", "2042", "2100", "2110", "2111", "2112", "2113",
    "2200", "2201", "2210", "2211", "2212", "2220", "2230", "2231", "2232", "2233", "2234", "2240",
    "2241", "2242", "2243"};

const std::array<const char*, 8> kScheduleRanges = {
    "PL-30", "PL31-60", "PL61-90", "PL91-110", "PL111-135", "PL136-160", "PL161-185", "PL186-"};

StepResult readOutletStates(DeviceSession& session) {
    if (session.queryFramed("MPOS", "MPOS") == StepResult::Failed) {
        session.showErrorAndClose(Text::BadPassword);
        return StepResult::Failed;
    }
    if (session.status.firmwareVersion < firmware::kScheduleFlags) {
        // No SCS: the column shows the schedule as not known.
        session.record.scheduleText = cutText(scheduleText(session.status), field::kStateText);
        session.saveRecord();
        return StepResult::Ok;
    }
    if (session.queryFramed("SCS", "SCS") == StepResult::Failed) {
        session.showErrorAndClose(Text::BadCommunication);
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

StepResult readFramedStatus(DeviceSession& session) {
    if (readOutletStates(session) == StepResult::Failed) return StepResult::Failed;
    const std::uint32_t fw = session.status.firmwareVersion;
    auto queryFails = [&session](std::string_view command) {
        return session.queryFramed(command, command) == StepResult::Failed;
    };
    auto fail = [&session]() {
        session.showErrorAndClose(Text::BadCommunication);
        return StepResult::Failed;
    };

    if (fw >= firmware::kRegister9165 && queryFails("R9165")) return fail();
    if (fw >= firmware::kRangeLists && queryFails("R9801")) return fail();
    if (fw >= firmware::kRegister9919 && queryFails("R9919")) return fail();
    if (fw >= firmware::kLogAndSerial && queryFails("LOG0")) return fail();
    if (queryFails("DT") || queryFails("SPEC") || queryFails("TYPE")) return fail();

    // Answered during the waits that follow. A reconnect that fails here
    // has shown its message; the readout ends with it.
    auto reconnectFails = [&session](std::string_view command) {
        return session.sendFramedCommand(command, true) == StepResult::Failed &&
               session.reconnectFailed();
    };
    if (session.record.macText == "000000000000" && reconnectFails("R9900")) return fail();
    if (fw >= firmware::kLogAndSerial && reconnectFails("R9930")) return fail();

    if (fw >= firmware::kRangeLists) {
        bool failed = false;
        for (const char* range : kRegisterRanges) {
            // A lost connection would only log in again for every range, and
            // a device that let one range's wait run out would cost every
            // further range its whole wait.
            if (!session.connection.isOpen()) break;
            failed = session.queryFramed(range, "RL") == StepResult::Failed;
            if (failed && session.waitTimedOut) break;
        }
        session.listMode = 0;
        if (failed || !session.connection.isOpen()) return fail();
    } else {
        for (const char* entry : kSingleRegisters) {
            std::string_view number(entry);
            if (number.front() == '*') {
                number.remove_prefix(1);
                if (fw < firmware::kRegister194) continue;
            }
            if (queryFails("R" + std::string(number))) return fail();
        }
    }

    session.status.scheduleList.fill(ListedScheduleEntry{});
    if (fw >= firmware::kRangeLists) {
        for (const char* range : kScheduleRanges) {
            session.listStarted = false;
            if (session.queryFramed(range, "PLIST") == StepResult::Failed) return fail();
        }
    } else {
        session.listStarted = false;
        if (session.queryFramed("PL", "PLIST") == StepResult::Failed) return fail();
    }
    session.listMode = 0;
    return StepResult::Ok;
}

}  // namespace zelo
