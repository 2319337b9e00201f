// The tag switches of the Config dialog: one pair of radios ("消す" / "消さない") for each of
// the fourteen tag groups, in two columns of seven. Each pair shows the first row of its
// group; a click switches the four rows of that group only.
#pragma once

#include <QtWidgets/QGroupBox>
#include <array>
#include <string>

class QAbstractButton;
class QLabel;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ActionRadio;

inline constexpr int kTagSwitchGroups = 14;
inline constexpr int kTagSwitchesPerColumn = 7;

// The code the tag switch command takes for a group: the group's first row, signed (plus
// to remove the tag, minus to leave it); group 0 uses 1, since 0 has no sign.
std::string TagSwitchCode(int group, bool remove);

class TagSwitchGroup : public QGroupBox {
  public:
    TagSwitchGroup(Runtime& rt, QWidget* parent = nullptr);

    QAbstractButton* removeRadio(int group) const;
    QAbstractButton* keepRadio(int group) const;
    const QLabel* label(int group) const { return labels_.at(group); }

  private:
    void build();
    void fill();
    void switchClicked(int group, bool remove);

    Runtime& rt_;
    std::array<QLabel*, kTagSwitchGroups> labels_{};
    std::array<ActionRadio*, kTagSwitchGroups> remove_{};
    std::array<ActionRadio*, kTagSwitchGroups> keep_{};
};

}  // namespace korvanel::ui
