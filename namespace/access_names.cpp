#include "namespace/access_names.h"

#include <cstdio>
#include <iterator>

namespace {

constexpr NamedRight kDirectoryRights[] = {
    {0x0001, "Query"},
    {0x0002, "Traverse"},
    {0x0004, "Create Object"},
    {0x0008, "Create Subdirectory"},
};
constexpr NamedRight kSymbolicLinkRights[] = {
    {0x0001, "Query"},
    {0x0002, "Set"},  // later systems
};
// Events, semaphores, timers and completion ports name their two rights alike.
constexpr NamedRight kStateRights[] = {
    {0x0001, "Query State"},
    {0x0002, "Modify State"},
};
constexpr NamedRight kMutantRights[] = {
    {0x0001, "Query State"},
};
constexpr NamedRight kSectionRights[] = {
    {0x0001, "Query"},
    {0x0002, "Map Write"},
    {0x0004, "Map Read"},
    {0x0008, "Map Execute"},
    {0x0010, "Extend Size"},
    {0x0020, "Map Execute Explicit"},
};
constexpr NamedRight kKeyRights[] = {
    {0x0001, "Query Value"},
    {0x0002, "Set Value"},
    {0x0004, "Create Subkey"},
    {0x0008, "Enumerate Subkeys"},
    {0x0010, "Notify"},
    {0x0020, "Create Link"},
    {0x0100, "64-bit View"},
    {0x0200, "32-bit View"},
};
constexpr NamedRight kFileRights[] = {
    {0x0001, "Read Data"},
    {0x0002, "Write Data"},
    {0x0004, "Append Data"},
    {0x0008, "Read Extended Attributes"},
    {0x0010, "Write Extended Attributes"},
    {0x0020, "Execute"},
    {0x0040, "Delete Child"},
    {0x0080, "Read Attributes"},
    {0x0100, "Write Attributes"},
};
constexpr NamedRight kJobRights[] = {
    {0x0001, "Assign Process"},
    {0x0002, "Set Attributes"},
    {0x0004, "Query"},
    {0x0008, "Terminate"},
    {0x0010, "Set Security Attributes"},
    {0x0020, "Impersonate"},
};
constexpr NamedRight kTypeRights[] = {
    {0x0001, "Create"},
};
constexpr NamedRight kProcessRights[] = {
    {0x0001, "Terminate"},
    {0x0002, "Create Thread"},
    {0x0004, "Set Session Id"},
    {0x0008, "VM Operation"},
    {0x0010, "VM Read"},
    {0x0020, "VM Write"},
    {0x0040, "Duplicate Handle"},
    {0x0080, "Create Process"},
    {0x0100, "Set Quota"},
    {0x0200, "Set Information"},
    {0x0400, "Query Information"},
    {0x0800, "Suspend/Resume"},
    {0x1000, "Query Limited Information"},
    {0x2000, "Set Limited Information"},
};
constexpr NamedRight kThreadRights[] = {
    {0x0001, "Terminate"},
    {0x0002, "Suspend/Resume"},
    {0x0004, "Alert"},
    {0x0008, "Get Context"},
    {0x0010, "Set Context"},
    {0x0020, "Set Information"},
    {0x0040, "Query Information"},
    {0x0080, "Set Thread Token"},
    {0x0100, "Impersonate"},
    {0x0200, "Direct Impersonation"},
    {0x0400, "Set Limited Information"},
    {0x0800, "Query Limited Information"},
    {0x1000, "Resume"},
};
constexpr NamedRight kTokenRights[] = {
    {0x0001, "Assign Primary"},
    {0x0002, "Duplicate"},
    {0x0004, "Impersonate"},
    {0x0008, "Query"},
    {0x0010, "Query Source"},
    {0x0020, "Adjust Privileges"},
    {0x0040, "Adjust Groups"},
    {0x0080, "Adjust Default"},
    {0x0100, "Adjust Session Id"},
};
constexpr NamedRight kKeyedEventRights[] = {
    {0x0001, "Wait"},
    {0x0002, "Wake"},
};
constexpr NamedRight kPortRights[] = {
    {0x0001, "Connect"},
};

constexpr NamedRight kStandardRights[] = {
    {0x00010000, "Delete"},
    {0x00020000, "Read Control"},
    {0x00040000, "Change Permissions"},
    {0x00080000, "Change Owner"},
    {0x00100000, "Synchronize"},
    {0x01000000, "Access System Security"},
    {0x02000000, "Maximum Allowed"},
    {0x10000000, "Generic All"},
    {0x20000000, "Generic Execute"},
    {0x40000000, "Generic Write"},
    {0x80000000, "Generic Read"},
};

struct TypeRightsRow {
    const char* typeName;
    std::span<const NamedRight> rights;
};
constexpr TypeRightsRow kTypeRightsTable[] = {
    {"Directory", kDirectoryRights},
    {"SymbolicLink", kSymbolicLinkRights},
    {"Event", kStateRights},
    {"Mutant", kMutantRights},
    {"Semaphore", kStateRights},
    {"Timer", kStateRights},
    {"Section", kSectionRights},
    {"Key", kKeyRights},
    {"File", kFileRights},
    {"Device", kFileRights},
    {"Job", kJobRights},
    {"IoCompletion", kStateRights},
    {"Type", kTypeRights},
    {"Process", kProcessRights},
    {"Thread", kThreadRights},
    {"Token", kTokenRights},
    {"KeyedEvent", kKeyedEventRights},
    {"Port", kPortRights},
    {"ALPC Port", kPortRights},
    {"WaitablePort", kPortRights},
};

void AppendNames(ACCESS_MASK mask, std::span<const NamedRight> rights, std::string& text, ACCESS_MASK& named) {
    for (const NamedRight& right : rights) {
        if ((mask & right.mask) != right.mask) continue;
        if (!text.empty()) text += ", ";
        text += right.name;
        named |= right.mask;
    }
}

}  // namespace

std::span<const NamedRight> SpecificRightsOf(std::string_view typeName) {
    for (const TypeRightsRow& row : kTypeRightsTable) {
        if (typeName == row.typeName) return row.rights;
    }
    return {};
}

std::span<const NamedRight> StandardRights() { return kStandardRights; }

std::string FormatAccessMask(ACCESS_MASK mask) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(mask));
    return text;
}

std::string NameRights(ACCESS_MASK mask, std::string_view typeName) {
    std::string text;
    ACCESS_MASK named = 0;
    AppendNames(mask, SpecificRightsOf(typeName), text, named);
    AppendNames(mask, kStandardRights, text, named);
    if (const ACCESS_MASK rest = mask & ~named) text += (text.empty() ? "" : ", ") + FormatAccessMask(rest);
    return text;
}

std::string DescribeAccess(ACCESS_MASK mask, std::string_view typeName) {
    const std::string hex = FormatAccessMask(mask);
    return mask == 0 ? hex : hex + " (" + NameRights(mask, typeName) + ")";
}
