// The path of a file beside the running test program, where the build puts
// the programs and DLLs the tests start or load.
#pragma once

#include <windows.h>

#include <string>

inline std::string BesideThisProgram(const std::string& name) {
    char module[MAX_PATH] = {};
    std::string path(module, GetModuleFileNameA(nullptr, module, MAX_PATH));
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}
