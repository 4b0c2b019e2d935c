#pragma once
// A framed-dialect device on the scripted network: it answers the
// identification and every framed command from a table that a test can
// override, and keeps the commands it received (without their frames).

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/scripted_network.h"

namespace zelo::test {

class FramedDeviceScript {
public:
    std::string version = " 3.14.12";
    bool asksLogin = false;
    // Replies by command; a command not in the table gets `fallback(cmd)`.
    std::map<std::string, std::string> replies;
    std::function<std::string(const std::string&)> fallback;
    std::vector<std::string> commands;  // in the order received
    std::vector<std::string> frames;    // the raw texts, CR LF cut

    static std::string framed(const std::string& body) { return "*00:" + body + "\r\n00:HX>"; }

    void attach(ScriptedNetwork& net) {
        net.onConnect = [this](ScriptedStream& s) {
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
        for (const std::string& c : commands)
            if (c == command) return true;
        return false;
    }

private:
    void receive(ScriptedStream& s, std::string text) {
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
            text.resize(text.size() - 2);
        frames.push_back(text);
        if (asksLogin && !loggedIn_) {
            if (text == "admin")
                s.deliver("Password:");
            else if (text == "7394") {
                loggedIn_ = true;
                s.deliver("\r\n00:HX>");
            }
            return;
        }
        if (text == "*" || text == "ver") {
            s.deliver("*00:HX-7200 Ver" + version + "\r\n00:HX>");
            return;
        }
        std::string cmd = text;
        for (const char* frame : {"*00:7394#", "*7394#"})
            if (cmd.rfind(frame, 0) == 0) cmd = cmd.substr(std::string(frame).size());
        commands.push_back(cmd);
        auto it = replies.find(cmd);
        const std::string reply = it != replies.end() ? it->second
                                  : fallback          ? fallback(cmd)
                                                      : framed("Err");
        if (!reply.empty()) s.deliver(reply);
    }

    bool loggedIn_ = false;
};

}  // namespace zelo::test
