// zeloctl listen as a program: how it ends (by its time, by a signal in the
// middle of a stream of reports, or at once when its port is taken) and
// the files it leaves. What it makes of each report is checked with the
// simulator's units in the status tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/status/report_builder.h"
#include "tests/status/udp_sender.h"
#include "tests/support/child_process_posix.h"

namespace zelo {
namespace {

using test::readBytes;

const std::string kHeader = "#ZELO ITEM FILE#VER 2\r\n";

class ListenZeloctl : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeBytes(data.file("ZELO.INI"), "[ZELO]\r\nLanguage=1\r\n");
        test::writeBytes(data.file("ZELO_DIR.DAT"), "0\tRoot\t0\r\n1\tRack\t1\r\n");
        test::writeBytes(
            data.file("00000001.IDX"),
            kHeader +
                "web\r\nGV2208\r\nA\r\n13\r\n#10.0.0.5 17\r\n1111\r\n \r\n00000000 "
                "00000000\r\n0010AABB0001\r\ntavik admin\r\n0 web\r\n\r\n\r\n\r\n0\r\n-1\r\n");
    }
    // Starts zeloctl listen on `port` (0: any) and reads the port it took
    // from its first line on stderr.
    std::uint16_t listen(test::ChildProcess& p, const std::string& out, std::string port,
                         std::vector<std::string> more) {
        std::vector<std::string> args{ZELOCTL_PATH, "--dir", data.path().string(), "listen",
                                      "--port", port, "--bind", "127.0.0.1"};
        args.insert(args.end(), more.begin(), more.end());
        EXPECT_TRUE(p.start(args, scratch.file(out), "|"));
        std::string line;
        if (!p.readLine(line, 10'000) || line.find("port ") == std::string::npos) return 0;
        return static_cast<std::uint16_t>(std::stoi(line.substr(line.find("port ") + 5)));
    }

    test::TempDir data, scratch;
};

TEST_F(ListenZeloctl, TerminationLeavesEveryFileWhole) {
    test::ChildProcess p;
    const std::uint16_t port = listen(p, "out.txt", "0", {"--seconds", "20"});
    ASSERT_NE(port, 0);
    test::UdpSender sender;
    for (unsigned i = 0; i < 200; ++i)
        ASSERT_TRUE(sender.send(
            port, test::ElementReport().mac("0010AABB0001").outlets({{i % 2, 1}, {1, 1}}).build()));
    p.signal(SIGTERM);
    ASSERT_EQ(p.wait(), 0);
    // Whatever was taken before the signal: whole lines, and the item file
    // holds the last one.
    const std::string out = readBytes(scratch.file("out.txt"));
    EXPECT_TRUE(out.empty() || out.back() == '\n');
    const std::string item = readBytes(data.file("00000001.IDX"));
    EXPECT_EQ(item.substr(0, kHeader.size()), kHeader);
    EXPECT_FALSE(std::filesystem::exists(data.file("00000001.TMP")));
    if (!out.empty()) {
        const std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
        const std::string power = last.substr(last.find("web\t") + 4, 2);
        EXPECT_NE(item.find("\r\n" + power + "\r\n \r\n"), std::string::npos) << last;
    }
}

TEST_F(ListenZeloctl, EndsAfterItsSecondsAndFailsOnATakenPort) {
    test::ChildProcess quiet;
    listen(quiet, "quiet.txt", "0", {"--seconds", "0"});
    EXPECT_EQ(quiet.wait(), 0);
    EXPECT_EQ(readBytes(scratch.file("quiet.txt")), "");

    test::ChildProcess first, second;
    const std::uint16_t port = listen(first, "out1.txt", "0", {"--seconds", "20"});
    ASSERT_NE(port, 0);
    listen(second, "out2.txt", std::to_string(port), {});
    EXPECT_EQ(second.wait(), 1);
    first.signal(SIGINT);
    EXPECT_EQ(first.wait(), 0);
}

}  // namespace
}  // namespace zelo
