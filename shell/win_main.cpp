#include <windows.h>

#include "properties/security_apply.h"
#include "shell/startup.h"

// The command line, when there is one, is the path to show first.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    EnableSecurityPrivileges();
    BindAclEditor();
    HACCEL accelerators = LoadAcceleratorsA(instance, "ACCELERATORS");
    if (!RegisterWindowClasses(instance)) return 0;
    if (!CreateMainWindow(instance, showCommand, commandLine)) return 0;
    return RunMessageLoop(accelerators);
}
