#include "namespace/effective_access.h"

#include "common/enabled_privilege.h"
#include "namespace/visible_name.h"

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
    access.typeName = ObjectTypeName(access.typeIndex);
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

// A handle that may read the SACL, opened as the object's own row: only a
// device may need its Win32 device name, which only the full opener tries.
UniqueNtHandle OpenPathForAudit(const ObjectName& path, int typeIndex) {
    if (typeIndex == kTypeDevice) {
        OpenedObject opened = OpenAnyObject(path, kAccessSystemSecurity);
        return opened.typeIndex == kTypeDevice ? std::move(opened.handle) : UniqueNtHandle();
    }
    HANDLE handle = nullptr;
    OpenObjectByType(typeIndex, path, kAccessSystemSecurity, true, &handle);
    return UniqueNtHandle(handle);
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

ObjectPlace ObjectPlace::ByPath(const ObjectName& path) {
    ObjectPlace place;
    place.path_ = path;
    return place;
}

ObjectPlace ObjectPlace::ByExactPath(std::wstring_view path, int typeIndex) {
    ObjectPlace place;
    place.name_ = CountedView(path);
    place.typeIndex_ = typeIndex;
    return place;
}

ObjectPlace ObjectPlace::ByEntry(const DirectoryReader& entry) {
    ObjectPlace place;
    place.typeIndex_ = ObjectTypeRowOf(entry.TypeName());
    if (place.typeIndex_ == kTypeNotOpened) place.otherType_ = OtherTypeNamed(entry.TypeName());
    const OBJECT_ATTRIBUTES attributes = entry.EntryAttributes(place.name_);
    place.directory_ = attributes.RootDirectory;
    return place;
}

OBJECT_ATTRIBUTES ObjectPlace::Attributes(UNICODE_STRING& name) const {
    name = name_;
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(&name);
    attributes.RootDirectory = directory_;
    return attributes;
}

ExactOpen ObjectPlace::Open(ACCESS_MASK access) const {
    if (path_.path != nullptr) return OpenAnyObjectExactly(path_, access);
    ExactOpen result;
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes = Attributes(name);
    HANDLE handle = nullptr;
    result.status = typeIndex_ == kTypeNotOpened ? kStatusObjectTypeMismatch
                                                  : OpenObjectExactlyWith(typeIndex_, attributes, access, &handle);
    if (result.status == kStatusSuccess) {
        result.opened.handle.reset(handle);
        result.opened.typeIndex = typeIndex_;
    } else if (result.status == kStatusAccessDenied) {
        result.refusingRow = typeIndex_;
    }
    return result;
}

OtherTypeOpen ObjectPlace::OpenAsOtherType(ACCESS_MASK access) const {
    if (path_.path != nullptr) return OpenAsSomeOtherType(path_, access);
    OtherTypeOpen result;
    if (otherType_ == nullptr) return result;
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes = Attributes(name);
    HANDLE handle = nullptr;
    result.status = ::OpenAsOtherType(*otherType_, attributes, access, &handle);
    result.handle.reset(handle);
    result.type = otherType_;
    return result;
}

UniqueNtHandle ObjectPlace::OpenForAudit(int typeIndex, const OtherType* other) const {
    const ACCESS_MASK access = kAccessSystemSecurity | kReadControl;
    HANDLE handle = nullptr;
    if (other != nullptr && path_.path != nullptr) {
        ::OpenAsOtherType(*other, path_, access, &handle);
        return UniqueNtHandle(handle);
    }
    if (path_.path != nullptr) return OpenPathForAudit(path_, typeIndex);
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes = Attributes(name);
    if (other != nullptr)
        ::OpenAsOtherType(*other, attributes, access, &handle);
    else
        OpenObjectByTypeWith(typeIndex, attributes, kAccessSystemSecurity, true, &handle);
    return UniqueNtHandle(handle);
}

SecurityFacts ReadSecurityFacts(const ObjectPlace& place, bool tryAudit) {
    SecurityFacts facts;
    ExactOpen open = place.Open(MAXIMUM_ALLOWED);
    facts.access = AccessOf(open);
    const OtherType* other = nullptr;
    if (open.opened) {
        facts.handle = std::move(open.opened.handle);
    } else if (open.refusingRow == kTypeNotOpened) {
        // No row's service found the object: it may be of a type with a service of its own.
        OtherTypeOpen byOwnType = place.OpenAsOtherType(MAXIMUM_ALLOWED);
        if (byOwnType.type == nullptr) return facts;
        other = byOwnType.type;
        facts.access.status = byOwnType.status;
        facts.access.typeName = other->typeName;
        facts.handle = std::move(byOwnType.handle);
        if (facts.handle) QueryGrantedAccess(facts.handle.get(), facts.access.granted);
    }
    if (!facts.handle) return facts;
    // The SACL needs a handle that asked for it; otherwise the open above reads the rest.
    if (tryAudit) {
        const UniqueNtHandle auditable = place.OpenForAudit(facts.access.typeIndex, other);
        facts.auditOpened = static_cast<bool>(auditable);
        if (auditable)
            facts.saclRead = ReadDescriptor(auditable.get(), kPermissionParts | SACL_SECURITY_INFORMATION,
                                            facts.descriptor) == kStatusSuccess;
    }
    if (facts.saclRead)
        facts.descriptorStatus = kStatusSuccess;
    else if ((facts.access.granted & kReadControl) != 0)
        facts.descriptorStatus = ReadDescriptor(facts.handle.get(), kPermissionParts, facts.descriptor);
    return facts;
}

bool MayReadSacls() { return (PrivilegeRights() & ACCESS_SYSTEM_SECURITY) != 0; }

AccessPicture ReadAccessPicture(const ObjectName& path) {
    AccessPicture picture;
    SecurityFacts facts = ReadSecurityFacts(ObjectPlace::ByPath(path), true);
    picture.access = facts.access;
    if (!facts.handle) return picture;
    picture.privilegeRights = PrivilegeRights();
    picture.typeKnown = QueryObjectTypeFigures(facts.handle.get(), picture.type) == kStatusSuccess;
    picture.descriptorStatus = facts.descriptorStatus;
    picture.descriptor = std::move(facts.descriptor);
    picture.auditOpened = facts.auditOpened;
    picture.saclRead = facts.saclRead;
    if (picture.descriptorStatus == kStatusSuccess && picture.typeKnown)
        picture.check = CheckDescriptorAccess(picture.descriptor.data(), picture.type.genericMapping);
    return picture;
}
