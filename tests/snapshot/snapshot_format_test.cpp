// The snapshot file: the escaping rule both ways, whole files read back, and
// files refused with the line at fault.
#include <gtest/gtest.h>

#include "namespace/visible_name.h"
#include "snapshot/snapshot_format.h"
#include "snapshot_fixture.h"

namespace {

using namespace std::string_literals;

TEST(SnapshotEscapeTest, EveryNameReadsBackExactly) {
    struct Case {
        std::wstring text;
        std::string escaped;
    };
    const Case cases[] = {
        {L"\\BaseNamedObjects\\Plain", "\\BaseNamedObjects\\Plain"},
        {L"Ev\0x"s, "Ev%00x"},
        {L"Tab\tName", "Tab%09Name"},
        {L"\\u0416 as text", "\\u0416 as text"},  // a literal escape stays text
        {L"Zh\u0416", "Zh\xD0\x96"},
        {L"Trailing  ", "Trailing  "},
        {L"100%25", "100%2525"},
        {L"\r\n\x7F\x1B", "%0D%0A%7F%1B"},
        {L"Lone\xD800" L"x\xDC00", "Lone%uD800x%uDC00"},
        {L"Pair\xD83D\xDE00", "Pair\xF0\x9F\x98\x80"},
        {L"\x00E9\x4E2D", "\xC3\xA9\xE4\xB8\xAD"},
        {L"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeText(c.text), c.escaped) << c.escaped;
        std::wstring back;
        EXPECT_TRUE(UnescapeText(c.escaped, back) && back == c.text) << c.escaped;
    }
    std::wstring lower;
    EXPECT_TRUE(UnescapeText("a%0ab%u d", lower) == false);
    EXPECT_TRUE(UnescapeText("a%0ab%udc00", lower) && lower == L"a\nb\xDC00");  // hex in either case
}

TEST(SnapshotEscapeTest, RefusesWhatTheRuleCannotHaveWritten) {
    const std::string refused[] = {
        "%",        "%4",       "%41",           "%ZZ",          "%uD7FF",     "%u12",
        "raw\ttab", "\x01",     "\xC0\x80",      "\xED\xA0\x80", "\xE2\x82",   "\xF4\x90\x80\x80",
        "\x80",     "\xFF",     "\xE0\x80\x80",
    };
    for (const std::string& text : refused) {
        std::wstring back;
        EXPECT_FALSE(UnescapeText(text, back)) << VisiblePath(std::wstring(text.begin(), text.end()));
    }
}

SnapshotContents Sample() {
    SnapshotContents contents;
    contents.header = {L"\\Root", L"10.0.19045", L"HOST\\user (S-1-5-21-1)", L"2024-05-01T12:00:00Z", true};
    SnapshotObject root{L"\\Root", L"Directory", {}, SnapshotFact::Value(L"O:SYG:SYD:(A;;0xf;;;WD)"), {},
                        SnapshotFact::Value(RightsText(0x000F000F))};
    SnapshotObject link{L"\\Root\\Tab\tAnd\0Nul  "s, L"SymbolicLink", SnapshotFact::Value(L"\\??\\C:\\u0416\t\x0416"),
                        SnapshotFact::Missing(L"READ_CONTROL not granted"), SnapshotFact::Value(L"S:"),
                        SnapshotFact::Value(RightsText(0))};
    SnapshotObject device{L"\\Root\\Dev\xD800", L"Device", {}, {}, {}, {}};
    contents.objects = {root, link, device};
    contents.unread = {{L"\\Root\\Locked%", L"status 0xC0000022"}};
    return contents;
}

std::string Lines(const SnapshotContents& contents, const char* end = "\r\n") {
    std::string text = HeaderLine(contents.header) + end;
    for (const SnapshotObject& object : contents.objects) text += ObjectLine(object) + end;
    for (const UnreadDirectoryRecord& unread : contents.unread) text += UnreadLine(unread) + end;
    return text + EndLine(static_cast<long>(contents.objects.size()), static_cast<long>(contents.unread.size())) + end;
}

TEST(SnapshotParserTest, ReadsBackWhatItsLinesSay) {
    const SnapshotContents sample = Sample();
    for (const std::string& text : {Lines(sample), Lines(sample, "\n"), "\xEF\xBB\xBF" + Lines(sample)}) {
        SnapshotParser parser;
        parser.Reset(text);
        while (parser.Step(2)) {
        }
        ASSERT_FALSE(parser.Refused()) << parser.Error();
        const SnapshotContents& read = parser.Contents();
        EXPECT_EQ(read.header.root, sample.header.root);
        EXPECT_EQ(read.header.account, sample.header.account);
        EXPECT_EQ(read.header.time, sample.header.time);
        EXPECT_TRUE(read.header.devices);
        ASSERT_EQ(read.objects.size(), sample.objects.size());
        for (std::size_t i = 0; i < read.objects.size(); ++i) {
            const SnapshotObject& a = read.objects[i];
            const SnapshotObject& b = sample.objects[i];
            EXPECT_TRUE(a.path == b.path && a.typeName == b.typeName && a.target == b.target &&
                        a.descriptor == b.descriptor && a.sacl == b.sacl && a.rights == b.rights)
                << VisiblePath(b.path);
            EXPECT_EQ(a.line, static_cast<long>(i) + 2);
        }
        ASSERT_EQ(read.unread.size(), 1u);
        EXPECT_TRUE(read.unread[0].path == L"\\Root\\Locked%" && read.unread[0].why == L"status 0xC0000022");
    }
}

// Each bad file is refused with its line, and a comparison with it lists nothing.
TEST(SnapshotParserTest, RefusesBadFilesWithTheirLine) {
    const std::string good = Lines(Sample());
    const std::size_t third = good.find("\r\n", good.find("\r\n") + 2) + 2;  // where line 3 begins
    const auto replaceLine3 = [&](const std::string& line) {
        return good.substr(0, third) + line + good.substr(good.find("\r\n", third));
    };
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "line 1: not a snapshot: the file is empty"},
        {"Name\tType\r\nobject\r\n", "line 1: not a snapshot"},
        {"TarnelSnapshot\t2\troot=\\\r\n", "line 1: snapshot version 2, which this program does not read"},
        {"TarnelSnapshot\tone\r\n", "line 1: the header has no version number"},
        {"TarnelSnapshot\t1\troot=\\\twindows=\taccount=\ttime=\tdevices=maybe\r\n", "line 1: devices= is yes or no"},
        {"TarnelSnapshot\t1\troot=Root\twindows=\taccount=\ttime=\tdevices=no\r\n", "line 1: the header's root"},
        {good.substr(0, third), "the file ends after line 2 without its end line"},
        {good.substr(0, third + 20), "line 3: the line has no line end"},
        {replaceLine3("object\t\\Root\\X\tEvent\t-\t-\t-"), "line 3: an object line has 7 fields"},
        {replaceLine3("object\t\\Root\\X\tEvent\t-\t-\t-\t=0x1F"), "line 3: the rights are not 0x"},
        {replaceLine3("object\t\\Root\\X\tEvent\t-\t?\t-\t-"), "line 3: the descriptor is not -"},
        {replaceLine3("object\t\\Root\\%GG\tEvent\t-\t-\t-\t-"), "line 3: the path is not escaped text"},
        {replaceLine3("object\t\\Other\\X\tEvent\t-\t-\t-\t-"), "line 3: the path is not below the snapshot's root"},
        {replaceLine3("object\t\\Root\\\tEvent\t-\t-\t-\t-"), "line 3: the path is not a namespace path"},
        {replaceLine3("object\t\\Root\\\xC3\tEvent\t-\t-\t-\t-"), "line 3: the path is not escaped text"},
        {replaceLine3("stray"), "line 3: not an object, unread or end line"},
        {replaceLine3("unread\t\\Root\\X"), "line 3: an unread line has 3 fields"},
        {good + "object\t\\Root\\X\tEvent\t-\t-\t-\t-\r\n", "line 7: a line after the end line"},
        {good.substr(0, good.find("end\t")) + "end\tobjects=4\tunread=1\r\n",
         "line 6: the end line counts 4 objects and 1 unread directories; the file holds 3 and 1"},
        {good.substr(0, good.find("end\t")) + "end\tobjects=3\r\n", "line 6: the end line is end, objects="},
    };
    ScratchFile bad("bad");
    ScratchFile sound("sound");
    sound.Write(good);
    for (const Case& c : cases) {
        SnapshotParser parser;
        parser.Reset(c.text);
        while (parser.Step(100)) {
        }
        EXPECT_TRUE(parser.Refused() && parser.Error().rfind(c.error, 0) == 0) << c.error << " / " << parser.Error();
        EXPECT_TRUE(parser.Contents().objects.empty()) << c.error;
        bad.Write(c.text);
        for (const ComparisonRun& run : {CompareToEnd(bad.Path(), sound.Path()), CompareToEnd(sound.Path(), bad.Path())}) {
            EXPECT_NE(run.error.find(c.error), std::string::npos) << run.error;
            EXPECT_TRUE(run.result.differences.empty()) << c.error;
        }
    }
    // The first object must be the root itself.
    SnapshotParser parser;
    parser.Reset(good.substr(0, good.find("object")) + good.substr(good.find("object", good.find("object") + 1)));
    while (parser.Step(100)) {
    }
    EXPECT_EQ(parser.Error(), "line 2: the first object is not the snapshot's root");
}

// Snapshots of other parts are compared over what they share; a path listed twice counts once.
TEST(SnapshotCompareTest, ComparesOnlyTheSharedPart) {
    SnapshotContents wide = Sample();
    SnapshotContents narrow = Sample();
    narrow.header.root = L"\\Root\\Sub";
    narrow.objects = {{L"\\Root\\Sub", L"Directory", {}, {}, {}, {}}, {L"\\Root\\Sub\\E", L"Event", {}, {}, {}, {}},
                      {L"\\Root\\Sub\\E", L"Mutant", {}, {}, {}, {}}};
    wide.objects.push_back({L"\\Root\\Sub", L"Directory", {}, {}, {}, {}});
    wide.objects.push_back({L"\\Root\\Sub\\F", L"Event", {}, {}, {}, {}});
    wide.objects.push_back({L"\\Root\\Locked%\\Below", L"Event", {}, {}, {}, {}});
    SnapshotComparison both = CompareSnapshots(wide, narrow);
    EXPECT_TRUE(both.shared);
    EXPECT_EQ(both.scope, L"\\Root\\Sub");
    EXPECT_EQ(Seen(both), (std::multiset<SeenDifference>{{"added", "\\Root\\Sub\\E", "", "Event"},
                                                        {"removed", "\\Root\\Sub\\F", "Event", ""}}));
    ASSERT_FALSE(both.notes.empty());
    EXPECT_EQ(both.notes[0], "The old snapshot holds \\Root, the new one \\Root\\Sub: only \\Root\\Sub is compared.");

    // Nothing below a directory one side could not read is compared.
    SnapshotContents again = Sample();
    SnapshotComparison unread = CompareSnapshots(wide, again);
    EXPECT_EQ(Seen(unread), (std::multiset<SeenDifference>{{"removed", "\\Root\\Sub", "Directory", ""},
                                                          {"removed", "\\Root\\Sub\\F", "Event", ""}}));
    SnapshotContents other = Sample();
    other.header.root = L"\\Other";
    other.objects = {{L"\\Other", L"Directory", {}, {}, {}, {}}};
    const SnapshotComparison apart = CompareSnapshots(wide, other);
    EXPECT_FALSE(apart.shared);
    EXPECT_TRUE(apart.differences.empty());
}

}  // namespace
