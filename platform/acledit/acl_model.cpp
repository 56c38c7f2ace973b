#include "platform/acledit/acl_model.h"

#include <sddl.h>

#include <algorithm>
#include <cwchar>
#include <memory>

namespace {

constexpr BYTE kAuditFlags = SUCCESSFUL_ACCESS_ACE_FLAG | FAILED_ACCESS_ACE_FLAG;
constexpr DWORD kLargestAcl = 0xFFFC;  // an ACL's size is a 16-bit count of whole DWORDs

struct LocalText {
    void operator()(void* text) const { LocalFree(text); }
};

// The entry types this editor lists; every other type is kept as found.
bool IsListedType(BYTE type, bool sacl) {
    if (sacl) return type == SYSTEM_AUDIT_ACE_TYPE;
    return type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_DENIED_ACE_TYPE;
}

// Allow, deny and audit entries share one layout: header, mask, SID.
const ACCESS_ALLOWED_ACE* AsSimpleAce(const ACE_HEADER* header) {
    return reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
}

PSID SidOf(const ACCESS_ALLOWED_ACE* ace) { return const_cast<DWORD*>(&ace->SidStart); }

AclEntry* FindAuditEntry(AclContents& contents, PSID sid, BYTE inheritFlags) {
    for (AclEntry& entry : contents.entries) {
        if (entry.inheritFlags == inheritFlags && EqualSid(entry.account.sid, sid)) return &entry;
    }
    return nullptr;
}

bool AddListedAce(AclContents& contents, const ACE_HEADER* header, bool sacl) {
    const ACCESS_ALLOWED_ACE* ace = AsSimpleAce(header);
    const BYTE inheritFlags = static_cast<BYTE>(header->AceFlags & ~kAuditFlags);
    if (sacl) {
        AclEntry* existing = FindAuditEntry(contents, SidOf(ace), inheritFlags);
        if (existing == nullptr) {
            AclEntry entry = {};
            if (!AccountFromSid(SidOf(ace), entry.account)) return false;
            entry.aceType = SYSTEM_AUDIT_ACE_TYPE;
            entry.inheritFlags = inheritFlags;
            contents.entries.push_back(entry);
            existing = &contents.entries.back();
        }
        if (header->AceFlags & SUCCESSFUL_ACCESS_ACE_FLAG) existing->mask |= ace->Mask;
        if (header->AceFlags & FAILED_ACCESS_ACE_FLAG) existing->failureMask |= ace->Mask;
        return true;
    }
    AclEntry entry = {};
    if (!AccountFromSid(SidOf(ace), entry.account)) return false;
    entry.aceType = header->AceType;
    entry.inheritFlags = header->AceFlags;
    entry.mask = ace->Mask;
    contents.entries.push_back(entry);
    return true;
}

bool ReadContents(PSECURITY_DESCRIPTOR descriptor, bool sacl, AclContents& contents) {
    contents = AclContents{};
    if (descriptor == nullptr || !IsValidSecurityDescriptor(descriptor)) return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    const BOOL read = sacl ? GetSecurityDescriptorSacl(descriptor, &present, &acl, &defaulted)
                           : GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
    if (!read) return false;
    contents.present = present && acl != nullptr;
    if (!contents.present) return true;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (IsListedType(header->AceType, sacl)) {
            if (!AddListedAce(contents, header, sacl)) return false;
        } else {
            const BYTE* bytes = static_cast<const BYTE*>(ace);
            contents.keptEntries.emplace_back(bytes, bytes + header->AceSize);
        }
    }
    return true;
}

// Deny before allow, and explicit entries before inherited ones, as access
// checks expect; the order within each group is the user's.
int CanonicalRank(const AclEntry& entry) {
    const int inherited = (entry.inheritFlags & INHERITED_ACE) != 0 ? 2 : 0;
    return inherited + (entry.aceType == ACCESS_DENIED_ACE_TYPE ? 0 : 1);
}

DWORD SimpleAceSize(const AclEntry& entry) {
    return sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(const_cast<BYTE*>(entry.account.sid));
}

// How many audit entries one account's success and failure rights need.
int AuditAceCount(const AclEntry& entry) {
    if (entry.mask == entry.failureMask) return entry.mask != 0 ? 1 : 0;
    return (entry.mask != 0 ? 1 : 0) + (entry.failureMask != 0 ? 1 : 0);
}

DWORD AclSize(const AclContents& contents, bool sacl) {
    DWORD size = sizeof(ACL);
    for (const AclEntry& entry : contents.entries)
        size += SimpleAceSize(entry) * static_cast<DWORD>(sacl ? AuditAceCount(entry) : 1);
    for (const std::vector<BYTE>& kept : contents.keptEntries) size += static_cast<DWORD>(kept.size());
    return size;
}

bool AddDaclEntries(PACL acl, const AclContents& contents) {
    std::vector<const AclEntry*> ordered;
    for (const AclEntry& entry : contents.entries) ordered.push_back(&entry);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const AclEntry* a, const AclEntry* b) { return CanonicalRank(*a) < CanonicalRank(*b); });
    for (const AclEntry* entry : ordered) {
        PSID sid = const_cast<BYTE*>(entry->account.sid);
        const BOOL added = entry->aceType == ACCESS_DENIED_ACE_TYPE
                               ? AddAccessDeniedAceEx(acl, ACL_REVISION, entry->inheritFlags, entry->mask, sid)
                               : AddAccessAllowedAceEx(acl, ACL_REVISION, entry->inheritFlags, entry->mask, sid);
        if (!added) return false;
    }
    return true;
}

// One audit entry; nothing to add when no right is audited.
bool AddAudit(PACL acl, const AclEntry& entry, ACCESS_MASK mask, BOOL success, BOOL failure) {
    if (mask == 0) return true;
    PSID sid = const_cast<BYTE*>(entry.account.sid);
    return AddAuditAccessAceEx(acl, ACL_REVISION, entry.inheritFlags, mask, sid, success, failure) != FALSE;
}

// The same rights audited on success and failure make one entry; different rights make two.
bool AddSaclEntries(PACL acl, const AclContents& contents) {
    for (const AclEntry& entry : contents.entries) {
        const bool added = entry.mask == entry.failureMask
                               ? AddAudit(acl, entry, entry.mask, TRUE, TRUE)
                               : AddAudit(acl, entry, entry.mask, TRUE, FALSE) &&
                                     AddAudit(acl, entry, entry.failureMask, FALSE, TRUE);
        if (!added) return false;
    }
    return true;
}

bool AddKeptEntries(PACL acl, const AclContents& contents) {
    for (const std::vector<BYTE>& kept : contents.keptEntries) {
        if (!AddAce(acl, ACL_REVISION, MAXDWORD, const_cast<BYTE*>(kept.data()), static_cast<DWORD>(kept.size())))
            return false;
    }
    return true;
}

bool MakeSelfRelative(PSECURITY_DESCRIPTOR absolute, std::vector<BYTE>& result) {
    DWORD length = 0;
    MakeSelfRelativeSD(absolute, nullptr, &length);
    if (length == 0) return false;
    result.assign(length, 0);
    return MakeSelfRelativeSD(absolute, result.data(), &length) != FALSE;
}

// Copies the original's owner and group into a new absolute descriptor; the
// pointers stay valid while the original does.
bool StartFromOriginal(PSECURITY_DESCRIPTOR original, SECURITY_DESCRIPTOR& descriptor) {
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return false;
    PSID owner = nullptr;
    PSID group = nullptr;
    BOOL defaulted = FALSE;
    if (GetSecurityDescriptorOwner(original, &owner, &defaulted) && owner != nullptr)
        SetSecurityDescriptorOwner(&descriptor, owner, FALSE);
    if (GetSecurityDescriptorGroup(original, &group, &defaulted) && group != nullptr)
        SetSecurityDescriptorGroup(&descriptor, group, FALSE);
    return true;
}

// Keeps the protection from inherited entries that the original ACL had.
void KeepProtection(PSECURITY_DESCRIPTOR original, SECURITY_DESCRIPTOR& descriptor, bool sacl) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(original, &control, &revision)) return;
    const SECURITY_DESCRIPTOR_CONTROL bit = sacl ? SE_SACL_PROTECTED : SE_DACL_PROTECTED;
    SetSecurityDescriptorControl(&descriptor, bit, control & bit);
}

bool BuildAclDescriptor(PSECURITY_DESCRIPTOR original, const AclContents& contents, bool sacl,
                        std::vector<BYTE>& result) {
    if (original == nullptr || !IsValidSecurityDescriptor(original)) return false;
    SECURITY_DESCRIPTOR descriptor;
    if (!StartFromOriginal(original, descriptor)) return false;
    KeepProtection(original, descriptor, sacl);

    std::vector<DWORD> aclBuffer;
    PACL acl = nullptr;
    if (contents.present || !contents.entries.empty() || sacl) {
        const DWORD size = AclSize(contents, sacl);
        if (size > kLargestAcl) return false;
        aclBuffer.assign((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
        acl = reinterpret_cast<PACL>(aclBuffer.data());
        if (!InitializeAcl(acl, size, ACL_REVISION)) return false;
        const bool added = sacl ? AddSaclEntries(acl, contents) : AddDaclEntries(acl, contents);
        if (!added || !AddKeptEntries(acl, contents)) return false;
    }
    const BOOL set = sacl ? SetSecurityDescriptorSacl(&descriptor, TRUE, acl, FALSE)
                          : SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    return set && MakeSelfRelative(&descriptor, result);
}

}  // namespace

bool AccountFromSid(PSID sid, Account& account) {
    account = Account{};
    if (sid == nullptr || !IsValidSid(sid) || !CopySid(sizeof account.sid, account.sid, sid)) return false;
    wchar_t name[kAccountNameSize];
    wchar_t domain[kAccountNameSize];
    DWORD nameLength = kAccountNameSize;
    DWORD domainLength = kAccountNameSize;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
        if (domain[0] != L'\0')
            std::swprintf(account.name, kAccountNameSize, L"%ls\\%ls", domain, name);
        else
            std::swprintf(account.name, kAccountNameSize, L"%ls", name);
        return true;
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return false;
    std::unique_ptr<wchar_t, LocalText> owner(text);
    std::swprintf(account.name, kAccountNameSize, L"%ls", text);
    return true;
}

bool AccountFromName(const wchar_t* typed, Account& account) {
    if (typed == nullptr || typed[0] == L'\0') return false;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidLength = sizeof sid;
    wchar_t domain[kAccountNameSize];
    DWORD domainLength = kAccountNameSize;
    SID_NAME_USE use;
    if (LookupAccountNameW(nullptr, typed, sid, &sidLength, domain, &domainLength, &use))
        return AccountFromSid(sid, account);
    PSID converted = nullptr;
    if (!ConvertStringSidToSidW(typed, &converted)) return false;
    std::unique_ptr<void, LocalText> owner(converted);
    return AccountFromSid(converted, account);
}

bool CurrentUserAccount(Account& account) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    alignas(8) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    const BOOL read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length);
    CloseHandle(token);
    return read && AccountFromSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, account);
}

bool ReadDaclContents(PSECURITY_DESCRIPTOR descriptor, AclContents& contents) {
    return ReadContents(descriptor, false, contents);
}

bool ReadSaclContents(PSECURITY_DESCRIPTOR descriptor, AclContents& contents) {
    return ReadContents(descriptor, true, contents);
}

bool BuildDaclDescriptor(PSECURITY_DESCRIPTOR original, const AclContents& contents, std::vector<BYTE>& result) {
    return BuildAclDescriptor(original, contents, false, result);
}

bool BuildSaclDescriptor(PSECURITY_DESCRIPTOR original, const AclContents& contents, std::vector<BYTE>& result) {
    return BuildAclDescriptor(original, contents, true, result);
}

bool BuildOwnerDescriptor(const Account& owner, std::vector<BYTE>& result) {
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return false;
    if (!SetSecurityDescriptorOwner(&descriptor, const_cast<BYTE*>(owner.sid), FALSE)) return false;
    return MakeSelfRelative(&descriptor, result);
}

bool DescriptorOwner(PSECURITY_DESCRIPTOR descriptor, Account& owner) {
    PSID sid = nullptr;
    BOOL defaulted = FALSE;
    if (descriptor == nullptr || !GetSecurityDescriptorOwner(descriptor, &sid, &defaulted) || sid == nullptr)
        return false;
    return AccountFromSid(sid, owner);
}

ACCESS_MASK MapGenericRights(ACCESS_MASK mask, const GENERIC_MAPPING* mapping) {
    if (mapping == nullptr) return mask;
    GENERIC_MAPPING copy = *mapping;
    MapGenericMask(&mask, &copy);
    return mask;
}

bool IsGeneralRow(const SedApplicationAccess& row) {
    return row.type == kSedGeneralAccess || row.type == kSedContainerGeneralAccess;
}

int FindGeneralRow(const SedApplicationAccesses& accesses, const GENERIC_MAPPING* mapping, ACCESS_MASK mask) {
    if (accesses.accessGroup == nullptr) return -1;
    for (ULONG i = 0; i < accesses.count; ++i) {
        const SedApplicationAccess& row = accesses.accessGroup[i];
        if (IsGeneralRow(row) && row.accessMask1 == mask) return static_cast<int>(i);
    }
    const ACCESS_MASK mapped = MapGenericRights(mask, mapping);
    for (ULONG i = 0; i < accesses.count; ++i) {
        const SedApplicationAccess& row = accesses.accessGroup[i];
        if (IsGeneralRow(row) && MapGenericRights(row.accessMask1, mapping) == mapped) return static_cast<int>(i);
    }
    return -1;
}

bool GrantsRow(ACCESS_MASK mask, const SedApplicationAccess& row, const GENERIC_MAPPING* mapping) {
    const ACCESS_MASK rights = MapGenericRights(row.accessMask1, mapping);
    return rights != 0 && (MapGenericRights(mask, mapping) & rights) == rights;
}

void StripAccelerator(const wchar_t* title, wchar_t* text, int size) {
    if (size <= 0) return;
    int length = 0;
    for (const wchar_t* c = title != nullptr ? title : L""; *c != L'\0' && length < size - 1; ++c) {
        if (*c == L'&') {
            if (c[1] != L'&') continue;
            ++c;
        }
        text[length++] = *c;
    }
    text[length] = L'\0';
}
