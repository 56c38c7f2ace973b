// handle_holder.exe as the Handles page tests and the benchmark start it:
// its events in a scratch directory, its start and its commands.
#pragma once

#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

#include "handle_holder.h"
#include "namespace/native_services.h"
#include "support/test_namespace.h"

class HolderProcess {
public:
    HolderProcess() = default;
    HolderProcess(const HolderProcess&) = delete;
    HolderProcess& operator=(const HolderProcess&) = delete;
    // Quits the helper, which then closes what it holds.
    ~HolderProcess();

    // Makes the helper's events in scratch and starts it with arguments
    // (handle_holder.h); true once it holds its handles.
    bool Start(ScratchDirectory& scratch, const std::vector<std::string>& arguments = {});
    // Has the helper carry out a command; true once it has.
    bool Command(handle_holder::Command command);

    DWORD Id() const { return id_; }
    // The starter's own handle to the helper, with every access: it still
    // duplicates from the helper while the helper refuses to be opened.
    HANDLE Process() const { return process_.get(); }

private:
    bool WaitDone(DWORD milliseconds);

    UniqueNtHandle done_;
    UniqueNtHandle commands_[std::size(handle_holder::kCommands)];
    UniqueWin32Handle process_;
    DWORD id_ = 0;
};
