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
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"
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
// Each round measures the floor, the search alone and the page once, and
// the waits on one more showing, so that the machine's drifts in speed fall
// on all of them; the medians are reported.
constexpr int kRounds = 5;

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
    MessageWaitProbe* probe = nullptr;  // records from the tab's pick to the search's end
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
        if (Watch->probe != nullptr) Watch->probe->recording = false;
        PostMessageA(Watch->sheet, WM_COMMAND, IDOK, 0);
    }
    return CallWindowProcA(Watch->summaryProcedure, summary, message, wParam, lParam);
}

// From the sheet's own loop: picks the Handles tab and watches the page.
void CALLBACK OnSheetShown(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    Watch->sheet = FindWindowA(nullptr, "Object Properties");
    if (Watch->probe != nullptr) Watch->probe->recording = true;
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
// with a probe, messages are posted to the window's thread until the sheet has gone.
void WatchPage(MessageWaitProbe* probe, PageWatch& watch) {
    Watch = &watch;
    watch.probe = probe;
    if (probe != nullptr) probe->StartPosting();
    SetTimer(nullptr, 0, 1, OnSheetShown);
    ShowObjectProperties(AppContext.objectList, AppContext.instance, watch.path.c_str());
    if (probe != nullptr) probe->StopPosting();
    if (watch.ended == 0) watch.ended = Seconds();  // closed some other way
    Watch = nullptr;
}

struct HandlesResult {
    long n;
    long candidates;
    double floor;
    double searchOnly;  // the search on this thread, with no page
    double holder;
    double ended;
    MessageWaitProbe::Summary waits;
    bool holderListed;
};

HandlesResult MeasureSize(MessageWaitProbe& probe, long n) {
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

    std::vector<double> floors, searches, holders, ends;
    probe.waits.clear();
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
        WatchPage(&probe, probed);
        Progress("round measured", n);
    }
    result.floor = Median(floors);
    result.searchOnly = Median(searches);
    result.holder = Median(holders);
    result.ended = Median(ends);
    result.waits = probe.Summarize();
    return result;
}

}  // namespace

void RunHandlesBench(const std::vector<long>& sizes) {
    MessageWaitProbe probe;
    std::vector<HandlesResult> results;
    for (long n : sizes) results.push_back(MeasureSize(probe, n));

    // Each page time is followed by its ratio to the floor; waits are of posted messages while the page searched.
    std::printf("\n%8s %10s %8s %9s %6s %9s %6s %9s %6s %9s %9s %7s\n", "events", "candidates", "floor s",
                "search s", "/floor", "holder s", "/floor", "ended s", "/floor", "wait med", "wait max", "probes");
    for (const HandlesResult& r : results) {
        std::printf("%8ld %10ld %8.3f %9.3f %6.2f %9.3f %6.2f %9.3f %6.2f %7.2fms %7.2fms %7zu%s\n", r.n,
                    r.candidates, r.floor, r.searchOnly, r.searchOnly / r.floor, r.holder, r.holder / r.floor,
                    r.ended, r.ended / r.floor, r.waits.medianMs, r.waits.maxMs, r.waits.count,
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
        Emit("handles_wait_median_ms", r.n, r.waits.medianMs);
        Emit("handles_wait_max_ms", r.n, r.waits.maxMs);
        Emit("handles_holder_listed", r.n, r.holderListed ? 1 : 0);
    }
}
