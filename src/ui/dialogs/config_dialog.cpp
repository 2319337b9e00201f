#include "ui/dialogs/config_dialog.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>

#include "texts.h"
#include "tls/inspector_holder.h"
#include "ui/pages/access_and_port_group.h"
#include "ui/pages/https_group.h"
#include "ui/pages/setting_change.h"
#include "ui/pages/startup_and_logs_group.h"
#include "ui/pages/tag_switch_group.h"

namespace korvanel::ui {

namespace {
// Room above the dialog for the window manager's title bar and frame.
constexpr int kTitleBarAllowance = 48;

// The inspection side's steps for the HTTPS group.
AuthorityActions WindowAuthorityActions() {
    return {PrepareInspection, RenewAuthority};
}
}  // namespace

ConfigDialog::ConfigDialog(Runtime& rt, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Qs(text::kConfigTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    tags_ = new TagSwitchGroup(rt, this);
    startup_and_logs_ = new StartupAndLogsGroup(rt, this);
    access_and_port_ = new AccessAndPortGroup(rt, this);
    https_ = new HttpsGroup(rt, WindowAuthorityActions(), this);
    close_ = new QPushButton(Qs(text::kClose), this);
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    // The groups scroll when the screen is too low for them; "閉じる" stays in view.
    auto* groups = new QWidget;
    auto* group_layout = new QVBoxLayout(groups);
    group_layout->setContentsMargins(0, 0, 0, 0);
    group_layout->addWidget(tags_);
    group_layout->addWidget(startup_and_logs_);
    group_layout->addWidget(access_and_port_);
    group_layout->addWidget(https_);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(groups);
    scroll->setMinimumWidth(groups->sizeHint().width() +
                            scroll->verticalScrollBar()->sizeHint().width());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    fitScreen(groups->sizeHint().height());
}

void ConfigDialog::fitScreen(int groups_height) {
    QMargins margins = layout()->contentsMargins();
    int wanted = groups_height + margins.top() + margins.bottom() + layout()->spacing() +
                 close_->sizeHint().height();
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        wanted = std::min(wanted, screen->availableGeometry().height() - kTitleBarAllowance);
    }
    resize(sizeHint().width(), wanted);
}

}  // namespace korvanel::ui
