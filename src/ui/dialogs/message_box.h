// The one message dialog: a title, a text (CR LF lines shown as lines) and OK, in the
// theme's colours.
#pragma once

#include <QtWidgets/QDialog>

class QLabel;
class QPushButton;

namespace korvanel::ui {

class MessageBox : public QDialog {
    Q_OBJECT
  public:
    MessageBox(const QString& title, const QString& text, QWidget* owner);

    QString text() const;
    QPushButton* okButton() const { return ok_; }

  private:
    QLabel* label_;
    QPushButton* ok_;
};

}  // namespace korvanel::ui
