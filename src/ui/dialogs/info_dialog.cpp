#include "ui/dialogs/info_dialog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtGui/QDesktopServices>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "texts.h"

namespace korvanel::ui {

namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// Between two buttons of a row, as in the proxy-check dialog.
constexpr int kButtonGap = 24;

QLabel* Line(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

QString DocumentationPath() {
    const QString dir = QCoreApplication::applicationDirPath();
    // The build keeps the page beside the program; an installation under share/, seen from
    // lib/korvanel/ where the window program is.
    const QString candidates[] = {dir + "/doc/index.html",
                                  dir + "/../../share/doc/korvanel/index.html"};
    for (const QString& path : candidates) {
        if (QFileInfo::exists(path)) return QFileInfo(path).canonicalFilePath();
    }
    return QStringLiteral("/usr/share/doc/korvanel/index.html");
}

InfoDialog::InfoDialog(Kind kind, QWidget* owner, Opener opener)
    : QDialog(owner), opener_(std::move(opener)) {
    if (!opener_) opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    setAutoFillBackground(true);
    setWindowTitle(Text(kind == Kind::kAbout ? text::kAboutTitle : text::kUsageTitle));

    auto* picture = new QLabel(this);
    QPixmap image(":/pictures/about.png");
    if (image.isNull()) {
        QMessageBox::warning(this, Text(text::kPictureMissingTitle),
                             Text(text::kPictureMissingText));
    } else {
        picture->setPixmap(image);
    }

    auto* lines = new QVBoxLayout;
    lines->setSpacing(8);
    if (kind == Kind::kAbout) {
        lines->addWidget(Line(Text(text::kAboutNotice1), this));
        lines->addWidget(Line(Text(text::kAboutNotice2), this));
    } else {
        QString path = DocumentationPath();
        lines->addWidget(Line(QUrl::fromLocalFile(path).toString(), this));
        lines->addWidget(Line(Text(text::kUsageSeeDocument), this));
    }

    close_ = new QPushButton(Text(text::kClose), this);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kButtonGap);
    buttons->addStretch();
    buttons->addWidget(close_);
    if (kind == Kind::kUsage) {
        open_ = new QPushButton(Text(text::kOpenDocument), this);
        connect(open_, &QPushButton::clicked, this,
                [this] { opener_(QUrl::fromLocalFile(DocumentationPath())); });
        buttons->addWidget(open_);
    }
    buttons->addStretch();

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(20, 20, 24, 16);
    layout->setHorizontalSpacing(20);
    layout->addWidget(picture, 0, 0, Qt::AlignTop);
    layout->addLayout(lines, 0, 1);
    layout->addLayout(buttons, 1, 0, 1, 2);
    setMinimumWidth(460);
}

}  // namespace korvanel::ui
