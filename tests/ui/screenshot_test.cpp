// The real window on a real X server (Xvfb): a screenshot of it in every theme, kept in
// build/screenshots/ for the README, and a check that its Japanese texts are drawn with real
// glyphs. A missing CJK font draws every such character as the same empty box, so two
// different characters would give the same pixels.
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtTest/QtTest>
#include <QtWidgets/QLabel>

#include <set>

#include "support/window_fixture.h"
#include "texts.h"
#include "ui/log_pane.h"
#include "ui/skin_button.h"
#include "ui/themed_tabs.h"

using namespace korvanel;
using namespace korvanel::testing;

namespace {

QImage DrawCharacter(const QFont& font, QChar c) {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, QString(c));
    return image;
}

QString ScreenshotDir() { return QStringLiteral(KORVANEL_BINARY_DIR "/screenshots"); }

}  // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "run under Xvfb (xvfb-run)");
        QDir().mkpath(ScreenshotDir());
    }

    void japaneseCharactersHaveGlyphsOfTheirOwn() {
        WindowFixture f;
        const QString texts = QString::fromUtf8(text::kPageProxies) + text::kPaneHeaderPairs +
                              text::kCaptionBlocked + text::kStatusBarNoUserAgent +
                              text::kMenuSetInBrowser;
        std::set<QByteArray> seen;
        std::set<QChar> characters;
        for (QChar c : texts) {
            if (c.unicode() < 0x3000 || !characters.insert(c).second) continue;
            QImage glyph = DrawCharacter(f.window().font(), c);
            QByteArray pixels(reinterpret_cast<const char*>(glyph.constBits()), glyph.sizeInBytes());
            QVERIFY2(seen.insert(pixels).second,
                     qPrintable(QString("'%1' looks like another character").arg(c)));
        }
        QVERIFY(characters.size() > 20);
    }

    void everyThemeOnScreen_data() {
        QTest::addColumn<QString>("theme");
        for (const char* name : {"DEFAULT", "BLACK", "WHITE", "BLUE", "GREEN"}) {
            QTest::newRow(name) << name;
        }
    }
    void everyThemeOnScreen() {
        QFETCH(QString, theme);
        WindowFixture f;
        ui::MainWindow& w = f.window();
        w.move(0, 0);
        w.applyTheme(theme.toStdString());
        QTest::mouseClick(w.startButton(), Qt::LeftButton);
        w.lowerTabs()->setCurrentIndex(4);  // the command log, with the start line
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(400);
        QImage shot = w.screen()->grabWindow(0, 0, 0, w.frameGeometry().width(),
                                             w.frameGeometry().height()).toImage();
        QVERIFY(shot.save(ScreenshotDir() + "/main_window_" + theme.toLower() + ".png"));
        // The command area shows the theme's background.
        QColor background = shot.pixelColor(w.clientArea()->mapTo(&w, QPoint(400, 3)) +
                                            QPoint(0, w.clientArea()->y() - w.clientArea()->y()));
        QCOMPARE(background, w.theme().background);
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
