// The watched open: an open that answers in time gives its handle; one that
// does not is left to its thread, which closes what it opens once it returns,
// and the next open goes to a new thread; a stop ends the wait at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>

#include "common/path_block.h"
#include "namespace/object_opener.h"
#include "namespace/watched_open.h"
#include "support/handle_count.h"
#include "support/open_gate.h"
#include "support/test_namespace.h"

namespace {

constexpr DWORD kLimitMs = 100;

TEST(WatchedOpenTest, OpensThatDoNotAnswerAreLeftToTheirThreads) {
    ScratchDirectory scratch;
    const std::string quick = scratch.AddEvent("Quick", true, false);
    const std::string stuck = scratch.AddEvent("Stuck", true, false);
    ASSERT_FALSE(quick.empty() || stuck.empty());
    const std::string tooLong(kObjectPathBlockSize, 'x');
    UniqueWin32Handle stop(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    const long handlesBefore = CountProcessHandles();

    struct Step {
        const std::string& path;
        bool stopped;  // the stop event is set before the open
        WatchedOpenResult result;
        NTSTATUS status;  // when answered
        long threadsAfter;
    };
    const Step steps[] = {
        {quick, false, WatchedOpenResult::Answered, kStatusSuccess, 1},    // the thread stays for the next
        {stuck, false, WatchedOpenResult::NotAnswering, 0, 1},             // left to finish
        {quick, false, WatchedOpenResult::Answered, kStatusSuccess, 2},    // on a new thread
        {stuck, true, WatchedOpenResult::Stopped, 0, 2},                   // left at the stop
        {tooLong, false, WatchedOpenResult::Answered, kStatusNameTooLong, 2},  // refused unsent
        {quick, false, WatchedOpenResult::Answered, kStatusSuccess, 3},
    };
    {
        OpenGate gate(kLimitMs);
        gate.Hold(stuck);
        {
            WatchedOpener opener;
            // No SCOPED_TRACE: its first use makes a handle of the test library's own.
            for (std::size_t i = 0; i < std::size(steps); ++i) {
                const Step& step = steps[i];
                NTSTATUS status = kStatusSuccess;
                UniqueNtHandle handle;
                const WatchedOpenResult result = opener.Open(kTypeEvent, step.path.c_str(), EVENT_MODIFY_STATE, kLimitMs,
                                                             step.stopped ? stop.get() : nullptr, status, handle);
                EXPECT_EQ(result, step.result) << "step " << i;
                EXPECT_EQ(WatchedOpener::LiveThreads(), step.threadsAfter) << "step " << i;
                if (result != WatchedOpenResult::Answered) continue;
                EXPECT_EQ(status, step.status) << "step " << i;
                ACCESS_MASK granted = 0;
                EXPECT_EQ(static_cast<bool>(handle), status == kStatusSuccess);
                if (handle) {
                    EXPECT_EQ(QueryGrantedAccess(handle.get(), granted), kStatusSuccess);
                    EXPECT_EQ(granted & EVENT_MODIFY_STATE, static_cast<ACCESS_MASK>(EVENT_MODIFY_STATE));
                }
            }
        }
        // The idle thread ends with its opener; the two left wait at the gate.
        EXPECT_EQ(WatchedOpener::LiveThreads(), 2);
        EXPECT_TRUE(gate.WaitForWaiting(2));
    }  // the gate opens: the left opens return and their threads close what they opened
    EXPECT_EQ(WatchedOpener::LiveThreads(), 0);
    EXPECT_EQ(CountProcessHandles(), handlesBefore);
}

}  // namespace
