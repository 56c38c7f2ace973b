#include <windowsx.h>

#include "shell/pane_layout.h"

RECT DragBar = {};
int SplitterDragging = 0;

namespace {

constexpr int kPaneTop = 27;
constexpr int kStatusBand = 19;
constexpr int kSplitterWidth = 3;
constexpr int kSplitMargin = 20;

// Inverting a rectangle twice restores it: the same call draws and erases the bar.
// The main window lacks WS_CLIPCHILDREN, so the bar shows across the panes.
void InvertDragBar(HWND mainWindow) {
    HDC context = GetDC(mainWindow);
    InvertRect(context, &DragBar);
    ReleaseDC(mainWindow, context);
}

void OnButtonDown(HWND splitter) {
    SetCapture(splitter);
    SplitterDragging = 1;
    DragBar.left = 0;
}

// Moves the feedback bar to the mouse, kept 20 pixels inside the client area.
void OnMouseMove(HWND splitter, WPARAM keys, LPARAM position) {
    if (SplitterDragging != 1 || (keys & MK_LBUTTON) == 0) return;
    HWND mainWindow = GetParent(splitter);
    HDC context = GetDC(mainWindow);
    if (DragBar.left != 0) InvertRect(context, &DragBar);

    RECT client;
    GetClientRect(mainWindow, &client);
    DragBar.top = kPaneTop;
    DragBar.bottom = client.bottom - client.top - kStatusBand;
    int x = SplitX + GET_X_LPARAM(position);
    if (x < kSplitMargin) x = kSplitMargin;
    if (x > client.right - client.left - kSplitMargin) x = client.right - client.left - kSplitMargin;
    DragBar.left = x;
    DragBar.right = x + kSplitterWidth;
    InvertRect(context, &DragBar);
    ReleaseDC(mainWindow, context);
}

// The split ends where the last bar was drawn, kept as a whole percentage.
void OnButtonUp(HWND splitter) {
    if (SplitterDragging != 1) return;
    if (DragBar.left != 0) {
        HWND mainWindow = GetParent(splitter);
        InvertDragBar(mainWindow);
        SplitX = DragBar.left;
        RECT client;
        GetClientRect(mainWindow, &client);
        // A client of no width keeps the previous percentage.
        if (client.right > 0) SplitPercent = DragBar.left * 100 / client.right;
        LayoutPanes(mainWindow);
        DragBar.left = 0;
    }
    // Cleared first: releasing the capture reports its loss, which must find no drag.
    SplitterDragging = 0;
    ReleaseCapture();
}

// Capture lost in the middle of a drag (Alt+Tab, a message box): the drag
// ends where it began, and the bar drawn last is erased.
void OnCaptureLost(HWND splitter) {
    if (SplitterDragging != 1) return;
    if (DragBar.left != 0) InvertDragBar(GetParent(splitter));
    DragBar.left = 0;
    SplitterDragging = 0;
}

}  // namespace

LRESULT CALLBACK SplitterWndProc(HWND splitter, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
            OnButtonDown(splitter);
            break;
        case WM_MOUSEMOVE:
            OnMouseMove(splitter, wParam, lParam);
            break;
        case WM_LBUTTONUP:
            OnButtonUp(splitter);
            break;
        case WM_CAPTURECHANGED:
            OnCaptureLost(splitter);
            break;
        default:
            break;
    }
    // Every message, the three above included, also goes to the default procedure.
    return DefWindowProcA(splitter, message, wParam, lParam);
}
