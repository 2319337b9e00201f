#include "ui/dialogs/message_box.h"

#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>

namespace korvanel::ui {

namespace {
// About 239 x 102 dialog units at the dialog's font.
constexpr int kMinimumWidth = 380;
constexpr int kMinimumHeight = 160;
// The layout's margins left and right of the text.
constexpr int kTextSideMargins = 50 + 30;
// Room left on the screen for the window's frame.
constexpr int kScreenAllowance = 40;

// The widest line of `text` at `metrics`.
int WidestLine(const QString& text, const QFontMetrics& metrics) {
    int widest = 0;
    for (const QString& line : text.split('\n')) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

}  // namespace

MessageBox::MessageBox(const QString& title, const QString& text, QWidget* owner) : QDialog(owner) {
    setWindowTitle(title);
    setModal(true);
    setAutoFillBackground(true);
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    label_ = new QLabel(shown, this);
    label_->setTextFormat(Qt::PlainText);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Lines break only where the text breaks them and the dialog grows to fit them; only a
    // line wider than the screen is wrapped, at the screen's width.
    QScreen* screen = owner ? owner->screen() : QApplication::primaryScreen();
    int room =
        screen ? screen->availableGeometry().width() - kTextSideMargins - kScreenAllowance : 1000;
    int widest = WidestLine(shown, label_->fontMetrics()) + 2;
    label_->setWordWrap(widest > room);
    label_->setMinimumWidth(std::min(widest, room));

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

QString MessageBox::text() const {
    return label_->text();
}

}  // namespace korvanel::ui
