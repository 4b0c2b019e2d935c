// The listener and the timer tick over a real socket on 127.0.0.1.
#include <gtest/gtest.h>

#include "common/format.h"
#include "directory/item_file.h"
#include "tests/status/station_fixture.h"
#include "tests/status/udp_sender.h"

namespace zelo {
namespace {

using test::Bytes;
using test::ElementReport;

constexpr std::uint32_t kLoopback = 0x7F000001;

class ListenerTick : public test::StationTest {
protected:
    test::UdpSender sender;
    std::uint16_t port = 0;

    void open() {
        ASSERT_TRUE(station->openStatusListenerOn(0, kLoopback));
        port = station->listenerPort();
        ASSERT_NE(port, 0);
        EXPECT_TRUE(state.listenerOpen);
    }
    void send(const Bytes& b) { ASSERT_TRUE(sender.send(port, b)); }
    // Waits (bounded) until the socket has something; loopback delivery is
    // normally done by the time send returns.
    void arrived() { ASSERT_TRUE(station->waitForReport(std::chrono::milliseconds(2000))); }

    static Bytes outlets(const std::vector<std::pair<unsigned, unsigned>>& o) {
        return ElementReport().mac("0000AABBCC02").outlets(o).build();
    }
};

TEST_F(ListenerTick, DisabledListenerOpensNothingAndTicksDoNothing) {
    settings.msrpEnable = false;
    EXPECT_FALSE(station->openStatusListener());
    EXPECT_FALSE(state.listenerOpen);
    EXPECT_FALSE(station->tick().polled);
    station->closeStatusListener();  // harmless
    EXPECT_FALSE(state.listenerOpen);
}

TEST_F(ListenerTick, BindFailureLeavesTheListenerClosed) {
    open();
    // A second Workspace over the same directory, as a second program would be.
    test::TestWorkspace other(dataDir, test::Net::System);
    ASSERT_TRUE(other.load(false));
    EXPECT_FALSE(other.ws.station().openStatusListenerOn(port, kLoopback));
    EXPECT_FALSE(other.ws.state().listenerOpen);
}

TEST_F(ListenerTick, EveryWaitingReportIsTakenInArrivalOrderInOneTick) {
    open();
    send(outlets({{1, 1}}));
    send(outlets({{0, 0}}));
    send(outlets({{5, 1}}));
    arrived();
    const TickResult r = station->tick();
    EXPECT_EQ(r.received, 3u);
    EXPECT_EQ(r.accepted, 3u);
    EXPECT_EQ(device(0x11).powerText, "1");
    const std::string t = FormatUpdateTime(test::kNow, 0);
    EXPECT_EQ(logFile(0x11),
              t + "\t1\t \t\t0\t-1\r\n" + t + "\t0\t \t\t0\t-1\r\n" + t + "\t1\t \t\t0\t-1\r\n");
    // One save for the group, one row refresh with the last state.
    ASSERT_EQ(view.changedRecords.size(), 1u);
    EXPECT_EQ(view.changedRecords[0].powerText, "1");
    EXPECT_EQ(parseItemFile(file("00000001.IDX"), 1)[1].powerText, "1");
}

TEST_F(ListenerTick, ReportsWaitWhileThePropertyDialogIsOpenOrABatchRuns) {
    open();
    send(outlets({{0, 0}}));
    arrived();
    state.openDialog = OpenDialog::Property;
    EXPECT_FALSE(station->tick().polled);
    state.openDialog = OpenDialog::None;
    state.busy = true;
    EXPECT_FALSE(station->tick().polled);
    EXPECT_EQ(device(0x11).powerText, "1111");
    state.busy = false;
    state.openDialog = OpenDialog::Control;  // the control window does not stop polling
    EXPECT_EQ(station->tick().accepted, 1u);
    EXPECT_EQ(device(0x11).powerText, "0");
}

TEST_F(ListenerTick, BudgetEndsTheTickAndTheRestWaitsForTheNext) {
    open();
    std::int64_t micros = 0;
    station->setBudgetClock([&micros] { return micros += 25000; });
    for (int i = 0; i < 3; ++i) send(outlets({{1, 1}}));
    arrived();
    EXPECT_EQ(station->tick().received, 1u);  // 25 ms for the first: over the 20 ms budget
    EXPECT_EQ(station->tick().received, 1u);
    EXPECT_EQ(station->tick().received, 1u);
    EXPECT_EQ(station->tick().received, 0u);
}

TEST_F(ListenerTick, AcceptLimitStopsTheDrain) {
    open();
    for (int i = 0; i < 3; ++i) send(outlets({{1, 1}}));
    arrived();
    EXPECT_EQ(station->tick(2).accepted, 2u);
    EXPECT_EQ(station->tick().accepted, 1u);
}

TEST_F(ListenerTick, Exactly1600BytesAreTakenLongerAndEmptyDatagramsAreDropped) {
    open();
    // MAC, outlets, then filler words up to 1600 bytes.
    Bytes big = ElementReport().mac("0000AABBCC02").outlets({{0, 0}}).fillerWords(392).build();
    ASSERT_EQ(big.size(), 1600u);
    Bytes tooBig = ElementReport().mac("0000AABBCC02").outlets({{1, 1}}).fillerWords(393).build();
    tooBig.resize(1602);
    send(tooBig);
    send(Bytes{});
    send(big);
    arrived();
    const TickResult r = station->tick();
    EXPECT_EQ(r.received, 3u);
    EXPECT_EQ(r.accepted, 1u);
    EXPECT_EQ(device(0x11).powerText, "0");
}

TEST_F(ListenerTick, OnePollTakesOneDatagram) {
    open();
    send(outlets({{0, 0}}));
    send(outlets({{1, 1}}));
    arrived();
    EXPECT_GT(station->pollStatusListener(), 0u);
    EXPECT_EQ(device(0x11).powerText, "0");
    EXPECT_EQ(parseItemFile(file("00000001.IDX"), 1)[1].powerText, "0");
    EXPECT_GT(station->pollStatusListener(), 0u);
    EXPECT_EQ(device(0x11).powerText, "1");
    EXPECT_EQ(station->pollStatusListener(), 0u);
}

TEST_F(ListenerTick, ReceiveQueueIsEnlarged) {
    open();
    EXPECT_GT(station->receiveQueueBytes(), 200 * 1024);
}

TEST_F(ListenerTick, CloseClearsTheOpenFlag) {
    open();
    station->closeStatusListener();
    EXPECT_FALSE(state.listenerOpen);
    EXPECT_FALSE(station->tick().polled);
}

}  // namespace
}  // namespace zelo
