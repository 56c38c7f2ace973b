// A long session through the real main window: many navigations, refreshes,
// property sheets (each shown on all three pages), view changes and splitter
// drags, after which the process holds no more handles, GDI objects, USER
// objects or path blocks than before.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "browser_fixture.h"
#include "resource_ids.h"
#include "sheet_reader.h"
#include "shell/pane_layout.h"
#include "support/handle_count.h"
#include "support/sheet_pages.h"
#include "support/test_namespace.h"
#include "views/navigation.h"

namespace {

// Handles the platform itself may open on first use of something and keep
// (loaded modules, cached registry keys); the warm-up round absorbs most.
constexpr long kHandleTolerance = 4;

struct ResourceCounts {
    long handles;
    long gdiObjects;   // regions and display contexts not included where counted by probing
    long userObjects;
};

// Wine answers GetGuiResources with 0. Its GDI handles are indices into one
// table of 65536 entries, and a handle with a zero upper half names whichever
// object holds the entry, so the live objects can be counted by probing.
// Regions and display contexts are left out of that count: the platform makes
// and drops them itself for its cache of window DCs and for update areas, so
// their number moves with painting, not with what the program holds.
long CountGdiObjects() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<long>(count);
    long count = 0;
    for (ULONG_PTR index = 1; index <= 0xFFFF; ++index) {
        const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(index));
        if (type != 0 && type != OBJ_REGION && type != OBJ_DC) ++count;
    }
    return count;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM counter) {
    ++*reinterpret_cast<long*>(counter);
    EnumChildWindows(window, CountWindow, counter);
    return TRUE;
}

// Where GetGuiResources answers 0, the windows of this thread stand for the
// USER objects: every window, dialog and control the program makes is one.
long CountUserObjects() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return static_cast<long>(count);
    long count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// The platform makes each system colour brush on first use and keeps it.
ResourceCounts MeasureResources() {
    for (int color = 0; color <= COLOR_MENUBAR; ++color) GetSysColorBrush(color);
    return {CountProcessHandles(), CountGdiObjects(), CountUserObjects()};
}

void DragSplitterTo(int x) {
    SendMessageA(AppContext.splitter, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(AppContext.splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<short>(x - SplitX), 5));
    SendMessageA(AppContext.splitter, WM_LBUTTONUP, 0, 0);
}

class SoakTest : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        ASSERT_TRUE(scratch_.Valid());
        ASSERT_FALSE(scratch_.AddDirectory("A").empty());
        ASSERT_FALSE(scratch_.AddDirectory("A\\B").empty());
        ASSERT_FALSE(scratch_.AddDirectory("A\\B\\C").empty());
        objects_ = {scratch_.AddEvent("Ev", true, false), scratch_.AddSemaphore("Sem", 1, 4),
                    scratch_.AddMutant("Mu", false), scratch_.AddSymbolicLink("Ln", "\\BaseNamedObjects")};
        for (const std::string& path : objects_) ASSERT_FALSE(path.empty());
    }

    // Five navigations: into the fixture from the tree, down two levels by
    // double-clicks, back up two levels.
    void Navigate() {
        SelectInTree(scratch_.Path());
        ClickList(NM_DBLCLK, FindRow("A"));
        ClickList(NM_DBLCLK, FindRow("B"));
        Command(CMD_UP_ONE_LEVEL);
        Command(CMD_UP_ONE_LEVEL);
        navigations_ += 5;
    }

    void ShowProperties(const std::string& path) {
        ClickList(NM_CLICK, FindRow(path.substr(path.rfind('\\') + 1)));
        Command(CMD_PROPERTIES);
        ++sheets_;
    }

    void ChangeView() {
        static constexpr UINT kViews[] = {CMD_LARGE_ICON_VIEW, CMD_SMALL_ICON_VIEW, CMD_LIST_VIEW, CMD_DETAILS_VIEW};
        Command(kViews[viewChanges_++ % 4]);
    }

    // One round of everything the session does, rounds times over.
    void RunSession(int rounds) {
        for (int round = 0; round < rounds; ++round) {
            Navigate();
            ASSERT_STREQ(CurrentDirectory, scratch_.Path().c_str());
            Command(CMD_REFRESH);
            ++refreshes_;
            ShowProperties(objects_[round % objects_.size()]);
            if (round % 2 == 0) ChangeView();
            if (round % 5 == 0) {
                RECT client;
                GetClientRect(AppContext.mainWindow, &client);
                DragSplitterTo(round % 10 == 0 ? client.right / 3 : client.right * 2 / 3);
                ++drags_;
            }
        }
    }

    // Brings each sheet on to its Handles page, after the Security page, and
    // keeps the page's count line once its search has ended.
    std::function<void(HWND)> ShowHandlesPage() {
        return [this](HWND sheet) {
            HWND page = ShowPageTitled(sheet, "Handles");
            WaitForHandlesSearch(page);
            handlesSummaries_.push_back(WindowText(page, IDC_HANDLES_SUMMARY));
        };
    }

    ScratchDirectory scratch_;
    std::vector<std::string> objects_;
    std::vector<std::string> handlesSummaries_;
    int navigations_ = 0, refreshes_ = 0, sheets_ = 0, viewChanges_ = 0, drags_ = 0;
};

TEST_F(SoakTest, LongSessionGivesBackEveryHandleObjectAndPathBlock) {
    // Warm-up: the platform loads and caches what it keeps for the process
    // (shared icons, cached DCs); ten rounds use every view and both drags.
    {
        SheetReader reader(true, ShowHandlesPage());
        ASSERT_TRUE(OpenBrowser());
        RunSession(10);
        CloseBrowser();
    }
    const ResourceCounts before = MeasureResources();
    const PathBlockCounts blocksBefore = GetPathBlockCounts();
    navigations_ = refreshes_ = sheets_ = viewChanges_ = drags_ = 0;
    handlesSummaries_.clear();

    SheetReader reader(true, ShowHandlesPage());
    ASSERT_TRUE(OpenBrowser());
    const ResourceCounts openBefore = MeasureResources();
    RunSession(100);
    const ResourceCounts openAfter = MeasureResources();
    ASSERT_EQ(navigations_, 500);
    ASSERT_EQ(refreshes_, 100);
    ASSERT_EQ(sheets_, 100);
    ASSERT_EQ(viewChanges_, 50);
    ASSERT_EQ(drags_, 20);

    // Every sheet showed the object it was opened for, and nothing failed.
    ASSERT_EQ(reader.Sheets().size(), 100u);
    for (size_t i = 0; i < reader.Sheets().size(); ++i) {
        EXPECT_EQ(reader.Sheets()[i].name, objects_[i % objects_.size()]);
    }
    EXPECT_TRUE(reader.Messages().empty());
    // Every Handles page searched: only this process holds the fixture's objects.
    EXPECT_EQ(handlesSummaries_.size(), 100u);
    EXPECT_EQ(std::count(handlesSummaries_.begin(), handlesSummaries_.end(), "No other process holds this object."),
              100);
    // Nothing piles up while the window is open either.
    EXPECT_EQ(openAfter.gdiObjects, openBefore.gdiObjects);
    EXPECT_EQ(openAfter.userObjects, openBefore.userObjects);
    CloseBrowser();

    const PathBlockCounts blocksAfter = GetPathBlockCounts();
    EXPECT_GT(blocksAfter.allocated, blocksBefore.allocated);
    EXPECT_EQ(blocksAfter.allocated - blocksBefore.allocated, blocksAfter.freed - blocksBefore.freed);

    const ResourceCounts after = MeasureResources();
    EXPECT_LE(after.handles - before.handles, kHandleTolerance)
        << "handles before " << before.handles << ", after " << after.handles;
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    EXPECT_EQ(after.userObjects, before.userObjects);
    std::printf("open: handles %ld -> %ld, GDI objects %ld -> %ld, USER objects %ld -> %ld\n", openBefore.handles,
                openAfter.handles, openBefore.gdiObjects, openAfter.gdiObjects, openBefore.userObjects, openAfter.userObjects);
    std::printf("handles %ld -> %ld, GDI objects %ld -> %ld, USER objects %ld -> %ld\n", before.handles,
                after.handles, before.gdiObjects, after.gdiObjects, before.userObjects, after.userObjects);
}



}  // namespace
