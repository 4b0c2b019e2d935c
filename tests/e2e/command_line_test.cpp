// zeloctl and zelo-sim as a new user meets them: the conventions of their
// command lines, what they say when a value is changed or a connection
// fails, and the language of their texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/e2e/zeloctl_fixture.h"
#include "tests/status/report_builder.h"
#include "tests/status/udp_sender.h"

namespace zelo {
namespace {

using test::contains;
using test::readBytes;
using test::RunResult;
using test::writeBytes;
using CommandLine = test::ZeloctlTest;

TEST_F(CommandLine, GlobalOptionsVersionAndJsonNumbers) {
    english();
    EXPECT_EQ(zeloctl({"--version"}).out, "zeloctl 1.0.0\n");
    ASSERT_EQ(run({"add-group", "0", "Lab"}).code, 0);
    // The options are taken after the command name too, --dir in both spellings.
    ASSERT_EQ(zeloctl({"add-device", "Lab", "3", "hx", "--dir", data.path().string()}).code, 0);
    const RunResult json = zeloctl({"show", "hx", "--json", "--dir=" + data.path().string()});
    ASSERT_EQ(json.code, 0) << json.err;
    for (const char* part :
         {"\"modelCode\":3,", "\"port\":23,", "\"temperatureState\":-1,", "\"name\":\"hx\""})
        EXPECT_TRUE(contains(json.out, part)) << part << " in " << json.out;
    const struct {
        std::vector<std::string> args;
        const char* err;
    } usage[] = {
        {{"--frob", "tree"}, "unknown option '--frob'"},
        {{"tree", "--dir"}, "--dir needs a directory"},
        {{"--dir=", "tree"}, "--dir= needs a directory"},
    };
    for (const auto& row : usage) {
        const RunResult r = zeloctl(row.args);
        EXPECT_EQ(r.code, 2) << row.err;
        EXPECT_TRUE(contains(r.err, row.err)) << r.err;
    }
}

// What the property dialog's save rules make of a value is said, not done in silence.
TEST_F(CommandLine, SetSaysWhatTheSaveRulesChanged) {
    english();
    ASSERT_EQ(run({"add-group", "0", "Lab"}).code, 0);
    ASSERT_EQ(run({"add-device", "Lab", "3", "hx"}).code, 0);
    const struct {
        std::string field, err;
    } rows[] = {
        {"port=70000", "port: 70000 is above 65535; stored as 65535\n"},
        {"mac=00-1a-2b-3c-4d-5e", "mac: letters and digits kept, at most 12: 001A2B3C4D5E\n"},
        {"mac=0090CC0000FF", ""},
        {"mac=rack-3", "warning: mac: 'RACK3' is not a MAC address (twelve hex digits)\n"},
        {"name=" + std::string(70, 'n'), "name: cut to 62 bytes, the field's length"},
        {"model=SWD-12K", "warning: model SWD-12K does not use prompt (HX) select (00)\n"},
    };
    for (const auto& row : rows) {
        const RunResult r = run({"set", "device:1", row.field});
        EXPECT_EQ(r.code, 0) << row.field;
        if (row.err.empty())
            EXPECT_EQ(r.err, "") << row.field;
        else
            EXPECT_TRUE(contains(r.err, "zeloctl: " + row.err)) << row.field << ": " << r.err;
    }
    const std::string shown = run({"show", "device:1"}).out;
    EXPECT_TRUE(contains(shown, "modelName=SWD-12K\nmodelCode=11\n")) << shown;
}

// Errors keep the program's text and add where and why.
TEST_F(CommandLine, FailuresNameTheAddressPortAndReason) {
    english();
    ASSERT_EQ(run({"add-group", "0", "Lab"}).code, 0);
    ASSERT_EQ(run({"add-device", "Lab", "11", "gone"}).code, 0);
    ASSERT_EQ(run({"set", "gone", "address=127.0.0.1", "port=1"}).code, 0);
    RunResult r = run({"status", "gone"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zeloctl: Can not connect (127.0.0.1:1: connection refused)\n");

    // A port another listen holds (over another directory), and an address
    // this machine does not have.
    test::ChildProcess holder;
    const std::string port = listen(holder, scratch.path().string());
    ASSERT_NE(port, "0");
    const std::pair<const char*, std::string> rows[] = {
        {"127.0.0.1", "(127.0.0.1:" + port + ": address already in use)"},
        {"192.0.2.1", "(192.0.2.1:" + port + ": cannot assign requested address)"},
    };
    for (const auto& [address, reason] : rows) {
        r = run({"listen", "--port", port, "--bind", address, "--seconds", "0"});
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(contains(r.err, "cannot listen on UDP port " + port + " " + reason)) << r.err;
    }
}

// Reports from units the directory does not know are counted per sender; an
// event log that cannot be written is named with the system's reason.
TEST_F(CommandLine, ListenSaysHowManyReportsEachUnknownSenderSent) {
    writeBytes(data.file("ZELO.INI"),
               "[ZELO]\r\nLanguage=1\r\n[Log]\r\nLOGenable=1\r\nBaseDir=blocker\r\n");
    writeBytes(data.file("blocker"), "a file where the logs' folder would be");
    ASSERT_EQ(run({"add-group", "0", "Lab"}).code, 0);
    ASSERT_EQ(run({"add-device", "Lab", "10", "swd"}).code, 0);
    ASSERT_EQ(run({"set", "swd", "unit=258"}).code, 0);
    test::ChildProcess listen;
    const std::string port = this->listen(listen, data.path().string(), {"--count", "1"});
    ASSERT_NE(port, "0");
    test::UdpSender sender;
    for (unsigned unit : {999u, 7u, 999u, 258u})
        ASSERT_TRUE(sender.send(std::stoi(port), test::tableReport(unit, {{1, 0}})));
    EXPECT_EQ(listen.wait(), 0);
    std::string err, line;
    while (listen.readLine(line, 5'000)) err += line + "\n";
    EXPECT_EQ(err,
              "zeloctl: the event log could not be written: " + data.file("blocker") +
                  "/00000001.LOG (not a directory)\n"
                  "zeloctl: ignored 1 report from unit 7: no device of the directory has it\n"
                  "zeloctl: ignored 2 reports from unit 999: no device of the directory has it\n");
    EXPECT_TRUE(contains(readBytes(scratch.file("listen.txt")), "\tswd\t"))
        << readBytes(scratch.file("listen.txt"));
}

// Without a Language in ZELO.INI the texts, zeloctl's own messages among
// them, follow the locale, and a data directory zeloctl starts keeps that
// language. Reading commands write no file; names are stored in Shift JIS.
TEST_F(CommandLine, TheLanguageFollowsTheLocaleAndANewDirectoryKeepsIt) {
    const struct {
        const char *locale, *root, *ini, *unknown, *group, *stored, *usage;
    } rows[] = {
        {"C", "Root", "[ZELO]\r\nLanguage=1\r\n", "zeloctl: no device named 'nobody'\n", "Lab",
         "0\tRoot\t0\r\n1\tLab\t1\r\n", "usage: "},
        {"ja_JP.UTF-8", "\xe8\xa6\x8f\xe5\xae\x9a", "[ZELO]\r\nLanguage=0\r\n",
         "zeloctl: \xe3\x83\x87\xe3\x83\x90\xe3\x82\xa4\xe3\x82\xb9 'nobody' "
         "\xe3\x81\xaf\xe3\x81\x82\xe3\x82\x8a\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93\n",
         "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88",
         "0\t\x8b\x4b\x92\xe8\t0\r\n1\t\x83\x65\x83\x58\x83\x67\t1\r\n",
         "\xe4\xbd\xbf\xe3\x81\x84\xe6\x96\xb9: "},
    };
    for (const auto& row : rows) {
        test::TempDir dir;
        ::setenv("LC_ALL", row.locale, 1);  // for the programs started; the last row leaves C
        EXPECT_EQ(runIn(dir.path().string(), {"tree"}).out,
                  std::string("0\t0\t") + row.root + "\n");
        EXPECT_EQ(runIn(dir.path().string(), {"show", "nobody"}).err, row.unknown);
        EXPECT_EQ(runIn(dir.path().string(), {"list", "0"}).code, 0);
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
        ASSERT_EQ(runIn(dir.path().string(), {"add-group", "0", row.group}).code, 0);
        EXPECT_EQ(readBytes(dir.file("ZELO.INI")).substr(0, 20), row.ini);
        EXPECT_EQ(readBytes(dir.file("ZELO_DIR.DAT")), row.stored);
        ::setenv("LC_ALL", row.locale[0] == 'C' ? "ja_JP.UTF-8" : "C", 1);  // the file decides now
        EXPECT_EQ(runIn(dir.path().string(), {"tree"}).out,
                  std::string("0\t0\t") + row.root + "\n1\t1\t" + row.group + "\n");
        // Usage lines and every command's help follow the file too.
        EXPECT_EQ(runIn(dir.path().string(), {"show"}).err,
                  std::string("zeloctl: ") + row.usage + "show DEVICE [--show-password]\n");
        std::istringstream help(runIn(dir.path().string(), {"--help"}).out);
        int commands = 0;
        for (std::string line; std::getline(help, line);) {
            if (line.rfind("  ", 0) != 0 || line[2] == '-' || line[2] == ' ') continue;
            const std::string name = line.substr(2, line.find(' ', 2) - 2);
            EXPECT_EQ(runIn(dir.path().string(), {name, "--help"}).out.rfind(row.usage, 0), 0u)
                << name;
            ++commands;
        }
        EXPECT_EQ(commands, 13);
    }
}

// zelo-sim's options and fleet file: a mistake is refused at once.
TEST_F(CommandLine, ZeloSimRefusesBadOptionsAndFleets) {
    const std::string fleet = scratch.file("one.fleet");
    writeBytes(fleet, "[hx]\nmodel = 3\n");
    writeBytes(scratch.file("empty.fleet"), "interval = 5\n");
    const struct {
        std::vector<std::string> args;
        const char* err;
    } rows[] = {
        {{fleet, "--station", "127.0.0.1"}, "--station takes HOST:PORT"},
        {{fleet, "--station", "127.0.0.1:70000"}, "--station takes HOST:PORT"},
        {{fleet, "--interval", "abc"}, "--interval takes a number from 0 to 86400, not 'abc'"},
        {{fleet, "--control", "70000"}, "--control takes a number from 0 to 65535"},
        {{scratch.file("empty.fleet")}, "no devices"},
    };
    for (const auto& row : rows) {
        const RunResult r = test::runProgram(ZELO_SIM_PATH, row.args, scratch);
        EXPECT_EQ(r.code, 2) << row.err;
        EXPECT_TRUE(contains(r.err, row.err)) << r.err;
    }
}

}  // namespace
}  // namespace zelo
