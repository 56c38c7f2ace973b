// Measures the Find and Find Accessible boxes over a directory of n events,
// spread over sub-directories of 200: the time from pressing Find until the
// box says the search has ended, beside the floor of the same search with no
// box (the search engine stepped to its end with the name test, or with the
// access test that opens each object), and how long a message posted to the
// window's thread waits while a search runs.
#include "bench/find_bench.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "namespace/access_scan.h"
#include "namespace/object_search.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "support/dialog_catcher.h"
#include "support/test_namespace.h"
#include "views/namespace_tree.h"

namespace {

constexpr char kProbeClass[] = "TarnelFindBenchProbe";
constexpr UINT WM_PROBE = WM_APP + 8;
constexpr DWORD kProbeEveryMs = 10;
constexpr int kRounds = 3;
constexpr long kEventsPerDirectory = 200;

double Seconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One search through a box, watched from the window's thread.
struct SearchWatch {
    double started = 0;
    double ended = 0;
    std::string count;          // the box's last count line
    HWND box = nullptr;
    WNDPROC countProcedure = nullptr;
    std::atomic<bool> posting{false};
    std::vector<double> waits;  // of each posted message while the search ran, in milliseconds
};
SearchWatch* Watch = nullptr;

LRESULT CALLBACK WatchedCount(HWND count, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && Watch->ended == 0) {
        const std::string text = reinterpret_cast<const char*>(lParam);
        if (text.rfind("Searching", 0) != 0) {
            Watch->ended = Seconds();
            Watch->count = text;
            PostMessageA(Watch->box, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return CallWindowProcA(Watch->countProcedure, count, message, wParam, lParam);
}

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PROBE && Watch != nullptr && Watch->started != 0 && Watch->ended == 0) {
        LARGE_INTEGER frequency, now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&now);
        const auto elapsed = static_cast<ULONG_PTR>(now.QuadPart) - static_cast<ULONG_PTR>(lParam);
        Watch->waits.push_back(1000.0 * static_cast<double>(elapsed) / static_cast<double>(frequency.QuadPart));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Opens a box with command, searches from the shown directory down and
// returns once the box has said the search ended; with a probe window, a
// thread posts to it meanwhile.
void WatchSearch(UINT command, HWND probe, SearchWatch& watch) {
    Watch = &watch;
    DialogCatcher catcher([&watch](HWND dialog, const CaughtDialog& caught) {
        if (caught.isMessageBox || watch.box != nullptr) return false;
        watch.box = dialog;
        if (GetDlgItem(dialog, IDC_FIND_TEXT) != nullptr) SetDlgItemTextA(dialog, IDC_FIND_TEXT, "event");
        CheckRadioButton(dialog, IDC_FIND_HERE, IDC_FIND_EVERYWHERE, IDC_FIND_HERE);
        HWND count = GetDlgItem(dialog, IDC_FIND_COUNT);
        watch.countProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(count, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedCount)));
        watch.started = Seconds();
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    watch.posting = probe != nullptr;
    std::thread prober;
    if (probe != nullptr) {
        prober = std::thread([&watch, probe] {
            while (watch.posting) {
                LARGE_INTEGER now;
                QueryPerformanceCounter(&now);
                PostMessageA(probe, WM_PROBE, 0, static_cast<LPARAM>(now.QuadPart));
                Sleep(kProbeEveryMs);
            }
        });
    }
    SendMessageA(AppContext.mainWindow, WM_COMMAND, command, 0);
    watch.posting = false;
    if (prober.joinable()) prober.join();
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
    while (search.Step(1000, found)) {
    }
    return Seconds() - start;
}

struct FindResult {
    long n;
    double floor;
    double accessFloor;
    double find;
    double accessible;
    double waitMedianMs;
    double waitMaxMs;
    std::size_t probes;
    std::string findCount, accessibleCount;
};

FindResult MeasureSize(HWND probe, long n) {
    FindResult result{};
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
    // The boxes search from the shown directory down.
    SendMessageA(AppContext.mainWindow, WM_COMMAND, 126, 0);
    std::string path = scratch.Path();
    HTREEITEM item = FindTreeItemByPath(AppContext.namespaceTree, nullptr, path.data());
    SendMessageA(AppContext.namespaceTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));

    std::vector<double> floors, accessFloors, finds, accessibles, waits;
    for (int round = 0; round < kRounds; ++round) {
        floors.push_back(MeasureFloor(scratch.Path(), false));
        accessFloors.push_back(MeasureFloor(scratch.Path(), true));
        SearchWatch byName;
        WatchSearch(CMD_FIND, nullptr, byName);
        finds.push_back(byName.ended - byName.started);
        result.findCount = byName.count;
        SearchWatch byAccess;
        WatchSearch(CMD_FIND_ACCESSIBLE, nullptr, byAccess);
        accessibles.push_back(byAccess.ended - byAccess.started);
        result.accessibleCount = byAccess.count;
        SearchWatch probed;
        WatchSearch(CMD_FIND_ACCESSIBLE, probe, probed);
        waits.insert(waits.end(), probed.waits.begin(), probed.waits.end());
        std::fprintf(stderr, "[%8.2f s] round measured (n=%ld)\n", Seconds(), n);
    }
    result.floor = Median(floors);
    result.accessFloor = Median(accessFloors);
    result.find = Median(finds);
    result.accessible = Median(accessibles);
    result.waitMedianMs = Median(waits);
    result.waitMaxMs = waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end());
    result.probes = waits.size();
    SendMessageA(AppContext.mainWindow, WM_COMMAND, 124, 0);  // up, out of the directory before it goes
    return result;
}

void Emit(const char* key, long n, double value) { std::printf("BENCH %s n=%ld value=%.6f\n", key, n, value); }

}  // namespace

void RunFindBench(const std::vector<long>& sizes) {
    WNDCLASSA probeClass{};
    probeClass.lpfnWndProc = ProbeProcedure;
    probeClass.hInstance = AppContext.instance;
    probeClass.lpszClassName = kProbeClass;
    RegisterClassA(&probeClass);
    HWND probe = CreateWindowExA(0, kProbeClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, AppContext.instance, nullptr);

    std::vector<FindResult> results;
    for (long n : sizes) results.push_back(MeasureSize(probe, n));
    DestroyWindow(probe);

    // Each box's time is followed by its ratio to the floor; waits are of posted messages while Find Accessible ran.
    std::printf("\n%8s %8s %8s %6s %12s %12s %6s %9s %9s %7s\n", "events", "floor s", "find s", "/floor",
                "open floor s", "accessible s", "/floor", "wait med", "wait max", "probes");
    for (const FindResult& r : results) {
        std::printf("%8ld %8.3f %8.3f %6.2f %12.3f %12.3f %6.2f %7.2fms %7.2fms %7zu\n", r.n, r.floor, r.find,
                    r.find / r.floor, r.accessFloor, r.accessible, r.accessible / r.accessFloor, r.waitMedianMs,
                    r.waitMaxMs, r.probes);
        std::printf("         Find: %s  Find Accessible: %s\n", r.findCount.c_str(), r.accessibleCount.c_str());
    }
    std::printf("\n");
    for (const FindResult& r : results) {
        Emit("find_floor_s", r.n, r.floor);
        Emit("find_box_s", r.n, r.find);
        Emit("find_ratio", r.n, r.find / r.floor);
        Emit("find_accessible_floor_s", r.n, r.accessFloor);
        Emit("find_accessible_box_s", r.n, r.accessible);
        Emit("find_accessible_ratio", r.n, r.accessible / r.accessFloor);
        Emit("find_wait_median_ms", r.n, r.waitMedianMs);
        Emit("find_wait_max_ms", r.n, r.waitMaxMs);
    }
}
