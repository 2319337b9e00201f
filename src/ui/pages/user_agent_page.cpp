#include "ui/pages/user_agent_page.h"

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

#include "logging/status_log.h"
#include "runtime/runtime.h"
#include "settings/list_commands.h"
#include "settings/row_validation.h"
#include "texts.h"
#include "ui/dialogs/bulk_register_dialog.h"
#include "ui/pages/list_page_support.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

namespace {

constexpr int kRegisterColumn = 0;
constexpr int kDeleteColumn = 82;
constexpr int kBulkColumn = 164;

}  // namespace

UserAgentPage::UserAgentPage(Runtime& rt, QWidget* parent) : QWidget(parent), rt_(rt) {
    edit_ = new QLineEdit(this);
    edit_->setMaxLength(kUserAgentEditMaxCharacters);
    NameEntryField(edit_, text::kColumnUserAgent, text::kUserAgentExample);
    register_ = new SkinButton(SmallButtonSheet(), kRegisterColumn, kSmallButtonCell, this);
    delete_ = new SkinButton(SmallButtonSheet(), kDeleteColumn, kSmallButtonCell, this);
    bulk_ = new SkinButton(SmallButtonSheet(), kBulkColumn, kSmallButtonCell, this);
    model_ = NewUserAgentListModel(this);
    view_ = new ReportView({0, ReportView::kRestWidth, 70}, true, this);
    view_->setModel(model_);

    auto* top = new QHBoxLayout;
    auto* entry = new QVBoxLayout;
    entry->addWidget(new QLabel(text::kUserAgentExample, this));
    entry->addWidget(edit_);
    top->addLayout(entry, 1);
    for (SkinButton* button : {register_, delete_, bulk_})
        top->addWidget(button, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);

    connect(register_, &SkinButton::clicked, this, &UserAgentPage::addFromEdit);
    connect(delete_, &SkinButton::clicked, this, &UserAgentPage::deleteSelected);
    connect(bulk_, &SkinButton::clicked, this, &UserAgentPage::openBulkRegistration);
    connect(view_, &ReportView::doubleClicked, this, &UserAgentPage::toggleSelected);
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &UserAgentPage::sortByColumn);
    ConnectListMenu(
        view_, {[this] { useSelected(); }, [this] { stopUsing(); }, [this] { deleteSelected(); }});
}

void UserAgentPage::rebuild() {
    std::vector<UserAgentEntry> rows;
    {
        Hold hold(rt_.locks.settings);
        rows.assign(rt_.settings.user_agents.rows.begin(), rt_.settings.user_agents.rows.end());
    }
    model_->reload(std::move(rows));
    view_->clearSelection();
}

void UserAgentPage::addFromEdit() {
    QString typed = edit_->text().left(kUserAgentEditMaxCharacters);
    if (typed.isEmpty()) return;
    std::string agent = Utf8(typed);
    int check;
    {
        Hold hold(rt_.locks.settings);
        check = CheckUserAgentRow(rt_.settings, agent, "0");
    }
    if (check == kRowListFull) return ShowRefusal(rt_, text::kUserAgentLimitRefusal);
    if (check != kRowValid) return ShowRefusal(rt_, text::kUserAgentFormatRefusal);
    if (AddUserAgentCommand(rt_, agent) != 1) return;
    UserAgentEntry row;
    row.text = agent;
    model_->append(row);
    edit_->clear();
    view_->selectOnly(model_->rowCount() - 1);
    PostStatus(rt_, agent, text::kUserAgentAdded);
}

void UserAgentPage::deleteSelected() {
    std::vector<int> selected = view_->selectedRowList();
    int removed = -1;
    for (std::size_t k = 0; k < selected.size(); ++k) {
        int position = selected[k] - static_cast<int>(k);
        if (DeleteUserAgentCommand(rt_, position) != 1) break;
        model_->remove(position);
        removed = position;
    }
    if (removed < 0) return;
    rebuild();
    view_->selectAfterDelete(removed);
    PostStatus(rt_, text::kUserAgentDeleted, text::kDeletedDetail);
}

bool UserAgentPage::releaseAll() {
    for (;;) {
        int in_use = -1;
        if (FindUserAgentInUseCommand(rt_, in_use) != 1) return false;
        if (in_use < 0) return true;
        model_->setMark(in_use, false);
        if (ReleaseUserAgentCommand(rt_, in_use) != 1) return false;
    }
}

void UserAgentPage::useSelected() {
    int chosen = view_->firstSelectedRow();
    if (chosen < 0 || !releaseAll()) return;
    std::string agent = model_->rowAt(chosen)->text.str();
    if (UseUserAgentCommand(rt_, chosen) != 1) return;
    model_->setMark(chosen, true);
    view_->selectOnly(chosen);
    rt_.front.SetStatusBar(kUserAgentStatusPart, std::string(text::kStatusBarUserAgent) + agent);
    PostStatus(rt_, text::kUserAgentSet, agent);
}

void UserAgentPage::stopUsing() {
    if (!releaseAll()) return;
    PostStatus(rt_, text::kUserAgentReleased, text::kSpaceDetail);
    rt_.front.SetStatusBar(kUserAgentStatusPart, text::kStatusBarNoUserAgent);
}

void UserAgentPage::toggleSelected() {
    int chosen = view_->firstSelectedRow();
    if (chosen < 0) return;
    const UserAgentEntry* row = model_->rowAt(chosen);
    if (row != nullptr && row->in_use == 1) {
        stopUsing();
    } else {
        useSelected();
    }
}

void UserAgentPage::sortByColumn(int column) {
    int result = SortListCommand(rt_, SortedList::kUserAgents, column, sort_flags_);
    if (result == kSortFailed) {
        PostStatus(rt_, text::kSortErrorName, text::kSortErrorDetail);
    } else if (result == kSortDone) {
        rebuild();
    }
}

void UserAgentPage::openBulkRegistration() {
    BulkRegisterDialog dialog(rt_, BulkList::kUserAgents, this);
    connect(&dialog, &BulkRegisterDialog::registered, this, [this](const QString& line) {
        UserAgentEntry row;
        row.text = Utf8(line);
        model_->append(row);
    });
    dialog.exec();
}

}  // namespace korvanel::ui
