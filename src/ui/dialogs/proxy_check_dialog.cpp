#include "ui/dialogs/proxy_check_dialog.h"

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>

#include "checker/check_run.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel::ui {

namespace {

constexpr QSize kDialogSize{500, 300};
CheckDialogView* open_view = nullptr;

}  // namespace

CheckDialogView* OpenCheckDialogView() {
    return open_view;
}

ProxyCheckDialog::ProxyCheckDialog(Runtime& rt, int proxy_rows, QWidget* parent)
    : QDialog(parent), rt_(rt) {
    setWindowTitle(text::kCheckDialogCaption);
    resize(kDialogSize);
    auto* layout = new QVBoxLayout(this);
    for (QLabel*& label : lines_) {
        label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
    }
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    layout->addWidget(progress_);
    ok_ = new QPushButton(text::kCheckDialogOk, this);
    close_ = new QPushButton(text::kClose, this);
    ok_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addStretch(2);
    buttons->addWidget(close_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &ProxyCheckDialog::startCheck);
    connect(close_, &QPushButton::clicked, this, &ProxyCheckDialog::requestClose);

    open_view = this;
    OpenCheckDialog(rt_, proxy_rows);
}

ProxyCheckDialog::~ProxyCheckDialog() {
    if (open_view == this) open_view = nullptr;
    joinDriver();
}

void ProxyCheckDialog::joinDriver() {
    // The driver has made its last call to the dialog (queued) by the time it can be seen
    // here, so waiting for it ends soon.
    if (driver_.joinable()) rt_.front.WaitFor(driver_);
}

void ProxyCheckDialog::setCheckLine(int line, const QString& text) {
    if (line >= 1 && line <= kCheckDialogLines)
        lines_[static_cast<std::size_t>(line - 1)]->setText(text);
}

void ProxyCheckDialog::setCheckProgress(int position, int maximum) {
    // A range of 0 .. 0 would make Qt's bar a "busy" indicator: nothing to check is an empty bar.
    if (maximum <= 0) {
        progress_->setRange(0, 1);
        progress_->setValue(0);
        return;
    }
    progress_->setRange(0, maximum);
    progress_->setValue(position);
}

void ProxyCheckDialog::stepCheckProgress() {
    if (progress_->value() < progress_->maximum()) progress_->setValue(progress_->value() + 1);
}

void ProxyCheckDialog::setCheckButtons(bool ok_enabled, bool close_enabled) {
    ok_->setEnabled(ok_enabled);
    close_->setEnabled(close_enabled);
}

void ProxyCheckDialog::closeCheckDialog(int result) {
    done(result);
}

QString ProxyCheckDialog::line(int line) const {
    if (line < 1 || line > kCheckDialogLines) return {};
    return lines_[static_cast<std::size_t>(line - 1)]->text();
}

void ProxyCheckDialog::startCheck() {
    joinDriver();  // a run that ended with the dialog left open
    StartProxyCheck(rt_, driver_);
}

void ProxyCheckDialog::requestClose() {
    if (CloseCheckDialogRequested(rt_)) done(1);
}

void ProxyCheckDialog::reject() {
    requestClose();
}

}  // namespace korvanel::ui
