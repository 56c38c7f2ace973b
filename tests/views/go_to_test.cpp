// Going to a path, following links, copying paths and starting at a path,
// through the real window and its Go To box.
#include <cstring>

#include "browser_fixture.h"
#include "common/command_line.h"
#include "resource_ids.h"
#include "support/test_namespace.h"
#include "namespace/visible_name.h"
#include "views/navigation.h"

namespace {

class GoToTest : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        ASSERT_TRUE(scratch_.Valid());
    }

    // The messages a command shows, each closed with OK.
    std::vector<std::string> MessagesOf(UINT command) {
        DialogCatcher catcher;
        Command(command);
        std::vector<std::string> texts;
        for (const CaughtDialog& caught : catcher.Caught()) {
            EXPECT_EQ(caught.caption, "Tarnel");
            texts.push_back(caught.text);
        }
        return texts;
    }

    void ExpectShown(const std::string& directory, const std::string& selected) {
        EXPECT_STREQ(CurrentDirectory, directory.c_str());
        EXPECT_STREQ(TreeItemPath(TreeCaret()), directory.c_str());
        EXPECT_EQ(SelectedNames(), std::vector<std::string>{selected});
        EXPECT_STREQ(AppContext.SelectedPath, (directory + "\\" + selected).c_str());
        EXPECT_EQ(StatusText(), "Currently selected:  " + directory + "\\" + selected);
    }

    ScratchDirectory scratch_;
};

// Directories show as a tree selection shows them; an object shows in its
// directory, selected, whatever the case typed; links met on the way are
// followed; a directory made since the tree was built is found all the same.
TEST_F(GoToTest, PathsShowTheirDirectoryOrSelectTheirObject) {
    std::string deep;
    for (const char* level : {"One", "Two", "Three", "Four", "Five"}) {
        deep += (deep.empty() ? "" : "\\") + std::string(level);
        ASSERT_FALSE(scratch_.AddDirectory(deep).empty());
    }
    scratch_.AddEvent(deep + "\\Target", true, false);
    scratch_.AddSymbolicLink("Jump", scratch_.PathOf("One\\Two"));
    ASSERT_TRUE(OpenBrowser());
    const std::string late = scratch_.AddDirectory("Late");
    scratch_.AddMutant("Late\\Inside", false);

    std::string lowered = scratch_.PathOf(deep);
    for (char& c : lowered) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(GoTo(lowered).empty());
    EXPECT_STREQ(CurrentDirectory, scratch_.PathOf(deep).c_str());
    EXPECT_STREQ(TreeItemPath(TreeCaret()), scratch_.PathOf(deep).c_str());
    EXPECT_EQ(ListNames(), std::vector<std::string>{"Target"});

    EXPECT_TRUE(GoTo(scratch_.PathOf("jump\\THREE\\four\\five\\target")).empty());
    ExpectShown(scratch_.PathOf(deep), "Target");
    EXPECT_TRUE(GoTo(late + "\\inside").empty());
    ExpectShown(late, "Inside");
    EXPECT_NE(TreeItem(late), nullptr);

    // The session's device names are followed to wherever they open.
    SelectInTree("\\");
    SelectRow(FindRow("DosDevices"));
    EXPECT_TRUE(MessagesOf(CMD_FOLLOW_LINK).empty());
    EXPECT_STREQ(CurrentDirectory, "\\??");
    EXPECT_TRUE(GoTo(late + "\\inside").empty());

    // The object is the selected one: Properties opens its sheet.
    Command(CMD_PROPERTIES);
    ASSERT_EQ(catcher_.Caught().size(), 1u);
    EXPECT_FALSE(catcher_.Caught()[0].isMessageBox);
}

// A path that leads nowhere says what exists and what does not, and the view
// stays as it was.
TEST_F(GoToTest, PathsThatLeadNowhereSaySoAndChangeNothing) {
    scratch_.AddEvent("Event", true, false);
    scratch_.AddDirectory("Dir");
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(scratch_.Path());
    const std::vector<std::string> rows = ListNames();
    const std::string status = StatusText();

    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {scratch_.PathOf("Dir\\Missing"), scratch_.PathOf("Dir") + " exists, but holds nothing named \"Missing\"."},
        {scratch_.PathOf("Nothing\\At\\All"), scratch_.Path() + " exists, but holds nothing named \"Nothing\"."},
        {scratch_.PathOf("Event\\Inner"),
         scratch_.PathOf("Event") + " exists, but its type is Event, not Directory: \"Inner\" cannot be in it."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GoTo(c.path), std::vector<std::string>{c.message});
        EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());
        EXPECT_EQ(ListNames(), rows);
        EXPECT_EQ(StatusText(), status);
    }
}

// Ctrl+Enter on a link follows its chain to the end and shows it there; a
// loop or a dead end is reported with the chain, and the view stays.
TEST_F(GoToTest, FollowLinkGoesToTheEndOfTheChainOrShowsWhyNot) {
    scratch_.AddDirectory("Dir");
    scratch_.AddEvent("Dir\\Target", true, false);
    const std::string third = scratch_.AddSymbolicLink("Third", scratch_.PathOf("Dir\\Target"));
    const std::string second = scratch_.AddSymbolicLink("Second", third);
    const std::string first = scratch_.AddSymbolicLink("First", second);
    const std::string loopA = scratch_.PathOf("LoopA"), loopB = scratch_.PathOf("LoopB");
    scratch_.AddSymbolicLink("LoopA", loopB);
    scratch_.AddSymbolicLink("LoopB", loopA);
    scratch_.AddSymbolicLink("Dead", "\\NoSuchDirectory\\NoSuchObject");
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    SelectInTree(scratch_.Path());

    SelectRow(FindRow("First"));
    EXPECT_TRUE(MessagesOf(CMD_FOLLOW_LINK).empty());
    ExpectShown(scratch_.PathOf("Dir"), "Target");

    SelectInTree(scratch_.Path());
    const std::vector<std::string> rows = ListNames();
    SelectRow(FindRow("LoopA"));
    EXPECT_EQ(MessagesOf(CMD_FOLLOW_LINK),
              std::vector<std::string>{"These links lead round in a loop:\n\n" + loopA + "\n  -> " + loopB +
                                       "\n  -> " + loopA});
    SelectRow(FindRow("Dead"));
    EXPECT_EQ(MessagesOf(CMD_FOLLOW_LINK),
              std::vector<std::string>{"This chain of links ends at nothing:\n\n" + scratch_.PathOf("Dead") +
                                       "\n  -> \\NoSuchDirectory\\NoSuchObject\n\n\\ exists, but holds nothing named "
                                       "\"NoSuchDirectory\"."});
    EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());
    EXPECT_EQ(ListNames(), rows);
}

// Names that only just differ: each command lands on the object it names.
// Paths the program made are used byte for byte; names are matched in the
// directory itself, ordinally, the exact spelling first; typed text loses
// its quotes only where it names nothing with them.
TEST_F(GoToTest, CommandsLandOnTheExactObjectBesideLookalikes) {
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Directory, L"D\u00ADir"));  // a decoy, listed first
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, L"D\u00ADir\\x"));
    scratch_.AddDirectory("Dir");
    scratch_.AddMutant("Dir\\x", false);
    scratch_.AddSemaphore("Pair", 1, 2);
    scratch_.AddEvent("Pair ", true, false);
    scratch_.AddEvent("Case", true, false);
    scratch_.AddEventBesideOtherCase("CASE");
    scratch_.AddSymbolicLink("ToSpaced", scratch_.PathOf("Pair "));
    const std::string longName(240, 'L');
    scratch_.AddEvent(longName, true, false);
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    SelectInTree(scratch_.Path());

    SelectRow(FindRow("ToSpaced"));
    EXPECT_TRUE(MessagesOf(CMD_FOLLOW_LINK).empty());
    ExpectShown(scratch_.Path(), "Pair ");

    const struct {
        std::string typed;
        std::string directory;
        std::string selected;
    } cases[] = {
        {scratch_.PathOf("dir\\X"), scratch_.PathOf("Dir"), "x"},
        {scratch_.PathOf("D\xAD" "IR\\x"), scratch_.PathOf("D\xAD" "ir"), "x"},
        {scratch_.PathOf("CASE"), scratch_.Path(), "CASE"},
        {scratch_.PathOf("Case"), scratch_.Path(), "Case"},
        {scratch_.PathOf("pair"), scratch_.Path(), "Pair"},
        {scratch_.PathOf("Pair "), scratch_.Path(), "Pair "},
        {"\"" + scratch_.PathOf("Pair ") + "\"", scratch_.Path(), "Pair "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_TRUE(GoTo(c.typed).empty());
        ExpectShown(c.directory, c.selected);
    }
    // A path too long for a block lands on its object, which its row reaches by its exact path.
    EXPECT_TRUE(GoTo(scratch_.PathOf(longName)).empty());
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{longName});
    ASSERT_NE(ExactPathOf(AppContext.SelectedPath), nullptr);
    EXPECT_EQ(*ExactPathOf(AppContext.SelectedPath), WidenPath(scratch_.PathOf(longName)));
    EXPECT_EQ(GoTo(scratch_.PathOf("Dir\\")),
              std::vector<std::string>{"\"" + scratch_.PathOf("Dir\\") +
                                       "\" has an empty name in it (\"\\\\\", or a \"\\\" at its end): the namespace "
                                       "resolves it to nothing."});
}

// A link whose target the namespace resolves to nothing, a relative one or
// one with an empty name, ends the chain there, whatever the shown directory holds.
TEST_F(GoToTest, FollowLinkEndsAtNothingWhereTheNamespaceWould) {
    scratch_.AddSemaphore("Pair", 1, 2);
    const std::string relative = scratch_.AddSymbolicLink("Relative", "Pair");
    const std::string doubled = scratch_.AddSymbolicLink("Doubled", scratch_.Path() + "\\\\Pair");
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    SelectInTree(scratch_.Path());
    const std::vector<std::string> rows = ListNames();

    SelectRow(FindRow("Relative"));
    EXPECT_EQ(MessagesOf(CMD_FOLLOW_LINK),
              std::vector<std::string>{"This chain of links ends at nothing:\n\n" + relative +
                                       "\n  -> Pair\n\n\"Pair\" does not begin with \"\\\": the namespace "
                                       "resolves it to nothing."});
    SelectRow(FindRow("Doubled"));
    const std::vector<std::string> messages = MessagesOf(CMD_FOLLOW_LINK);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("This chain of links ends at nothing:\n\n" + doubled + "\n  -> " + scratch_.Path() +
                                    "\\\\Pair\n\n",
                                0),
              0u)
        << messages[0];
    EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());
    EXPECT_EQ(ListNames(), rows);
    EXPECT_TRUE(SelectedNames() == std::vector<std::string>{"Doubled"});
}

// Ctrl+C copies the path of what has the keyboard: the list's selected row,
// or the tree's directory, as ANSI and as Unicode text.
TEST_F(GoToTest, CopyPathTakesTheFocusedPanesSelection) {
    const std::string event = scratch_.AddEvent("Copied", true, false);
    ASSERT_TRUE(OpenBrowser(SW_SHOWNORMAL));
    Command(CMD_REFRESH);
    SelectInTree(scratch_.Path());

    auto clipboard = [](UINT format) {
        std::wstring text;
        if (!OpenClipboard(AppContext.mainWindow)) return text;
        if (HANDLE data = GetClipboardData(format)) {
            if (format == CF_TEXT) {
                const std::string ansi = static_cast<const char*>(GlobalLock(data));
                text.assign(ansi.begin(), ansi.end());
            } else {
                text = static_cast<const wchar_t*>(GlobalLock(data));
            }
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    };
    const std::wstring wideEvent(event.begin(), event.end());
    SetFocus(AppContext.objectList);
    SelectRow(FindRow("Copied"));
    Command(CMD_COPY_PATH);
    EXPECT_EQ(clipboard(CF_TEXT), wideEvent);
    EXPECT_EQ(clipboard(CF_UNICODETEXT), wideEvent);
    SetFocus(AppContext.namespaceTree);
    Command(CMD_COPY_PATH);
    EXPECT_EQ(clipboard(CF_UNICODETEXT), std::wstring(scratch_.Path().begin(), scratch_.Path().end()));

    // A name shown in its visible form is copied exactly as Unicode text and
    // as shown as ANSI text; one holding NUL, which no text carries, as shown
    // alone. The status bar says which.
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, L"Tab\tName"));
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, std::wstring(L"A\0B", 3)));
    SetFocus(AppContext.objectList);
    Command(CMD_REFRESH);
    const std::wstring directory(scratch_.Path().begin(), scratch_.Path().end());
    const struct {
        const char* row;
        std::wstring unicode;
        const char* status;
    } cases[] = {
        {"Tab\\tName", directory + L"\\Tab\tName", "Copied the exact path as Unicode text"},
        {"A\\0B", directory + L"\\A\\0B", "Copied as shown; a path holding NUL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        SetFocus(AppContext.objectList);
        SelectRow(FindRow(c.row));
        Command(CMD_COPY_PATH);
        EXPECT_EQ(clipboard(CF_TEXT), directory + L"\\" + std::wstring(c.row, c.row + std::strlen(c.row)));
        EXPECT_EQ(clipboard(CF_UNICODETEXT), c.unicode);
        EXPECT_EQ(StatusText().rfind(c.status, 0), 0u) << StatusText();
    }
}

// Given a path at start, the window shows it first; the settings are read as always.
TEST_F(GoToTest, StartPathIsShownFirst) {
    scratch_.AddDirectory("Start");
    scratch_.AddSemaphore("Start\\Here", 1, 2);
    ASSERT_TRUE(OpenBrowserAt(scratch_.PathOf("start\\HERE")));
    ExpectShown(scratch_.PathOf("Start"), "Here");
    RECT outer;
    GetWindowRect(AppContext.mainWindow, &outer);
    EXPECT_EQ(outer.right - outer.left, kTestPlacement.width);
}

// The command line is read as Unicode text: a start path may name what no
// ANSI text carries, and lands on it, never on a namesake of question marks.
TEST_F(GoToTest, StartPathNoAnsiTextCarries) {
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Directory, L"Dir\u0416"));
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, L"Dir\u0416\\Child"));
    ASSERT_FALSE(scratch_.AddDirectory("Dir?").empty());
    ASSERT_FALSE(scratch_.AddEvent("Dir?\\Child", true, false).empty());
    const std::wstring exact = WidenPath(scratch_.Path()) + L"\\Dir\u0416\\Child";
    const std::wstring typed = WidenPath(scratch_.Path()) + L"\\dir\u0436\\CHILD";
    ASSERT_TRUE(OpenBrowserAt(L"\"" + typed + L"\""));
    ExpectShown(scratch_.PathOf("Dir\\u0416"), "Child");
    ASSERT_NE(ExactPathOf(AppContext.SelectedPath), nullptr);
    EXPECT_EQ(*ExactPathOf(AppContext.SelectedPath), exact);

    // The start path is what follows the program's name, however the name is written.
    const struct {
        std::wstring_view commandLine, programName, rest;
    } cases[] = {
        {L"tarnel.exe", L"tarnel.exe", L""},
        {L"\"C:\\Program Files\\tarnel.exe\" \t \"\\A B\" ", L"C:\\Program Files\\tarnel.exe", L"\"\\A B\" "},
        {L"\"C:\\Tarnel\\tarnel.exe\"\\Device", L"C:\\Tarnel\\tarnel.exe", L"\\Device"},
        {L"\"unclosed \\Device", L"unclosed \\Device", L""},
    };
    for (const auto& c : cases) {
        const CommandLineStart start = SplitProgramName(c.commandLine);
        EXPECT_EQ(start.programName, c.programName) << VisiblePath(c.commandLine);
        EXPECT_EQ(start.rest, c.rest) << VisiblePath(c.commandLine);
    }
}

}  // namespace
