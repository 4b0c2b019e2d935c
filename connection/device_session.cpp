#include "connection/device_session.h"

#include <cstdio>

#include "app/app_settings.h"
#include "common/c_number.h"
#include "directory/device_directory.h"
#include "directory/model_table.h"

namespace zelo {
namespace {

constexpr std::int64_t kSecond = 1'000'000;
constexpr std::size_t kGreetingNameMax = 32;
constexpr std::size_t kIdentificationMax = 79;
constexpr std::size_t kIdentTextMax = 31;

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}
bool contains(std::string_view s, std::string_view part) {
    return !part.empty() && s.find(part) != std::string_view::npos;
}

// sscanf-style "%d<sep>%d<sep>%d" at the start of a text.
bool threeNumbers(std::string_view text, char sep, int& a, int& b, int& c) {
    std::int32_t v[3];
    std::string spaced(text);
    for (char& ch : spaced)
        if (ch == sep) ch = ' ';
    // Only the separators may stand between the numbers.
    std::size_t seps = 0;
    for (std::size_t i = 0; i < text.size() && seps < 2; ++i) {
        const char ch = text[i];
        if (ch == sep) ++seps;
        else if (!(ch >= '0' && ch <= '9') && ch != ' ' && ch != '-' && ch != '+') return false;
    }
    if (scanInts(spaced, v, 3) != 3) return false;
    a = v[0];
    b = v[1];
    c = v[2];
    return true;
}

}  // namespace

Dialect dialectOf(int modelCode) {
    if (isPromptModel(modelCode)) return Dialect::Framed;
    if (isUserLoginModel(modelCode)) return Dialect::Plain;
    return Dialect::None;
}

DeviceSession::DeviceSession(Network& network, const Clock& clock, Frontend& frontend,
                             const AppSettings& settings, DeviceDirectory* directory)
    : connection(network, clock),
      network_(network),
      clock_(clock),
      frontend_(frontend),
      settings_(settings),
      directory_(directory) {}

std::string DeviceSession::framedPrompt() const {
    return record.selectNumber + ":" + record.prompt + ">";
}

std::string DeviceSession::framePrefix() const { return "*" + record.selectNumber + ":"; }

void DeviceSession::showErrorAndClose(int textId) {
    frontend_.showError(textId, msg::kError);
    connection.closeConnection();
}

void DeviceSession::noteLoss() {
    // The next command logs in again before it is sent. A loss is told once:
    // the flag stays clear until the next connect.
    if (!connection.connected) return;
    connection.connected = false;
    frontend_.connectionLost();
}

bool DeviceSession::sendCommandText(std::string_view text) {
    // A device that hangs up instead of answering is as lost as one that
    // hangs up in the middle of its reply.
    const bool wasOpen = connection.isOpen();
    const bool failed = connection.sendAndWait(text);
    waitTimedOut = failed && wasOpen && connection.isOpen();
    if (failed && wasOpen && !connection.isOpen()) noteLoss();
    return failed;
}

void DeviceSession::saveRecord() {
    if (directory_ && directory_->saveDevice(record)) frontend_.deviceRecordChanged(record);
}

bool DeviceSession::connectRecord() {
    const std::uint32_t address = resolveDeviceAddress(network_, record.addressText);
    record.ipAddress = address;
    return address == 0 || connection.connectToDevice(address, record.port);
}

bool DeviceSession::waitForLine(std::string& line, std::string_view prompt1,
                                std::string_view prompt2, std::int64_t deadline,
                                std::size_t maxLength, bool* lost) {
    for (;;) {
        if (connection.readLine(line, prompt1, prompt2, maxLength)) return true;
        if (clock_.micros() >= deadline) return false;
        if (connection.receiveChunk(deadline - clock_.micros()) < 0) {
            noteLoss();
            if (connection.readLine(line, prompt1, prompt2, maxLength)) return true;
            if (lost) *lost = true;
            return false;
        }
    }
}

// ---------------------------------------------------------------- framed

bool DeviceSession::loginFramed(bool reset) {
    const std::string prompt = framedPrompt();
    const std::string prefix = framePrefix();
    if (reset) {
        status = DeviceStatus{};
        connection.connected = false;
    }
    loginMode = 0;
    status.masterPresent = true;
    workingPromptName.clear();
    status.firmwareDate.clear();
    status.fullReload = true;

    if (connectRecord()) {
        frontend_.showError(msg::kCannotConnect, msg::kError);
        connection.closeConnection();
        return true;
    }

    // The device greets with "login:" or shows its prompt at once.
    std::int64_t deadline = clock_.micros() + kReplySeconds * kSecond;
    bool atPrompt = false;
    std::string line;
    while (!atPrompt && loginMode == 0) {
        const bool ready = waitForLine(line, prompt, "login:", deadline, kLineLength);
        if (!ready) {
            showErrorAndClose(msg::kDisconnected);
            return true;
        }
        if (startsWith(line, "503 Too ")) {
            showErrorAndClose(msg::kTooManyUsers);
            return true;
        }
        if (startsWith(line, "login:")) loginMode = 1;
        else if (contains(line, prompt)) atPrompt = true;
    }

    if (loginMode == 1) {
        bool refused = connection.sendAndWait("admin\r\n");
        if (!refused) {
            deadline = clock_.micros() + kReplySeconds * kSecond;
            bool asked = false;
            while (!asked && waitForLine(line, "Password:", "", deadline, kLineLength))
                asked = contains(line, "Password:");
            refused = !asked;
        }
        if (!refused) refused = connection.sendAndWait(record.password + "\r\n");
        if (!refused) {
            deadline = clock_.micros() + kReplySeconds * kSecond;
            bool done = false;
            refused = true;
            while (!done && waitForLine(line, prompt, "login:", deadline, kLineLength)) {
                if (contains(line, prompt)) {
                    refused = false;
                    done = true;
                } else if (contains(line, "login:")) {
                    done = true;
                }
            }
        }
        if (refused) {
            showErrorAndClose(msg::kBadPassword);
            return true;
        }
    }

    if (connection.sendAndWait(loginMode == 1 ? "ver\r\n" : "*\r\n")) {
        showErrorAndClose(msg::kBadCommunication);
        return true;
    }
    deadline = clock_.micros() + kReplySeconds * kSecond;
    bool identified = false;
    while (waitForLine(line, prompt, "", deadline, kLineLength)) {
        if (contains(line, prefix)) {
            parseIdentification(line.substr(line.find(prefix)));
            identified = true;
        }
        if (contains(line, prompt)) break;
    }
    if (!identified) {
        showErrorAndClose(msg::kBadCommunication);
        return true;
    }
    return false;
}

void DeviceSession::parseIdentification(const std::string& fromPrefix) {
    const std::string text = fromPrefix.substr(0, kIdentificationMax);
    if (text.size() <= 4) return;
    // "MODEL Ver VERSION"
    std::string_view rest = std::string_view(text).substr(4);
    auto nextWord = [&rest]() {
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
        std::size_t n = 0;
        while (n < rest.size() && rest[n] != ' ' && rest[n] != '\t') ++n;
        std::string_view w = rest.substr(0, n);
        rest.remove_prefix(n);
        return w;
    };
    status.modelNameText = std::string(nextWord()).substr(0, kIdentTextMax);
    if (nextWord() != "Ver") return;
    std::string version(nextWord());
    if (!version.empty() && version.front() == ' ') version.erase(0, 1);
    status.firmwareText = version.substr(0, kIdentTextMax);
    status.firmwareVersion = packFirmwareVersion(status.firmwareText);
}

bool DeviceSession::sendFramedCommand(std::string_view command, bool withSelect) {
    if (reconnectIfNeeded()) return true;
    std::string frame;
    if (loginMode == 1) frame = std::string(command);
    else if (withSelect) frame = "*" + record.selectNumber + ":" + record.password + "#" + std::string(command);
    else frame = "*" + record.password + "#" + std::string(command);
    return sendCommandText(frame + "\r\n");
}

bool DeviceSession::writeRegister(std::uint16_t number, std::string_view value, bool withSelect) {
    char reg[16];
    std::snprintf(reg, sizeof reg, "R%x=", static_cast<unsigned>(number));
    return sendFramedCommand(std::string(reg) + std::string(value), withSelect);
}

bool DeviceSession::awaitFramedReply(std::optional<std::string_view> expectedKey) {
    const std::string prompt = framedPrompt();
    const std::string expected =
        expectedKey ? "*" + record.selectNumber + ":" + std::string(*expectedKey) + "=" : "";
    const std::string markers[] = {
        "*" + record.selectNumber + ":Err", "*" + record.selectNumber + ":Doubled",
        "*" + record.selectNumber + ":Locked", "*" + record.selectNumber + ":FullMemory"};
    dialogueIdle = false;
    waitTimedOut = false;
    bool seen = !expectedKey;
    bool failed = false, done = false;
    std::int64_t deadline = clock_.micros() + kReplySeconds * kSecond;
    std::string line;
    while (!done) {
        while (!failed && connection.readLine(line, prompt, "", kLineLength)) {
            deadline = clock_.micros() + kReplySeconds * kSecond;
            if (expectedKey && startsWith(line, expected)) seen = true;
            if (seen && contains(line, prompt)) done = true;  // lines after it still go through
            for (const std::string& m : markers)
                if (contains(line, m)) failed = true;
            if (failed) break;
            const bool error = parsers ? parsers->parseFramedReply(line)
                                       : startsWith(line, framePrefix() + "Err");
            if (error) failed = true;
        }
        if (failed) break;
        if (done) break;
        const std::int64_t left = deadline - clock_.micros();
        if (left <= 0) {
            failed = true;
            waitTimedOut = true;
            break;
        }
        if (connection.receiveChunk(left) < 0) {
            noteLoss();
            failed = true;
            break;
        }
    }
    dialogueIdle = true;
    return failed;
}

// ----------------------------------------------------------------- plain

bool DeviceSession::loginPlain(bool reset) {
    if (reset) {
        status = DeviceStatus{};
        connection.connected = false;
        status.firmwareVersion = 0;
        status.firmwareBuild = 0;
        status.firmwareDate.clear();
        status.specField = 20;
    }
    workingPromptName = record.systemName;

    if (connectRecord()) {
        frontend_.showError(msg::kCannotConnect, msg::kError);
        connection.closeConnection();
        return true;
    }

    // The greeting: " 220 ... (NAME) ...".
    std::string line;
    std::int64_t deadline = clock_.micros() + kReplySeconds * kSecond;
    if (!waitForLine(line, "", "", deadline, kLineLength)) {
        showErrorAndClose(msg::kDisconnected);
        return true;
    }
    if (!startsWith(line, " 220 ")) {
        showErrorAndClose(msg::kBadCommunication);
        return true;
    }
    const std::size_t open = line.find(" (");
    const std::size_t close = open == std::string::npos ? open : line.find(") ", open + 2);
    if (close != std::string::npos) {
        workingPromptName = line.substr(open + 2, close - open - 2).substr(0, kGreetingNameMax);
        record.systemName = cutText(workingPromptName, field::kSystemName);
        saveRecord();
    }

    connection.resetRing();
    connection.send("\r\n");
    const std::string prompt = plainPrompt();
    deadline = clock_.micros() + kReplySeconds * kSecond;
    if (!waitForLine(line, "Password:", "", deadline, kLineLength) || line != "Password:") {
        showErrorAndClose(msg::kBadCommunication);
        return true;
    }

    connection.resetRing();
    connection.sendAndWait(record.password + "\r\n");
    deadline = clock_.micros() + kReplySeconds * kSecond;
    while (waitForLine(line, prompt, "", deadline, kLineLength)) {
        if (line == prompt) return false;
        if (startsWith(line, "Incorrect password")) {
            showErrorAndClose(msg::kBadPassword);
            return true;
        }
    }
    showErrorAndClose(msg::kBadCommunication);
    return true;
}

int DeviceSession::startPlainQueries() {
    status.outletCount = 4;
    status.masterState = -1;
    status.smtpPort = 25;
    status.pop3Port = 110;
    for (OutletStatus& o : status.outlets) o = OutletStatus{};

    auto query = [this](std::string_view command) {
        return sendPlainCommand(command) || awaitPlainPrompt();
    };
    query("ver");  // an old firmware may not know it
    if (query("?model")) return msg::kBadCommunication;
    if (query("XPOS") || query("DATE") || query("TIME")) return msg::kError;
    listMode = 1;
    listStarted = listEnded = false;
    const bool failed = sendPlainCommand("LIST") || awaitPlainPrompt() || awaitPlainPrompt();
    listMode = 0;
    return failed ? msg::kError : 0;
}

bool DeviceSession::sendPlainCommand(std::string_view command) {
    if (reconnectIfNeeded()) return true;
    return sendCommandText(std::string(command) + "\r\n");
}

bool DeviceSession::awaitPlainPrompt() {
    const std::string prompt = plainPrompt();
    dialogueIdle = false;
    waitTimedOut = false;
    const std::int64_t deadline = clock_.micros() + kPlainPromptSeconds * kSecond;
    // A rejected command still ends with the prompt: it is read too, so
    // that the next command's wait does not end on it.
    bool failed = false, rejected = false, done = false;
    std::string line;
    while (!done && !failed) {
        while (connection.readLine(line, prompt, "", kPlainLineLength)) {
            if (line == prompt) {
                done = true;
                break;
            }
            if (parsePlainReply(line)) rejected = true;
        }
        if (done) break;
        const std::int64_t left = deadline - clock_.micros();
        if (left <= 0) {
            failed = true;
            waitTimedOut = true;
        } else if (connection.receiveChunk(left) < 0) {
            noteLoss();
            failed = true;
        }
    }
    dialogueIdle = true;
    return failed || rejected;
}

bool DeviceSession::writePlainSetting(std::string_view key, std::string_view value) {
    listMode = 1;
    const bool failed =
        sendPlainCommand("." + std::string(key) + "=" + std::string(value)) || awaitPlainPrompt();
    listMode = 0;
    return failed;
}

bool DeviceSession::parsePlainReply(std::string_view line) {
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (listMode == 1) {
        // A rejected write answers with a 501 line; a value that merely
        // contains the digits does not count.
        if (startsWith(line, "501 ") || line == "501") return true;
        if (contains(line, plainPrompt())) {
            if (listEnded) listMode = 0;
        } else if (!startsWith(line, "-") && parsers) {
            parsers->parseSettingLine(std::string(line));
        }
        return false;
    }
    if (contains(line, "501")) return true;
    if (startsWith(line, "XPOS ")) {
        int n = 0;
        for (std::size_t p = 5; n < kMaxOutlets && p < line.size(); p += 7) {
            const auto c = static_cast<unsigned char>(line[p]);
            if (c <= 32 || c >= 128) break;
            OutletStatus& o = status.outlets[static_cast<std::size_t>(n)];
            const int state = c - '0';
            if (o.state != state) {
                o.state = state;
                frontend_.outletChanged(n);
            }
            o.valid = true;
            o.type = 0x11;
            ++n;
            if (p + 6 >= line.size() || line[p + 6] != ',') break;
        }
        status.outletCount = n;
        record.powerText = cutText(buildPowerText(status), field::kStateText);
        saveRecord();
        return false;
    }
    if (startsWith(line, "DATE ")) {
        if (line.size() > 10 && line[7] == line[10] && (line[7] == '.' || line[7] == '/')) {
            int y, m, d;
            // Numbers that are no two-digit year, month and day are no date
            // (and would overflow the clock's offsets and the weekday sum).
            if (threeNumbers(line.substr(5), line[7], y, m, d) && y >= 0 && y <= 99 && m >= 1 &&
                m <= 12 && d >= 1 && d <= 31) {
                status.clock.year = y + 100;
                status.clock.month = m - 1;
                status.clock.day = d;
                status.clock.weekday = weekdayOf(y + 2000, m, d);
            }
        }
        return false;
    }
    if (startsWith(line, "TIME ")) {
        int h, m, s;
        if (line.size() > 10 && line[7] == ':' && line[10] == ':' &&
            threeNumbers(line.substr(5), ':', h, m, s)) {
            status.clock.hour = h;
            status.clock.minute = m;
            status.clock.second = s;
        }
        return false;
    }
    if (startsWith(line, "?debOlShutdownTime=")) {
        if (parsers) parsers->parseSettingLine(std::string(line));
        return false;
    }
    if (startsWith(line, "?model=")) return parsers && parsers->parseSettingLine(std::string(line));
    if (startsWith(line, "ver")) parsePlainVersion(line);
    return false;
}

void DeviceSession::parsePlainVersion(std::string_view line) {
    auto hexDigit = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    const std::size_t blank = line.size() > 4 ? line.find(' ', 4) : std::string_view::npos;
    if (blank != std::string_view::npos) {
        std::size_t p = blank;
        while (p < line.size() && line[p] == ' ') ++p;
        std::size_t start = p;
        while (p < line.size() && hexDigit(line[p])) ++p;
        std::uint32_t v = parseCHex(line.substr(start, p - start)) << 16;
        if (p < line.size() && line[p] == '.') {
            start = ++p;
            while (p < line.size() && line[p] >= '0' && line[p] <= '9') ++p;
            // The minor number is written in decimal and counted in hex digits.
            const std::string minor = std::to_string(parseCUnsigned(line.substr(start, p - start)));
            v += (parseCHex(minor) & 0xFF) << 8;
            if (p < line.size() && line[p] != '.') {
                v += static_cast<unsigned char>(line[p]);
                ++p;
            }
            if (p < line.size() && line[p] == '.') status.firmwareBuild = parseCHex(line.substr(p + 1));
        }
        status.firmwareVersion = v;
    }
    const std::size_t slash = line.size() > 3 ? line.find('/', 3) : std::string_view::npos;
    if (slash != std::string_view::npos && line.size() >= slash + 7) {
        const std::string_view digits = line.substr(slash + 1, 6);
        bool allDigits = true;
        for (char c : digits) allDigits = allDigits && c >= '0' && c <= '9';
        if (allDigits) status.firmwareDate = std::string(digits);
    }
}

// ----------------------------------------------------------- reconnection

bool DeviceSession::reconnectIfNeeded() {
    if (connection.connected) return false;
    if (settings_.confirmReconnect && frontend_.controlWindowOpen() &&
        !frontend_.askYesNo(msg::kReconnectQuestion, msg::kConfirm, Icon::Question))
        return false;
    const bool failed = dialectOf(record.modelCode) == Dialect::Framed ? loginFramed(false)
                                                                       : loginPlain(false);
    if (failed) return true;
    if (frontend_.controlWindowOpen()) frontend_.outletChanged(-1);
    return false;
}

}  // namespace zelo
