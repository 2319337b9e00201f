// The group "設定２" of the Config dialog: who may connect (this machine only, or clients of
// an address range) and the listening port. Both are stored at once and used from the next
// server start, which the messages say.
#pragma once

#include <QtWidgets/QGroupBox>

class QAbstractButton;
class QLineEdit;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ActionRadio;
class SkinButton;

// The range edits take a little more than an end holds, so that a too long end is refused
// with a message.
inline constexpr int kRangeEditMaxLength = 31;
inline constexpr int kPortEditMaxLength = 9;

class AccessAndPortGroup : public QGroupBox {
  public:
    AccessAndPortGroup(Runtime& rt, QWidget* parent = nullptr);

    QAbstractButton* localRadio() const;
    QAbstractButton* rangeRadio() const;
    QLineEdit* rangeStartEdit() const { return range_start_; }
    QLineEdit* rangeEndEdit() const { return range_end_; }
    QAbstractButton* rangeButton() const;
    QLineEdit* portEdit() const { return port_; }
    QAbstractButton* portButton() const;

  private:
    void build();
    void fill();
    void localClicked();
    void rangeClicked();
    void rangeRegistered();
    void portRegistered();
    void selectRange(bool range);

    Runtime& rt_;
    ActionRadio* local_ = nullptr;
    ActionRadio* range_ = nullptr;
    QLineEdit* range_start_ = nullptr;
    QLineEdit* range_end_ = nullptr;
    SkinButton* range_button_ = nullptr;
    QLineEdit* port_ = nullptr;
    SkinButton* port_button_ = nullptr;
};

}  // namespace korvanel::ui
