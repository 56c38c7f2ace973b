// What the account running the program may do with an object: the rights an
// open asking for MAXIMUM_ALLOWED is granted, computed by the system itself,
// and an access check of the account's own token against the object's
// descriptor, which says how much of that the DACL grants.
#pragma once

#include <windows.h>

#include <vector>

#include "namespace/native_services.h"
#include "namespace/object_opener.h"
#include "namespace/type_information.h"

struct EffectiveAccess {
    NTSTATUS status = kStatusSuccess;  // the open's; kStatusAccessDenied when the object grants nothing
    int typeIndex = kTypeNotOpened;    // the row that opened the object, or refused it
    ACCESS_MASK granted = 0;           // 0 unless the open succeeded
};

// Opens path with MAXIMUM_ALLOWED by the property sheet's opener, reads the
// granted mask from the handle's basic information and closes the handle.
EffectiveAccess QueryEffectiveAccess(const ObjectName& path);

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
