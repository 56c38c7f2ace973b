// A report list of results held in a vector: an owner-data list view (the
// common controls of IE 3 and later have them), whose rows are the vector's
// elements in order and whose cells are asked for only as they are painted.
// Adding rows costs one LVM_SETITEMCOUNT however many there are, so a box can
// show results as fast as its search finds them. A list given an order for
// its columns sorts the vector by the column whose header is clicked (the
// other way on a second click) and repaints.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/list_view.h"

// What does not depend on the rows' type.
class ResultListView {
public:
    // Puts an owner-data list view, with the columns and full-row selection,
    // in the place of the dialog's control id: its position, styles and place
    // in the tab order. False, the control left as it was, when none is made.
    bool Create(HWND dialog, int id, std::span<const DialogListColumn> columns);
    HWND Window() const { return list_; }
    // The selected row, -1 for none.
    int SelectedRow() const;
    // Answers the list's WM_NOTIFY: the text of a cell as it is painted, and
    // a click on a column's header. Returns the row a double-click chose, the
    // one under the pointer (older common controls send a bare header with
    // no row in it); -1 for any other notification.
    int OnNotify(const NMHDR* header);

protected:
    ResultListView() = default;
    ~ResultListView() = default;
    ResultListView(const ResultListView&) = delete;
    ResultListView& operator=(const ResultListView&) = delete;
    // Tells the list it has count rows, keeping its selection and scroll position.
    void ShowRowCount(std::size_t count);
    // After the rows were reordered: no row is selected, and every row is painted anew.
    void Repaint();

private:
    virtual std::size_t RowCount() const = 0;
    virtual std::string CellText(std::size_t row, int column) const = 0;
    virtual void SortByColumn(int column) = 0;

    HWND list_ = nullptr;
    std::size_t shown_ = 0;  // the rows the list knows of
};

template <typename Row>
class ResultList : public ResultListView {
public:
    // The text of a row's column.
    using Cell = std::string (*)(const Row& row, int column);
    // Whether a comes before b by a column; none: the list keeps its order.
    using Less = bool (*)(const Row& a, const Row& b, int column);
    explicit ResultList(Cell cell, Less less = nullptr) : cell_(cell), less_(less) {}

    const std::vector<Row>& Rows() const { return rows_; }
    // Moves the rows of more to the end, leaving it empty; they show with the next ShowRows.
    void Append(std::vector<Row>& more) {
        if (rows_.empty()) {
            rows_.swap(more);
        } else {
            rows_.insert(rows_.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
        }
        more.clear();
    }
    // Shows every row: the list repaints what it must, once, however many were added.
    void ShowRows() { ShowRowCount(rows_.size()); }
    void Clear() {
        rows_.clear();
        ShowRowCount(0);
    }
    // The rows, for use once the list is gone.
    std::vector<Row> TakeRows() { return std::exchange(rows_, {}); }

private:
    std::size_t RowCount() const override { return rows_.size(); }
    std::string CellText(std::size_t row, int column) const override { return cell_(rows_[row], column); }
    void SortByColumn(int column) override {
        if (less_ == nullptr) return;
        descending_ = column == sortColumn_ && !descending_;
        sortColumn_ = column;
        const Less less = less_;
        if (descending_)
            std::stable_sort(rows_.begin(), rows_.end(),
                             [less, column](const Row& a, const Row& b) { return less(b, a, column); });
        else
            std::stable_sort(rows_.begin(), rows_.end(),
                             [less, column](const Row& a, const Row& b) { return less(a, b, column); });
        Repaint();
    }

    Cell cell_;
    Less less_;
    std::vector<Row> rows_;
    int sortColumn_ = -1;
    bool descending_ = false;
};
