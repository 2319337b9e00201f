#include "ui/widgets/report_view.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QHeaderView>
#include <algorithm>

#include "ui/widgets/row_delegate.h"

namespace korvanel::ui {

namespace {
// Where a menu opened from the keyboard starts: this far into the current row.
constexpr int kMenuIndent = 8;
}  // namespace

ReportView::ReportView(std::vector<int> widths, bool multi_select, QWidget* parent)
    : QTableView(parent), widths_(std::move(widths)) {
    setItemDelegate(new RowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(multi_select ? QAbstractItemView::ExtendedSelection
                                  : QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ReportView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    applyWidths();
}

std::vector<int> ReportView::selectedRowList() const {
    std::vector<int> rows;
    if (selectionModel() == nullptr) return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ReportView::firstSelectedRow() const {
    std::vector<int> rows = selectedRowList();
    return rows.empty() ? -1 : rows.front();
}

void ReportView::selectOnly(int row) {
    clearSelection();
    if (model() == nullptr || row < 0 || row >= model()->rowCount()) return;
    QModelIndex index = model()->index(row, 1);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void ReportView::selectAfterDelete(int removed) {
    int rows = model() == nullptr ? 0 : model()->rowCount();
    if (removed <= 0) {
        selectOnly(0);
    } else {
        selectOnly(removed == rows ? removed - 1 : removed);
    }
}

void ReportView::keyPressEvent(QKeyEvent* event) {
    QModelIndex current = currentIndex();
    bool menu_key = event->key() == Qt::Key_Menu ||
                    (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && current.isValid()) {
        emit doubleClicked(current);
    } else if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        emit deleteRequested();
    } else if (menu_key) {
        QRect row = current.isValid() ? visualRect(current) : QRect();
        QPoint at = row.isValid() ? QPoint(row.left() + kMenuIndent, row.bottom())
                                  : QPoint(kMenuIndent, kMenuIndent);
        emit customContextMenuRequested(at);
    } else {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ReportView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    applyWidths();
}

void ReportView::applyWidths() {
    int fixed = 0;
    for (int width : widths_) fixed += std::max(width, 0);
    int rest = std::max(viewport()->width() - fixed, 0);
    for (std::size_t column = 0; column < widths_.size(); ++column) {
        int width = widths_[column] == kRestWidth ? rest : widths_[column];
        setColumnWidth(static_cast<int>(column), width);
    }
}

}  // namespace korvanel::ui
