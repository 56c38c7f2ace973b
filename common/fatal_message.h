// The text the program ends with when the C++ library cannot go on: why it
// stopped, so a report of it can be told apart from running out of memory.
#pragma once

#include <cstddef>
#include <string_view>

enum class FatalCause {
    OutOfMemory,      // an allocation failed
    TooLarge,         // a container was asked for more than it can ever hold
    LibraryFault,     // the library met a fault of the program's (a logic error, a bad cast)
};

inline constexpr std::string_view FatalCauseText(FatalCause cause) {
    switch (cause) {
        case FatalCause::OutOfMemory: return "Tarnel ran out of memory.";
        case FatalCause::TooLarge: return "Tarnel stopped: a list or text grew larger than it can ever be.";
        case FatalCause::LibraryFault: break;
    }
    return "Tarnel stopped on an internal error";
}

// Writes the message for cause into out (at most size bytes, zero included).
// A library fault's own text, where it has one, follows after a colon.
inline void FormatFatalMessage(FatalCause cause, const char* detail, char* out, std::size_t size) {
    if (size == 0) return;
    std::size_t used = 0;
    const auto append = [&](std::string_view text) {
        for (char c : text) {
            if (used + 1 >= size) break;
            out[used++] = c;
        }
    };
    append(FatalCauseText(cause));
    if (cause == FatalCause::LibraryFault) {
        if (detail != nullptr && *detail != '\0') {
            append(": ");
            append(detail);
        }
        append(".");
    }
    out[used] = '\0';
}
