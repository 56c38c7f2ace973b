// Catches the modal windows a test run opens on its own thread (message boxes,
// property sheets, dialogs): records each and lets the test act on it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct CaughtDialog {
    std::string caption;
    std::string text;       // a message box's message; empty for other dialogs
    bool isMessageBox;
    bool hasOwner;
};

class DialogCatcher {
public:
    // Called when a dialog window is activated. Return true when the handler
    // has dealt with it; otherwise a message box is closed with OK and any
    // other dialog with Cancel, after the test has had a look.
    using Handler = std::function<bool(HWND dialog, const CaughtDialog& caught)>;

    explicit DialogCatcher(Handler handler = nullptr);
    DialogCatcher(const DialogCatcher&) = delete;
    DialogCatcher& operator=(const DialogCatcher&) = delete;
    ~DialogCatcher();

    const std::vector<CaughtDialog>& Caught() const { return caught_; }
    int MessageBoxCount() const;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND window);

    HHOOK hook_ = nullptr;
    Handler handler_;
    std::vector<CaughtDialog> caught_;
    DialogCatcher* previous_ = nullptr;
};

// The text of a dialog control, or of a window when id is 0.
std::string WindowText(HWND window, int id = 0);
