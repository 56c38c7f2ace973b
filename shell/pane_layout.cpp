#include "shell/pane_layout.h"

#include <commctrl.h>

#include <cstdint>
#include <initializer_list>

#include "shell/app_context.h"
#include "shell/toolbar_status.h"
#include "views/namespace_tree.h"
#include "views/object_list.h"

LONG SplitPercent = 50;
LONG SplitX = 0;

namespace {

// The panes lie between the toolbar's band and the status bar's band.
constexpr int kPaneTop = 27;
constexpr int kPaneHeightMargin = 46;
constexpr int kBarHeight = 20;
constexpr int kSplitterWidth = 3;
constexpr int kSplitMargin = 20;
constexpr DWORD kStatusBarStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;
constexpr DWORD kSplitterStyle = WS_CHILD | WS_VISIBLE;

void ShowFailure(const char* text) { MessageBoxA(nullptr, text, nullptr, MB_OK); }

// SplitPercent of the client's right edge, as unsigned 32-bit arithmetic.
LONG SplitFromPercent(const RECT& client) {
    return static_cast<LONG>(static_cast<std::uint32_t>(SplitPercent) * static_cast<std::uint32_t>(client.right) /
                             100u);
}

}  // namespace

int CreatePanes(HWND mainWindow) {
    InitCommonControls();
    RECT client;
    GetClientRect(mainWindow, &client);

    AppContext.statusBar = CreateStatusWindowA(kStatusBarStyle, "", mainWindow, kStatusBarId);
    if (AppContext.statusBar == nullptr) ShowFailure("Status Bar not created!");
    SetStatusText(AppContext.instance, AppContext.statusBar, nullptr);

    AppContext.toolbar = CreateMainToolbar(mainWindow);
    if (AppContext.toolbar == nullptr) ShowFailure("Toolbar Bar not created!");

    AppContext.objectList = CreateObjectList(mainWindow, AppContext.instance);
    if (AppContext.objectList == nullptr) {
        ShowFailure("Listview not created!");
        return 0;
    }
    AppContext.namespaceTree = CreateNamespaceTree(mainWindow, AppContext.instance);
    if (AppContext.namespaceTree == nullptr) {
        ShowFailure("Tree View not created!");
        return 0;
    }

    // No limits yet: the first layout applies them.
    SplitX = SplitFromPercent(client);
    AppContext.splitter = CreateWindowExA(0, "ZezidSplitterWClass", "", kSplitterStyle, SplitX, kPaneTop,
                                          kSplitterWidth, client.bottom - client.top - kPaneHeightMargin, mainWindow,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSplitterId)),
                                          AppContext.instance, nullptr);
    return 1;
}

BOOL LayoutPanes(HWND mainWindow) {
    RECT client;
    GetClientRect(mainWindow, &client);
    const int width = client.right - client.left;
    const int paneHeight = client.bottom - client.top - kPaneHeightMargin;

    // The upper limit comes last, so it wins in a client narrower than 40.
    SplitX = SplitFromPercent(client);
    if (static_cast<std::uint32_t>(SplitX) < static_cast<std::uint32_t>(kSplitMargin)) SplitX = kSplitMargin;
    if (SplitX > width - kSplitMargin) SplitX = width - kSplitMargin;

    // Status bar and toolbar get only a size; they align themselves to their edges.
    HDWP batch = BeginDeferWindowPos(5);
    batch = DeferWindowPos(batch, AppContext.statusBar, nullptr, 0, 0, width, kBarHeight, SWP_NOMOVE | SWP_NOZORDER);
    batch = DeferWindowPos(batch, AppContext.toolbar, nullptr, 0, 0, width, kBarHeight, SWP_NOMOVE | SWP_NOZORDER);
    batch = DeferWindowPos(batch, AppContext.namespaceTree, nullptr, 0, 0, SplitX, paneHeight,
                           SWP_NOMOVE | SWP_NOZORDER);
    batch = DeferWindowPos(batch, AppContext.splitter, nullptr, SplitX, kPaneTop, kSplitterWidth, paneHeight,
                           SWP_NOZORDER);
    batch = DeferWindowPos(batch, AppContext.objectList, nullptr, SplitX + kSplitterWidth, kPaneTop,
                           width - SplitX - kSplitterWidth, paneHeight, SWP_NOZORDER);
    const BOOL moved = EndDeferWindowPos(batch);
    // Moved panes keep bits of where they were; each is painted whole at the next paint.
    for (HWND pane : {AppContext.namespaceTree, AppContext.splitter, AppContext.objectList}) {
        if (pane != nullptr) RepaintWhole(pane);
    }
    return moved;
}
