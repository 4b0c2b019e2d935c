// A MAC address typed in the property dialog or given to zeloctl set is
// saved in upper case, as status reports give it; a terminal id is kept.
#include <gtest/gtest.h>

#include "directory/property_edit.h"

namespace zelo {
namespace {

TEST(PropertyMac, SavedInUpperCaseWhicheverWayItIsSet) {
    struct Row {
        int model;
        const char* field;
        const char* typed;
        const char* mac;
    };
    for (const Row& r : {Row{13, "mac", "00-1a-2b-3c-4d-5e", "001A2B3C4D5E"},
                         Row{3, "mac", "0090cc:00:00:a1", "0090CC0000A1"},
                         Row{11, "mac", "00:1A:2b:3C:4d:5E", "001A2B3C4D5E"},
                         Row{8, "unit", "12ab", "12ab"},  // a terminal id, kept
                         Row{7, "mac", "5-x", "5x"}}) {
        SCOPED_TRACE(r.typed);
        DeviceRecord rec;
        rec.modelCode = r.model;
        ASSERT_EQ(applyPropertyField(rec, r.field, r.typed), EditResult::Ok);
        EXPECT_EQ(rec.macText, r.mac);
    }
    EXPECT_EQ(macFromField("zz-0a", 13), "ZZ0A");
}

}  // namespace
}  // namespace zelo
