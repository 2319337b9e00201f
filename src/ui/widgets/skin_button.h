// An image button drawn from a skin sheet: one column per button, one row per state.
// Large buttons have four rows (normal, hover, pressed, latched), small ones three (normal,
// hover, pressed; never latched).
//
// A click runs only when the button is released over the button it was pressed on: moving
// off while pressed draws it normal again, and a release elsewhere runs nothing.
#pragma once

#include <QtGui/QPixmap>
#include <QtWidgets/QAbstractButton>

namespace korvanel::ui {

class SkinButton : public QAbstractButton {
    Q_OBJECT
  public:
    enum class Row { kNormal = 0, kHover = 1, kPressed = 2, kLatched = 3 };

    // `column_x` is the x of the button's column in `sheet`; cells are `cell` in size.
    SkinButton(const QPixmap& sheet, int column_x, QSize cell, QWidget* parent = nullptr);

    void setLatched(bool latched);
    bool latched() const { return latched_; }
    // The row drawn now.
    Row row() const;

    QSize sizeHint() const override { return cell_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QPixmap sheet_;
    int column_x_;
    QSize cell_;
    bool latched_ = false;
    bool hovered_ = false;
};

// The two skin sheets of the window, loaded once from the program's resources.
const QPixmap& LargeButtonSheet();
const QPixmap& SmallButtonSheet();
// Registers the compiled-in pictures (once; before any of them is loaded).
void RegisterPictures();
inline constexpr QSize kLargeButtonCell{60, 60};
inline constexpr QSize kSmallButtonCell{82, 30};

}  // namespace korvanel::ui
