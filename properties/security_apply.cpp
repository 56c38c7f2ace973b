#include "properties/security_apply.h"

#include <cstring>
#include <iterator>
#include <string>

#include "namespace/object_opener.h"
#include "platform/object_security.h"

AclEditorEntryPoints AclEditor = {};

namespace {

constexpr const char* kSecurityPrivileges[] = {"SeSecurityPrivilege", "SeTakeOwnershipPrivilege"};

// TOKEN_PRIVILEGES with room for every privilege above.
struct PrivilegeRequest {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[std::size(kSecurityPrivileges)];
};

constexpr char kEditorLibrary[] = "acledit.dll";
// The program's own editor, beside the program under a name of its own, so
// that it never takes the place of a system editor that works.
constexpr char kStandInLibrary[] = "tarnel-acledit.dll";
constexpr char kModifyFailed[] = "Unable to modify the object's Security Information.";

// What each editor kind opens the object with and writes back.
struct ApplySettings {
    ACCESS_MASK desiredAccess;
    SECURITY_INFORMATION written;
};
constexpr ApplySettings kApplySettings[] = {
    {kWriteDac, DACL_SECURITY_INFORMATION},                 // permissions
    {kAccessSystemSecurity, SACL_SECURITY_INFORMATION},     // auditing
    {kWriteOwner, OWNER_SECURITY_INFORMATION},              // ownership
};

// GetProcAddress gives a generic function address; the caller names its type.
template <typename Proc>
Proc LookUpEntryPoint(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void ShowApplyFailure() { MessageBoxA(nullptr, kModifyFailed, "Tarnel", MB_OK | MB_ICONERROR); }

// Writes one part of the descriptor and reads the object's descriptor back
// into the context's buffer. False when the write failed.
bool WriteAndReadBack(const SecurityEditorContext& context, HANDLE object, PSECURITY_DESCRIPTOR descriptor) {
    SECURITY_INFORMATION information = kApplySettings[context.kind].written;
    if (!WriteObjectSecurity(object, &information, descriptor)) return false;

    information |= OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
    if (context.kind == kOwnershipEditor) information |= DACL_SECURITY_INFORMATION;
    DWORD lengthNeeded = 0;
    *context.descriptorValid = ReadObjectSecurity(object, &information, context.descriptor,
                                                  kSecurityDescriptorBufferSize, &lengthNeeded);
    return true;
}

}  // namespace

void EnableSecurityPrivileges() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return;
    UniqueWin32Handle tokenOwner(token);

    PrivilegeRequest request = {};
    for (const char* name : kSecurityPrivileges) {
        LUID_AND_ATTRIBUTES& entry = request.Privileges[request.PrivilegeCount];
        if (!LookupPrivilegeValueA(nullptr, name, &entry.Luid)) break;  // later names are not tried
        entry.Attributes = SE_PRIVILEGE_ENABLED;
        ++request.PrivilegeCount;
    }
    // A privilege the user does not hold simply stays disabled.
    AdjustTokenPrivileges(token, FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&request), 0, nullptr, nullptr);
}

bool IsWineBuiltinModule(HMODULE module) {
    // Wine writes this text into its builtin DLLs right after the DOS header.
    static constexpr char kSignature[] = "Wine builtin DLL";
    const auto* image = reinterpret_cast<const char*>(module);
    return module != nullptr && std::memcmp(image + sizeof(IMAGE_DOS_HEADER), kSignature, sizeof kSignature - 1) == 0;
}

HMODULE ChooseAclEditorLibrary(const char* systemLibrary, const char* standInLibrary) {
    // Wine's acledit.dll exports the three names as stubs, which end the
    // program when called: there, and where the system has no editor at
    // all, the program's own editor stands in.
    HMODULE system = LoadLibraryA(systemLibrary);
    if (system != nullptr && !IsWineBuiltinModule(system)) return system;
    if (system != nullptr) FreeLibrary(system);
    return LoadLibraryA(standInLibrary);
}

AclEditorEntryPoints AclEditorEntryPointsOf(HMODULE editor) {
    return {LookUpEntryPoint<SedDiscretionaryAclEditorProc>(editor, "SedDiscretionaryAclEditor"),
            LookUpEntryPoint<SedSystemAclEditorProc>(editor, "SedSystemAclEditor"),
            LookUpEntryPoint<SedTakeOwnershipProc>(editor, "SedTakeOwnership")};
}

void BindAclEditor() {
    char standIn[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, standIn, MAX_PATH);
    std::string path(standIn, length < MAX_PATH ? length : 0);
    path = path.substr(0, path.find_last_of('\\') + 1) + kStandInLibrary;
    // The library stays loaded for the whole run, so its handle is not kept.
    AclEditor = AclEditorEntryPointsOf(ChooseAclEditorLibrary(kEditorLibrary, path.c_str()));
}

DWORD WINAPI ApplySecurityCallback(HWND, HINSTANCE, ULONG_PTR callbackContext, PSECURITY_DESCRIPTOR descriptor,
                                   PSECURITY_DESCRIPTOR, BOOLEAN, BOOLEAN, LPDWORD statusReturn) {
    const auto* context = reinterpret_cast<const SecurityEditorContext*>(callbackContext);
    bool written = false;
    if (context != nullptr && context->kind < std::size(kApplySettings)) {
        OpenedObject object = OpenAnyObject(context->name, kApplySettings[context->kind].desiredAccess);
        if (object) written = WriteAndReadBack(*context, object.handle.get(), descriptor);
    }
    if (!written) ShowApplyFailure();
    if (statusReturn != nullptr) *statusReturn = kSedStatusModified;
    return 0;
}
