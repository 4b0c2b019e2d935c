// zeloctl listen as a program: reports sent over loopback UDP, then its
// output lines, the item files and the event logs compared byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/status/report_builder.h"
#include "tests/status/udp_sender.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::ElementReport;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

// zeloctl listen running in the background; its port read from the line it
// writes on stderr once it listens.
class ListenProcess {
public:
    ListenProcess(const std::vector<std::string>& args, const std::string& outFile) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 2);
            std::FILE* out = std::freopen(outFile.c_str(), "wb", stdout);
            (void)out;
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
            if (at != std::string::npos)
                port_ = static_cast<std::uint16_t>(std::stoi(firstLine_.substr(at + 5)));
        }
    }
    ~ListenProcess() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (err_) std::fclose(err_);
    }
    std::uint16_t port() const { return port_; }
    const std::string& firstLine() const { return firstLine_; }
    void signal(int sig) { ::kill(pid_, sig); }
    // Exit code (-1 for a signal). Every run has --seconds or a near exit,
    // so the program ends by itself.
    int wait() {
        int status = 0;
        if (::waitpid(pid_, &status, 0) != pid_) return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    std::FILE* err_ = nullptr;
    std::string firstLine_;
    std::uint16_t port_ = 0;
};

const std::string kHeader = "#ZELO ITEM FILE#VER 2\r\n";

class ListenZeloctl : public ::testing::Test {
protected:
    TempDir data;
    TempDir scratch;
    test::UdpSender sender;

    void SetUp() override {
        writeBytes(data.file("ZELO.INI"),
                   "[ZELO]\r\nLanguage=1\r\n[Log]\r\nLOGenable=1\r\nBaseDir=logs\r\n");
        writeBytes(data.file("ZELO_DIR.DAT"), "0\tRoot\t0\r\n1\tRack\t1\r\n");
        writeBytes(
            data.file("00000001.IDX"),
            kHeader +
                "web\r\nGV2208\r\nA\r\n13\r\n#10.0.0.5 17\r\n1111\r\n \r\n00000000 00000000\r\n"
                "0010AABB0001\r\ntavik admin\r\n0 web\r\n\r\n\r\n\r\n0\r\n-1\r\n"
                "old\r\nSWD-8KB\r\nB\r\n10\r\n#10.0.0.6 17\r\n1111\r\n \r\n00000000 00000000\r\n"
                "000000000000\r\ntavik admin\r\n102 old\r\n\r\n\r\n\r\n0\r\n-1\r\n");
        std::filesystem::create_directory(data.file("logs"));
    }
    std::vector<std::string> args(std::vector<std::string> more) {
        std::vector<std::string> a{"--dir",  data.path().string(), "listen", "--port", "0",
                                   "--bind", "127.0.0.1"};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }
};

TEST_F(ListenZeloctl, AcceptedReportsArePrintedAndCommitted) {
    ListenProcess p(args({"--count", "2", "--seconds", "20"}), scratch.file("out.txt"));
    ASSERT_NE(p.port(), 0) << p.firstLine();
    // Not in the directory, then malformed: neither counts.
    ASSERT_TRUE(
        sender.send(p.port(), ElementReport().mac("0010AABB0099").outlets({{1, 1}}).build()));
    auto bad = ElementReport().mac("0010AABB0001").outlets({{1, 1}}).build();
    bad[7] ^= 1;
    ASSERT_TRUE(sender.send(p.port(), bad));
    ASSERT_TRUE(sender.send(p.port(), ElementReport()
                                          .mac("0010AABB0001")
                                          .master(1)
                                          .outlets({{1, 1}, {0, 0}, {5, 1}, {2, 0}})
                                          .schedule({1, 0, 0, 1})
                                          .pingCompact({{1, 0}, {0, 2}, {3, 1}, {9, 0}})
                                          .temperature(true, 1, 3125)
                                          .build()));
    ASSERT_TRUE(sender.send(p.port(), test::tableReport(258, {{1, 1}, {0, 0}, {1, 2}, {0, 3}})));
    ASSERT_EQ(p.wait(), 0);

    EXPECT_EQ(readBytes(scratch.file("out.txt")),
              "10\tweb\t1 1010\t1001\tO-RX\t3125\t1\n"
              "11\told\t1010\t \t\t0\t-1\n");
    const std::string item = readBytes(data.file("00000001.IDX"));
    // The update time is the station's clock: check the rest around it.
    const auto stamp = [&](std::size_t from) {
        const auto at = item.find("00000000 ", from);
        return item.substr(at + 9, 8);
    };
    const std::string t1 = stamp(0), t2 = stamp(item.find("old\r\n"));
    EXPECT_NE(t1, "00000000");
    EXPECT_EQ(
        item,
        kHeader + "web\r\nGV2208\r\nA\r\n13\r\n#10.0.0.5 17\r\n1 1010\r\n1001\r\n00000000 " + t1 +
            "\r\n0010AABB0001\r\ntavik admin\r\n0 web\r\n\r\nO-RX\r\n0 2 1 0 \r\n3125\r\n1\r\n"
            "old\r\nSWD-8KB\r\nB\r\n10\r\n#10.0.0.6 17\r\n1010\r\n \r\n00000000 " +
            t2 + "\r\n000000000000\r\ntavik admin\r\n102 old\r\n\r\n\r\n\r\n0\r\n-1\r\n");
    const std::string log10 = readBytes(data.file("logs/0000000A.LOG"));
    const std::string log11 = readBytes(data.file("logs/0000000B.LOG"));
    // Time field (16 characters), then the five fields as the record holds them.
    ASSERT_EQ(log10.size(), 16u + std::string("\t1 1010\tO--O\tO-RX\t3125\t1\r\n").size());
    EXPECT_EQ(log10.substr(16), "\t1 1010\tO--O\tO-RX\t3125\t1\r\n");
    EXPECT_EQ(log11.substr(16), "\t1010\t \t\t0\t-1\r\n");
    EXPECT_EQ(log10[4], '/');
}

TEST_F(ListenZeloctl, TerminationLeavesEveryFileWhole) {
    ListenProcess p(args({"--seconds", "20"}), scratch.file("out.txt"));
    ASSERT_NE(p.port(), 0) << p.firstLine();
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(sender.send(
            p.port(),
            ElementReport().mac("0010AABB0001").outlets({{unsigned(i % 2), 1}, {1, 1}}).build()));
    p.signal(SIGTERM);
    ASSERT_EQ(p.wait(), 0);
    const std::string out = readBytes(scratch.file("out.txt"));
    // Whatever was taken before the signal: whole lines, and the item file
    // holds the last one.
    std::size_t lines = 0;
    for (char c : out) lines += c == '\n';
    EXPECT_TRUE(out.empty() || out.back() == '\n');
    const std::string item = readBytes(data.file("00000001.IDX"));
    EXPECT_EQ(item.substr(0, kHeader.size()), kHeader);
    EXPECT_FALSE(std::filesystem::exists(data.file("00000001.TMP")));
    if (lines > 0) {
        const std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
        const std::string power = last.substr(last.find("web\t") + 4, 2);
        EXPECT_NE(item.find("\r\n" + power + "\r\n \r\n"), std::string::npos) << last;
    }
}

TEST_F(ListenZeloctl, EndsAfterTheGivenSecondsWithoutReports) {
    ListenProcess p(args({"--seconds", "0"}), scratch.file("out.txt"));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(readBytes(scratch.file("out.txt")), "");
}

TEST_F(ListenZeloctl, PortInUseFails) {
    ListenProcess first(args({"--seconds", "20"}), scratch.file("out1.txt"));
    ASSERT_NE(first.port(), 0);
    ListenProcess second({"--dir", data.path().string(), "listen", "--port",
                          std::to_string(first.port()), "--bind", "127.0.0.1"},
                         scratch.file("out2.txt"));
    EXPECT_EQ(second.wait(), 1);
    first.signal(SIGINT);
    EXPECT_EQ(first.wait(), 0);
}

}  // namespace
}  // namespace zelo
