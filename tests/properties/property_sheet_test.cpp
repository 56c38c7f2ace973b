#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <regex>

#include "namespace/native_services.h"
#include "namespace/object_opener.h"
#include "properties/details_page.h"
#include "properties/object_properties.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/test_namespace.h"

namespace {

constexpr int kApplyButton = 0x3021;

// What the Details page showed, read while the sheet was open.
struct DetailsView {
    std::string name, type, handles, references, paged, nonPaged;
    std::string caption, label1, value1, label2, value2;
    bool sectionVisible = false;
    bool permanentChecked = false;
    bool permanentEnabled = true;
    bool shownFirst = false;
    bool applyShown = true;
};

DetailsView ReadDetails(HWND sheet) {
    DetailsView view;
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    view.shownFirst = page == reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0));
    HWND apply = GetDlgItem(sheet, kApplyButton);
    view.applyShown = apply != nullptr && IsWindowVisible(apply);
    view.name = WindowText(page, IDC_DETAIL_NAME);
    view.type = WindowText(page, IDC_DETAIL_TYPE);
    view.handles = WindowText(page, IDC_DETAIL_HANDLES);
    view.references = WindowText(page, IDC_DETAIL_REFERENCES);
    view.paged = WindowText(page, IDC_DETAIL_PAGED);
    view.nonPaged = WindowText(page, IDC_DETAIL_NONPAGED);
    view.caption = WindowText(page, IDC_DETAIL_SECTION_GROUP);
    view.label1 = WindowText(page, IDC_DETAIL_SECTION_LABEL1);
    view.value1 = WindowText(page, IDC_DETAIL_SECTION_VALUE1);
    view.label2 = WindowText(page, IDC_DETAIL_SECTION_LABEL2);
    view.value2 = WindowText(page, IDC_DETAIL_SECTION_VALUE2);
    view.sectionVisible = IsWindowVisible(GetDlgItem(page, IDC_DETAIL_SECTION_GROUP)) != FALSE;
    view.permanentChecked = IsDlgButtonChecked(page, IDC_DETAIL_PERMANENT) == BST_CHECKED;
    view.permanentEnabled = IsWindowEnabled(GetDlgItem(page, IDC_DETAIL_PERMANENT)) != FALSE;
    return view;
}

DetailsView ShowDetails(const std::string& path, std::vector<CaughtDialog>* caught = nullptr) {
    DetailsView view;
    std::vector<CaughtDialog> windows = RunPropertySheet(path.c_str(), [&](HWND sheet) { view = ReadDetails(sheet); });
    if (caught != nullptr) *caught = windows;
    return view;
}

bool IsCount(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

void ExpectNoSection(const DetailsView& view) {
    EXPECT_FALSE(view.sectionVisible);
    EXPECT_EQ(view.label1, "");
    EXPECT_EQ(view.value1, "");
    EXPECT_EQ(view.label2, "");
    EXPECT_EQ(view.value2, "");
}

class PropertySheetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
    ScratchDirectory scratch;
};

TEST_F(PropertySheetTest, SymbolicLinkShowsItsSectionOnTheFirstPage) {
    const std::string link = scratch.AddSymbolicLink("Link", "\\Device\\Null");
    std::vector<CaughtDialog> caught;
    DetailsView view = ShowDetails(link, &caught);

    ASSERT_EQ(caught.size(), 1u);
    EXPECT_FALSE(caught[0].isMessageBox);
    EXPECT_TRUE(view.shownFirst);
    EXPECT_FALSE(view.applyShown);
    EXPECT_EQ(view.name, link);
    EXPECT_EQ(view.type, "SymbolicLink");
    EXPECT_TRUE(view.sectionVisible);
    EXPECT_EQ(view.caption, "Symbolic Link Info");
    EXPECT_EQ(view.label1, "Creation Time:");
    EXPECT_TRUE(std::regex_match(view.value1, std::regex(R"(\d{1,2}:\d\d:\d\d, \d{1,2}/\d{1,2}/\d{4})"))) << view.value1;
    EXPECT_EQ(view.label2, "Link:");
    EXPECT_EQ(view.value2, "\\Device\\Null");
    EXPECT_FALSE(view.permanentChecked);
    for (const std::string& count : {view.handles, view.references, view.paged, view.nonPaged})
        EXPECT_TRUE(IsCount(count)) << count;
}

TEST_F(PropertySheetTest, DirectoryAndFallbackDeviceShowNoSection) {
    DetailsView directory = ShowDetails(scratch.AddDirectory("Dir"));
    EXPECT_EQ(directory.type, "Directory");
    ExpectNoSection(directory);

    // \NUL is no object of the namespace; only its Win32 device name opens.
    ASSERT_EQ(OpenAnyObject("\\NUL", 0).typeIndex, kTypeDevice);
    DetailsView device = ShowDetails("\\NUL");
    EXPECT_EQ(device.name, "\\NUL");
    EXPECT_EQ(device.type, "Device");
    ExpectNoSection(device);
}

TEST_F(PropertySheetTest, EventStateIsShown) {
    DetailsView view = ShowDetails(scratch.AddEvent("Event", false, true));
    EXPECT_EQ(view.caption, "Event Info");
    EXPECT_EQ(view.label1, "Type:");
    EXPECT_EQ(view.value1, "Synchronization");
    EXPECT_EQ(view.label2, "Signaled:");
    EXPECT_EQ(view.value2, "TRUE");
}

TEST_F(PropertySheetTest, PermanentObjectIsCheckedAndCannotBeChanged) {
    const std::string path = scratch.AddEvent("Permanent", true, false);
    HANDLE handle = nullptr;
    ASSERT_EQ(OpenObjectByType(kTypeEvent, path.c_str(), 0x000F0000, false, &handle), kStatusSuccess);
    UniqueNtHandle full(handle);
    if (NtMakePermanentObject(full.get()) != kStatusSuccess) GTEST_SKIP() << "platform refuses permanent objects";
    DetailsView view = ShowDetails(path);
    NtMakeTemporaryObject(full.get());
    EXPECT_TRUE(view.permanentChecked);
    EXPECT_FALSE(view.permanentEnabled);
}

TEST_F(PropertySheetTest, UnopenableObjectGivesOneMessageAndNoSheet) {
    const char* path = "\\ObjectTypes\\Directory";
    std::vector<CaughtDialog> caught = RunPropertySheet(path, [](HWND) { ADD_FAILURE() << "sheet shown"; });
    ASSERT_EQ(caught.size(), 1u);
    EXPECT_TRUE(caught[0].isMessageBox);
    EXPECT_EQ(caught[0].caption, "Tarnel");
    EXPECT_EQ(caught[0].text, "Unable to open \\ObjectTypes\\Directory");
    EXPECT_FALSE(caught[0].hasOwner);
}

TEST_F(PropertySheetTest, NoPathOpensNothing) {
    const long opensBefore = NamespaceCounters().opens;
    std::vector<CaughtDialog> caught = RunPropertySheet(nullptr, [](HWND) { ADD_FAILURE() << "sheet shown"; });
    EXPECT_TRUE(caught.empty());
    EXPECT_EQ(NamespaceCounters().opens, opensBefore);
}

// The object vanished between the pre-check and the page: the page says so,
// owned by itself, and keeps its template texts.
TEST_F(PropertySheetTest, PageWhoseObjectVanishedReportsItself) {
    const std::string path = scratch.PathOf("Gone");
    std::string nameShown;
    std::vector<CaughtDialog> caught = RunOnePageSheet("DETAIL_DLG", DetailsPageProc, path.c_str(), [&](HWND sheet) {
        HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0));
        nameShown = WindowText(page, IDC_DETAIL_NAME);
    });
    ASSERT_GE(caught.size(), 1u);
    EXPECT_TRUE(caught[0].isMessageBox);
    EXPECT_EQ(caught[0].text, "Unable to open " + path);
    EXPECT_EQ(caught[0].caption, "Tarnel");
    EXPECT_TRUE(caught[0].hasOwner);
    EXPECT_EQ(std::count_if(caught.begin(), caught.end(), [](const CaughtDialog& c) { return c.isMessageBox; }), 1);
    if (!nameShown.empty()) {
        EXPECT_EQ(nameShown, "Static");
    }
}

}  // namespace
