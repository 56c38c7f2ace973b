// Sorting the list by a clicked column, on a directory of 10,000 objects.
#include <cstdio>
#include <set>

#include "browser_fixture.h"
#include "namespace/native_services.h"
#include "resource_ids.h"
#include "support/test_namespace.h"

namespace {

using ColumnSortTest = BrowserTest;

struct ShownRow {
    std::string column[3];  // name, type, target
};

std::vector<ShownRow> ShownRows() {
    std::vector<ShownRow> rows(static_cast<size_t>(ListView_GetItemCount(AppContext.objectList)));
    for (size_t row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < 3; ++column) {
            char text[512] = {};
            ListView_GetItemText(AppContext.objectList, static_cast<int>(row), column, text, sizeof text);
            rows[row].column[column] = text;
        }
    }
    return rows;
}

// Reports a click on a header as the list does.
void ClickHeader(int column) {
    NMLISTVIEW click{};
    click.hdr = {AppContext.objectList, kObjectListId, static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(AppContext.mainWindow, WM_NOTIFY, kObjectListId, reinterpret_cast<LPARAM>(&click));
}

int CompareBytes(const std::string& a, const std::string& b) {
    const int result = std::string_view(a).compare(b);  // char_traits<char> compares as unsigned char
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

// Each click sorts by its column, a second click on it the other way; the
// directories (and the link that leads to one) stay first either way, each
// part in order by the column's bytes and then by name; no sort opens anything.
TEST_F(ColumnSortTest, TenThousandRowsSortBothWaysInEachColumn) {
    ScratchDirectory scratch;
    char name[32];
    for (int i = 0; i < 10000; ++i) {
        std::snprintf(name, sizeof name, "%s%05d", i % 3 == 0 ? "object" : "Object", (i * 7919) % 10000);
        switch (i % 4) {
        case 0: scratch.AddEvent(name, true, false); break;
        case 1: scratch.AddSemaphore(name, 1, 2); break;
        case 2: scratch.AddMutant(name, false); break;
        default: scratch.AddSymbolicLink(name, "\\Target\\" + std::to_string((i * 31) % 977)); break;
        }
    }
    const std::string dir = scratch.AddDirectory("Dir1");
    scratch.AddDirectory("dir2");
    scratch.AddSymbolicLink("LinkDir", dir);
    const std::set<std::string> directories = {"Dir1", "dir2", "LinkDir"};
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    SelectInTree(scratch.Path());
    ASSERT_EQ(ListView_GetItemCount(AppContext.objectList), 10003);

    for (int column = 0; column < 3; ++column) {
        for (bool descending : {false, true}) {
            SCOPED_TRACE("column " + std::to_string(column) + (descending ? " descending" : " ascending"));
            const long opens = NamespaceCounters().opens;
            ClickHeader(column);
            EXPECT_EQ(NamespaceCounters().opens, opens);
            const std::vector<ShownRow> rows = ShownRows();
            ASSERT_EQ(rows.size(), 10003u);
            for (size_t row = 0; row < rows.size(); ++row)
                ASSERT_EQ(directories.count(rows[row].column[0]) == 1, row < directories.size()) << row;
            for (size_t row = 1; row < rows.size(); ++row) {
                if (row == directories.size()) continue;  // the first object after the directories
                int order = CompareBytes(rows[row - 1].column[column], rows[row].column[column]);
                if (order == 0) order = CompareBytes(rows[row - 1].column[0], rows[row].column[0]);
                ASSERT_EQ(order, descending ? 1 : -1) << rows[row - 1].column[0] << " then " << rows[row].column[0];
            }
        }
    }

    // Every listing starts in the list's own order again: by name, ascending.
    ClickHeader(1);
    Command(CMD_REFRESH);
    const std::vector<ShownRow> rows = ShownRows();
    for (size_t row = directories.size() + 1; row < rows.size(); ++row)
        ASSERT_LT(CompareBytes(rows[row - 1].column[0], rows[row].column[0]), 0) << row;
}

}  // namespace
