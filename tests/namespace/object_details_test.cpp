#include <gtest/gtest.h>

#include <thread>

#include "namespace/object_details.h"
#include "namespace/object_opener.h"
#include "support/test_namespace.h"

namespace {

class ObjectDetailsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch.Valid()); }

    // Opens the way the Details page does: any type, desired access 0.
    ObjectDetails DetailsOf(const std::string& path) {
        OpenedObject opened = OpenAnyObject(path.c_str(), 0);
        EXPECT_NE(opened.typeIndex, kTypeNotOpened) << path;
        return QueryObjectDetails(opened.handle.get(), opened.typeIndex, path.c_str());
    }

    ScratchDirectory scratch;
};

TEST_F(ObjectDetailsTest, SemaphoreShowsCountAndLimit) {
    ObjectDetails details = DetailsOf(scratch.AddSemaphore("Sem", 2, 5));
    ASSERT_TRUE(details.section.has_value());
    EXPECT_EQ(details.section->caption, "Semaphore Info");
    EXPECT_EQ(details.section->firstLabel, "Count:");
    EXPECT_EQ(details.section->firstValue, "2");
    EXPECT_EQ(details.section->secondLabel, "Limit:");
    EXPECT_EQ(details.section->secondValue, "5");
}

TEST_F(ObjectDetailsTest, EventShowsTypeAndSignalState) {
    ObjectDetails notification = DetailsOf(scratch.AddEvent("Notify", true, true));
    ASSERT_TRUE(notification.section.has_value());
    EXPECT_EQ(notification.section->caption, "Event Info");
    EXPECT_EQ(notification.section->firstLabel, "Type:");
    EXPECT_EQ(notification.section->firstValue, "Notification");
    EXPECT_EQ(notification.section->secondLabel, "Signaled:");
    EXPECT_EQ(notification.section->secondValue, "TRUE");

    ObjectDetails synchronization = DetailsOf(scratch.AddEvent("Sync", false, false));
    ASSERT_TRUE(synchronization.section.has_value());
    EXPECT_EQ(synchronization.section->firstValue, "Synchronization");
    EXPECT_EQ(synchronization.section->secondValue, "FALSE");
}

TEST_F(ObjectDetailsTest, MutantShowsHeldAndAbandoned) {
    // Owned once by this thread: the count is 0.
    ObjectDetails held = DetailsOf(scratch.AddMutant("Held", true));
    ASSERT_TRUE(held.section.has_value());
    EXPECT_EQ(held.section->caption, "Mutant Info");
    EXPECT_EQ(held.section->firstLabel, "Held:");
    EXPECT_EQ(held.section->firstValue, "TRUE");
    EXPECT_EQ(held.section->secondLabel, "Abandoned:");
    EXPECT_EQ(held.section->secondValue, "FALSE");

    // Never owned: the count is 1.
    ObjectDetails free = DetailsOf(scratch.AddMutant("Free", false));
    ASSERT_TRUE(free.section.has_value());
    EXPECT_EQ(free.section->firstValue, "FALSE");
    EXPECT_EQ(free.section->secondValue, "FALSE");

    // A thread that ends while owning a mutant abandons it.
    std::string abandonedPath = scratch.PathOf("Abandoned");
    std::thread owner([&] { scratch.AddMutant("Abandoned", true); });
    owner.join();
    ObjectDetails abandoned = DetailsOf(abandonedPath);
    ASSERT_TRUE(abandoned.section.has_value());
    EXPECT_EQ(abandoned.section->firstValue, "FALSE");
    EXPECT_EQ(abandoned.section->secondValue, "TRUE");
}

TEST_F(ObjectDetailsTest, SymbolicLinkShowsCreationTimeAndWholeTarget) {
    const std::string target = "\\Device\\" + std::string(300, 'x');
    ObjectDetails details = DetailsOf(scratch.AddSymbolicLink("Link", target));
    ASSERT_TRUE(details.section.has_value());
    EXPECT_EQ(details.section->caption, "Symbolic Link Info");
    EXPECT_EQ(details.section->firstLabel, "Creation Time:");
    EXPECT_EQ(details.section->secondLabel, "Link:");
    EXPECT_EQ(details.section->secondValue, target);

    // The creation time is now, in local time, in the program's format, or
    // unknown where the platform keeps none.
    OpenedObject link = OpenAnyObject(scratch.PathOf("Link").c_str(), 0);
    OBJECT_BASIC_INFORMATION basic{};
    ASSERT_EQ(NtQueryObject(link.handle.get(), ObjectBasicInformation, &basic, sizeof basic, nullptr), kStatusSuccess);
    const std::string value = details.section->firstValue;
    if (basic.CreateTime.QuadPart == 0) {
        EXPECT_EQ(value, kUnknownValue);
        return;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::string date = "/" + std::to_string(now.wDay) + "/" + std::to_string(now.wYear);
    EXPECT_NE(value.find(", " + std::to_string(now.wMonth) + date), std::string::npos) << value;
}

TEST_F(ObjectDetailsTest, OtherTypesHaveNoSection) {
    for (const std::string& path :
         {scratch.AddSection("Section"), scratch.AddTimer("Timer"), scratch.AddDirectory("Dir"),
          std::string("\\REGISTRY"), std::string("\\Device\\Null")}) {
        ObjectDetails details = DetailsOf(path);
        EXPECT_FALSE(details.section.has_value()) << path;
        EXPECT_NE(details.handles, kUnknownValue) << path;
    }
}

// Handles and references each leave out the querying handle's own: with the
// scratch directory's handle and two more, handles read 3, and references
// read the pointer count less one, whatever the platform counts there.
TEST_F(ObjectDetailsTest, CountsLeaveOutTheQueryingHandle) {
    const std::string path = scratch.AddEvent("Counted", true, false);
    OpenedObject extra[2] = {OpenAnyObject(path.c_str(), 0), OpenAnyObject(path.c_str(), 0)};
    OpenedObject query = OpenAnyObject(path.c_str(), 0);
    OBJECT_BASIC_INFORMATION basic{};
    ASSERT_EQ(NtQueryObject(query.handle.get(), ObjectBasicInformation, &basic, sizeof basic, nullptr),
              kStatusSuccess);
    ObjectDetails details = QueryObjectDetails(query.handle.get(), query.typeIndex, path.c_str());
    EXPECT_EQ(details.handles, "3");
    EXPECT_EQ(details.references, std::to_string(static_cast<long long>(basic.PointerCount) - 1));
    EXPECT_EQ(details.paged, std::to_string(basic.PagedPoolUsage));
    EXPECT_EQ(details.nonPaged, std::to_string(basic.NonPagedPoolUsage));
    EXPECT_FALSE(details.permanent);
}

// An event whose DACL grants READ_CONTROL alone opens for the Details page,
// but its state cannot be read even with a second open: both values say so.
TEST_F(ObjectDetailsTest, StateIsUnknownWhenTheQueryRightIsRefused) {
    const std::string path = scratch.PathOf("Unqueryable");
    NamedAttributes attributes(path);
    SECURITY_DESCRIPTOR descriptor{};
    alignas(8) BYTE aclBytes[64];
    auto* acl = reinterpret_cast<PACL>(aclBytes);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, READ_CONTROL, everyone);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    attributes.Get()->SecurityDescriptor = &descriptor;
    HANDLE handle = nullptr;
    ASSERT_EQ(NtCreateEvent(&handle, 0x001F0003, attributes.Get(), 0, FALSE), kStatusSuccess);
    scratch.Keep(handle);
    FreeSid(everyone);

    ObjectDetails details = DetailsOf(path);
    ASSERT_TRUE(details.section.has_value());
    EXPECT_EQ(details.section->caption, "Event Info");
    EXPECT_EQ(details.section->firstValue, kUnknownValue);
    EXPECT_EQ(details.section->secondValue, kUnknownValue);
}

TEST_F(ObjectDetailsTest, PermanentObjectIsFlagged) {
    const std::string path = scratch.PathOf("Permanent");
    NamedAttributes attributes(path);
    attributes.Get()->Attributes |= kObjPermanent;
    HANDLE handle = nullptr;
    ASSERT_EQ(NtCreateEvent(&handle, 0x001F0003, attributes.Get(), 0, FALSE), kStatusSuccess);
    UniqueNtHandle creator(handle);
    OBJECT_BASIC_INFORMATION basic{};
    NtQueryObject(creator.get(), ObjectBasicInformation, &basic, sizeof basic, nullptr);
    if ((basic.Attributes & kObjPermanent) == 0) GTEST_SKIP() << "the platform does not report permanence";
    EXPECT_TRUE(DetailsOf(path).permanent);
    // Made temporary again, it goes away with its last handle.
    ASSERT_EQ(NtMakeTemporaryObject(creator.get()), kStatusSuccess);
    EXPECT_FALSE(DetailsOf(path).permanent);
}

// A creation time in UTC is shown in local time: 1 February 2026, 09:05:07
// UTC reads as the local clock shows that moment.
TEST(CreationTimeFormatTest, UtcTimeIsShownInLocalTime) {
    const SYSTEMTIME utc = {2026, 2, 0, 1, 9, 5, 7, 0};
    FILETIME file{};
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &file));
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    LARGE_INTEGER created{};
    created.LowPart = file.dwLowDateTime;
    created.HighPart = static_cast<LONG>(file.dwHighDateTime);
    EXPECT_EQ(FormatUtcCreationTime(created), FormatCreationTime(local));
    EXPECT_EQ(FormatUtcCreationTime(LARGE_INTEGER{}), kUnknownValue);
}

TEST(CreationTimeFormatTest, HourMonthAndDayWithoutLeadingZeros) {
    SYSTEMTIME time{};
    time.wYear = 1998;
    time.wMonth = 2;
    time.wDay = 1;
    time.wHour = 9;
    time.wMinute = 5;
    time.wSecond = 7;
    EXPECT_EQ(FormatCreationTime(time), "9:05:07, 2/1/1998");
    time.wHour = 0;
    time.wMinute = 0;
    time.wSecond = 0;
    time.wMonth = 12;
    time.wDay = 31;
    time.wYear = 2026;
    EXPECT_EQ(FormatCreationTime(time), "0:00:00, 12/31/2026");
}

}  // namespace
