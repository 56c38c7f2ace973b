// Measures snapshots of a directory of n events, spread over sub-directories
// of 200: a save to a file, a comparison of that file with the live
// namespace and with a second file, beside the floor of the same walk with
// one open per object (each entry opened by its own name with
// MAXIMUM_ALLOWED and closed) and the bare walk; and the Compare with
// Snapshot box listing a difference for every object, beside the same
// comparison with no box.
#include "bench/snapshot_bench.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "namespace/effective_access.h"
#include "namespace/object_search.h"
#include "namespace/visible_name.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "snapshot/snapshot_compare.h"
#include "snapshot/snapshot_save.h"
#include "support/dialog_catcher.h"
#include "support/scratch_file.h"
#include "support/test_namespace.h"

namespace {

constexpr int kRounds = 3;
constexpr int kBoxPairs = 5;
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
    // In the box's slices of lines.
    while (comparer.Step(50)) {
    }
    if (comparer.Failed()) {
        std::fprintf(stderr, "the comparison failed: %s\n", comparer.Error().c_str());
        std::exit(1);
    }
    differences = comparer.Result().differences.size();
    return Seconds() - start;
}

// A copy of a snapshot in which every object's granted rights differ.
std::string WithOtherRights(const std::string& text) {
    std::string changed;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(start, end - start);
        if (line.rfind("object\t", 0) == 0) {
            const std::size_t last = line.rfind('\t');
            line = line.substr(0, last + 1) + "=0x12345678\r\n";
        }
        changed += line;
        start = end;
    }
    return changed;
}

// One comparison through the box, watched from the window's thread.
struct BoxWatch {
    HWND box = nullptr;
    double started = 0;
    double ended = 0;
    int rows = 0;
};
BoxWatch* Watched = nullptr;

// Polled from the box's loop: the comparison has ended once its count line says how it came out.
void CALLBACK PollCompareBox(HWND, UINT, UINT_PTR id, DWORD) {
    if (Watched == nullptr || Watched->box == nullptr) return;
    const std::string count = WindowText(Watched->box, IDC_COMPARE_COUNT);
    if (count.empty() || count.rfind("Reading", 0) == 0) return;
    Watched->ended = Seconds();
    KillTimer(nullptr, id);
    Watched->rows = ListView_GetItemCount(GetDlgItem(Watched->box, IDC_COMPARE_RESULTS));
    PostMessageA(Watched->box, WM_COMMAND, IDCANCEL, 0);
}

// From pressing Compare until the box says how many differ, with every difference listed.
double MeasureCompareBox(const std::wstring& oldFile, const std::wstring& newFile, int& rows) {
    BoxWatch watch;
    Watched = &watch;
    DialogCatcher catcher([&watch, &oldFile, &newFile](HWND dialog, const CaughtDialog& caught) {
        if (caught.isMessageBox || watch.box != nullptr) return false;
        watch.box = dialog;
        SetDlgItemTextA(dialog, IDC_COMPARE_OLD, VisiblePath(oldFile).c_str());
        SetDlgItemTextA(dialog, IDC_COMPARE_NEW, VisiblePath(newFile).c_str());
        CheckRadioButton(dialog, IDC_COMPARE_LIVE, IDC_COMPARE_FILE, IDC_COMPARE_FILE);
        watch.started = Seconds();
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        SetTimer(nullptr, 0, 10, PollCompareBox);
        return true;
    });
    SendMessageA(AppContext.mainWindow, WM_COMMAND, CMD_COMPARE_SNAPSHOT, 0);
    Watched = nullptr;
    rows = watch.rows;
    return watch.ended - watch.started;
}

struct SnapshotResult {
    long n;
    double walk, floor, save, live, files;
    long bytes;
    std::size_t differences;
    double changedFiles;  // the comparison with every object's rights changed, no box
    double box;           // the same through the box
    double boxRatio;      // the middle of the rounds' own ratios of box to comparison
    int rows;
};

SnapshotResult MeasureSize(long n) {
    SnapshotResult result{};
    result.n = n;
    ScratchDirectory scratch;
    FillSpreadEvents(scratch, n, kEventsPerDirectory);
    const std::wstring root = WidenPath(scratch.Path());
    const ScratchFile first("bench-first");
    const ScratchFile second("bench-second");
    const ScratchFile changed("bench-changed");
    std::vector<double> walks, floors, saves, lives, files, changedFiles, boxes, boxRatios;
    for (int round = 0; round < kRounds; ++round) {
        walks.push_back(MeasureWalk(root, false));
        floors.push_back(MeasureWalk(root, true));
        saves.push_back(MeasureSave(root, first.Path()));
        lives.push_back(MeasureCompare(first.Path(), L"", result.differences));
        MeasureSave(root, second.Path());
        files.push_back(MeasureCompare(first.Path(), second.Path(), result.differences));
        changed.Write(WithOtherRights(first.Bytes()));
        // Each box right after the comparison alone: the machine's speed drifts between them less.
        for (int pair = 0; pair < kBoxPairs; ++pair) {
            std::size_t everyObject = 0;
            changedFiles.push_back(MeasureCompare(first.Path(), changed.Path(), everyObject));
            boxes.push_back(MeasureCompareBox(first.Path(), changed.Path(), result.rows));
            boxRatios.push_back(boxes.back() / changedFiles.back());
        }
        Progress("round measured", n);
    }
    result.walk = Median(walks);
    result.floor = Median(floors);
    result.save = Median(saves);
    result.live = Median(lives);
    result.files = Median(files);
    result.changedFiles = Median(changedFiles);
    result.box = Median(boxes);
    result.boxRatio = Median(boxRatios);
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
    std::printf("\n%8s %12s %10s %6s %8s\n", "events", "all differ s", "box s", "/alone", "rows");
    for (const SnapshotResult& r : results)
        std::printf("%8ld %12.3f %10.3f %6.2f %8d\n", r.n, r.changedFiles, r.box, r.boxRatio, r.rows);
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
        Emit("snapshot_compare_changed_s", r.n, r.changedFiles);
        Emit("snapshot_compare_box_s", r.n, r.box);
        Emit("snapshot_compare_box_ratio", r.n, r.boxRatio);
    }
}
