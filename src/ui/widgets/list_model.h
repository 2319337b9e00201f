// One list as its view shows it: a copy of the list's rows, taken from Settings by the page,
// drawn by a table of columns. Row i always shows row i of the list. A list's look is its
// column table (list_columns.h), not a model of its own.
#pragma once

#include <QtCore/QAbstractTableModel>
#include <QtGui/QColor>
#include <span>
#include <vector>

#include "ui/widgets/row_delegate.h"

namespace korvanel::ui {

// One column of a list view. The first column of every list is an empty one (the view's
// own margin); a column without `text` shows the mark (in use, or enabled) of the row.
template <typename Row>
struct ListColumn {
    const char* caption;
    QString (*text)(const Row&) = nullptr;
    QColor (*colour)(const Row&) = nullptr;
};

// What the mark column shows of a row, and how a page changes it.
template <typename Row>
struct RowMark {
    bool (*marked)(const Row&);
    void (*set)(Row&, bool);
};

template <typename Row>
class ListModel : public QAbstractTableModel {
  public:
    ListModel(std::span<const ListColumn<Row>> columns, RowMark<Row> mark, QObject* parent)
        : QAbstractTableModel(parent), columns_(columns), mark_(mark) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        if (section < 0 || section >= columnCount()) return {};
        return QString::fromUtf8(columns_[static_cast<std::size_t>(section)].caption);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const Row* row = rowAt(index.row());
        if (row == nullptr || index.column() < 1 || index.column() >= columnCount()) return {};
        const ListColumn<Row>& column = columns_[static_cast<std::size_t>(index.column())];
        if (column.text == nullptr) {
            return role == kInUseMarkRole ? QVariant(mark_.marked(*row)) : QVariant();
        }
        if (role == Qt::DisplayRole) return column.text(*row);
        if (role == Qt::ForegroundRole) return column.colour(*row);
        return {};
    }

    // The whole view anew from `rows`.
    void reload(std::vector<Row> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    void append(const Row& row) {
        int at = rowCount();
        beginInsertRows({}, at, at);
        rows_.push_back(row);
        endInsertRows();
    }
    void remove(int row) {
        if (row < 0 || row >= rowCount()) return;
        beginRemoveRows({}, row, row);
        rows_.erase(rows_.begin() + row);
        endRemoveRows();
    }
    const Row* rowAt(int row) const {
        return row >= 0 && row < rowCount() ? &rows_[static_cast<std::size_t>(row)] : nullptr;
    }
    void setMark(int row, bool marked) {
        if (row < 0 || row >= rowCount()) return;
        mark_.set(rows_[static_cast<std::size_t>(row)], marked);
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }

  private:
    std::span<const ListColumn<Row>> columns_;
    RowMark<Row> mark_;
    std::vector<Row> rows_;
};

}  // namespace korvanel::ui
