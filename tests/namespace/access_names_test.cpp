// Rights named as each type names its own, the standard ones after them, and
// what no name covers in hex.
#include <gtest/gtest.h>

#include "namespace/access_names.h"

namespace {

TEST(AccessNamesTest, EachTypeNamesItsOwnRights) {
    const struct {
        ACCESS_MASK mask;
        const char* typeName;
        const char* expected;
    } cases[] = {
        {0x00100001, "Event", "0x00100001 (Query State, Synchronize)"},
        {0x00100004, "Event", "0x00100004 (Synchronize, 0x00000004)"},
        // A mutant has no Modify State: its 0x2 is no right of its own.
        {0x001F0003, "Mutant",
         "0x001F0003 (Query State, Delete, Read Control, Change Permissions, Change Owner, Synchronize, 0x00000002)"},
        {0x0000001E, "Section", "0x0000001E (Map Write, Map Read, Map Execute, Extend Size)"},
        {0x00020019, "Key", "0x00020019 (Query Value, Enumerate Subkeys, Notify, Read Control)"},
        {0x000F000F, "Directory",
         "0x000F000F (Query, Traverse, Create Object, Create Subdirectory, Delete, Read Control, Change Permissions, "
         "Change Owner)"},
        {0x00000001, "SymbolicLink", "0x00000001 (Query)"},
        {0x00120089, "Device", "0x00120089 (Read Data, Read Extended Attributes, Read Attributes, Read Control, "
                               "Synchronize)"},
        {0x0000000B, "Job", "0x0000000B (Assign Process, Set Attributes, Terminate)"},
        {0x00000003, "IoCompletion", "0x00000003 (Query State, Modify State)"},
        {0x00000001, "Type", "0x00000001 (Create)"},
        {0x00001410, "Process", "0x00001410 (VM Read, Query Information, Query Limited Information)"},
        {0x00000048, "Thread", "0x00000048 (Get Context, Query Information)"},
        {0x0000000A, "Token", "0x0000000A (Duplicate, Query)"},
        {0x01000003, "Semaphore", "0x01000003 (Query State, Modify State, Access System Security)"},
        {0x80000001, "Timer", "0x80000001 (Query State, Generic Read)"},
        {0x00010001, "NoSuchType", "0x00010001 (Delete, 0x00000001)"},
        {0, "Event", "0x00000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(DescribeAccess(c.mask, c.typeName), c.expected) << c.typeName;
}

}  // namespace
