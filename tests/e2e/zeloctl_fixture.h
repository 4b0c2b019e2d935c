#pragma once
// zeloctl run as a program over a temporary data directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/child_process_posix.h"
#include "tests/support/temp_dir.h"

namespace zelo::test {

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ZeloctlTest : public ::testing::Test {
protected:
    RunResult zeloctl(const std::vector<std::string>& args) {
        return runProgram(ZELOCTL_PATH, args, scratch);
    }
    RunResult run(std::vector<std::string> args) { return runIn(data.path().string(), args); }
    RunResult runIn(const std::string& dir, std::vector<std::string> args) {
        args.insert(args.begin(), "--dir=" + dir);
        return zeloctl(args);
    }
    void english() { writeBytes(data.file("ZELO.INI"), "[ZELO]\r\nLanguage=1\r\n"); }
    std::string file(const std::string& name) const { return readBytes(data.file(name)); }
    // Starts `listen` over `dir` on a free loopback port with `more` options, its output in
    // scratch's listen.txt; the port it took, from its announcement on stderr ("0": none). The
    // lines before it go to `before`.
    std::string listen(ChildProcess& p, const std::string& dir,
                       const std::vector<std::string>& more = {}, std::string* before = nullptr) {
        std::vector<std::string> args{ZELOCTL_PATH, "--dir", dir,      "listen",
                                      "--port",     "0",     "--bind", "127.0.0.1"};
        args.insert(args.end(), more.begin(), more.end());
        EXPECT_TRUE(p.start(args, scratch.file("listen.txt"), "|"));
        const std::string announce = "listening on UDP port ";
        for (std::string line; p.readLine(line, 10'000);) {
            if (contains(line, announce))
                return std::to_string(
                    std::stoi(line.substr(line.find(announce) + announce.size())));
            if (before) *before += line + "\n";
        }
        return "0";
    }

    TempDir data, scratch;
};

}  // namespace zelo::test
