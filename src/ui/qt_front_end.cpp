#include "ui/qt_front_end.h"

#include <QtCore/QThread>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <cstdio>
#include <string>

#include "texts.h"
#include "ui/dialogs/check_dialog_view.h"
#include "ui/dialogs/message_box.h"
#include "ui/gui_wait.h"

namespace korvanel::ui {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void PrintMessage(std::string_view title, std::string_view text) {
    std::string line(title);
    line += ": ";
    line += text;
    std::string printed;
    for (char c : line) {
        if (c != '\r') printed += c;
    }
    std::fprintf(stderr, "%s\n", printed.c_str());
}

}  // namespace

QtFrontEnd::QtFrontEnd(QObject* parent) : QObject(parent) {}

bool QtFrontEnd::onGuiThread() const {
    return QThread::currentThread() == thread();
}

void QtFrontEnd::onGui(std::function<void()> call) {
    if (onGuiThread()) {
        call();
    } else {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    }
}

void QtFrontEnd::SetLabel(Label label, std::string_view text) {
    onGui([this, label, value = FromUtf8(text)] {
        if (surface_) surface_->showLabel(label, value);
    });
}

void QtFrontEnd::AppendToPane(Pane pane, std::string_view text, std::size_t limit) {
    if (onGuiThread()) {
        drainPane(pane);  // what other threads handed over comes first
        if (surface_) surface_->appendToPane(pane, FromUtf8(text), limit);
        return;
    }
    PendingPane& pending = pending_[static_cast<std::size_t>(pane)];
    std::lock_guard<std::mutex> hold(pending.mutex);
    pending.text += FromUtf8(text);
    pending.limit = limit;
    if (limit != 0 && static_cast<std::size_t>(pending.text.size()) > limit) {
        pending.text = pending.text.right(static_cast<qsizetype>(limit));
    }
    if (pending.posted) return;
    pending.posted = true;
    QMetaObject::invokeMethod(
        this, [this, pane] { drainPane(pane); }, Qt::QueuedConnection);
}

void QtFrontEnd::drainPane(Pane pane) {
    PendingPane& pending = pending_[static_cast<std::size_t>(pane)];
    QString text;
    std::size_t limit;
    {
        std::lock_guard<std::mutex> hold(pending.mutex);
        text.swap(pending.text);
        limit = pending.limit;
        pending.posted = false;
    }
    if (!text.isEmpty() && surface_) surface_->appendToPane(pane, text, limit);
}

void QtFrontEnd::LimitPane(Pane pane, std::size_t characters) {
    onGui([this, pane, characters] {
        if (surface_) surface_->limitPane(pane, characters);
    });
}

void QtFrontEnd::SetStatusBar(int part, std::string_view text) {
    onGui([this, part, value = FromUtf8(text)] {
        if (surface_) surface_->showStatusBarPart(part, value);
    });
}

void QtFrontEnd::ShowMessage(std::string_view title, std::string_view text) {
    if (shutting_down_.load()) {
        PrintMessage(title, text);
        return;
    }
    QString t = FromUtf8(title), x = FromUtf8(text);
    if (onGuiThread()) {
        showMessageNow(t, x, false);
    } else {
        QMetaObject::invokeMethod(
            this, [this, t, x] { showMessageNow(t, x, true); }, Qt::BlockingQueuedConnection);
    }
}

// Over the window the user is working in (the Config dialog, say), else the main window.
QWidget* QtFrontEnd::dialogOwner() const {
    QWidget* owner = QApplication::activeWindow();
    if (surface_ == nullptr) return nullptr;
    if (owner == nullptr || !owner->isVisible()) owner = surface_->dialogOwner();
    return owner;
}

bool QtFrontEnd::AskYesNo(std::string_view title, std::string_view text) {
    if (shutting_down_.load()) {
        PrintMessage(title, text);
        return false;
    }
    QString t = FromUtf8(title), x = FromUtf8(text);
    bool yes = false;
    if (onGuiThread()) {
        yes = askNow(t, x, false);
    } else {
        QMetaObject::invokeMethod(
            this, [this, t, x, &yes] { yes = askNow(t, x, true); }, Qt::BlockingQueuedConnection);
    }
    return yes;
}

bool QtFrontEnd::askNow(const QString& title, const QString& text, bool for_other_thread) {
    if (for_other_thread && shutting_down_.load()) {
        PrintMessage(title.toStdString(), text.toStdString());
        return false;
    }
    QMessageBox ask(QMessageBox::Question, title, text, QMessageBox::NoButton, dialogOwner());
    QPushButton* yes = ask.addButton(FromUtf8(text::kCookieYes), QMessageBox::YesRole);
    ask.setDefaultButton(ask.addButton(FromUtf8(text::kCookieNo), QMessageBox::NoRole));
    if (for_other_thread) open_for_threads_.emplace_back(&ask);
    ask.exec();
    std::erase_if(open_for_threads_,
                  [&ask](const QPointer<QDialog>& d) { return d == &ask || !d; });
    return ask.clickedButton() == yes;
}

void QtFrontEnd::showMessageNow(const QString& title, const QString& text, bool for_other_thread) {
    if (for_other_thread && shutting_down_.load()) {  // asked before the close, served after
        PrintMessage(title.toStdString(), text.toStdString());
        return;
    }
    MessageBox box(title, text, dialogOwner());
    if (for_other_thread) open_for_threads_.emplace_back(&box);
    box.exec();
    ++messages_shown_;
    std::erase_if(open_for_threads_,
                  [&box](const QPointer<QDialog>& d) { return d == &box || !d; });
}

void QtFrontEnd::beginShutdown() {
    shutting_down_.store(true);
    for (const QPointer<QDialog>& dialog : open_for_threads_) {
        if (dialog) dialog->reject();
    }
}

void QtFrontEnd::RequestSave() {
    if (onGuiThread()) {
        saveNow();
        return;
    }
    // Saves asked for while one is still queued are one save: it writes the newest state.
    if (save_posted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            save_posted_.store(false);
            saveNow();
        },
        Qt::QueuedConnection);
}

void QtFrontEnd::SaveFailed(std::string_view title, std::string_view text) {
    if (save_failure_shown_.exchange(true)) return;
    ShowMessage(title, text);
}

void QtFrontEnd::saveNow() {
    if (save_) save_();
}

void QtFrontEnd::WaitFor(std::thread& thread) {
    if (onGuiThread()) {
        WaitTurningEvents(thread);
    } else if (thread.joinable()) {
        thread.join();
    }
}

void QtFrontEnd::SetCheckLine(int line, std::string_view text) {
    onGui([this, line, value = FromUtf8(text)] {
        if (CheckDialogView* dialog = OpenCheckDialogView()) dialog->setCheckLine(line, value);
    });
}

void QtFrontEnd::SetCheckProgress(int position, int maximum) {
    onGui([this, position, maximum] {
        if (CheckDialogView* dialog = OpenCheckDialogView())
            dialog->setCheckProgress(position, maximum);
    });
}

void QtFrontEnd::SetCheckButtons(bool ok_enabled, bool close_enabled) {
    onGui([this, ok_enabled, close_enabled] {
        if (CheckDialogView* dialog = OpenCheckDialogView())
            dialog->setCheckButtons(ok_enabled, close_enabled);
    });
}

void QtFrontEnd::StepCheckProgress() {
    onGui([this] {
        if (CheckDialogView* dialog = OpenCheckDialogView()) dialog->stepCheckProgress();
    });
}

void QtFrontEnd::CloseCheckDialog(int result) {
    // Always queued, even from the GUI thread: the dialog may be inside its own handler.
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            if (CheckDialogView* dialog = OpenCheckDialogView()) dialog->closeCheckDialog(result);
        },
        Qt::QueuedConnection);
}

}  // namespace korvanel::ui
