#include "common/count_text.h"

std::string FormatCount(long long count) {
    // Unsigned, so that the lowest count has a magnitude too.
    const unsigned long long magnitude = count < 0 ? 0ull - static_cast<unsigned long long>(count) : count;
    const std::string digits = std::to_string(magnitude);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return count < 0 ? "-" + text : text;
}
