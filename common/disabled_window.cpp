#include "common/disabled_window.h"

namespace {

// The records of the thread's modal windows, innermost first; the program has one thread.
DisabledWindow* Innermost = nullptr;

}  // namespace

DisabledWindow::DisabledWindow(HWND window) : window_(window) {
    wasDisabled_ = window_ != nullptr && EnableWindow(window_, FALSE);
    outer_ = Innermost;
    Innermost = this;
    if (outer_ == nullptr) hook_ = SetWindowsHookExA(WH_CBT, WatchModalWindow, nullptr, GetCurrentThreadId());
}

DisabledWindow::~DisabledWindow() {
    Innermost = outer_;
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (window_ == nullptr || wasDisabled_) return;
    GiveBack();
    // Where the thread was left without an active window, it takes the activation back.
    if (IsWindowVisible(window_) && GetActiveWindow() == nullptr) SetActiveWindow(window_);
}

void DisabledWindow::GiveBack() {
    if (window_ == nullptr || wasDisabled_ || givenBack_) return;
    givenBack_ = true;
    EnableWindow(window_, TRUE);
}

LRESULT CALLBACK DisabledWindow::WatchModalWindow(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && Innermost != nullptr && Innermost->modal_ == nullptr) {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
        if ((create->lpcs->style & WS_CHILD) == 0) Innermost->modal_ = window;
    } else if (code == HCBT_DESTROYWND) {
        for (DisabledWindow* record = Innermost; record != nullptr; record = record->outer_) {
            if (record->modal_ == window) record->GiveBack();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
