// A read-only log pane. Text is only ever appended; when the pane and the new text together
// reach the pane's limit, as many characters as the new text holds are first taken from the
// top, so the pane never grows past its limit and the oldest text goes first.
#pragma once

#include <QtWidgets/QPlainTextEdit>

namespace korvanel::ui {

class LogPane : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit LogPane(QWidget* parent = nullptr);

    void appendTrimmed(const QString& text, std::size_t limit);
    // A cap of the pane's size on top of each append's own limit.
    void setCharacterLimit(std::size_t characters) { cap_ = characters; }
    // Characters shown (line ends count one each).
    std::size_t characters() const;

  private:
    std::size_t cap_ = 0;
};

}  // namespace korvanel::ui
