// What the benchmark's parts share: a clock, medians, progress and result
// lines, and a probe of how long messages posted to the window's thread wait.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

#include "support/test_namespace.h"

// Seconds on the performance counter.
double Seconds();
// The middle value; 0 for none.
double Median(std::vector<double> values);
// Progress on the error stream, so a long run shows where it is.
void Progress(const char* step, long n);
// One "BENCH key n=... value=..." line of the results.
void Emit(const char* key, long n, double value);

// Fills a scratch directory with n events spread over sub-directories of
// perDirectory each ("Dir0000\\Event000000", ...); ends the run where it cannot.
void FillSpreadEvents(ScratchDirectory& scratch, long n, long perDirectory);

// While posting, a thread posts a message stamped with the performance
// counter to a window of the probe's own every 10 ms; while recording is set
// (by the window's thread), the wait of each such message until the window's
// thread handles it is kept in milliseconds.
class MessageWaitProbe {
public:
    MessageWaitProbe();
    MessageWaitProbe(const MessageWaitProbe&) = delete;
    MessageWaitProbe& operator=(const MessageWaitProbe&) = delete;
    ~MessageWaitProbe();

    void StartPosting();
    void StopPosting();

    bool recording = false;
    std::vector<double> waits;

    struct Summary {
        double medianMs;
        double maxMs;
        std::size_t count;
    };
    Summary Summarize() const;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    std::atomic<bool> posting_{false};
    std::thread poster_;
};
