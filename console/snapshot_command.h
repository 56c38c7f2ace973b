// The console program tarnel-snapshot.exe: snapshots saved and compared from
// scripts.
//   save [--devices] <namespace path> <file>
//   compare [--devices] <old file> <new file | live> [namespace path]
// A comparison prints one line per difference on standard output: its kind,
// the path, the old and the new value, TAB-separated and escaped as the
// snapshot file is; notes and the count go to standard error. Exit status:
// 0 when nothing differs (or the save succeeded), 1 when something differs,
// 2 on an error, whose message goes to standard error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr int kExitSame = 0;
inline constexpr int kExitDifferent = 1;
inline constexpr int kExitError = 2;

// Where the program writes: standard output and standard error.
class CommandOutput {
public:
    virtual ~CommandOutput() = default;
    virtual void Out(std::string_view utf8) = 0;
    // Messages in the ANSI code page, as the program's other texts.
    virtual void Error(std::string_view ansi) = 0;
};

// Runs the arguments after the program's name; returns the exit status.
int RunSnapshotCommand(const std::vector<std::wstring>& arguments, CommandOutput& output);

// Splits a command line as the C runtime does (quotes group, backslashes
// escape only a quote); the program's own name first.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line);
