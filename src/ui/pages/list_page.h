// One page of a settings list: entry fields and small picture buttons above a ReportView of
// the list, its context menu ("有効化", "無効化", "削除"), double click, delete, header sort and
// rebuild. A list's page gives its fields, a table of what differs (ListPageTable) and the
// row commands: mark ("有効化": use, or enable), unmark, ask whether a row is marked, remove.
// The page keeps nothing but its view: every change goes through the list commands, and the
// view follows.
#pragma once

#include <QtWidgets/QWidget>
#include <memory>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "settings/list_sort.h"
#include "ui/widgets/list_model.h"

namespace korvanel::ui {

class ReportView;
class SkinButton;

// The rows of one list between Settings and the page's model: the page reaches its model
// only through this, so that the page itself does not depend on the row type.
class PageRows {
  public:
    virtual ~PageRows() = default;
    virtual QAbstractItemModel* model() = 0;
    // The model anew from the list, copied under the settings lock.
    virtual void reload(Runtime& rt) = 0;
    // The list's last row appended to the model as the command stored it.
    virtual void appendLast(Runtime& rt) = 0;
    virtual void remove(int row) = 0;
    virtual void setMark(int row, bool marked) = 0;
    virtual int count() const = 0;
    // The text a status line names the row by; empty for no such row.
    virtual std::string key(int row) const = 0;
};

template <typename Row>
class PageRowsOf final : public PageRows {
  public:
    using ListOfSettings = RowList<Row>& (*)(Settings&);
    using KeyOfRow = std::string (*)(const Row&);

    PageRowsOf(ListModel<Row>* shown, ListOfSettings list_of, KeyOfRow key_of)
        : model_(shown), list_(list_of), key_(key_of) {}

    QAbstractItemModel* model() override { return model_; }
    void reload(Runtime& rt) override {
        std::vector<Row> rows;
        {
            Hold hold(rt.locks.settings);
            const RowList<Row>& list = list_(rt.settings);
            rows.assign(list.rows.begin(), list.rows.end());
        }
        model_->reload(std::move(rows));
    }
    void appendLast(Runtime& rt) override {
        Row row;
        {
            Hold hold(rt.locks.settings);
            const RowList<Row>& list = list_(rt.settings);
            if (list.empty()) return;
            row = list.rows.back();
        }
        model_->append(row);
    }
    void remove(int row) override { model_->remove(row); }
    void setMark(int row, bool marked) override { model_->setMark(row, marked); }
    int count() const override { return model_->rowCount(); }
    std::string key(int row) const override {
        const Row* found = model_->rowAt(row);
        return found != nullptr ? key_(*found) : std::string();
    }

  private:
    ListModel<Row>* model_;
    ListOfSettings list_;
    KeyOfRow key_;
};

// What differs between the list pages beyond their fields and commands.
struct ListPageTable {
    SortedList sorted;
    // The view's column widths (ReportView::kRestWidth for the one that takes the rest).
    std::vector<int> widths;
    bool multi_select;
    // The x of each button's column in the small button sheet, in their order on the page;
    // the first is "登録" (register), the second "削除" (delete).
    std::vector<int> buttons;
    // The status line's name after a delete.
    const char* deleted;
};

// One entry field above the list: its example is the label above it, and the field speaks
// the caption of the list column it fills.
struct EntryField {
    QWidget* field;
    const char* column_caption;
    const char* example;
    int stretch;
};

class ListPage : public QWidget {
    Q_OBJECT
  public:
    // The view anew from the list, no row selected.
    void rebuild();

    ReportView* view() const { return view_; }
    SkinButton* registerButton() const { return buttons_[0]; }
    SkinButton* deleteButton() const { return buttons_[1]; }

  public slots:
    // Removes every selected row; a failed command stops at that row.
    void deleteSelected();
    // Unmarks the selected row when it is marked, marks it otherwise.
    void toggleSelected();
    void sortByColumn(int column);

  protected:
    ListPage(Runtime& rt, const ListPageTable& table, QWidget* parent);

    // Builds the page: the page's fields (made before this, so that focus passes through
    // them first), then the buttons, the view over `rows` and the layout.
    void assemble(std::vector<EntryField> fields, std::unique_ptr<PageRows> rows);
    SkinButton* button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }
    PageRows& rows() { return *rows_; }
    // The list's last row shown and selected, after an add.
    void showAdded();

    // The row commands, each by position in the list; a command that could not run returns
    // something other than 1 (or, for markedState, less than 0).
    virtual void markSelected() = 0;
    virtual void unmarkSelected() = 0;
    virtual int markedState(int position) = 0;
    virtual int removeRow(int position) = 0;

    Runtime& rt_;

  private:
    ListPageTable table_;
    std::vector<SkinButton*> buttons_;
    ReportView* view_ = nullptr;
    std::unique_ptr<PageRows> rows_;
    SortFlags sort_flags_;
};

}  // namespace korvanel::ui
