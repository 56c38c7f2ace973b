// The five panes of the main window, their layout and the splitter between tree and list.
#pragma once

#include <windows.h>

// The split as a whole percentage of the client width, and in client pixels.
extern LONG SplitPercent;
extern LONG SplitX;

// The feedback bar of a drag, in the main window's client coordinates; left 0: none drawn.
extern RECT DragBar;
extern int SplitterDragging;

// Creates status bar, toolbar, list, tree and splitter; 0 when the list or the tree is missing.
int CreatePanes(HWND mainWindow);

// Places the five panes in one batch; 0 when the platform did not carry it out.
BOOL LayoutPanes(HWND mainWindow);

LRESULT CALLBACK SplitterWndProc(HWND splitter, UINT message, WPARAM wParam, LPARAM lParam);
