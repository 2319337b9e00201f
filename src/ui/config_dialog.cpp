#include "ui/config_dialog.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "texts.h"
#include "ui/setting_change.h"
#include "ui/settings_group_one.h"
#include "ui/settings_group_two.h"
#include "ui/tag_switch_group.h"

namespace korvanel::ui {

ConfigDialog::ConfigDialog(Runtime& rt, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Qs(text::kConfigTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    tags_ = new TagSwitchGroup(rt, this);
    one_ = new SettingsGroupOne(rt, this);
    two_ = new SettingsGroupTwo(rt, this);
    close_ = new QPushButton(Qs(text::kClose), this);
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tags_);
    layout->addWidget(one_);
    layout->addWidget(two_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_);
    layout->addLayout(buttons);
}

}  // namespace korvanel::ui
