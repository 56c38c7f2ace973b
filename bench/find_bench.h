// The Find and Find Accessible boxes' part of the benchmark: the main window must be up.
#pragma once

#include <vector>

// Measures both boxes over a directory of each of sizes events; prints a table and BENCH lines.
void RunFindBench(const std::vector<long>& sizes);
