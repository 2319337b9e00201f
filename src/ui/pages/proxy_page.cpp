#include "ui/pages/proxy_page.h"

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
#include "ui/dialogs/proxy_check_dialog.h"
#include "ui/pages/list_page_support.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

namespace {

constexpr int kRegisterColumn = 0;
constexpr int kDeleteColumn = 82;
constexpr int kBulkColumn = 164;
constexpr int kCheckColumn = 246;
// A proxy needs more than this many characters (host, ":" and port).
constexpr int kShortestRefused = 3;

}  // namespace

ProxyPage::ProxyPage(Runtime& rt, QWidget* parent) : QWidget(parent), rt_(rt) {
    edit_ = new QLineEdit(this);
    edit_->setMaxLength(kProxyEditMaxCharacters);
    NameEntryField(edit_, text::kColumnAddress, text::kProxyExample);
    register_ = new SkinButton(SmallButtonSheet(), kRegisterColumn, kSmallButtonCell, this);
    delete_ = new SkinButton(SmallButtonSheet(), kDeleteColumn, kSmallButtonCell, this);
    bulk_ = new SkinButton(SmallButtonSheet(), kBulkColumn, kSmallButtonCell, this);
    check_ = new SkinButton(SmallButtonSheet(), kCheckColumn, kSmallButtonCell, this);
    model_ = NewProxyListModel(this);
    view_ = new ReportView({0, ReportView::kRestWidth, 100, 100, 70}, true, this);
    view_->setModel(model_);

    auto* top = new QHBoxLayout;
    auto* entry = new QVBoxLayout;
    entry->addWidget(new QLabel(text::kProxyExample, this));
    entry->addWidget(edit_);
    top->addLayout(entry, 1);
    for (SkinButton* button : {register_, delete_, bulk_, check_}) {
        top->addWidget(button, 0, Qt::AlignBottom);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);

    connect(register_, &SkinButton::clicked, this, &ProxyPage::addFromEdit);
    connect(delete_, &SkinButton::clicked, this, &ProxyPage::deleteSelected);
    connect(bulk_, &SkinButton::clicked, this, &ProxyPage::openBulkRegistration);
    connect(check_, &SkinButton::clicked, this, &ProxyPage::openProxyCheck);
    connect(view_, &ReportView::doubleClicked, this, &ProxyPage::toggleSelected);
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &ProxyPage::sortByColumn);
    ConnectListMenu(
        view_, {[this] { useSelected(); }, [this] { stopUsing(); }, [this] { deleteSelected(); }});
}

void ProxyPage::rebuild() {
    std::vector<ProxyEntry> rows;
    {
        Hold hold(rt_.locks.settings);
        rows.assign(rt_.settings.proxies.rows.begin(), rt_.settings.proxies.rows.end());
    }
    model_->reload(std::move(rows));
    view_->clearSelection();
}

void ProxyPage::addFromEdit() {
    QString typed = edit_->text().left(kProxyEditMaxCharacters);
    if (typed.isEmpty()) return;
    std::string address = Utf8(typed);
    if (typed.size() <= kShortestRefused || !typed.contains(':')) {
        return ShowRefusal(rt_, text::kProxyFormatRefusal);
    }
    int count;
    {
        Hold hold(rt_.locks.settings);
        count = rt_.settings.proxies.size();
    }
    if (count >= kProxyCapacity) return ShowRefusal(rt_, text::kProxyLimitRefusal);
    if (CheckProxyRow("0", "0", "0", address) != kRowValid) {
        return ShowRefusal(rt_, text::kProxyFormatRefusal);
    }
    if (AddProxyCommand(rt_, "0", "0", "0", address) != 1) return;
    ProxyEntry row;
    row.address = address;
    model_->append(row);
    edit_->clear();
    view_->selectOnly(model_->rowCount() - 1);
    PostStatus(rt_, address, text::kProxyAdded);
}

void ProxyPage::deleteSelected() {
    std::vector<int> selected = view_->selectedRowList();
    int removed = -1;
    // Each deletion moves the rows below it up by one.
    for (std::size_t k = 0; k < selected.size(); ++k) {
        int position = selected[k] - static_cast<int>(k);
        if (DeleteProxyCommand(rt_, position) != 1) break;
        model_->remove(position);
        removed = position;
    }
    if (removed < 0) return;
    rebuild();
    view_->selectAfterDelete(removed);
    PostStatus(rt_, text::kProxyDeleted, text::kDeletedDetail);
}

bool ProxyPage::releaseAll() {
    for (;;) {
        int in_use = -1;
        if (FindProxyInUseCommand(rt_, in_use) != 1) return false;
        if (in_use < 0) return true;
        model_->setMark(in_use, false);
        if (ReleaseProxyCommand(rt_, in_use) != 1) return false;
    }
}

void ProxyPage::useSelected() {
    int chosen = view_->firstSelectedRow();
    if (chosen < 0 || !releaseAll()) return;
    std::string address = model_->rowAt(chosen)->address.str();
    int result = UseProxyCommandWithin(rt_, chosen, kUseProxyTimeoutMs);
    if (result == kWorkerTimedOut) {
        PostStatus(rt_, text::kTimeoutName, text::kProxySetFailed);
        return;
    }
    if (result != 1) return;
    model_->setMark(chosen, true);
    view_->selectOnly(chosen);
    rt_.front.SetStatusBar(kProxyStatusPart, std::string(text::kStatusBarProxy) + address);
    PostStatus(rt_, text::kProxySet, address);
}

void ProxyPage::stopUsing() {
    if (!releaseAll()) return;
    PostStatus(rt_, text::kProxyReleased, text::kSpaceDetail);
    rt_.front.SetStatusBar(kProxyStatusPart, text::kStatusBarNoProxy);
}

void ProxyPage::toggleSelected() {
    int chosen = view_->firstSelectedRow();
    if (chosen < 0) return;
    int in_use = -1;
    if (FindProxyInUseCommand(rt_, in_use) != 1) return;
    if (chosen == in_use) {
        stopUsing();
    } else {
        useSelected();
    }
}

void ProxyPage::sortByColumn(int column) {
    int result = SortListCommand(rt_, SortedList::kProxies, column, sort_flags_);
    if (result == kSortFailed) {
        PostStatus(rt_, text::kSortErrorName, text::kSortErrorDetail);
    } else if (result == kSortDone) {
        rebuild();
    }
}

void ProxyPage::openBulkRegistration() {
    BulkRegisterDialog dialog(rt_, BulkList::kProxies, this);
    connect(&dialog, &BulkRegisterDialog::registered, this, [this](const QString& line) {
        ProxyEntry row;
        row.address = Utf8(line);
        model_->append(row);
    });
    dialog.exec();
}

void ProxyPage::openProxyCheck() {
    ProxyCheckDialog dialog(rt_, model_->rowCount(), this);
    dialog.exec();
    rebuild();
    PostStatus(rt_, text::kCheckCompleteName, text::kCheckCompleteDetail);
}

}  // namespace korvanel::ui
