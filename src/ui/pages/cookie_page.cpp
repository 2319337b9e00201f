#include "ui/pages/cookie_page.h"

#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QVBoxLayout>
#include <string>

#include "logging/status_log.h"
#include "runtime/runtime.h"
#include "settings/apply_setting.h"
#include "settings/worker_thread.h"
#include "texts.h"
#include "ui/pages/setting_change.h"
#include "ui/widgets/action_buttons.h"

namespace korvanel::ui {

namespace {

struct CookieSwitchText {
    const char* frame;
    const char* keyword;
    FixedText<4> Settings::*field;
    int status_part;
    const char* removed;
    const char* kept;
    const char* bar_removed;
    const char* bar_kept;
};

const CookieSwitchText kSwitches[kCookieSwitchCount] = {
    {text::kSetCookieFrame, "setcookie", &Settings::setcookie, kSetCookieStatusPart,
     text::kSetCookieRemoved, text::kSetCookieKept, text::kStatusBarSetCookieRemoved,
     text::kStatusBarSetCookieKept},
    {text::kCookieFrame, "cookie", &Settings::cookie, kCookieStatusPart, text::kCookieRemoved,
     text::kCookieKept, text::kStatusBarCookieRemoved, text::kStatusBarCookieKept},
};

}  // namespace

CookiePage::CookiePage(Runtime& rt, QWidget* parent) : QWidget(parent), rt_(rt) {
    auto* layout = new QVBoxLayout(this);
    for (int which = 0; which < kCookieSwitchCount; ++which) {
        auto* frame = new QGroupBox(Qs(kSwitches[which].frame), this);
        auto* row = new QHBoxLayout(frame);
        yes_[which] = new ActionRadio(Qs(text::kCookieYes), frame);
        no_[which] = new ActionRadio(Qs(text::kCookieNo), frame);
        row->addWidget(yes_[which]);
        row->addWidget(no_[which]);
        row->addStretch();
        layout->addWidget(frame);
        connect(yes_[which], &QAbstractButton::clicked, this,
                [this, which] { switchClicked(which, true); });
        connect(no_[which], &QAbstractButton::clicked, this,
                [this, which] { switchClicked(which, false); });
    }
    layout->addStretch();
    rebuild();
}

CookiePage::~CookiePage() = default;

void CookiePage::rebuild() {
    std::array<std::string, kCookieSwitchCount> values;
    {
        Hold hold(rt_.locks.settings);
        for (int which = 0; which < kCookieSwitchCount; ++which) {
            values[which] = (rt_.settings.*kSwitches[which].field).str();
        }
    }
    for (int which = 0; which < kCookieSwitchCount; ++which) {
        bool remove = values[which] == "1";
        SelectOnly({yes_[which], no_[which]}, remove ? yes_[which] : no_[which]);
    }
}

QAbstractButton* CookiePage::yesRadio(CookieSwitch which) const {
    return yes_.at(static_cast<int>(which));
}
QAbstractButton* CookiePage::noRadio(CookieSwitch which) const {
    return no_.at(static_cast<int>(which));
}

void CookiePage::switchClicked(int which, bool remove) {
    // A click that arrives while an earlier one still waits is not taken.
    if (busy_) return;
    const CookieSwitchText& texts = kSwitches[which];
    SettingCommand command;
    command.keyword = texts.keyword;
    command.value = remove ? "1" : "0";
    busy_ = true;
    int result = RunWorkerCommandWithin(
        rt_, static_cast<int>(kCookieSwitchWait.count()),
        [&rt = rt_, command] { return ApplySettingNow(rt, command); }, LateChange::kDropped);
    busy_ = false;
    if (result == kThreadNotStarted) return;
    if (result == kWorkerTimedOut) {
        PostStatus(rt_, text::kTimeoutName, text::kCookieFailed);
        return;
    }
    SelectOnly({yes_[which], no_[which]}, remove ? yes_[which] : no_[which]);
    PostStatus(rt_, remove ? texts.removed : texts.kept, " ");
    rt_.front.SetStatusBar(texts.status_part, remove ? texts.bar_removed : texts.bar_kept);
}

}  // namespace korvanel::ui
