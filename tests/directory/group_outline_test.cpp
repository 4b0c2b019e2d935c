#include "directory/group_outline.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

class GroupOutlineTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    std::string path = dataDir + "ZELO_DIR.DAT";

    std::vector<std::string> names() {
        GroupOutline o;
        EXPECT_TRUE(loadDirectoryTree(dataDir, "Root", o));
        std::vector<std::string> out;
        for (const auto& e : o.entries) out.push_back(e.name);
        return out;
    }
};

TEST_F(GroupOutlineTest, FirstStartCreatesTheRootLine) {
    GroupOutline o;
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n");
    ASSERT_EQ(o.entries.size(), 1u);
    EXPECT_EQ(o.entries[0].name, "Root");
    EXPECT_EQ(o.entries[0].id, 0u);
    EXPECT_EQ(o.entries[0].parent, -1);
}

TEST_F(GroupOutlineTest, EmptyFileShowsNonameAndStaysEmpty) {
    writeBytes(path, "");
    GroupOutline o;
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    ASSERT_EQ(o.entries.size(), 1u);
    EXPECT_EQ(o.entries[0].name, "Noname");
    EXPECT_EQ(readBytes(path), "");
    // A group made under that root is kept, with the root line it needs.
    ASSERT_TRUE(insertGroupEntry(dataDir, 0, 1, "First"));
    EXPECT_EQ(readBytes(path), "0\tNoname\t0\r\n1\tFirst\t1\r\n");
}

TEST_F(GroupOutlineTest, TreePlacementFollowsTheLevels) {
    writeBytes(path, "0\tRoot\t0\n1\tA\t1\n2\tA1\t2\n3\tA1x\t5\n1\tB\t3\n3\tB-deep\t4\n2\tB2\t6\n");
    GroupOutline o;
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    ASSERT_EQ(o.entries.size(), 7u);
    EXPECT_EQ(o.entries[1].parent, 0);
    EXPECT_EQ(o.entries[3].parent, 2);
    EXPECT_EQ(o.entries[4].parent, 0);  // two levels up from A1x
    EXPECT_EQ(o.entries[5].parent, 4);  // a jump of two levels is one step deeper
    EXPECT_EQ(o.entries[6].parent, 0);  // one level up from the previous parent B
    EXPECT_EQ(o.children(0), (std::vector<int>{1, 4, 6}));
    EXPECT_EQ(o.depth(3), 3);
}

TEST_F(GroupOutlineTest, NamesWithBlanksSurviveOtherGroupsEdits) {
    writeBytes(path, "0\tRoot\t0\r\n1\tMy Group\t1\r\n1\tOther\t2\r\n");
    ASSERT_TRUE(renameGroupEntry(dataDir, 2, "Renamed one"));
    ASSERT_TRUE(insertGroupEntry(dataDir, 0, 3, "New group"));
    ASSERT_TRUE(deleteGroupEntry(dataDir, 3));
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n1\tMy Group\t1\r\n1\tRenamed one\t2\r\n");
}

TEST_F(GroupOutlineTest, InsertLandsAfterTheParentsWholeSubTree) {
    writeBytes(path,
               "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n1\tB\t5\r\n");
    ASSERT_TRUE(insertGroupEntry(dataDir, 1, 6, "A3"));
    EXPECT_EQ(readBytes(path),
              "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n2\tA3\t6\r\n"
              "1\tB\t5\r\n");
    ASSERT_TRUE(insertGroupEntry(dataDir, 5, 7, "B1"));  // at the end of the file
    ASSERT_TRUE(insertGroupEntry(dataDir, 0, 8, "C"));
    EXPECT_EQ(names(), (std::vector<std::string>{"Root", "A", "A1", "A1a", "A2", "A3", "B", "B1",
                                                 "C"}));
}

TEST_F(GroupOutlineTest, DeleteDropsTheSubTreeAndOnlyTheGroupsItemFile) {
    writeBytes(path,
               "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n1\tB\t4\r\n2\tB1\t5\r\n");
    writeBytes(dataDir + "00000001.IDX", "x");
    writeBytes(dataDir + "00000002.IDX", "x");
    writeBytes(dataDir + "00000004.IDX", "x");
    ASSERT_TRUE(deleteGroupEntry(dataDir, 1));
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n1\tB\t4\r\n2\tB1\t5\r\n");
    EXPECT_FALSE(std::filesystem::exists(dataDir + "00000001.IDX"));
    EXPECT_TRUE(std::filesystem::exists(dataDir + "00000002.IDX"));
    EXPECT_TRUE(std::filesystem::exists(dataDir + "00000004.IDX"));
}

TEST_F(GroupOutlineTest, RenameKeepsLevelAndIdAndCleansTabs) {
    writeBytes(path, "0\tRoot\t0\n1\tA\t1\n");
    ASSERT_TRUE(renameGroupEntry(dataDir, 1, "New\tname"));
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n1\tNew name\t1\r\n");
}

TEST_F(GroupOutlineTest, IdsAboveTwoBillionRoundTripAsSigned) {
    EXPECT_EQ(formatDirectoryLine(1, "G", 3000000000u), "1\tG\t-1294967296\r\n");
    EXPECT_EQ(parseDirectoryLine("1\tG\t-1294967296").id, 3000000000u);
}

TEST_F(GroupOutlineTest, MalformedLinesAreReadSafely) {
    EXPECT_EQ(parseDirectoryLine("garbage").name, "");
    EXPECT_EQ(parseDirectoryLine("2\tonly name").name, "only name");
    EXPECT_EQ(parseDirectoryLine("2\tonly name").id, 0u);
    EXPECT_EQ(parseDirectoryLine("\t\t").level, 0);
}

TEST_F(GroupOutlineTest, ExtremeLevelsLoadAndTakeNewGroups) {
    // Levels beyond 32 bits read as the largest and smallest numbers.
    writeBytes(path, "0\tRoot\t0\r\n99999999999\tA\t1\r\n-5\tB\t2\r\n");
    GroupOutline o;
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    ASSERT_EQ(o.entries.size(), 3u);
    EXPECT_EQ(o.entries[1].level, 2147483647);
    EXPECT_EQ(o.entries[1].parent, 0);
    EXPECT_EQ(o.entries[2].parent, -1);  // climbs past the root
    // Nothing is deeper than A: a group made under it goes beside it.
    ASSERT_TRUE(insertGroupEntry(dataDir, 1, 3, "C"));
    EXPECT_EQ(readBytes(path),
              "0\tRoot\t0\r\n99999999999\tA\t1\r\n2147483647\tC\t3\r\n-5\tB\t2\r\n");
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
