// The About and usage dialogs: the program's picture, a few lines, and "閉じる"; the usage
// dialog also shows where the documentation page is and opens it ("ドキュメントを開く"), as often
// as asked, staying open.
#pragma once

#include <QtCore/QUrl>
#include <QtWidgets/QDialog>
#include <functional>

class QPushButton;

namespace korvanel::ui {

// The documentation page that ships with the program: beside the program in the build
// tree, or where the package installs it.
QString DocumentationPath();

class InfoDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Kind { kAbout, kUsage };
    using Opener = std::function<bool(const QUrl&)>;

    InfoDialog(Kind kind, QWidget* owner, Opener opener = {});

    QPushButton* closeButton() const { return close_; }
    QPushButton* openButton() const { return open_; }  // null in the About dialog

  private:
    QPushButton* close_ = nullptr;
    QPushButton* open_ = nullptr;
    Opener opener_;
};

}  // namespace korvanel::ui
