// The Handles page's part of the benchmark: the main window must be up.
#pragma once

#include <vector>

// Measures the page against a helper holding each of sizes events; prints a table and BENCH lines.
void RunHandlesBench(const std::vector<long>& sizes);
