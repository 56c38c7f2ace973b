// The figures of an object's type, from a handle and from the list of every type.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "namespace/object_opener.h"
#include "namespace/type_information.h"
#include "support/test_namespace.h"

namespace {

// What timers map generic rights to, on every system: query, modify, synchronize, all.
constexpr GENERIC_MAPPING kTimerMapping = {0x00020001, 0x00020002, 0x00120000, 0x001F0003};

bool SameMapping(const GENERIC_MAPPING& a, const GENERIC_MAPPING& b) {
    return a.GenericRead == b.GenericRead && a.GenericWrite == b.GenericWrite &&
           a.GenericExecute == b.GenericExecute && a.GenericAll == b.GenericAll;
}

class TypeInformationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.Valid()); }

    static ObjectTypeFigures FiguresOf(const OpenedObject& opened) {
        ObjectTypeFigures figures;
        EXPECT_EQ(QueryObjectTypeFigures(opened.handle.get(), figures), kStatusSuccess);
        return figures;
    }

    ScratchDirectory scratch_;
};

// The figures name the type and its rights; the handle count follows the
// handles the test opens, whichever way the figures are read. Timers, as the
// platform's own processes open events now and then.
TEST_F(TypeInformationTest, FiguresNameTheTypeAndCountItsHandles) {
    const std::string timer = scratch_.AddTimer("Counted");
    const OpenedObject held = OpenAnyObject(timer.c_str(), 0);
    ASSERT_TRUE(held);
    const ObjectTypeFigures before = FiguresOf(held);
    EXPECT_EQ(before.typeName, "Timer");
    EXPECT_TRUE(SameMapping(before.genericMapping, kTimerMapping));
    EXPECT_EQ(before.validAccessMask & 0x001F0003, 0x001F0003u);
    EXPECT_GE(before.objects, 1u);

    constexpr int kMoreHandles = 7;
    std::vector<OpenedObject> more;
    for (int i = 0; i < kMoreHandles; ++i) more.push_back(OpenAnyObject(timer.c_str(), 0));
    const ObjectTypeFigures after = FiguresOf(held);
    EXPECT_EQ(after.handles, before.handles + kMoreHandles);

    ObjectTypeFigures listed;
    ASSERT_EQ(QueryTypeFiguresByName("timer", listed), kStatusSuccess);
    EXPECT_EQ(listed.typeName, "Timer");
    EXPECT_EQ(listed.handles, after.handles);
    EXPECT_TRUE(SameMapping(listed.genericMapping, kTimerMapping));

    // The types that no open of the program's accepts are listed all the same.
    ObjectTypeFigures type;
    EXPECT_EQ(QueryTypeFiguresByName("Type", type), kStatusSuccess);
    EXPECT_EQ(type.typeName, "Type");
    EXPECT_EQ(QueryTypeFiguresByName("NoSuchType", type), kStatusNotFound);
    EXPECT_EQ(QueryTypeFiguresByName("Even", type), kStatusNotFound);
}

// A list is read only within its size, and a name that points outside it is refused.
TEST_F(TypeInformationTest, ListIsReadWithinItsBounds) {
    struct alignas(8) List {
        ULONG count;
        ObjectTypeRecord record;
        WCHAR name[8];
    };
    static_assert(offsetof(List, record) == (sizeof(void*) == 8 ? 8 : 4));
    List list{};
    list.count = 1;
    std::memcpy(list.name, L"Mutant", 12);
    list.record.TypeName = {12, 14, list.name};
    list.record.TotalNumberOfHandles = 42;
    const auto* bytes = reinterpret_cast<const BYTE*>(&list);

    ObjectTypeFigures figures;
    ASSERT_TRUE(FindTypeInList(bytes, sizeof list, "MUTANT", figures));
    EXPECT_EQ(figures.typeName, "Mutant");
    EXPECT_EQ(figures.handles, 42u);
    EXPECT_FALSE(FindTypeInList(bytes, offsetof(List, name), "Mutant", figures));  // the name lies beyond
    EXPECT_FALSE(FindTypeInList(bytes, offsetof(List, record) + 8, "Mutant", figures));  // the record is cut
    list.count = 2;  // a second record that is not there
    EXPECT_FALSE(FindTypeInList(bytes, sizeof list, "Event", figures));
}

}  // namespace
