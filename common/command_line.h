// The program's name at the start of a command line, as the system reads
// it: inside quotes up to the closing quote (no escapes), else up to the
// first blank; and the text after it, its leading blanks skipped.
#pragma once

#include <string_view>

struct CommandLineStart {
    std::wstring_view programName;
    std::wstring_view rest;
};

CommandLineStart SplitProgramName(std::wstring_view line);
