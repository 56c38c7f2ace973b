// Paths and names read as the object manager reads them, and links followed
// to the end of their chain, against objects whose names only just differ.
#include <gtest/gtest.h>

#include <map>

#include "namespace/link_chain.h"
#include "namespace/name_lookup.h"
#include "namespace/path_resolver.h"
#include "namespace/visible_name.h"
#include "support/test_namespace.h"

namespace {

TEST(PathSyntaxTest, PathsBeginAtTheRootAndHoldNoEmptyName) {
    const struct {
        const wchar_t* path;
        bool wellFormed;
    } cases[] = {
        {L"\\", true},     {L"\\a", true},       {L"\\a b \\ c ", true}, {L"\\\"q\"", true},
        {L"", false},       {L"a", false},         {L"a\\b", false},        {L" \\a", false},
        {L"\\\\", false},  {L"\\a\\\\b", false}, {L"\\a\\", false},       {L"\\\\a", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWellFormedPath(c.path), c.wellFormed) << VisiblePath(c.path);
    EXPECT_EQ(PathNames(L"\\ a\\b "), (std::vector<std::wstring>{L" a", L"b "}));
    EXPECT_TRUE(PathNames(L"\\").empty());
    EXPECT_EQ(JoinPath(L"\\", L"a"), L"\\a");
    EXPECT_EQ(JoinPath(L"\\a", L"b"), L"\\a\\b");
}

TEST(PathSyntaxTest, NamesAreComparedOrdinallyWithoutRegardToCase) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } cases[] = {
        {L"Dir", L"dIR", true},          {L"\u00E9t\u00E9", L"\u00C9T\u00C9", true},  // letters beyond ASCII fold
        {L"Dir", L"D\u00ADir", false},   // a soft hyphen is a character like any other
        {L"Pair", L"Pair ", false},      {L"ss", L"\u00DF", false},  {L"\\A\\b", L"\\a\\B", true},
        {L"\u0416", L"\u0436", true},
    };
    for (const auto& c : cases) EXPECT_EQ(SameNameIgnoringCase(c.a, c.b), c.same) << VisiblePath(c.a);
    EXPECT_FALSE(SameNameIgnoringCase(L"A", std::wstring(L"A\0B", 3)));  // a counted name keeps its NUL
}

class NameLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.Valid());
        ASSERT_FALSE(scratch_.AddDirectory("Dir").empty());
        ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Directory, L"D\u00ADir"));
        ASSERT_FALSE(scratch_.AddSemaphore("Pair", 1, 2).empty());
        ASSERT_FALSE(scratch_.AddEvent("Pair ", true, false).empty());
        ASSERT_FALSE(scratch_.AddEvent("Case", true, false).empty());
        ASSERT_FALSE(scratch_.AddEventBesideOtherCase("CASE").empty());
        ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, L"Zh\u0416"));
    }

    ScratchDirectory scratch_;
};

// The directory's own entries decide: the name spelled exactly wins, then the
// first one that differs only in case; nothing else is folded or ignored.
TEST_F(NameLookupTest, EntriesAreFoundAsTheNamespaceFindsThem) {
    const struct {
        const wchar_t* asked;
        EntryLookup lookup;
        const wchar_t* name;
        const char* typeName;
    } cases[] = {
        {L"dir", EntryLookup::Found, L"Dir", "Directory"},
        {L"D\u00ADIR", EntryLookup::Found, L"D\u00ADir", "Directory"},
        {L"Pair", EntryLookup::Found, L"Pair", "Semaphore"},
        {L"PAIR ", EntryLookup::Found, L"Pair ", "Event"},
        {L"Case", EntryLookup::Found, L"Case", "Event"},
        {L"CASE", EntryLookup::Found, L"CASE", "Event"},
        {L"zh\u0436", EntryLookup::Found, L"Zh\u0416", "Event"},
        {L" Pair", EntryLookup::Missing, L"", ""},
        {L"Zh\\u0416", EntryLookup::Missing, L"", ""},  // a visible form is only the text it is
    };
    const std::wstring directory = WidenPath(scratch_.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(VisiblePath(c.asked));
        FoundEntry found;
        ASSERT_EQ(LookupEntry(LiveNamespace(), directory, c.asked, found), c.lookup);
        if (c.lookup != EntryLookup::Found) continue;
        EXPECT_EQ(found.name, c.name);
        EXPECT_EQ(found.typeName, c.typeName);
    }
    FoundEntry found;
    EXPECT_EQ(LookupEntry(LiveNamespace(), WidenPath(scratch_.AddLockedDirectory("Locked")), L"x", found),
              EntryLookup::Unopenable);
}

// A chain's targets are taken byte for byte; a target the namespace resolves
// to nothing (relative, or with an empty name) ends the chain there; a loop is
// seen whatever the case its links spell it in.
TEST_F(NameLookupTest, LinkChainsEndWhereTheNamespaceWouldEndThem) {
    const struct {
        const char* link;
        std::string target;
        LinkChain::End end;
    } cases[] = {
        {"ToSpaced", scratch_.PathOf("Pair "), LinkChain::End::Target},
        {"Relative", "Pair", LinkChain::End::Nothing},
        {"Doubled", scratch_.Path() + "\\\\Pair", LinkChain::End::Nothing},
        {"Trailing", scratch_.PathOf("Dir\\"), LinkChain::End::Nothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        const std::string link = scratch_.AddSymbolicLink(c.link, c.target);
        ASSERT_FALSE(link.empty());
        const LinkChain chain = FollowLinkChain(WidenPath(link));
        EXPECT_EQ(chain.end, c.end);
        EXPECT_EQ(chain.paths.back(), WidenPath(c.target));
    }
    scratch_.AddSymbolicLink("LoopA", scratch_.PathOf("loopb"));
    scratch_.AddSymbolicLink("LoopB", scratch_.PathOf("LOOPA"));
    const LinkChain loop = FollowLinkChain(WidenPath(scratch_.PathOf("LoopA")));
    EXPECT_EQ(loop.end, LinkChain::End::Loop);
    EXPECT_EQ(loop.paths.size(), 3u);
}

// A namespace laid out as later systems lay it out, behind the resolver's
// reader: the root lists no "??", \?? is this logon's own directory, and a
// name it lacks is \GLOBAL??'s.
class LogonNamespace : public NamespaceReader {
public:
    struct Entry {
        std::wstring name;
        std::wstring typeName;
        std::wstring target = {};  // of a link
    };

    LogonNamespace() {
        directories_[L"\\"] = {{L"GLOBAL??", L"Directory"}, {L"Device", L"Directory"},
                                {L"DosDevices", L"SymbolicLink", L"\\??"}};
        directories_[L"\\Device"] = {{L"Null", L"Device"}, {L"Volume1", L"Device"}, {L"Share", L"Directory"}};
        directories_[L"\\Device\\Share"] = {};
        directories_[L"\\GLOBAL??"] = {{L"C:", L"SymbolicLink", L"\\Device\\Volume1"},
                                        {L"NUL", L"SymbolicLink", L"\\Device\\Null"},
                                        {L"Z:", L"SymbolicLink", L"\\Device\\Null"}};
        directories_[L"\\??"] = {{L"Z:", L"SymbolicLink", L"\\Device\\Share"},
                                  {L"ToC", L"SymbolicLink", L"\\??\\C:"}};
    }
    void Remove(const std::wstring& directory) { directories_.erase(directory); }

    bool ReadDirectory(std::wstring_view path, const EntryVisitor& visit) override {
        const auto directory = directories_.find(std::wstring(path));
        if (directory == directories_.end()) return false;
        for (const Entry& entry : directory->second) {
            if (!visit(entry.name, entry.typeName)) break;
        }
        return true;
    }
    bool ReadLink(std::wstring_view path, std::wstring& target) override {
        const std::size_t split = path.rfind(L'\\');
        const auto directory = directories_.find(std::wstring(split == 0 ? L"\\" : path.substr(0, split)));
        if (directory == directories_.end()) return false;
        for (const Entry& entry : directory->second) {
            if (entry.name != path.substr(split + 1) || entry.typeName != L"SymbolicLink") continue;
            target = entry.target;
            return true;
        }
        return false;
    }

private:
    std::map<std::wstring, std::vector<Entry>> directories_;
};

TEST(LogonDevicesTest, NamesThisLogonLacksAreGlobalOnes) {
    LogonNamespace names;
    const struct {
        const wchar_t* path;
        const wchar_t* directory;  // null: not found
        const wchar_t* object;
        bool fromGlobal;
        const char* problem;
    } cases[] = {
        {L"\\??", L"\\??", L"", false, ""},
        {L"\\??\\C:", L"\\GLOBAL??", L"C:", true, ""},
        {L"\\??\\c:", L"\\GLOBAL??", L"C:", true, ""},
        {L"\\??\\Z:", L"\\??", L"Z:", false, ""},  // this logon's own comes first
        {L"\\DosDevices\\NUL", L"\\GLOBAL??", L"NUL", true, ""},
        {L"\\??\\Z:\\", nullptr, L"", false, "has an empty name in it"},
        {L"\\DosDevices\\Z:", L"\\??", L"Z:", false, ""},
        {L"\\??\\Missing", nullptr, L"", false,
         "\\?? (this logon's device names) holds nothing named \"Missing\", nor does \\GLOBAL??."},
        {L"\\??\\NUL\\x", nullptr, L"", false, "\\Device\\Null exists, but its type is Device"},
        {L"\\GLOBAL??\\Missing", nullptr, L"", false, "\\GLOBAL?? exists, but holds nothing named \"Missing\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(VisiblePath(c.path));
        const ResolvedPath resolved = ResolvePath(c.path, names);
        ASSERT_EQ(resolved.found, c.directory != nullptr) << resolved.problem;
        if (!resolved.found) {
            EXPECT_NE(resolved.problem.find(c.problem), std::string::npos) << resolved.problem;
            continue;
        }
        EXPECT_EQ(resolved.directory, c.directory);
        EXPECT_EQ(resolved.object, c.object);
        EXPECT_EQ(resolved.fallback.empty(), !c.fromGlobal) << resolved.fallback;
    }
    // Links through \?? follow the same rule, and the chain says which directory answered.
    const LinkChain chain = FollowLinkChain(L"\\??\\ToC", names);
    ASSERT_EQ(chain.paths, (std::vector<std::wstring>{L"\\??\\ToC", L"\\??\\C:", L"\\Device\\Volume1"}));
    EXPECT_EQ(chain.end, LinkChain::End::Target);
    EXPECT_EQ(chain.last.Path(), L"\\Device\\Volume1");
    EXPECT_EQ(DescribeChain(chain), "\\??\\ToC\n  -> \\??\\C:  (found in \\GLOBAL??: \\?? (this logon's device names) "
                                    "holds no \"C:\")\n  -> \\Device\\Volume1");
}

// The tree shows a "??" the root does not list, where \?? opens.
TEST(LogonDevicesTest, TheTreeShowsThisLogonsDirectoryWhereTheRootHidesIt) {
    LogonNamespace names;
    EXPECT_TRUE(ShowsLogonDevicesUnderRoot(false, names));
    EXPECT_FALSE(ShowsLogonDevicesUnderRoot(true, names));
    names.Remove(L"\\??");
    EXPECT_FALSE(ShowsLogonDevicesUnderRoot(false, names));
    EXPECT_FALSE(ResolvePath(L"\\??\\C:", names).found);
}

}  // namespace
