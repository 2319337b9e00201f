#include "ui/main/log_pane.h"

#include <QtGui/QFontDatabase>
#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtWidgets/QScrollBar>

namespace korvanel::ui {

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    setFont(font);
}

std::size_t LogPane::characters() const {
    return static_cast<std::size_t>(document()->characterCount() - 1);
}

void LogPane::appendTrimmed(const QString& text, std::size_t limit) {
    QString adding = text;
    adding.remove(QLatin1Char('\r'));
    if (cap_ != 0 && (limit == 0 || cap_ < limit)) limit = cap_;
    const std::size_t count = static_cast<std::size_t>(adding.size());

    QScrollBar* bar = verticalScrollBar();
    bool at_bottom = bar->value() >= bar->maximum() - 2;
    QTextCursor cursor(document());
    if (limit != 0 && characters() + count >= limit) {
        cursor.setPosition(0);
        int cut = static_cast<int>(std::min(count, characters()));
        cursor.setPosition(cut, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(adding);
    if (at_bottom) bar->setValue(bar->maximum());
}

}  // namespace korvanel::ui
