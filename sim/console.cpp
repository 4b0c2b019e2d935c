#include "sim/console.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace zelo::sim {
namespace {

constexpr char kIac = static_cast<char>(255);
constexpr char kWill = static_cast<char>(251);
constexpr char kEcho = 1;
constexpr char kSuppressGoAhead = 3;
constexpr std::size_t kMaxLine = 1024;
// Pause between the halves of a telnet sequence cut in two, so that they
// travel in separate segments.
constexpr int kSplitGapMs = 40;
// A storm's sends leave this far apart, so that each arrives on its own.
constexpr int kStormGapMs = 5;
constexpr int kStormSendMax = 64;  // sequences in one send ahead of an answer
constexpr char kSb = static_cast<char>(250);
constexpr char kSe = static_cast<char>(240);
constexpr char kTerminalType = 24;

bool isHex(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

int packedFirmware(const std::string& text) {
    unsigned parts[3] = {0, 0, 0};
    std::size_t pos = 0;
    for (int i = 0; i < 3 && pos < text.size(); ++i) {
        char* end = nullptr;
        parts[i] = static_cast<unsigned>(std::strtoul(text.c_str() + pos, &end, 16)) & 0xFF;
        pos = static_cast<std::size_t>(end - text.c_str());
        while (pos < text.size() && text[pos] != '.') ++pos;
        ++pos;
    }
    return static_cast<int>(parts[0] << 16 | parts[1] << 8 | parts[2]);
}

}  // namespace

ConsoleSession::ConsoleSession(Device& device, const SimClock& clock)
    : device_(device), clock_(clock), seenGeneration_(device.outletGeneration()) {}

std::int64_t ConsoleSession::nextDueMs() const {
    return out_.empty() ? INT64_MAX : out_.front().dueMs;
}

std::string ConsoleSession::prefix() const {
    return "*" + device_.config().selectNumber + ":";
}

std::string ConsoleSession::framedPrompt() const {
    return device_.config().selectNumber + ":" + device_.config().prompt + ">";
}

std::string ConsoleSession::plainPrompt() const {
    return device_.systemName() + "> ";
}

// "state:lock," per outlet: four characters, so the states stand in every
// fourth column.
std::string ConsoleSession::posFields() const {
    std::string out;
    for (const auto& o : device_.outlets()) {
        out += static_cast<char>('0' + o.state);
        out += ':';
        out += o.lock ? '1' : '0';
        out += ',';
    }
    return out;
}

std::string ConsoleSession::identLine() const {
    return prefix() + ModelName(device_.model()) + " Ver " + device_.config().firmware + "\r\n";
}

std::string ConsoleSession::dateTimeText() const {
    std::time_t t = static_cast<std::time_t>(device_.wall());
    std::tm tm{};
    gmtime_r(&t, &tm);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %s %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, kDays[tm.tm_wday], tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

void ConsoleSession::send(std::string bytes, bool isAnswer) {
    const FaultConfig& f = device_.faults();
    if (close_ || f.muteAll) return;
    if (isAnswer && f.muteCommands && state_ == State::Command && greeted_) return;
    if (isAnswer && f.garbageLines > 0 && state_ == State::Command) {
        std::string noise;
        for (int i = 0; i < f.garbageLines; ++i) {
            int len = 8 + static_cast<int>(noise_ % 24);
            for (int k = 0; k < len; ++k) {
                noise_ = noise_ * 1103515245u + 12345u;
                // printable bytes and a few high ones; never '*', '>' or a digit
                // run that could read as a marker or a prompt
                char c = static_cast<char>(0x3F + (noise_ >> 16) % 0x3F);
                if ((noise_ >> 8) % 7 == 0) c = static_cast<char>(0xA1 + (noise_ >> 4) % 0x3E);
                noise.push_back(c);
            }
            noise += "\r\n";
        }
        bytes = noise + bytes;
    }
    // What goes out as separate sends, `gap` milliseconds apart.
    std::vector<std::string> sends;
    int gap = 0;
    if (isAnswer && f.iacStorm > 0) {
        // An answer still on its way loses its closing subnegotiation: a
        // client that read both answers in one go would drop this one's
        // head behind it.
        if (!out_.empty()) {
            std::string& last = out_.back().bytes;
            const std::string closing = stormClosing();
            if (last.size() >= closing.size() &&
                last.compare(last.size() - closing.size(), closing.size(), closing) == 0)
                last.resize(last.size() - closing.size());
        }
        sends = stormSends(bytes, f.iacStorm);
        gap = kStormGapMs;
    } else if (isAnswer && f.splitIac) {
        // An IAC WILL ECHO whose first byte ends one send and whose rest
        // starts the next.
        sends = {std::string(1, kIac), std::string{kWill, kEcho} + bytes};
        gap = kSplitGapMs;
    } else {
        sends.push_back(std::move(bytes));
    }
    const std::int64_t now = clock_.nowMs();
    std::int64_t due = std::max(lastDueMs_, now + f.slowMs);
    // A storm's sends keep their distance from the previous answer's too.
    if (isAnswer && f.iacStorm > 0 && lastDueMs_ > 0) due = std::max(due, lastDueMs_ + gap);
    auto queue = [&](std::string piece, std::int64_t when) {
        if (f.closeAfterBytes >= 0 &&
            bytesQueued_ + static_cast<std::int64_t>(piece.size()) >= f.closeAfterBytes) {
            piece.resize(static_cast<std::size_t>(
                std::max<std::int64_t>(0, f.closeAfterBytes - bytesQueued_)));
            close_ = true;
        }
        bytesQueued_ += static_cast<std::int64_t>(piece.size());
        lastDueMs_ = when;
        if (!piece.empty()) out_.push_back(Piece{std::move(piece), when});
    };
    bool first = true;
    for (std::string& piece : sends) {
        if (!first) due += gap;
        first = false;
        if (isAnswer && f.dripMs > 0) {
            // One byte at a time: the first at once, each further one dripMs later.
            for (std::size_t k = 0; k < piece.size() && !close_; ++k) {
                if (k > 0) due += f.dripMs;
                queue(std::string(1, piece[k]), due);
            }
        } else {
            queue(std::move(piece), due);
        }
        if (close_) return;
    }
}

std::vector<std::string> ConsoleSession::stormSends(const std::string& text, int count) {
    auto next = [this](std::size_t range) {
        noise_ = noise_ * 1103515245u + 12345u;
        return static_cast<std::size_t>((noise_ >> 8) % range);
    };
    auto negotiation = [&]() {
        // WILL, WONT, DO or DONT about an option a terminal might care for
        // (1 to 39: never a NUL byte)
        const char verb = static_cast<char>(251 + next(4));
        const char option = static_cast<char>(1 + next(39));
        return std::string{kIac, verb, option};
    };
    // Where a cut or an added sequence may go: never inside a sequence the
    // answer carries itself (the framed greeting negotiates too).
    std::vector<bool> safe(text.size() + 1, true);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != kIac) continue;
        const std::size_t len =
            i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 251 ? 3 : 2;
        for (std::size_t k = 1; k < len && i + k <= text.size(); ++k) safe[i + k] = false;
        i += len - 1;
    }
    // The text in up to four pieces. A cut never falls between CR and LF,
    // nor right behind the '*' that starts a line: a client may take what
    // it has at a send's end for a whole line there.
    std::vector<std::size_t> bounds{0};
    for (int i = 0; i < 3 && text.size() > 1; ++i) {
        const std::size_t at = 1 + next(text.size() - 1);
        const bool lineEnd = text[at - 1] == '\r' && text[at] == '\n';
        const bool star = text[at - 1] == '*' && (at == 1 || text[at - 2] == '\n');
        if (safe[at] && !lineEnd && !star) bounds.push_back(at);
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    bounds.push_back(text.size());

    // One subnegotiation closes the answer; up to two sequences sit inside
    // each piece; the rest go ahead of the text, at most 64 to a send.
    int left = count;
    const bool closing = left >= 2;
    if (closing) --left;
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        const std::size_t from = bounds[i], to = bounds[i + 1];
        std::string piece = text.substr(from, to - from);
        std::vector<std::size_t> offsets;
        for (int k = 0; k < 2 && left > 0; ++k, --left) {
            const std::size_t at = next(piece.size() + 1);
            offsets.push_back(safe[from + at] ? at : 0);
        }
        // From the back, so that the offsets still to come stay where they were.
        std::sort(offsets.rbegin(), offsets.rend());
        for (std::size_t at : offsets) piece.insert(at, negotiation());
        pieces.push_back(std::move(piece));
    }
    std::vector<std::string> sends;
    while (left > 0) {
        std::string lead;
        for (int k = 0; k < kStormSendMax && left > 0; ++k, --left) lead += negotiation();
        sends.push_back(std::move(lead));
    }
    for (std::string& p : pieces) sends.push_back(std::move(p));
    if (closing) sends.back() += stormClosing();
    return sends;
}

std::string ConsoleSession::stormClosing() {
    // IAC SB TERMINAL-TYPE SEND IAC SE
    return std::string{kIac, kSb, kTerminalType, 1, kIac, kSe};
}

bool ConsoleSession::closeAtStep(const char* step) {
    if (device_.faults().closeAt == step) {
        closeAfterOutput();
        return true;
    }
    return false;
}

void ConsoleSession::open() {
    const FaultConfig& f = device_.faults();
    if (closeAtStep("accept")) return;
    if (f.floodBytes > 0) {
        std::string flood;
        flood.reserve(static_cast<std::size_t>(f.floodBytes));
        for (int i = 0; i < f.floodBytes; ++i) flood.push_back(static_cast<char>('A' + i % 26));
        send(flood);
    }
    if (device_.framed()) {
        std::string hello{kIac, kWill, kEcho, kIac, kWill, kSuppressGoAhead};
        if (device_.config().loginMode) {
            state_ = State::User;
            send(hello + "login: ", true);
        } else {
            state_ = State::Command;
            send(hello + framedPrompt(), true);
        }
    } else {
        state_ = State::Greeting;
        send(" 220 " + ModelName(device_.model()) + " (" + device_.systemName() + ") Ver " +
                 device_.config().firmware + " ready.\r\n",
             true);
    }
    greeted_ = true;
    closeAtStep("greeting");
}

void ConsoleSession::receive(const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length && !close_; ++i) {
        const char c = data[i];
        // Telnet sequences from the client are dropped (the unit offers
        // nothing it would negotiate about).
        if (iacSkip_ > 0) {
            --iacSkip_;
            continue;
        }
        if (c == kIac) {
            if (i + 1 < length && data[i + 1] == kIac) {
                ++i;
                lineBuffer_.push_back(kIac);
                continue;
            }
            iacSkip_ = 1;
            if (i + 1 < length) {
                const unsigned char cmd = static_cast<unsigned char>(data[i + 1]);
                if (cmd >= 251) iacSkip_ = 2;
            }
            continue;
        }
        if (c == '\n') {
            std::string line;
            line.swap(lineBuffer_);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            handleLine(std::move(line));
            continue;
        }
        if (c == '\0') continue;
        if (lineBuffer_.size() < kMaxLine) lineBuffer_.push_back(c);
    }
}

void ConsoleSession::handleLine(std::string line) {
    if (state_ == State::Closed) return;
    if (device_.framed())
        framedLine(line);
    else
        plainLine(line);
}

void ConsoleSession::deviceChanged() {
    if (device_.outletGeneration() == seenGeneration_) return;
    seenGeneration_ = device_.outletGeneration();
    if (device_.framed() && state_ == State::Command) {
        // The framed console tells of every outlet change by itself.
        answer(prefix() + "POS=" + posFields() + "\r\n");
    }
}

// ---------------------------------------------------------------- framed dialect

void ConsoleSession::framedLine(const std::string& line) {
    const auto& cfg = device_.config();
    switch (state_) {
        case State::User:
            if (closeAtStep("user")) return;
            user_ = line;
            send(line + "\r\nPassword: ", true);  // the user name echoed, the password not
            state_ = State::Password;
            return;
        case State::Password: {
            if (closeAtStep("password")) return;
            const bool ok =
                user_ == cfg.user && line == cfg.password && !device_.faults().refusePassword;
            if (!ok) {
                send("\r\nLogin incorrect\r\nlogin: ", true);
                state_ = ++badPasswords_ >= 3 ? State::Closed : State::User;
                if (state_ == State::Closed) closeAfterOutput();
                return;
            }
            send("\r\n" + framedPrompt(), true);
            state_ = State::Command;
            loginMode_ = true;
            closeAtStep("login");
            return;
        }
        case State::Command:
            break;
        default:
            return;
    }
    if (line.empty()) {
        answer(framedPrompt());
        return;
    }
    ++commands_;
    if (closeAtStep(("cmd" + std::to_string(commands_)).c_str())) return;
    if (line == "*") {
        answer(identLine() + framedPrompt());
        return;
    }
    if (line[0] == '*') {
        const std::size_t hash = line.find('#');
        if (hash == std::string::npos) {
            answer(prefix() + "Err\r\n" + framedPrompt());
            return;
        }
        std::string head = line.substr(1, hash - 1);
        std::string password = head;
        if (head.size() >= 3 && head[2] == ':') {
            if (head.substr(0, 2) != cfg.selectNumber) {
                answer(framedPrompt());  // meant for another unit on the line
                return;
            }
            password = head.substr(3);
        }
        if (password != cfg.password || device_.faults().refusePassword) {
            answer(prefix() + "Err\r\n" + framedPrompt());
            return;
        }
        framedCommand(line.substr(hash + 1));
        return;
    }
    if (!loginMode_) {
        // Without a login every command travels with the password.
        answer(prefix() + "Err\r\n" + framedPrompt());
        return;
    }
    framedCommand(line);
}

void ConsoleSession::framedCommand(const std::string& cmd) {
    const std::string p = prefix();
    const std::string prompt = framedPrompt();
    const int fw = packedFirmware(device_.config().firmware);
    auto reply = [&](const std::string& body) { answer(p + body + "\r\n" + prompt); };
    auto marker = [&](CommandResult r) {
        switch (r) {
            case CommandResult::Locked:
                return std::string("Locked");
            case CommandResult::Doubled:
                return std::string("Doubled");
            case CommandResult::Full:
                return std::string("FullMemory");
            default:
                return std::string("Err");
        }
    };
    const std::int64_t now = clock_.nowMs();

    if (cmd == "ver") return answer(identLine() + prompt);
    if (cmd == "MPOS") {
        return reply("MPOS=" + std::to_string(device_.config().master ? device_.masterState() : 1) +
                     "," + posFields());
    }
    if (cmd == "POS") return reply("POS=" + posFields());
    if (cmd == "SCS" && fw >= 0x31410) {
        std::string v;
        for (const auto& o : device_.outlets()) v += o.scheduled ? "1:0," : "0:0,";
        return reply("SCS=" + v);
    }
    if (cmd == "DT") return reply("DT=" + dateTimeText());
    if (cmd == "SPEC") return reply("SPEC=" + device_.specText());
    if (cmd == "TYPE") return reply("TYPE=" + device_.typeText());
    if (cmd == "LOG0" && fw >= 0x32905) return reply("LOG0=" + device_.lastLog());
    if (cmd == "CPURESET") {
        if (!device_.faults().silentReset) reply("CPURESET=OK");
        restart_ = true;
        closeAfterOutput();
        return;
    }
    if (cmd == "PCLR") {
        if (device_.locked()) return reply("Locked");
        device_.clearSchedule();
        return reply("PCLR=OK");
    }
    if (cmd.compare(0, 4, "PSET") == 0) {
        int index = 0;
        CommandResult r = device_.addSchedule(cmd.substr(4), index);
        if (r != CommandResult::Ok) return reply(marker(r));
        char buf[16];
        std::snprintf(buf, sizeof buf, "PSET=%03d", index);
        return reply(buf);
    }
    if (cmd.size() == 4 &&
        (cmd.compare(0, 3, "PON") == 0 || cmd.compare(0, 3, "POF") == 0 ||
         cmd.compare(0, 3, "POR") == 0 || cmd == "MPON" || cmd == "MPOF" || cmd == "MPOR")) {
        CommandResult r = device_.power(cmd, now);
        seenGeneration_ = device_.outletGeneration();
        if (r != CommandResult::Ok) return reply(marker(r));
        return reply("POS=" + posFields());
    }
    if (cmd.compare(0, 2, "RL") == 0 && fw >= 0x31412) {
        const std::string range = cmd.substr(2);
        const std::size_t dash = range.find('-');
        std::string lo = range.substr(0, dash);
        std::string hi = dash == std::string::npos ? lo : range.substr(dash + 1);
        if (!isHex(lo) || !isHex(hi) || lo.size() > 4 || hi.size() > 4) return reply("Err");
        std::string text = p + "RL=" + range + "\r\n";
        for (const auto& [reg, value] : device_.registerRange(
                 std::strtol(lo.c_str(), nullptr, 16), std::strtol(hi.c_str(), nullptr, 16))) {
            char name[8];
            std::snprintf(name, sizeof name, "R%X=", reg);
            text += name + value + "\r\n";
        }
        text += "--------------------\r\n" + prompt;
        return answer(text);
    }
    if (cmd.compare(0, 2, "PL") == 0) {
        // "PL" lists the whole memory; "PLa-b", "PL-b", "PLa-" a part of it.
        const std::string range = cmd.substr(2);
        int lo = 0, hi = 199;
        if (!range.empty()) {
            if (fw < 0x31412) return reply("Err");
            const std::size_t dash = range.find('-');
            if (dash == std::string::npos) return reply("Err");
            const std::string a = range.substr(0, dash), b = range.substr(dash + 1);
            for (char c : a + b) {
                if (!std::isdigit(static_cast<unsigned char>(c))) return reply("Err");
            }
            if (!a.empty()) lo = std::atoi(a.c_str());
            if (!b.empty()) hi = std::atoi(b.c_str());
        }
        std::string text = p + "PLIST=" + std::to_string(lo) + "-" + std::to_string(hi) + "\r\n";
        const auto& entries = device_.schedule();
        for (int i = lo; i <= hi && i < static_cast<int>(entries.size()); ++i) {
            char name[24];
            std::snprintf(name, sizeof name, "PL%02d=", i);
            text += name + Device::scheduleValue(entries[static_cast<std::size_t>(i)]) + "\r\n";
        }
        text += "--------------------\r\n" + prompt;
        return answer(text);
    }
    if (cmd.size() >= 2 && cmd[0] == 'R') {
        const std::size_t eq = cmd.find('=');
        const std::string number =
            cmd.substr(1, eq == std::string::npos ? std::string::npos : eq - 1);
        if (eq == std::string::npos) {
            std::string value;
            if (!device_.readRegister(number, value)) return reply("Err");
            return reply("R" + number + "=" + value);
        }
        CommandResult r = device_.writeRegister(number, cmd.substr(eq + 1));
        if (r != CommandResult::Ok) return reply(marker(r));
        std::string value;
        device_.readRegister(number, value);
        return reply("R" + number + "=" + value);
    }
    reply("Err");
}

// ---------------------------------------------------------------- plain dialect

void ConsoleSession::plainLine(const std::string& rawLine) {
    const auto& cfg = device_.config();
    switch (state_) {
        case State::Greeting:
            if (closeAtStep("user")) return;
            state_ = State::Password;
            send("Password:", true);
            return;
        case State::Password:
            if (closeAtStep("password")) return;
            if (rawLine != cfg.password || device_.faults().refusePassword) {
                if (++badPasswords_ >= 3) {
                    send("\r\nIncorrect password\r\n", true);
                    closeAfterOutput();
                } else {
                    send("\r\nIncorrect password\r\nPassword:", true);
                }
                return;
            }
            send("\r\n" + plainPrompt(), true);
            state_ = State::Command;
            closeAtStep("login");
            return;
        case State::Command:
            break;
        default:
            return;
    }
    std::size_t start = rawLine.find_first_not_of(' ');
    const std::string line = start == std::string::npos ? std::string() : rawLine.substr(start);
    if (line.empty()) {
        answer(plainPrompt());
        return;
    }
    ++commands_;
    if (closeAtStep(("cmd" + std::to_string(commands_)).c_str())) return;
    plainCommand(line);
}

void ConsoleSession::plainCommand(const std::string& cmd) {
    const auto& cfg = device_.config();
    auto reply = [&](const std::string& body) {
        answer((body.empty() ? std::string() : body + "\r\n") + plainPrompt());
    };
    const std::int64_t now = clock_.nowMs();
    std::time_t t = static_cast<std::time_t>(device_.wall());
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];

    if (cmd == "ver") return reply("version " + cfg.firmware + " /" + cfg.firmwareDate);
    if (cmd == "XPOS") {
        std::string v = "XPOS ";
        bool first = true;
        for (const auto& o : device_.outlets()) {
            // state and the seconds a running delay still needs
            const std::int64_t left =
                o.phase ? std::max<std::int64_t>(0, (o.dueMs - now + 999) / 1000) : 0;
            std::snprintf(buf, sizeof buf, "%s%d:%04d", first ? "" : ",", o.state,
                          static_cast<int>(std::min<std::int64_t>(left, 9999)));
            v += buf;
            first = false;
        }
        return reply(v);
    }
    if (cmd == "DATE") {
        std::snprintf(buf, sizeof buf, "DATE %02d/%02d/%02d", tm.tm_year % 100, tm.tm_mon + 1,
                      tm.tm_mday);
        return reply(buf);
    }
    if (cmd == "TIME") {
        std::snprintf(buf, sizeof buf, "TIME %02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
        return reply(buf);
    }
    if (cmd == "LIST") {
        // Two pages, each closed by the prompt: the unit's own settings,
        // then the outlet, watch and schedule settings.
        std::string text;
        const auto pages = device_.listPages();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            for (const auto& l : pages[i]) text += l + "\r\n";
            text += "--------------------\r\n" + plainPrompt();
            if (i + 1 < pages.size()) text += "\r\n";
        }
        return answer(text);
    }
    if (cmd == "WRITE") return reply("WRITE OK");
    if (cmd == "CPURESET") {
        if (!device_.faults().silentReset) answer("Restarting...\r\n");
        restart_ = true;
        closeAfterOutput();
        return;
    }
    if (cmd == "quit" || cmd == "exit" || cmd == "logout") {
        closeAfterOutput();
        return;
    }
    if (cmd[0] == '?') {
        std::string l = device_.queryLine(cmd.substr(1));
        return reply(l.empty() ? "501 Unknown setting" : l);
    }
    if (cmd[0] == '.') {
        const std::size_t eq = cmd.find('=');
        if (eq == std::string::npos) return reply("501 Invalid setting");
        const std::string key = cmd.substr(1, eq - 1);
        bool restart = false;
        if (!device_.writeSetting(key, cmd.substr(eq + 1), restart))
            return reply("501 Invalid setting");
        std::string l = device_.queryLine(key);
        return reply(l.empty() ? std::string() : l.substr(1));
    }
    if (cmd.size() == 4 &&
        (cmd.compare(0, 3, "PON") == 0 || cmd.compare(0, 3, "POF") == 0 ||
         cmd.compare(0, 3, "POR") == 0 || cmd == "MPON" || cmd == "MPOF" || cmd == "MPOR")) {
        CommandResult r = device_.power(cmd, now);
        seenGeneration_ = device_.outletGeneration();
        if (r == CommandResult::Locked) return reply("501 Locked");
        if (r != CommandResult::Ok) return reply("501 Invalid outlet");
        return reply("");
    }
    reply("501 Unknown command");
}

}  // namespace zelo::sim
