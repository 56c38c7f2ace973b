// The constant data the Security page hands to the ACL editor: the access
// tables, the generic mappings and the help record.
#pragma once

#include <windows.h>

#include <iterator>

#include "common/acl_editor_interface.h"

namespace access_tables {

inline constexpr ACCESS_MASK kGenericRead = 0x80000000;
inline constexpr ACCESS_MASK kGenericWrite = 0x40000000;
inline constexpr ACCESS_MASK kGenericExecute = 0x20000000;
inline constexpr ACCESS_MASK kGenericAll = 0x10000000;
inline constexpr ACCESS_MASK kAccessSystemSecurity = 0x01000000;
inline constexpr ACCESS_MASK kSynchronize = 0x00100000;
inline constexpr ACCESS_MASK kWriteOwner = 0x00080000;
inline constexpr ACCESS_MASK kWriteDac = 0x00040000;
inline constexpr ACCESS_MASK kReadControl = 0x00020000;
inline constexpr ACCESS_MASK kDelete = 0x00010000;
inline constexpr ACCESS_MASK kSpecific1 = 0x00000001;
inline constexpr ACCESS_MASK kSpecific2 = 0x00000002;

// Row types, short so that each row reads like a line of the table.
inline constexpr ULONG kGeneral = kSedGeneralAccess;
inline constexpr ULONG kSpecial = kSedSpecialAccess;
inline constexpr ULONG kContainer = kSedContainerGeneralAccess;
inline constexpr ULONG kNewObject = kSedNewObjectSpecialAccess;
inline constexpr ULONG kAudit = kSedAuditAccess;
inline constexpr ACCESS_MASK kUnspecified = kSedNewObjectAccessUnspecified;

// Symbolic links, mutants, sections, events, semaphores and timers.
inline constexpr SedApplicationAccess OtherObjectAccesses[] = {
    {kSpecial, kGenericRead, 0, L"&Read (R)"},
    {kSpecial, kGenericWrite, 0, L"&Write (W)"},
    {kSpecial, kGenericExecute, 0, L"E&xecute (X)"},
    {kSpecial, kAccessSystemSecurity, 0, L"&View/Change Audits (A)"},
    {kSpecial, kDelete, 0, L"&Delete (D)"},
    {kSpecial, kWriteDac, 0, L"Change &Permissions (P)"},
    {kSpecial, kWriteOwner, 0, L"Change &Owner (O)"},
    {kSpecial, kSynchronize, 0, L"&Synchronize (S)"},
    {kSpecial, kSpecific1, 0, L"&Query State (Q)"},
    {kSpecial, kSpecific2, 0, L"&Modify State (M)"},
    {kGeneral, 0, 0, L"No Access"},
    {kGeneral, kGenericAll, 0, L"Full Control"},
};

inline constexpr SedApplicationAccess DirectoryAccesses[] = {
    {kSpecial, kGenericRead, 0, L"&Read (R)"},
    {kSpecial, kGenericWrite, 0, L"&Write (W)"},
    {kSpecial, kGenericExecute, 0, L"E&xecute (X)"},
    {kSpecial, kAccessSystemSecurity, 0, L"&View/Change Audits (A)"},
    {kSpecial, kDelete, 0, L"&Delete (D)"},
    {kSpecial, kWriteDac, 0, L"Change &Permissions (P)"},
    {kSpecial, kWriteOwner, 0, L"Take &Ownership (O)"},
    {kSpecial, kSpecific1, 0, L"&List (L)"},
    {kSpecial, kSpecific2, 0, L"Add &Entry (N)"},
    {kSpecial, kReadControl, 0, L"Read &Control (T)"},
    {kContainer, 0, 0, L"No Access"},
    {kContainer, kReadControl | kSpecific1, kUnspecified, L"List"},
    {kContainer, kGenericRead | kGenericExecute, kGenericRead | kGenericExecute, L"Read"},
    {kContainer, kGenericWrite | kGenericExecute, kUnspecified, L"Add"},
    {kContainer, kGenericRead | kGenericWrite | kGenericExecute, kGenericRead | kGenericExecute, L"Add Read"},
    {kContainer, kGenericRead | kGenericWrite | kGenericExecute | kDelete,
     kGenericRead | kGenericWrite | kGenericExecute | kDelete, L"Change"},
    {kContainer, kGenericAll, kGenericAll, L"Full Control"},
    {kNewObject, kGenericRead, 0, L"Read"},
    {kNewObject, kGenericWrite, 0, L"Write"},
    {kNewObject, kDelete, 0, L"Delete (D)"},
    {kNewObject, kWriteDac, 0, L"Change Permissions (P)"},
    {kNewObject, kWriteOwner, 0, L"Take Ownership (O)"},
};

// Device objects, those opened through the device-name fallback included.
inline constexpr SedApplicationAccess DeviceAccesses[] = {
    {kSpecial, kDelete, 0, L"&Delete (D)"},
    {kSpecial, kWriteDac, 0, L"Change &Permissions (P)"},
    {kSpecial, kWriteOwner, 0, L"Take &Ownership (O)"},
    {kSpecial, kAccessSystemSecurity, 0, L"&View/Change Audits (A)"},
    {kSpecial, kReadControl, 0, L"&Read (R)"},
    {kSpecial, kSpecific2, 0, L"&Write (W)"},
    {kGeneral, 0, 0, L"No Access"},
    {kGeneral, kGenericRead, 0, L"Read"},
    {kGeneral, kGenericWrite, 0, L"Write"},
    {kGeneral, kGenericRead | kGenericWrite | kGenericExecute | kDelete, 0, L"Change"},
    {kGeneral, kGenericAll, 0, L"Full Control"},
};

// Registry keys: 0x1 query value, 0x2 set value, 0x4 create subkey,
// 0x8 enumerate subkeys, 0x10 notify, 0x20 create link.
inline constexpr SedApplicationAccess KeyAccesses[] = {
    {kSpecial, 0x00000001, 0, L"&Query Value"},
    {kSpecial, 0x00000002, 0, L"&Set Value"},
    {kSpecial, 0x00000004, 0, L"&Create Subkeys"},
    {kSpecial, 0x00000008, 0, L"&Enumerate Subkeys"},
    {kSpecial, 0x00000010, 0, L"No&tify"},
    {kSpecial, 0x00000020, 0, L"Create &Link"},
    {kSpecial, kDelete, 0, L"&Delete"},
    {kSpecial, kWriteDac, 0, L"&Write DAC"},
    {kSpecial, kWriteOwner, 0, L"Write &Owner"},
    {kSpecial, kReadControl, 0, L"&Read Control"},
    {kGeneral, 0x00002019, 0, L"Read"},  // 0x2000 with notify, enumerate, query; no READ_CONTROL
    {kGeneral, kGenericAll, 0, L"Full Control"},
};

// The auditing editor's table, whatever the object's kind.
inline constexpr SedApplicationAccess AuditAccesses[] = {
    {kAudit, kReadControl, 0, L"&Read (R)"},
    {kAudit, kSynchronize, 0, L"&Sychronize (S)"},
    {kAudit, kDelete, 0, L"&Delete (D)"},
    {kAudit, kWriteDac, 0, L"Change &Permissions (P)"},
    {kAudit, kWriteOwner, 0, L"Change &Owner (O)"},
    {kAudit, kSpecific1, 0, L"&Query State (Q)"},
    {kAudit, kSpecific2, 0, L"&Modify State (M)"},
};

}  // namespace access_tables

using access_tables::OtherObjectAccesses;
using access_tables::DirectoryAccesses;
using access_tables::DeviceAccesses;
using access_tables::KeyAccesses;
using access_tables::AuditAccesses;

static_assert(std::size(OtherObjectAccesses) == 12);
static_assert(std::size(DirectoryAccesses) == 22);
static_assert(std::size(DeviceAccesses) == 11);
static_assert(std::size(KeyAccesses) == 12);
static_assert(std::size(AuditAccesses) == 7);

// Read, write, execute, all: those of files for every kind but Key.
inline constexpr GENERIC_MAPPING ObjectGenericMapping = {0x00120089, 0x00120116, 0x001200A0, 0x001F01FF};
// KEY_READ with SYNCHRONIZE, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS.
inline constexpr GENERIC_MAPPING KeyGenericMapping = {0x00120019, 0x00020006, 0x00020019, 0x000F003F};

inline constexpr SedHelpInfo SecurityHelpInfo = {L"Tarnel.hlp", {1, 1, 0}};
