// A namespace full of what the browser does not expect, all at once:
// very long names and targets, links to nowhere, paths past the block size,
// format characters, names beyond the ANSI code page (with NUL, TAB, a lone
// surrogate), each beside the namesake its ANSI form would be, objects that
// vanish, directories that refuse, and an object of a type no open accepts.
#include <map>
#include <set>

#include "browser_fixture.h"
#include "namespace/native_services.h"
#include "resource_ids.h"
#include "sheet_reader.h"
#include "support/test_namespace.h"
#include "namespace/visible_name.h"
#include "views/navigation.h"

namespace {

constexpr ACCESS_MASK kAllAccess = 0x001F0000 | 0xFFFF;
const std::string kStatusPrefix = "Currently selected:  ";
constexpr size_t kStatusTextLimit = 259;

// What a row of the list should show.
struct ExpectedRow {
    std::string type;
    std::string target;  // SymLink column
    bool opens;          // whether the property sheet can show it
};

std::vector<std::string> TreeChildren(HTREEITEM parent) {
    std::vector<std::string> names;
    for (HTREEITEM item = TreeView_GetChild(AppContext.namespaceTree, parent); item != nullptr;
         item = TreeView_GetNextSibling(AppContext.namespaceTree, item)) {
        char text[1024] = {};
        TVITEMA read{};
        read.mask = TVIF_TEXT;
        read.hItem = item;
        read.pszText = text;
        read.cchTextMax = sizeof text;
        TreeView_GetItem(AppContext.namespaceTree, &read);
        names.push_back(text);
    }
    return names;
}

bool RoundTrips(const std::wstring& name) {
    const std::string ansi = AnsiOf(name);
    std::wstring back(ansi.size(), L'\0');
    back.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), back.data(), static_cast<int>(back.size()))));
    return back == name;
}

// Removes an object when the property sheet's window is created: after the
// check that it opens, before the Details page reads it.
ScratchDirectory* RemoveFrom = nullptr;
std::string RemoveAtSheet;

LRESULT CALLBACK RemoveWhenSheetIsCreated(int code, WPARAM wParam, LPARAM lParam) {
    char className[16] = {};
    if (code == HCBT_CREATEWND && RemoveFrom != nullptr &&
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className) &&
        std::string(className) == "#32770") {
        RemoveFrom->Remove(RemoveAtSheet);
        RemoveFrom = nullptr;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string ExpectedStatus(const std::string& path) { return (kStatusPrefix + path).substr(0, kStatusTextLimit); }

class HostileNamespaceTest : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        ASSERT_TRUE(scratch_.Valid());
        Build();
    }

    // Adds a row the list must show, and fails the set-up when the platform refused the object.
    void Expect(const std::string& name, const std::string& path, ExpectedRow row) {
        ASSERT_FALSE(path.empty()) << "could not create " << name;
        rows_[name] = row;
        paths_[name] = path;
    }

    void Build() {
        // 200 characters, then ordinary entries the walk must still reach.
        longName_ = "L" + std::string(199, 'n');
        Expect(longName_, scratch_.AddEvent(longName_, true, false), {"Event", "", true});
        for (const char* name : {"Ordinary1", "Ordinary2", "Ordinary3"}) {
            Expect(name, scratch_.AddMutant(name, false), {"Mutant", "", true});
        }

        longTarget_ = "\\Device";
        for (int i = 0; longTarget_.size() < 400; ++i) longTarget_ += "\\Part" + std::to_string(i);
        longTarget_.resize(400);
        Expect("LongTarget", scratch_.AddSymbolicLink("LongTarget", longTarget_), {"SymbolicLink", longTarget_, true});
        Expect("Dangling", scratch_.AddSymbolicLink("Dangling", "\\NoSuchDirectory\\NoSuchObject"),
               {"SymbolicLink", "\\NoSuchDirectory\\NoSuchObject", true});
        Expect("LockedLink", scratch_.AddLockedSymbolicLink("LockedLink", "\\NoSuchDirectory\\Locked"),
               {"SymbolicLink", "Invalid", false});

        Expect("with  spaces ", scratch_.AddEvent("with  spaces ", true, false), {"Event", "", true});
        Expect("100%s done %n", scratch_.AddSemaphore("100%s done %n", 1, 3), {"Semaphore", "", true});
        Expect("%n%n%s%x", scratch_.AddEvent("%n%n%s%x", false, true), {"Event", "", true});
        Expect("%s", scratch_.AddSymbolicLink("%s", "\\%n%s"), {"SymbolicLink", "\\%n%s", true});

        // One name the ANSI code page holds; others it does not, or only as
        // text that a NUL would cut or a TAB split, each beside the namesakes
        // its cut or "?" form would be: every row opens its own object.
        heldName_ = L"Caf\u00e9";
        AddWide(heldName_, "Caf\xe9");
        foreignName_ = L"\u0416\u0443\u043a";
        AddWide(foreignName_, "\\u0416\\u0443\\u043A");
        Expect("???", scratch_.AddSemaphore("???", 1, 2), {"Semaphore", "", true});
        AddWide(std::wstring(L"Ev\0x", 4), "Ev\\0x");
        Expect("Ev", scratch_.AddSemaphore("Ev", 1, 2), {"Semaphore", "", true});
        Expect("A", scratch_.AddEvent("A", true, false), {"Event", "", true});
        AddWide(std::wstring(L"A\0B", 3), "A\\0B", ScratchDirectory::WideKind::Semaphore);
        AddWide(L"Tab\tName", "Tab\\tName");
        Expect("Tab", scratch_.AddSemaphore("Tab", 1, 2), {"Semaphore", "", true});
        Expect("Tab Name", scratch_.AddSemaphore("Tab Name", 1, 2), {"Semaphore", "", true});
        AddWide(L"Lone\xD800", "Lone\\uD800");
        AddWide(L"Dir\u0416", "Dir\\u0416", ScratchDirectory::WideKind::Directory);
        ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, L"Dir\u0416\\Child"));
        ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Directory, L"Dir\u0416\\Sub"));
        // 300 characters: a path no block holds, shown as far as it fits.
        const std::string wide300(300, 'W');
        Expect(wide300, scratch_.AddEvent(wide300, true, false), {"Event", "", true});
        paths_[wide300].resize(kMaxObjectPathLength);

        Expect("Empty", scratch_.AddDirectory("Empty"), {"Directory", "", true});
        AddLockedDirectory("Locked");
        AddJob("Job");
        gone_ = scratch_.AddEvent("Gone %s %n", true, false);
        Expect("Gone %s %n", gone_, {"Event", "", false});

        BuildDeepChain();
    }

    // Directories nested until a path passes the 259 characters a path block holds.
    void BuildDeepChain() {
        std::string relative;
        std::string path = scratch_.Path();
        constexpr size_t kDeepest = 230;
        while (path.size() + 41 < kDeepest) {
            relative += (relative.empty() ? "" : "\\") + std::string("Deep") + std::string(36, 'd');
            path = scratch_.AddDirectory(relative);
            ASSERT_FALSE(path.empty());
            deepChain_.push_back(path);
        }
        const size_t lastLength = kDeepest - path.size() - 1;
        ASSERT_GE(lastLength, 1u);
        relative += "\\" + std::string(lastLength, 'z');
        path = scratch_.AddDirectory(relative);
        ASSERT_EQ(path.size(), kDeepest);
        deepChain_.push_back(path);
        Expect("Deep" + std::string(36, 'd'), deepChain_.front(), {"Directory", "", true});

        // Exactly 259 characters fit; 260 and more do not.
        const size_t fits = kObjectPathBlockSize - 1 - kDeepest - 1;
        edgeDirectory_ = scratch_.AddDirectory(relative + "\\" + std::string(fits, 'E'));
        edgeEvent_ = scratch_.AddEvent(relative + "\\" + std::string(fits, 'F'), true, false);
        ASSERT_EQ(edgeDirectory_.size(), kMaxObjectPathLength);
        ASSERT_EQ(edgeEvent_.size(), kMaxObjectPathLength);
        tooLongEvent_ = std::string(fits + 1, 'G');
        tooLongDirectory_ = std::string(40, 'H');
        ASSERT_FALSE(scratch_.AddEvent(relative + "\\" + tooLongEvent_, true, false).empty());
        ASSERT_FALSE(scratch_.AddDirectory(relative + "\\" + tooLongDirectory_).empty());
        ASSERT_FALSE(scratch_.AddEvent(relative + "\\" + std::string(fits, 'E') + "\\x", true, false).empty());
    }

    // A name that ANSI carries is listed as itself; any other in its visible
    // form (those of code page 1252 here). Both open their own object.
    void AddWide(const std::wstring& name, const std::string& visible,
                 ScratchDirectory::WideKind kind = ScratchDirectory::WideKind::Event) {
        ASSERT_EQ(GetACP(), 1252u) << "the visible forms expected are those of code page 1252";
        ASSERT_TRUE(scratch_.AddWide(kind, name));
        const bool directory = kind == ScratchDirectory::WideKind::Directory;
        const char* type = directory ? "Directory" : kind == ScratchDirectory::WideKind::Event ? "Event" : "Semaphore";
        Expect(visible, scratch_.PathOf(visible), {type, "", true});
        if (visible.find('\\') != std::string::npos) exact_[visible] = WidenPath(scratch_.Path()) + L"\\" + name;
    }

    // A directory whose descriptor grants nobody anything.
    void AddLockedDirectory(const std::string& name) {
        ASSERT_FALSE(scratch_.AddLockedDirectory(name).empty());
        Expect(name, scratch_.PathOf(name), {"Directory", "", false});
    }

    // A job object: none of the nine opens accepts its type.
    void AddJob(const std::string& name) {
        ASSERT_FALSE(scratch_.AddJob(name).empty());
        Expect(name, scratch_.PathOf(name), {"Job", "", false});
    }

    // Refresh picks up the fixture, then the tree shows its directory.
    void ShowScratch() {
        Command(CMD_REFRESH);
        SelectInTree(scratch_.Path());
        ASSERT_STREQ(CurrentDirectory, scratch_.Path().c_str());
    }

    // Opens the properties of a row as the File menu does.
    void OpenProperties(int row) {
        ClickList(NM_CLICK, row);
        Command(CMD_PROPERTIES);
    }

    ScratchDirectory scratch_;
    std::map<std::string, ExpectedRow> rows_;
    std::map<std::string, std::string> paths_;
    std::string longName_, longTarget_, gone_, edgeDirectory_, edgeEvent_, tooLongEvent_, tooLongDirectory_;
    std::wstring heldName_, foreignName_;
    std::map<std::string, std::wstring> exact_;  // the exact paths of the names added in UTF-16
    std::vector<std::string> deepChain_;
};

TEST_F(HostileNamespaceTest, ListAndTreeShowEveryEntryWithItsOwnData) {
    ASSERT_TRUE(OpenBrowser());
    SheetReader reader;
    ShowScratch();

    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "first fill" : "after Refresh");
        std::vector<std::string> names = ListNames();
        std::multiset<std::string> shown(names.begin(), names.end());
        std::multiset<std::string> expected;
        for (const auto& [name, row] : rows_) expected.insert(name);
        EXPECT_EQ(shown, expected);
        for (const std::string& name : shown) EXPECT_EQ(shown.count(name), expected.count(name)) << name;

        for (int row = 0; row < static_cast<int>(names.size()); ++row) {
            const std::string name = RowField(row, 0);
            auto found = rows_.find(name);
            if (found == rows_.end()) continue;
            EXPECT_EQ(RowField(row, 1), found->second.type) << name;
            EXPECT_EQ(RowField(row, 2), found->second.target) << name;
        }
        EXPECT_EQ(RowField(FindRow(AnsiOf(heldName_)), 0), "Caf\xe9");

        // The tree holds the fixture's directories, the one that refuses included.
        const std::vector<std::string> directories = TreeChildren(TreeItem(scratch_.Path()));
        EXPECT_EQ(std::set<std::string>(directories.begin(), directories.end()),
                  (std::set<std::string>{"Empty", "Locked", "Deep" + std::string(36, 'd'), "Dir\\u0416"}));
        EXPECT_EQ(TreeChildren(FindTreeItemByExactPath(AppContext.namespaceTree, exact_["Dir\\u0416"])),
                  std::vector<std::string>{"Sub"});
        EXPECT_TRUE(TreeChildren(TreeItem(scratch_.PathOf("Empty"))).empty());
        EXPECT_TRUE(TreeChildren(TreeItem(scratch_.PathOf("Locked"))).empty());
        EXPECT_EQ(StatusText(), ExpectedStatus(scratch_.Path()));
        Command(CMD_REFRESH);
        EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());
    }
    EXPECT_TRUE(reader.Messages().empty());
    EXPECT_TRUE(reader.Sheets().empty());
}

TEST_F(HostileNamespaceTest, PropertiesShowTheObjectOrSayOnceThatItCannotBeOpened) {
    scratch_.Remove(gone_);  // vanishes before the window ever lists it
    rows_.erase("Gone %s %n");
    ASSERT_TRUE(OpenBrowser());
    SheetReader reader(true);
    ShowScratch();

    for (const auto& [name, expected] : rows_) {
        SCOPED_TRACE(name);
        const std::string& path = paths_[name];
        const int row = FindRow(name);
        ASSERT_GE(row, 0);
        reader.Clear();
        OpenProperties(row);
        EXPECT_STREQ(AppContext.SelectedPath, path.c_str());
        EXPECT_EQ(StatusText(), ExpectedStatus(path));

        if (expected.opens) {
            EXPECT_TRUE(reader.Messages().empty());
            ASSERT_EQ(reader.Sheets().size(), 1u);
            EXPECT_EQ(reader.Sheets()[0].name, path);
            EXPECT_EQ(reader.Sheets()[0].type, expected.type);
            if (exact_.count(name) != 0) {
                // Its own object, not a namesake: one handle besides the page's, and its DACL.
                EXPECT_EQ(reader.Sheets()[0].handles, "1");
                EXPECT_TRUE(reader.Sheets()[0].permissionsRead);
                ASSERT_NE(ExactPathOf(AppContext.SelectedPath), nullptr);
                EXPECT_EQ(*ExactPathOf(AppContext.SelectedPath), exact_[name]);
            }
            if (expected.type == "SymbolicLink") {
                EXPECT_EQ(reader.Sheets()[0].linkValue, expected.target);
            }
        } else {
            EXPECT_TRUE(reader.Sheets().empty());
            ASSERT_EQ(reader.Messages().size(), 1u);
            EXPECT_EQ(reader.Messages()[0].text, "Unable to open " + path);
            EXPECT_EQ(reader.Messages()[0].caption, "Tarnel");
        }
    }
}

TEST_F(HostileNamespaceTest, ObjectsThatVanishAfterTheListingSaySoOnceEachTime) {
    ASSERT_TRUE(OpenBrowser());
    SheetReader reader;
    ShowScratch();
    const int row = FindRow("Gone %s %n");
    ASSERT_GE(row, 0);
    scratch_.Remove(gone_);

    OpenProperties(row);
    ClickList(NM_DBLCLK, row);
    const std::vector<CaughtDialog> messages = reader.Messages();
    ASSERT_EQ(messages.size(), 2u);
    for (const CaughtDialog& message : messages) {
        EXPECT_EQ(message.text, "Unable to open " + gone_);
        EXPECT_EQ(message.caption, "Tarnel");
        EXPECT_FALSE(message.hasOwner);
    }
    EXPECT_TRUE(reader.Sheets().empty());
    Command(CMD_REFRESH);
    EXPECT_EQ(FindRow("Gone %s %n"), -1);

    // Gone after the check that it opens and before the Details page reads it.
    const std::string fleeting = scratch_.AddEvent("Fleeting", true, false);
    Command(CMD_REFRESH);
    ClickList(NM_CLICK, FindRow("Fleeting"));
    reader.Clear();
    RemoveFrom = &scratch_;
    RemoveAtSheet = fleeting;
    HHOOK hook = SetWindowsHookExA(WH_CBT, RemoveWhenSheetIsCreated, nullptr, GetCurrentThreadId());
    Command(CMD_PROPERTIES);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(RemoveFrom, nullptr) << "no sheet was created";
    ASSERT_EQ(reader.Messages().size(), 1u);
    EXPECT_EQ(reader.Messages()[0].text, "Unable to open " + fleeting);
    EXPECT_TRUE(reader.Messages()[0].hasOwner);
}

TEST_F(HostileNamespaceTest, NavigationReachesEveryPathThatFitsAndNoFurther) {
    ASSERT_TRUE(OpenBrowser());
    SheetReader reader;
    ShowScratch();

    // Down the chain by double-clicks, as a user would.
    for (const std::string& path : deepChain_) {
        const std::string name = path.substr(path.rfind('\\') + 1);
        ClickList(NM_DBLCLK, FindRow(name));
        ASSERT_STREQ(CurrentDirectory, path.c_str());
        EXPECT_STREQ(TreeItemPath(TreeCaret()), path.c_str());
        EXPECT_EQ(StatusText(), ExpectedStatus(path));
    }
    const std::string edgeName = edgeDirectory_.substr(edgeDirectory_.rfind('\\') + 1);
    const std::string edgeEventName = edgeEvent_.substr(edgeEvent_.rfind('\\') + 1);
    // Entries whose paths do not fit are listed as well, the directory among
    // the directories, and it is entered like any other, by its exact path.
    EXPECT_EQ(ListNames(), (std::vector<std::string>{edgeName, tooLongDirectory_, edgeEventName, tooLongEvent_}));
    EXPECT_EQ(TreeChildren(TreeCaret()), (std::vector<std::string>{edgeName, tooLongDirectory_}));
    const std::string tooLongPath = deepChain_.back() + "\\" + tooLongDirectory_;
    ClickList(NM_DBLCLK, FindRow(tooLongDirectory_));
    EXPECT_EQ(CurrentDirectory, tooLongPath.substr(0, kMaxObjectPathLength));
    EXPECT_EQ(CurrentDirectoryExact, WidenPath(tooLongPath));
    EXPECT_TRUE(ListNames().empty());
    Command(CMD_UP_ONE_LEVEL);
    EXPECT_STREQ(CurrentDirectory, deepChain_.back().c_str());
    EXPECT_TRUE(reader.Messages().empty());

    // The longest path that fits is shown whole wherever the program shows it.
    OpenProperties(FindRow(edgeEventName));
    ASSERT_EQ(reader.Sheets().size(), 1u);
    EXPECT_EQ(reader.Sheets()[0].name, edgeEvent_);
    ClickList(NM_DBLCLK, FindRow(edgeName));
    EXPECT_STREQ(CurrentDirectory, edgeDirectory_.c_str());
    EXPECT_EQ(ListNames(), std::vector<std::string>{"x"});
    EXPECT_EQ(StatusText(), ExpectedStatus(edgeDirectory_));
    Command(CMD_REFRESH);
    EXPECT_STREQ(CurrentDirectory, edgeDirectory_.c_str());
    EXPECT_STREQ(TreeItemPath(TreeCaret()), edgeDirectory_.c_str());

    // Back up to the fixture, one level at a time.
    for (auto level = deepChain_.rbegin(); level != deepChain_.rend(); ++level) {
        Command(CMD_UP_ONE_LEVEL);
        ASSERT_STREQ(CurrentDirectory, level->c_str());
        EXPECT_STREQ(TreeItemPath(TreeCaret()), level->c_str());
    }
    Command(CMD_UP_ONE_LEVEL);
    EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());

    // Into the empty directory and the one that refuses: empty lists, no messages.
    for (const char* name : {"Empty", "Locked"}) {
        ClickList(NM_DBLCLK, FindRow(name));
        EXPECT_EQ(CurrentDirectory, scratch_.PathOf(name));
        EXPECT_TRUE(ListNames().empty());
        Command(CMD_REFRESH);
        EXPECT_EQ(CurrentDirectory, scratch_.PathOf(name));
        Command(CMD_UP_ONE_LEVEL);
        EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());
    }
    EXPECT_TRUE(reader.Messages().empty());
    EXPECT_EQ(reader.Sheets().size(), 1u);
}

// Names no ANSI text carries are reached as every name is: the tree enters a
// directory so named and lists its children, Refresh and Up keep to it, and
// Go To takes the exact name pasted as Unicode text and lands on its object,
// never its namesake; the visible form typed is only the text it is.
TEST_F(HostileNamespaceTest, ExactNamesAreReachedWhateverTheyHold) {
    ASSERT_TRUE(OpenBrowser());
    SheetReader reader;
    ShowScratch();
    const std::string directory = "Dir\\u0416";
    ClickList(NM_DBLCLK, FindRow(directory));
    EXPECT_EQ(CurrentDirectoryExact, exact_[directory]);
    const std::vector<std::string> children = ListNames();
    EXPECT_EQ(std::set<std::string>(children.begin(), children.end()), (std::set<std::string>{"Sub", "Child"}));
    Command(CMD_REFRESH);
    EXPECT_EQ(CurrentDirectoryExact, exact_[directory]);
    EXPECT_EQ(ListNames(), children);
    ClickList(NM_DBLCLK, FindRow("Sub"));
    EXPECT_EQ(CurrentDirectoryExact, exact_[directory] + L"\\Sub");
    Command(CMD_UP_ONE_LEVEL);
    Command(CMD_UP_ONE_LEVEL);
    EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());
    EXPECT_TRUE(CurrentDirectoryExact.empty());

    for (const char* name : {"\\u0416\\u0443\\u043A", "Tab\\tName", "Lone\\uD800"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(GoTo(exact_[name]).empty());
        ASSERT_NE(ExactPathOf(AppContext.SelectedPath), nullptr);
        EXPECT_EQ(*ExactPathOf(AppContext.SelectedPath), exact_[name]);
        EXPECT_EQ(SelectedNames(), std::vector<std::string>{name});
    }
    ASSERT_TRUE(GoTo(exact_[directory] + L"\\Child").empty());
    EXPECT_EQ(CurrentDirectoryExact, exact_[directory]);
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"Child"});
    EXPECT_EQ(GoTo(WidenPath(scratch_.PathOf(directory))),
              std::vector<std::string>{scratch_.Path() + " exists, but holds nothing named \"Dir\"."});
    EXPECT_TRUE(reader.Sheets().empty());
}

// A name the ANSI code page cannot hold would become another name; the list
// never shows or opens the object that really has that other name for it.
TEST_F(HostileNamespaceTest, NameOutsideTheCodePageNeverOpensItsNamesake) {
    const std::string namesake = AnsiOf(foreignName_);
    if (RoundTrips(foreignName_)) GTEST_SKIP() << "the ANSI code page holds the name";
    ASSERT_EQ(namesake, "???");  // the fixture's semaphore
    ASSERT_TRUE(OpenBrowser());
    SheetReader reader;
    ShowScratch();

    std::vector<int> rows;
    for (int row = 0; row < ListView_GetItemCount(AppContext.objectList); ++row) {
        if (RowField(row, 0) == namesake) rows.push_back(row);
    }
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(RowField(rows[0], 1), "Semaphore");
    OpenProperties(rows[0]);
    ASSERT_EQ(reader.Sheets().size(), 1u);
    EXPECT_EQ(reader.Sheets()[0].type, "Semaphore");
    EXPECT_TRUE(reader.Messages().empty());
}

}  // namespace
