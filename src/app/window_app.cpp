#include "app/window_app.h"

#include <QtWidgets/QApplication>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/headless_app.h"
#include "platform/termination_signals.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "settings/window_state.h"
#include "texts.h"
#include "ui/main/main_window.h"
#include "ui/main/theme.h"
#include "ui/main/window_pages.h"
#include "ui/qt_front_end.h"
#include "ui/widgets/skin_button.h"

namespace korvanel {

namespace {

// The termination signals close the window as its close button does.
void CloseOnTerminationSignal(ui::MainWindow& window) {
    std::thread waiter([&window] {
        WaitForTerminationSignal();
        QMetaObject::invokeMethod(
            &window, [&window] { window.close(); }, Qt::QueuedConnection);
    });
    waiter.detach();  // it ends with the process
}

}  // namespace

int RunWindowProgram(int argc, char** argv) {
    BlockTerminationSignals();
    IgnoreBrokenPipe();
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(ui::ThemePalette(ui::StartupTheme()));
    ui::RegisterPictures();
    QApplication::setWindowIcon(QIcon(":/icons/korvanel-128.png"));

    // Both outlive every core thread, so they are never freed.
    auto* front = new ui::QtFrontEnd;
    auto* rt = new Runtime(*front, ".");
    if (!LoadConfigurationAtStart(*rt)) return kExitBadConfiguration;
    front->setSaveAction([rt] { SaveConfiguration(*rt); });

    auto* window = new ui::MainWindow(*rt, *front);
    app.setQuitOnLastWindowClosed(false);  // the tray may hide the window; the close quits
    QObject::connect(window, &ui::MainWindow::closeFinished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    ui::InstallWindowPages(*window, *rt);
    window->restorePlacement(ReadWindowState(*rt));
    window->show();
    window->initialise();
    CloseOnTerminationSignal(*window);

    int status = app.exec();
    if (!window->closed()) {
        // A thread failure cut the close short: threads may still run, so end at once.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    delete window;
    return status;
}

}  // namespace korvanel
