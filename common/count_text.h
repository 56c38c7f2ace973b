// Counts as the program shows them to the user.
#pragma once

#include <string>

// "12,000": a count with thousands separated.
std::string FormatCount(long long count);
