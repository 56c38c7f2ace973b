#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/path_block.h"
#include "namespace/directory_walk.h"
#include "namespace/visible_name.h"
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
    std::vector<ListedRow> accepted = WalkObjectRows(scratch.Path().c_str(), RowRecorder::Add, &recorder);
    EXPECT_EQ(accepted.size(), 6u);
    EXPECT_TRUE(recorder.HasRow("Sub\tDirectory"));
    EXPECT_TRUE(recorder.HasRow("Event\tEvent"));
    EXPECT_TRUE(recorder.HasRow("GoodLink\tSymbolicLink\t\\Device\\Null"));
    // The link object itself opens whether or not its target exists.
    EXPECT_TRUE(recorder.HasRow("DeadLink\tSymbolicLink\t\\Nowhere\\At\\All"));
    EXPECT_TRUE(recorder.HasRow("LockedLink\tSymbolicLink\tInvalid"));
    EXPECT_TRUE(recorder.HasRow("OdDName%s%n\tSymbolicLink\t\\Device\\Null"));
    for (std::size_t i = 0; i < recorder.positions.size(); ++i) EXPECT_EQ(recorder.positions[i], static_cast<int>(i));
    for (const ListedRow& row : accepted) {
        EXPECT_EQ(std::string(row.path).rfind(scratch.Path() + "\\", 0), 0u) << row.path;
        EXPECT_TRUE(IsPathAddressable(row.path)) << row.path;
    }
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

// A path that would pass 259 characters goes into the tree and the list with
// as much of its visible form as a block holds and its exact path, by which
// it opens; its siblings with shorter names are walked as before.
TEST_F(DirectoryWalkTest, OverlongChildPathsCarryTheirExactPaths) {
    std::string relative;
    std::string deepest;
    std::string deepestRelative;
    std::vector<std::string> made;
    for (int level = 0; level < 12; ++level) {
        relative += (level == 0 ? "" : "\\") + std::string(20, static_cast<char>('a' + level));
        made.push_back(scratch.AddDirectory(relative));
        ASSERT_FALSE(made.back().empty()) << made.back();
        if (made.back().size() + 2 <= kMaxObjectPathLength) {
            deepest = made.back();
            deepestRelative = relative;
        }
    }
    ASSERT_FALSE(scratch.AddEvent(deepestRelative + "\\e", true, false).empty());

    TreeRecorder recorder;
    WalkDirectoryTree(scratch.Path().c_str(), nullptr, TreeRecorder::Add, &recorder);
    ASSERT_EQ(recorder.nodes.size(), made.size());
    for (std::size_t i = 0; i < made.size(); ++i) {
        const char* block = recorder.blocks[i];
        EXPECT_LE(std::strlen(block), kMaxObjectPathLength);
        const bool fits = made[i].size() <= kMaxObjectPathLength;
        ASSERT_EQ(ExactPathOf(block) == nullptr, fits) << made[i];
        if (!fits) {
            EXPECT_EQ(*ExactPathOf(block), WidenPath(made[i]));
        }
        EXPECT_EQ(OpenAnyObject(NameOfBlock(block), 0).typeIndex, kTypeDirectory) << made[i];
    }

    // The directory holding a too-long child lists it too.
    RowRecorder rows;
    const std::vector<ListedRow> listed = WalkObjectRows(deepest.c_str(), RowRecorder::Add, &rows);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(rows.HasRow("e\tEvent"));
    for (const ListedRow& row : listed) {
        const std::string path = row.path;
        const bool child = path == deepest + "\\e";
        const bool fits = deepest.size() + 21 <= kMaxObjectPathLength;
        EXPECT_EQ(IsPathAddressable(row.path), child || fits) << path;
        EXPECT_EQ(row.isDirectory, !child) << path;
        EXPECT_LE(path.size(), kMaxObjectPathLength);
    }
}

// Every entry becomes a row. A name that ANSI cannot carry shows in its
// visible form and keeps its columns in place; its block carries its exact
// path, which opens it and none of the namesakes the name would become if
// cut or turned into "?". The tree enters such a directory and lists its
// children.
TEST_F(DirectoryWalkTest, NamesAnsiCannotCarryAreListedVisiblyAndOpenExactly) {
    using Kind = ScratchDirectory::WideKind;
    const struct {
        Kind kind;
        std::wstring name;
        std::string row;
        int typeIndex;
    } cases[] = {
        {Kind::Event, L"\u0416\u4e2d", "\\u0416\\u4E2D\tEvent", kTypeEvent},
        {Kind::Event, std::wstring(L"Ev\0x", 4), "Ev\\0x\tEvent", kTypeEvent},
        {Kind::Event, L"Tab\tName", "Tab\\tName\tEvent", kTypeEvent},
        {Kind::SymbolicLink, L"Ln\u0416", "Ln\\u0416\tSymbolicLink\t\\Device\\Null", kTypeSymbolicLink},
        {Kind::Directory, L"Dir\u0416", "Dir\\u0416\tDirectory", kTypeDirectory},
    };
    for (const auto& c : cases) ASSERT_TRUE(scratch.AddWide(c.kind, c.name, L"\\Device\\Null")) << c.row;
    ASSERT_TRUE(scratch.AddWide(Kind::Event, L"Dir\u0416\\Inner"));
    scratch.AddSemaphore("Ev", 1, 2);
    scratch.AddSemaphore("Tab", 1, 2);
    scratch.AddSemaphore("??", 1, 2);

    RowRecorder recorder;
    const std::vector<ListedRow> rows = WalkObjectRows(scratch.Path().c_str(), RowRecorder::Add, &recorder);
    ASSERT_EQ(rows.size(), 8u);
    for (const auto& c : cases) EXPECT_TRUE(recorder.HasRow(c.row)) << c.row;
    for (const char* name : {"Ev", "Tab", "??"}) EXPECT_TRUE(recorder.HasRow(std::string(name) + "\tSemaphore"));

    const std::wstring directory = WidenPath(scratch.Path());
    for (const ListedRow& row : rows) {
        const std::string path = row.path;
        const bool escaped = path.find('\\', scratch.Path().size() + 1) != std::string::npos;
        EXPECT_EQ(IsPathAddressable(row.path), !escaped) << path;
        EXPECT_EQ(row.isDirectory, path == scratch.PathOf("Dir\\u0416")) << path;
        const int opened = OpenAnyObject(NameOfBlock(row.path), 0).typeIndex;
        for (const auto& c : cases) {
            if (path != scratch.PathOf(c.row.substr(0, c.row.find('\t')))) continue;
            ASSERT_NE(ExactPathOf(row.path), nullptr) << path;
            EXPECT_EQ(*ExactPathOf(row.path), directory + L"\\" + c.name) << path;
            EXPECT_EQ(opened, c.typeIndex) << path;
        }
        if (!escaped) {
            EXPECT_EQ(opened, kTypeSemaphore) << path;
        }
    }
    TreeRecorder tree;
    WalkDirectoryTree(scratch.Path().c_str(), nullptr, TreeRecorder::Add, &tree);
    ASSERT_EQ(tree.nodes.size(), 1u);
    EXPECT_EQ(tree.nodes[0].name, "Dir\\u0416");
    RowRecorder inner;
    WalkObjectRows(NameOfBlock(tree.blocks[0]), RowRecorder::Add, &inner);
    EXPECT_EQ(inner.rows, std::vector<std::string>{"Inner\tEvent"});
}

}  // namespace

