// The group "設定１" of the Config dialog: start the server at program start, the HTTP
// version spoken upstream, where each of the four logs goes, and the proxy-check address.
// Filled from Settings when it is made; each click runs its worker command, then updates
// the controls and writes its status line.
#pragma once

#include <QtWidgets/QGroupBox>
#include <array>

class QAbstractButton;
class QCheckBox;
class QLineEdit;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ActionRadio;
class ActionCheckBox;
class SkinButton;

// The log rows, top to bottom.
enum class LogRow { kAccess, kSendHeaders, kRecvHeaders, kHeaderPairs };
inline constexpr int kLogRowCount = 4;
inline constexpr int kLogModeCount = 4;
// The HTTP version radios.
inline constexpr int kHttp11Radio = 0;
inline constexpr int kHttp10Radio = 1;
// The check address edit takes this many characters and stores at most as many bytes.
inline constexpr int kCheckAddressMaxLength = 249;

class StartupAndLogsGroup : public QGroupBox {
  public:
    StartupAndLogsGroup(Runtime& rt, QWidget* parent = nullptr);

    QCheckBox* startupBox() const;
    QAbstractButton* httpRadio(int index) const;
    // `mode` is the log mode "0" to "3" as a number: GUI, file, both, none.
    QAbstractButton* logRadio(LogRow row, int mode) const;
    QLineEdit* checkAddressEdit() const { return check_address_; }
    QAbstractButton* checkAddressButton() const;

  private:
    void build();
    void fill();
    void startupClicked();
    void httpClicked(int index);
    void logClicked(int row, int mode);
    void checkAddressRegistered();
    void selectLogMode(int row, int mode);

    Runtime& rt_;
    ActionCheckBox* startup_ = nullptr;
    std::array<ActionRadio*, 2> http_{};
    std::array<std::array<ActionRadio*, kLogModeCount>, kLogRowCount> logs_{};
    QLineEdit* check_address_ = nullptr;
    SkinButton* check_address_button_ = nullptr;
};

}  // namespace korvanel::ui
