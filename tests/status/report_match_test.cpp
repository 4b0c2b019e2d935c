// A report's MAC finds its device whatever the case of the letters stored
// in the item file (files written before MACs were saved in upper case).
#include <gtest/gtest.h>

#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

using ReportMatch = test::StationTest;

TEST_F(ReportMatch, StoredMacOfEitherCaseFindsItsDevice) {
    for (const char* stored : {"0000aabbcc01", "0000AaBbCc01", "0000AABBCC01"}) {
        SCOPED_TRACE(stored);
        test::writeBytes(dataDir + "00000001.IDX",
                         test::kHeader + test::recordLines("hx", "HX-7200", "10", 3, "1 1111", "1111",
                                                           stored, "7394", "HX 00"));
        test::writeBytes(dataDir + "00000002.IDX", test::kHeader);
        load();
        const test::Bytes report =
            test::ElementReport().mac("0000AABBCC01").outlets({{0, 1}, {1, 1}}).build();
        ASSERT_TRUE(receive(report));
        EXPECT_EQ(device(0x10).updateTime, std::uint32_t(test::kNow));
        // The stored text stays as it was.
        EXPECT_EQ(device(0x10).macText, stored);
    }
    // Other hex digits still do not match.
    EXPECT_FALSE(receive(test::ElementReport().mac("0000AABBCC0A").outlets({{1, 1}}).build()));
}

TEST_F(ReportMatch, TheOpenWindowsDeviceIsRecognisedWhateverTheCase) {
    test::writeBytes(dataDir + "00000001.IDX",
                     test::kHeader + test::recordLines("hx", "HX-7200", "10", 3, "1 1111", "1111",
                                                       "0000aabbcc01", "7394", "HX 00"));
    test::writeBytes(dataDir + "00000002.IDX", test::kHeader);  // no upper-case twin
    load();
    currentRecord = device(0x10);
    currentStatus.masterState = 5;
    state.openDialog = OpenDialog::Control;
    ASSERT_TRUE(receive(test::ElementReport().mac("0000AABBCC01").master(0).outlets({{0, 1}}).build()));
    // Only the open device's status and window follow its reports.
    EXPECT_EQ(currentStatus.masterState, 0);
    EXPECT_FALSE(view.redrawnOutlets.empty());
}

}  // namespace
}  // namespace zelo
