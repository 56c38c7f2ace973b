#include <cstring>

#include "browser_fixture.h"
#include "shell/app_context.h"
#include "support/test_namespace.h"
#include "views/namespace_tree.h"

namespace {

using NamespaceTreeTest = BrowserTest;

std::string ItemText(HTREEITEM item) {
    char text[260] = {};
    TVITEMA read{};
    read.mask = TVIF_TEXT;
    read.hItem = item;
    read.pszText = text;
    read.cchTextMax = sizeof text;
    SendMessageA(AppContext.namespaceTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
    return text;
}

HTREEITEM Parent(HTREEITEM item) { return TreeView_GetParent(AppContext.namespaceTree, item); }

TEST_F(NamespaceTreeTest, TreeHoldsTheNamespacesDirectoriesOnly) {
    ScratchDirectory scratch;
    const std::string deepest = scratch.AddDirectory("A") + "\\B\\C";
    scratch.AddDirectory("A\\B");
    scratch.AddDirectory("A\\B\\C");
    const std::string event = scratch.AddEvent("Event", true, false);
    const std::string link = scratch.AddSymbolicLink("Link", scratch.PathOf("A"));
    ASSERT_TRUE(OpenBrowser());

    HTREEITEM root = TreeItem("\\");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(ItemText(root), "\\");
    EXPECT_EQ(TreeView_GetParent(AppContext.namespaceTree, root), nullptr);
    EXPECT_EQ(TreeCaret(), root);
    EXPECT_NE(TreeView_GetItemState(AppContext.namespaceTree, root, TVIS_EXPANDED) & TVIS_EXPANDED, 0u);

    HTREEITEM c = TreeItem(deepest);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(TreeItemPath(c), deepest);
    EXPECT_EQ(ItemText(c), "C");
    EXPECT_EQ(ItemText(Parent(c)), "B");
    EXPECT_EQ(ItemText(Parent(Parent(c))), "A");
    EXPECT_EQ(TreeItem(event), nullptr);
    EXPECT_EQ(TreeItem(link), nullptr);

    TVITEMA images{};
    images.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    images.hItem = c;
    SendMessageA(AppContext.namespaceTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&images));
    EXPECT_EQ(images.iImage, 0);
    EXPECT_EQ(images.iSelectedImage, 1);
    EXPECT_EQ(ImageList_GetImageCount(TreeImageList), 2);
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

    struct Case {
        HTREEITEM start;
        std::string path;
        HTREEITEM expected;
    };
    const Case cases[] = {
        {nullptr, "\\", TreeItem("\\")},
        {nullptr, "\\BaseNamedObjects", TreeView_GetParent(AppContext.namespaceTree, TreeItem(scratch.Path()))},
        {nullptr, b, itemB},
        {itemA, "B", itemB},
        {nullptr, a + "\\", nullptr},
        {nullptr, lower, nullptr},
        {nullptr, a + "\\Missing", nullptr},
        {nullptr, "\\" + std::string(300, 'x'), nullptr},
    };
    for (const Case& c : cases) {
        std::string buffer = c.path;
        EXPECT_EQ(FindTreeItemByPath(AppContext.namespaceTree, c.start, buffer.data()), c.expected) << c.path;
        EXPECT_EQ(std::memcmp(buffer.data(), c.path.data(), c.path.size() + 1), 0) << c.path;
    }

    // Of two siblings with the same text only the first is descended into.
    auto insert = [](HTREEITEM parent, const char* text) {
        char* path = AllocatePathBlock();
        std::strcpy(path, text);
        return InsertTreeItem(AppContext.namespaceTree, parent, text, path);
    };
    HTREEITEM first = insert(itemB, "Twin");
    insert(insert(itemB, "Twin"), "Inner");
    EXPECT_EQ(TreeItem(b + "\\Twin"), first);
    EXPECT_EQ(TreeItem(b + "\\Twin\\Inner"), nullptr);
}

TEST_F(NamespaceTreeTest, DeletingAllItemsFreesEveryPathButTheRoot) {
    ASSERT_TRUE(OpenBrowser());
    const long items = static_cast<long>(TreeView_GetCount(AppContext.namespaceTree));
    const PathBlockCounts before = GetPathBlockCounts();
    DeleteAllTreeItems(AppContext.namespaceTree);
    EXPECT_EQ(GetPathBlockCounts().freed - before.freed, items - 1);
    EXPECT_STREQ(RootPath, "\\");
    EXPECT_EQ(TreeView_GetCount(AppContext.namespaceTree), 0u);
    EXPECT_EQ(AppContext.SelectedPath == nullptr || AppContext.SelectedPath == RootPath, true);

    // With no item there is nothing to report on a focus gain.
    NMHDR focus{AppContext.namespaceTree, kNamespaceTreeId, static_cast<UINT>(NM_SETFOCUS)};
    EXPECT_EQ(HandleTreeNotify(kNamespaceTreeId, &focus, &AppContext), 0);
}

TEST_F(NamespaceTreeTest, ReportsSetSelectedPathOnlyFromTheTree) {
    ASSERT_TRUE(OpenBrowser());
    AppContext.SelectedPath = "elsewhere";
    NMTREEVIEWA report{};
    report.hdr = {AppContext.namespaceTree, kObjectListId, TVN_SELCHANGEDA};
    report.itemNew.hItem = TreeItem("\\");
    report.itemNew.lParam = reinterpret_cast<LPARAM>(RootPath);
    EXPECT_EQ(HandleTreeNotify(kObjectListId, &report.hdr, &AppContext), 0);
    EXPECT_STREQ(AppContext.SelectedPath, "elsewhere");

    // A selection report naming no item changes nothing.
    NMTREEVIEWA empty{};
    empty.hdr = {AppContext.namespaceTree, kNamespaceTreeId, TVN_SELCHANGEDA};
    EXPECT_EQ(HandleTreeNotify(kNamespaceTreeId, &empty.hdr, &AppContext), 0);
    EXPECT_STREQ(AppContext.SelectedPath, "elsewhere");

    // A focus gain without a selection change still reports the caret item.
    NMHDR focus{AppContext.namespaceTree, kNamespaceTreeId, static_cast<UINT>(NM_SETFOCUS)};
    EXPECT_EQ(HandleTreeNotify(kNamespaceTreeId, &focus, &AppContext), 1);
    EXPECT_EQ(AppContext.SelectedPath, RootPath);
}

}  // namespace
