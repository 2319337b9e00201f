#include "ui/dialogs/bulk_register_dialog.h"

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>

#include "logging/status_log.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/list_commands.h"
#include "settings/proxy_url.h"
#include "settings/row_validation.h"
#include "settings/worker_thread.h"
#include "texts.h"
#include "ui/pages/list_page_support.h"

namespace korvanel::ui {

namespace {

// A proxy line needs more than this many characters.
constexpr int kShortestRefused = 3;
constexpr QSize kDialogSize{460, 340};

int LeadingSpaces(const QString& line) {
    int count = 0;
    while (count < line.size() && line[count] == ' ') ++count;
    return count;
}

// The lines of `text` without the empty ones.
QStringList NonEmptyLines(const QString& text) {
    QString unified = text;
    unified.replace("\r\n", "\n").replace('\r', '\n');
    return unified.split('\n', Qt::SkipEmptyParts);
}

}  // namespace

BulkRegisterDialog::BulkRegisterDialog(Runtime& rt, BulkList list, QWidget* parent)
    : QDialog(parent), rt_(rt), list_(list) {
    setWindowTitle(list == BulkList::kProxies ? text::kBulkProxyCaption
                                              : text::kBulkUserAgentCaption);
    resize(kDialogSize);
    edit_ = new QPlainTextEdit(this);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    register_ = new QPushButton(text::kBulkRegister, this);
    close_ = new QPushButton(text::kBulkClose, this);
    register_->setAutoDefault(false);
    close_->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(register_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(text::kBulkHint, this));
    layout->addWidget(edit_, 1);
    layout->addLayout(buttons);

    connect(register_, &QPushButton::clicked, this, &BulkRegisterDialog::registerLines);
    connect(close_, &QPushButton::clicked, this, [this] { done(1); });
}

void BulkRegisterDialog::registerLines() {
    QString pasted = edit_->toPlainText();
    qsizetype characters = pasted.toUcs4().size();
    if (characters > kBulkMaxCharacters) {
        std::string title =
            QString::asprintf(text::kBulkTooLargeTitle, int(characters)).toStdString();
        ShowMessageDialog(rt_, title, text::kBulkTooLargeText);
        return;
    }
    if (characters == 0) return;
    QStringList lines = NonEmptyLines(pasted);
    edit_->setPlainText(lines.join('\n'));
    bool all = true;
    while (!lines.isEmpty()) {
        if (registerLine(lines.front()) == LineResult::kStop) {
            all = false;
            break;
        }
        lines.removeFirst();
        edit_->setPlainText(lines.join('\n'));
        edit_->repaint();
    }
    if (all) ShowMessageDialog(rt_, text::kBulkDoneTitle, text::kBulkDoneText);
    PostStatus(rt_, "", list_ == BulkList::kProxies ? text::kProxyAdded : text::kUserAgentAdded);
}

BulkRegisterDialog::LineResult BulkRegisterDialog::registerLine(const QString& line) {
    QString row = line.mid(LeadingSpaces(line));
    std::string utf8 = Utf8(row);
    int check;
    // A proxy line is host:port or a URL (with a login, maybe): its own refusal says which.
    const char* url_refusal = nullptr;
    {
        Hold hold(rt_.locks.settings);
        if (list_ == BulkList::kUserAgents) {
            check = CheckUserAgentRow(rt_.settings, Utf8(line), "0");
        } else if (row.size() <= kShortestRefused || !row.contains(':')) {
            check = kRowMalformed;
        } else if (rt_.settings.proxies.size() >= kProxyCapacity) {
            check = kRowListFull;
        } else {
            url_refusal = ProxyUrlRefusal(utf8);
            check = url_refusal == nullptr ? kRowValid : kRowMalformed;
        }
    }
    if (check != kRowValid) {
        bool full = check == kRowListFull;
        const char* refusal =
            list_ == BulkList::kProxies
                ? (full ? text::kProxyLimitRefusal
                        : (url_refusal != nullptr ? url_refusal : text::kProxyFormatRefusal))
                : (full ? text::kUserAgentLimitRefusal : text::kUserAgentFormatRefusal);
        ShowRefusal(rt_, refusal);
        return LineResult::kStop;
    }
    ProxyUrl url;
    if (list_ == BulkList::kProxies) ParseProxyUrl(utf8, url);
    int added = list_ == BulkList::kProxies
                    ? AddProxyUrlCommand(rt_, url, kBulkAddTimeoutMs)
                    : AddUserAgentCommandWithin(rt_, utf8, kBulkAddTimeoutMs);
    if (added == kWorkerTimedOut) {
        PostStatus(
            rt_, text::kTimeoutName,
            list_ == BulkList::kProxies ? text::kBulkProxyTimeout : text::kBulkUserAgentTimeout);
        return LineResult::kStop;
    }
    if (added != 1) return LineResult::kStop;
    emit registered(row);
    return LineResult::kAdded;
}

}  // namespace korvanel::ui
