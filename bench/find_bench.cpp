// Measures the Find and Find Accessible boxes over a directory of n events,
// spread over sub-directories of 200: the time from pressing Find until the
// box says the search has ended, beside the floor of the same search with no
// box (the search engine stepped to its end on the calling thread with the
// name test, or with the access test that opens each object on its watched
// thread), and how long a message posted to the window's thread waits while
// a search runs on the box's worker.
#include "bench/find_bench.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "namespace/access_scan.h"
#include "namespace/object_search.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "shell/find_dialog.h"
#include "support/dialog_catcher.h"
#include "support/test_namespace.h"
#include "views/namespace_tree.h"

namespace {

constexpr int kRounds = 5;
constexpr long kEventsPerDirectory = 200;

// One search through a box, watched from the window's thread.
struct SearchWatch {
    double started = 0;
    double ended = 0;
    std::string count;          // the box's last count line
    HWND box = nullptr;
    WNDPROC countProcedure = nullptr;
    MessageWaitProbe* probe = nullptr;  // records while the search runs
};
SearchWatch* Watch = nullptr;

LRESULT CALLBACK WatchedCount(HWND count, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && Watch->ended == 0) {
        const std::string text = reinterpret_cast<const char*>(lParam);
        if (text.rfind("Searching", 0) != 0) {
            Watch->ended = Seconds();
            Watch->count = text;
            if (Watch->probe != nullptr) Watch->probe->recording = false;
            PostMessageA(Watch->box, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return CallWindowProcA(Watch->countProcedure, count, message, wParam, lParam);
}

// Opens a box with command, searches from the shown directory down and
// returns once the box has said the search ended; with a probe, messages are
// posted to the window's thread meanwhile.
void WatchSearch(UINT command, MessageWaitProbe* probe, SearchWatch& watch) {
    Watch = &watch;
    watch.probe = probe;
    DialogCatcher catcher([&watch](HWND dialog, const CaughtDialog& caught) {
        if (caught.isMessageBox || watch.box != nullptr) return false;
        watch.box = dialog;
        if (GetDlgItem(dialog, IDC_FIND_TEXT) != nullptr) SetDlgItemTextA(dialog, IDC_FIND_TEXT, "event");
        CheckRadioButton(dialog, IDC_FIND_HERE, IDC_FIND_EVERYWHERE, IDC_FIND_HERE);
        HWND count = GetDlgItem(dialog, IDC_FIND_COUNT);
        watch.countProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(count, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedCount)));
        watch.started = Seconds();
        if (watch.probe != nullptr) watch.probe->recording = true;
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    if (probe != nullptr) probe->StartPosting();
    SendMessageA(AppContext.mainWindow, WM_COMMAND, command, 0);
    if (probe != nullptr) probe->StopPosting();
    Watch = nullptr;
}

double MeasureFloor(const std::string& directory, bool byAccess) {
    const double start = Seconds();
    ObjectSearch search;
    AccessScan scan;
    std::vector<SearchResult> found;
    if (byAccess)
        search.Start(directory, scan.AsSearchTest());
    else
        search.Start(directory, "event");
    // In the box's steps: Find Accessible hands each step's opens to its watched thread together.
    while (search.Step(kFindEntriesPerStep, found)) {
    }
    return Seconds() - start;
}

struct FindResult {
    long n;
    double floor;
    double accessFloor;
    double find;
    double accessible;
    double findRatio;  // the middle of the rounds' own ratios of box to floor
    double accessibleRatio;
    MessageWaitProbe::Summary waits;
    std::string findCount, accessibleCount;
};

FindResult MeasureSize(MessageWaitProbe& probe, long n) {
    FindResult result{};
    result.n = n;
    ScratchDirectory scratch;
    FillSpreadEvents(scratch, n, kEventsPerDirectory);
    // The boxes search from the shown directory down.
    SendMessageA(AppContext.mainWindow, WM_COMMAND, 126, 0);
    std::string path = scratch.Path();
    HTREEITEM item = FindTreeItemByPath(AppContext.namespaceTree, nullptr, path.data());
    SendMessageA(AppContext.namespaceTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));

    // Each box runs right after its floor, under the same load: the machine's
    // load changes between rounds more than within one.
    std::vector<double> floors, accessFloors, finds, accessibles, findRatios, accessibleRatios;
    probe.waits.clear();
    for (int round = 0; round < kRounds; ++round) {
        floors.push_back(MeasureFloor(scratch.Path(), false));
        SearchWatch byName;
        WatchSearch(CMD_FIND, nullptr, byName);
        finds.push_back(byName.ended - byName.started);
        findRatios.push_back(finds.back() / floors.back());
        result.findCount = byName.count;
        accessFloors.push_back(MeasureFloor(scratch.Path(), true));
        SearchWatch byAccess;
        WatchSearch(CMD_FIND_ACCESSIBLE, nullptr, byAccess);
        accessibles.push_back(byAccess.ended - byAccess.started);
        accessibleRatios.push_back(accessibles.back() / accessFloors.back());
        result.accessibleCount = byAccess.count;
        SearchWatch probed;
        WatchSearch(CMD_FIND_ACCESSIBLE, &probe, probed);
        Progress("round measured", n);
    }
    result.floor = Median(floors);
    result.accessFloor = Median(accessFloors);
    result.find = Median(finds);
    result.accessible = Median(accessibles);
    result.findRatio = Median(findRatios);
    result.accessibleRatio = Median(accessibleRatios);
    result.waits = probe.Summarize();
    SendMessageA(AppContext.mainWindow, WM_COMMAND, 124, 0);  // up, out of the directory before it goes
    return result;
}

}  // namespace

void RunFindBench(const std::vector<long>& sizes) {
    MessageWaitProbe probe;
    std::vector<FindResult> results;
    for (long n : sizes) results.push_back(MeasureSize(probe, n));

    // Each box's time is followed by its ratio to the floor (the middle of the
    // rounds' ratios); waits are of posted messages while Find Accessible ran.
    std::printf("\n%8s %8s %8s %6s %12s %12s %6s %9s %9s %7s\n", "events", "floor s", "find s", "/floor",
                "open floor s", "accessible s", "/floor", "wait med", "wait max", "probes");
    for (const FindResult& r : results) {
        std::printf("%8ld %8.3f %8.3f %6.2f %12.3f %12.3f %6.2f %7.2fms %7.2fms %7zu\n", r.n, r.floor, r.find,
                    r.findRatio, r.accessFloor, r.accessible, r.accessibleRatio, r.waits.medianMs,
                    r.waits.maxMs, r.waits.count);
        std::printf("         Find: %s  Find Accessible: %s\n", r.findCount.c_str(), r.accessibleCount.c_str());
    }
    std::printf("\n");
    for (const FindResult& r : results) {
        Emit("find_floor_s", r.n, r.floor);
        Emit("find_box_s", r.n, r.find);
        Emit("find_ratio", r.n, r.findRatio);
        Emit("find_accessible_floor_s", r.n, r.accessFloor);
        Emit("find_accessible_box_s", r.n, r.accessible);
        Emit("find_accessible_ratio", r.n, r.accessibleRatio);
        Emit("find_wait_median_ms", r.n, r.waits.medianMs);
        Emit("find_wait_max_ms", r.n, r.waits.maxMs);
    }
}
