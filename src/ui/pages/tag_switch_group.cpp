#include "ui/pages/tag_switch_group.h"

#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>

#include "logging/status_log.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/apply_setting.h"
#include "settings/worker_thread.h"
#include "texts.h"
#include "ui/pages/setting_change.h"
#include "ui/widgets/action_buttons.h"

namespace korvanel::ui {

static_assert(std::size(text::kTagSwitchTexts) == kTagSwitchGroups);
static_assert(kTagSwitchGroups * kTagRowsPerGroup == kTagSwitchCount);

std::string TagSwitchCode(int group, bool remove) {
    int first_row = group == 0 ? 1 : group * kTagRowsPerGroup;
    return std::to_string(remove ? first_row : -first_row);
}

TagSwitchGroup::TagSwitchGroup(Runtime& rt, QWidget* parent)
    : QGroupBox(Qs(text::kTagCaption), parent), rt_(rt) {
    build();
    fill();
}

void TagSwitchGroup::build() {
    auto* grid = new QGridLayout(this);
    constexpr int kColumnsPerSwitch = 3;  // label, remove, keep
    for (int group = 0; group < kTagSwitchGroups; ++group) {
        int row = group % kTagSwitchesPerColumn;
        int column = (group / kTagSwitchesPerColumn) * kColumnsPerSwitch;
        remove_[group] = new ActionRadio(Qs(text::kTagRemove), this);
        keep_[group] = new ActionRadio(Qs(text::kTagKeep), this);
        labels_[group] = PlainLabel(text::kTagSwitchTexts[group].label, this);
        grid->addWidget(labels_[group], row, column);
        grid->addWidget(remove_[group], row, column + 1);
        grid->addWidget(keep_[group], row, column + 2);
        connect(remove_[group], &QAbstractButton::clicked, this,
                [this, group] { switchClicked(group, true); });
        connect(keep_[group], &QAbstractButton::clicked, this,
                [this, group] { switchClicked(group, false); });
    }
    grid->setColumnMinimumWidth(kColumnsPerSwitch, 24);
}

void TagSwitchGroup::fill() {
    std::array<std::string, kTagSwitchGroups> values;
    {
        Hold hold(rt_.locks.settings);
        for (int group = 0; group < kTagSwitchGroups; ++group) {
            values[group] = rt_.settings.tag_switches[group * kTagRowsPerGroup].value.str();
        }
    }
    for (int group = 0; group < kTagSwitchGroups; ++group) {
        const QAbstractButton* shown = values[group] == "1"   ? remove_[group]
                                       : values[group] == "0" ? keep_[group]
                                                              : nullptr;
        SelectOnly({remove_[group], keep_[group]}, shown);
        if (!shown) ShowMessageDialog(rt_, text::kTagValueErrorTitle, text::kTagValueErrorText);
    }
}

QAbstractButton* TagSwitchGroup::removeRadio(int group) const {
    return remove_.at(group);
}
QAbstractButton* TagSwitchGroup::keepRadio(int group) const {
    return keep_.at(group);
}

void TagSwitchGroup::switchClicked(int group, bool remove) {
    if (TagSwitchCommand(rt_, TagSwitchCode(group, remove)) == kThreadNotStarted) return;
    SelectOnly({remove_[group], keep_[group]}, remove ? remove_[group] : keep_[group]);
    const text::TagSwitchTexts& texts = text::kTagSwitchTexts[group];
    PostStatus(rt_, remove ? texts.removed : texts.kept, " ");
}

}  // namespace korvanel::ui
