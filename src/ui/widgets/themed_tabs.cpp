#include "ui/widgets/themed_tabs.h"

#include <QtGui/QPainter>

namespace korvanel::ui {

void ThemedTabBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    for (int i = 0; i < count(); ++i) {
        QRect tab = tabRect(i).adjusted(0, 0, -1, -1);
        bool selected = i == currentIndex();
        painter.setPen(colours.color(QPalette::WindowText));
        painter.setBrush(colours.color(selected ? QPalette::Highlight : QPalette::Window));
        painter.drawRect(tab);
        painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::WindowText));
        painter.drawText(tab, Qt::AlignCenter, tabText(i));
    }
}

QSize ThemedTabBar::tabSizeHint(int index) const {
    QSize size = QTabBar::tabSizeHint(index);
    return QSize(size.width() + 12, std::max(size.height(), 24));
}

ThemedTabWidget::ThemedTabWidget(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new ThemedTabBar(this));
    setDocumentMode(false);
}

}  // namespace korvanel::ui
