// The rights an object grants this account and the access check beside them,
// over events owned by SYSTEM, so that only the DACL grants. The Access
// page's tests show the same through the sheet.
#include <gtest/gtest.h>

#include "namespace/effective_access.h"
#include "support/handle_count.h"
#include "support/test_namespace.h"

namespace {

constexpr GENERIC_MAPPING kEventMapping = {0x00020001, 0x00020002, 0x00120000, 0x001F0003};

// The open asks for nothing beyond MAXIMUM_ALLOWED: a right the DACL
// withholds (READ_CONTROL) does not fail it. Every handle is given back.
TEST(EffectiveAccessTest, OpensAsTheDaclAllowsAndClosesEveryHandle) {
    struct Case {
        const char* sddl;
        NTSTATUS status;
        ACCESS_MASK granted;
    };
    const Case cases[] = {
        {"O:SYG:SYD:(A;;0x100000;;;WD)", kStatusSuccess, SYNCHRONIZE},
        {"O:SYG:SYD:(A;;0x20001;;;BA)(A;IO;GA;;;WD)", kStatusSuccess, 0x00020001},  // inherit-only grants nothing
        {"O:SYG:SYD:", kStatusAccessDenied, 0},
    };
    ScratchDirectory scratch;
    std::vector<std::string> events;
    for (const Case& c : cases) {
        events.push_back(scratch.AddEvent("Event" + std::to_string(events.size()), true, false));
        OpenedObject writer = OpenAnyObject(events.back().c_str(), WRITE_DAC | WRITE_OWNER);
        ASSERT_EQ(NtSetSecurityObject(writer.handle.get(), OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                                               DACL_SECURITY_INFORMATION,
                                      DescriptorFromSddl(c.sddl).data()),
                  kStatusSuccess);
    }
    const long handlesBefore = CountProcessHandles();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        // No scoped trace here: the test framework's first one takes a handle of its own.
        const AccessPicture picture = ReadAccessPicture(events[i].c_str());
        EXPECT_EQ(picture.access.status, cases[i].status) << cases[i].sddl;
        EXPECT_EQ(picture.access.typeIndex, kTypeEvent) << cases[i].sddl;  // where refused, the row that refused
        EXPECT_EQ(picture.access.granted, cases[i].granted) << cases[i].sddl;
        EXPECT_EQ(QueryEffectiveAccess(events[i].c_str()).granted, cases[i].granted) << cases[i].sddl;
        const DescriptorCheck check = CheckDescriptorAccess(DescriptorFromSddl(cases[i].sddl).data(), kEventMapping);
        EXPECT_TRUE(check.done && check.granted == cases[i].granted) << cases[i].sddl;
    }
    EXPECT_EQ(CountProcessHandles(), handlesBefore);
}

TEST(EffectiveAccessTest, MissingObjectDeviceNameAndMissingOwner) {
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

}  // namespace
