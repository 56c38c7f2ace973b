#include "shell/startup.h"

#include "shell/app_context.h"
#include "shell/main_window.h"
#include "shell/pane_layout.h"
#include "shell/settings.h"
#include "views/go_to.h"

HBRUSH BackgroundBrush = nullptr;

namespace {

// WS_OVERLAPPEDWINDOW without WS_CLIPCHILDREN: the splitter's drag bar is drawn across the panes.
constexpr DWORD kMainWindowStyle = WS_OVERLAPPEDWINDOW;
static_assert(kMainWindowStyle == 0x00CF0000);

}  // namespace

int RegisterWindowClasses(HINSTANCE instance) {
    LOGBRUSH brush{};
    brush.lbStyle = BS_SOLID;
    brush.lbColor = GetSysColor(COLOR_INACTIVEBORDER);
    BackgroundBrush = CreateBrushIndirect(&brush);

    WNDCLASSA windowClass{};
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "APP_ICON");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = BackgroundBrush;
    windowClass.lpszMenuName = "TarnelMenu";
    windowClass.lpszClassName = "TarnelWClass";
    if (!RegisterClassA(&windowClass)) return 0;

    // The splitter's class differs in four fields; style, icon, brush and instance stay.
    windowClass.lpfnWndProc = SplitterWndProc;
    windowClass.hCursor = LoadCursorA(instance, "SPLIT_CUR");
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = "ZezidSplitterWClass";
    return RegisterClassA(&windowClass) ? 1 : 0;
}

int CreateMainWindow(HINSTANCE instance, int showCommand, std::wstring_view startPath) {
    AppContext.instance = instance;
    LoadSettings();
    // WM_CREATE runs inside this call, before the handle is stored below.
    HWND window = CreateWindowExA(0, "TarnelWClass", "Tarnel", kMainWindowStyle, WindowSettings.x, WindowSettings.y,
                                  WindowSettings.width, WindowSettings.height, nullptr, nullptr, AppContext.instance,
                                  nullptr);
    AppContext.mainWindow = window;
    if (window == nullptr) return 0;
    // A path given at start is shown first; one that leads nowhere says so and the root stays.
    if (!startPath.empty()) GoToTypedPath(startPath, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return 1;
}

int RunMessageLoop(HACCEL accelerators) {
    // Every message of the thread is offered to the accelerators first,
    // whichever window it is addressed to, so F1 and F5 work in every pane.
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(AppContext.mainWindow, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
