// zeloctl listen as a program while simulated units report to it: units of
// every model and report layout, an outlet switched by hand on a unit, and
// units whose every report is spoilt. Its output lines, the item files and
// the event logs are compared byte for byte with what the file formats say.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/status_sim/data_files.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::ItemRecord;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

// zeloctl running in the background with its output in a file; the port
// comes from the line it writes on stderr once it listens.
class Zeloctl {
public:
    Zeloctl(const std::vector<std::string>& args, const std::string& outFile) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 2);
            if (!std::freopen(outFile.c_str(), "wb", stdout)) ::_exit(126);
            ::close(fds[0]);
            std::vector<char*> argv{const_cast<char*>(ZELOCTL_PATH)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(ZELOCTL_PATH, argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        err_ = ::fdopen(fds[0], "r");
        char line[256];
        if (err_ && std::fgets(line, sizeof line, err_)) {
            firstLine_ = line;
            const auto at = firstLine_.find("port ");
            if (at != std::string::npos) port_ = std::stoi(firstLine_.substr(at + 5));
        }
    }
    ~Zeloctl() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (err_) std::fclose(err_);
    }
    int port() const { return port_; }
    const std::string& firstLine() const { return firstLine_; }
    // Exit code; -1 when it ended by a signal or was still running at the
    // deadline (it is killed then).
    int wait(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        for (;;) {
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) break;
            if (r < 0 || std::chrono::steady_clock::now() >= deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    std::FILE* err_ = nullptr;
    std::string firstLine_;
    int port_ = 0;
};

constexpr std::uint32_t kHx = 0x1A, kJb = 0x1B, kSw12 = 0x1C, kQ6 = 0x1D, kGv = 0x1E, kS6 = 0x1F,
                        kS7 = 0x20, kS8 = 0x21, kS9 = 0x22, kS10 = 0x23;

ItemRecord prompt(const std::string& name, int code, std::uint32_t id, const std::string& mac,
                  const std::string& power, const std::string& schedule) {
    ItemRecord r;
    r.name = name;
    r.modelName = sim::ModelName(code);
    r.id = id;
    r.code = code;
    r.power = power;
    r.schedule = schedule;
    r.mac = mac;
    r.login = "7394";
    r.extra = std::string(code == 3 ? "HX" : "JB") + " 00";
    return r;
}

// Models 6 to 13: line 11 carries the unit number in hex and the system name.
ItemRecord userLogin(const std::string& name, int code, std::uint32_t id, const std::string& mac,
                     unsigned unit, const std::string& power) {
    ItemRecord r;
    r.name = name;
    r.modelName = sim::ModelName(code);
    r.id = id;
    r.code = code;
    r.power = power;
    r.schedule = " ";
    r.mac = mac;
    r.login = "tavik admin";
    r.extra = test::hexId(unit) + " " + name;
    return r;
}

class ListenWithSim : public ::testing::Test {
protected:
    TempDir data;
    TempDir scratch;
    std::vector<ItemRecord> good;
    std::vector<ItemRecord> spoilt;

    void SetUp() override {
        writeBytes(data.file("ZELO.INI"),
                   "[ZELO]\r\nLanguage=1\r\nDateStyle=0\r\n"
                   "[Log]\r\nLOGenable=1\r\nBaseDir=logs\r\n");
        writeBytes(data.file("ZELO_DIR.DAT"), "0\tRoot\t0\r\n1\tRack\t1\r\n1\tSpoilt\t2\r\n");
        std::filesystem::create_directory(data.file("logs"));

        good.push_back(prompt("hx", 3, kHx, "008087100003", "0 0000", "0000"));
        good.back().temperatureState = 0;
        // Stored as the unit will report it, apart from the schedule.
        good.push_back(prompt("jb", 5, kJb, "008087100005", "010", "000"));
        good.back().temperature = -325;
        good.back().temperatureState = 4;
        good.push_back(userLogin("sw12k", 11, kSw12, "008087100011", 0, "1111"));
        good.back().temperature = 2350;
        good.back().temperatureState = 0;
        good.push_back(userLogin("q6m", 12, kQ6, "008087100012", 0, "00000000"));
        good.push_back(userLogin("gv", 13, kGv, "008087100013", 0, "0110"));
        good.back().ping = "OOOO";
        good.back().reboot = "1 1 1 1 ";
        good.push_back(userLogin("s6", 6, kS6, "000000000000", 101, "1111"));
        good.push_back(userLogin("s7", 7, kS7, "000000000000", 102, "0110"));
        good.push_back(userLogin("s8", 8, kS8, "000000000000", 258, "0000"));
        good.push_back(userLogin("s9", 9, kS9, "000000000000", 259, "1111"));
        good.push_back(userLogin("s10", 10, kS10, "000000000000", 0x1234, "0000"));

        spoilt.push_back(prompt("badsum", 3, 0x40, "0080871000F1", "0 0000", "0000"));
        spoilt.push_back(userLogin("badlen", 11, 0x41, "0080871000F2", 0, "0000"));
        spoilt.push_back(userLogin("oddlen", 13, 0x42, "0080871000F3", 0, "0000"));
        spoilt.push_back(prompt("trunc", 5, 0x43, "0080871000F4", "0 000", "000"));
        spoilt.push_back(userLogin("unknown", 12, 0x44, "0080871000F5", 0, "0000"));
        spoilt.push_back(userLogin("tlen", 8, 0x45, "000000000000", 300, "0000"));
        spoilt.push_back(userLogin("ttrunc", 9, 0x46, "000000000000", 301, "0000"));
        spoilt.push_back(userLogin("tunk", 10, 0x47, "000000000000", 302, "0000"));
        spoilt.push_back(userLogin("sunk", 6, 0x48, "000000000000", 303, "0000"));
        spoilt.push_back(userLogin("slen", 7, 0x49, "000000000000", 304, "0000"));
        spoilt.push_back(userLogin("strunc", 6, 0x4A, "000000000000", 305, "0000"));

        writeBytes(data.file("00000001.IDX"), test::itemFile(good));
        writeBytes(data.file("00000002.IDX"), test::itemFile(spoilt));
    }

    static std::string fleetText(int stationPort) {
        return "station = 127.0.0.1:" + std::to_string(stationPort) +
               "\n"
               "interval = 0\n"
               // Element reports.
               "[hx]\nmodel = 3\nmac = 00:80:87:10:00:03\nstates = 1111\nschedule = 0100\n"
               "[jb]\nmodel = 5\nmac = 008087100005\nmaster = no\noutlets = 3\nstates = 010\n"
               "schedule = 011\ntemperature = -3.25\ntemp-state = 4\ntemp-form = 34\n"
               "[sw12k]\nmodel = 11\nmac = 008087100011\nping = 1:0,0:2,3:1,7:0\n"
               "[q6m]\nmodel = 12\nmac = 008087100012\noutlets = 8\nstates = 10101010\n"
               "schedule = 11000000\nping = 1:5,1:0\nping-form = long\ntemperature = 41\n"
               "temp-state = 2\ntemp-form = 34\n"
               "[gv]\nmodel = 13\nmac = 008087100013\nstates = 0110\ntemperature = none\n"
               "ping = none\n"
               // Short and table reports, matched by unit number.
               "[s6]\nmodel = 6\nunit = 101\nstates = 1010\n"
               "[s7]\nmodel = 7\nunit = 102\nstates = 0110\n"
               "[s8]\nmodel = 8\nunit = 258\nstates = 1100\n"
               "[s9]\nmodel = 9\nunit = 259\nstates = 0011\n"
               "[s10]\nmodel = 10\nunit = 4660\nstates = 0001\n"
               // Not in the directory.
               "[stranger]\nmodel = 3\nmac = 008087100099\n"
               // Every report spoilt.
               "[badsum]\nmodel = 3\nmac = 0080871000F1\nfaults = report:bad-checksum\n"
               "[badlen]\nmodel = 11\nmac = 0080871000F2\nfaults = report:wrong-length\n"
               "[oddlen]\nmodel = 13\nmac = 0080871000F3\nfaults = report:odd-length\n"
               "[trunc]\nmodel = 5\nmac = 0080871000F4\nfaults = report:truncated\n"
               "[unknown]\nmodel = 12\nmac = 0080871000F5\nfaults = report:unknown-layout\n"
               "[tlen]\nmodel = 8\nunit = 300\nfaults = report:wrong-length\n"
               "[ttrunc]\nmodel = 9\nunit = 301\nfaults = report:truncated\n"
               "[tunk]\nmodel = 10\nunit = 302\nfaults = report:unknown-layout\n"
               "[sunk]\nmodel = 6\nunit = 303\nfaults = report:unknown-layout\n"
               "[slen]\nmodel = 7\nunit = 304\nfaults = report:wrong-length\n"
               "[strunc]\nmodel = 6\nunit = 305\nfaults = report:truncated\n";
    }
};

TEST_F(ListenWithSim, ReportsOfEveryLayoutAreCommittedAndSpoiltOnesChangeNothing) {
    const std::string dirBefore = readBytes(data.file("ZELO_DIR.DAT"));
    const std::string spoiltBefore = readBytes(data.file("00000002.IDX"));
    const std::int64_t t0 = std::time(nullptr);
    Zeloctl listen({"--dir", data.path().string(), "listen", "--port", "0", "--bind", "127.0.0.1",
                    "--count", "13", "--seconds", "20"},
                   scratch.file("out.txt"));
    ASSERT_NE(listen.port(), 0) << listen.firstLine();

    sim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(sim::ParseFleet(fleetText(listen.port()), fleet, error)) << error;
    sim::SimServer server(std::move(fleet));
    ASSERT_TRUE(server.start(error)) << error;

    // Runs one control command, then the simulator's loop until exactly one
    // more report has gone out.
    std::uint64_t sent = 0;
    auto drive = [&](const std::string& command) {
        const std::string reply = server.control(command);
        ASSERT_EQ(reply.substr(reply.size() >= 2 ? reply.size() - 2 : 0), "OK") << reply;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (server.reportsSent() < sent + 1 && std::chrono::steady_clock::now() < deadline)
            server.step(1);
        server.step(0);
        ASSERT_EQ(server.reportsSent(), ++sent) << command;
    };

    drive("report stranger");
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"badsum", "hx"},  {"badlen", "jb"}, {"oddlen", "sw12k"}, {"trunc", "q6m"},
        {"unknown", "gv"}, {"tlen", "s6"},   {"ttrunc", "s7"},    {"tunk", "s8"},
        {"sunk", "s9"},    {"slen", "s10"}};
    for (const auto& [bad, ok] : pairs) {
        drive("report " + bad);
        drive("report " + ok);
    }
    drive("report strunc");
    drive("report hx");  // the same values again: committed, no event line
    drive("outlet hx 3 off");
    drive("outlet s8 1 off");

    ASSERT_EQ(listen.wait(std::chrono::seconds(10)), 0);
    const std::int64_t t1 = std::time(nullptr);

    EXPECT_EQ(readBytes(scratch.file("out.txt")),
              "26\thx\t1 1111\t0100\t\t2350\t0\n"
              "27\tjb\t010\t011\t\t-325\t4\n"
              "28\tsw12k\t1111\t0000\tO-RX\t2350\t0\n"
              "29\tq6m\t10101010\t11000000\tOO\t4100\t2\n"
              "30\tgv\t0110\t0000\tOOOO\t2350\t-1\n"
              "31\ts6\t1010\t \t\t0\t-1\n"
              "32\ts7\t0110\t \t\t0\t-1\n"
              "33\ts8\t1100\t \t\t0\t-1\n"
              "34\ts9\t0011\t \t\t0\t-1\n"
              "35\ts10\t0001\t \t\t0\t-1\n"
              "26\thx\t1 1111\t0100\t\t2350\t0\n"
              "26\thx\t1 1101\t0100\t\t2350\t0\n"
              "33\ts8\t0100\t \t\t0\t-1\n");

    // Item file of the reporting units: every record with its new texts; the
    // update time is the station's clock, so it is read back and bounded.
    std::vector<ItemRecord> expected = good;
    auto set = [&](std::size_t i, const std::string& power, const std::string& schedule) {
        expected[i].power = power;
        expected[i].schedule = schedule;
    };
    set(0, "1 1101", "0100");
    expected[0].temperature = 2350;
    set(1, "010", "011");
    set(2, "1111", "0000");
    expected[2].ping = "O-RX";
    expected[2].reboot = "0 2 1 0 ";
    set(3, "10101010", "11000000");
    expected[3].ping = "OO";
    expected[3].reboot = "5 0 ";
    expected[3].temperature = 4100;
    expected[3].temperatureState = 2;
    set(4, "0110", "0000");
    expected[4].temperature = 2350;  // no sensor: the value as sent, state -1
    // No ping watch element: the stored ping and reboot texts stay.
    set(5, "1010", " ");
    set(6, "0110", " ");
    set(7, "0100", " ");
    set(8, "0011", " ");
    set(9, "0001", " ");
    const std::string item = readBytes(data.file("00000001.IDX"));
    const std::vector<std::string> lines = test::crlfLines(item);
    ASSERT_EQ(lines.size(), 1 + 16 * expected.size()) << item;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string& stamp = lines[1 + 16 * i + 7];
        ASSERT_EQ(stamp.size(), 17u) << stamp;
        const std::int64_t t = std::stoll(stamp.substr(9), nullptr, 16);
        EXPECT_GE(t, t0) << expected[i].name;
        EXPECT_LE(t, t1) << expected[i].name;
        expected[i].updateTime = static_cast<std::uint32_t>(t);
    }
    EXPECT_EQ(item, test::itemFile(expected));

    // Event logs: a line for each report that changed something shown; the
    // schedule alone (jb), the same values (s7, hx's second report) write none.
    const std::set<std::string> times = test::logTimes(t0, t1);
    const std::map<std::string, std::vector<std::string>> logs = {
        {"0000001A.LOG", {"\t1 1111\t-O--\t\t2350\t0", "\t1 1101\t-O--\t\t2350\t0"}},
        {"0000001C.LOG", {"\t1111\t----\tO-RX\t2350\t0"}},
        {"0000001D.LOG", {"\t10101010\tOO------\tOO\t4100\t2"}},
        {"0000001E.LOG", {"\t0110\t----\tOOOO\t2350\t-1"}},
        {"0000001F.LOG", {"\t1010\t \t\t0\t-1"}},
        {"00000021.LOG", {"\t1100\t \t\t0\t-1", "\t0100\t \t\t0\t-1"}},
        {"00000022.LOG", {"\t0011\t \t\t0\t-1"}},
        {"00000023.LOG", {"\t0001\t \t\t0\t-1"}},
    };
    std::set<std::string> present;
    for (const auto& e : std::filesystem::directory_iterator(data.file("logs")))
        present.insert(e.path().filename().string());
    std::set<std::string> wanted;
    for (const auto& [name, _] : logs) wanted.insert(name);
    EXPECT_EQ(present, wanted);
    for (const auto& [name, fields] : logs) {
        const std::string text = readBytes(data.file("logs/" + name));
        const std::vector<std::string> got = test::crlfLines(text);
        std::string rebuilt;
        for (const std::string& l : got) rebuilt += l + "\r\n";
        EXPECT_EQ(rebuilt, text) << name << ": every line ends in CR LF";
        ASSERT_EQ(got.size(), fields.size()) << name << "\n" << text;
        for (std::size_t i = 0; i < got.size(); ++i) {
            const std::string time = got[i].substr(0, 16);
            EXPECT_TRUE(times.count(time)) << name << ": " << got[i];
            EXPECT_EQ(got[i].substr(16), fields[i]) << name;
        }
    }

    // The spoilt reports and the stranger's left everything else as it was.
    EXPECT_EQ(readBytes(data.file("00000002.IDX")), spoiltBefore);
    EXPECT_EQ(readBytes(data.file("ZELO_DIR.DAT")), dirBefore);
    EXPECT_FALSE(std::filesystem::exists(data.file("00000001.TMP")));
    EXPECT_FALSE(std::filesystem::exists(data.file("00000002.TMP")));
}

}  // namespace
}  // namespace zelo
