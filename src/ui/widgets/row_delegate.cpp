#include "ui/widgets/row_delegate.h"

#include <QtGui/QPainter>
#include <QtWidgets/QAbstractItemView>

#include "ui/main/theme.h"

namespace korvanel::ui {

namespace {

constexpr int kTextMargin = 4;
constexpr int kSelectedEdge = 2;

bool IsFocusedRow(const QStyleOptionViewItem& option, const QModelIndex& index) {
    auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    return view != nullptr && view->hasFocus() && view->currentIndex().isValid() &&
           view->currentIndex().row() == index.row();
}

// The part of the row's frame that falls into this cell: top and bottom everywhere, the
// left edge in the first visible column and the right edge in the last.
void DrawFocusFrame(QPainter* painter, const QStyleOptionViewItem& option,
                    const QModelIndex& index) {
    QRect r = option.rect.adjusted(0, 0, -1, -1);
    QPen pen(option.palette.color(QPalette::Text), 1, Qt::DotLine);
    painter->save();
    painter->setPen(pen);
    painter->drawLine(r.topLeft(), r.topRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    if (index.column() == 1) painter->drawLine(r.topLeft(), r.bottomLeft());
    if (index.column() == index.model()->columnCount() - 1) {
        painter->drawLine(r.topRight(), r.bottomRight());
    }
    painter->restore();
}

}  // namespace

const QPixmap& InUseMark() {
    static const QPixmap mark(QStringLiteral(":/pictures/in_use.png"));
    return mark;
}

void RowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    QColor background = option.palette.color(QPalette::Base);
    bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        background = SelectedRowFill(option.palette.color(QPalette::Highlight));
    } else if (index.row() % 2 == 1) {
        background = kOddRowColour;
    }
    painter->fillRect(option.rect, background);
    if (selected) {
        // The light fill alone is close to the base: the theme's own fill edges the row.
        QRect r = option.rect;
        QColor edge = option.palette.color(QPalette::Highlight);
        painter->fillRect(QRect(r.left(), r.top(), r.width(), kSelectedEdge), edge);
        painter->fillRect(QRect(r.left(), r.bottom() - kSelectedEdge + 1, r.width(), kSelectedEdge),
                          edge);
    }

    if (index.data(kInUseMarkRole).toBool()) {
        const QPixmap& mark = InUseMark();
        int y = option.rect.top() + (option.rect.height() - mark.height()) / 2;
        painter->drawPixmap(option.rect.left() + 1, y, mark);
    }
    QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
        QVariant colour = index.data(Qt::ForegroundRole);
        painter->save();
        painter->setPen(colour.isValid() ? colour.value<QColor>() : QColor(Qt::black));
        QRect area = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
        QString shown = option.fontMetrics.elidedText(text, Qt::ElideRight, area.width());
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
        painter->restore();
    }
    if (IsFocusedRow(option, index)) DrawFocusFrame(painter, option, index);
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {size.width(), kRowHeight};
}

}  // namespace korvanel::ui
