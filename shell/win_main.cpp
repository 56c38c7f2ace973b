#include <windows.h>

#include "common/command_line.h"
#include "properties/security_apply.h"
#include "shell/startup.h"

// The command line, when there is one, is the path to show first: read as
// Unicode text, which the ANSI command line given here cannot carry.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    EnableSecurityPrivileges();
    BindAclEditor();
    HACCEL accelerators = LoadAcceleratorsA(instance, "ACCELERATORS");
    if (!RegisterWindowClasses(instance)) return 0;
    if (!CreateMainWindow(instance, showCommand, SplitProgramName(GetCommandLineW()).rest)) return 0;
    return RunMessageLoop(accelerators);
}
