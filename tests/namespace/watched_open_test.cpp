// The watched open: an open that answers in time gives its handle; one that
// does not is left to its thread, which closes what it opens once it returns,
// and the next open goes to a new thread; a stop ends the wait at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <vector>

#include "common/path_block.h"
#include "namespace/visible_name.h"
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
    const std::string tooLong(0x8000, 'x');  // beyond what a counted name holds
    UniqueWin32Handle stop(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    const long handlesBefore = CountProcessHandles();

    struct Open {
        const std::string& path;
        WatchedOpenResult result;
        NTSTATUS status;  // when answered
    };
    const struct {
        bool stopped;  // the stop event is set before the batch
        std::vector<Open> opens;
        long threadsAfter;
    } batches[] = {
        // The stuck open is left to its thread, and the rest go on a new one, which stays for the next batch.
        {false,
         {{quick, WatchedOpenResult::Answered, kStatusSuccess},
          {stuck, WatchedOpenResult::NotAnswering, 0},
          {quick, WatchedOpenResult::Answered, kStatusSuccess},
          {tooLong, WatchedOpenResult::Answered, kStatusNameTooLong}},
         2},
        // The stop leaves the open under way; the rest are not made.
        {true, {{stuck, WatchedOpenResult::Stopped, 0}, {quick, WatchedOpenResult::Stopped, 0}}, 2},
        {false, {{quick, WatchedOpenResult::Answered, kStatusSuccess}}, 3},
    };
    {
        OpenGate gate(kLimitMs);
        gate.Hold(stuck);
        {
            WatchedOpener opener;
            // No SCOPED_TRACE: its first use makes a handle of the test library's own.
            for (std::size_t b = 0; b < std::size(batches); ++b) {
                std::vector<std::wstring> paths;
                for (const Open& open : batches[b].opens) paths.push_back(WidenPath(open.path));
                std::vector<WatchedOpen> opens;
                for (const std::wstring& path : paths) opens.emplace_back(kTypeEvent, &path, EVENT_MODIFY_STATE);
                opener.OpenAll(opens, kLimitMs, batches[b].stopped ? stop.get() : nullptr);
                EXPECT_EQ(WatchedOpener::LiveThreads(), batches[b].threadsAfter) << "batch " << b;
                for (std::size_t i = 0; i < opens.size(); ++i) {
                    const Open& expected = batches[b].opens[i];
                    EXPECT_EQ(opens[i].result, expected.result) << "batch " << b << " open " << i;
                    if (opens[i].result != WatchedOpenResult::Answered) continue;
                    EXPECT_EQ(opens[i].status, expected.status) << "batch " << b << " open " << i;
                    ACCESS_MASK granted = 0;
                    EXPECT_EQ(static_cast<bool>(opens[i].handle), expected.status == kStatusSuccess);
                    if (opens[i].handle) {
                        EXPECT_EQ(QueryGrantedAccess(opens[i].handle.get(), granted), kStatusSuccess);
                        EXPECT_EQ(granted & EVENT_MODIFY_STATE, static_cast<ACCESS_MASK>(EVENT_MODIFY_STATE));
                    }
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
