#include "ui/pages/header_rule_page.h"

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

#include "logging/status_log.h"
#include "runtime/runtime.h"
#include "settings/row_validation.h"
#include "texts.h"
#include "ui/pages/list_page_support.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

namespace {

constexpr int kRegisterColumn = 0;
constexpr int kDeleteColumn = 82;

}  // namespace

// What differs between the send page and the receive page.
struct HeaderRulePage::Texts {
    const char* name_example;
    const char* content_example;
    const char* action_example;
    const char* limit;
    const char* added;
    const char* enabled;
    const char* disabled;
    const char* deleted;
};

const HeaderRulePage::Texts& HeaderRulePage::texts() const {
    static const Texts send{text::kSendNameExample,   text::kSendContentExample,
                            text::kSendActionExample, text::kSendRuleLimit,
                            text::kSendRuleAdded,     text::kSendRuleEnabled,
                            text::kSendRuleDisabled,  text::kSendRuleDeleted};
    static const Texts receive{text::kReceiveNameExample,   text::kReceiveContentExample,
                               text::kReceiveActionExample, text::kReceiveRuleLimit,
                               text::kReceiveRuleAdded,     text::kReceiveRuleEnabled,
                               text::kReceiveRuleDisabled,  text::kReceiveRuleDeleted};
    return kind_ == HeaderList::kSend ? send : receive;
}

HeaderRuleList& HeaderRulePage::list() {
    return kind_ == HeaderList::kSend ? rt_.settings.send_headers : rt_.settings.recv_headers;
}

HeaderRulePage::HeaderRulePage(Runtime& rt, HeaderRuleKind kind, QWidget* parent)
    : QWidget(parent), rt_(rt), kind_(kind) {
    name_ = new QLineEdit(this);
    name_->setMaxLength(kRuleNameEditMaxCharacters);
    content_ = new QLineEdit(this);
    content_->setMaxLength(kRuleContentEditMaxCharacters);
    action_ = new QComboBox(this);
    action_->addItems({text::kActionChange, text::kActionRemove, text::kActionAdd});
    action_->setCurrentIndex(0);
    register_ = new SkinButton(SmallButtonSheet(), kRegisterColumn, kSmallButtonCell, this);
    delete_ = new SkinButton(SmallButtonSheet(), kDeleteColumn, kSmallButtonCell, this);
    model_ = NewHeaderRuleListModel(this);
    view_ = new ReportView({0, 250, ReportView::kRestWidth, 100, 100}, false, this);
    view_->setModel(model_);

    auto* top = new QHBoxLayout;
    auto column = [this](const char* example, QWidget* field, int stretch, QHBoxLayout* row) {
        auto* box = new QVBoxLayout;
        box->addWidget(new QLabel(example, this));
        box->addWidget(field);
        row->addLayout(box, stretch);
    };
    NameEntryField(name_, text::kColumnHeader, texts().name_example);
    NameEntryField(content_, text::kColumnContent, texts().content_example);
    NameEntryField(action_, text::kColumnAction, texts().action_example);
    column(texts().name_example, name_, 2, top);
    column(texts().content_example, content_, 3, top);
    column(texts().action_example, action_, 1, top);
    top->addWidget(register_, 0, Qt::AlignBottom);
    top->addWidget(delete_, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);

    connect(register_, &SkinButton::clicked, this, &HeaderRulePage::addFromEdits);
    connect(delete_, &SkinButton::clicked, this, &HeaderRulePage::deleteSelected);
    connect(view_, &ReportView::doubleClicked, this, &HeaderRulePage::toggleSelected);
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &HeaderRulePage::sortByColumn);
    ConnectListMenu(view_, {[this] { enableSelected(); }, [this] { disableSelected(); },
                            [this] { deleteSelected(); }});
}

void HeaderRulePage::rebuild() {
    std::vector<HeaderRule> rows;
    {
        Hold hold(rt_.locks.settings);
        rows.assign(list().rows.begin(), list().rows.end());
    }
    model_->reload(std::move(rows));
    view_->clearSelection();
}

void HeaderRulePage::addFromEdits() {
    std::string name = Utf8(name_->text().left(kRuleNameEditMaxCharacters));
    std::string value = Utf8(content_->text().left(kRuleContentEditMaxCharacters));
    if (name.empty() || value.empty()) return;
    QString chosen = action_->currentText();
    int action = chosen == text::kActionChange ? 2 : chosen == text::kActionRemove ? 1 : 0;
    std::string action_text = std::to_string(action);
    int count;
    int check;
    {
        Hold hold(rt_.locks.settings);
        count = list().size();
        std::string_view enabled = "0";
        check = CheckHeaderRuleRow(list(), enabled, action_text, name, value);
    }
    if (count >= kHeaderRuleCapacity) return ShowRefusal(rt_, texts().limit);
    if (check != kRowValid) return ShowRefusal(rt_, text::kRuleFormatRefusal);
    if (AddHeaderRuleCommand(rt_, kind_, "0", action_text, name, value) != 1) return;
    // The command stored the name in its normal form: show the row as stored.
    HeaderRule added;
    {
        Hold hold(rt_.locks.settings);
        added = list().rows.back();
    }
    model_->append(added);
    view_->selectOnly(model_->rowCount() - 1);
    name_->clear();
    content_->clear();
    PostStatus(rt_, texts().added, added.name.view());
}

void HeaderRulePage::enableSelected() {
    int enabled_count;
    {
        Hold hold(rt_.locks.settings);
        enabled_count = list().enabled_count;
    }
    // The count holds one more than the rules enabled.
    if (enabled_count > kEnabledHeaderRuleLimit) return ShowRefusal(rt_, text::kRuleEnableRefusal);
    int chosen = view_->firstSelectedRow();
    if (chosen < 0) return;
    if (EnableHeaderRuleCommand(rt_, kind_, chosen) != 1) return;
    model_->setMark(chosen, true);
    view_->selectOnly(chosen);
    PostStatus(rt_, texts().enabled, model_->rowAt(chosen)->name.view());
}

void HeaderRulePage::disableSelected() {
    int chosen = view_->firstSelectedRow();
    if (chosen < 0) return;
    if (DisableHeaderRuleCommand(rt_, kind_, chosen) != 1) return;
    model_->setMark(chosen, false);
    view_->selectOnly(chosen);
    PostStatus(rt_, texts().disabled, model_->rowAt(chosen)->name.view());
}

void HeaderRulePage::deleteSelected() {
    int chosen = view_->firstSelectedRow();
    if (chosen < 0) return;
    // Disabled first, so that the count of enabled rules stays right.
    if (DisableHeaderRuleCommand(rt_, kind_, chosen) != 1) return;
    if (DeleteHeaderRuleCommand(rt_, kind_, chosen) != 1) return;
    model_->remove(chosen);
    rebuild();
    view_->selectAfterDelete(chosen);
    PostStatus(rt_, texts().deleted, text::kDeletedDetail);
}

void HeaderRulePage::toggleSelected() {
    int position = view_->firstSelectedRow();
    if (position < 0) return;
    if (QueryHeaderRuleCommand(rt_, kind_, position) != 1) return;
    if (position == 1) {
        disableSelected();
    } else {
        enableSelected();
    }
}

void HeaderRulePage::sortByColumn(int column) {
    SortedList sorted =
        kind_ == HeaderList::kSend ? SortedList::kSendRules : SortedList::kReceiveRules;
    int result = SortListCommand(rt_, sorted, column, sort_flags_);
    if (result == kSortFailed) {
        PostStatus(rt_, text::kSortErrorName, text::kSortErrorDetail);
    } else if (result == kSortDone) {
        rebuild();
    }
}

}  // namespace korvanel::ui
