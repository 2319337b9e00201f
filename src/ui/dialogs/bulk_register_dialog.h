// The bulk registration dialogs: one line per proxy or per User-Agent, registered one after
// the other through the add commands. Each registered line leaves the edit box, so after a
// refusal the box holds the refused line and every line after it.
#pragma once

#include <QtWidgets/QDialog>

class QPlainTextEdit;
class QPushButton;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

enum class BulkList { kProxies, kUserAgents };

// A pasted text may hold at most this many characters.
inline constexpr int kBulkMaxCharacters = 8192;
// Each line's add command is waited for this long.
inline constexpr int kBulkAddTimeoutMs = 5000;

class BulkRegisterDialog : public QDialog {
    Q_OBJECT
  public:
    BulkRegisterDialog(Runtime& rt, BulkList list, QWidget* parent = nullptr);

    QPlainTextEdit* edit() const { return edit_; }
    QPushButton* registerButton() const { return register_; }
    QPushButton* closeButton() const { return close_; }

  signals:
    // A line was added to the list (without its leading spaces).
    void registered(const QString& line);

  public slots:
    void registerLines();

  private:
    enum class LineResult { kAdded, kStop };
    LineResult registerLine(const QString& line);

    Runtime& rt_;
    BulkList list_;
    QPlainTextEdit* edit_;
    QPushButton* register_;
    QPushButton* close_;
};

}  // namespace korvanel::ui
