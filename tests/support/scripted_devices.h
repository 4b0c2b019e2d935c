#pragma once
// Devices of both dialects on the scripted network, and a fixture with a
// device session on the manual clock whose record is stored in a directory
// on disk. Each device answers its login and every command from a table a
// test can fill, keeps the commands it received, and hangs up instead of
// answering a command that contains `hangUpOn`.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "directory/item_file.h"
#include "settings/app_settings.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo::test {

// A framed device "00:HX>" (password 7394). Commands go into `commands`
// without their frames (the identification "*" or "ver" does not).
class FramedDeviceScript {
public:
    std::string version = " 3.14.12";
    bool asksLogin = false;
    // How late the answers to the password and to the identification come
    // (after a bare line end).
    std::int64_t loginDelay = 0;
    std::string hangUpOn;
    // Replies by command; a command not in the table gets `fallback(cmd)`.
    std::map<std::string, std::string> replies;
    std::function<std::string(const std::string&)> fallback = readoutReply;
    std::vector<std::string> commands;

    static std::string framed(const std::string& body) { return "*00:" + body + "\r\n00:HX>"; }

    // A small device with four outlets that knows every readout command.
    static std::string readoutReply(const std::string& cmd) {
        static const std::map<std::string, std::string> fixed = {
            {"MPOS", "MPOS=1,1:0,0:0,1:0,1:0,"},
            {"SCS", "SCS=1:0,0:0,1:0,0:0,"},
            {"DT", "DT=2024/05/06 Mon 07:08:09"},
            {"SPEC", "SPEC=7200-0100-4101-0300-1400-0001-0000-4"},
            {"TYPE", "TYPE=11,11,1A,11"},
            {"LOG0", "LOG0=24/05/06 07:08 POWER ON"},
            {"R9900", "R9900=00:80:87:0A:0B:0C"},
            {"R9930", "R9930=SN0042"}};
        if (auto it = fixed.find(cmd); it != fixed.end()) return framed(it->second);
        const std::string range = cmd.substr(2);
        if (cmd.rfind("RL", 0) == 0)
            return "*00:RL=" + range + "\r\nR" + range.substr(0, range.find('-')) +
                   "=1\r\n-----\r\n00:HX>";
        if (cmd.rfind("PL", 0) == 0)
            return "*00:PLIST=" + range + "\r\nPL00=WEEK 12:30 01:02 Mon 1\r\n---\r\n00:HX>";
        return framed(cmd.size() > 1 && cmd[0] == 'R' ? cmd + "=1" : "Err");
    }
    void attach(ScriptedNetwork& net) {
        net.onConnect = [this](ScriptedStream& s) {
            loggedIn_ = false;
            s.deliver(std::string("\xFF\xFB\x01\xFF\xFB\x03") + (asksLogin ? "login:" : "00:HX>"));
            s.onSend = [this, &s](const std::string& text) { receive(s, text); };
        };
    }
    std::vector<std::string> commandsStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& c : commands)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }
    bool received(const std::string& command) const {
        return std::find(commands.begin(), commands.end(), command) != commands.end();
    }

private:
    void receive(ScriptedStream& s, std::string text) {
        if (!hangUpOn.empty() && text.find(hangUpOn) != std::string::npos) return s.closeAfter();
        text.resize(text.size() - 2);  // CR LF
        if (asksLogin && !loggedIn_) {
            if (text == "admin") return s.deliver("Password:");
            loggedIn_ = text == "7394";
            s.deliver("\r\n");
            return s.deliver(loggedIn_ ? "00:HX>" : "login:", loginDelay);
        }
        std::string cmd = text;
        for (const std::string frame : {"*00:7394#", "*7394#"})
            if (cmd.rfind(frame, 0) == 0) cmd = cmd.substr(frame.size());
        const auto it = replies.find(cmd);
        const bool identify = cmd == "*" || cmd == "ver";
        if (identify && it == replies.end()) {
            s.deliver("\r\n");
            return s.deliver("*00:HX-7200 Ver" + version + "\r\n00:HX>", loginDelay);
        }
        if (!identify) commands.push_back(cmd);
        const std::string reply = it != replies.end() ? it->second : fallback(cmd);
        if (!reply.empty()) s.deliver(reply);
    }
    bool loggedIn_ = false;
};

// A plain device: " 220 SWD-12K (name) ready", then "Password:" for the
// empty line, then its prompt "name> " for the password "tavik". A write
// ".key=value" is answered with "key=value" (".sysName" renames the
// device); CPURESET closes the console.
class PlainDeviceScript {
public:
    std::string name = "pdu";
    std::string greeting;  // instead of the usual one when set
    std::string prompt;    // instead of "name> " when set
    std::string hangUpOn;
    std::int64_t loginDelay = 0;                 // how late the prompt after the password comes
    std::string passwordPrompt = "Password:";    // with what follows it, if anything
    std::map<std::string, std::string> replies;  // lines before the prompt, by command
    std::vector<std::string> commands;

    void attach(ScriptedNetwork& net) {
        net.onConnect = [this](ScriptedStream& s) {
            loggedIn_ = false;
            s.deliver(greeting.empty() ? " 220 SWD-12K (" + name + ") ready\r\n" : greeting);
            s.onSend = [this, &s](const std::string& text) { receive(s, text); };
        };
    }

private:
    void receive(ScriptedStream& s, std::string text) {
        if (!hangUpOn.empty() && text.find(hangUpOn) != std::string::npos) return s.closeAfter();
        text.resize(text.size() - 2);  // CR LF
        if (!loggedIn_) {
            if (text.empty()) return s.deliver(passwordPrompt);
            loggedIn_ = text == "tavik";
            s.deliver("\r\n");
            return s.deliver(loggedIn_ ? shownPrompt() : "Incorrect password\r\n", loginDelay);
        }
        commands.push_back(text);
        if (auto it = replies.find(text); it != replies.end())
            return s.deliver(it->second + shownPrompt());
        if (text == "CPURESET") return s.deliver("Restarting...\r\n"), s.closeAfter();
        if (text.rfind(".sysName=", 0) == 0) name = text.substr(9);
        s.deliver((text[0] == '.' ? text.substr(1) + "\r\n" : "") + shownPrompt());
    }
    std::string shownPrompt() const { return prompt.empty() ? name + "> " : prompt; }
    bool loggedIn_ = false;
};

class DeviceFixture : public ::testing::Test {
protected:
    // A stored record of the model (3 unless told), pointing at the scripted
    // device of its dialect.
    void SetUp() override { useModel(3); }
    void useModel(int model) {
        settings.language = Language::English;
        if (group == 0) {
            ASSERT_TRUE(directory.load());
            group = directory.addGroup(0, "Lab");
        }
        session.record = *directory.devices().find(directory.addDevice(group, model, "dev"));
        session.record.addressText = "127.0.0.1";
        session.record.port = 23;
        if (dialectOf(model) == Dialect::Framed) session.record.prompt = "HX";
        dialectOf(model) == Dialect::Framed ? framed.attach(net) : plain.attach(net);
        ASSERT_TRUE(directory.saveDevice(session.record));
    }
    // The next row of a table: a fresh record of `model`, devices that behave again (the
    // framed one keeps its version) and a front end that has shown nothing.
    void nextRow(int model) {
        useModel(model);
        net.refuse = framed.asksLogin = false;
        framed.replies.clear(), framed.hangUpOn.clear(), framed.commands.clear();
        plain.replies.clear(), plain.hangUpOn.clear(), plain.commands.clear();
        frontend.errors.clear(), frontend.errorCaptions.clear();
    }
    DeviceRecord stored() const {
        for (const DeviceRecord& r : loadItemFile(dataDir, group))
            if (r.deviceId == session.record.deviceId) return r;
        return {};
    }

    TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    TestWorkspace w{dataDir, Net::Scripted, 1'700'000'000};
    AppSettings& settings = w.ws.settings();
    DeviceDirectory& directory = w.ws.directory();
    ManualClock& clock = w.clock;
    ScriptedNetwork& net = w.net;
    ScriptedFrontend& frontend = w.frontend;
    ScriptedView& view = w.view;
    DeviceSession& session = w.session();
    FramedDeviceScript framed;
    PlainDeviceScript plain;
    std::uint32_t group = 0;
};

}  // namespace zelo::test
