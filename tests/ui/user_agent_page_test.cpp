// The User-Agent page driven as a user would: typing and the register button, the context
// menu, double clicks, deletes and header clicks; each change checked in Settings, the
// view's marks, the status log and the status bar.
#include "ui/pages/user_agent_page.h"

#include <QtTest/QtTest>
#include <QtWidgets/QLineEdit>

#include "support/list_page_fixture.h"
#include "texts.h"

using namespace korvanel;
using namespace korvanel::testing;

class UserAgentPageTest : public QObject {
    Q_OBJECT
  private:
    using Fixture = ListPageFixture<ui::UserAgentPage>;
    std::unique_ptr<Fixture> f_;

    // The list's texts in order, joined by ",".
    QString Rows() {
        QStringList out;
        Hold hold(f_->rt.locks.settings);
        for (const UserAgentEntry& row : f_->rt.settings.user_agents.rows) {
            out << QString::fromStdString(row.text.str());
        }
        return out.join(',');
    }
    QString Marks() {
        QStringList out;
        for (int row : MarkedRows(f_->page.model())) out << QString::number(row);
        return out.join(',');
    }
    // Runs steps such as "u1 x0": "u" use, "s" stop using and "x" delete, each from the
    // context menu of the row given; "d" a double click on the row; "h" a click on the
    // header section given.
    void Run(const QString& steps) {
        ui::ReportView* view = f_->page.view();
        for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
            int at = step.mid(1).toInt();
            switch (step[0].toLatin1()) {
                case 'u':
                    ChooseFromMenu(view, at, text::kMenuEnable);
                    break;
                case 's':
                    ChooseFromMenu(view, at, text::kMenuDisable);
                    break;
                case 'x':
                    ChooseFromMenu(view, at, text::kMenuDelete);
                    break;
                case 'd':
                    DoubleClickRow(view, at);
                    break;
                case 'h':
                    ClickHeader(view, at);
                    break;
                default:
                    QFAIL("unknown step");
            }
        }
    }

  private slots:
    void initTestCase() { Q_INIT_RESOURCE(korvanel); }
    void init() { f_ = std::make_unique<Fixture>(); }
    void cleanup() { f_.reset(); }

    void addTakesOrRefuses_data() {
        QTest::addColumn<int>("already");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("taken") << 0 << "Mozilla/5.0 (X11)"
                               << "";
        QTest::newRow("a colon") << 0 << "Agent: x" << text::kUserAgentFormatRefusal;
        QTest::newRow("0 alone") << 0 << "0" << text::kUserAgentFormatRefusal;
        QTest::newRow("the list full")
            << kUserAgentCapacity << "late/1" << text::kUserAgentLimitRefusal;
    }
    void addTakesOrRefuses() {
        QFETCH(int, already);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        for (int i = 0; i < already; ++i) {
            UserAgentEntry row;
            row.text = "agent/" + std::to_string(i);
            f_->rt.settings.user_agents.rows.push_back(row);
        }
        f_->page.rebuild();
        f_->add(typed);
        if (refusal.isEmpty()) {
            QCOMPARE(Rows(), typed);
            QCOMPARE(f_->cell(0, 1), typed);
            QVERIFY(f_->page.textEdit()->text().isEmpty());
            QCOMPARE(f_->page.view()->firstSelectedRow(), 0);
            QCOMPARE(QString::fromStdString(f_->lastStatusLine()),
                     typed + ":" + text::kUserAgentAdded + "\r\n");
            QVERIFY(f_->front.messages().empty());
        } else {
            QCOMPARE(f_->front.messages().size(), 1u);
            QCOMPARE(QString::fromStdString(f_->front.messages()[0].second), refusal);
            QCOMPARE(f_->page.textEdit()->text(), typed);
            QCOMPARE(f_->page.model()->rowCount(), already);
            QCOMPARE(f_->rt.settings.user_agents.size(), already);
        }
    }

    // From the rows "b/1", "C/2", "a/3": at most one row is in use, its text is `agent`
    // and the status bar names it; the view's mark follows the list through deletes and
    // sorts.
    void useStopDeleteAndSort_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("agent");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<QString>("line");
        const QString set = QString(text::kUserAgentSet) + ":";
        const QString released = QString(text::kUserAgentReleased) + ": ";
        const QString deleted = QString(text::kUserAgentDeleted) + ":..";
        const QString added = QString("a/3:") + text::kUserAgentAdded;
        QTest::newRow("use") << "u1"
                             << "b/1,C/2,a/3"
                             << "C/2"
                             << "1" << set + "C/2";
        QTest::newRow("use moves the mark") << "u0 u2"
                                            << "b/1,C/2,a/3"
                                            << "a/3"
                                            << "2" << set + "a/3";
        QTest::newRow("double clicks use and stop") << "d1 d1"
                                                    << "b/1,C/2,a/3"
                                                    << ""
                                                    << "" << released;
        QTest::newRow("stop using") << "u0 s0"
                                    << "b/1,C/2,a/3"
                                    << ""
                                    << "" << released;
        QTest::newRow("delete the row in use") << "u1 x1"
                                               << "b/1,a/3"
                                               << ""
                                               << "" << deleted;
        QTest::newRow("delete another row") << "u2 x0"
                                            << "C/2,a/3"
                                            << "a/3"
                                            << "1" << deleted;
        QTest::newRow("sort by text") << "h1"
                                      << "C/2,a/3,b/1"
                                      << ""
                                      << "" << added;
        QTest::newRow("sort by text again") << "h1 h1"
                                            << "b/1,a/3,C/2"
                                            << ""
                                            << "" << added;
        QTest::newRow("sort the row in use first") << "u2 h2"
                                                   << "a/3,b/1,C/2"
                                                   << "a/3"
                                                   << "0" << set + "a/3";
    }
    void useStopDeleteAndSort() {
        QFETCH(QString, steps);
        QFETCH(QString, rows);
        QFETCH(QString, agent);
        QFETCH(QString, marks);
        QFETCH(QString, line);
        for (const char* row : {"b/1", "C/2", "a/3"}) f_->add(row);
        std::string before = f_->front.status_bar(kUserAgentStatusPart);
        Run(steps);
        QCOMPARE(Rows(), rows);
        QCOMPARE(QString::fromStdString(f_->rt.settings.agent.str()), agent);
        QCOMPARE(Marks(), marks);
        for (int row = 0; row < f_->page.model()->rowCount(); ++row) {
            QCOMPARE(f_->cell(row, 1), rows.split(',')[row]);
        }
        QCOMPARE(QString::fromStdString(f_->lastStatusLine()), line + "\r\n");
        std::string bar = f_->front.status_bar(kUserAgentStatusPart);
        if (!agent.isEmpty()) {
            QCOMPARE(QString::fromStdString(bar), text::kStatusBarUserAgent + agent);
        } else if (steps.contains('u') || steps.contains('d')) {
            QCOMPARE(bar, std::string(text::kStatusBarNoUserAgent));
        } else {
            QCOMPARE(bar, before);
        }
    }
};

QTEST_MAIN(UserAgentPageTest)
#include "user_agent_page_test.moc"
