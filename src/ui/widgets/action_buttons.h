// Radio buttons and check boxes whose click runs an action before they change. A click (the
// mouse pressed and released over the same control, or the space key) only emits
// `clicked`; the page runs its command and then sets the state itself, so a command that
// fails leaves the control as it was. Radios are not auto-exclusive: the page selects one
// and clears its partners, and may leave a pair with none selected.
#pragma once

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QRadioButton>
#include <initializer_list>

namespace korvanel::ui {

class ActionRadio : public QRadioButton {
  public:
    explicit ActionRadio(const QString& text, QWidget* parent = nullptr)
        : QRadioButton(text, parent) {
        setAutoExclusive(false);
    }

  protected:
    void nextCheckState() override {}
};

class ActionCheckBox : public QCheckBox {
  public:
    explicit ActionCheckBox(const QString& text, QWidget* parent = nullptr)
        : QCheckBox(text, parent) {}

  protected:
    void nextCheckState() override {}
};

// Selects `chosen` and clears every other radio of `radios`; a null `chosen` clears them all.
inline void SelectOnly(std::initializer_list<QAbstractButton*> radios,
                       const QAbstractButton* chosen) {
    for (QAbstractButton* radio : radios) radio->setChecked(radio == chosen);
}

}  // namespace korvanel::ui
