// The window's front end: what the core asks of a window, delivered on the GUI thread.
//
// Labels, panes and status-bar parts written from core threads are handed over as queued
// calls (copies of the texts), so they never wait for the GUI thread. A message dialog
// blocks its caller until the user answers: on the GUI thread directly, from other threads
// through a blocking queued call, which the GUI thread serves because every wait of its own
// keeps the event loop turning. Once the close has begun no call blocks: a message then goes
// to standard error only.
#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtWidgets/QDialog>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "runtime/front_end.h"

class QWidget;

namespace korvanel::ui {

// What the front end writes into: the main window. Called on the GUI thread only.
class WindowSurface {
  public:
    virtual ~WindowSurface() = default;
    virtual void showLabel(Label label, const QString& text) = 0;
    virtual void appendToPane(Pane pane, const QString& text, std::size_t limit) = 0;
    virtual void limitPane(Pane pane, std::size_t characters) = 0;
    virtual void showStatusBarPart(int part, const QString& text) = 0;
    // The owner of message dialogs (null: none yet).
    virtual QWidget* dialogOwner() = 0;
};

class QtFrontEnd : public QObject, public FrontEnd {
    Q_OBJECT
  public:
    // Made on the GUI thread, whose calls are then direct.
    explicit QtFrontEnd(QObject* parent = nullptr);

    // GUI thread only.
    void setSurface(WindowSurface* surface) { surface_ = surface; }
    // What the save command does (SaveConfiguration). Set before any thread may ask for it.
    void setSaveAction(std::function<void()> save) { save_ = std::move(save); }
    // From now on no call from another thread blocks: their messages go to standard error,
    // and a dialog open for one of them is closed, so the thread waiting on it goes on.
    void beginShutdown();

    void SetLabel(Label label, std::string_view text) override;
    void AppendToPane(Pane pane, std::string_view text, std::size_t limit) override;
    void LimitPane(Pane pane, std::size_t characters) override;
    void SetStatusBar(int part, std::string_view text) override;
    void ShowMessage(std::string_view title, std::string_view text) override;
    bool AskYesNo(std::string_view title, std::string_view text) override;
    void RequestSave() override;
    // The dialog comes at the first failed save of the run only; the command log tells the
    // later runs of failures.
    void SaveFailed(std::string_view title, std::string_view text) override;
    void WaitFor(std::thread& thread) override;

    void SetCheckLine(int line, std::string_view text) override;
    void SetCheckProgress(int position, int maximum) override;
    void SetCheckButtons(bool ok_enabled, bool close_enabled) override;
    void StepCheckProgress() override;
    void CloseCheckDialog(int result) override;

    // How many message dialogs were answered (tests).
    int messagesShown() const { return messages_shown_.load(); }

  private:
    bool onGuiThread() const;
    // Runs `call` on the GUI thread: at once there, else queued.
    void onGui(std::function<void()> call);
    void showMessageNow(const QString& title, const QString& text, bool for_other_thread);
    bool askNow(const QString& title, const QString& text, bool for_other_thread);
    QWidget* dialogOwner() const;
    void saveNow();
    void drainPane(Pane pane);

    // Text for a pane from other threads, waiting for the GUI thread. However fast it comes,
    // at most one hand-over per pane is queued, and what waits never exceeds the pane's limit
    // (older text would be trimmed from the pane at once anyway).
    struct PendingPane {
        std::mutex mutex;
        QString text;
        std::size_t limit = 0;
        bool posted = false;
    };
    std::array<PendingPane, 5> pending_;
    std::vector<QPointer<QDialog>> open_for_threads_;

    WindowSurface* surface_ = nullptr;
    std::function<void()> save_;
    std::atomic<bool> shutting_down_{false};
    std::atomic<bool> save_posted_{false};
    std::atomic<bool> save_failure_shown_{false};
    std::atomic<int> messages_shown_{0};
};

}  // namespace korvanel::ui
