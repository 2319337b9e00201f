#include "ui/main/log_pane.h"

#include <QtGui/QFontDatabase>
#include <QtGui/QTextCursor>
#include <QtWidgets/QScrollBar>
#include <algorithm>

namespace korvanel::ui {

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    setFont(font);
    refresh_.setSingleShot(true);
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, &LogPane::applyPending);
}

std::size_t LogPane::documentCharacters() const {
    return static_cast<std::size_t>(document()->characterCount() - 1);
}

std::size_t LogPane::characters() const {
    return documentCharacters() + static_cast<std::size_t>(tail_.size()) - cut_;
}

void LogPane::appendTrimmed(const QString& text, std::size_t limit) {
    QString adding = text;
    adding.remove(QLatin1Char('\r'));
    if (cap_ != 0 && (limit == 0 || cap_ < limit)) limit = cap_;
    const std::size_t count = static_cast<std::size_t>(adding.size());

    const std::size_t now = characters();
    if (limit != 0 && now + count >= limit) cut_ += std::min(count, now);
    tail_ += adding;
    // A cut past the document's end falls on the tail: that text is never shown.
    const std::size_t in_document = documentCharacters();
    if (cut_ > in_document) {
        tail_.remove(0, static_cast<qsizetype>(cut_ - in_document));
        cut_ = in_document;
    }
    if (!deferred_) {
        applyPending();
    } else if (isVisible() && !refresh_.isActive()) {
        refresh_.start();
    }
}

void LogPane::applyPending() {
    refresh_.stop();
    if (!hasPending()) return;
    QScrollBar* bar = verticalScrollBar();
    const bool at_bottom = bar->value() >= bar->maximum() - 2;
    if (cut_ != 0 && cut_ == documentCharacters()) {
        setPlainText(tail_);  // all of the old text goes: one document, built once
    } else {
        // One edit: the document lays itself out (and tells its views) once.
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        if (cut_ != 0) {
            cursor.setPosition(static_cast<int>(cut_), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(tail_);
        cursor.endEditBlock();
    }
    cut_ = 0;
    tail_.clear();
    if (at_bottom) bar->setValue(bar->maximum());
}

void LogPane::showEvent(QShowEvent* event) {
    applyPending();
    QPlainTextEdit::showEvent(event);
}

}  // namespace korvanel::ui
