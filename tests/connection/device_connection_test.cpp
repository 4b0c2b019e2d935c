#include "connection/device_connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scripted_network.h"

namespace zelo {
namespace {

using test::ScriptedNetwork;
using test::ScriptedStream;

// The chunks one after the other through one filter.
std::string strip(const std::vector<std::string>& chunks) {
    TelnetFilter filter;
    std::string out;
    for (const std::string& c : chunks) out += filter.strip(c);
    return out;
}

TEST(TelnetFilter, CommandSequencesVanishWhereverTheChunksSplitThem) {
    struct Case {
        std::vector<std::string> chunks;
        std::string expected;
    };
    const Case cases[] = {
        {{"\xFF\xFB\x01\xFF\xFB\x03login:"}, "login:"},
        {{"a\xFF\xFD\x18" "b\xFF\xFE\x01" "c"}, "abc"},
        // A doubled IAC is one data byte; back in the data state the next
        // 255 starts a new sequence.
        {{"x\xFF\xFFy"}, "x\xFFy"},
        {{"\xFF\xFF\xFF\xFB\x01z"}, "\xFFz"},
        // Command bytes up to 240 are copied; the others drop the rest of
        // the chunk, and only of that chunk.
        {{"a\xFF\x41" "b"}, "aAb"},
        {{"keep\xFF\xFA\x18\x01text after"}, "keep"},
        {{"keep\xFF\xF1more"}, "keep"},  // NOP
        {{"keep\xFF\xF1more", "next"}, "keepnext"},
        // Split between two chunks: removed whole, as if in one piece.
        {{"abc\xFF", "\xFB\x01" "def"}, "abcdef"},
        {{"abc\xFF\xFB", "\x01" "def"}, "abcdef"},
        {{"x\xFF", "\xFFy"}, "x\xFFy"},
        {{"keep\xFF", "\xF1more", "next"}, "keepnext"},
        {{"\xFF", "", "\xFD", "\x18ok"}, "ok"},
        // A NUL byte ends the chunk's text.
        {{std::string("ab\0cd", 5)}, "ab"},
        {{std::string("ab\0cd", 5), "ef"}, "abef"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& chunk : c.chunks) shown += "[" + chunk + "]";
        EXPECT_EQ(strip(c.chunks), c.expected) << shown;
    }
}

TEST(ResolveDeviceAddress, NameLookupThenDottedText) {
    ManualClock clock;
    ScriptedNetwork net(clock);
    net.hosts["pdu.local"] = 0x0A000001;
    net.hosts["broken"] = 0xFFFFFFFF;
    EXPECT_EQ(resolveDeviceAddress(net, "pdu.local"), 0x0A000001u);
    EXPECT_EQ(resolveDeviceAddress(net, "192.168.0.10"), 0xC0A8000Au);
    EXPECT_EQ(resolveDeviceAddress(net, "192.168.0"), 0u);
    EXPECT_EQ(resolveDeviceAddress(net, "192.168.0.10x"), 0u);
    EXPECT_EQ(resolveDeviceAddress(net, "1..2.3"), 0u);
    EXPECT_EQ(resolveDeviceAddress(net, "broken"), 0u);
}

class ConnectionTest : public ::testing::Test {
protected:
    ManualClock clock{1000};
    ScriptedNetwork net{clock};
    DeviceConnection conn{net, clock};

    ScriptedStream& open() {
        EXPECT_FALSE(conn.connectToDevice(0x7F000001, 23));
        return net.last();
    }
    void pump() {
        while (conn.receiveChunk(0) > 0) {
        }
    }
};

TEST_F(ConnectionTest, LinesEndAtCrLfLoneLfOrACrAtTheEndOfWhatArrived) {
    ScriptedStream& s = open();
    s.deliver("zero\r");
    pump();
    std::string line;
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line, "zero");
    s.deliver("one\r\ntwo\rthree\n\nrest");
    pump();
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line, "two\rthree");  // a CR inside the text is not a line end
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line, "");  // a lone LF is an empty line
    EXPECT_FALSE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(conn.unreadBytes(), 4u);  // "rest" waits for its line end
    s.deliver(" of it\r\n");
    pump();
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line, "rest of it");
}

TEST_F(ConnectionTest, PromptsWithoutLineEndAreLinesOnlyWhenAsked) {
    ScriptedStream& s = open();
    s.deliver("00:HX>");
    pump();
    std::string line;
    EXPECT_FALSE(conn.readLine(line, "", "", 120));
    EXPECT_FALSE(conn.readLine(line, "login:", "", 120));
    ASSERT_TRUE(conn.readLine(line, "login:", "00:HX>", 120));
    EXPECT_EQ(line, "00:HX>");
    EXPECT_EQ(conn.unreadBytes(), 0u);
}

TEST_F(ConnectionTest, ASingleStarIsALine) {
    open().deliver("*");
    pump();
    std::string line;
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line, "*");
}

TEST_F(ConnectionTest, LongLinesComeInPiecesOnlyAtALineEnd) {
    ScriptedStream& s = open();
    s.deliver(std::string(150, 'x'));
    pump();
    std::string line;
    EXPECT_FALSE(conn.readLine(line, "", "", 120));  // 120 bytes, no line end: kept
    EXPECT_EQ(conn.unreadBytes(), 150u);
    s.deliver("\r\n");
    pump();
    EXPECT_FALSE(conn.readLine(line, "", "", 120));  // still no end within 120
    ASSERT_TRUE(conn.readLine(line, "", "", 200));
    EXPECT_EQ(line, std::string(150, 'x'));
}

TEST_F(ConnectionTest, ATelnetSequenceSplitBetweenTwoSegmentsIsRemovedWhole) {
    ScriptedStream& s = open();
    s.deliver("\xFF\xFB\x01\xFF");
    s.deliver("\xFB\x03login:");
    EXPECT_EQ(conn.receiveChunk(0), 4);
    EXPECT_EQ(conn.receiveChunk(0), 8);
    std::string line;
    ASSERT_TRUE(conn.readLine(line, "login:", "", 120));
    EXPECT_EQ(line, "login:");
    // A new connection starts in the data state.
    s.deliver("\xFF");
    pump();
    ScriptedStream& next = open();
    next.deliver("\xFB" "ok\r\n");
    pump();
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line, "\xFB" "ok");
}

TEST_F(ConnectionTest, AFullChunkIsAcceptedWhole) {
    ScriptedStream& s = open();
    s.deliver(std::string(1600, 'a') + "tail");
    EXPECT_EQ(conn.receiveChunk(0), 1600);
    EXPECT_EQ(conn.unreadBytes(), 1600u);
    EXPECT_EQ(conn.receiveChunk(0), 4);
}

TEST_F(ConnectionTest, PeerCloseReleasesTheSocketButKeepsTheFlag) {
    ScriptedStream& s = open();
    s.closeAfter();
    EXPECT_EQ(conn.receiveChunk(0), -1);
    EXPECT_FALSE(conn.isOpen());
    EXPECT_TRUE(conn.connected);
    EXPECT_EQ(conn.receiveChunk(1'000'000), -1);  // nothing to wait for
    EXPECT_EQ(clock.micros(), 1000 * 1'000'000);
}

TEST_F(ConnectionTest, AFloodNeverOutgrowsTheRingAndTheNewestTextSurvives) {
    ScriptedStream& s = open();
    for (int i = 0; i < 20; ++i) s.deliver(std::string(1600, 'f'));
    s.deliver("\r\n00:HX>");
    pump();
    EXPECT_EQ(conn.unreadBytes(), kRingSize - 1);
    std::string line;
    ASSERT_TRUE(conn.readLine(line, "", "", 9000));
    ASSERT_TRUE(conn.readLine(line, "00:HX>", "", 120));
    EXPECT_EQ(line, "00:HX>");
}

TEST_F(ConnectionTest, SendAndWaitTimesOutAfterThreeSecondsWithoutSleeping) {
    ScriptedStream& s = open();
    const std::int64_t start = clock.micros();
    EXPECT_TRUE(conn.sendAndWait("MPOS\r\n"));
    EXPECT_EQ(s.sent, "MPOS\r\n");
    EXPECT_EQ(clock.micros() - start, 3'000'000);
}

TEST_F(ConnectionTest, SendAndWaitReturnsWhenDataArrives) {
    ScriptedStream& s = open();
    s.onSend = [&](const std::string&) { s.deliver("reply\r\n", 1'500'000); };
    EXPECT_FALSE(conn.sendAndWait("x\r\n"));
    std::string line;
    ASSERT_TRUE(conn.readLine(line, "", "", 120));
    EXPECT_EQ(line, "reply");
}

TEST_F(ConnectionTest, SendAndWaitReportsALoss) {
    ScriptedStream& s = open();
    s.closeAfter(200);
    EXPECT_TRUE(conn.sendAndWait("x\r\n"));
}

TEST_F(ConnectionTest, CloseDrainsThenShutsDown) {
    ScriptedStream& s = open();
    s.deliver("bye\r\n");
    conn.closeConnection();  // the stream is gone after this
    EXPECT_EQ(net.shutdowns, 2);  // sending first, then both ways
    EXPECT_FALSE(conn.isOpen());
}

TEST_F(ConnectionTest, RefusedConnectFailsButSetsTheFlag) {
    net.refuse = true;
    EXPECT_TRUE(conn.connectToDevice(0x7F000001, 23));
    EXPECT_TRUE(conn.connected);
    EXPECT_FALSE(conn.isOpen());
}

}  // namespace
}  // namespace zelo
