// ZELO_DIR.DAT: the outline as the tree shows it, and its rewrites.
#include "directory/group_outline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::writeBytes;

class GroupOutlineTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    std::string path = dataDir + "ZELO_DIR.DAT";
    // Each entry as "name<parent index>".
    std::string tree() {
        GroupOutline o;
        EXPECT_TRUE(loadDirectoryTree(dataDir, "Root", o));
        std::string out;
        for (const auto& e : o.entries) out += e.name + "<" + std::to_string(e.parent) + " ";
        return out;
    }
};

TEST_F(GroupOutlineTest, FirstStartCreatesTheRootLineAndAnEmptyFileShowsNoname) {
    EXPECT_EQ(tree(), "Root<-1 ");
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n");
    writeBytes(path, "");
    EXPECT_EQ(tree(), "Noname<-1 ");
    EXPECT_EQ(readBytes(path), "");
    // A group made under that root is kept, with the root line it needs.
    ASSERT_TRUE(insertGroupEntry(dataDir, 0, 1, "First"));
    EXPECT_EQ(readBytes(path), "0\tNoname\t0\r\n1\tFirst\t1\r\n");
}

TEST_F(GroupOutlineTest, TreePlacementFollowsTheLevels) {
    // Two levels up from A1x; a jump of two levels is one step deeper; one
    // level up from the previous parent B. Levels beyond 32 bits read as the
    // largest and smallest numbers; climbing past the root leaves the tree.
    writeBytes(path, "0\tRoot\t0\n1\tA\t1\n2\tA1\t2\n3\tA1x\t5\n1\tB\t3\n3\tB-deep\t4\n2\tB2\t6\n"
                     "99999999999\tBig\t7\n-5\tNeg\t8\n");
    EXPECT_EQ(tree(), "Root<-1 A<0 A1<1 A1x<2 B<0 B-deep<4 B2<0 Big<6 Neg<-1 ");
    GroupOutline o;
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    EXPECT_EQ(o.children(0), (std::vector<int>{1, 4, 6}));
    EXPECT_EQ(o.depth(3), 3);
    EXPECT_EQ(o.entries[7].level, 2147483647);
}

TEST_F(GroupOutlineTest, RewritesKeepEveryOtherLine) {
    const struct {
        const char* name;
        const char* before;
        std::function<bool(const std::string&)> change;
        const char* after;
    } rows[] = {
        {"names with blanks survive other groups' edits", "0\tRoot\t0\r\n1\tMy Group\t1\r\n1\tOther\t2\r\n",
         [](const std::string& d) {
             return renameGroupEntry(d, 2, "Renamed one") && insertGroupEntry(d, 0, 3, "New group") && deleteGroupEntry(d, 3);
         },
         "0\tRoot\t0\r\n1\tMy Group\t1\r\n1\tRenamed one\t2\r\n"},
        {"an insert lands after the parent's whole sub-tree",
         "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n1\tB\t5\r\n",
         [](const std::string& d) { return insertGroupEntry(d, 1, 6, "A3") && insertGroupEntry(d, 5, 7, "B1") && insertGroupEntry(d, 0, 8, "C"); },
         "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n2\tA3\t6\r\n1\tB\t5\r\n2\tB1\t7\r\n1\tC\t8\r\n"},
        {"a delete drops the sub-tree", "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n1\tB\t4\r\n2\tB1\t5\r\n",
         [](const std::string& d) { return deleteGroupEntry(d, 1); }, "0\tRoot\t0\r\n1\tB\t4\r\n2\tB1\t5\r\n"},
        {"a rename keeps level and id and cleans tabs", "0\tRoot\t0\n1\tA\t1\n",
         [](const std::string& d) { return renameGroupEntry(d, 1, "New\tname"); }, "0\tRoot\t0\r\n1\tNew name\t1\r\n"},
        {"nothing is deeper than the deepest level: a group made under it goes beside it",
         "0\tRoot\t0\r\n99999999999\tA\t1\r\n-5\tB\t2\r\n", [](const std::string& d) { return insertGroupEntry(d, 1, 3, "C"); },
         "0\tRoot\t0\r\n99999999999\tA\t1\r\n2147483647\tC\t3\r\n-5\tB\t2\r\n"},
    };
    for (const auto& row : rows) {
        writeBytes(path, row.before);
        EXPECT_TRUE(row.change(dataDir)) << row.name;
        EXPECT_EQ(readBytes(path), row.after) << row.name;
    }
}

TEST_F(GroupOutlineTest, DeleteRemovesOnlyTheGroupsOwnItemFile) {
    writeBytes(path, "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n");
    for (const char* f : {"00000001.IDX", "00000002.IDX"}) writeBytes(dataDir + f, "x");
    ASSERT_TRUE(deleteGroupEntry(dataDir, 1));
    EXPECT_FALSE(std::filesystem::exists(dataDir + "00000001.IDX"));
    EXPECT_TRUE(std::filesystem::exists(dataDir + "00000002.IDX"));
}

TEST_F(GroupOutlineTest, LinesReadSafelyAndIdsAboveTwoBillionRoundTripAsSigned) {
    EXPECT_EQ(formatDirectoryLine(1, "G", 3000000000u), "1\tG\t-1294967296\r\n");
    EXPECT_EQ(parseDirectoryLine("1\tG\t-1294967296").id, 3000000000u);
    EXPECT_EQ(parseDirectoryLine("garbage").name, "");
    EXPECT_EQ(parseDirectoryLine("2\tonly name").name, "only name");
    EXPECT_EQ(parseDirectoryLine("2\tonly name").id, 0u);
    EXPECT_EQ(parseDirectoryLine("\t\t").level, 0);
}

TEST_F(GroupOutlineTest, FailedRewriteLeavesTheFileByteIdentical) {
    writeBytes(path, "0\tRoot\t0\r\n1\tA\t1\r\n");
    writeBytes(dataDir + "00000001.IDX", "keep");
    std::filesystem::create_directory(dataDir + "ZELO_DIR.TMP");
    EXPECT_FALSE(renameGroupEntry(dataDir, 1, "B"));
    EXPECT_FALSE(insertGroupEntry(dataDir, 0, 2, "C"));
    EXPECT_FALSE(deleteGroupEntry(dataDir, 1));
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n1\tA\t1\r\n");
    EXPECT_TRUE(std::filesystem::exists(dataDir + "00000001.IDX"));
}

}  // namespace
}  // namespace zelo
