#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/path_block.h"
#include "namespace/directory_walk.h"
#include "support/test_namespace.h"

namespace {

TEST(MakeChildPathTest, SeparatorFollowsTheParentsLength) {
    char block[kObjectPathBlockSize];
    ASSERT_TRUE(MakeChildPath(block, sizeof block, "\\", "Device"));
    EXPECT_STREQ(block, "\\Device");
    ASSERT_TRUE(MakeChildPath(block, sizeof block, "X", "Name"));
    EXPECT_STREQ(block, "XName");
    ASSERT_TRUE(MakeChildPath(block, sizeof block, "\\Device", "Null"));
    EXPECT_STREQ(block, "\\Device\\Null");
    ASSERT_TRUE(MakeChildPath(block, sizeof block, "", "Bare"));
    EXPECT_STREQ(block, "Bare");
}

TEST(MakeChildPathTest, RefusesWhatDoesNotFitAndWritesNothingPastTheBlock) {
    char block[kObjectPathBlockSize + 8];
    std::memset(block, '#', sizeof block);
    std::string parent = "\\" + std::string(250, 'p');
    // 251 + 1 + 7 = 259 characters fit exactly; one more does not.
    ASSERT_TRUE(MakeChildPath(block, kObjectPathBlockSize, parent.c_str(), "1234567"));
    EXPECT_EQ(std::strlen(block), kMaxObjectPathLength);
    std::memset(block, '#', sizeof block);
    EXPECT_FALSE(MakeChildPath(block, kObjectPathBlockSize, parent.c_str(), "12345678"));
    for (std::size_t i = kObjectPathBlockSize; i < sizeof block; ++i) EXPECT_EQ(block[i], '#');
}

struct TreeNode {
    std::string name;
    std::string path;
    int parent;
};

// Records the tree walk as a flat list of nodes; node ids are index + 1.
struct TreeRecorder {
    std::vector<TreeNode> nodes;
    std::vector<char*> blocks;
    ~TreeRecorder() {
        for (char* block : blocks) FreePathBlock(block);
    }
    static void* Add(void* context, void* parent, const char* name, char* childPath) {
        auto* self = static_cast<TreeRecorder*>(context);
        self->nodes.push_back({name, childPath, static_cast<int>(reinterpret_cast<intptr_t>(parent))});
        self->blocks.push_back(childPath);
        return reinterpret_cast<void*>(static_cast<intptr_t>(self->nodes.size()));
    }
};

class DirectoryWalkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch.Valid()); }
    ScratchDirectory scratch;
};

TEST_F(DirectoryWalkTest, TreeWalkIsDepthFirstAndTakesDirectoriesOnly) {
    scratch.AddDirectory("A");
    scratch.AddDirectory("A\\A1");
    scratch.AddDirectory("A\\A1\\Deep");
    scratch.AddDirectory("A\\A2");
    scratch.AddDirectory("B");
    scratch.AddEvent("Event", true, false);
    scratch.AddSymbolicLink("LinkToA", scratch.PathOf("A"));

    TreeRecorder recorder;
    WalkDirectoryTree(scratch.Path().c_str(), nullptr, TreeRecorder::Add, &recorder);

    // Children follow their parent before the parent's next sibling.
    std::vector<std::string> paths;
    for (const TreeNode& node : recorder.nodes) paths.push_back(node.path);
    ASSERT_EQ(paths.size(), 5u);
    auto indexOf = [&](const std::string& relative) {
        for (std::size_t i = 0; i < paths.size(); ++i)
            if (paths[i] == scratch.PathOf(relative)) return static_cast<int>(i);
        return -1;
    };
    const int a = indexOf("A"), a1 = indexOf("A\\A1"), deep = indexOf("A\\A1\\Deep"), a2 = indexOf("A\\A2"),
              b = indexOf("B");
    ASSERT_TRUE(a >= 0 && a1 >= 0 && deep >= 0 && a2 >= 0 && b >= 0);
    EXPECT_EQ(deep, a1 + 1);
    EXPECT_GT(a1, a);
    EXPECT_GT(a2, a);
    EXPECT_TRUE(b < a || b > std::max(a2, deep));
    EXPECT_EQ(recorder.nodes[deep].parent, a1 + 1);
    EXPECT_EQ(recorder.nodes[a1].parent, a + 1);
    EXPECT_EQ(recorder.nodes[a].parent, 0);
    EXPECT_EQ(recorder.nodes[deep].name, "Deep");
}

TEST_F(DirectoryWalkTest, RefusedNodeIsNotDescendedAndItsBlockIsFreed) {
    scratch.AddDirectory("Refused");
    scratch.AddDirectory("Refused\\Inner");
    PathBlockCounts before = GetPathBlockCounts();
    int calls = 0;
    WalkDirectoryTree(
        scratch.Path().c_str(), nullptr,
        [](void* context, void*, const char*, char*) -> void* {
            ++*static_cast<int*>(context);
            return nullptr;
        },
        &calls);
    EXPECT_EQ(calls, 1);
    PathBlockCounts after = GetPathBlockCounts();
    EXPECT_EQ(after.allocated - before.allocated, 1);
    EXPECT_EQ(after.freed - before.freed, 1);
}

TEST_F(DirectoryWalkTest, AnUnopenablePathYieldsNothing) {
    TreeRecorder recorder;
    WalkDirectoryTree((scratch.Path() + "\\Missing").c_str(), nullptr, TreeRecorder::Add, &recorder);
    EXPECT_TRUE(recorder.nodes.empty());
    scratch.AddEvent("NotADirectory", true, false);
    WalkDirectoryTree(scratch.PathOf("NotADirectory").c_str(), nullptr, TreeRecorder::Add, &recorder);
    EXPECT_TRUE(recorder.nodes.empty());
}

struct RowRecorder {
    std::vector<std::string> rows;
    std::vector<std::string> types;
    std::vector<int> positions;
    std::vector<char*> blocks;
    bool refuseAll = false;
    ~RowRecorder() {
        for (char* block : blocks) FreePathBlock(block);
    }
    static bool Add(void* context, int position, const char* typeName, char* rowText, char* childPath) {
        auto* self = static_cast<RowRecorder*>(context);
        self->positions.push_back(position);
        self->rows.push_back(rowText);
        self->types.push_back(typeName);
        if (self->refuseAll) return false;
        self->blocks.push_back(childPath);
        return true;
    }
    bool HasRow(const std::string& row) const {
        for (const std::string& r : rows)
            if (r == row) return true;
        return false;
    }
};

TEST_F(DirectoryWalkTest, RowTextsCarryTypeAndLinkTarget) {
    scratch.AddDirectory("Sub");
    scratch.AddEvent("Event", true, false);
    scratch.AddSymbolicLink("GoodLink", "\\Device\\Null");
    scratch.AddSymbolicLink("DeadLink", "\\Nowhere\\At\\All");
    ASSERT_FALSE(scratch.AddLockedSymbolicLink("LockedLink", "\\Device\\Null").empty());
    scratch.AddSymbolicLink("OdDName%s%n", "\\Device\\Null");

    RowRecorder recorder;
    std::vector<const char*> accepted = WalkObjectRows(scratch.Path().c_str(), RowRecorder::Add, &recorder);
    EXPECT_EQ(accepted.size(), 6u);
    EXPECT_TRUE(recorder.HasRow("Sub\tDirectory"));
    EXPECT_TRUE(recorder.HasRow("Event\tEvent"));
    EXPECT_TRUE(recorder.HasRow("GoodLink\tSymbolicLink\t\\Device\\Null"));
    // The link object itself opens whether or not its target exists.
    EXPECT_TRUE(recorder.HasRow("DeadLink\tSymbolicLink\t\\Nowhere\\At\\All"));
    EXPECT_TRUE(recorder.HasRow("LockedLink\tSymbolicLink\tInvalid"));
    EXPECT_TRUE(recorder.HasRow("OdDName%s%n\tSymbolicLink\t\\Device\\Null"));
    for (std::size_t i = 0; i < recorder.positions.size(); ++i) EXPECT_EQ(recorder.positions[i], static_cast<int>(i));
    for (const char* path : accepted) EXPECT_EQ(std::string(path).rfind(scratch.Path() + "\\", 0), 0u) << path;
}

TEST_F(DirectoryWalkTest, RefusedRowsReleaseTheirBlocks) {
    scratch.AddEvent("One", true, false);
    scratch.AddEvent("Two", true, false);
    PathBlockCounts before = GetPathBlockCounts();
    RowRecorder recorder;
    recorder.refuseAll = true;
    EXPECT_TRUE(WalkObjectRows(scratch.Path().c_str(), RowRecorder::Add, &recorder).empty());
    EXPECT_EQ(recorder.rows.size(), 2u);
    PathBlockCounts after = GetPathBlockCounts();
    EXPECT_EQ(after.allocated - before.allocated, 2);
    EXPECT_EQ(after.freed - before.freed, 2);
}

TEST_F(DirectoryWalkTest, EmptyDirectoryGivesNoRows) {
    std::string empty = scratch.AddDirectory("Empty");
    RowRecorder recorder;
    EXPECT_TRUE(WalkObjectRows(empty.c_str(), RowRecorder::Add, &recorder).empty());
    EXPECT_TRUE(recorder.rows.empty());
}

// An entry too large for the first buffer is fetched with a larger one, and
// the entries after it are still listed.
TEST_F(DirectoryWalkTest, LongNamesDoNotEndTheWalk) {
    const std::string longName(200, 'L');
    scratch.AddEvent(longName, true, false);
    scratch.AddEvent("After1", true, false);
    scratch.AddEvent("After2", true, false);
    scratch.AddDirectory("AfterDir");

    RowRecorder recorder;
    WalkObjectRows(scratch.Path().c_str(), RowRecorder::Add, &recorder);
    EXPECT_EQ(recorder.rows.size(), 4u);
    EXPECT_TRUE(recorder.HasRow(longName + "\tEvent"));
    EXPECT_TRUE(recorder.HasRow("After1\tEvent"));
    EXPECT_TRUE(recorder.HasRow("After2\tEvent"));
    EXPECT_TRUE(recorder.HasRow("AfterDir\tDirectory"));
}

TEST_F(DirectoryWalkTest, LongLinkTargetIsReadWhole) {
    const std::string target = "\\Device\\" + std::string(392, 'T');
    std::string link = scratch.AddSymbolicLink("LongTarget", target);
    ASSERT_FALSE(link.empty());
    RowRecorder recorder;
    WalkObjectRows(scratch.Path().c_str(), RowRecorder::Add, &recorder);
    ASSERT_EQ(recorder.rows.size(), 1u);
    EXPECT_EQ(recorder.rows[0], "LongTarget\tSymbolicLink\t" + target);
}

// Paths that would pass 259 characters are skipped one by one; their
// siblings with shorter names are still walked.
TEST_F(DirectoryWalkTest, OverlongChildPathsAreSkippedAlone) {
    std::string relative;
    std::string deepest;
    std::string deepestRelative;
    for (int level = 0; level < 12; ++level) {
        relative += (level == 0 ? "" : "\\") + std::string(20, static_cast<char>('a' + level));
        std::string made = scratch.AddDirectory(relative);
        ASSERT_FALSE(made.empty()) << made;
        if (made.size() + 2 <= kMaxObjectPathLength) {
            deepest = made;
            deepestRelative = relative;
        }
    }
    ASSERT_FALSE(scratch.AddEvent(deepestRelative + "\\e", true, false).empty());

    TreeRecorder recorder;
    WalkDirectoryTree(scratch.Path().c_str(), nullptr, TreeRecorder::Add, &recorder);
    ASSERT_FALSE(recorder.nodes.empty());
    for (const TreeNode& node : recorder.nodes) EXPECT_LE(node.path.size(), kMaxObjectPathLength);

    // The directory holding a too-long child still lists its other entries.
    RowRecorder rows;
    WalkObjectRows(deepest.c_str(), RowRecorder::Add, &rows);
    EXPECT_TRUE(rows.HasRow("e\tEvent"));
}

// A name the ANSI code page cannot hold has no path of its own; the entries
// around it are still listed, and the object whose name it would turn into is
// listed only once, as itself.
TEST_F(DirectoryWalkTest, NamesOutsideTheCodePageArePassedOver) {
    std::wstring wide(scratch.Path().begin(), scratch.Path().end());
    wide += L"\\\u0416\u4e2d";
    UNICODE_STRING name{static_cast<USHORT>(wide.size() * 2), static_cast<USHORT>(wide.size() * 2), wide.data()};
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(&name);
    HANDLE handle = nullptr;
    ASSERT_EQ(NtCreateEvent(&handle, 0x1F0003, &attributes, 0, FALSE), kStatusSuccess);
    scratch.Keep(handle);
    scratch.AddEvent("Before", true, false);
    scratch.AddSemaphore("??", 1, 2);

    RowRecorder recorder;
    WalkObjectRows(scratch.Path().c_str(), RowRecorder::Add, &recorder);
    EXPECT_EQ(recorder.rows.size(), 2u);
    EXPECT_TRUE(recorder.HasRow("Before\tEvent"));
    EXPECT_TRUE(recorder.HasRow("??\tSemaphore"));
}

}  // namespace

