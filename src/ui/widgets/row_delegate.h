// Draws the rows of the four list views: the background (for selected rows a light fill of
// the theme's highlight edged in the highlight itself,
// a pale blue for odd rows, the base colour otherwise), each cell's text in the colour its
// model gives, the in-use mark at the left of a marked cell, and a focus frame around the
// whole focused row.
#pragma once

#include <QtGui/QColor>
#include <QtWidgets/QStyledItemDelegate>

namespace korvanel::ui {

// A cell that shows the in-use mark answers true for this role.
inline constexpr int kInUseMarkRole = Qt::UserRole + 1;
inline constexpr QColor kOddRowColour{240, 248, 255};
inline constexpr int kRowHeight = 22;

class RowDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The in-use mark (21 x 21), shared by the four lists.
const QPixmap& InUseMark();

}  // namespace korvanel::ui
