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

class ListenerTick : public test::StationTest {
protected:
    test::UdpSender sender;
    std::uint16_t port = 0;
    void SetUp() override {
        StationTest::SetUp();
        ASSERT_TRUE(station->openStatusListenerOn(0, 0x7F000001));
        ASSERT_NE(port = station->listenerPort(), 0);
        EXPECT_TRUE(state.listenerOpen);
    }
    // Sends, then waits (bounded) until the socket has something; loopback
    // delivery is normally done by the time send returns.
    void send(const std::vector<Bytes>& datagrams) {
        for (const Bytes& b : datagrams) ASSERT_TRUE(sender.send(port, b));
        ASSERT_TRUE(station->waitForReport(std::chrono::milliseconds(2000)));
    }
    static Bytes outlet(unsigned code, unsigned output) { return ElementReport().mac("0000AABBCC02").outlets({{code, output}}).build(); }
    std::string power() { return device(0x11).powerText + "/" + parseItemFile(file("00000001.IDX"), 1)[1].powerText; }
};

TEST_F(ListenerTick, DisabledOrClosedListenerTicksDoNothingAndABoundPortIsRefused) {
    EXPECT_GT(station->receiveQueueBytes(), 200 * 1024);  // the receive queue is enlarged
    // A second Workspace over the same directory, as a second program would be.
    test::TestWorkspace other(dataDir, test::Net::System);
    ASSERT_TRUE(other.load(false));
    EXPECT_FALSE(other.ws.station().openStatusListenerOn(port, 0x7F000001));
    EXPECT_FALSE(other.ws.state().listenerOpen);
    station->closeStatusListener();
    EXPECT_FALSE(state.listenerOpen);
    EXPECT_FALSE(station->tick().polled);
    settings.msrpEnable = false;
    EXPECT_FALSE(station->openStatusListener());
    EXPECT_FALSE(state.listenerOpen);
}

TEST_F(ListenerTick, EveryWaitingReportIsTakenInArrivalOrderInOneTickAndSavedOnce) {
    send({outlet(1, 1), outlet(0, 0), outlet(5, 1)});
    const TickResult r = station->tick();
    EXPECT_EQ(r.received, 3u);
    EXPECT_EQ(r.accepted, 3u);
    const std::string t = FormatUpdateTime(test::kNow, 0);
    EXPECT_EQ(logFile(0x11), t + "\t1\t \t\t0\t-1\r\n" + t + "\t0\t \t\t0\t-1\r\n" + t + "\t1\t \t\t0\t-1\r\n");
    ASSERT_EQ(view.changedRecords.size(), 1u);  // one save for the group, one row refresh with the last state
    EXPECT_EQ(view.changedRecords[0].powerText, "1");
    EXPECT_EQ(power(), "1/1");
}

TEST_F(ListenerTick, ReportsWaitWhileThePropertyDialogIsOpenOrABatchRuns) {
    send({outlet(0, 0)});
    state.openDialog = OpenDialog::Property;
    EXPECT_FALSE(station->tick().polled);
    state.openDialog = OpenDialog::None;
    state.busy = true;
    EXPECT_FALSE(station->tick().polled);
    EXPECT_EQ(power(), "1111/1111");
    state.busy = false;
    state.openDialog = OpenDialog::Control;  // the control window does not stop polling
    EXPECT_EQ(station->tick().accepted, 1u);
    EXPECT_EQ(power(), "0/0");
}

TEST_F(ListenerTick, BudgetAndAcceptLimitEndTheTickAndTheRestWaitsForTheNext) {
    std::int64_t micros = 0;
    station->setBudgetClock([&micros] { return micros += 25000; });  // 25 ms each: over the 20 ms budget
    send({outlet(1, 1), outlet(1, 1), outlet(1, 1)});
    for (unsigned expected : {1u, 1u, 1u, 0u}) EXPECT_EQ(station->tick().received, expected);
    station->setBudgetClock([] { return std::int64_t(0); });
    send({outlet(1, 1), outlet(1, 1), outlet(1, 1)});
    EXPECT_EQ(station->tick(2).accepted, 2u);
    EXPECT_EQ(station->tick().accepted, 1u);
}

TEST_F(ListenerTick, Exactly1600BytesAreTakenLongerAndEmptyDatagramsAreDropped) {
    const Bytes big = ElementReport().mac("0000AABBCC02").outlets({{0, 0}}).fillerWords(392).build();
    ASSERT_EQ(big.size(), 1600u);  // MAC, outlets, then filler words up to 1600 bytes
    Bytes tooBig = ElementReport().mac("0000AABBCC02").outlets({{1, 1}}).fillerWords(393).build();
    tooBig.resize(1602);
    send({tooBig, Bytes{}, big});
    const TickResult r = station->tick();
    EXPECT_EQ(r.received, 3u);
    EXPECT_EQ(r.accepted, 1u);
    EXPECT_EQ(power(), "0/0");
}

TEST_F(ListenerTick, OnePollTakesOneDatagramAndSavesIt) {
    send({outlet(0, 0), outlet(1, 1)});
    EXPECT_GT(station->pollStatusListener(), 0u);
    EXPECT_EQ(power(), "0/0");
    EXPECT_GT(station->pollStatusListener(), 0u);
    EXPECT_EQ(power(), "1/1");
    EXPECT_EQ(station->pollStatusListener(), 0u);
}

}  // namespace
}  // namespace zelo
