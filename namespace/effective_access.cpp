#include "namespace/effective_access.h"

#include "common/enabled_privilege.h"

namespace {

constexpr SECURITY_INFORMATION kPermissionParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr ULONG kFirstDescriptorSize = 1024;
// Two full ACLs and two SIDs fit in far less.
constexpr ULONG kMaxDescriptorSize = 256u << 10;

EffectiveAccess AccessOf(const ExactOpen& open) {
    EffectiveAccess access;
    access.status = open.status;
    access.typeIndex = open.opened ? open.opened.typeIndex : open.refusingRow;
    if (open.opened) QueryGrantedAccess(open.opened.handle.get(), access.granted);
    return access;
}

NTSTATUS ReadDescriptor(HANDLE object, SECURITY_INFORMATION parts, std::vector<BYTE>& descriptor) {
    ULONG size = kFirstDescriptorSize;
    for (;;) {
        descriptor.assign(size, 0);
        ULONG needed = 0;
        const NTSTATUS status = NtQuerySecurityObject(object, parts, descriptor.data(), size, &needed);
        if (status == kStatusSuccess) {
            descriptor.resize(needed != 0 && needed < size ? needed : size);
            return status;
        }
        descriptor.clear();
        if (status != kStatusBufferTooSmall || needed <= size || needed > kMaxDescriptorSize) return status;
        size = needed;
    }
}

// AccessCheck wants an impersonation token: the process's own, as the thread
// gets it by impersonating itself for a moment.
UniqueWin32Handle OwnImpersonationToken() {
    if (!ImpersonateSelf(SecurityImpersonation)) return UniqueWin32Handle();
    HANDLE token = nullptr;
    const BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    RevertToSelf();
    return opened ? UniqueWin32Handle(token) : UniqueWin32Handle();
}

// A handle that may read the SACL, opened as the object's own type: only a
// device may need its Win32 device name, which only the full opener tries.
OpenedObject OpenForAudit(const ObjectName& path, int typeIndex) {
    if (typeIndex == kTypeDevice) return OpenAnyObject(path, kAccessSystemSecurity);
    OpenedObject opened;
    HANDLE handle = nullptr;
    if (OpenObjectByType(typeIndex, path, kAccessSystemSecurity, true, &handle) == kStatusSuccess) {
        opened.handle.reset(handle);
        opened.typeIndex = typeIndex;
    }
    return opened;
}

// The rights the process token's enabled privileges grant of themselves.
ACCESS_MASK PrivilegeRights() {
    UniqueWin32Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return 0;
    ACCESS_MASK rights = 0;
    if (PrivilegeEnabled(token.get(), "SeTakeOwnershipPrivilege")) rights |= WRITE_OWNER;
    if (PrivilegeEnabled(token.get(), "SeSecurityPrivilege")) rights |= ACCESS_SYSTEM_SECURITY;
    return rights;
}

}  // namespace

EffectiveAccess QueryEffectiveAccess(const ObjectName& path) { return AccessOf(OpenAnyObjectExactly(path, MAXIMUM_ALLOWED)); }

DescriptorCheck CheckDescriptorAccess(const BYTE* descriptor, const GENERIC_MAPPING& mapping) {
    DescriptorCheck check;
    auto* given = const_cast<BYTE*>(descriptor);
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL dacl = nullptr;
    PACL sacl = nullptr;
    BOOL present = FALSE;
    BOOL saclPresent = FALSE;
    BOOL defaulted = FALSE;
    if (!IsValidSecurityDescriptor(given) || !GetSecurityDescriptorOwner(given, &owner, &defaulted) ||
        !GetSecurityDescriptorGroup(given, &group, &defaulted) ||
        !GetSecurityDescriptorDacl(given, &present, &dacl, &defaulted) ||
        !GetSecurityDescriptorSacl(given, &saclPresent, &sacl, &defaulted)) {
        check.error = ERROR_INVALID_SECURITY_DESCR;
        return check;
    }
    SID nobody = {SID_REVISION, 1, {SECURITY_NULL_SID_AUTHORITY}, {SECURITY_NULL_RID}};
    SECURITY_DESCRIPTOR completed{};
    PSECURITY_DESCRIPTOR checked = given;
    if (owner == nullptr || group == nullptr) {
        InitializeSecurityDescriptor(&completed, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorOwner(&completed, owner != nullptr ? owner : &nobody, FALSE);
        SetSecurityDescriptorGroup(&completed, group != nullptr ? group : &nobody, FALSE);
        SetSecurityDescriptorDacl(&completed, present, dacl, FALSE);
        SetSecurityDescriptorSacl(&completed, saclPresent, sacl, FALSE);  // a mandatory label counts too
        checked = &completed;
    }
    const UniqueWin32Handle token = OwnImpersonationToken();
    if (!token) {
        check.error = GetLastError();
        return check;
    }
    GENERIC_MAPPING typeMapping = mapping;
    alignas(8) BYTE privileges[512];
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL accessStatus = FALSE;
    if (!AccessCheck(checked, token.get(), MAXIMUM_ALLOWED, &typeMapping, reinterpret_cast<PPRIVILEGE_SET>(privileges),
                     &privilegesSize, &granted, &accessStatus)) {
        check.error = GetLastError();
        return check;
    }
    // A descriptor that grants nothing is an answer too: no right.
    check.done = true;
    check.granted = accessStatus ? granted : 0;
    return check;
}

AccessPicture ReadAccessPicture(const ObjectName& path) {
    AccessPicture picture;
    const ExactOpen open = OpenAnyObjectExactly(path, MAXIMUM_ALLOWED);
    picture.access = AccessOf(open);
    if (!open.opened) return picture;
    picture.privilegeRights = PrivilegeRights();
    HANDLE handle = open.opened.handle.get();
    picture.typeKnown = QueryObjectTypeFigures(handle, picture.type) == kStatusSuccess;

    // The SACL needs a handle that asked for it; otherwise the open above reads the rest.
    const OpenedObject auditable = OpenForAudit(path, open.opened.typeIndex);
    picture.auditOpened = static_cast<bool>(auditable);
    if (auditable)
        picture.saclRead = ReadDescriptor(auditable.handle.get(), kPermissionParts | SACL_SECURITY_INFORMATION,
                                          picture.descriptor) == kStatusSuccess;
    if (picture.saclRead)
        picture.descriptorStatus = kStatusSuccess;
    else if ((picture.access.granted & kReadControl) != 0)
        picture.descriptorStatus = ReadDescriptor(handle, kPermissionParts, picture.descriptor);

    if (picture.descriptorStatus == kStatusSuccess && picture.typeKnown)
        picture.check = CheckDescriptorAccess(picture.descriptor.data(), picture.type.genericMapping);
    return picture;
}
