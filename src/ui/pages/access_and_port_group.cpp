#include "ui/pages/access_and_port_group.h"

#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <cstdio>
#include <string>

#include "logging/status_log.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/setting_rules.h"
#include "texts.h"
#include "ui/pages/setting_change.h"
#include "ui/widgets/action_buttons.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

namespace {

std::string PortOutOfRangeText() {
    char message[128];
    std::snprintf(message, sizeof message, text::kPortOutOfRange, kLowestPort, kHighestPort);
    return message;
}

}  // namespace

AccessAndPortGroup::AccessAndPortGroup(Runtime& rt, QWidget* parent)
    : QGroupBox(Qs(text::kGroupTwoCaption), parent), rt_(rt) {
    build();
    fill();
}

void AccessAndPortGroup::build() {
    auto* grid = new QGridLayout(this);
    local_ = new ActionRadio(Qs(text::kLocalOnly), this);
    range_ = new ActionRadio(Qs(text::kAllowRange), this);
    grid->addWidget(local_, 0, 0);
    grid->addWidget(range_, 1, 0);

    auto* range_row = new QHBoxLayout;
    range_start_ = new QLineEdit(this);
    range_end_ = new QLineEdit(this);
    range_start_->setMaxLength(kRangeEditMaxLength);
    range_end_->setMaxLength(kRangeEditMaxLength);
    range_button_ = new SkinButton(SmallButtonSheet(), 0, kSmallButtonCell, this);
    range_start_->setAccessibleName(Qs(text::kRangeStartName));
    range_end_->setAccessibleName(Qs(text::kRangeEndName));
    range_button_->setAccessibleDescription(Qs(text::kAllowRange));
    range_row->addWidget(range_start_);
    range_row->addWidget(PlainLabel(text::kRangeFrom, this));
    range_row->addWidget(range_end_);
    range_row->addWidget(PlainLabel(text::kRangeTo, this));
    range_row->addWidget(range_button_);
    range_row->addStretch();
    grid->addLayout(range_row, 2, 0);

    auto* port_row = new QHBoxLayout;
    port_ = new QLineEdit(this);
    port_->setMaxLength(kPortEditMaxLength);
    port_button_ = new SkinButton(SmallButtonSheet(), 0, kSmallButtonCell, this);
    port_->setAccessibleName(Qs(text::kPortRow));
    port_button_->setAccessibleDescription(Qs(text::kPortRow));
    port_row->addWidget(PlainLabel(text::kPortRow, this));
    port_row->addWidget(port_);
    port_row->addWidget(port_button_);
    port_row->addStretch();
    grid->addLayout(port_row, 3, 0);

    connect(local_, &QAbstractButton::clicked, this, [this] { localClicked(); });
    connect(range_, &QAbstractButton::clicked, this, [this] { rangeClicked(); });
    connect(range_button_, &QAbstractButton::clicked, this, [this] { rangeRegistered(); });
    connect(port_button_, &QAbstractButton::clicked, this, [this] { portRegistered(); });
}

void AccessAndPortGroup::fill() {
    std::string mode, range, port;
    {
        Hold hold(rt_.locks.settings);
        mode = rt_.settings.localorpassive.str();
        range = rt_.settings.allow_user.str();
        port = rt_.settings.port.str();
    }
    selectRange(std::string_view(mode).starts_with("passive"));
    std::size_t join = range.find(kRangeJoin);
    range_start_->setText(Qs(std::string_view(range).substr(0, join)));
    range_end_->setText(join == std::string::npos
                            ? QString()
                            : Qs(std::string_view(range).substr(join + kRangeJoin.size())));
    port_->setText(Qs(port));
}

QAbstractButton* AccessAndPortGroup::localRadio() const {
    return local_;
}
QAbstractButton* AccessAndPortGroup::rangeRadio() const {
    return range_;
}
QAbstractButton* AccessAndPortGroup::rangeButton() const {
    return range_button_;
}
QAbstractButton* AccessAndPortGroup::portButton() const {
    return port_button_;
}

void AccessAndPortGroup::selectRange(bool range) {
    SelectOnly({local_, range_}, range ? range_ : local_);
}

void AccessAndPortGroup::localClicked() {
    if (!ChangeSetting(rt_, "local", "")) return;
    selectRange(false);
    PostStatus(rt_, text::kLocalOnlySet, " ");
    ShowMessageDialog(rt_, text::kAccessControlTitle, text::kAppliedAfterRestart);
}

// Only shows the choice: the range is stored by the register button.
void AccessAndPortGroup::rangeClicked() {
    selectRange(true);
    auto filled = [](const QLineEdit* edit) {
        std::size_t length = EditText(*edit, kRangeEditMaxLength).size();
        return length >= 1 && length <= kRangeEndMaxLength;
    };
    bool both = filled(range_start_) && filled(range_end_);
    ShowMessageDialog(rt_, text::kAccessControlTitle,
                      both ? text::kRangeRegisterPrompt : text::kRangeEnterPrompt);
}

void AccessAndPortGroup::rangeRegistered() {
    selectRange(true);
    std::optional<std::string> range = CheckRange(EditText(*range_start_, kRangeEditMaxLength),
                                                  EditText(*range_end_, kRangeEditMaxLength));
    if (!range) {
        ShowMessageDialog(rt_, text::kRangeInvalidTitle, text::kRangeInvalid);
        return;
    }
    if (!ChangeSetting(rt_, "passive", *range)) return;
    PostStatus(rt_, text::kAccessControlSet, *range);
    ShowMessageDialog(rt_, text::kAccessControlTitle, text::kAppliedAfterRestart);
}

void AccessAndPortGroup::portRegistered() {
    PortCheck check = CheckPortText(EditText(*port_, kPortEditMaxLength));
    if (!check.port) {
        ShowMessageDialog(rt_, text::kPortFailedTitle,
                          check.refusal == PortRefusal::kNotInteger
                              ? std::string(text::kPortNotInteger)
                              : PortOutOfRangeText());
        return;
    }
    if (!ChangeSetting(rt_, "port", *check.port)) return;
    rt_.front.SetLabel(Label::kPort, *check.port);
    // No status line is written for the port; save all the same, so the change is on disk
    // at once like every other.
    rt_.front.RequestSave();
    ShowMessageDialog(rt_, text::kPortChangedTitle, text::kAppliedAfterRestart);
}

}  // namespace korvanel::ui
