#include <cstring>

#include "browser_fixture.h"
#include "support/test_namespace.h"
#include "views/navigation.h"

namespace {

using NamespaceTreeTest = BrowserTest;

// The start: the root selected, expanded and listed, the tree focused, and
// every directory of the namespace, but nothing else, in the tree.
TEST_F(NamespaceTreeTest, StartShowsTheDirectoriesWithTheRootListed) {
    ScratchDirectory scratch;
    scratch.AddDirectory("A");
    scratch.AddDirectory("A\\B");
    const std::string c = scratch.AddDirectory("A\\B\\C");
    const std::string event = scratch.AddEvent("Event", true, false);
    const std::string link = scratch.AddSymbolicLink("Link", scratch.PathOf("A"));
    ASSERT_TRUE(OpenBrowser(SW_SHOWNORMAL));

    HTREEITEM root = TreeCaret();
    EXPECT_STREQ(TreeItemPath(root), "\\");
    EXPECT_NE(TreeView_GetItemState(AppContext.namespaceTree, root, TVIS_EXPANDED) & TVIS_EXPANDED, 0u);
    EXPECT_STREQ(CurrentDirectory, "\\");
    EXPECT_NE(FindRow("BaseNamedObjects"), -1);
    EXPECT_EQ(GetFocus(), AppContext.namespaceTree);

    HTREEITEM itemC = TreeItem(c);
    EXPECT_STREQ(TreeItemPath(itemC), c.c_str());
    EXPECT_STREQ(TreeItemPath(TreeView_GetParent(AppContext.namespaceTree, itemC)), scratch.PathOf("A\\B").c_str());
    EXPECT_EQ(TreeItem(event), nullptr);
    EXPECT_EQ(TreeItem(link), nullptr);
}

TEST_F(NamespaceTreeTest, FindTreeItemByPathMatchesWholePathsExactly) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    const std::string b = scratch.AddDirectory("A\\B");
    ASSERT_TRUE(OpenBrowser());
    HTREEITEM itemA = TreeItem(a);
    HTREEITEM itemB = TreeItem(b);
    ASSERT_NE(itemB, nullptr);
    std::string lower = b;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));

    const struct {
        HTREEITEM start;
        std::string path;
        HTREEITEM expected;
    } cases[] = {
        {nullptr, "\\", TreeCaret()},
        {nullptr, "\\BaseNamedObjects", TreeView_GetParent(AppContext.namespaceTree, TreeItem(scratch.Path()))},
        {nullptr, b, itemB},
        {itemA, "B", itemB},
        {nullptr, a + "\\", nullptr},
        {nullptr, lower, nullptr},
        {nullptr, a + "\\Missing", nullptr},
    };
    for (const auto& c : cases) {
        std::string buffer = c.path;
        EXPECT_EQ(FindTreeItemByPath(AppContext.namespaceTree, c.start, buffer.data()), c.expected) << c.path;
        EXPECT_EQ(buffer, c.path);
    }

    // Of two siblings with the same text only the first is descended into.
    auto insert = [](HTREEITEM parent, const char* text) {
        return InsertTreeItem(AppContext.namespaceTree, parent, text, std::strcpy(AllocatePathBlock(), text));
    };
    HTREEITEM first = insert(itemB, "Twin");
    insert(insert(itemB, "Twin"), "Inner");
    EXPECT_EQ(TreeItem(b + "\\Twin"), first);
    EXPECT_EQ(TreeItem(b + "\\Twin\\Inner"), nullptr);

    // Item texts are read into 260 bytes: a 259-byte component matches, a
    // longer one never does, even where an item has exactly that text.
    const std::string fits(259, 'f'), tooLong(300, 'x');
    for (const std::string* text : {&fits, &tooLong})
        InsertTreeItem(AppContext.namespaceTree, itemB, text->c_str(), std::strcpy(AllocatePathBlock(), "\\long"));
    EXPECT_NE(TreeItem(b + "\\" + fits), nullptr);
    EXPECT_EQ(TreeItem(b + "\\" + tooLong), nullptr);
}

TEST_F(NamespaceTreeTest, ReportsSetSelectedPathOnlyFromTheTree) {
    ASSERT_TRUE(OpenBrowser());
    AppContext.SelectedPath = "elsewhere";
    NMTREEVIEWA report{};
    report.hdr = {AppContext.namespaceTree, kObjectListId, TVN_SELCHANGEDA};
    report.itemNew.hItem = TreeCaret();
    report.itemNew.lParam = reinterpret_cast<LPARAM>(RootPath);
    EXPECT_EQ(HandleTreeNotify(kObjectListId, &report.hdr, &AppContext), 0);
    // A selection report naming no item changes nothing.
    report.hdr.idFrom = kNamespaceTreeId;
    report.itemNew = {};
    EXPECT_EQ(HandleTreeNotify(kNamespaceTreeId, &report.hdr, &AppContext), 0);
    EXPECT_STREQ(AppContext.SelectedPath, "elsewhere");

    // A focus gain without a selection change still reports the caret item.
    report.hdr.code = static_cast<UINT>(NM_SETFOCUS);
    EXPECT_EQ(HandleTreeNotify(kNamespaceTreeId, &report.hdr, &AppContext), 1);
    EXPECT_EQ(AppContext.SelectedPath, RootPath);
    // Deleting every item frees every path but the root's, and leaves nothing to report.
    const long items = static_cast<long>(TreeView_GetCount(AppContext.namespaceTree));
    const long freed = GetPathBlockCounts().freed;
    DeleteAllTreeItems(AppContext.namespaceTree);
    EXPECT_EQ(GetPathBlockCounts().freed - freed, items - 1);
    EXPECT_EQ(HandleTreeNotify(kNamespaceTreeId, &report.hdr, &AppContext), 0);
}

}  // namespace
