// Saves and comparisons of directories the tests build: nothing differs
// until something changes, each change is reported once and as what it is,
// every name comes back exactly, and a save that fails or stops leaves the
// earlier file as it was.
#include <gtest/gtest.h>

#include "namespace/access_names.h"
#include "namespace/object_opener.h"
#include "namespace/sddl_text.h"
#include "namespace/visible_name.h"
#include "snapshot/snapshot_task.h"
#include "snapshot_fixture.h"
#include "support/test_namespace.h"

namespace {

using namespace std::string_literals;

constexpr SECURITY_INFORMATION kPermissionParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

void SetDescriptor(HANDLE writer, const char* sddl) {
    ASSERT_EQ(NtSetSecurityObject(writer, kPermissionParts, DescriptorFromSddl(sddl).data()),
              kStatusSuccess)
        << sddl;
}

// The descriptor's text as the snapshot writes it.
std::string Sddl(const char* sddl) {
    const std::vector<BYTE> descriptor = DescriptorFromSddl(sddl);
    std::string text;
    WriteSddl(descriptor.data(), descriptor.size(), kPermissionParts, text);
    return text;
}

SnapshotContents ReadBack(const ScratchFile& file) {
    SnapshotParser parser;
    parser.Reset(file.Bytes());
    while (parser.Step(1000)) {
    }
    EXPECT_FALSE(parser.Refused()) << parser.Error();
    return parser.Contents();
}

class SnapshotLiveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.Valid()); }
    std::string P(const char* name) const { return scratch_.PathOf(name); }

    ScratchDirectory scratch_;
};

// Objects owned by SYSTEM, so that only their DACLs grant this account anything.
TEST_F(SnapshotLiveTest, NothingDiffersUntilSomethingChangesThenEachChangeOnce) {
    for (const char* name : {"Stay", "Gone", "Retyped", "Dacl", "Rights"}) ASSERT_FALSE(scratch_.AddEvent(name, true, false).empty());
    ASSERT_FALSE(scratch_.AddSymbolicLink("Link", "\\Old\\Target").empty());
    ASSERT_FALSE(scratch_.AddDirectory("Sub").empty());
    ASSERT_FALSE(scratch_.AddEvent("Sub\\Inner", true, false).empty());
    const OpenedObject dacl = OpenAnyObject(P("Dacl").c_str(), WRITE_DAC | WRITE_OWNER);
    const OpenedObject rights = OpenAnyObject(P("Rights").c_str(), WRITE_DAC | WRITE_OWNER);
    SetDescriptor(dacl.handle.get(), "O:SYG:SYD:(A;;0x1F0003;;;WD)");
    SetDescriptor(rights.handle.get(), "O:SYG:SYD:(A;;0x100000;;;WD)");  // no READ_CONTROL: the descriptor stays unread
    // A job: no row of the opener opens it, its own service does.
    NamedAttributes jobName(P("Job"));
    HANDLE job = nullptr;
    ASSERT_EQ(NtCreateJobObject(&job, 0x1F003F, jobName.Get()), kStatusSuccess);
    scratch_.Keep(job);
    SetDescriptor(job, "O:SYG:SYD:(A;;0x1F003F;;;WD)");
    // A directory that lets this account list and pass through it, and no more.
    ASSERT_FALSE(scratch_.AddDirectory("Listed").empty());
    ASSERT_FALSE(scratch_.AddEvent("Listed\\Inner", true, false).empty());
    SetDescriptor(OpenAnyObject(P("Listed").c_str(), WRITE_DAC | WRITE_OWNER).handle.get(), "O:SYG:SYD:(A;;0x3;;;WD)");

    ScratchFile before("before");
    ASSERT_EQ(SaveToFile(scratch_.Path(), before.Path()), "");
    const ComparisonRun same = CompareToEnd(before.Path(), L"");
    EXPECT_EQ(same.error, "");
    EXPECT_TRUE(same.result.shared);
    EXPECT_EQ(same.result.scope, WidenPath(scratch_.Path()));
    EXPECT_EQ(Seen(same.result), std::multiset<SeenDifference>{});
    const SnapshotContents saved = ReadBack(before);
    EXPECT_TRUE(saved.unread.empty());
    EXPECT_EQ(std::count_if(saved.objects.begin(), saved.objects.end(),
                            [&](const SnapshotObject& o) { return o.path == WidenPath(P("Listed\\Inner")); }),
              1);

    scratch_.Remove(P("Gone"));
    scratch_.Remove(P("Link"));
    ASSERT_FALSE(scratch_.AddSymbolicLink("Link", "\\New\\Target").empty());
    scratch_.Remove(P("Retyped"));
    ASSERT_FALSE(scratch_.AddMutant("Retyped", false).empty());
    SetDescriptor(dacl.handle.get(), "O:SYG:SYD:(A;;0x1F0003;;;WD)(A;;0x1;;;SY)");  // grants this account the same
    SetDescriptor(rights.handle.get(), "O:SYG:SYD:(A;;0x100002;;;WD)");
    SetDescriptor(job, "O:SYG:SYD:(A;;0x1F0004;;;WD)");
    ASSERT_FALSE(scratch_.AddEvent("New", true, false).empty());

    const std::multiset<SeenDifference> expected = {
        {"added", P("New"), "", "Event"},
        {"removed", P("Gone"), "Event", ""},
        {"target changed", P("Link"), "\\Old\\Target", "\\New\\Target"},
        {"type changed", P("Retyped"), "Event", "Mutant"},
        {"descriptor changed", P("Dacl"), Sddl("O:SYG:SYD:(A;;0x1F0003;;;WD)"),
         Sddl("O:SYG:SYD:(A;;0x1F0003;;;WD)(A;;0x1;;;SY)")},
        {"rights changed", P("Rights"), "0x00100000 (Synchronize)", "0x00100002 (Modify State, Synchronize)"},
        {"descriptor changed", P("Job"), Sddl("O:SYG:SYD:(A;;0x1F003F;;;WD)"), Sddl("O:SYG:SYD:(A;;0x1F0004;;;WD)")},
        {"rights changed", P("Job"), DescribeAccess(0x1F003F, "Job"), DescribeAccess(0x1F0004, "Job")},
    };
    const ComparisonRun live = CompareToEnd(before.Path(), L"");
    EXPECT_EQ(live.error, "");
    EXPECT_EQ(Seen(live.result), expected);
    ScratchFile after("after");
    ASSERT_EQ(SaveToFile(scratch_.Path(), after.Path()), "");
    const ComparisonRun files = CompareToEnd(before.Path(), after.Path());
    EXPECT_EQ(files.error, "");
    EXPECT_EQ(Seen(files.result), expected);
    EXPECT_TRUE(files.result.notes.empty());
    // Within a part where nothing changed, nothing differs, and the note says what was compared.
    const ComparisonRun within = CompareToEnd(before.Path(), after.Path(), WidenPath(P("Sub")));
    EXPECT_TRUE(within.result.shared && within.result.differences.empty());
    EXPECT_EQ(within.result.notes, std::vector<std::string>{"Only " + P("Sub") + " is compared."});
}

// Names no ANSI path carries are walked, opened and written exactly, and read back exactly.
TEST_F(SnapshotLiveTest, EveryNameComesBackExactly) {
    const std::wstring root = WidenPath(scratch_.Path());
    const std::wstring linkTarget = L"\\Target\\u0416\t\u0416  ";
    const std::wstring events[] = {L"Ev\0x"s, L"Tab\tName", L"Zh\u0416", L"Trail  ", L"%41", L"Dir\u0416\\Inner\tEvent"};
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Directory, L"Dir\u0416"));
    for (const std::wstring& name : events) ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, name));
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::SymbolicLink, L"Link\u0416", linkTarget));
    ASSERT_FALSE(scratch_.AddLockedDirectory("Locked").empty());

    ScratchFile file("names");
    ASSERT_EQ(SaveToFile(scratch_.Path(), file.Path()), "");
    const SnapshotContents read = ReadBack(file);
    std::set<std::wstring> paths;
    for (const SnapshotObject& object : read.objects) {
        paths.insert(object.path);
        if (object.path == root + L"\\Link\u0416") {
            EXPECT_EQ(object.target, SnapshotFact::Value(linkTarget));
        }
        // Each was opened by its own name: its rights were read.
        EXPECT_EQ(object.rights.state, SnapshotFact::State::Read) << VisiblePath(object.path);
    }
    std::set<std::wstring> expected = {root, root + L"\\Dir\u0416", root + L"\\Link\u0416", root + L"\\Locked"};
    for (const std::wstring& name : events) expected.insert(root + L"\\" + name);
    EXPECT_EQ(paths, expected);
    ASSERT_EQ(read.unread.size(), 1u);
    EXPECT_EQ(read.unread[0].path, root + L"\\Locked");
    EXPECT_EQ(read.unread[0].why, L"status 0xC0000022");

    const ComparisonRun live = CompareToEnd(file.Path(), L"");
    EXPECT_EQ(live.error, "");
    EXPECT_EQ(Seen(live.result), std::multiset<SeenDifference>{});
    EXPECT_EQ(live.result.notes, std::vector<std::string>{"1 directory could not be read in one snapshot or both; "
                                                          "nothing below is compared: " +
                                                          P("Locked") + "."});
}

// The first buffer goes to the disk, the second finds it full.
int Writes = 0;
DWORD FullOnSecondWrite(HANDLE file, const char* bytes, DWORD size) {
    return ++Writes == 2 ? ERROR_DISK_FULL : ReplacingFile::WriteAll(file, bytes, size);
}

TEST_F(SnapshotLiveTest, AFailedWriteLeavesTheEarlierFileByteForByte) {
    char name[16];
    for (int i = 0; i < 3000; ++i) {
        std::snprintf(name, sizeof name, "Event%04d", i);
        ASSERT_FALSE(scratch_.AddEvent(name, true, false).empty());
    }
    ScratchFile file("full");
    ASSERT_EQ(SaveToFile(scratch_.Path(), file.Path()), "");
    const std::string earlier = file.Bytes();
    ASSERT_GT(earlier.size(), 2u * 64 * 1024);  // the save writes more than two buffers
    ASSERT_FALSE(scratch_.AddEvent("Later", true, false).empty());

    const std::string why = SaveToFile(scratch_.Path(), file.Path(), FullOnSecondWrite);
    EXPECT_NE(why.find("error 112"), std::string::npos) << why;
    EXPECT_EQ(Writes, 2);  // the failure ended the save
    EXPECT_TRUE(file.Bytes() == earlier);
    EXPECT_FALSE(file.LeftOvers());
}

// Stop during a save on the background engine: the save ends before its end,
// and the earlier file stays as it was.
TEST(SnapshotTaskTest, StopDuringABigSaveLeavesTheEarlierFile) {
    constexpr int kEvents = 20000;
    ScratchDirectory big;
    ASSERT_TRUE(big.Valid());
    char name[48];
    for (int i = 0; i < kEvents; ++i) {
        std::snprintf(name, sizeof name, "Dir%03d", i / 200);
        if (i % 200 == 0) {
            ASSERT_FALSE(big.AddDirectory(name).empty());
        }
        std::snprintf(name, sizeof name, "Dir%03d\\Event%05d", i / 200, i);
        ASSERT_FALSE(big.AddEvent(name, true, false).empty());
    }
    ScratchFile file("stopped");
    file.Write("earlier\r\n");
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    {
        SnapshotTask task;
        std::string why;
        ASSERT_TRUE(task.StartSave(window, WM_APP, WidenPath(big.Path()), file.Path(), {}, why)) << why;
        while (task.Progress() == 0 && !task.Finished()) Sleep(1);
        task.Stop();
        EXPECT_FALSE(task.Succeeded());
        EXPECT_EQ(task.Why(), "stopped");
        EXPECT_LT(task.Save().EntriesRead(), kEvents);
    }
    EXPECT_EQ(file.Bytes(), "earlier\r\n");
    EXPECT_FALSE(file.LeftOvers());
    EXPECT_EQ(BackgroundWork::LiveWorkers(), 0);
    DestroyWindow(window);
}

}  // namespace
