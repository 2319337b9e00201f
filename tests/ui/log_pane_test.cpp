// A log pane that takes its text in bulk: the same text as one that appends every piece at
// once, and document edits only while shown, one per refresh rather than one per piece.
#include "ui/main/log_pane.h"

#include <QtTest/QtTest>

using korvanel::ui::LogPane;

namespace {

// Log-like pieces of a few lines each, of varied lengths (some longer than the limit).
QStringList Pieces(int count) {
    QStringList pieces;
    quint32 seed = 7;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        QString piece;
        int lines = 1 + static_cast<int>(seed >> 28) % 4;
        for (int l = 0; l < lines; ++l) {
            piece += QString("%1 GET /%2 ").arg(i).arg(l) +
                     QString(static_cast<int>((seed >> (8 + l)) % 60), QChar(u'あ' + l)) + "\r\n";
        }
        pieces << piece;
    }
    return pieces;
}

// Counts the edits of a pane's document (one per change the views must take in).
struct EditCounter {
    explicit EditCounter(LogPane& pane) {
        QObject::connect(pane.document(), &QTextDocument::contentsChange,
                         [this](int, int, int) { ++edits; });
    }
    int edits = 0;
};

}  // namespace

class LogPaneTest : public QObject {
    Q_OBJECT
  private slots:
    void deferredTextIsWhatEachAppendGives_data() {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("cap");
        QTest::addColumn<int>("applyEvery");
        QTest::newRow("applied after each piece") << 400 << 0 << 1;
        QTest::newRow("a few pieces per apply") << 400 << 0 << 3;
        QTest::newRow("pieces past the whole pane per apply") << 400 << 0 << 40;
        QTest::newRow("pieces longer than the pane") << 120 << 0 << 5;
        QTest::newRow("the cap below the limit decides") << 1000 << 300 << 7;
        QTest::newRow("no limit") << 0 << 0 << 9;
    }
    void deferredTextIsWhatEachAppendGives() {
        QFETCH(int, limit);
        QFETCH(int, cap);
        QFETCH(int, applyEvery);
        LogPane at_once, deferred;
        deferred.setDeferred(true);
        at_once.setCharacterLimit(static_cast<std::size_t>(cap));
        deferred.setCharacterLimit(static_cast<std::size_t>(cap));
        const QStringList pieces = Pieces(200);
        for (int i = 0; i < pieces.size(); ++i) {
            at_once.appendTrimmed(pieces[i], static_cast<std::size_t>(limit));
            deferred.appendTrimmed(pieces[i], static_cast<std::size_t>(limit));
            QCOMPARE(deferred.characters(), at_once.characters());
            if ((i + 1) % applyEvery == 0) {
                deferred.applyPending();
                QCOMPARE(deferred.toPlainText(), at_once.toPlainText());
            }
        }
        deferred.applyPending();
        QCOMPARE(deferred.toPlainText(), at_once.toPlainText());
        QVERIFY(deferred.toPlainText().endsWith(QString(pieces.last()).remove('\r')));
    }

    void hiddenPaneEditsNothingUntilShown() {
        LogPane reference, pane;
        pane.setDeferred(true);
        EditCounter counter(pane);
        for (const QString& piece : Pieces(300)) {
            reference.appendTrimmed(piece, 500);
            pane.appendTrimmed(piece, 500);
        }
        QTest::qWait(3 * LogPane::kRefreshMs);
        QCOMPARE(counter.edits, 0);
        QVERIFY(pane.toPlainText().isEmpty());
        pane.show();  // what a tab switch does: the text is there when it is drawn
        QVERIFY(!pane.hasPending());
        QCOMPARE(pane.toPlainText(), reference.toPlainText());
    }

    void shownPaneTakesManyPiecesInOneEdit() {
        LogPane pane;
        pane.setDeferred(true);
        pane.show();
        EditCounter counter(pane);
        const QStringList pieces = Pieces(300);
        for (const QString& piece : pieces) pane.appendTrimmed(piece, 5000);
        QCOMPARE(counter.edits, 0);
        QTRY_VERIFY(!pane.hasPending());
        QVERIFY2(counter.edits <= 2, QByteArray::number(counter.edits));
        QVERIFY(pane.toPlainText().endsWith(QString(pieces.last()).remove('\r')));
        QVERIFY(pane.characters() < 5000);
    }
};

QTEST_MAIN(LogPaneTest)
#include "log_pane_test.moc"
