// Scratch namespaces for tests: a directory of the test's own under
// \BaseNamedObjects, filled with real objects that vanish with their handles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "namespace/native_services.h"

class ScratchDirectory {
public:
    // Creates \BaseNamedObjects\TarnelTest-<process>-<n>; the directory goes away with the record.
    ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& Path() const { return path_; }
    bool Valid() const { return valid_; }
    // Full path of a name relative to this directory ("a\\b" for nested names).
    std::string PathOf(const std::string& relative) const;

    // Each creator returns the full path, or an empty string when the platform refused.
    std::string AddDirectory(const std::string& relative);
    std::string AddSymbolicLink(const std::string& relative, const std::string& target);
    // A link whose descriptor grants nobody anything, so no one can open it.
    std::string AddLockedSymbolicLink(const std::string& relative, const std::string& target);
    // A link with the descriptor given (self-relative), its creator asking for no access.
    std::string AddSymbolicLinkWithDescriptor(const std::string& relative, const std::string& target,
                                              std::vector<BYTE> descriptor);
    // A directory whose descriptor grants nobody anything.
    std::string AddLockedDirectory(const std::string& relative);
    std::string AddEvent(const std::string& relative, bool notification, bool signalled);
    // An event made with its name compared exactly, so that it may sit beside
    // one whose name differs only in letter case.
    std::string AddEventBesideOtherCase(const std::string& relative);
    // An event with the descriptor given (self-relative), its creator asking for no access.
    std::string AddEventWithDescriptor(const std::string& relative, std::vector<BYTE> descriptor);
    std::string AddMutant(const std::string& relative, bool ownedByThisThread);
    std::string AddSemaphore(const std::string& relative, LONG count, LONG limit);
    std::string AddTimer(const std::string& relative);
    std::string AddSection(const std::string& relative);
    // A job, a type no row of the program's opener opens; with a descriptor
    // where one is given, its creator then asking for no access.
    std::string AddJob(const std::string& relative, std::vector<BYTE> descriptor = {});
    // An object with a UTF-16 name of this directory, for names that no ANSI
    // path can carry (characters outside the code page, NUL, TAB); true when made.
    enum class WideKind { Event, Semaphore, Directory, SymbolicLink };
    bool AddWide(WideKind kind, const std::wstring& name, const std::wstring& target = L"");
    // Keeps an extra object alive for as long as this directory.
    void Keep(HANDLE handle) {
        names_.emplace_back();
        handles_.emplace_back(handle);
    }
    // Closes the handle that keeps an object alive, so that it vanishes.
    void Remove(const std::string& fullPath);

private:
    std::string CreateLink(const std::string& relative, const std::string& target, void* descriptor);
    // Takes the handle by reference: it is read only after the create call filled it.
    std::string Remember(const std::string& fullPath, NTSTATUS status, const HANDLE& handle);

    std::string path_;
    bool valid_ = false;
    UniqueNtHandle directory_;  // destroyed last, after the objects in it
    std::vector<std::string> names_;
    std::vector<UniqueNtHandle> handles_;
};

// Object attributes with a name that lives as long as the record.
class NamedAttributes {
public:
    explicit NamedAttributes(const std::string& path);
    explicit NamedAttributes(std::wstring path);
    OBJECT_ATTRIBUTES* Get() { return &attributes_; }

private:
    std::wstring wide_;
    UNICODE_STRING name_{};
    OBJECT_ATTRIBUTES attributes_{};
};

// The access granted to a handle, from its basic information.
ACCESS_MASK GrantedAccess(HANDLE handle);
// The name the platform gives for an open handle; empty when it gives none.
std::wstring ObjectNameOf(HANDLE handle);

// A self-relative descriptor from its text form, made by the platform's
// converter; empty when the converter refuses the text.
std::vector<BYTE> DescriptorFromSddl(const char* sddl);
// The owner and group of the text with a null DACL, which the converter
// cannot make: Wine's reads NO_ACCESS_CONTROL as an empty DACL.
std::vector<BYTE> DescriptorWithNullDacl(const char* ownerAndGroup);
// The platform converter's text of every part of a descriptor.
std::string PlatformSddl(std::vector<BYTE> descriptor);
