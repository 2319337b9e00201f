#include "ui/widgets/skin_button.h"

#include <QtGui/QPainter>
#include <array>

#include "texts.h"

namespace korvanel::ui {

namespace {

// What each picture of the two sheets shows, by column: the name a screen reader speaks.
// The large buttons are known by their tool tips (the settings button has none).
constexpr std::array<const char*, 4> kLargeNames = {text::kTipStart, text::kTipStop, text::kTipTray,
                                                    text::kSettingsButtonName};
constexpr std::array<const char*, 4> kLargeDescriptions = {
    text::kStartButtonPicture, text::kStopButtonPicture, text::kTrayButtonPicture,
    text::kSettingsButtonPicture};
constexpr std::array<const char*, 4> kSmallNames = {text::kRegisterButtonName,
                                                    text::kDeleteButtonName, text::kBulkButtonName,
                                                    text::kCheckButtonName};

void NameByPicture(QAbstractButton& button, int column_x, QSize cell) {
    std::size_t column = static_cast<std::size_t>(column_x / cell.width());
    bool large = cell == kLargeButtonCell;
    if (column >= kLargeNames.size()) return;
    button.setAccessibleName(QString::fromUtf8(large ? kLargeNames[column] : kSmallNames[column]));
    if (large) button.setAccessibleDescription(QString::fromUtf8(kLargeDescriptions[column]));
}

}  // namespace

SkinButton::SkinButton(const QPixmap& sheet, int column_x, QSize cell, QWidget* parent)
    : QAbstractButton(parent), sheet_(sheet), column_x_(column_x), cell_(cell) {
    setFixedSize(cell);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    NameByPicture(*this, column_x, cell);
}

void SkinButton::setLatched(bool latched) {
    if (latched_ == latched) return;
    latched_ = latched;
    update();
}

SkinButton::Row SkinButton::row() const {
    // Large sheets have a latched row; small ones are never latched.
    if (latched_ && sheet_.height() >= 4 * cell_.height()) return Row::kLatched;
    if (isDown()) return Row::kPressed;
    if (hovered_) return Row::kHover;
    return Row::kNormal;
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    int y = static_cast<int>(row()) * cell_.height();
    painter.drawPixmap(QPoint(0, 0), sheet_, QRect(QPoint(column_x_, y), cell_));
}

void SkinButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

const QPixmap& LargeButtonSheet() {
    RegisterPictures();
    static const QPixmap sheet(":/pictures/large_buttons.png");
    return sheet;
}

const QPixmap& SmallButtonSheet() {
    RegisterPictures();
    static const QPixmap sheet(":/pictures/small_buttons.png");
    return sheet;
}

}  // namespace korvanel::ui

// The pictures are compiled into this static library; its resources must be registered
// before the first picture is loaded.
static void InitialisePictures() {
    Q_INIT_RESOURCE(korvanel);
}

namespace korvanel::ui {
void RegisterPictures() {
    static bool registered = (InitialisePictures(), true);
    (void)registered;
}
}  // namespace korvanel::ui
