#include "ui/pages/header_rule_page.h"

#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>

#include "logging/status_log.h"
#include "settings/row_validation.h"
#include "texts.h"
#include "ui/pages/list_page_support.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

// What differs between the send page and the receive page.
struct HeaderRulePage::Texts {
    ListPageTable page;
    RowList<HeaderRule>& (*list)(Settings&);
    const char* name_example;
    const char* content_example;
    const char* action_example;
    const char* limit;
    const char* added;
    const char* enabled;
    const char* disabled;
};

namespace {

// Register and delete; a rule is deleted alone.
ListPageTable RulePageTable(SortedList sorted, const char* deleted) {
    return {sorted, {0, 250, ReportView::kRestWidth, 100, 100}, false, {0, 82}, deleted};
}

RowList<HeaderRule>& SendRules(Settings& settings) {
    return settings.send_headers;
}
RowList<HeaderRule>& ReceiveRules(Settings& settings) {
    return settings.recv_headers;
}
std::string NameOf(const HeaderRule& rule) {
    return rule.name.str();
}

}  // namespace

const HeaderRulePage::Texts& HeaderRulePage::textsOf(HeaderRuleKind kind) {
    static const Texts send{RulePageTable(SortedList::kSendRules, text::kSendRuleDeleted),
                            &SendRules,
                            text::kSendNameExample,
                            text::kSendContentExample,
                            text::kSendActionExample,
                            text::kSendRuleLimit,
                            text::kSendRuleAdded,
                            text::kSendRuleEnabled,
                            text::kSendRuleDisabled};
    static const Texts receive{RulePageTable(SortedList::kReceiveRules, text::kReceiveRuleDeleted),
                               &ReceiveRules,
                               text::kReceiveNameExample,
                               text::kReceiveContentExample,
                               text::kReceiveActionExample,
                               text::kReceiveRuleLimit,
                               text::kReceiveRuleAdded,
                               text::kReceiveRuleEnabled,
                               text::kReceiveRuleDisabled};
    return kind == HeaderList::kSend ? send : receive;
}

const HeaderRulePage::Texts& HeaderRulePage::texts() const {
    return textsOf(kind_);
}

HeaderRuleList& HeaderRulePage::list() {
    return kind_ == HeaderList::kSend ? rt_.settings.send_headers : rt_.settings.recv_headers;
}

HeaderRulePage::HeaderRulePage(Runtime& rt, HeaderRuleKind kind, QWidget* parent)
    : ListPage(rt, textsOf(kind).page, parent), kind_(kind) {
    name_ = new QLineEdit(this);
    name_->setMaxLength(kRuleNameEditMaxCharacters);
    content_ = new QLineEdit(this);
    content_->setMaxLength(kRuleContentEditMaxCharacters);
    action_ = new QComboBox(this);
    action_->addItems({text::kActionChange, text::kActionRemove, text::kActionAdd});
    action_->setCurrentIndex(0);
    assemble({{name_, text::kColumnHeader, texts().name_example, 2},
              {content_, text::kColumnContent, texts().content_example, 3},
              {action_, text::kColumnAction, texts().action_example, 1}},
             std::make_unique<PageRowsOf<HeaderRule>>(NewHeaderRuleListModel(nullptr), texts().list,
                                                      &NameOf));
    connect(registerButton(), &SkinButton::clicked, this, &HeaderRulePage::addFromEdits);
}

HeaderRuleListModel* HeaderRulePage::model() const {
    return static_cast<HeaderRuleListModel*>(view()->model());
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
    // The command stored the name in its normal form: the row is shown as stored.
    showAdded();
    name_->clear();
    content_->clear();
    PostStatus(rt_, texts().added, rows().key(rows().count() - 1));
}

void HeaderRulePage::enableSelected() {
    int enabled_count;
    {
        Hold hold(rt_.locks.settings);
        enabled_count = list().enabled_count;
    }
    // The count holds one more than the rules enabled.
    if (enabled_count > kEnabledHeaderRuleLimit) return ShowRefusal(rt_, text::kRuleEnableRefusal);
    int chosen = view()->firstSelectedRow();
    if (chosen < 0) return;
    if (EnableHeaderRuleCommand(rt_, kind_, chosen) != 1) return;
    rows().setMark(chosen, true);
    view()->selectOnly(chosen);
    PostStatus(rt_, texts().enabled, rows().key(chosen));
}

void HeaderRulePage::disableSelected() {
    int chosen = view()->firstSelectedRow();
    if (chosen < 0) return;
    if (DisableHeaderRuleCommand(rt_, kind_, chosen) != 1) return;
    rows().setMark(chosen, false);
    view()->selectOnly(chosen);
    PostStatus(rt_, texts().disabled, rows().key(chosen));
}

int HeaderRulePage::markedState(int position) {
    if (QueryHeaderRuleCommand(rt_, kind_, position) != 1) return -1;
    return position;
}

// Disabled first, so that the count of enabled rules stays right.
int HeaderRulePage::removeRow(int position) {
    if (DisableHeaderRuleCommand(rt_, kind_, position) != 1) return 0;
    return DeleteHeaderRuleCommand(rt_, kind_, position);
}

}  // namespace korvanel::ui
