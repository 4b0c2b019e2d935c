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
#include <set>
#include <thread>

#include "common/format.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

using test::ItemRecord;
using test::readBytes;

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
        for (pid_t r; (r = ::waitpid(pid_, &status, WNOHANG)) != pid_;) {
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

// A record as stored: prompt models carry prompt and select number, the
// others their unit number in hex and their system name.
ItemRecord rec(const std::string& name, int code, std::uint32_t id, const std::string& mac, const std::string& power,
               unsigned unit = 0) {
    const bool framed = code == 3 || code == 5;
    const std::string schedule = framed ? std::string(power.size() - (power[1] == ' ' ? 2 : 0), '0') : " ";
    return ItemRecord{name, sim::ModelName(code), id, code, power, schedule, mac, framed ? "7394" : "tavik admin",
                      framed ? std::string(code == 3 ? "HX" : "JB") + " 00" : test::hexText(unit) + " " + name};
}

// Units whose every report is spoilt, one for each fault of each layout.
const struct {
    const char* name;
    int code;
    const char* fault;
} kSpoilt[] = {{"badsum", 3, "bad-checksum"}, {"badlen", 11, "wrong-length"}, {"oddlen", 13, "odd-length"},
               {"trunc", 5, "truncated"},     {"unknown", 12, "unknown-layout"}, {"tlen", 8, "wrong-length"},
               {"ttrunc", 9, "truncated"},    {"tunk", 10, "unknown-layout"}, {"sunk", 6, "unknown-layout"},
               {"slen", 7, "wrong-length"},   {"strunc", 6, "truncated"}};

TEST(ListenWithSim, ReportsOfEveryLayoutAreCommittedAndSpoiltOnesChangeNothing) {
    test::TempDir data, scratch;
    test::writeBytes(data.file("ZELO.INI"), "[ZELO]\r\nLanguage=1\r\nDateStyle=0\r\n[Log]\r\nLOGenable=1\r\nBaseDir=logs\r\n");
    test::writeBytes(data.file("ZELO_DIR.DAT"), "0\tRoot\t0\r\n1\tRack\t1\r\n1\tSpoilt\t2\r\n");
    std::filesystem::create_directory(data.file("logs"));
    // Stored as the units will report them, apart from the schedule.
    std::vector<ItemRecord> good = {
        rec("hx", 3, 0x1A, "008087100003", "0 0000"),     rec("jb", 5, 0x1B, "008087100005", "010"),
        rec("sw12k", 11, 0x1C, "008087100011", "1111"),   rec("q6m", 12, 0x1D, "008087100012", "00000000"),
        rec("gv", 13, 0x1E, "008087100013", "0110"),      rec("s6", 6, 0x1F, "000000000000", "1111", 101),
        rec("s7", 7, 0x20, "000000000000", "0110", 102),  rec("s8", 8, 0x21, "000000000000", "0000", 258),
        rec("s9", 9, 0x22, "000000000000", "1111", 259),  rec("s10", 10, 0x23, "000000000000", "0000", 0x1234)};
    good[0].temperatureState = 0;
    good[1].temperature = -325;
    good[1].temperatureState = 4;
    good[2].temperature = 2350;
    good[2].temperatureState = 0;
    good[4].ping = "OOOO";
    good[4].reboot = "1 1 1 1 ";
    std::vector<ItemRecord> spoilt;
    std::string fleetText =
        // Element reports.
        "interval = 0\n"
        "[hx]\nmodel = 3\nmac = 00:80:87:10:00:03\nstates = 1111\nschedule = 0100\n"
        "[jb]\nmodel = 5\nmac = 008087100005\nmaster = no\noutlets = 3\nstates = 010\nschedule = 011\n"
        "temperature = -3.25\ntemp-state = 4\ntemp-form = 34\n"
        "[sw12k]\nmodel = 11\nmac = 008087100011\nping = 1:0,0:2,3:1,7:0\n"
        "[q6m]\nmodel = 12\nmac = 008087100012\noutlets = 8\nstates = 10101010\nschedule = 11000000\n"
        "ping = 1:5,1:0\nping-form = long\ntemperature = 41\ntemp-state = 2\ntemp-form = 34\n"
        "[gv]\nmodel = 13\nmac = 008087100013\nstates = 0110\ntemperature = none\nping = none\n"
        // Short and table reports, matched by unit number.
        "[s6]\nmodel = 6\nunit = 101\nstates = 1010\n[s7]\nmodel = 7\nunit = 102\nstates = 0110\n"
        "[s8]\nmodel = 8\nunit = 258\nstates = 1100\n[s9]\nmodel = 9\nunit = 259\nstates = 0011\n"
        "[s10]\nmodel = 10\nunit = 4660\nstates = 0001\n"
        // Not in the directory.
        "[stranger]\nmodel = 3\nmac = 008087100099\n";
    for (std::size_t i = 0; i < std::size(kSpoilt); ++i) {
        const auto& s = kSpoilt[i];
        const bool older = s.code >= 6 && s.code <= 10;
        const std::string mac = older ? "000000000000" : "0080871000F" + test::hexText(unsigned(i + 1));
        spoilt.push_back(rec(s.name, s.code, 0x40 + unsigned(i), mac, s.code == 3 ? "0 0000" : "0000", 300 + unsigned(i)));
        fleetText += std::string("[") + s.name + "]\nmodel = " + std::to_string(s.code) + "\n" +
                     (older ? "unit = " + std::to_string(300 + i) : "mac = " + mac) + "\nfaults = report:" + s.fault + "\n";
    }
    test::writeBytes(data.file("00000001.IDX"), test::itemFile(good));
    test::writeBytes(data.file("00000002.IDX"), test::itemFile(spoilt));
    const std::string dirBefore = readBytes(data.file("ZELO_DIR.DAT"));
    const std::string spoiltBefore = readBytes(data.file("00000002.IDX"));

    const std::int64_t t0 = std::time(nullptr);
    Zeloctl listen({"--dir", data.path().string(), "listen", "--port", "0", "--bind", "127.0.0.1", "--count", "13",
                    "--seconds", "20"},
                   scratch.file("out.txt"));
    ASSERT_NE(listen.port(), 0) << listen.firstLine();
    sim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(sim::ParseFleet("station = 127.0.0.1:" + std::to_string(listen.port()) + "\n" + fleetText, fleet, error))
        << error;
    sim::SimServer server(std::move(fleet));
    ASSERT_TRUE(server.start(error)) << error;

    // Runs one control command, then the simulator's loop until exactly one
    // more report has gone out.
    std::uint64_t sent = 0;
    auto drive = [&](const std::string& command) {
        const std::string reply = server.control(command);
        ASSERT_EQ(reply.substr(reply.size() >= 2 ? reply.size() - 2 : 0), "OK") << reply;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (server.reportsSent() < sent + 1 && std::chrono::steady_clock::now() < deadline) server.step(1);
        server.step(0);
        ASSERT_EQ(server.reportsSent(), ++sent) << command;
    };
    drive("report stranger");
    for (std::size_t i = 0; i < good.size(); ++i) {
        drive(std::string("report ") + kSpoilt[i].name);
        drive("report " + good[i].name);
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
    const char* const powers[][2] = {{"1 1101", "0100"}, {"010", "011"},     {"1111", "0000"}, {"10101010", "11000000"},
                                     {"0110", "0000"},   {"1010", " "},      {"0110", " "},    {"0100", " "},
                                     {"0011", " "},      {"0001", " "}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i].power = powers[i][0];
        expected[i].schedule = powers[i][1];
    }
    expected[0].temperature = 2350;
    expected[2].ping = "O-RX";
    expected[2].reboot = "0 2 1 0 ";
    expected[3].ping = "OO";
    expected[3].reboot = "5 0 ";
    expected[3].temperature = 4100;
    expected[3].temperatureState = 2;
    expected[4].temperature = 2350;  // no sensor: the value as sent, state -1; no ping element: the texts stay
    const std::string item = readBytes(data.file("00000001.IDX"));
    for (std::size_t i = 0, at = 0; i < expected.size(); ++i) {
        for (int line = 0; line < 8 && at != std::string::npos; ++line) at = item.find("\r\n", at) + 2;
        ASSERT_EQ(item.compare(at, 9, "00000000 "), 0) << expected[i].name << "\n" << item;
        const std::int64_t t = std::stoll(item.substr(at + 9, 8), nullptr, 16);
        EXPECT_TRUE(t >= t0 && t <= t1) << expected[i].name;
        expected[i].updateTime = static_cast<std::uint32_t>(t);
        for (int line = 0; line < 8; ++line) at = item.find("\r\n", at) + 2;
    }
    EXPECT_EQ(item, test::itemFile(expected));

    // Event logs: a line for each report that changed something shown; the
    // schedule alone (jb), the same values (s7, hx's second report) write none.
    std::set<std::string> times;
    for (std::int64_t t = t0; t <= t1; ++t) times.insert(FormatUpdateTime(t, 0));
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
    std::set<std::string> present, wanted;
    for (const auto& e : std::filesystem::directory_iterator(data.file("logs"))) present.insert(e.path().filename().string());
    for (const auto& [name, fields] : logs) {
        wanted.insert(name);
        std::string text = readBytes(data.file("logs/" + name));
        for (const std::string& field : fields) {
            const std::size_t nl = text.find("\r\n");
            ASSERT_NE(nl, std::string::npos) << name << ": every line ends in CR LF";
            EXPECT_TRUE(times.count(text.substr(0, 16))) << name << ": " << text;
            EXPECT_EQ(text.substr(16, nl - 16), field) << name;
            text.erase(0, nl + 2);
        }
        EXPECT_EQ(text, "") << name;
    }
    EXPECT_EQ(present, wanted);

    // The spoilt reports and the stranger's left everything else as it was.
    EXPECT_EQ(readBytes(data.file("00000002.IDX")), spoiltBefore);
    EXPECT_EQ(readBytes(data.file("ZELO_DIR.DAT")), dirBefore);
    EXPECT_FALSE(std::filesystem::exists(data.file("00000001.TMP")));
    EXPECT_FALSE(std::filesystem::exists(data.file("00000002.TMP")));
}

}  // namespace
}  // namespace zelo
