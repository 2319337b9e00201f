#include "ui/pages/usable_list_page.h"

#include <QtWidgets/QLineEdit>

#include "logging/status_log.h"
#include "settings/worker_thread.h"
#include "texts.h"
#include "ui/pages/list_page_support.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

UsableListPage::UsableListPage(Runtime& rt, const UsableListTable& table,
                               std::unique_ptr<PageRows> rows, QWidget* parent)
    : ListPage(rt, table.page, parent), usable_(table) {
    edit_ = new QLineEdit(this);
    edit_->setMaxLength(table.edit_max_characters);
    assemble({{edit_, table.column_caption, table.example, 1}}, std::move(rows));
    connect(registerButton(), &SkinButton::clicked, this, &UsableListPage::addFromEdit);
    connect(bulkButton(), &SkinButton::clicked, this, &UsableListPage::openBulkRegistration);
}

void UsableListPage::addFromEdit() {
    QString typed = edit_->text().left(usable_.edit_max_characters);
    if (typed.isEmpty()) return;
    std::string row = Utf8(typed);
    if (const char* refusal = usable_.refusal(rt_, typed, row)) return ShowRefusal(rt_, refusal);
    if (usable_.add(rt_, row) != 1) return;
    showAdded();
    edit_->clear();
    PostStatus(rt_, usable_.logged != nullptr ? usable_.logged(row) : row, usable_.added);
}

bool UsableListPage::releaseAll() {
    for (;;) {
        int in_use = -1;
        if (usable_.find_in_use(rt_, in_use) != 1) return false;
        if (in_use < 0) return true;
        rows().setMark(in_use, false);
        if (usable_.release(rt_, in_use) != 1) return false;
    }
}

int UsableListPage::markedState(int position) {
    int in_use = -1;
    if (usable_.find_in_use(rt_, in_use) != 1) return -1;
    return position == in_use ? 1 : 0;
}

void UsableListPage::useSelected() {
    int chosen = view()->firstSelectedRow();
    if (chosen < 0 || !releaseAll()) return;
    std::string row = rows().key(chosen);
    int result = usable_.use(rt_, chosen);
    if (result == kWorkerTimedOut && usable_.use_timed_out != nullptr) {
        PostStatus(rt_, text::kTimeoutName, usable_.use_timed_out);
        return;
    }
    if (result != 1) return;
    rows().setMark(chosen, true);
    view()->selectOnly(chosen);
    rt_.front.SetStatusBar(usable_.status_part, std::string(usable_.status_in_use) + row);
    PostStatus(rt_, usable_.used, row);
}

void UsableListPage::stopUsing() {
    if (!releaseAll()) return;
    PostStatus(rt_, usable_.released, text::kSpaceDetail);
    rt_.front.SetStatusBar(usable_.status_part, usable_.status_none);
}

void UsableListPage::openBulkRegistration() {
    BulkRegisterDialog dialog(rt_, usable_.bulk, this);
    connect(&dialog, &BulkRegisterDialog::registered, this, [this] { rows().appendLast(rt_); });
    dialog.exec();
}

}  // namespace korvanel::ui
