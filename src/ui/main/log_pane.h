// A read-only log pane. Text is only ever appended; when the pane and the new text together
// reach the pane's limit, as many characters as the new text holds are first taken from the
// top, so the pane never grows past its limit and the oldest text goes first.
//
// Under load the four log panes get text far faster than anyone can read it, and every
// line inserted into or removed from a text document costs the GUI thread. So a deferred
// pane keeps what it was given as one cut from the top and one tail to append, and edits
// its document only while it is shown, at most once per refresh period (and at once when
// it is shown): the text it then shows is exactly what appending each piece would have
// given, at a cost that no longer grows with the rate of the log.
#pragma once

#include <QtCore/QString>
#include <QtCore/QTimer>
#include <QtWidgets/QPlainTextEdit>

namespace korvanel::ui {

class LogPane : public QPlainTextEdit {
    Q_OBJECT
  public:
    // How often a shown deferred pane takes what has come in.
    static constexpr int kRefreshMs = 100;

    explicit LogPane(QWidget* parent = nullptr);

    void appendTrimmed(const QString& text, std::size_t limit);
    // A cap of the pane's size on top of each append's own limit.
    void setCharacterLimit(std::size_t characters) { cap_ = characters; }
    // Characters the pane holds, including text not yet in its document (line ends count
    // one each).
    std::size_t characters() const;

    // Deferred: appends reach the document at the next refresh while the pane is shown.
    void setDeferred(bool deferred) { deferred_ = deferred; }
    // Puts what has come in into the document now.
    void applyPending();
    bool hasPending() const { return cut_ != 0 || !tail_.isEmpty(); }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::size_t documentCharacters() const;

    std::size_t cap_ = 0;
    bool deferred_ = false;
    // Not yet in the document: the pane's text is (document + tail_) less its first cut_
    // characters, with cut_ never past the document's end.
    std::size_t cut_ = 0;
    QString tail_;
    QTimer refresh_;
};

}  // namespace korvanel::ui
