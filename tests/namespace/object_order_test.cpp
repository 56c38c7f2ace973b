#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/path_block.h"
#include "namespace/directory_walk.h"
#include "namespace/native_services.h"
#include "namespace/object_order.h"
#include "support/test_namespace.h"

namespace {

class ObjectOrderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch.Valid()); }
    ScratchDirectory scratch;
};

TEST_F(ObjectOrderTest, DirectoriesFirstThenBytesWithUpperCaseFirst) {
    const std::string zeta = scratch.AddDirectory("zeta");
    const std::string alpha = scratch.AddDirectory("Alpha");
    const std::string apple = scratch.AddEvent("apple", true, false);
    const std::string zebra = scratch.AddEvent("Zebra", true, false);
    const std::string banana = scratch.AddMutant("Banana", false);

    EXPECT_LT(CompareObjectEntries(zeta.c_str(), apple.c_str()), 0);  // a directory before any object
    EXPECT_GT(CompareObjectEntries(banana.c_str(), alpha.c_str()), 0);
    EXPECT_LT(CompareObjectEntries(alpha.c_str(), zeta.c_str()), 0);  // "A" < "z"
    EXPECT_LT(CompareObjectEntries(zebra.c_str(), apple.c_str()), 0);  // "Z" < "a"
    EXPECT_EQ(CompareObjectEntries(apple.c_str(), apple.c_str()), 0);
}

TEST_F(ObjectOrderTest, BytesAboveAsciiCompareUnsigned) {
    const std::string plain = scratch.AddEvent("z", true, false);
    const std::string high = scratch.PathOf("\xE9");
    // The comparison is on the path text alone when neither is a directory.
    EXPECT_LT(CompareObjectEntries(plain.c_str(), high.c_str()), 0);
    EXPECT_GT(CompareObjectEntries(high.c_str(), plain.c_str()), 0);
}

// A directory that no longer opens sorts by name among the objects: after
// "c", where as a directory it would come first.
TEST_F(ObjectOrderTest, UnopenableDirectorySortsAmongObjects) {
    const std::string real = scratch.AddDirectory("b");
    const std::string vanished = scratch.AddDirectory("z");
    const std::string event = scratch.AddEvent("c", true, false);
    scratch.Remove(vanished);
    EXPECT_LT(CompareObjectEntries(real.c_str(), vanished.c_str()), 0);
    EXPECT_GT(CompareObjectEntries(vanished.c_str(), event.c_str()), 0);
}

// A sort through the per-sort record gives exactly the order of the plain
// comparison, with one directory test per row instead of one per comparison.
TEST_F(ObjectOrderTest, RecordedSortMatchesPlainOrderWithOneOpenPerRow) {
    std::vector<std::string> owned;
    for (const char* name : {"delta", "Bravo", "alpha", "Charlie", "echo", "Foxtrot", "_under", "9nine"}) {
        owned.push_back(scratch.AddEvent(name, true, false));
        owned.push_back(scratch.AddDirectory(std::string("dir_") + name));
    }
    owned.push_back(scratch.AddSymbolicLink("LinkToDir", scratch.PathOf("dir_alpha")));
    owned.push_back(scratch.AddSymbolicLink("LinkToEvent", scratch.PathOf("alpha")));
    owned.push_back(scratch.PathOf("gone"));  // nothing by that name

    std::vector<const char*> rows;
    for (const std::string& path : owned) rows.push_back(path.c_str());

    std::vector<const char*> plain = rows;
    long opensBefore = NamespaceCounters().opens;
    std::sort(plain.begin(), plain.end(), [](const char* a, const char* b) { return CompareObjectEntries(a, b) < 0; });
    const long plainOpens = NamespaceCounters().opens - opensBefore;

    std::vector<const char*> recorded = rows;
    opensBefore = NamespaceCounters().opens;
    DirectoryTestRecord record(rows);
    std::sort(recorded.begin(), recorded.end(), [&](const char* a, const char* b) {
        return CompareObjectEntriesForSort(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b),
                                           reinterpret_cast<LPARAM>(&record)) < 0;
    });
    const long recordedOpens = NamespaceCounters().opens - opensBefore;

    EXPECT_EQ(recorded, plain);
    EXPECT_EQ(recordedOpens, static_cast<long>(rows.size()));
    EXPECT_GT(plainOpens, recordedOpens);
    // A link that leads to a directory opens as one, and so sorts with the directories.
    auto position = [&](const std::string& path) {
        return std::find_if(recorded.begin(), recorded.end(), [&](const char* p) { return path == p; }) -
               recorded.begin();
    };
    EXPECT_LT(position(scratch.PathOf("LinkToDir")), position(scratch.PathOf("9nine")));
    EXPECT_GT(position(scratch.PathOf("LinkToEvent")), position(scratch.PathOf("dir_echo")));
}

// A listing's record takes the directory tests from the walk, which opens only
// the rows whose type can be a directory: directories, and links, which may
// lead to one. The order is exactly the plain comparison's.
TEST_F(ObjectOrderTest, ListingOrderMatchesThePlainOrderWithOpensOnlyForDirectoriesAndLinks) {
    for (const char* name : {"delta", "Bravo", "alpha", "_under", "9nine"}) scratch.AddEvent(name, true, false);
    scratch.AddMutant("Mutex", false);
    scratch.AddSemaphore("semaphore", 1, 2);
    const std::string dirA = scratch.AddDirectory("dirA");
    scratch.AddDirectory("DirB");
    ASSERT_FALSE(scratch.AddLockedDirectory("lockedDir").empty());
    scratch.AddSymbolicLink("LinkToDir", dirA);
    scratch.AddSymbolicLink("linkToEvent", scratch.PathOf("alpha"));
    scratch.AddSymbolicLink("DeadLink", scratch.PathOf("nothing"));
    ASSERT_FALSE(scratch.AddLockedSymbolicLink("LockedLink", dirA).empty());
    constexpr long kDirectories = 3, kLinks = 4;

    const long opensBefore = NamespaceCounters().opens;
    std::vector<ListedRow> rows = WalkObjectRows(
        scratch.Path().c_str(), [](void*, int, const char*, char*, char*) { return true; }, nullptr);
    // The listed directory, one test per directory, a test and a target read per link.
    EXPECT_EQ(NamespaceCounters().opens - opensBefore, 1 + kDirectories + 2 * kLinks);
    ASSERT_EQ(rows.size(), 14u);

    std::vector<const char*> plain;
    for (const ListedRow& row : rows) plain.push_back(row.path);
    std::vector<const char*> listed = plain;
    std::sort(plain.begin(), plain.end(), [](const char* a, const char* b) { return CompareObjectEntries(a, b) < 0; });
    DirectoryTestRecord record(std::move(rows));
    const long opensBeforeSort = NamespaceCounters().opens;
    std::sort(listed.begin(), listed.end(), [&](const char* a, const char* b) {
        return CompareObjectEntriesForSort(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b),
                                           reinterpret_cast<LPARAM>(&record)) < 0;
    });
    EXPECT_EQ(NamespaceCounters().opens, opensBeforeSort);
    EXPECT_EQ(listed, plain);
    // Directories and the link to one come first; the locked directory does not.
    auto position = [&](const char* name) {
        return std::find(listed.begin(), listed.end(), scratch.PathOf(name)) - listed.begin();
    };
    EXPECT_EQ(position("DirB"), 0);
    EXPECT_LT(position("LinkToDir"), position("9nine"));
    EXPECT_GT(position("lockedDir"), position("delta"));
    for (const char* path : listed) FreePathBlock(const_cast<char*>(path));
}

}  // namespace
