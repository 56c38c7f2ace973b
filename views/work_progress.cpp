#include "views/work_progress.h"

#include <commctrl.h>

#include <cstdio>

#include "shell/app_context.h"
#include "shell/toolbar_status.h"

namespace {

ProgressTiming Timing = kDefaultProgressTiming;

std::string StatusBarText() {
    char text[kStatusTextSize] = {};
    if (AppContext.statusBar != nullptr)
        SendMessageA(AppContext.statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

// Sets the text and paints the bar at once; UpdateWindow sends the paint
// straight to the bar, so no queued message is dispatched.
void PaintStatusText(const std::string& text) {
    if (AppContext.statusBar == nullptr) return;
    SendMessageA(AppContext.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    UpdateWindow(AppContext.statusBar);
}

void ReportToProgress(void* context, long count) { static_cast<WorkProgress*>(context)->Report(count); }

}  // namespace

void SetProgressTiming(ProgressTiming timing) { Timing = timing; }

WorkProgress::WorkProgress(const char* verb, const char* subject, const char* unit)
    : verb_(verb), subject_(subject != nullptr ? subject : ""), unit_(unit), started_(GetTickCount()) {}

WorkProgress::~WorkProgress() {
    if (!shown_) return;
    SetCursor(savedCursor_);
    // Work that set a status text of its own keeps it.
    if (StatusBarText() == shownText_) PaintStatusText(savedText_);
}

void WorkProgress::Report(long count) {
    count_ = count;
    const DWORD now = GetTickCount();
    if (!shown_ && now - started_ < Timing.firstAfterMs) return;
    if (shown_ && now - lastShown_ < Timing.everyMs) return;
    Show(count);
}

void WorkProgress::Stage(const char* verb) {
    verb_ = verb;
    if (shown_) Show(count_);
}

WalkProgress WorkProgress::ForWalk() { return {ReportToProgress, this}; }

void WorkProgress::Show(long count) {
    if (!shown_) {
        shown_ = true;
        savedText_ = StatusBarText();
        savedCursor_ = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    }
    lastShown_ = GetTickCount();
    // A subject too long for the bar loses its beginning, so the count always shows.
    const std::string head = verb_ + " ";
    const std::string tail = ": " + FormatCount(count) + " " + unit_;
    const std::size_t room = kStatusTextSize - 1 - head.size() - tail.size();
    std::string subject = subject_;
    if (subject.size() > room) subject = "..." + subject.substr(subject.size() - (room - 3));
    shownText_ = head + subject + tail;
    PaintStatusText(shownText_);
}
