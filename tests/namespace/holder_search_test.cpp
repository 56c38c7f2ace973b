// The guards of the handle search: queries that do not answer in time are
// given up and counted, slow ones that answer still count, and the debug
// privilege is enabled for the search alone, only where the token holds it.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "common/enabled_privilege.h"
#include "namespace/holder_search.h"
#include "support/handle_count.h"
#include "support/query_gate.h"
#include "support/sheet_pages.h"
#include "support/test_namespace.h"

namespace {

constexpr char kDebugPrivilege[] = "SeDebugPrivilege";
constexpr ACCESS_MASK kGatedAccess = EVENT_MODIFY_STATE;
constexpr QueryTimeLimits kNeverGivenUp = {20, 600000};

enum class PrivilegeState { NotHeld, Disabled, Enabled };

PrivilegeState StateIn(HANDLE token, const char* name) {
    LUID luid{};
    alignas(8) BYTE buffer[2048];
    DWORD length = 0;
    if (!LookupPrivilegeValueA(nullptr, name, &luid) ||
        !GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &length))
        return PrivilegeState::NotHeld;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart != luid.LowPart || entry.Luid.HighPart != luid.HighPart) continue;
        return (entry.Attributes & SE_PRIVILEGE_ENABLED) ? PrivilegeState::Enabled : PrivilegeState::Disabled;
    }
    return PrivilegeState::NotHeld;
}

PrivilegeState ProcessState(const char* name) {
    UniqueWin32Handle token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
    return StateIn(token.get(), name);
}

// A copy of this process's token to change at will.
UniqueWin32Handle TokenCopy() {
    UniqueWin32Handle process, copy;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, process.put()))
        DuplicateTokenEx(process.get(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, nullptr, SecurityImpersonation,
                         TokenPrimary, copy.put());
    return copy;
}

void SetEnabled(HANDLE token, const char* name, bool enabled) {
    TOKEN_PRIVILEGES request{};
    request.PrivilegeCount = 1;
    LookupPrivilegeValueA(nullptr, name, &request.Privileges[0].Luid);
    request.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    AdjustTokenPrivileges(token, FALSE, &request, 0, nullptr, nullptr);
}

TEST(EnabledPrivilegeTest, EnablesOnlyAHeldPrivilegeAndGivesBackItsState) {
    struct Case {
        const char* name;
        PrivilegeState before;
        bool enabledHere;
    };
    const Case cases[] = {
        {kDebugPrivilege, PrivilegeState::Disabled, true},
        {kDebugPrivilege, PrivilegeState::Enabled, false},
        {"SeCreateTokenPrivilege", PrivilegeState::NotHeld, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UniqueWin32Handle token = TokenCopy();
        ASSERT_TRUE(token);
        if (c.before != PrivilegeState::NotHeld) SetEnabled(token.get(), c.name, c.before == PrivilegeState::Enabled);
        ASSERT_EQ(StateIn(token.get(), c.name), c.before) << "this account's token cannot make the case";
        PrivilegeState during = PrivilegeState::NotHeld;
        bool held = false, enabledHere = false;
        {
            EnabledPrivilege privilege(token.get(), c.name);
            held = privilege.Held();
            enabledHere = privilege.EnabledHere();
            during = StateIn(token.get(), c.name);
        }
        EXPECT_EQ(held, c.before != PrivilegeState::NotHeld);
        EXPECT_EQ(enabledHere, c.enabledHere);
        EXPECT_EQ(during, held ? PrivilegeState::Enabled : PrivilegeState::NotHeld);
        EXPECT_EQ(StateIn(token.get(), c.name), c.before);
    }
}

// An event with three handles of this process's: the scratch directory's,
// one that answers and one that waits at the gate.
class SlowQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // What the platform makes on a thread's first wait for messages, and keeps, comes before any count.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
        path_ = scratch_.AddEvent("Slow", true, false);
        ASSERT_FALSE(path_.empty());
        answering_ = Open(SYNCHRONIZE);
        gated_ = Open(kGatedAccess);
        ASSERT_TRUE(answering_ && gated_);
    }
    UniqueNtHandle Open(ACCESS_MASK access) {
        NamedAttributes attributes(path_);
        HANDLE handle = nullptr;
        if (NtOpenEvent(&handle, access, attributes.Get()) != kStatusSuccess) return UniqueNtHandle();
        return UniqueNtHandle(handle);
    }

    ScratchDirectory scratch_;
    std::string path_;
    UniqueNtHandle answering_, gated_;
};

// The search ends without the query; the query keeps nothing of the search
// but its thread and its duplicate, which go when it comes back.
TEST_F(SlowQueryTest, QueryThatNeverAnswersIsGivenUpAndCounted) {
    QueryGate gate({20, 200});
    gate.HoldAccess(kGatedAccess);
    InformationBlockCount blocks;
    const long handlesBefore = CountProcessHandles();
    const HolderSearch search = FindObjectHolders(path_.c_str());
    const long blocksKept = blocks.Live(), threadsKept = LiveSearchThreads();
    const long handlesKept = CountProcessHandles() - handlesBefore;
    gate.Open();
    EXPECT_TRUE(PumpUntil([] { return LiveSearchThreads() == 0; }));
    EXPECT_EQ(blocksKept, 0);
    EXPECT_EQ(handlesKept, 1);
    EXPECT_EQ(threadsKept, 1);
    EXPECT_EQ(CountProcessHandles(), handlesBefore);
    EXPECT_EQ(gate.Waiting(), 1);
    ASSERT_EQ(search.result, HolderSearchResult::Done);
    EXPECT_EQ(search.ownHandles, 2);
    ASSERT_EQ(search.notAnswering.size(), 1u);
    EXPECT_EQ(search.notAnswering[0].processId, GetCurrentProcessId());
    EXPECT_EQ(search.notAnswering[0].handleValue, reinterpret_cast<ULONG_PTR>(gated_.get()));
    EXPECT_TRUE(search.handles.empty());
}

// A query that outlasts the detach limit is left to finish while the search
// goes on, and what it answers still counts. Meanwhile the search runs with
// the debug privilege enabled, and gives it back afterwards.
TEST_F(SlowQueryTest, SlowAnswerCountsAndThePrivilegeIsTheSearchsAlone) {
    const PrivilegeState before = ProcessState(kDebugPrivilege);
    ASSERT_EQ(before, PrivilegeState::Disabled) << "this account's token cannot make the case";
    QueryGate gate(kNeverGivenUp);
    gate.HoldAccess(kGatedAccess);
    HolderSearch search;
    std::thread searching([&] { search = FindObjectHolders(path_.c_str()); });
    EXPECT_TRUE(PumpUntil([&gate] { return gate.Waiting() == 1; }));
    Sleep(10 * kNeverGivenUp.detachAfterMs);
    const PrivilegeState during = ProcessState(kDebugPrivilege);
    gate.Open();
    searching.join();
    EXPECT_EQ(during, PrivilegeState::Enabled);
    EXPECT_EQ(ProcessState(kDebugPrivilege), before);
    EXPECT_TRUE(search.notAnswering.empty());
    EXPECT_EQ(search.ownHandles, 3);
}

}  // namespace
