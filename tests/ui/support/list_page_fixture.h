// What the list page tests share: a page over a runtime in a fresh folder, shown at a size
// where its rows can be clicked, and the clicks a user makes on a list view.
#pragma once

#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/row_delegate.h"
#include "ui/widgets/skin_button.h"
#include "ui_runtime.h"

namespace korvanel::testing {

// Clicks a section of the view's header.
inline void ClickHeader(ui::ReportView* view, int column) {
    QHeaderView* header = view->horizontalHeader();
    int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

inline QPoint RowPoint(ui::ReportView* view, int row) {
    return view->visualRect(view->model()->index(row, 1)).center();
}

// A double click as the user makes it: a click, then the second press.
inline void DoubleClickRow(ui::ReportView* view, int row) {
    QPoint at = RowPoint(view, row);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

// Right-clicks `row` and chooses the menu item `item` once the menu is up.
inline void ChooseFromMenu(ui::ReportView* view, int row, const QString& item) {
    QTimer::singleShot(0, [item] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text() == item) action->trigger();
        }
        menu->close();
    });
    QPoint at = RowPoint(view, row);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
}

// The rows whose last column shows the in-use mark.
inline std::vector<int> MarkedRows(const QAbstractItemModel* model) {
    std::vector<int> marked;
    int column = model->columnCount() - 1;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, column).data(ui::kInUseMarkRole).toBool()) marked.push_back(row);
    }
    return marked;
}

// A page of a list with a row in use, shown over a runtime of its own.
template <typename Page>
struct ListPageFixture {
    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt{front, dir.path()};
    Page page{rt};

    ListPageFixture() {
        page.resize(700, 400);
        page.show();
        page.rebuild();
    }

    // Typed into the entry field and registered.
    void add(const QString& row) {
        Type(page.edit(), row);
        QTest::mouseClick(page.registerButton(), Qt::LeftButton);
    }
    QString cell(int row, int column) const {
        return page.model()->index(row, column).data().toString();
    }
    std::string lastStatusLine() const {
        std::string pane = front.pane(Pane::kStatus);
        if (pane.size() < 2) return {};
        std::size_t start = pane.rfind("\r\n", pane.size() - 3);
        return pane.substr(start == std::string::npos ? 0 : start + 2);
    }
};

}  // namespace korvanel::testing
