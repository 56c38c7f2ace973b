// The one process-wide record of the program's windows and the current pick.
#pragma once

#include <windows.h>

// Control ids of the main window's five panes.
inline constexpr int kStatusBarId = 1000;
inline constexpr int kToolbarId = 1001;
inline constexpr int kObjectListId = 1002;
inline constexpr int kNamespaceTreeId = 1003;
inline constexpr int kSplitterId = 1004;

struct AppContextRecord {
    HINSTANCE instance;
    HWND mainWindow;     // set only once CreateWindowExA has returned
    HWND statusBar;
    HWND toolbar;
    HWND objectList;
    HWND namespaceTree;
    HWND splitter;
    // Borrowed path of the object last picked in the tree or the list: a
    // tree item's path, a list row's path or RootPath. Owns nothing.
    const char* SelectedPath;
};

extern AppContextRecord AppContext;
