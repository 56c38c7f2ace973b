// Measures the Handles page against a helper process that holds n events:
// the time from the page's first showing until it lists the helper as the
// holder of the last of them, beside the platform's floor (the handle list
// read, then every handle of the type duplicated and its name queried,
// nothing else), and how long a message posted to the window's thread waits
// while the search runs. The posting costs the search time of its own, so
// the waits are measured on a showing of their own.
#include "bench/handles_bench.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "holder_process.h"
#include "namespace/holder_search.h"
#include "namespace/native_services.h"
#include "properties/object_properties.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "support/sheet_pages.h"
#include "support/test_namespace.h"

namespace {

constexpr char kHolderName[] = "handle_holder.exe";
constexpr char kProbeClass[] = "TarnelBenchProbe";
constexpr UINT WM_PROBE = WM_APP + 7;
constexpr DWORD kProbeEveryMs = 10;
// Each round measures the floor, the search alone and the page once, and
// the waits on one more showing, so that the machine's drifts in speed fall
// on all of them; the medians are reported.
constexpr int kRounds = 5;

double Seconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The performance counter as wide as a message parameter; differences of two
// stay right across a wrap.
LPARAM Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<LPARAM>(now.QuadPart);
}

double TicksToMilliseconds(LPARAM since) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const auto elapsed = static_cast<ULONG_PTR>(Ticks()) - static_cast<ULONG_PTR>(since);
    return 1000.0 * static_cast<double>(elapsed) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The platform's floor: the list read, then for each handle of the object's
// type a duplicate, its name and its close. Returns the seconds it took.
double MeasureFloor(const std::string& path, long& candidates) {
    const double start = Seconds();
    NamedAttributes attributes(path);
    HANDLE own = nullptr;
    if (NtOpenEvent(&own, SYNCHRONIZE, attributes.Get()) != kStatusSuccess) return 0;
    UniqueNtHandle ownOwner(own);
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    while (NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(kSystemExtendedHandleInformation),
                                    buffer.data(), static_cast<ULONG>(buffer.size()), &needed) ==
           kStatusInfoLengthMismatch)
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + needed / 4));
    const auto* table = reinterpret_cast<const SystemHandleTableEx*>(buffer.data());
    const SystemHandleEntryEx* entries = table->handles;
    USHORT type = 0xFFFF;
    for (ULONG_PTR i = 0; i < table->handleCount; ++i) {
        if (entries[i].processId == GetCurrentProcessId() && entries[i].handleValue == reinterpret_cast<ULONG_PTR>(own))
            type = entries[i].typeIndex;
    }
    std::map<ULONG_PTR, UniqueWin32Handle> processes;  // each opened once, null where it cannot be
    alignas(8) BYTE name[4096];
    candidates = 0;
    for (ULONG_PTR i = 0; i < table->handleCount; ++i) {
        const SystemHandleEntryEx& entry = entries[i];
        if (entry.typeIndex != type) continue;
        ++candidates;
        auto found = processes.find(entry.processId);
        if (found == processes.end())
            found = processes.emplace(entry.processId, OpenProcess(PROCESS_DUP_HANDLE, FALSE,
                                                                   static_cast<DWORD>(entry.processId))).first;
        const UniqueWin32Handle& process = found->second;
        HANDLE copy = nullptr;
        if (!process || !DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(entry.handleValue),
                                         GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        NtQueryObject(copy, static_cast<OBJECT_INFORMATION_CLASS>(kObjectNameInformation), name, sizeof name, nullptr);
        NtClose(copy);
    }
    return Seconds() - start;
}

// One showing of the page, watched from the window's thread.
struct PageWatch {
    std::string path;
    double shown = 0;        // when the Handles tab was picked
    double holderRow = 0;    // when the helper's row went into the list
    double ended = 0;        // when the summary gave the search's result
    HWND sheet = nullptr;
    WNDPROC listProcedure = nullptr;
    WNDPROC summaryProcedure = nullptr;
    std::atomic<bool> posting{false};  // the prober posts until the sheet has gone
    bool probing = false;               // waits count from the tab's pick to the search's end
    std::vector<double> waits;          // of each posted message, in milliseconds
};
PageWatch* Watch = nullptr;

LRESULT CALLBACK WatchedList(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcA(Watch->listProcedure, list, message, wParam, lParam);
    if (message == LVM_INSERTITEMA && Watch->holderRow == 0) {
        const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
        if (item->pszText != nullptr && std::string(item->pszText) == kHolderName) Watch->holderRow = Seconds();
    }
    return result;
}

LRESULT CALLBACK WatchedSummary(HWND summary, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && Watch->ended == 0 &&
        std::string(reinterpret_cast<const char*>(lParam)).rfind("Searching", 0) != 0) {
        Watch->ended = Seconds();
        Watch->probing = false;
        PostMessageA(Watch->sheet, WM_COMMAND, IDOK, 0);
    }
    return CallWindowProcA(Watch->summaryProcedure, summary, message, wParam, lParam);
}

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PROBE && Watch != nullptr && Watch->probing) Watch->waits.push_back(TicksToMilliseconds(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

// From the sheet's own loop: picks the Handles tab and watches the page.
void CALLBACK OnSheetShown(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    Watch->sheet = FindWindowA(nullptr, "Object Properties");
    Watch->probing = true;
    Watch->shown = Seconds();
    HWND page = ShowPageTitled(Watch->sheet, "Handles");
    if (page == nullptr) {
        std::fprintf(stderr, "the sheet has no Handles page\n");
        std::exit(1);
    }
    HWND list = GetDlgItem(page, IDC_HANDLES_LIST);
    HWND summary = GetDlgItem(page, IDC_HANDLES_SUMMARY);
    Watch->listProcedure =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedList)));
    Watch->summaryProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(summary, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedSummary)));
}

// Shows the sheet for path and returns once its Handles page has searched;
// with a probe window, a thread posts to it meanwhile.
void WatchPage(HWND probe, PageWatch& watch) {
    Watch = &watch;
    watch.posting = probe != nullptr;
    std::thread prober;
    if (probe != nullptr) {
        prober = std::thread([&watch, probe] {
            while (watch.posting) {
                PostMessageA(probe, WM_PROBE, 0, Ticks());
                Sleep(kProbeEveryMs);
            }
        });
    }
    SetTimer(nullptr, 0, 1, OnSheetShown);
    ShowObjectProperties(AppContext.objectList, AppContext.instance, watch.path.c_str());
    watch.posting = false;
    if (prober.joinable()) prober.join();
    if (watch.ended == 0) watch.ended = Seconds();  // closed some other way
    Watch = nullptr;
}

void Progress(const char* step, long n) {
    std::fprintf(stderr, "[%8.2f s] %s (n=%ld)\n", Seconds(), step, n);
    std::fflush(stderr);
}

void Emit(const char* key, long n, double value) { std::printf("BENCH %s n=%ld value=%.6f\n", key, n, value); }

struct HandlesResult {
    long n;
    long candidates;
    double floor;
    double searchOnly;  // the search on this thread, with no page
    double holder;
    double ended;
    double waitMedianMs;
    double waitMaxMs;
    std::size_t probes;
    bool holderListed;
};

HandlesResult MeasureSize(HWND probe, long n) {
    HandlesResult result{};
    result.n = n;
    ScratchDirectory scratch;
    HolderProcess holder;
    if (!scratch.Valid() || !holder.Start(scratch, {handle_holder::kManyOption, std::to_string(n)}) ||
        !holder.Command(handle_holder::kHoldMany)) {
        std::fprintf(stderr, "the helper did not come up with %ld events\n", n);
        std::exit(1);
    }
    Progress("helper holds its events", n);
    char last[32];
    std::snprintf(last, sizeof last, handle_holder::kManyFormat, n - 1);
    const std::string path = scratch.PathOf(last);

    std::vector<double> floors, searches, holders, ends, waits;
    result.holderListed = true;
    for (int round = 0; round < kRounds; ++round) {
        floors.push_back(MeasureFloor(path, result.candidates));
        const double start = Seconds();
        const HolderSearch search = FindObjectHolders(path.c_str());
        searches.push_back(Seconds() - start);
        result.holderListed = result.holderListed && search.handles.size() == 1;
        PageWatch timed;
        timed.path = path;
        WatchPage(nullptr, timed);
        result.holderListed = result.holderListed && timed.holderRow != 0;
        holders.push_back((timed.holderRow != 0 ? timed.holderRow : timed.ended) - timed.shown);
        ends.push_back(timed.ended - timed.shown);
        PageWatch probed;
        probed.path = path;
        WatchPage(probe, probed);
        waits.insert(waits.end(), probed.waits.begin(), probed.waits.end());
        Progress("round measured", n);
    }
    result.floor = Median(floors);
    result.searchOnly = Median(searches);
    result.holder = Median(holders);
    result.ended = Median(ends);
    result.waitMedianMs = Median(waits);
    result.waitMaxMs = waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end());
    result.probes = waits.size();
    return result;
}

}  // namespace

void RunHandlesBench(const std::vector<long>& sizes) {
    WNDCLASSA probeClass{};
    probeClass.lpfnWndProc = ProbeProcedure;
    probeClass.hInstance = AppContext.instance;
    probeClass.lpszClassName = kProbeClass;
    RegisterClassA(&probeClass);
    HWND probe = CreateWindowExA(0, kProbeClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, AppContext.instance, nullptr);

    std::vector<HandlesResult> results;
    for (long n : sizes) results.push_back(MeasureSize(probe, n));
    DestroyWindow(probe);

    // Each page time is followed by its ratio to the floor; waits are of posted messages while the page searched.
    std::printf("\n%8s %10s %8s %9s %6s %9s %6s %9s %6s %9s %9s %7s\n", "events", "candidates", "floor s",
                "search s", "/floor", "holder s", "/floor", "ended s", "/floor", "wait med", "wait max", "probes");
    for (const HandlesResult& r : results) {
        std::printf("%8ld %10ld %8.3f %9.3f %6.2f %9.3f %6.2f %9.3f %6.2f %7.2fms %7.2fms %7zu%s\n", r.n,
                    r.candidates, r.floor, r.searchOnly, r.searchOnly / r.floor, r.holder, r.holder / r.floor,
                    r.ended, r.ended / r.floor, r.waitMedianMs, r.waitMaxMs, r.probes,
                    r.holderListed ? "" : "  (the helper was not listed)");
    }
    std::printf("\n");
    for (const HandlesResult& r : results) {
        Emit("handles_floor_s", r.n, r.floor);
        Emit("handles_search_without_page_s", r.n, r.searchOnly);
        Emit("handles_holder_shown_s", r.n, r.holder);
        Emit("handles_holder_ratio", r.n, r.holder / r.floor);
        Emit("handles_search_ended_s", r.n, r.ended);
        Emit("handles_ended_ratio", r.n, r.ended / r.floor);
        Emit("handles_candidates", r.n, static_cast<double>(r.candidates));
        Emit("handles_wait_median_ms", r.n, r.waitMedianMs);
        Emit("handles_wait_max_ms", r.n, r.waitMaxMs);
        Emit("handles_holder_listed", r.n, r.holderListed ? 1 : 0);
    }
}
