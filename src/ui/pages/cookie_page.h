// The upper tab page "クッキー": whether the proxy removes Set-Cookie headers from answers
// and Cookie headers from requests, each a pair of radios "はい" / "いいえ". A change is in
// effect for the next message; its wait is limited, and a change that runs out of time is
// reported and not stored.
#pragma once

#include <QtWidgets/QWidget>
#include <array>
#include <chrono>

class QAbstractButton;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ActionRadio;

enum class CookieSwitch { kSetCookie, kCookie };
inline constexpr int kCookieSwitchCount = 2;
// How long a cookie switch waits for its command.
inline constexpr std::chrono::milliseconds kCookieSwitchWait{3000};

class CookiePage : public QWidget {
  public:
    CookiePage(Runtime& rt, QWidget* parent = nullptr);
    ~CookiePage() override;

    // Shows the values Settings holds now.
    void rebuild();

    QAbstractButton* yesRadio(CookieSwitch which) const;
    QAbstractButton* noRadio(CookieSwitch which) const;

  private:
    void switchClicked(int which, bool remove);

    Runtime& rt_;
    bool busy_ = false;  // a change waits for its worker
    std::array<ActionRadio*, kCookieSwitchCount> yes_{};
    std::array<ActionRadio*, kCookieSwitchCount> no_{};
};

}  // namespace korvanel::ui
