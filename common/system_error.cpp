#include "common/system_error.h"

#include <cstdio>

std::string SystemErrorText(DWORD error) {
    char number[32];
    std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(error));
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    // The system ends its texts with a period and a line end.
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.' ||
                          text[length - 1] == ' '))
        --length;
    if (length == 0) return number;
    return std::string(number) + ": " + std::string(text, length);
}
