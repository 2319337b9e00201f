// The window's pixel rules at their limits.
#include "ui/main/main_layout.h"

#include <QtTest/QtTest>

using namespace korvanel::ui;

class MainLayoutTest : public QObject {
    Q_OBJECT
  private slots:
    void upperHeightStaysBetweenItsLimits_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("stored");
        QTest::newRow("too high: at least 300 above") << 640 << 100 << 378;
        QTest::newRow("in range") << 640 << 400 << 400;
        QTest::newRow("too low: 220 left below") << 640 << 700 << 640 - 220 + 78;
        QTest::newRow("small window: the lower limit wins") << 480 << 378 << 480 - 220 + 78;
    }
    void upperHeightStaysBetweenItsLimits() {
        QFETCH(int, height);
        QFETCH(int, asked);
        QFETCH(int, stored);
        MainLayout layout = ComputeMainLayout(900, height, 24, asked);
        QCOMPARE(layout.split_pos, stored);
        int upper = stored - kSplitOffset;
        QCOMPARE(layout.upper_tabs, QRect(2, 74, 897, upper));
        QCOMPARE(layout.lower_tabs, QRect(2, upper + 86, 897, height - 24 - upper - 86));
        QCOMPARE(layout.status_bar, QRect(0, height - 24, 900, 24));
    }

    void statusPartsEndAtTheirRightEdges() {
        auto edges = ComputeMainLayout(1000, 700, 22, 400).status_part_right;
        QCOMPARE(edges, (std::array<int, 4>{340, 680, 840, 1000}));
    }

    void dividerAnswersOnlyRightOfItsEdgeAndInsideItsBand_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("over");
        QTest::newRow("left edge itself") << 154 << 410 << false;
        QTest::newRow("just right of it") << 155 << 410 << true;
        QTest::newRow("on split_pos") << 500 << 400 << false;
        QTest::newRow("last pixel of the band") << 500 << 419 << true;
        QTest::newRow("below the band") << 500 << 420 << false;
    }
    void dividerAnswersOnlyRightOfItsEdgeAndInsideItsBand() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, over);
        QCOMPARE(IsOverDivider(x, y, 400), over);
    }

    void dragStopsAt370AndLeaves220Below_data() {
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("split");
        QTest::newRow("above the top") << 10 << 370;
        QTest::newRow("at 369") << 369 << 370;
        QTest::newRow("in range") << 450 << 450;
        QTest::newRow("near the bottom") << 690 << 700 - 220;
    }
    void dragStopsAt370AndLeaves220Below() {
        QFETCH(int, y);
        QFETCH(int, split);
        QCOMPARE(DraggedSplitPos(y, 700), split);
    }
};

QTEST_APPLESS_MAIN(MainLayoutTest)
#include "main_layout_test.moc"
