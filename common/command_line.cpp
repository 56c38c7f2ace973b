#include "common/command_line.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

CommandLineStart SplitProgramName(std::wstring_view line) {
    CommandLineStart parts;
    std::size_t i = 0;
    if (i < line.size() && line[i] == L'"') {
        const std::size_t close = line.find(L'"', 1);
        const std::size_t end = close == std::wstring_view::npos ? line.size() : close;
        parts.programName = line.substr(1, end - 1);
        i = close == std::wstring_view::npos ? end : close + 1;
    } else {
        while (i < line.size() && !IsBlank(line[i])) ++i;
        parts.programName = line.substr(0, i);
    }
    while (i < line.size() && IsBlank(line[i])) ++i;
    parts.rest = line.substr(i);
    return parts;
}
