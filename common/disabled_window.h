// Disables a window while a modal window of the program's is up, as the
// platform disables a modal window's owner, and enables it again afterwards
// unless it was disabled before.
#pragma once

#include <windows.h>

class DisabledWindow {
public:
    explicit DisabledWindow(HWND window) : window_(window) {
        wasDisabled_ = window_ != nullptr && EnableWindow(window_, FALSE);
    }
    ~DisabledWindow() {
        if (window_ == nullptr || wasDisabled_) return;
        EnableWindow(window_, TRUE);
        // Enabled again after the modal window went, it takes the activation back.
        if (IsWindowVisible(window_)) SetActiveWindow(window_);
    }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

private:
    HWND window_;
    bool wasDisabled_ = false;
};
