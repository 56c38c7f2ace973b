#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

TEST_F(ObjectOrderTest, UnopenableDirectorySortsAmongObjects) {
    const std::string real = scratch.AddDirectory("b");
    const std::string vanished = scratch.AddDirectory("a");
    const std::string event = scratch.AddEvent("c", true, false);
    scratch.Remove(vanished);
    EXPECT_LT(CompareObjectEntries(real.c_str(), vanished.c_str()), 0);
    EXPECT_LT(CompareObjectEntries(vanished.c_str(), event.c_str()), 0);
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

}  // namespace
