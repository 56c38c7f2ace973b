// The Type page through the real sheets, with objects the tests make: each
// line's value for each kind of object, the type's figures following a count
// the test changes, and a directory counted a slice per timer tick.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "common/count_text.h"
#include "common/list_view.h"
#include "namespace/fact_format.h"
#include "namespace/type_facts.h"
#include "namespace/visible_name.h"
#include "properties/type_page.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/beside_program.h"
#include "support/handle_count.h"
#include "support/sheet_pages.h"
#include "support/test_namespace.h"

namespace {

constexpr ACCESS_MASK kAllAccess = 0x001F0000 | 0xFFFF;
constexpr char kEveryEvent[] = "All objects of type \"Event\"";

// What the page showed: its path line and its rows of label and value. A
// heading has a label and no value; a blank row has neither.
struct TypeView {
    std::string summary;
    std::vector<std::array<std::string, 2>> rows;

    // The values of label under heading ("" for the rows before the first heading).
    std::vector<std::string> Values(const std::string& heading, const std::string& label) const {
        std::vector<std::string> values;
        std::string current;
        for (const auto& [rowLabel, value] : rows) {
            if (!rowLabel.empty() && value.empty())
                current = rowLabel;
            else if (!value.empty() && current == heading && rowLabel == label)
                values.push_back(value);
        }
        return values;
    }
    std::string Value(const std::string& heading, const std::string& label) const {
        const std::vector<std::string> values = Values(heading, label);
        return values.size() == 1 ? values[0] : "(" + std::to_string(values.size()) + " values)";
    }
    bool Counting() const {
        for (const auto& row : rows) {
            if (row[1].find(" so far") != std::string::npos) return true;
        }
        return false;
    }
};

TypeView ReadTypePage(HWND page) {
    TypeView view{WindowText(page, IDC_TYPE_SUMMARY), {}};
    HWND list = GetDlgItem(page, IDC_TYPE_LIST);
    const auto count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) view.rows.push_back({ListCellText(list, row, 0), ListCellText(list, row, 1)});
    return view;
}

// Lets the page's count tick until it has ended.
TypeView ReadWhenCounted(HWND page) {
    EXPECT_TRUE(PumpUntil([page] { return !ReadTypePage(page).Counting(); }));
    return ReadTypePage(page);
}

// The page alone in a sheet for path (with its exact path, where a row
// would carry one), read once its count has ended.
TypeView ShowTypePage(const std::string& path, const std::wstring* exact = nullptr) {
    TypeView view;
    RunOnePageSheet("TYPE_PAGE", TypePageProc, ObjectName(path.c_str(), exact),
                    [&](HWND sheet) { view = ReadWhenCounted(ShowPage(sheet, 0)); });
    return view;
}

std::string Escaped(const std::string& text) { return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"); }

// Matches text without regard to the case of its letters.
std::string AnyCase(const std::string& text) {
    std::string pattern;
    for (char c : Escaped(text)) {
        const char upper = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        const char lower = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        pattern += upper != lower ? std::string("[") + upper + lower + "]" : std::string(1, c);
    }
    return pattern;
}

std::string Hex(ULONGLONG value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, value);
    return text;
}

// "1,234 (peak 2,000)" is 1234.
long LeadingCount(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    return std::strtol(text.c_str(), nullptr, 10);
}

// A line the page must show: under heading, label's value matches pattern.
struct ExpectedLine {
    std::string heading;
    std::string label;
    std::string pattern;
};

void ExpectLines(const TypeView& view, const std::vector<ExpectedLine>& lines) {
    for (const ExpectedLine& line : lines) {
        const std::string value = view.Value(line.heading, line.label);
        EXPECT_TRUE(std::regex_match(value, std::regex(line.pattern)))
            << line.heading << " / " << line.label << ": " << value;
    }
}

// The figures of its type that every object shows, from the handle.
std::vector<ExpectedLine> FiguresOf(const std::string& typeName) {
    const std::string heading = "All objects of type \"" + typeName + "\"";
    return {
        {"", "Type", Escaped(typeName)},
        {heading, "Objects", R"([1-9][0-9,]*( \(peak [0-9,]+\))?)"},
        {heading, "Handles", R"([0-9,]+( \(peak [0-9,]+\))?)"},
        {heading, "Valid access", R"(0x[0-9A-F]{8}( \(.+\))?)"},
        {heading, "Pool type", R"(Paged|Non-paged.*)"},
        {heading, "Maintains handle counts", "Yes|No"},
    };
}

// The facts of a DLL's header that its image section reports.
struct ImageHeader {
    ULONGLONG entryPoint = 0;
    ULONG imageSize = 0;
    USHORT subsystem = 0, subsystemMajor = 0, subsystemMinor = 0, characteristics = 0;
};

ImageHeader ReadImageHeader(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ImageHeader header;
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS nt{};
    if (bytes.size() < sizeof dos) return header;
    std::memcpy(&dos, bytes.data(), sizeof dos);
    if (dos.e_lfanew < 0 || bytes.size() < static_cast<std::size_t>(dos.e_lfanew) + sizeof nt) return header;
    std::memcpy(&nt, bytes.data() + dos.e_lfanew, sizeof nt);
    const auto& optional = nt.OptionalHeader;
    return {optional.ImageBase + optional.AddressOfEntryPoint, optional.SizeOfImage, optional.Subsystem,
            optional.MajorSubsystemVersion, optional.MinorSubsystemVersion, nt.FileHeader.Characteristics};
}

// A section of the DLL's image, named in the scratch directory.
std::string AddImageSection(ScratchDirectory& scratch, const std::string& name, const std::string& dll) {
    UniqueWin32Handle file(CreateFileA(dll.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return {};
    }
    const std::string path = scratch.PathOf(name);
    NamedAttributes attributes(path);
    HANDLE section = nullptr;
    if (NtCreateSection(&section, kAllAccess, attributes.Get(), nullptr, PAGE_READONLY, SEC_IMAGE, file.get()) !=
        kStatusSuccess)
        return {};
    scratch.Keep(section);
    return path;
}

std::string AddSizedSection(ScratchDirectory& scratch, const std::string& name, LONGLONG size) {
    const std::string path = scratch.PathOf(name);
    NamedAttributes attributes(path);
    HANDLE section = nullptr;
    LARGE_INTEGER maximum{};
    maximum.QuadPart = size;
    if (NtCreateSection(&section, kAllAccess, attributes.Get(), &maximum, PAGE_READWRITE, SEC_COMMIT, nullptr) !=
        kStatusSuccess)
        return {};
    scratch.Keep(section);
    return path;
}

// A timer due after dueTime (negative: relative, in 100-nanosecond units).
UniqueNtHandle AddSetTimer(ScratchDirectory& scratch, const std::string& name, LONGLONG dueTime) {
    const std::string path = scratch.AddTimer(name);
    NamedAttributes attributes(path);
    HANDLE timer = nullptr;
    if (path.empty() || NtOpenTimer(&timer, kAllAccess, attributes.Get()) != kStatusSuccess) return {};
    LARGE_INTEGER due{};
    due.QuadPart = dueTime;
    NtSetTimer(timer, &due, nullptr, nullptr, FALSE, 0, nullptr);
    return UniqueNtHandle(timer);
}

std::string AddCompletionPort(ScratchDirectory& scratch, const std::string& name, int queued) {
    const std::string path = scratch.PathOf(name);
    NamedAttributes attributes(path);
    HANDLE port = nullptr;
    if (NtCreateIoCompletion(&port, kAllAccess, attributes.Get(), 0) != kStatusSuccess) return {};
    scratch.Keep(port);
    for (int i = 0; i < queued; ++i) NtSetIoCompletion(port, i, i, kStatusSuccess, 0);
    return path;
}

// The key's name in the namespace, "\REGISTRY\USER\...".
std::string NativeKeyPath(HKEY key) {
    const std::wstring name = ObjectNameOf(key);
    std::string text;
    for (wchar_t c : name) text += static_cast<char>(c);
    return text;
}

// A key under the test account's software key with two subkeys and three values, deleted with the record.
class TestKey {
public:
    TestKey() : name_("Software\\TarnelTypeTest-" + std::to_string(GetCurrentProcessId())) {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(),
                            nullptr) != ERROR_SUCCESS)
            return;
        for (const char* subkey : {"First", "Second"}) {
            UniqueRegistryKey made;
            RegCreateKeyExA(key_.get(), subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, made.put(), nullptr);
        }
        for (const char* value : {"one", "two", "three"}) RegSetValueExA(key_.get(), value, 0, REG_SZ,
                                                                          reinterpret_cast<const BYTE*>(value), 4);
        path_ = NativeKeyPath(key_.get());
    }
    ~TestKey() {
        if (!key_) return;
        for (const char* subkey : {"First", "Second"}) RegDeleteKeyA(key_.get(), subkey);
        key_.reset();
        RegDeleteKeyA(HKEY_CURRENT_USER, name_.c_str());
    }
    const std::string& Path() const { return path_; }

private:
    std::string name_;
    UniqueRegistryKey key_;
    std::string path_;
};

class TypePageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
    void SetUp() override { ASSERT_TRUE(scratch_.Valid()); }

    ScratchDirectory scratch_;
};

// Each kind of object shows its type's figures and the lines of its own type;
// no line of another type shows.
TEST_F(TypePageTest, EachKindShowsItsOwnLines) {
    const std::string dll = BesideThisProgram("tarnel-acledit.dll");
    const ImageHeader header = ReadImageHeader(dll);
    ASSERT_NE(header.imageSize, 0u) << dll;
    const std::string target = scratch_.AddEvent("Target", true, false);
    const std::string third = scratch_.AddSymbolicLink("Third", target);
    const std::string second = scratch_.AddSymbolicLink("Second", third);
    const std::string made = scratch_.AddDirectory("Made");
    for (const char* name : {"Made\\A", "Made\\B", "Made\\C"}) scratch_.AddEvent(name, true, false);
    scratch_.AddDirectory("Made\\Inner");
    scratch_.AddDirectory("Made\\Other");
    scratch_.AddSymbolicLink("Made\\ToTarget", target);
    scratch_.AddSymbolicLink("Made\\ToNothing", scratch_.PathOf("Nothing"));
    const std::string relative = scratch_.AddSymbolicLink("Relative", "Target");
    scratch_.AddMutant("Made\\Mutant", false);
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, L"Tab\tName"));
    const std::string ahead = scratch_.PathOf("Ahead");
    const std::string fired = scratch_.PathOf("Fired");
    UniqueNtHandle aheadTimer = AddSetTimer(scratch_, "Ahead", -60 * 10'000'000LL);
    UniqueNtHandle firedTimer = AddSetTimer(scratch_, "Fired", -1);
    ASSERT_EQ(WaitForSingleObject(firedTimer.get(), 10000), WAIT_OBJECT_0);
    TestKey key;
    ASSERT_FALSE(key.Path().empty());

    // A TAB the ANSI path carries is shown escaped; the row carries the exact path.
    const std::wstring tabName = WidenPath(scratch_.Path()) + L"\\Tab\tName";
    const struct {
        std::string path;
        std::string typeName;
        std::vector<ExpectedLine> lines;
        const std::wstring* exact = nullptr;
    } cases[] = {
        {AddSizedSection(scratch_, "Data", 65536), "Section",
         {{"This section", "Size", "65,536 bytes"}, {"This section", "Attributes", Escaped("0x08000000 (commit)")}}},
        {AddImageSection(scratch_, "Image", dll), "Section",
         {{"This section", "Size", FormatCount((header.imageSize + 4095) / 4096 * 4096) + " bytes"},
          {"This section", "Attributes", R"(0x0[0-9A-F]{7} \((.*, )?image(, .*)?\))"},
          {"This section", "Entry point", Hex(header.entryPoint, 2 * sizeof(void*))},
          {"This section", "Subsystem",
           std::string(header.subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI ? "Windows GUI" : "Windows console") +
               ", version " + std::to_string(header.subsystemMajor) + "\\." + std::to_string(header.subsystemMinor)},
          {"This section", "Image characteristics", Hex(header.characteristics, 4) + R"( \((.*, )?DLL(, .*)?\))"}}},
        {ahead, "Timer",
         {{"This timer", "Signalled", "No"}, {"This timer", "Remaining time", R"(([1-5]?[0-9]\.[0-9]{3}|60\.000) s)"}}},
        {fired, "Timer",
         {{"This timer", "Signalled", "Yes"}, {"This timer", "Remaining time", R"((0|-[0-9,]+)\.[0-9]{3} s)"}}},
        {AddCompletionPort(scratch_, "Port", 3), "IoCompletion", {{"This completion port", "Queued entries", "3"}}},
        {key.Path(), "Key",
         {{"This key", "Subkeys", "2"},
          {"This key", "Values", "3"},
          {"This key", "Last write time", R"(\d{1,2}:\d\d:\d\d, \d{1,2}/\d{1,2}/\d{4})"},
          {"This key", "Registry name", AnyCase(key.Path())}}},
        {"\\Device\\Null", "Device",
         {{"This device", "Device type", Escaped("0x00000015 (Null)")},
          {"This device", "Characteristics", R"(0x[0-9A-F]{8} \(.+\))"},
          {"All objects of type \"Device\"", "Read from", "the list of every type, as the object opens as a File"}}},
        {made, "Directory",
         {{"This directory", "Entries", "8"}, {"This directory", "Directories", "2"},
          {"This directory", "Symbolic links", "2"}}},
        {scratch_.PathOf("Made\\ToNothing"), "SymbolicLink",
         {{"This link", "End of chain", Escaped("nothing: " + scratch_.PathOf("Nothing") + " is not there")}}},
        {relative, "SymbolicLink",
         {{"This link", "End of chain", Escaped("nothing: \"Target\" is no path the namespace resolves")}}},
        {scratch_.PathOf("Tab\\tName"), "Event", {{kEveryEvent, "Read from", R"(\(0 values\))"}}, &tabName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_FALSE(c.path.empty());
        const TypeView view = ShowTypePage(c.path, c.exact);
        EXPECT_EQ(view.summary, c.path);
        ExpectLines(view, FiguresOf(c.typeName));
        ExpectLines(view, c.lines);
        // One group of the object's own lines at most, and only its type's.
        int headings = 0;
        for (const auto& row : view.rows) headings += !row[0].empty() && row[1].empty() ? 1 : 0;
        EXPECT_EQ(headings, c.typeName == "Event" ? 1 : 2);
    }

    // A chain of three links, each hop, and where it ends.
    const TypeView chain = ShowTypePage(scratch_.AddSymbolicLink("First", second));
    EXPECT_EQ(chain.Values("This link", "Chain"), std::vector<std::string>{scratch_.PathOf("First")});
    EXPECT_EQ(chain.Values("This link", ""), (std::vector<std::string>{"-> " + second, "-> " + third, "-> " + target}));
    EXPECT_EQ(chain.Value("This link", "End of chain"), target);
}

// A type object: objects of type "Type" do not open, so both its own figures
// and those of the type it stands for come from the list of every type. The
// sheet is the one of the Inspect Object command, whose Access page, shown
// first, says that nothing opens the object.
TEST_F(TypePageTest, TypeObjectShowsTheFiguresOfItsType) {
    TypeView view;
    std::string title;
    std::string accessSummary;
    const std::vector<CaughtDialog> caught = RunInspectionSheet("\\ObjectTypes\\Event", [&](HWND sheet) {
        title = WindowText(sheet);
        EXPECT_EQ(PageTitles(sheet), (std::vector<std::string>{"Handles", "Access", "Type"}));
        accessSummary = WindowText(PropSheet_GetCurrentPageHwnd(sheet), IDC_ACCESS_SUMMARY);
        view = ReadWhenCounted(ShowPageTitled(sheet, "Type"));
    });
    EXPECT_TRUE(MessagesOf(caught).empty());
    EXPECT_EQ(title, "Inspect Object");
    EXPECT_EQ(accessSummary.rfind("Unable to open \\ObjectTypes\\Event (status 0x", 0), 0u) << accessSummary;
    ExpectLines(view, {
        {"", "Type", "Type"},
        {"All objects of type \"Type\"", "Objects", R"([1-9][0-9,]*( \(peak [0-9,]+\))?)"},
        {"All objects of type \"Type\"", "Read from", "the list of every type, as objects of this type do not open"},
        {kEveryEvent, "Valid access",
         Escaped("0x001F0003 (Query State, Modify State, Delete, Read Control, Change Permissions, Change Owner, "
                 "Synchronize)")},
        {kEveryEvent, "Generic read", Escaped("0x00020001 (Query State, Read Control)")},
        {kEveryEvent, "Generic all", Escaped("0x001F0003 (Query State, Modify State, Delete, Read Control, "
                                             "Change Permissions, Change Owner, Synchronize)")},
        {kEveryEvent, "Objects", R"([1-9][0-9,]*( \(peak [0-9,]+\))?)"},
    });
}

// A job with the helper process in it: its counts, and its limit flags as
// the platform reports them (Wine reports none whatever was set).
TEST_F(TypePageTest, JobCountsItsProcesses) {
    const std::string job = scratch_.PathOf("Job");
    NamedAttributes attributes(job);
    HANDLE handle = nullptr;
    ASSERT_EQ(NtCreateJobObject(&handle, kAllAccess, attributes.Get()), kStatusSuccess);
    scratch_.Keep(handle);
    JOBOBJECT_BASIC_LIMIT_INFORMATION limits{};
    limits.LimitFlags = JOB_OBJECT_LIMIT_ACTIVE_PROCESS;
    limits.ActiveProcessLimit = 4;
    ASSERT_TRUE(SetInformationJobObject(handle, JobObjectBasicLimitInformation, &limits, sizeof limits));

    // The helper never runs: it waits, suspended, in the job until the test ends it.
    const std::string helper = BesideThisProgram("handle_holder.exe");
    std::string commandLine = "\"" + helper + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(helper.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               nullptr, &startup, &process));
    UniqueWin32Handle helperProcess(process.hProcess);
    CloseHandle(process.hThread);
    const bool assigned = AssignProcessToJobObject(handle, process.hProcess);
    JOBOBJECT_BASIC_LIMIT_INFORMATION reported{};
    QueryInformationJobObject(handle, JobObjectBasicLimitInformation, &reported, sizeof reported, nullptr);
    const TypeView view = ShowTypePage(job);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 60000);

    ASSERT_TRUE(assigned);
    ExpectLines(view, FiguresOf("Job"));
    EXPECT_EQ(view.Value("This job", "Active processes"), "1");
    EXPECT_EQ(view.Value("This job", "Total processes"), "1");
    EXPECT_EQ(view.Value("This job", "Terminated processes"), "0");
    EXPECT_EQ(view.Value("This job", "Limit flags"), FormatJobLimitFlags(reported.LimitFlags));
    if (reported.LimitFlags != 0) {
        EXPECT_EQ(view.Value("This job", "Limit flags"), "0x00000008 (active processes)");
    }
}

// The page is the Type tab of the full sheet too, filled only when first
// shown; the type's handle figure rises by the handles the test opens before
// Refresh.
TEST_F(TypePageTest, HandleFigureFollowsTheHandlesOpened) {
    const std::string timer = scratch_.AddTimer("Counted");
    constexpr long kMoreHandles = 5;
    std::vector<UniqueNtHandle> more;
    bool found = false;
    long fillOpens = -1, switchOpens = -1, reads = -1;
    long before = -1, after = -1;
    const std::vector<CaughtDialog> caught = RunPropertySheet(timer.c_str(), [&](HWND sheet) {
        const NamespaceCallCounts atFirstShow = NamespaceCounters();
        HWND page = ShowPageTitled(sheet, "Type");
        found = page != nullptr;
        if (!found) return;
        fillOpens = NamespaceCounters().opens - atFirstShow.opens;
        before = LeadingCount(ReadTypePage(page).Value("All objects of type \"Timer\"", "Handles"));
        ShowPage(sheet, 0);
        ShowPageTitled(sheet, "Type");
        switchOpens = NamespaceCounters().opens - atFirstShow.opens - fillOpens;
        reads = NamespaceCounters().enumerations - atFirstShow.enumerations;
        for (long i = 0; i < kMoreHandles; ++i) {
            NamedAttributes attributes(timer);
            HANDLE handle = nullptr;
            if (NtOpenTimer(&handle, SYNCHRONIZE, attributes.Get()) == kStatusSuccess) more.emplace_back(handle);
        }
        PressButton(page, IDC_TYPE_REFRESH);
        after = LeadingCount(ReadTypePage(page).Value("All objects of type \"Timer\"", "Handles"));
    });
    EXPECT_TRUE(MessagesOf(caught).empty());
    ASSERT_TRUE(found);
    EXPECT_GT(fillOpens, 0);   // filled when first shown,
    EXPECT_EQ(switchOpens, 0);  // and not again when shown again
    EXPECT_EQ(reads, 0);        // the timer's own open service tells its type: no directory is read
    ASSERT_EQ(static_cast<long>(more.size()), kMoreHandles);
    EXPECT_GT(before, 0);
    EXPECT_EQ(after, before + kMoreHandles);
}

// A slice per tick: Refresh starts the count over, and the sheet closed in
// the middle of a count leaves no directory open.
TEST_F(TypePageTest, DirectoryIsCountedASliceAtATime) {
    const std::string many = scratch_.AddDirectory("Many");
    for (int i = 0; i < 40; ++i) scratch_.AddEvent("Many\\E" + std::to_string(i), true, false);
    scratch_.AddDirectory("Many\\Sub");
    scratch_.AddSymbolicLink("Many\\Link", many);
    ShowTypePage(many);  // the platform keeps what it opens on first use of the sheet
    SetTypePageCountSlice(1);
    const long handlesBefore = CountProcessHandles();
    TypeView started, counted, restarted;
    RunOnePageSheet("TYPE_PAGE", TypePageProc, many.c_str(), [&](HWND sheet) {
        HWND page = ShowPage(sheet, 0);
        PressButton(page, IDC_TYPE_REFRESH);
        started = ReadTypePage(page);
        counted = ReadWhenCounted(page);
        PressButton(page, IDC_TYPE_REFRESH);
        restarted = ReadTypePage(page);
    });
    const long handlesAfter = CountProcessHandles();
    SetTypePageCountSlice(0);

    for (const TypeView* view : {&started, &restarted}) {
        EXPECT_EQ(view->Value("This directory", "Entries"), "0 so far");
        EXPECT_EQ(view->Value("This directory", "Directories"), "0 so far");
    }
    EXPECT_EQ(counted.Value("This directory", "Entries"), "42");
    EXPECT_EQ(counted.Value("This directory", "Directories"), "1");
    EXPECT_EQ(counted.Value("This directory", "Symbolic links"), "1");
    EXPECT_EQ(handlesAfter, handlesBefore);
}

// Nothing there: the page says so and shows no lines.
TEST_F(TypePageTest, MissingObjectShowsNothing) {
    const std::string missing = scratch_.PathOf("Missing");
    const TypeView view = ShowTypePage(missing);
    EXPECT_EQ(view.summary, "Unable to open " + missing);
    EXPECT_TRUE(view.rows.empty());
}

// Windows refuses an open that asks for no access, where Wine grants it: the
// type is still learnt from the service that refuses, without reading the
// directory; only a link's refusal, which a refusal on the way reads the same
// as, is left to the directory.
NTSTATUS RefusingOpensOfNoAccess(int typeIndex, const ObjectName& name, ACCESS_MASK access, HANDLE* handle) {
    const NTSTATUS status = OpenObjectExactlyAs(typeIndex, name, access, handle);
    if (access != 0 || status != kStatusSuccess) return status;
    NtClose(*handle);
    *handle = nullptr;
    return kStatusAccessDenied;
}

TEST_F(TypePageTest, TypeIsLearntWhereAnOpenOfNoAccessIsRefused) {
    const struct {
        std::string path;
        const char* typeName;
        bool readsNoDirectory;  // a link's facts follow its chain, which reads directories
    } cases[] = {
        {scratch_.AddEvent("Event", true, false), "Event", true},
        {scratch_.AddDirectory("Directory"), "Directory", true},
        {scratch_.AddJob("Job"), "Job", true},
        {scratch_.AddSymbolicLink("Link", scratch_.Path()), "SymbolicLink", false},
    };
    TypeProbeOpens = RefusingOpensOfNoAccess;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const long before = NamespaceCounters().enumerations;
        const TypeFacts facts = GatherTypeFacts(c.path.c_str());
        EXPECT_EQ(facts.typeName, c.typeName);
        if (c.readsNoDirectory) {
            EXPECT_EQ(NamespaceCounters().enumerations, before);
        }
    }
    TypeProbeOpens = OpenObjectExactlyAs;
}

// The formats that only Windows' answers reach here: a timer past its due
// time, job limits, device characteristics beyond Wine's none.
TEST(TypeFactsFormat, SignsFlagsAndNames) {
    EXPECT_EQ(FormatSeconds(-15'000'000), "-1.500 s");
    EXPECT_EQ(FormatSeconds(12'345'678'9000LL), "12,345.678 s");
    EXPECT_EQ(FormatSeconds(0), "0.000 s");
    EXPECT_EQ(FormatJobLimitFlags(0x2008), "0x00002008 (active processes, kill on job close)");
    EXPECT_EQ(FormatJobLimitFlags(0), "0x00000000 (none)");
    EXPECT_EQ(FormatDeviceCharacteristics(0x00020101), "0x00020101 (removable media, secure open, app container traversal)");
    EXPECT_EQ(FormatDeviceCharacteristics(0x80000000), "0x80000000 (other 0x80000000)");
    EXPECT_EQ(FormatDeviceType(0x07), "0x00000007 (Disk)");
    EXPECT_EQ(FormatDeviceType(0x3B), "0x0000003B (InfiniBand)");
    EXPECT_EQ(FormatDeviceType(0x9000), "0x00009000 (unnamed)");
}

}  // namespace
