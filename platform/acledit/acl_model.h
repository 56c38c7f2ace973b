// What the stand-in ACL editor works on: accounts, the entries of one access
// control list, the access rows they show as, and the descriptors built from
// them for the apply callback.
#pragma once

#include <windows.h>

#include <vector>

#include "common/acl_editor_interface.h"

inline constexpr int kAccountNameSize = 256;

struct Account {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    wchar_t name[kAccountNameSize];  // "Domain\Name", "Name", or the SID string when unknown
};

// Names a SID, by its account when the system knows it, else as "S-1-...".
bool AccountFromSid(PSID sid, Account& account);
// Finds the account a user typed: an account name or a SID string.
bool AccountFromName(const wchar_t* typed, Account& account);
// The user this process runs as.
bool CurrentUserAccount(Account& account);

struct AclEntry {
    Account account;
    BYTE aceType;             // ACCESS_ALLOWED_ACE_TYPE, ACCESS_DENIED_ACE_TYPE or SYSTEM_AUDIT_ACE_TYPE
    BYTE inheritFlags;        // the entry's ACE flags, without the audit flags
    ACCESS_MASK mask;         // the access; for an audit entry the rights audited on success
    ACCESS_MASK failureMask;  // audit entries: the rights audited on failure
};

// The editable part of one ACL, and what the editor keeps as it found it.
struct AclContents {
    bool present = false;                       // false: no ACL, or a null one
    std::vector<AclEntry> entries;              // allow and deny entries, or audit entries per account
    std::vector<std::vector<BYTE>> keptEntries;  // entries of other types, written back unchanged
};

// Reads the DACL (allow and deny entries) or the SACL (audit entries, one
// per account and inheritance, success and failure merged). False when the
// descriptor is not valid.
bool ReadDaclContents(PSECURITY_DESCRIPTOR descriptor, AclContents& contents);
bool ReadSaclContents(PSECURITY_DESCRIPTOR descriptor, AclContents& contents);

// Self-relative descriptors for the apply callback: the original's owner and
// group with a new DACL or SACL, or an owner alone. A DACL of contents that is
// not present is written as a null DACL. False when the list is too long for
// an ACL or a system call fails.
bool BuildDaclDescriptor(PSECURITY_DESCRIPTOR original, const AclContents& contents, std::vector<BYTE>& result);
bool BuildSaclDescriptor(PSECURITY_DESCRIPTOR original, const AclContents& contents, std::vector<BYTE>& result);
bool BuildOwnerDescriptor(const Account& owner, std::vector<BYTE>& result);

// The owner a descriptor names, or false when it names none.
bool DescriptorOwner(PSECURITY_DESCRIPTOR descriptor, Account& owner);

// Generic rights replaced by the specific rights that mapping gives them.
ACCESS_MASK MapGenericRights(ACCESS_MASK mask, const GENERIC_MAPPING* mapping);

// Rows of the main list (types 1 and 3), in table order.
bool IsGeneralRow(const SedApplicationAccess& row);
// The main-list row whose access is mask: an exact match first, else one that
// grants the same once generic rights are mapped. -1 when none does.
int FindGeneralRow(const SedApplicationAccesses& accesses, const GENERIC_MAPPING* mapping, ACCESS_MASK mask);
// True when the entry grants every right the row stands for, generic rights mapped.
bool GrantsRow(ACCESS_MASK mask, const SedApplicationAccess& row, const GENERIC_MAPPING* mapping);

// A title without its "&" accelerator marks ("&&" stays one "&").
void StripAccelerator(const wchar_t* title, wchar_t* text, int size);
