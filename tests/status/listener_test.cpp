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

    void SetUp() override {
        StationTest::SetUp();
        ASSERT_TRUE(station->openStatusListenerOn(0, kLoopback));
        port = station->listenerPort();
        ASSERT_NE(port, 0);
        EXPECT_TRUE(state.listenerOpen);
    }
    // Sends the datagrams and waits (bounded) until the socket has some;
    // loopback delivery is normally done by the time send returns.
    void send(const std::vector<Bytes>& datagrams) {
        for (const Bytes& b : datagrams) ASSERT_TRUE(sender.send(port, b));
        ASSERT_TRUE(station->waitForReport(std::chrono::milliseconds(2000)));
    }
    static Bytes outlets(std::pair<unsigned, unsigned> o) {
        return ElementReport().mac("0000AABBCC02").outlets({o}).build();
    }
    std::string stored() { return parseItemFile(file("00000001.IDX"), 1)[1].powerText; }
};

TEST_F(ListenerTick, DisabledOrClosedListenerTicksDoNothing) {
    EXPECT_GT(station->receiveQueueBytes(), 200 * 1024);  // the receive queue is enlarged
    station->closeStatusListener();
    EXPECT_FALSE(state.listenerOpen);
    EXPECT_FALSE(station->tick().polled);
    settings.msrpEnable = false;
    EXPECT_FALSE(station->openStatusListener());
    EXPECT_FALSE(state.listenerOpen);
    station->closeStatusListener();  // harmless
}

TEST_F(ListenerTick, BindFailureLeavesTheListenerClosed) {
    // A second Workspace over the same directory, as a second program would be.
    test::TestWorkspace other(dataDir, test::Net::System);
    ASSERT_TRUE(other.load(false));
    EXPECT_FALSE(other.ws.station().openStatusListenerOn(port, kLoopback));
    EXPECT_FALSE(other.ws.state().listenerOpen);
}

TEST_F(ListenerTick, EveryWaitingReportIsTakenInArrivalOrderInOneTick) {
    send({outlets({1, 1}), outlets({0, 0}), outlets({5, 1})});
    const TickResult r = station->tick();
    EXPECT_EQ(r.received, 3u);
    EXPECT_EQ(r.accepted, 3u);
    const std::string t = FormatUpdateTime(test::kNow, 0);
    EXPECT_EQ(logFile(0x11), t + "\t1\t \t\t0\t-1\r\n" + t + "\t0\t \t\t0\t-1\r\n" + t + "\t1\t \t\t0\t-1\r\n");
    // One save for the group, one row refresh with the last state.
    ASSERT_EQ(view.changedRecords.size(), 1u);
    EXPECT_EQ(view.changedRecords[0].powerText, "1");
    EXPECT_EQ(stored(), "1");
}

TEST_F(ListenerTick, ReportsWaitWhileThePropertyDialogIsOpenOrABatchRuns) {
    send({outlets({0, 0})});
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

TEST_F(ListenerTick, BudgetAndAcceptLimitEndTheTickAndTheRestWaitsForTheNext) {
    std::int64_t micros = 0;
    station->setBudgetClock([&micros] { return micros += 25000; });
    send({outlets({1, 1}), outlets({1, 1}), outlets({1, 1})});
    for (unsigned expected : {1u, 1u, 1u, 0u})  // 25 ms for each: over the 20 ms budget
        EXPECT_EQ(station->tick().received, expected);
    station->setBudgetClock([] { return std::int64_t(0); });
    send({outlets({1, 1}), outlets({1, 1}), outlets({1, 1})});
    EXPECT_EQ(station->tick(2).accepted, 2u);
    EXPECT_EQ(station->tick().accepted, 1u);
}

TEST_F(ListenerTick, Exactly1600BytesAreTakenLongerAndEmptyDatagramsAreDropped) {
    // MAC, outlets, then filler words up to 1600 bytes.
    const Bytes big = ElementReport().mac("0000AABBCC02").outlets({{0, 0}}).fillerWords(392).build();
    ASSERT_EQ(big.size(), 1600u);
    Bytes tooBig = ElementReport().mac("0000AABBCC02").outlets({{1, 1}}).fillerWords(393).build();
    tooBig.resize(1602);
    send({tooBig, Bytes{}, big});
    const TickResult r = station->tick();
    EXPECT_EQ(r.received, 3u);
    EXPECT_EQ(r.accepted, 1u);
    EXPECT_EQ(device(0x11).powerText, "0");
}

TEST_F(ListenerTick, OnePollTakesOneDatagramAndSavesIt) {
    send({outlets({0, 0}), outlets({1, 1})});
    EXPECT_GT(station->pollStatusListener(), 0u);
    EXPECT_EQ(device(0x11).powerText, "0");
    EXPECT_EQ(stored(), "0");
    EXPECT_GT(station->pollStatusListener(), 0u);
    EXPECT_EQ(device(0x11).powerText, "1");
    EXPECT_EQ(station->pollStatusListener(), 0u);
}

}  // namespace
}  // namespace zelo
