#include "properties/right_names.h"

#include <cstdio>

#include "namespace/object_opener.h"

SecurityObjectKind KindOfTypeRow(int typeRow) {
    switch (typeRow) {
    case kTypeDirectory:
        return SecurityObjectKind::Directory;
    case kTypeKey:
        return SecurityObjectKind::Key;
    case kTypeDevice:
        return SecurityObjectKind::Device;
    default:
        return SecurityObjectKind::Other;
    }
}

std::string RightName(const wchar_t* title) {
    std::string name;
    for (const wchar_t* c = title; *c != L'\0'; ++c) {
        if (*c != L'&') name += static_cast<char>(*c < 0x80 ? *c : L'?');
    }
    const std::size_t open = name.rfind(" (");
    if (open != std::string::npos && !name.empty() && name.back() == ')') name.erase(open);
    return name;
}

std::string FormatAccessMask(ACCESS_MASK mask) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(mask));
    return text;
}

std::string DescribeAccess(ACCESS_MASK granted, int typeRow) {
    std::string words;
    const SedApplicationAccesses table = PermissionAccessesFor(KindOfTypeRow(typeRow));
    for (ULONG i = 0; i < table.count; ++i) {
        const SedApplicationAccess& row = table.accessGroup[i];
        if (row.type != kSedSpecialAccess || row.accessMask1 == 0 || (granted & row.accessMask1) != row.accessMask1)
            continue;
        if (!words.empty()) words += ", ";
        words += RightName(row.permissionTitle);
    }
    const std::string hex = FormatAccessMask(granted);
    return words.empty() ? hex : hex + " (" + words + ")";
}
