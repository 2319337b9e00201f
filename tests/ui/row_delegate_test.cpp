// The list rows as drawn: a selected row keeps every column's text readable in every theme.
#include <QtTest/QtTest>

#include "settings/config_file.h"
#include "support/window_fixture.h"
#include "ui/main/theme.h"
#include "ui/pages/header_rule_page.h"
#include "ui/pages/proxy_page.h"
#include "ui/pages/user_agent_page.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/themed_tabs.h"

using namespace korvanel;
using namespace korvanel::testing;

namespace {

// Rows of every kind and action, so that every text colour the lists use is on screen.
std::string DataWithEveryRowKind(const std::string& theme) {
    std::string data = DefaultConfigurationText();
    auto put = [&data](const std::string& section, const std::string& rows) {
        auto at = data.find(section + "\r\n");
        data.insert(at + section.size() + 2, rows);
    };
    put(":USER_AGENT_LIST", "Agent/1.0:0\r\nAgent/2.0:1\r\n");
    put(":PROXY_LIST",
        "120:9:1:anon.example:3128\r\n35:6:0:plain.example:8080\r\n"
        "0:0:0:new.example:80\r\n0:1:0:odd.example:80\r\n0:3:0:dead.example:80\r\n");
    put(":SEND_HEADER_LIST", "1:0:X-Add:one\r\n0:1:X-Remove:two\r\n1:2:X-Change:three\r\n");
    put(":RECV_HEADER_LIST", "1:2:Server:none\r\n");
    const std::string colour = ":KORVANEL_COLOR\r\n";
    auto value = data.find(colour) + colour.size();
    return data.replace(value, data.find("\r\n", value) - value, theme);
}

ui::ReportView* ViewOfPage(QWidget* page) {
    if (auto* p = qobject_cast<ui::ProxyPage*>(page)) return p->view();
    if (auto* p = qobject_cast<ui::UserAgentPage*>(page)) return p->view();
    if (auto* p = qobject_cast<ui::HeaderRulePage*>(page)) return p->view();
    return nullptr;
}

}  // namespace

class RowDelegateTest : public QObject {
    Q_OBJECT
  private slots:
    void selectedRowsKeepTheirTextReadable_data() {
        QTest::addColumn<QString>("theme");
        for (const char* name : {"DEFAULT", "BLACK", "WHITE", "BLUE", "GREEN"}) {
            QTest::newRow(name) << name;
        }
    }
    void selectedRowsKeepTheirTextReadable() {
        QFETCH(QString, theme);
        WindowFixture f(DataWithEveryRowKind(theme.toStdString()), true);
        ui::ThemedTabWidget* tabs = f.window().upperTabs();
        int cells = 0;
        for (int page = 0; page < 4; ++page) {
            tabs->setCurrentIndex(page);
            ui::ReportView* view = ViewOfPage(tabs->widget(page));
            QVERIFY(view != nullptr);
            view->selectAll();
            QImage shot = view->viewport()->grab().toImage();
            QAbstractItemModel* model = view->model();
            for (int row = 0; row < model->rowCount(); ++row) {
                for (int column = 1; column < model->columnCount(); ++column) {
                    QModelIndex index = model->index(row, column);
                    if (index.data(Qt::DisplayRole).toString().isEmpty()) continue;
                    QVariant given = index.data(Qt::ForegroundRole);
                    QColor text = given.isValid() ? given.value<QColor>() : QColor(Qt::black);
                    QRect cell = view->visualRect(index);
                    // Right of the text's margin, below the row's edge: only the fill.
                    QColor fill = shot.pixelColor(cell.right() - 2, cell.center().y());
                    QVERIFY2(ui::ContrastRatio(text, fill) >= 4.5,
                             qPrintable(QString("page %1 row %2 column %3: %4 on %5")
                                            .arg(page)
                                            .arg(row)
                                            .arg(column)
                                            .arg(text.name(), fill.name())));
                    ++cells;
                }
            }
        }
        QVERIFY2(cells >= 25, qPrintable(QString::number(cells)));
    }
};

QTEST_MAIN(RowDelegateTest)
#include "row_delegate_test.moc"
