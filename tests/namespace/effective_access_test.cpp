// The rights an object grants this account, from objects whose descriptors
// the tests choose, owned by SYSTEM so that only the DACL grants.
#include <gtest/gtest.h>

#include "namespace/effective_access.h"
#include "support/handle_count.h"
#include "support/test_namespace.h"

namespace {

constexpr GENERIC_MAPPING kEventMapping = {0x00020001, 0x00020002, 0x00120000, 0x001F0003};
constexpr SECURITY_INFORMATION kPermissionParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

TEST(EffectiveAccessTest, OpenAndAccessCheckAgreeOnChosenDescriptors) {
    struct Case {
        const char* sddl;
        NTSTATUS status;
        ACCESS_MASK granted;
    };
    const Case cases[] = {
        {"O:SYG:SYD:(A;;0x100000;;;WD)", kStatusSuccess, SYNCHRONIZE},  // opens without READ_CONTROL
        {"O:SYG:SYD:(D;;WD;;;WD)(A;;GA;;;WD)", kStatusSuccess, 0x001B0003},
        {"O:SYG:SYD:(A;;0x20001;;;BA)(A;IO;GA;;;WD)", kStatusSuccess, 0x00020001},  // inherit-only grants nothing
        {"O:SYG:SYD:", kStatusAccessDenied, 0},
    };
    ScratchDirectory scratch;
    std::vector<std::string> events;
    for (const Case& c : cases) {
        events.push_back(scratch.AddEvent("Event" + std::to_string(events.size()), true, false));
        OpenedObject writer = OpenAnyObject(events.back().c_str(), WRITE_DAC | WRITE_OWNER);
        ASSERT_EQ(NtSetSecurityObject(writer.handle.get(), kPermissionParts, DescriptorFromSddl(c.sddl).data()),
                  kStatusSuccess);
    }
    const long handlesBefore = CountProcessHandles();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const EffectiveAccess access = QueryEffectiveAccess(events[i].c_str());
        EXPECT_EQ(access.status, c.status) << c.sddl;
        EXPECT_EQ(access.typeIndex, kTypeEvent) << c.sddl;  // the row that refused, where it refused
        EXPECT_EQ(access.granted, c.granted) << c.sddl;

        const DescriptorCheck check = CheckDescriptorAccess(DescriptorFromSddl(c.sddl).data(), kEventMapping);
        EXPECT_TRUE(check.done) << c.sddl;
        EXPECT_EQ(check.granted, c.granted) << c.sddl;
    }
    // Counted without a scoped trace: the test framework's first one takes a handle of its own.
    EXPECT_EQ(CountProcessHandles(), handlesBefore);
}

TEST(EffectiveAccessTest, MissingObjectAndMissingOwner) {
    ScratchDirectory scratch;
    const EffectiveAccess missing = QueryEffectiveAccess(scratch.PathOf("Missing").c_str());
    EXPECT_NE(missing.status, kStatusSuccess);
    EXPECT_NE(missing.status, kStatusAccessDenied);
    EXPECT_EQ(missing.typeIndex, kTypeNotOpened);
    // Only the Win32 device name opens \NUL, asked for the most it grants and nothing more.
    const EffectiveAccess device = QueryEffectiveAccess("\\NUL");
    EXPECT_EQ(device.typeIndex, kTypeDevice);
    EXPECT_NE(device.granted, 0u);

    // AccessCheck refuses a descriptor without owner or group; a stand-in nobody holds takes their place.
    const DescriptorCheck check = CheckDescriptorAccess(DescriptorFromSddl("D:(A;;GA;;;WD)").data(), kEventMapping);
    EXPECT_TRUE(check.done);
    EXPECT_EQ(check.granted, kEventMapping.GenericAll);
}

// The picture reads the type's mapping and the descriptor, checks it, and gives back every handle.
TEST(EffectiveAccessTest, PictureOfAReadableObject) {
    ScratchDirectory scratch;
    const std::string event = scratch.AddEvent("Event", true, false);
    const long handlesBefore = CountProcessHandles();
    const AccessPicture picture = ReadAccessPicture(event.c_str());
    EXPECT_EQ(CountProcessHandles(), handlesBefore);
    EXPECT_EQ(picture.access.status, kStatusSuccess);
    ASSERT_TRUE(picture.typeKnown);
    EXPECT_EQ(picture.type.typeName, "Event");
    EXPECT_EQ(picture.descriptorStatus, kStatusSuccess);
    EXPECT_TRUE(IsValidSecurityDescriptor(const_cast<BYTE*>(picture.descriptor.data())));
    EXPECT_TRUE(picture.check.done);
    EXPECT_EQ(picture.check.granted, picture.access.granted);
}

}  // namespace
