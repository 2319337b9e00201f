// The proxy-check dialog: five lines, a progress bar, OK (starts a checker run) and close
// (closes an idle dialog at once; during a run asks it to stop, and the run closes the
// dialog once its workers have ended).
#pragma once

#include <QtWidgets/QDialog>
#include <array>
#include <thread>

#include "ui/dialogs/check_dialog_view.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

inline constexpr int kCheckDialogLines = 5;

class ProxyCheckDialog : public QDialog, public CheckDialogView {
    Q_OBJECT
  public:
    // `proxy_rows`: the rows of the proxy view, the progress bar's range.
    ProxyCheckDialog(Runtime& rt, int proxy_rows, QWidget* parent = nullptr);
    ~ProxyCheckDialog() override;

    void setCheckLine(int line, const QString& text) override;
    void setCheckProgress(int position, int maximum) override;
    void stepCheckProgress() override;
    void setCheckButtons(bool ok_enabled, bool close_enabled) override;
    void closeCheckDialog(int result) override;

    QString line(int line) const;
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* closeButton() const { return close_; }

  public slots:
    void startCheck();
    void requestClose();

  protected:
    // Escape and the title bar's close act as the close button.
    void reject() override;

  private:
    void joinDriver();

    Runtime& rt_;
    std::array<QLabel*, kCheckDialogLines> lines_{};
    QProgressBar* progress_;
    QPushButton* ok_;
    QPushButton* close_;
    std::thread driver_;
};

}  // namespace korvanel::ui
