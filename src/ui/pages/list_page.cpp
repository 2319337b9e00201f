#include "ui/pages/list_page.h"

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>

#include "logging/status_log.h"
#include "texts.h"
#include "ui/pages/list_page_support.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

ListPage::ListPage(Runtime& rt, const ListPageTable& table, QWidget* parent)
    : QWidget(parent), rt_(rt), table_(table) {}

void ListPage::assemble(std::vector<EntryField> fields, std::unique_ptr<PageRows> rows) {
    for (int column_x : table_.buttons) {
        buttons_.push_back(new SkinButton(SmallButtonSheet(), column_x, kSmallButtonCell, this));
    }
    rows_ = std::move(rows);
    rows_->model()->setParent(this);
    view_ = new ReportView(table_.widths, table_.multi_select, this);
    view_->setModel(rows_->model());

    auto* top = new QHBoxLayout;
    for (const EntryField& entry : fields) {
        NameEntryField(entry.field, entry.column_caption, entry.example);
        auto* box = new QVBoxLayout;
        box->addWidget(new QLabel(entry.example, this));
        box->addWidget(entry.field);
        top->addLayout(box, entry.stretch);
    }
    for (SkinButton* each : buttons_) top->addWidget(each, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);

    connect(deleteButton(), &SkinButton::clicked, this, &ListPage::deleteSelected);
    connect(view_, &ReportView::doubleClicked, this, &ListPage::toggleSelected);
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, &ListPage::sortByColumn);
    ConnectListMenu(view_, {[this] { markSelected(); }, [this] { unmarkSelected(); },
                            [this] { deleteSelected(); }});
}

void ListPage::rebuild() {
    rows_->reload(rt_);
    view_->clearSelection();
}

void ListPage::showAdded() {
    rows_->appendLast(rt_);
    view_->selectOnly(rows_->count() - 1);
}

void ListPage::deleteSelected() {
    std::vector<int> selected = view_->selectedRowList();
    int removed = -1;
    // Each deletion moves the rows below it up by one.
    for (std::size_t k = 0; k < selected.size(); ++k) {
        int position = selected[k] - static_cast<int>(k);
        if (removeRow(position) != 1) break;
        rows_->remove(position);
        removed = position;
    }
    if (removed < 0) return;
    rebuild();
    view_->selectAfterDelete(removed);
    PostStatus(rt_, table_.deleted, text::kDeletedDetail);
}

void ListPage::toggleSelected() {
    int chosen = view_->firstSelectedRow();
    if (chosen < 0) return;
    int marked = markedState(chosen);
    if (marked < 0) return;
    if (marked == 1) {
        unmarkSelected();
    } else {
        markSelected();
    }
}

void ListPage::sortByColumn(int column) {
    int result = SortListCommand(rt_, table_.sorted, column, sort_flags_);
    if (result == kSortFailed) {
        PostStatus(rt_, text::kSortErrorName, text::kSortErrorDetail);
    } else if (result == kSortDone) {
        rebuild();
    }
}

}  // namespace korvanel::ui
