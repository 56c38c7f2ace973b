// Measures snapshots of a directory of n events, spread over sub-directories
// of 200: a save to a file, a comparison of that file with the live
// namespace and with a second file, beside the floor of the same walk with
// one open per object (each entry opened by its own name with
// MAXIMUM_ALLOWED and closed) and the bare walk.
#include "bench/snapshot_bench.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "namespace/effective_access.h"
#include "namespace/object_search.h"
#include "namespace/visible_name.h"
#include "snapshot/snapshot_compare.h"
#include "snapshot/snapshot_save.h"
#include "support/scratch_file.h"
#include "support/test_namespace.h"

namespace {

constexpr int kRounds = 3;
constexpr long kEventsPerDirectory = 200;

double MeasureWalk(const std::wstring& root, bool opens) {
    const double start = Seconds();
    ObjectSearch search;
    std::vector<SearchResult> none;
    search.Start(std::wstring_view(root), [opens](const DirectoryReader& entry, SearchResult&) {
        if (opens) ObjectPlace::ByEntry(entry).Open(MAXIMUM_ALLOWED);  // closed as it goes
        return false;
    });
    while (search.Step(1000, none)) {
    }
    return Seconds() - start;
}

double MeasureSave(const std::wstring& root, const std::wstring& file) {
    const double start = Seconds();
    SnapshotFileWriter writer(file);
    SnapshotSave save;
    std::string why;
    if (!save.Start(root, {}, writer, why)) {
        std::fprintf(stderr, "the save did not start: %s\n", why.c_str());
        std::exit(1);
    }
    while (save.Step(1000)) {
    }
    if (!save.Complete()) {
        std::fprintf(stderr, "the save failed: %s\n", save.Why().c_str());
        std::exit(1);
    }
    return Seconds() - start;
}

double MeasureCompare(const std::wstring& oldFile, const std::wstring& newFile, std::size_t& differences) {
    const double start = Seconds();
    SnapshotComparer comparer;
    comparer.Start({oldFile, newFile, {}, {}});
    while (comparer.Step(1000)) {
    }
    if (comparer.Failed()) {
        std::fprintf(stderr, "the comparison failed: %s\n", comparer.Error().c_str());
        std::exit(1);
    }
    differences = comparer.Result().differences.size();
    return Seconds() - start;
}

struct SnapshotResult {
    long n;
    double walk, floor, save, live, files;
    long bytes;
    std::size_t differences;
};

SnapshotResult MeasureSize(long n) {
    SnapshotResult result{};
    result.n = n;
    ScratchDirectory scratch;
    if (!scratch.Valid()) {
        std::fprintf(stderr, "cannot create the benchmark directory\n");
        std::exit(1);
    }
    char name[48];
    for (long i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "Dir%04ld", i / kEventsPerDirectory);
        if (i % kEventsPerDirectory == 0) scratch.AddDirectory(name);
        std::snprintf(name, sizeof name, "Dir%04ld\\Event%06ld", i / kEventsPerDirectory, i);
        scratch.AddEvent(name, true, false);
    }
    const std::wstring root = WidenPath(scratch.Path());
    const ScratchFile first("bench-first");
    const ScratchFile second("bench-second");
    std::vector<double> walks, floors, saves, lives, files;
    for (int round = 0; round < kRounds; ++round) {
        walks.push_back(MeasureWalk(root, false));
        floors.push_back(MeasureWalk(root, true));
        saves.push_back(MeasureSave(root, first.Path()));
        lives.push_back(MeasureCompare(first.Path(), L"", result.differences));
        MeasureSave(root, second.Path());
        files.push_back(MeasureCompare(first.Path(), second.Path(), result.differences));
        Progress("round measured", n);
    }
    result.walk = Median(walks);
    result.floor = Median(floors);
    result.save = Median(saves);
    result.live = Median(lives);
    result.files = Median(files);
    result.bytes = static_cast<long>(first.Bytes().size());
    return result;
}

}  // namespace

void RunSnapshotBench(const std::vector<long>& sizes) {
    std::vector<SnapshotResult> results;
    for (long n : sizes) results.push_back(MeasureSize(n));

    // Each time is followed by its ratio to the floor: the walk with one open per object.
    std::printf("\n%8s %8s %8s %8s %6s %10s %6s %10s %10s %6s\n", "events", "walk s", "floor s", "save s", "/floor",
                "vs live s", "/floor", "2 files s", "file KB", "diffs");
    for (const SnapshotResult& r : results) {
        std::printf("%8ld %8.3f %8.3f %8.3f %6.2f %10.3f %6.2f %10.3f %10ld %6zu\n", r.n, r.walk, r.floor, r.save,
                    r.save / r.floor, r.live, r.live / r.floor, r.files, r.bytes / 1024, r.differences);
    }
    std::printf("\n");
    for (const SnapshotResult& r : results) {
        Emit("snapshot_walk_s", r.n, r.walk);
        Emit("snapshot_floor_s", r.n, r.floor);
        Emit("snapshot_save_s", r.n, r.save);
        Emit("snapshot_save_ratio", r.n, r.save / r.floor);
        Emit("snapshot_compare_live_s", r.n, r.live);
        Emit("snapshot_compare_live_ratio", r.n, r.live / r.floor);
        Emit("snapshot_compare_files_s", r.n, r.files);
        Emit("snapshot_file_bytes", r.n, static_cast<double>(r.bytes));
    }
}
