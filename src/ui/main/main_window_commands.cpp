// What the main window runs: window creation after the controls, the large buttons, the
// menu and the close sequence. Every wait for a worker keeps the event loop turning.
#include <QtCore/QTimer>
#include <QtGui/QCloseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QSystemTrayIcon>

#include "browser/browser_command.h"
#include "engine/listener.h"
#include "lifecycle/program_life.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "settings/worker_thread.h"
#include "texts.h"
#include "ui/dialogs/info_dialog.h"
#include "ui/gui_wait.h"
#include "ui/main/main_window.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

namespace {

// A close asked for while a command waits is tried again this often.
constexpr int kCloseRetryMs = 50;

bool AutoStartRequested(Runtime& rt) {
    Hold hold(rt.locks.settings);
    return rt.settings.auto_start.starts_with("2");
}

std::string ConfiguredPort(Runtime& rt) {
    Hold hold(rt.locks.settings);
    return rt.settings.port.str();
}

std::string ThemeName(Runtime& rt) {
    Hold hold(rt.locks.settings);
    return rt.settings.color.str();
}

}  // namespace

bool MainWindow::initialise() {
    bool logger_started = StartProgram(rt_);
    showLabel(Label::kPort, QString::fromStdString(ConfiguredPort(rt_)));
    for (const auto& rebuild : rebuilds_) rebuild();
    if (AutoStartRequested(rt_) && StartServer(rt_) != -1) {
        run_state_ = RunState::kRunning;
        startButton()->setLatched(true);
    }
    initialised_ = true;
    layoutClient();
    applyTheme(ThemeName(rt_));
    return logger_started;
}

void MainWindow::startServer() {
    if (run_state_ != RunState::kStopped) return;
    if (StartServer(rt_) == -1) return;
    run_state_ = RunState::kRunning;
    stopButton()->setLatched(false);
    startButton()->setLatched(true);
}

void MainWindow::stopServer() {
    if (run_state_ != RunState::kRunning) return;
    run_state_ = RunState::kStopping;
    if (StopServer(rt_) == -1) return;  // a stop worker did not start: stays stopping
    run_state_ = RunState::kStopped;
    startButton()->setLatched(false);
    stopButton()->setLatched(true);
}

void MainWindow::toTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // Without a tray the window could not be brought back if it were hidden.
        showMinimized();
        return;
    }
    if (!tray_) {
        tray_ = new QSystemTrayIcon(windowIcon(), this);
        tray_->setToolTip(QString::fromUtf8(text::kTrayTip));
        connect(tray_, &QSystemTrayIcon::activated, this, [this] { fromTray(); });
    }
    tray_->show();
    in_tray_ = true;
    hide();
}

void MainWindow::fromTray() {
    if (tray_) tray_->hide();
    in_tray_ = false;
    showNormal();
    raise();
    activateWindow();
    update();
}

void MainWindow::runMenu(MenuCommand command) {
    // A browser command may wait long for the browser: the window keeps answering meanwhile
    // (a second browser command then waits for the first one's end).
    auto browser = [this](BrowserCommand which, int edition) {
        InputDuringWait answering;
        RunBrowserCommand(rt_, which, edition);
    };
    switch (command) {
        case MenuCommand::kSave:
            SaveConfiguration(rt_);
            break;
        case MenuCommand::kExit:
            close();
            break;
        // Each runs on a thread of its own; the wait keeps the window turning.
        case MenuCommand::kSetFirefox:
            browser(BrowserCommand::kSetFirefox, 32);
            break;
        case MenuCommand::kSetOpera:
            browser(BrowserCommand::kSetOpera, 32);
            break;
        case MenuCommand::kSetOpera64:
            browser(BrowserCommand::kSetOpera, 64);
            break;
        case MenuCommand::kSetDesktop:
            browser(BrowserCommand::kSetDesktop, 0);
            break;
        case MenuCommand::kResetFirefox:
            browser(BrowserCommand::kResetFirefox, 32);
            break;
        case MenuCommand::kResetOpera:
            browser(BrowserCommand::kResetOpera, 32);
            break;
        case MenuCommand::kResetOpera64:
            browser(BrowserCommand::kResetOpera, 64);
            break;
        case MenuCommand::kResetDesktop:
            browser(BrowserCommand::kResetDesktop, 0);
            break;
        case MenuCommand::kThemeGrey:
            applyTheme("DEFAULT");
            break;
        case MenuCommand::kThemeWhite:
            applyTheme("WHITE");
            break;
        case MenuCommand::kThemeGreen:
            applyTheme("GREEN");
            break;
        case MenuCommand::kUsage:
            InfoDialog(InfoDialog::Kind::kUsage, this).exec();
            break;
        case MenuCommand::kAbout:
            InfoDialog(InfoDialog::Kind::kAbout, this).exec();
            break;
    }
}

void MainWindow::closeInOrder() {
    if (closing_) return;
    storeGeometry();  // the last place and size, whatever events came before
    closing_ = true;
    rt_.closing.Request();
    // From here on no core thread waits for this window.
    front_.beginShutdown();
    if (tray_) tray_->hide();
    closed_ = ShutDownProgram(rt_);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {  // a close inside the close: it is already on its way
        event->ignore();
        return;
    }
    if (WaitingTurningEvents()) {
        // A command is waiting for its worker (the stop, say): closing inside it would stop
        // the same threads twice. The close runs once the command has ended.
        // A dialog open for that worker closes, so the wait ends.
        // A browser command's waits end at once, so that its wait ends soon.
        event->ignore();
        rt_.closing.Request();
        front_.beginShutdown();
        QTimer::singleShot(kCloseRetryMs, this, &MainWindow::close);
        return;
    }
    closeInOrder();
    event->accept();
    emit closeFinished();
}

}  // namespace korvanel::ui
