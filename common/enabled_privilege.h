// A privilege of a token enabled for as long as a record lives, and only
// where the token holds it: the token gets back the state it had before.
#pragma once

#include <windows.h>

class EnabledPrivilege {
public:
    // token needs TOKEN_QUERY and TOKEN_ADJUST_PRIVILEGES, and must outlive the record.
    EnabledPrivilege(HANDLE token, const char* name);
    EnabledPrivilege(const EnabledPrivilege&) = delete;
    EnabledPrivilege& operator=(const EnabledPrivilege&) = delete;
    ~EnabledPrivilege();

    // The token holds the privilege, and it is enabled now.
    bool Held() const { return held_; }
    // It was disabled and this record enabled it; it is disabled again at the end.
    bool EnabledHere() const { return enabledHere_; }

private:
    HANDLE token_;
    LUID luid_{};
    bool held_ = false;
    bool enabledHere_ = false;
};

// Whether the token (opened with TOKEN_QUERY) holds the privilege enabled.
bool PrivilegeEnabled(HANDLE token, const char* name);
