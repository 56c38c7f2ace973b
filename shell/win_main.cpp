#include <windows.h>

#include "properties/security_apply.h"
#include "shell/startup.h"

// The command line and the previous instance play no part.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    EnableSecurityPrivileges();
    BindAclEditor();
    HACCEL accelerators = LoadAcceleratorsA(instance, "ACCELERATORS");
    if (!RegisterWindowClasses(instance)) return 0;
    if (!CreateMainWindow(instance, showCommand)) return 0;
    return RunMessageLoop(accelerators);
}
