// The group "設定２" of the Config dialog: who may connect (this machine only, or clients of
// an address range) and the listening port. Both are stored at once and used from the next
// server start, which the messages say.
#pragma once

#include <QtWidgets/QGroupBox>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class QAbstractButton;
class QLineEdit;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ActionRadio;
class SkinButton;

// Each end of the range holds 1 to this many bytes.
inline constexpr std::size_t kRangeEndMaxLength = 15;
// The range edits take a little more, so that a too long end is refused with a message.
inline constexpr int kRangeEditMaxLength = 31;
inline constexpr int kPortEditMaxLength = 9;
inline constexpr long kLowestPort = 1025;
inline constexpr long kHighestPort = 65535;

// The two refusals of the port register button.
enum class PortRefusal { kNotInteger, kOutOfRange };

// The port text as it is stored (plain decimal, so that leading zeros cannot make it longer
// than the port field holds), or the refusal. An empty text is out of range.
struct PortCheck {
    std::optional<std::string> port;
    PortRefusal refusal = PortRefusal::kNotInteger;
};
PortCheck CheckPortText(std::string_view text);

// The stored range for the two ends, or nothing when an end is refused.
std::optional<std::string> CheckRange(std::string_view start, std::string_view end);

class SettingsGroupTwo : public QGroupBox {
  public:
    SettingsGroupTwo(Runtime& rt, QWidget* parent = nullptr);

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
