// The snapshots' part of the benchmark.
#pragma once

#include <vector>

// Measures a save and comparisons of a directory of each of sizes events; prints a table and BENCH lines.
void RunSnapshotBench(const std::vector<long>& sizes);
