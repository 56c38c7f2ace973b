// Measures listing and navigating huge directories against two floors of the
// platform's: the bare single-entry enumeration, and that enumeration with
// one directory test per entry; then the Handles page against a helper
// process holding as many events (bench/handles_bench.cpp), the Find boxes
// (bench/find_bench.cpp) and snapshots (bench/snapshot_bench.cpp).
//
//   namespace_bench [directories|handles|find|snapshot] [n ...]   default: every part, sizes 1000 10000 30000
//
// Prints a table and one "BENCH key=value" line per figure.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/find_bench.h"
#include "bench/handles_bench.h"
#include "bench/snapshot_bench.h"
#include "common/path_block.h"
#include "views/directory_fill.h"
#include "namespace/directory_walk.h"
#include "namespace/object_order.h"
#include "namespace/native_services.h"
#include "namespace/type_facts.h"
#include "properties/type_page.h"
#include "shell/app_context.h"
#include "shell/startup.h"
#include "support/test_namespace.h"
#include "views/namespace_tree.h"
#include "views/navigation.h"
#include "views/object_list.h"

namespace {

struct Counts {
    long enumerations;
    long opens;
    long queries;
};

Counts CountsSince(const NamespaceCallCounts& before) {
    const NamespaceCallCounts& now = NamespaceCounters();
    return {now.enumerations - before.enumerations, now.opens - before.opens,
            now.directoryQueries - before.directoryQueries};
}

// The platform's floors: single-entry queries over the directory with
// nothing else done (the bare floor), or with one directory open per entry
// (the floor with opens).
double MeasureFloor(const std::string& directory, bool openEach) {
    const double start = Seconds();
    NamedAttributes attributes(directory);
    HANDLE handle = nullptr;
    if (NtOpenDirectoryObject(&handle, 0x20001, attributes.Get()) != kStatusSuccess) return 0;
    UniqueNtHandle owner(handle);
    std::vector<ULONG_PTR> buffer(4096 / sizeof(ULONG_PTR));
    std::wstring childPath;
    ULONG context = 0;
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        ULONG returned = 0;
        if (NtQueryDirectoryObject(owner.get(), buffer.data(), 4096, TRUE, restart, &context, &returned) !=
            kStatusSuccess)
            break;
        if (!openEach) continue;
        const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer.data());
        childPath.assign(directory.begin(), directory.end());
        childPath += L'\\';
        childPath.append(entry->name.Buffer, entry->name.Length / sizeof(WCHAR));
        UNICODE_STRING name{static_cast<USHORT>(childPath.size() * 2), static_cast<USHORT>(childPath.size() * 2),
                            childPath.data()};
        OBJECT_ATTRIBUTES childAttributes = MakeObjectAttributes(&name);
        HANDLE child = nullptr;
        if (NtOpenDirectoryObject(&child, 0x20001, &childAttributes) == kStatusSuccess) NtClose(child);
    }
    return Seconds() - start;
}

// Committed private memory of the process, summed over its address space
// (the process counters leave the private usage at 0 under Wine).
double PrivateMegabytes() {
    MEMORY_BASIC_INFORMATION region{};
    unsigned long long total = 0;
    const char* address = nullptr;
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return static_cast<double>(total) / (1024.0 * 1024.0);
}

// What the process's heaps hold in live blocks: the committed figure above
// also counts memory a heap keeps after its blocks were freed, which under
// Wine moves with the order of allocations more than with what is held.
double HeapInUseMegabytes() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    unsigned long long total = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        }
        HeapUnlock(heap);
    }
    return static_cast<double>(total) / (1024.0 * 1024.0);
}

// The namespace side of a fill alone: the walk with its row texts and child
// paths, and the directory tests of the sort, with no list control involved.
double MeasureWalkOnly(const std::string& directory) {
    const double start = Seconds();
    std::vector<ListedRow> rows = WalkObjectRows(
        directory.c_str(), [](void*, int, const char*, char*, char*) { return true; }, nullptr);
    std::vector<const char*> paths;
    for (const ListedRow& row : rows) paths.push_back(row.path);
    DirectoryTestRecord tests(std::move(rows));
    const double elapsed = Seconds() - start;
    for (const char* path : paths) FreePathBlock(const_cast<char*>(path));
    return elapsed;
}

// The Type page's work on a huge directory: finding the entry the directory
// lists last (the page reads the directory up to it), and counting every
// entry a slice per tick, with the longest slice: the longest the window waits.
struct TypePageTimes {
    double findLast;
    double count;
    double longestSlice;
};

TypePageTimes MeasureTypePage(const std::string& directory) {
    TypePageTimes times{};
    DirectoryReader reader;
    std::string last;
    if (reader.Open(directory.c_str())) {
        while (reader.Next()) last = reader.Name();
    }
    double start = Seconds();
    const TypeFacts facts = GatherTypeFacts(ChildPathOf(directory, last).c_str());
    times.findLast = Seconds() - start;
    if (!facts.located) std::fprintf(stderr, "the Type page did not find %s\n", last.c_str());

    HANDLE handle = nullptr;
    NamedAttributes attributes(directory);
    if (NtOpenDirectoryObject(&handle, 0x1, attributes.Get()) != kStatusSuccess) return times;
    DirectoryCount count;
    start = Seconds();
    count.Start(UniqueNtHandle(handle));
    for (bool more = true; more;) {
        const double sliceStart = Seconds();
        more = count.Step(kDefaultCountSlice, kCountSliceBudgetMs);
        times.longestSlice = std::max(times.longestSlice, Seconds() - sliceStart);
    }
    times.count = Seconds() - start;
    return times;
}

struct Result {
    long n;
    double bareFloor;
    double floor;
    double walkOnly;
    double fill;
    double navigation;
    double refresh;
    Counts fillCounts;
    Counts navigationCounts;
    Counts refreshCounts;
    int rowsShown;
    TypePageTimes typePage;
};

Result MeasureSize(long n) {
    Result result{};
    result.n = n;
    ScratchDirectory scratch;
    if (!scratch.Valid()) {
        std::fprintf(stderr, "cannot create the benchmark directory\n");
        std::exit(1);
    }
    char name[32];
    for (long i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "Event%06ld", i);
        scratch.AddEvent(name, true, false);
    }
    for (int i = 0; i < 5; ++i) {
        scratch.AddDirectory("Sub" + std::to_string(i));
        scratch.AddSymbolicLink("Link" + std::to_string(i), "\\BaseNamedObjects");
    }
    Progress("objects created", n);
    const std::string directory = scratch.Path();
    const int repeats = 3;
    HWND main = AppContext.mainWindow;
    HWND list = AppContext.objectList;
    HWND tree = AppContext.namespaceTree;

    // The tree shows the namespace of the last Refresh: bring the new directory in.
    SendMessageA(main, WM_COMMAND, 126, 0);

    Progress("tree refreshed", n);
    // Each round measures everything once, so that the machine's drifts in
    // speed fall on the floors and the program alike; the medians are reported.
    std::vector<double> bareFloors, floors, walks, fills, navigations, refreshes;
    std::string pathBuffer = directory;
    for (int r = 0; r < repeats; ++r) {
        bareFloors.push_back(MeasureFloor(directory, false));
        floors.push_back(MeasureFloor(directory, true));

        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        DeleteAllObjectRows(list);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        NamespaceCallCounts before = NamespaceCounters();
        double start = Seconds();
        FillObjectList(list, directory.c_str());
        fills.push_back(Seconds() - start);
        result.fillCounts = CountsSince(before);

        // Start from the root, then move the tree's selection as a click does.
        HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
        HTREEITEM item = FindTreeItemByPath(tree, nullptr, pathBuffer.data());
        if (item == nullptr) {
            std::fprintf(stderr, "the benchmark directory is not in the tree\n");
            std::exit(1);
        }
        before = NamespaceCounters();
        start = Seconds();
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        navigations.push_back(Seconds() - start);
        result.navigationCounts = CountsSince(before);
        result.rowsShown = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));

        before = NamespaceCounters();
        start = Seconds();
        SendMessageA(main, WM_COMMAND, 126, 0);
        refreshes.push_back(Seconds() - start);
        result.refreshCounts = CountsSince(before);
        Progress("round measured", n);
    }

    if (n >= 30000) {
        const double megabytes = PrivateMegabytes();
        const double inUse = HeapInUseMegabytes();
        std::printf("Private memory with %d rows shown: %.1f MiB committed, %.1f MiB in live heap blocks\n",
                    result.rowsShown, megabytes, inUse);
        Emit("private_memory_mib", n, megabytes);
        Emit("heap_in_use_mib", n, inUse);
    }

    // After the memory figure, so the diagnostic walk's own allocations do not count.
    for (int r = 0; r < repeats; ++r) walks.push_back(MeasureWalkOnly(directory));
    std::vector<double> finds, counts, slices;
    for (int r = 0; r < repeats; ++r) {
        const TypePageTimes times = MeasureTypePage(directory);
        finds.push_back(times.findLast);
        counts.push_back(times.count);
        slices.push_back(times.longestSlice);
    }
    result.typePage = {Median(finds), Median(counts), Median(slices)};

    result.bareFloor = Median(bareFloors);
    result.floor = Median(floors);
    result.walkOnly = Median(walks);
    result.fill = Median(fills);
    result.navigation = Median(navigations);
    result.refresh = Median(refreshes);

    // Leave the directory before it goes away, and drop it from the tree.
    HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
    return result;
}

double StartupTreeFill() {
    HWND tree = AppContext.namespaceTree;
    const double start = Seconds();
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    DeleteAllTreeItems(tree);
    HTREEITEM root = InsertRootItem(tree);
    FillDirectoryTree(tree, root, "\\");
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    const double elapsed = Seconds() - start;
    SendMessageA(AppContext.mainWindow, WM_COMMAND, 126, 0);  // back to a consistent tree
    return elapsed;
}

void MeasureDirectories(const std::vector<long>& sizes) {
    const double treeFill = StartupTreeFill();
    std::vector<Result> results;
    for (long n : sizes) results.push_back(MeasureSize(n));

    // Each time is followed by its ratio to the bare floor and to the floor with opens.
    std::printf("\n%8s %8s %8s %8s %8s %5s %5s %8s %5s %5s %9s %5s %5s  %s\n", "rows", "bare s", "floor s", "walk s",
                "fill s", "/bare", "/flr", "navig s", "/bare", "/flr", "refresh s", "/bare", "/flr",
                "enumerations/opens: fill | navigation | refresh");
    for (const Result& r : results) {
        std::printf("%8ld %8.3f %8.3f %8.3f %8.3f %5.2f %5.2f %8.3f %5.2f %5.2f %9.3f %5.2f %5.2f  "
                    "%ld/%ld | %ld/%ld | %ld/%ld\n",
                    r.n, r.bareFloor, r.floor, r.walkOnly, r.fill, r.fill / r.bareFloor, r.fill / r.floor,
                    r.navigation, r.navigation / r.bareFloor, r.navigation / r.floor, r.refresh,
                    r.refresh / r.bareFloor, r.refresh / r.floor, r.fillCounts.enumerations, r.fillCounts.opens,
                    r.navigationCounts.enumerations, r.navigationCounts.opens, r.refreshCounts.enumerations,
                    r.refreshCounts.opens);
    }
    std::printf("Start-up tree fill of the whole namespace: %.3f s\n\n", treeFill);
    std::printf("%8s %14s %12s %20s\n", "rows", "Type: find s", "count s", "longest slice ms");
    for (const Result& r : results)
        std::printf("%8ld %14.3f %12.3f %20.1f\n", r.n, r.typePage.findLast, r.typePage.count,
                    r.typePage.longestSlice * 1000.0);
    std::printf("\n");

    Emit("startup_tree_fill_s", 0, treeFill);
    for (const Result& r : results) {
        Emit("bare_floor_s", r.n, r.bareFloor);
        Emit("floor_s", r.n, r.floor);
        Emit("walk_without_list_s", r.n, r.walkOnly);
        Emit("fill_s", r.n, r.fill);
        Emit("fill_ratio", r.n, r.fill / r.floor);
        Emit("fill_ratio_bare", r.n, r.fill / r.bareFloor);
        Emit("navigation_s", r.n, r.navigation);
        Emit("navigation_ratio", r.n, r.navigation / r.floor);
        Emit("navigation_ratio_bare", r.n, r.navigation / r.bareFloor);
        Emit("refresh_s", r.n, r.refresh);
        Emit("refresh_ratio", r.n, r.refresh / r.floor);
        Emit("refresh_ratio_bare", r.n, r.refresh / r.bareFloor);
        Emit("fill_opens", r.n, r.fillCounts.opens);
        Emit("navigation_enumerations", r.n, r.navigationCounts.enumerations);
        Emit("navigation_opens", r.n, r.navigationCounts.opens);
        Emit("refresh_enumerations", r.n, r.refreshCounts.enumerations);
        Emit("refresh_opens", r.n, r.refreshCounts.opens);
        Emit("rows_shown", r.n, r.rowsShown);
        Emit("type_page_find_last_s", r.n, r.typePage.findLast);
        Emit("type_page_count_s", r.n, r.typePage.count);
        Emit("type_page_longest_slice_s", r.n, r.typePage.longestSlice);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string part = argc > 1 ? argv[1] : "";
    const bool onePart = part == "directories" || part == "handles" || part == "find" || part == "snapshot";
    std::vector<long> sizes;
    for (int i = onePart ? 2 : 1; i < argc; ++i) sizes.push_back(std::strtol(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {1000, 10000, 30000};

    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterWindowClasses(instance) || !CreateMainWindow(instance, SW_SHOWNORMAL)) {
        std::fprintf(stderr, "the main window did not come up\n");
        return 1;
    }

    if (!onePart || part == "directories") MeasureDirectories(sizes);
    if (!onePart || part == "handles") RunHandlesBench(sizes);
    if (!onePart || part == "find") RunFindBench(sizes);
    if (!onePart || part == "snapshot") RunSnapshotBench(sizes);
    DestroyWindow(AppContext.mainWindow);
    return 0;
}
