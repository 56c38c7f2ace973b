// A wait the user can see. A fill, navigation or refresh runs on the one GUI
// thread and dispatches nothing, so the window cannot repaint itself while it
// runs. Once such work has taken about a third of a second, the wait cursor
// shows and the status bar says what is being done and how far it has got,
// repainted directly a few times a second. When the work ends, the cursor
// comes back and the status text is put back unless the work itself set a
// new one meanwhile.
#pragma once

#include <windows.h>

#include <string>

#include "common/count_text.h"
#include "namespace/directory_walk.h"

// When progress first shows, and how often it is repainted afterwards.
struct ProgressTiming {
    DWORD firstAfterMs;
    DWORD everyMs;
};
inline constexpr ProgressTiming kDefaultProgressTiming = {333, 250};
// Tests shorten the timing to see progress on small directories.
void SetProgressTiming(ProgressTiming timing);

class WorkProgress {
public:
    // verb and subject make the text, e.g. "Listing" and a directory's path.
    WorkProgress(const char* verb, const char* subject, const char* unit);
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;
    ~WorkProgress();

    // The work has reached count items; shows it when the time has come.
    void Report(long count);
    // The same work goes on under another verb, e.g. "Sorting".
    void Stage(const char* verb);
    // Hands Report to a directory walk.
    WalkProgress ForWalk();

private:
    void Show(long count);

    std::string verb_;
    std::string subject_;
    std::string unit_;
    DWORD started_;
    DWORD lastShown_ = 0;
    long count_ = 0;
    bool shown_ = false;
    std::string savedText_;  // the status text before the first show
    std::string shownText_;  // the progress text last shown
    HCURSOR savedCursor_ = nullptr;
};
