// Disables a window while a modal window of the program's is up, as the
// platform disables a modal window's owner. It is enabled again as the first
// window made meanwhile (the modal one) is about to be destroyed, before that
// window hides, so that the activation passes back to it and not to another
// program's window; and in any case when the record goes, unless it was
// disabled before.
#pragma once

#include <windows.h>

class DisabledWindow {
public:
    explicit DisabledWindow(HWND window);
    ~DisabledWindow();
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

private:
    static LRESULT CALLBACK WatchModalWindow(int code, WPARAM wParam, LPARAM lParam);
    void GiveBack();

    HWND window_;
    bool wasDisabled_ = false;
    bool givenBack_ = false;
    HWND modal_ = nullptr;               // the first top-level window made while this record lives
    DisabledWindow* outer_ = nullptr;    // the record this one is nested in, if any
    HHOOK hook_ = nullptr;               // held by the outermost record only
};
