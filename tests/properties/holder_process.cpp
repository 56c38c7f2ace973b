#include "holder_process.h"

#include "support/beside_program.h"

namespace {

constexpr char kHolderProgram[] = "handle_holder.exe";
// A 32-bit process takes about a minute to start under the emulator, and
// making thousands of events there takes a while too.
constexpr DWORD kStartMilliseconds = 300000;
constexpr DWORD kCommandMilliseconds = 120000;

UniqueNtHandle OpenHolderEvent(const std::string& path, ACCESS_MASK access) {
    NamedAttributes attributes(path);
    HANDLE handle = nullptr;
    if (NtOpenEvent(&handle, access, attributes.Get()) != kStatusSuccess) return UniqueNtHandle();
    return UniqueNtHandle(handle);
}

}  // namespace

HolderProcess::~HolderProcess() {
    if (!process_) return;
    SetEvent(commands_[handle_holder::kQuit].get());
    WaitForSingleObject(process_.get(), kCommandMilliseconds);
}

bool HolderProcess::Start(ScratchDirectory& scratch, const std::vector<std::string>& arguments) {
    if (scratch.AddEvent(handle_holder::kHeld, true, false).empty()) return false;
    done_ = OpenHolderEvent(scratch.AddEvent(handle_holder::kDone, false, false), SYNCHRONIZE);
    for (std::size_t i = 0; i < std::size(handle_holder::kCommands); ++i) {
        const std::string command = scratch.AddEvent(handle_holder::kCommands[i], false, false);
        commands_[i] = OpenHolderEvent(command, EVENT_MODIFY_STATE);
    }

    const std::string program = BesideThisProgram(kHolderProgram);
    std::string commandLine = "\"" + program + "\" " + scratch.Path() + " " + std::to_string(GetCurrentProcessId());
    for (const std::string& argument : arguments) commandLine += " " + argument;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return false;
    process_.reset(info.hProcess);
    CloseHandle(info.hThread);
    id_ = info.dwProcessId;
    return WaitDone(kStartMilliseconds);
}

bool HolderProcess::Command(handle_holder::Command command) {
    SetEvent(commands_[command].get());
    return WaitDone(kCommandMilliseconds);
}

bool HolderProcess::WaitDone(DWORD milliseconds) {
    HANDLE waits[] = {done_.get(), process_.get()};
    return WaitForMultipleObjects(2, waits, FALSE, milliseconds) == WAIT_OBJECT_0;
}
