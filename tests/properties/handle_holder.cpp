// A process of its own that holds handles for the Handles page tests and the
// benchmark; see handle_holder.h for what it does. Exit values: 0 after Quit
// or the end of the test process, 2 for a bad command line, 3 when an object
// does not open, 4 when the process's descriptor cannot be read.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "handle_holder.h"
#include "namespace/native_services.h"
#include "namespace/object_opener.h"

namespace {

constexpr ACCESS_MASK kEventModifyState = 0x0002;

UniqueNtHandle OpenEvent(const std::string& path, ACCESS_MASK access) {
    CountedUnicode name;
    if (name.AssignAnsi(path.c_str()) != kStatusSuccess) return UniqueNtHandle();
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(name.Get());
    HANDLE handle = nullptr;
    if (NtOpenEvent(&handle, access, &attributes) != kStatusSuccess) return UniqueNtHandle();
    return UniqueNtHandle(handle);
}

// Makes count events named after kManyFormat in directory; false when one fails.
bool MakeMany(const std::string& directory, long count, std::vector<UniqueNtHandle>& events) {
    char name[32];
    for (long i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, handle_holder::kManyFormat, i);
        CountedUnicode path;
        if (path.AssignAnsi((directory + "\\" + name).c_str()) != kStatusSuccess) return false;
        OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(path.Get());
        HANDLE handle = nullptr;
        if (NtCreateEvent(&handle, EVENT_ALL_ACCESS, &attributes, 0, FALSE) != kStatusSuccess) return false;
        events.emplace_back(handle);
    }
    return true;
}

// The process's own DACL, kept so that Unlock can give it back.
class ProcessDacl {
public:
    bool Save() {
        ULONG needed = 0;
        return NtQuerySecurityObject(GetCurrentProcess(), DACL_SECURITY_INFORMATION, saved_, sizeof saved_,
                                     &needed) == kStatusSuccess;
    }
    // An empty DACL: opening the process for any access is refused. The
    // pseudo handle this process uses keeps every access.
    void Lock() {
        SECURITY_DESCRIPTOR descriptor{};
        ACL emptyAcl{};
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyAcl, FALSE);
        NtSetSecurityObject(GetCurrentProcess(), DACL_SECURITY_INFORMATION, &descriptor);
    }
    void Unlock() { NtSetSecurityObject(GetCurrentProcess(), DACL_SECURITY_INFORMATION, saved_); }

private:
    alignas(8) BYTE saved_[4096] = {};
};

}  // namespace

int main(int argc, char** argv) {
    using namespace handle_holder;
    if (argc < 3) return 2;
    const std::string directory = argv[1];
    long many = kManyEvents;
    std::vector<UniqueNtHandle> others;  // the further paths, then the many events
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], kManyOption) == 0 && i + 1 < argc) {
            many = std::strtol(argv[++i], nullptr, 10);
            continue;
        }
        OpenedObject object = OpenAnyObject(argv[i], 0);
        if (!object) return 3;
        others.push_back(std::move(object.handle));
    }
    const std::size_t held = others.size();
    UniqueWin32Handle testProcess(OpenProcess(SYNCHRONIZE, FALSE, std::strtoul(argv[2], nullptr, 10)));
    UniqueNtHandle done = OpenEvent(directory + "\\" + kDone, kEventModifyState);
    if (!testProcess || !done) return 3;

    // The command events, then the test process: a wait on all ends on either.
    HANDLE waits[std::size(kCommands) + 1] = {};
    UniqueNtHandle commands[std::size(kCommands)];
    for (std::size_t i = 0; i < std::size(kCommands); ++i) {
        commands[i] = OpenEvent(directory + "\\" + kCommands[i], SYNCHRONIZE);
        if (!commands[i]) return 3;
        waits[i] = commands[i].get();
    }
    waits[std::size(kCommands)] = testProcess.get();

    ProcessDacl dacl;
    if (!dacl.Save()) return 4;
    const std::string heldPath = directory + "\\" + kHeld;
    UniqueNtHandle first = OpenEvent(heldPath, kFirstAccess);
    UniqueNtHandle second = OpenEvent(heldPath, kSecondAccess);
    if (!first || !second) return 3;
    SetEvent(done.get());

    for (;;) {
        const DWORD signalled = WaitForMultipleObjects(static_cast<DWORD>(std::size(waits)), waits, FALSE, INFINITE);
        switch (signalled - WAIT_OBJECT_0) {
        case kHoldBoth:
            if (!second) second = OpenEvent(heldPath, kSecondAccess);
            break;
        case kHoldOne:
            second.reset();
            break;
        case kLock:
            dacl.Lock();
            break;
        case kUnlock:
            dacl.Unlock();
            break;
        case kHoldMany:
            if (others.size() == held && !MakeMany(directory, many, others)) return 3;
            break;
        case kDropMany:
            others.resize(held);
            break;
        default:  // Quit, the end of the test process, or a failed wait
            return 0;
        }
        SetEvent(done.get());
    }
}
