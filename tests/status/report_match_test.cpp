// The device open in the control window is recognised by its report
// whatever the case of the letters stored in its item file (files written
// before MACs were saved in upper case).
#include <gtest/gtest.h>

#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

using ReportMatch = test::StationTest;

TEST_F(ReportMatch, TheOpenWindowsDeviceIsRecognisedWhateverTheCase) {
    test::writeBytes(dataDir + "00000001.IDX",
                     test::kHeader + test::ItemRecord{"hx", "HX-7200", 0x10, 3, "1 1111", "1111",
                                                      "0000aabbcc01", "7394", "HX 00"}
                                         .lines());
    test::writeBytes(dataDir + "00000002.IDX", test::kHeader);  // no upper-case twin
    ASSERT_TRUE(directory->load(false));
    station->directoryChanged();
    currentRecord = device(0x10);
    currentStatus.masterState = 5;
    state.openDialog = OpenDialog::Control;
    ASSERT_TRUE(receive(test::ElementReport().mac("0000AABBCC01").master(0).outlets({{0, 1}}).build()));
    // Only the open device's status and window follow its reports.
    EXPECT_EQ(currentStatus.masterState, 0);
    EXPECT_FALSE(view.redrawnOutlets.empty());
    EXPECT_EQ(device(0x10).macText, "0000aabbcc01");  // the stored text stays as it was
}

}  // namespace
}  // namespace zelo
