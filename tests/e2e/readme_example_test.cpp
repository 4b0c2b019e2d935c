// The README's first example, read from README.md and run as written on a
// fresh data directory: each zeloctl line with the programs of this build,
// the data directory moved into a test directory (its parent exists, the
// directory does not) and the listener on a free loopback port. The test
// plays the simulator line itself: one unit with the MAC the example sets,
// reporting every second to that port.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/support/child_process_posix.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

// The first block of command lines (indented by four spaces) that runs
// zeloctl over a data directory.
std::vector<std::string> readmeExample() {
    std::istringstream readme(test::readBytes(ZELO_SOURCE_DIR "/README.md"));
    std::vector<std::string> block;
    bool runsZeloctl = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("    ", 0) == 0) {
            block.push_back(line.substr(4));
            runsZeloctl = runsZeloctl || line.find("zeloctl --dir") != std::string::npos;
        } else if (!line.empty()) {
            if (runsZeloctl) return block;
            block.clear();
        }
    }
    return runsZeloctl ? block : std::vector<std::string>{};
}

TEST(ReadmeExample, RunsAsWritten) {
    const std::vector<std::string> lines = readmeExample();
    ASSERT_FALSE(lines.empty()) << "no example with zeloctl --dir in README.md";
    test::TempDir scratch;
    const std::string station = scratch.file("station");
    std::string mac;
    bool listened = false;
    for (const std::string& written : lines) {
        SCOPED_TRACE(written);
        std::smatch found;
        if (std::regex_search(written, found, std::regex("mac=(\\S+)"))) mac = found[1];
        if (written.find("zelo-sim") != std::string::npos ||
            written.find("zeloctl") == std::string::npos)
            continue;
        std::string line = std::regex_replace(written, std::regex("^\\S*zeloctl"), ZELOCTL_PATH);
        line = std::regex_replace(line, std::regex("--dir[ =]\\S+"), "--dir " + station);
        const bool listen = line.find(" listen") != std::string::npos;
        if (!listen) {
            test::ChildProcess command;
            ASSERT_TRUE(command.start({"/bin/sh", "-c", line}, scratch.file("out.txt"),
                                      scratch.file("err.txt")));
            EXPECT_EQ(command.wait(), 0) << test::readBytes(scratch.file("err.txt"));
            continue;
        }
        listened = true;
        line = std::regex_replace(line, std::regex("--port[ =]\\d+"), "--port 0") +
               " --bind 127.0.0.1";
        test::ChildProcess listener, sim;
        ASSERT_TRUE(listener.start({"/bin/sh", "-c", line}, scratch.file("reports.txt"), "|"));
        std::string announced;
        ASSERT_TRUE(listener.readLine(announced, 10'000));
        const std::size_t at = announced.find("port ");
        ASSERT_NE(at, std::string::npos) << announced;
        ASSERT_FALSE(mac.empty()) << "the example sets no MAC: no report could be taken";
        test::writeBytes(scratch.file("unit.fleet"), "[hx]\nmodel = 3\nmac = " + mac + "\n");
        ASSERT_TRUE(
            sim.start({ZELO_SIM_PATH, scratch.file("unit.fleet"), "--station",
                       "127.0.0.1:" + announced.substr(at + 5), "--interval", "1", "--quiet"},
                      scratch.file("sim.txt"), scratch.file("sim-err.txt")));
        EXPECT_EQ(listener.wait(30'000), 0);
        const std::string reports = test::readBytes(scratch.file("reports.txt"));
        EXPECT_NE(reports.find("\thx\t"), std::string::npos) << reports;
    }
    EXPECT_TRUE(listened) << "the example runs no listen";
}

}  // namespace
}  // namespace zelo
