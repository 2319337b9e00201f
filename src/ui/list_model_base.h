// What the three list models share: a copy of one list's rows, taken from Settings by the
// page, and the captions of the columns. Row i always shows row i of the list.
#pragma once

#include <QtCore/QAbstractTableModel>
#include <QtCore/QStringList>
#include <vector>

namespace korvanel::ui {

template <typename Row>
class ListModelBase : public QAbstractTableModel {
  public:
    ListModelBase(QStringList captions, QObject* parent)
        : QAbstractTableModel(parent), captions_(std::move(captions)) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(captions_.size());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return section < captions_.size() ? captions_[section] : QVariant();
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

  protected:
    // Lets a subclass change row `row` and tells the view.
    template <typename Change>
    void change(int row, Change edit) {
        if (row < 0 || row >= rowCount()) return;
        edit(rows_[static_cast<std::size_t>(row)]);
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }

  private:
    QStringList captions_;
    std::vector<Row> rows_;
};

}  // namespace korvanel::ui
