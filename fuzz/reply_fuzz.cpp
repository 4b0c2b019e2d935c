// Device reply lines, one session's worth: the framed reply parser with the
// register dispatcher and both list modes, the plain reply parser, and the
// settings line parser behind it. The first byte sets the scene; the rest
// is split into lines that all go to one session, so that state one line
// leaves (a list started, an outlet count) shapes how the next is read.
//
// First byte: bits 0-1 where the lines go (0 framed parser, 1 plain parser,
// 2 settings parser, 3 framed then plain), bits 2-4 the record's model,
// bit 5 a register or settings list already running, bit 6 a schedule list
// running instead; bit 7 is not used.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "connection/device_session.h"
#include "connection/device_settings.h"
#include "connection/framed_readout.h"
#include "fuzz/scratch_dir.h"
#include "settings/app_settings.h"
#include "tests/support/test_workspace.h"

namespace {

using namespace zelo;

// No device is ever reached: a command the session sends for a line (the
// MPOS that a POS line asks for) goes nowhere and finds no reply.
class NoNetwork : public Network {
public:
    std::uint32_t lookupHost(const std::string&) noexcept override { return 0; }
    std::unique_ptr<TcpStream> connect(std::uint32_t, std::uint16_t,
                                       bool& created) noexcept override {
        created = false;
        return nullptr;
    }
};

constexpr int kModels[] = {3, 5, 6, 9, 10, 11, 12, 13};

void checkState(const DeviceSession& s) {
    using fuzz::check;
    const DeviceStatus& st = s.status;
    check(st.outletCount >= 0 && st.outletCount <= kMaxOutlets, "outlet count within 0..8");
    check(s.record.powerText.size() <= field::kStateText, "power text within its field");
    check(s.record.scheduleText.size() <= field::kStateText, "schedule text within its field");
    check(s.record.macText.size() <= field::kMac, "MAC text within its field");
    check(st.lastLogText.size() <= 31, "log text cut");
    check(s.listMode >= 0 && s.listMode <= 2, "list mode known");
    for (const ListedScheduleEntry& e : st.scheduleList)
        check(e.code.size() <= 4, "schedule list code cut to four");
    for (const auto& [number, value] : st.registers) {
        (void)number;
        if (value.form == RegisterForm::Word)
            check(value.number >= 0 && value.number < 4, "watch word index");
        (void)formatRegisterValue(value);
    }
}

// The settings text of the key a settings line names (as the control
// window shows it after the line was read).
void readBack(const DeviceSession& s, std::string_view line) {
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (!line.empty() && line.front() == '?') line.remove_prefix(1);
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) (void)settingText(s.status.settings, line.substr(0, eq));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t scene = data[0];
    const int route = scene & 3;

    ManualClock clock(1'700'000'000);
    NoNetwork network;
    test::TestWorkspace w("unused/", network, clock);
    auto session = w.ws.newSession(DeviceRecord{});
    DeviceSession& s = *session;
    s.record.modelCode = kModels[(scene >> 2) & 7];
    s.record.selectNumber = "00";
    s.record.prompt = "HX";
    s.record.password = "7394";
    s.record.systemName = s.workingPromptName = "pdu";
    s.record.macText = "000000000000";
    // As after a login: commands go out on the (absent) socket instead of
    // logging in again.
    s.connection.connected = true;
    if (scene & 0x20) {
        s.listMode = 1;
        s.listStarted = true;
    } else if (scene & 0x40) {
        s.listMode = 2;
        s.listStarted = true;
    }
    ReplyTarget target = s.replyTarget();

    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string line(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        switch (route) {
            case 0:
                static_cast<void>(s.takeFramedReply(line));
                break;
            case 1:
                static_cast<void>(s.takePlainReply(line));
                readBack(s, line);
                break;
            case 2:
                parseSettingLine(target, line);
                readBack(s, line);
                break;
            default:
                static_cast<void>(s.takeFramedReply(line));
                static_cast<void>(s.takePlainReply(line));
                readBack(s, line);
                break;
        }
    }
    checkState(s);
    return 0;
}
