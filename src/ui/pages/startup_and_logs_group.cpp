#include "ui/pages/startup_and_logs_group.h"

#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <string>

#include "logging/status_log.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "texts.h"
#include "ui/pages/setting_change.h"
#include "ui/widgets/action_buttons.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

namespace {

struct LogRowText {
    const char* label;
    const char* keyword;
    const char* const* set_lines;  // one per mode
    LogMode Settings::*field;
};

const LogRowText kLogRows[kLogRowCount] = {
    {text::kAccessLogRow, "access_log", text::kAccessLogSet, &Settings::access_log},
    {text::kSendHeaderLogRow, "send_header_log", text::kSendHeaderLogSet,
     &Settings::send_header_log},
    {text::kRecvHeaderLogRow, "recv_header_log", text::kRecvHeaderLogSet,
     &Settings::recv_header_log},
    {text::kHeaderPairLogRow, "send_recv_header_log", text::kHeaderPairLogSet,
     &Settings::send_recv_header_log},
};

const char* const kLogModeLabels[kLogModeCount] = {text::kLogToPane, text::kLogToFile,
                                                   text::kLogToBoth, text::kLogOff};
const char* const kModeValues[kLogModeCount] = {"0", "1", "2", "3"};

struct HttpChoice {
    const char* label;
    const char* value;
    const char* set_line;
};
const HttpChoice kHttpChoices[2] = {{text::kHttp11, "1.1", text::kHttpSet11},
                                    {text::kHttp10, "1.0", text::kHttpSet10}};

// "0", "1" and "2" name their radio; anything else shows "none".
int ShownLogMode(std::string_view value) {
    for (int mode = 0; mode < kLogModeCount - 1; ++mode) {
        if (value == kModeValues[mode]) return mode;
    }
    return kLogModeCount - 1;
}

constexpr std::size_t kShortestShownAddress = 2;

}  // namespace

StartupAndLogsGroup::StartupAndLogsGroup(Runtime& rt, QWidget* parent)
    : QGroupBox(Qs(text::kGroupOneCaption), parent), rt_(rt) {
    build();
    fill();
}

void StartupAndLogsGroup::build() {
    auto* grid = new QGridLayout(this);
    int line = 0;
    auto add_row = [&](const char* label) {
        grid->addWidget(PlainLabel(label, this), line, 0);
        auto* row = new QHBoxLayout;
        grid->addLayout(row, line++, 1);
        return row;
    };

    startup_ = new ActionCheckBox(Qs(text::kStartupBox), this);
    add_row(text::kStartupRow)->addWidget(startup_);
    connect(startup_, &QAbstractButton::clicked, this, [this] { startupClicked(); });

    QHBoxLayout* http_row = add_row(text::kHttpVersionRow);
    for (int i = 0; i < 2; ++i) {
        http_[i] = new ActionRadio(Qs(kHttpChoices[i].label), this);
        http_row->addWidget(http_[i]);
        connect(http_[i], &QAbstractButton::clicked, this, [this, i] { httpClicked(i); });
    }
    http_row->addStretch();

    for (int r = 0; r < kLogRowCount; ++r) {
        QHBoxLayout* row = add_row(kLogRows[r].label);
        for (int mode = 0; mode < kLogModeCount; ++mode) {
            logs_[r][mode] = new ActionRadio(Qs(kLogModeLabels[mode]), this);
            row->addWidget(logs_[r][mode]);
            connect(logs_[r][mode], &QAbstractButton::clicked, this,
                    [this, r, mode] { logClicked(r, mode); });
        }
        row->addStretch();
    }

    QHBoxLayout* check_row = add_row(text::kCheckAddressRow);
    check_address_ = new QLineEdit(this);
    check_address_->setMaxLength(kCheckAddressMaxLength);
    check_address_button_ = new SkinButton(SmallButtonSheet(), 0, kSmallButtonCell, this);
    check_address_->setAccessibleName(Qs(text::kCheckAddressRow));
    check_address_button_->setAccessibleDescription(Qs(text::kCheckAddressRow));
    check_row->addWidget(check_address_, 1);
    check_row->addWidget(check_address_button_);
    connect(check_address_button_, &QAbstractButton::clicked, this,
            [this] { checkAddressRegistered(); });
}

void StartupAndLogsGroup::fill() {
    std::string auto_start, http_version, address;
    std::array<std::string, kLogRowCount> modes;
    {
        Hold hold(rt_.locks.settings);
        auto_start = rt_.settings.auto_start.str();
        http_version = rt_.settings.http_version.str();
        address = rt_.settings.checkproxyaddress.str();
        for (int r = 0; r < kLogRowCount; ++r) modes[r] = (rt_.settings.*kLogRows[r].field).str();
    }
    startup_->setChecked(auto_start != "0");
    std::string_view version = std::string_view(http_version).substr(0, 3);
    for (int i = 0; i < 2; ++i) http_[i]->setChecked(version == kHttpChoices[i].value);
    for (int r = 0; r < kLogRowCount; ++r) selectLogMode(r, ShownLogMode(modes[r]));
    check_address_->setText(address.size() < kShortestShownAddress ? Qs(text::kCheckAddressNone)
                                                                   : Qs(address));
}

QCheckBox* StartupAndLogsGroup::startupBox() const {
    return startup_;
}
QAbstractButton* StartupAndLogsGroup::httpRadio(int index) const {
    return http_.at(index);
}
QAbstractButton* StartupAndLogsGroup::logRadio(LogRow row, int mode) const {
    return logs_.at(static_cast<int>(row)).at(mode);
}
QAbstractButton* StartupAndLogsGroup::checkAddressButton() const {
    return check_address_button_;
}

void StartupAndLogsGroup::selectLogMode(int row, int mode) {
    const auto& radios = logs_[row];
    SelectOnly({radios[0], radios[1], radios[2], radios[3]}, radios[mode]);
}

void StartupAndLogsGroup::startupClicked() {
    bool was_ticked = startup_->isChecked();
    if (!ChangeSetting(rt_, "auto_start", was_ticked ? "0" : "2")) return;
    startup_->setChecked(!was_ticked);
    PostStatus(rt_, text::kStartupDone, "");
}

void StartupAndLogsGroup::httpClicked(int index) {
    if (!ChangeSetting(rt_, "http_version", kHttpChoices[index].value)) return;
    SelectOnly({http_[0], http_[1]}, http_[index]);
    PostStatus(rt_, kHttpChoices[index].set_line, " ");
}

void StartupAndLogsGroup::logClicked(int row, int mode) {
    if (!ChangeSetting(rt_, kLogRows[row].keyword, kModeValues[mode])) return;
    selectLogMode(row, mode);
    PostStatus(rt_, kLogRows[row].set_lines[mode], " ");
}

void StartupAndLogsGroup::checkAddressRegistered() {
    std::string address = EditText(*check_address_, kCheckAddressMaxLength);
    if (!ChangeSetting(rt_, "checkproxyaddress", address)) return;
    PostStatus(rt_, text::kCheckAddressChanged, address);
    ShowMessageDialog(rt_, text::kCheckAddressChangedTitle, text::kCheckAddressChanged);
}

}  // namespace korvanel::ui
