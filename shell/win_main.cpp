#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr, "Tarnel: the main window is not built yet.", "Tarnel", MB_OK);
    return 0;
}
