#include <windows.h>

#include "properties/security_apply.h"
#include "shell/startup.h"

// The command line, when there is one, is the path to show first: read as
// Unicode text, which the ANSI command line given here cannot carry.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    EnableSecurityPrivileges();
    BindAclEditor();
    HACCEL accelerators = LoadAcceleratorsA(instance, "ACCELERATORS");
    if (!RegisterWindowClasses(instance)) return 0;
    if (!CreateMainWindow(instance, showCommand, CommandLineAfterProgramName(GetCommandLineW()))) return 0;
    return RunMessageLoop(accelerators);
}
