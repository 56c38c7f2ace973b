// Paths and names read as the object manager reads them, and links followed
// to the end of their chain, against objects whose names only just differ.
#include <gtest/gtest.h>

#include "namespace/link_chain.h"
#include "namespace/name_lookup.h"
#include "support/test_namespace.h"

namespace {

TEST(PathSyntaxTest, PathsBeginAtTheRootAndHoldNoEmptyName) {
    const struct {
        const char* path;
        bool wellFormed;
    } cases[] = {
        {"\\", true},     {"\\a", true},       {"\\a b \\ c ", true}, {"\\\"q\"", true},
        {"", false},      {"a", false},        {"a\\b", false},       {" \\a", false},
        {"\\\\", false},  {"\\a\\\\b", false}, {"\\a\\", false},      {"\\\\a", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWellFormedPath(c.path), c.wellFormed) << '"' << c.path << '"';
    EXPECT_EQ(PathNames("\\ a\\b "), (std::vector<std::string>{" a", "b "}));
    EXPECT_TRUE(PathNames("\\").empty());
}

TEST(PathSyntaxTest, NamesAreComparedOrdinallyWithoutRegardToCase) {
    ASSERT_EQ(GetACP(), 1252u) << "the names below are those of code page 1252";
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"Dir", "dIR", true},          {"\xE9t\xE9", "\xC9T\xC9", true},  // letters of the code page fold
        {"Dir", "D\xAD" "ir", false},  // a soft hyphen is a character like any other
        {"Pair", "Pair ", false},      {"ss", "\xDF", false},  {"\\A\\b", "\\a\\B", true},
    };
    for (const auto& c : cases) EXPECT_EQ(SameNameIgnoringCase(c.a, c.b), c.same) << c.a << " / " << c.b;
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
        const char* asked;
        EntryLookup lookup;
        const char* name;
        const char* typeName;
    } cases[] = {
        {"dir", EntryLookup::Found, "Dir", "Directory"},
        {"D\xAD" "IR", EntryLookup::Found, "D\xAD" "ir", "Directory"},
        {"Pair", EntryLookup::Found, "Pair", "Semaphore"},
        {"PAIR ", EntryLookup::Found, "Pair ", "Event"},
        {"Case", EntryLookup::Found, "Case", "Event"},
        {"CASE", EntryLookup::Found, "CASE", "Event"},
        {" Pair", EntryLookup::Missing, "", ""},
        {"Zh\\u0416", EntryLookup::Missing, "", ""},  // a visible form names nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        FoundEntry found;
        ASSERT_EQ(LookupEntry(scratch_.Path(), c.asked, found), c.lookup);
        if (c.lookup != EntryLookup::Found) continue;
        EXPECT_EQ(found.name, c.name);
        EXPECT_EQ(found.typeName, c.typeName);
    }
    FoundEntry found;
    EXPECT_EQ(LookupEntry(scratch_.AddLockedDirectory("Locked"), "x", found), EntryLookup::Unopenable);
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
        const LinkChain chain = FollowLinkChain(link);
        EXPECT_EQ(chain.end, c.end);
        EXPECT_EQ(chain.paths.back(), c.target);
    }
    scratch_.AddSymbolicLink("LoopA", scratch_.PathOf("loopb"));
    scratch_.AddSymbolicLink("LoopB", scratch_.PathOf("LOOPA"));
    const LinkChain loop = FollowLinkChain(scratch_.PathOf("LoopA"));
    EXPECT_EQ(loop.end, LinkChain::End::Loop);
    EXPECT_EQ(loop.paths.size(), 3u);
}

}  // namespace
