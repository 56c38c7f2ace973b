#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <regex>

#include "namespace/object_opener.h"
#include "properties/details_page.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/test_namespace.h"

namespace {

constexpr int kApplyButton = 0x3021;
constexpr int kDetailIds[] = {IDC_DETAIL_NAME,           IDC_DETAIL_TYPE,           IDC_DETAIL_HANDLES,
                              IDC_DETAIL_REFERENCES,     IDC_DETAIL_PAGED,          IDC_DETAIL_NONPAGED,
                              IDC_DETAIL_SECTION_GROUP,  IDC_DETAIL_SECTION_LABEL1, IDC_DETAIL_SECTION_VALUE1,
                              IDC_DETAIL_SECTION_LABEL2, IDC_DETAIL_SECTION_VALUE2};

// What the sheet and its Details page showed while open.
struct DetailsView {
    std::map<int, std::string> text;  // by control id
    bool sectionVisible = false, permanentChecked = false, permanentEnabled = true;
    bool onDetails = false, applyShown = true, cancelEnabled = true;
    std::string title, okText;
    std::vector<CaughtDialog> caught;
};

DetailsView ShowDetails(const std::string& path) {
    DetailsView view;
    view.caught = RunPropertySheet(path.c_str(), [&](HWND sheet) {
        HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        view.onDetails = page == reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0));
        view.applyShown = IsWindowVisible(GetDlgItem(sheet, kApplyButton));
        view.cancelEnabled = IsWindowEnabled(GetDlgItem(sheet, IDCANCEL));
        view.title = WindowText(sheet);
        view.okText = WindowText(sheet, IDOK);
        for (int id : kDetailIds) view.text[id] = WindowText(page, id);
        view.sectionVisible = IsWindowVisible(GetDlgItem(page, IDC_DETAIL_SECTION_GROUP));
        view.permanentChecked = IsDlgButtonChecked(page, IDC_DETAIL_PERMANENT) == BST_CHECKED;
        view.permanentEnabled = IsWindowEnabled(GetDlgItem(page, IDC_DETAIL_PERMANENT));
    });
    return view;
}

void ExpectNoSection(DetailsView& view) {
    EXPECT_FALSE(view.sectionVisible);
    for (int id : {IDC_DETAIL_SECTION_LABEL1, IDC_DETAIL_SECTION_VALUE1, IDC_DETAIL_SECTION_LABEL2,
                   IDC_DETAIL_SECTION_VALUE2})
        EXPECT_EQ(view.text[id], "") << id;
}

class PropertySheetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
    ScratchDirectory scratch;
};

TEST_F(PropertySheetTest, SymbolicLinkShowsItsSectionOnTheFirstPage) {
    const std::string link = scratch.AddSymbolicLink("Link", "\\Device\\Null");
    DetailsView view = ShowDetails(link);
    ASSERT_EQ(view.caught.size(), 1u);
    EXPECT_EQ(view.title, "Object Properties");
    EXPECT_TRUE(view.onDetails);
    EXPECT_FALSE(view.applyShown);
    EXPECT_EQ(view.okText, "Close");  // the page told the sheet changes cannot be cancelled
    EXPECT_FALSE(view.cancelEnabled);

    EXPECT_EQ(view.text[IDC_DETAIL_NAME], link);
    EXPECT_EQ(view.text[IDC_DETAIL_TYPE], "SymbolicLink");
    EXPECT_TRUE(view.sectionVisible);
    EXPECT_EQ(view.text[IDC_DETAIL_SECTION_GROUP], "Symbolic Link Info");
    EXPECT_EQ(view.text[IDC_DETAIL_SECTION_LABEL1], "Creation Time:");
    // Wine gives no creation time; the page then shows the query's "Unknown".
    EXPECT_TRUE(std::regex_match(view.text[IDC_DETAIL_SECTION_VALUE1],
                                 std::regex(R"(\d{1,2}:\d\d:\d\d, \d{1,2}/\d{1,2}/\d{4}|Unknown)")));
    EXPECT_EQ(view.text[IDC_DETAIL_SECTION_LABEL2], "Link:");
    EXPECT_EQ(view.text[IDC_DETAIL_SECTION_VALUE2], "\\Device\\Null");
    EXPECT_FALSE(view.permanentChecked);
    EXPECT_FALSE(view.permanentEnabled);  // the user cannot change the box
    for (int id : {IDC_DETAIL_HANDLES, IDC_DETAIL_REFERENCES, IDC_DETAIL_PAGED, IDC_DETAIL_NONPAGED})
        EXPECT_TRUE(std::regex_match(view.text[id], std::regex(R"(\d+)"))) << view.text[id];
}

// The page's counts are the object's own, less its querying handle: with the
// scratch directory's handle and two more, it shows 3 handles, and references
// one fewer than the pointers the object has with that many handles.
TEST_F(PropertySheetTest, DetailsShowTheObjectsOwnCounts) {
    const std::string event = scratch.AddEvent("Counted", true, false);
    OpenedObject extra[2] = {OpenAnyObject(event.c_str(), 0), OpenAnyObject(event.c_str(), 0)};
    DetailsView view = ShowDetails(event);
    OpenedObject query = OpenAnyObject(event.c_str(), 0);  // in the page's place
    OBJECT_BASIC_INFORMATION basic{};
    ASSERT_EQ(NtQueryObject(query.handle.get(), ObjectBasicInformation, &basic, sizeof basic, nullptr),
              kStatusSuccess);
    EXPECT_EQ(view.text[IDC_DETAIL_HANDLES], "3");
    EXPECT_EQ(view.text[IDC_DETAIL_REFERENCES], std::to_string(basic.PointerCount - 1));
    EXPECT_EQ(view.text[IDC_DETAIL_PAGED], std::to_string(basic.PagedPoolUsage));
    EXPECT_EQ(view.text[IDC_DETAIL_NONPAGED], std::to_string(basic.NonPagedPoolUsage));
}

TEST_F(PropertySheetTest, DirectoryAndFallbackDeviceShowNoSection) {
    DetailsView directory = ShowDetails(scratch.AddDirectory("Dir"));
    EXPECT_EQ(directory.text[IDC_DETAIL_TYPE], "Directory");
    ExpectNoSection(directory);

    // \NUL is no object of the namespace; only its Win32 device name opens.
    ASSERT_EQ(OpenAnyObject("\\NUL", 0).typeIndex, kTypeDevice);
    DetailsView device = ShowDetails("\\NUL");
    EXPECT_EQ(device.text[IDC_DETAIL_NAME], "\\NUL");
    EXPECT_EQ(device.text[IDC_DETAIL_TYPE], "Device");
    ExpectNoSection(device);
}

TEST_F(PropertySheetTest, UnopenableObjectGivesOneMessageAndNoSheet) {
    std::vector<CaughtDialog> caught =
        RunPropertySheet("\\ObjectTypes\\Directory", [](HWND) { ADD_FAILURE() << "sheet shown"; });
    ASSERT_EQ(caught.size(), 1u);
    EXPECT_TRUE(caught[0].isMessageBox);
    EXPECT_EQ(caught[0].caption, "Tarnel");
    EXPECT_EQ(caught[0].text, "Unable to open \\ObjectTypes\\Directory");
    EXPECT_FALSE(caught[0].hasOwner);
}

TEST_F(PropertySheetTest, NoPathOpensNothing) {
    const long opensBefore = NamespaceCounters().opens;
    EXPECT_TRUE(RunPropertySheet(nullptr, [](HWND) { ADD_FAILURE() << "sheet shown"; }).empty());
    EXPECT_EQ(NamespaceCounters().opens, opensBefore);
}

// The object vanished between the pre-check and the page: the page says so,
// owned by itself, and keeps its template texts.
TEST_F(PropertySheetTest, PageWhoseObjectVanishedReportsItself) {
    const std::string path = scratch.PathOf("Gone");
    std::string nameShown;
    std::vector<CaughtDialog> caught = RunOnePageSheet("DETAIL_DLG", DetailsPageProc, path.c_str(), [&](HWND sheet) {
        nameShown = WindowText(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0)), IDC_DETAIL_NAME);
    });
    std::vector<std::string> messages = MessagesOf(caught);
    EXPECT_EQ(messages, std::vector<std::string>{"Unable to open " + path});
    EXPECT_EQ(nameShown, "Static");
    for (const CaughtDialog& c : caught) EXPECT_TRUE(!c.isMessageBox || c.hasOwner);
}

}  // namespace
