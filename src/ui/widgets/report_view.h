// The report-style list view of the list pages: whole-row selection, grid lines, a first
// column of width 0, fixed widths for the other columns but one, which takes what is left
// of the view's width whenever it is resized. Rows are drawn by RowDelegate.
//
// The keyboard reaches the list's commands: Enter does what a double click on the current row
// does, Delete asks for the selected rows' deletion, and the context-menu key (or Shift+F10)
// asks for the context menu at the current row.
#pragma once

#include <QtWidgets/QTableView>
#include <vector>

namespace korvanel::ui {

class ReportView : public QTableView {
    Q_OBJECT
  public:
    // `widths` per column; the entry kRestWidth takes the rest of the width.
    static constexpr int kRestWidth = -1;
    ReportView(std::vector<int> widths, bool multi_select, QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // The selected rows, in ascending order.
    std::vector<int> selectedRowList() const;
    // -1 when none is selected.
    int firstSelectedRow() const;
    // Clears the selection, then selects, focuses and shows `row` (when it exists).
    void selectOnly(int row);
    // The selection after rows were deleted, `removed` the index of the (last) removed row:
    // row 0 after the first row, else the row now at `removed`, or the new last row.
    void selectAfterDelete(int removed);

  signals:
    void deleteRequested();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void applyWidths();

    std::vector<int> widths_;
};

}  // namespace korvanel::ui
