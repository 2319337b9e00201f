// The main window's place and size over restarts on a real X server with a window manager
// (openbox), which frames the window a moment after it is shown: a start and a close with
// nothing changed leave the stored outer rectangle as it was, and a moved and resized window
// reopens where it was left.
#include <QtTest/QtTest>
#include <memory>
#include <string>

#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "settings/window_state.h"
#include "support/temp_dir.h"
#include "ui/main/main_window.h"
#include "ui/qt_front_end.h"
#include "ui/widgets/skin_button.h"

using namespace korvanel;
using namespace korvanel::testing;

namespace {

std::string WithWindowInfo(const std::string& info) {
    std::string data = DefaultConfigurationText();
    const std::string section = ":WINDOW_INFO\r\n";
    auto value = data.find(section) + section.size();
    return data.replace(value, data.find("\r\n", value) - value, info);
}

std::string StoredWindowInfo(const TempDir& dir) {
    std::string data = ReadFile(dir.file("data"));
    const std::string section = ":WINDOW_INFO\r\n";
    auto value = data.find(section) + section.size();
    return data.substr(value, data.find("\r\n", value) - value);
}

// One run of the window program in `dir`: read `data`, place and show the window as the
// program does, let the window manager frame it, run `change`, close in order.
class Run {
  public:
    explicit Run(const TempDir& dir) : rt_(front_, dir.path()) {
        if (ReadConfiguration(rt_) != 1) throw std::runtime_error("data rejected");
        front_.setSaveAction([this] { SaveConfiguration(rt_); });
        window_ = std::make_unique<ui::MainWindow>(rt_, front_);
        window_->restorePlacement(ReadWindowState(rt_));
        window_->show();
        window_->initialise();
    }
    ~Run() {
        if (!window_->closed()) window_->closeInOrder();
    }
    ui::MainWindow& window() { return *window_; }
    Runtime& rt() { return rt_; }

  private:
    ui::QtFrontEnd front_;
    Runtime rt_;
    std::unique_ptr<ui::MainWindow> window_;
};

bool Framed(QWidget& window) {
    return window.frameGeometry() != window.geometry();
}

}  // namespace

class WindowFrameTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { ui::RegisterPictures(); }

    void unchangedRestartsKeepTheStoredRectangle_data() {
        QTest::addColumn<QString>("info");
        QTest::newRow("the default place") << "920:700:450:10:10";
        QTest::newRow("elsewhere, larger") << "1000:720:500:180:30";
        QTest::newRow("below the minimum size is raised once") << "700:500:378:40:40";
    }
    void unchangedRestartsKeepTheStoredRectangle() {
        QFETCH(QString, info);
        TempDir dir;
        WriteFile(dir.file("data"), WithWindowInfo(info.toStdString()));
        std::string expected;
        for (int start = 0; start < 3; ++start) {
            Run run(dir);
            QTRY_VERIFY(Framed(run.window()));
            QTest::qWait(300);  // whatever the window manager still sends
            run.window().closeInOrder();
            std::string stored = StoredWindowInfo(dir);
            if (start == 0) expected = stored;
            QCOMPARE(QString::fromStdString(stored), QString::fromStdString(expected));
        }
        if (!info.startsWith("700")) QCOMPARE(QString::fromStdString(expected), info);
    }

    void aMovedAndResizedWindowReopensWhereItWasLeft() {
        TempDir dir;
        WriteFile(dir.file("data"), WithWindowInfo("920:700:450:10:10"));
        QRect left;
        {
            Run run(dir);
            QTRY_VERIFY(Framed(run.window()));
            QTest::qWait(200);
            run.window().move(150, 60);
            run.window().resize(980, 640);
            QTRY_COMPARE(run.window().frameGeometry().topLeft(), QPoint(150, 60));
            QTest::qWait(300);
            left = run.window().frameGeometry();
            run.window().closeInOrder();
        }
        Run again(dir);
        QTRY_VERIFY(Framed(again.window()));
        QTRY_COMPARE(again.window().frameGeometry(), left);
        QCOMPARE(again.window().splitPos(), 450);
    }
};

QTEST_MAIN(WindowFrameTest)
#include "window_frame_test.moc"
