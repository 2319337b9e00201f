#include "ui/message_box.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace korvanel::ui {

namespace {
// About 239 x 102 dialog units at the dialog's font.
constexpr int kMinimumWidth = 380;
constexpr int kMinimumHeight = 160;
constexpr int kTextMaximumWidth = 900;
}  // namespace

MessageBox::MessageBox(const QString& title, const QString& text, QWidget* owner)
    : QDialog(owner) {
    setWindowTitle(title);
    setModal(true);
    setAutoFillBackground(true);
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    label_ = new QLabel(shown, this);
    label_->setTextFormat(Qt::PlainText);
    label_->setWordWrap(true);
    label_->setMaximumWidth(kTextMaximumWidth);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    ok_->setMinimumWidth(100);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(50, 20, 30, 14);
    layout->addWidget(label_, 1);
    layout->addLayout(buttons);
}

QString MessageBox::text() const { return label_->text(); }

}  // namespace korvanel::ui
