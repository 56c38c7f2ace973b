#include <gtest/gtest.h>

#include "namespace/object_opener.h"
#include "support/test_namespace.h"

namespace {

class ObjectOpenerTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;
};

TEST_F(ObjectOpenerTest, EachTypeIsMatchedByItsRow) {
    ASSERT_TRUE(scratch.Valid());
    struct Case {
        std::string path;
        int expected;
        const char* typeName;
    };
    const Case cases[] = {
        {scratch.AddSymbolicLink("Link", "\\Device\\Null"), kTypeSymbolicLink, "SymbolicLink"},
        {scratch.AddDirectory("Dir"), kTypeDirectory, "Directory"},
        {scratch.AddMutant("Mutant", false), kTypeMutant, "Mutant"},
        {scratch.AddSection("Section"), kTypeSection, "Section"},
        {scratch.AddEvent("Event", true, false), kTypeEvent, "Event"},
        {scratch.AddSemaphore("Semaphore", 1, 2), kTypeSemaphore, "Semaphore"},
        {"\\REGISTRY", kTypeKey, "Key"},
        {scratch.AddTimer("Timer"), kTypeTimer, "Timer"},
        {"\\Device\\Null", kTypeDevice, "Device"},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.path.empty());
        OpenedObject opened = OpenAnyObject(c.path.c_str(), 0);
        EXPECT_EQ(opened.typeIndex, c.expected) << c.path;
        EXPECT_TRUE(opened.handle) << c.path;
        EXPECT_STREQ(ObjectTypeName(opened.typeIndex), c.typeName);
    }
}

TEST_F(ObjectOpenerTest, ObjectNoRowAcceptsGivesNine) {
    OpenedObject opened = OpenAnyObject("\\ObjectTypes\\Directory", 0);
    EXPECT_EQ(opened.typeIndex, kTypeNotOpened);
    EXPECT_FALSE(opened.handle);
    EXPECT_EQ(OpenAnyObject((scratch.Path() + "\\Missing").c_str(), 0).typeIndex, kTypeNotOpened);
}

// A link the account may not open is that link, never its target, which
// every later row's service would open through it.
TEST_F(ObjectOpenerTest, ALinkThatRefusesIsNeverFollowed) {
    const std::string directory = scratch.AddDirectory("Target");
    const std::string synchronizeOnly = scratch.AddSymbolicLinkWithDescriptor(
        "Synchronize", directory, DescriptorFromSddl("O:SYG:SYD:(A;;0x100000;;;WD)"));
    const std::string locked =
        scratch.AddSymbolicLinkWithDescriptor("Locked", directory, DescriptorFromSddl("O:SYG:SYD:"));
    ASSERT_FALSE(synchronizeOnly.empty());
    ASSERT_FALSE(locked.empty());
    for (const std::string& link : {synchronizeOnly, locked}) {
        SCOPED_TRACE(link);
        EXPECT_EQ(OpenAnyObject(link.c_str(), 0).typeIndex, kTypeNotOpened);
        EXPECT_EQ(OpenAnyObject(link.c_str(), kAccessSystemSecurity).typeIndex, kTypeNotOpened);
    }
    // What the account may do with the link is the link's own grant.
    ExactOpen open = OpenAnyObjectExactly(synchronizeOnly.c_str(), MAXIMUM_ALLOWED);
    ASSERT_EQ(open.opened.typeIndex, kTypeSymbolicLink);
    EXPECT_EQ(GrantedAccess(open.opened.handle.get()), static_cast<ACCESS_MASK>(SYNCHRONIZE));
    open = OpenAnyObjectExactly(locked.c_str(), MAXIMUM_ALLOWED);
    EXPECT_FALSE(open.opened);
    EXPECT_EQ(open.status, kStatusAccessDenied);
    EXPECT_EQ(open.refusingRow, kTypeSymbolicLink);
}

TEST_F(ObjectOpenerTest, PathsOpenCaseInsensitively) {
    std::string path = scratch.AddEvent("MixedCase", true, false);
    std::string lower = scratch.Path() + "\\mixedcase";
    EXPECT_EQ(OpenAnyObject(lower.c_str(), 0).typeIndex, kTypeEvent);
}

// The granted access of each handle shows what each caller asked for.
TEST_F(ObjectOpenerTest, AccessRequestedPerRowAndCaller) {
    std::string directory = scratch.AddDirectory("Dir");
    std::string link = scratch.AddSymbolicLink("Link", "\\Device\\Null");
    std::string event = scratch.AddEvent("Event", true, false);

    HANDLE handle = nullptr;
    ASSERT_EQ(OpenObjectByType(kTypeDirectory, directory.c_str(), 0, false, &handle), kStatusSuccess);
    EXPECT_EQ(GrantedAccess(handle), 0x20001u);  // the walks' directory open
    NtClose(handle);

    ASSERT_EQ(OpenObjectByType(kTypeSymbolicLink, link.c_str(), 0, true, &handle), kStatusSuccess);
    EXPECT_EQ(GrantedAccess(handle), 0x20001u);  // reading a link's target
    NtClose(handle);

    // Rows 0 to 7 get READ_CONTROL even when the caller does not ask for it.
    ASSERT_EQ(OpenObjectByType(kTypeEvent, event.c_str(), 0, false, &handle), kStatusSuccess);
    EXPECT_EQ(GrantedAccess(handle), 0x20000u);
    NtClose(handle);

    // The Details page and the Security page: caller's access plus READ_CONTROL.
    OpenedObject opened = OpenAnyObject(event.c_str(), 0);
    EXPECT_EQ(GrantedAccess(opened.handle.get()), 0x20000u);
    opened = OpenAnyObject(event.c_str(), kWriteDac);
    EXPECT_EQ(GrantedAccess(opened.handle.get()), 0x60000u);
    opened = OpenAnyObject(directory.c_str(), kWriteOwner);
    EXPECT_EQ(GrantedAccess(opened.handle.get()), 0xA0001u);

    // The device-name fallback asks for GENERIC_READ and the caller's access,
    // which the file system grants as FILE_GENERIC_READ with it.
    opened = OpenAnyObject("\\NUL", kWriteDac);
    ASSERT_EQ(opened.typeIndex, kTypeDevice);
    EXPECT_EQ(GrantedAccess(opened.handle.get()), static_cast<ACCESS_MASK>(FILE_GENERIC_READ | WRITE_DAC));

    // Row 8 asks for READ_CONTROL only on request.
    ASSERT_EQ(OpenObjectByType(kTypeDevice, "\\Device\\Null", 0, true, &handle), kStatusSuccess);
    EXPECT_EQ(GrantedAccess(handle) & kReadControl, kReadControl);
    NtClose(handle);
    ASSERT_EQ(OpenObjectByType(kTypeDevice, "\\Device\\Null", 0, false, &handle), kStatusSuccess);
    EXPECT_EQ(GrantedAccess(handle) & kReadControl, 0u);
    NtClose(handle);
}

TEST_F(ObjectOpenerTest, TypedOpenOfAnotherTypeFails) {
    std::string event = scratch.AddEvent("Event", true, false);
    HANDLE handle = nullptr;
    EXPECT_NE(OpenObjectByType(kTypeDirectory, event.c_str(), 0, false, &handle), kStatusSuccess);
    EXPECT_EQ(handle, nullptr);
    EXPECT_NE(OpenObjectByType(kObjectTypeCount, event.c_str(), 0, false, &handle), kStatusSuccess);
}

TEST_F(ObjectOpenerTest, OpensAreCounted) {
    std::string event = scratch.AddEvent("Event", true, false);
    long before = NamespaceCounters().opens;
    OpenedObject opened = OpenAnyObject(event.c_str(), 0);
    // SymbolicLink, Directory, Mutant, Section are tried before Event.
    EXPECT_EQ(NamespaceCounters().opens - before, kTypeEvent + 1);
}

}  // namespace
