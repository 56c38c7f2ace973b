// What the account running the program may do with an object: the rights an
// open asking for MAXIMUM_ALLOWED is granted, computed by the system itself,
// and an access check of the account's own token against the object's
// descriptor, which says how much of that the DACL grants.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "namespace/directory_walk.h"
#include "namespace/native_services.h"
#include "namespace/object_opener.h"
#include "namespace/other_type_open.h"
#include "namespace/type_information.h"

struct EffectiveAccess {
    NTSTATUS status = kStatusSuccess;  // the open's; kStatusAccessDenied when the object grants nothing
    int typeIndex = kTypeNotOpened;    // the row that opened the object, or refused it
    const char* typeName = nullptr;    // that row's type, or the other type whose service did; null: none
    ACCESS_MASK granted = 0;           // 0 unless the open succeeded
};

// Opens path with MAXIMUM_ALLOWED by the property sheet's opener, reads the
// granted mask from the handle's basic information and closes the handle.
EffectiveAccess QueryEffectiveAccess(const ObjectName& path);

// Where an object is: by its path, tried as each type the property sheet
// opens and then as each other type with an open service of its own; or as
// one row's type, by an exact UTF-16 path; or as the entry a directory reader
// is on, by its own name in that directory, which reaches names no ANSI path
// carries. A place holds no copy of the name: the path or the reader must
// outlive it, and the reader must stay on the entry.
class ObjectPlace {
public:
    static ObjectPlace ByPath(const ObjectName& path);
    static ObjectPlace ByExactPath(std::wstring_view path, int typeIndex);
    // As the type the directory lists; an entry of a type that neither a row
    // nor a service of its own opens opens nothing.
    static ObjectPlace ByEntry(const DirectoryReader& entry);

    // Opens with exactly access as one of the rows.
    ExactOpen Open(ACCESS_MASK access) const;
    // Opens with exactly access as a type outside the rows: the entry's own,
    // or for a path the first whose service finds the object.
    OtherTypeOpen OpenAsOtherType(ACCESS_MASK access) const;
    // A handle that may read the SACL: ACCESS_SYSTEM_SECURITY and READ_CONTROL,
    // as the row typeIndex, or as other where it is set.
    UniqueNtHandle OpenForAudit(int typeIndex, const OtherType* other) const;

private:
    OBJECT_ATTRIBUTES Attributes(UNICODE_STRING& name) const;

    ObjectName path_;  // by path where it is set
    HANDLE directory_ = nullptr;
    UNICODE_STRING name_{};
    int typeIndex_ = kTypeNotOpened;
    const OtherType* otherType_ = nullptr;  // an entry's type outside the rows
};

// What one open asking for MAXIMUM_ALLOWED is granted, and the descriptor as
// far as the account may read it.
struct SecurityFacts {
    EffectiveAccess access;
    UniqueNtHandle handle;  // that open, left to the caller for more reading; empty unless it succeeded
    NTSTATUS descriptorStatus = kStatusAccessDenied;  // of reading owner, group and DACL
    std::vector<BYTE> descriptor;                     // self-relative; with the SACL where saclRead
    bool auditOpened = false;  // an open asking for ACCESS_SYSTEM_SECURITY succeeded
    bool saclRead = false;
};

// The one reading of an object's access and descriptor for the Access page
// and the snapshots: the open with MAXIMUM_ALLOWED gives the granted mask and,
// where it holds READ_CONTROL, owner, group and DACL; with tryAudit a second
// open asks for the SACL's right, and where it succeeds the whole descriptor
// is read through it.
SecurityFacts ReadSecurityFacts(const ObjectPlace& place, bool tryAudit);

// Whether this process's enabled privileges let it read SACLs.
bool MayReadSacls();

// AccessCheck of this process's token, asking for MAXIMUM_ALLOWED.
struct DescriptorCheck {
    bool done = false;
    DWORD error = 0;          // why AccessCheck could not answer, where it did not
    ACCESS_MASK granted = 0;  // the most the descriptor grants the token
};

// Checks a self-relative descriptor holding owner, group and DACL; a missing
// owner or group is stood in for by the null SID, which no token holds.
DescriptorCheck CheckDescriptorAccess(const BYTE* descriptor, const GENERIC_MAPPING& mapping);

// Everything the Access page shows of one object, read with every handle closed again.
struct AccessPicture {
    EffectiveAccess access;
    bool typeKnown = false;
    ObjectTypeFigures type;  // of the opened handle: its generic mapping and valid rights
    NTSTATUS descriptorStatus = kStatusAccessDenied;  // of reading owner, group and DACL
    std::vector<BYTE> descriptor;                     // self-relative; with the SACL where saclRead
    bool auditOpened = false;  // an open asking for ACCESS_SYSTEM_SECURITY succeeded
    bool saclRead = false;
    DescriptorCheck check;  // done only where the descriptor and the type were read
    // The rights this process's enabled privileges grant whatever the DACL
    // says: Change Owner (take ownership) and the SACL's right (security).
    ACCESS_MASK privilegeRights = 0;
};

AccessPicture ReadAccessPicture(const ObjectName& path);
