#include "bench/bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "shell/app_context.h"

namespace {

constexpr char kProbeClass[] = "TarnelBenchProbe";
constexpr UINT WM_PROBE = WM_APP + 7;
constexpr DWORD kProbeEveryMs = 10;

LONGLONG Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Fixed at boot; read once.
double Frequency() {
    static const double frequency = [] {
        LARGE_INTEGER counts;
        QueryPerformanceFrequency(&counts);
        return static_cast<double>(counts.QuadPart);
    }();
    return frequency;
}

}  // namespace

double Seconds() { return static_cast<double>(Ticks()) / Frequency(); }

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Progress(const char* step, long n) {
    std::fprintf(stderr, "[%8.2f s] %s (n=%ld)\n", Seconds(), step, n);
    std::fflush(stderr);
}

void Emit(const char* key, long n, double value) { std::printf("BENCH %s n=%ld value=%.6f\n", key, n, value); }

MessageWaitProbe::MessageWaitProbe() {
    WNDCLASSA probeClass{};
    probeClass.lpfnWndProc = Procedure;
    probeClass.hInstance = AppContext.instance;
    probeClass.lpszClassName = kProbeClass;
    RegisterClassA(&probeClass);  // fails harmlessly when a probe made it before
    window_ = CreateWindowExA(0, kProbeClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, AppContext.instance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWaitProbe::~MessageWaitProbe() {
    StopPosting();
    DestroyWindow(window_);
}

void MessageWaitProbe::StartPosting() {
    if (posting_) return;
    posting_ = true;
    // The stamp travels in lParam: differences of two stay right across a wrap.
    poster_ = std::thread([this] {
        while (posting_) {
            PostMessageA(window_, WM_PROBE, 0, static_cast<LPARAM>(Ticks()));
            Sleep(kProbeEveryMs);
        }
    });
}

void MessageWaitProbe::StopPosting() {
    posting_ = false;
    if (poster_.joinable()) poster_.join();
}

MessageWaitProbe::Summary MessageWaitProbe::Summarize() const {
    return {Median(waits), waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end()), waits.size()};
}

LRESULT CALLBACK MessageWaitProbe::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* probe = reinterpret_cast<MessageWaitProbe*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_PROBE && probe != nullptr && probe->recording) {
        const auto elapsed = static_cast<ULONG_PTR>(Ticks()) - static_cast<ULONG_PTR>(lParam);
        probe->waits.push_back(1000.0 * static_cast<double>(elapsed) / Frequency());
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void FillSpreadEvents(ScratchDirectory& scratch, long n, long perDirectory) {
    if (!scratch.Valid()) {
        std::fprintf(stderr, "cannot create the benchmark directory\n");
        std::exit(1);
    }
    char name[48];
    for (long i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "Dir%04ld", i / perDirectory);
        if (i % perDirectory == 0) scratch.AddDirectory(name);
        std::snprintf(name, sizeof name, "Dir%04ld\\Event%06ld", i / perDirectory, i);
        scratch.AddEvent(name, true, false);
    }
}
