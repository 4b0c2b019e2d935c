// The byte layer: telnet stripping, address resolution, the line reader
// over the ring and the close, on the scripted network and the manual
// clock. (The send-then-wait step: the session's reply waits.)
#include "connection/device_connection.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/scripted_network.h"

namespace zelo {
namespace {

using test::ScriptedNetwork;
using test::ScriptedStream;

TEST(TelnetFilter, CommandSequencesVanishWhereverTheChunksSplitThem) {
    struct Case {
        std::vector<std::string> chunks;
        std::string expected;
    };
    const Case cases[] = {
        {{"a\xFF\xFD\x18"
          "b\xFF\xFE\x01"
          "c"},
         "abc"},
        // A doubled IAC is one data byte; back in the data state the next
        // 255 starts a new sequence.
        {{"x\xFF\xFFy"}, "x\xFFy"},
        // Command bytes up to 240 are copied; the others (here NOP; SB alike)
        // drop the rest of the chunk, and only of that chunk.
        {{"a\xFF\x41"
          "b"},
         "aAb"},
        {{"keep\xFF\xF1more", "next"}, "keepnext"},
        // Split between chunks (after the IAC, after the verb): removed
        // whole, as if in one piece.
        {{"x\xFF", "\xFFy"}, "x\xFFy"},
        {{"\xFF", "", "\xFD", "\x18ok"}, "ok"},
        // A NUL byte ends the chunk's text.
        {{std::string("ab\0cd", 5), "ef"}, "abef"},
    };
    for (const Case& c : cases) {
        TelnetFilter filter;
        std::string out, shown;
        for (const std::string& chunk : c.chunks) {
            out += filter.strip(chunk);
            shown += "[" + chunk + "]";
        }
        EXPECT_EQ(out, c.expected) << shown;
    }
}

TEST(ResolveDeviceAddress, NameLookupThenDottedText) {
    ManualClock clock;
    ScriptedNetwork net(clock);
    net.hosts = {{"pdu.local", 0x0A000001}, {"broken", 0xFFFFFFFF}};
    const std::pair<const char*, std::uint32_t> cases[] = {{"pdu.local", 0x0A000001},
                                                           {"192.168.0.10", 0xC0A8000A},
                                                           {"192.168.0", 0},
                                                           {"192.168.0.10x", 0},
                                                           {"1..2.3", 0},
                                                           {"broken", 0}};
    for (const auto& [text, address] : cases)
        EXPECT_EQ(resolveDeviceAddress(net, text), address) << text;
}

class ConnectionTest : public ::testing::Test {
protected:
    ManualClock clock{1000};
    ScriptedNetwork net{clock};
    DeviceConnection conn{net, clock};

    ScriptedStream& open() {
        EXPECT_EQ(conn.connectToDevice(0x7F000001, 23), StepResult::Ok);
        return net.last();
    }
    void pump() {
        while (conn.receiveChunk(0) > 0) {
        }
    }
};

// Text that arrives, then a read with its prompts and length: the line it
// gives (none: no complete line yet) and what stays unread.
struct Step {
    std::string arrives;
    std::string prompt1, prompt2;
    std::size_t maxLength;
    std::optional<std::string> line;
    std::size_t unread;
};
const std::optional<std::string> kNoLine;

TEST_F(ConnectionTest, TheLineReaderCutsLinesAndPromptsOutOfTheRing) {
    const std::string flood(20 * 1600, 'f');
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"line ends",
         {{"zero\r", "", "", 120, "zero", 0},  // a CR at the end of what arrived
          {"one\r\ntwo\rthree\n\nrest", "", "", 120, "one", 15},
          {"", "", "", 120, "two\rthree", 5},  // a CR inside the text is no line end
          {"", "", "", 120, "", 4},            // a lone LF is an empty line
          {"", "", "", 120, kNoLine, 4},
          {" of it\r\n", "", "", 120, "rest of it", 0}}},
        {"prompts only when asked",
         {{"00:HX>", "", "", 120, kNoLine, 6},
          {"", "login:", "", 120, kNoLine, 6},
          {"", "login:", "00:HX>", 120, "00:HX>", 0}}},
        {"a prompt in front of a line comes alone",
         {{"00:HX>*00:POS=1\r\n", "00:HX>", "", 120, "00:HX>", 11},
          {"", "00:HX>", "", 120, "*00:POS=1", 0}}},
        {"a single star", {{"*", "", "", 120, "*", 0}}},
        {"long lines only at a line end",
         {{std::string(150, 'x'), "", "", 120, kNoLine, 150},
          {"\r\n", "", "", 120, kNoLine, 152},
          {"", "", "", 200, std::string(150, 'x'), 0}}},
        {"a flood keeps the newest text",
         {{flood + "\r\n00:HX>", "", "", 9000, std::string(kRingSize - 9, 'f'), 6},
          {"", "00:HX>", "", 120, "00:HX>", 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedStream& s = open();
        for (const Step& step : c.steps) {
            for (std::size_t at = 0; at < step.arrives.size(); at += kChunkMax)
                s.deliver(step.arrives.substr(at, kChunkMax));
            pump();
            std::string line;
            EXPECT_EQ(conn.readLine(line, step.prompt1, step.prompt2, step.maxLength),
                      step.line.has_value());
            EXPECT_EQ(line, step.line.value_or(line));
            EXPECT_EQ(conn.unreadBytes(), step.unread);
        }
    }
}

TEST_F(ConnectionTest, ATelnetStateLastsOneConnection) {
    open().deliver("tail\xFF");
    pump();
    open().deliver(
        "\xFB"
        "ok\r\n");  // a new connection starts in the data state
    pump();
    std::string line;
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line,
              "\xFB"
              "ok");
}

// A peer's close releases the socket but keeps the flag; our close drains,
// then shuts down; a refused connect sets the flag.
TEST_F(ConnectionTest, ClosesOfBothSidesAndARefusedConnect) {
    open().closeAfter();
    EXPECT_EQ(conn.receiveChunk(0), -1);
    EXPECT_FALSE(conn.isOpen());
    EXPECT_TRUE(conn.connected);
    EXPECT_EQ(conn.receiveChunk(1'000'000), -1);  // nothing to wait for
    EXPECT_EQ(clock.micros(), 1000 * 1'000'000);
    ScriptedStream& s = open();
    s.deliver("bye\r\n");
    s.closeAfter();  // drained up to the peer's close, and no further
    conn.closeConnection();
    EXPECT_EQ(net.shutdowns, 2);  // sending first, then both ways
    EXPECT_FALSE(conn.isOpen());
    net.refuse = true;
    conn.connected = false;
    EXPECT_EQ(conn.connectToDevice(0x7F000001, 23), StepResult::Failed);
    EXPECT_TRUE(conn.connected);
    EXPECT_FALSE(conn.isOpen());
}

}  // namespace
}  // namespace zelo
