#include "common/enabled_privilege.h"

#include <cstddef>

namespace {

// Whether the token holds the privilege, and whether it is enabled.
struct PrivilegeState {
    bool held;
    bool enabled;
};

PrivilegeState StateOf(HANDLE token, const LUID& luid) {
    // Tokens carry a few dozen privileges at most.
    alignas(8) BYTE buffer[2048];
    DWORD length = 0;
    if (!GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &length)) return {false, false};
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    const DWORD room = static_cast<DWORD>((sizeof buffer - offsetof(TOKEN_PRIVILEGES, Privileges)) /
                                          sizeof(LUID_AND_ATTRIBUTES));
    for (DWORD i = 0; i < privileges->PrivilegeCount && i < room; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart)
            return {true, (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0};
    }
    return {false, false};
}

bool SetEnabled(HANDLE token, const LUID& luid, bool enabled) {
    TOKEN_PRIVILEGES request{};
    request.PrivilegeCount = 1;
    request.Privileges[0].Luid = luid;
    request.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    // Success can still mean that nothing was assigned.
    return AdjustTokenPrivileges(token, FALSE, &request, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
}

}  // namespace

EnabledPrivilege::EnabledPrivilege(HANDLE token, const char* name) : token_(token) {
    if (token == nullptr || !LookupPrivilegeValueA(nullptr, name, &luid_)) return;
    const PrivilegeState state = StateOf(token, luid_);
    if (!state.held) return;
    if (state.enabled) {
        held_ = true;
        return;
    }
    enabledHere_ = SetEnabled(token, luid_, true);
    held_ = enabledHere_;
}

EnabledPrivilege::~EnabledPrivilege() {
    if (enabledHere_) SetEnabled(token_, luid_, false);
}

bool PrivilegeEnabled(HANDLE token, const char* name) {
    LUID luid{};
    return token != nullptr && LookupPrivilegeValueA(nullptr, name, &luid) && StateOf(token, luid).enabled;
}
