// Property sheet pages in tests: found by their tab titles (pages come and
// go beside each other), and waited for while their work runs off the
// window's thread.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// The titles of the sheet's tabs, in order.
std::vector<std::string> PageTitles(HWND sheet);

// Brings the page whose tab reads title to the front, creating it; its
// window, or null when no tab reads so.
HWND ShowPageTitled(HWND sheet, const char* title);

// Runs task from a timer of this thread: once the modal loop that is about to
// start (a dialog's, a sheet's) runs, after the dialog has its caption.
void RunSoon(std::function<void()> task);

// Dispatches this thread's messages until done() holds; false when it did
// not within limitMs (a guard against a hang, not a measure of speed).
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 120000);

// True while the Handles page's summary says that its search runs.
bool HandlesSearchRunning(HWND page);
// Lets the window run until the Handles page's search has ended.
bool WaitForHandlesSearch(HWND page);

// What the Access page shows.
struct AccessView {
    std::string summary, check, sddlLabel, sddl;
    std::map<std::string, std::string> states;  // the right's name: its state
    bool copyEnabled = false;
};
AccessView ReadAccessPage(HWND page);
