#include "ui/pages/setting_change.h"

#include "runtime/runtime.h"
#include "settings/apply_setting.h"
#include "settings/worker_thread.h"

namespace korvanel::ui {

bool ChangeSetting(Runtime& rt, std::string_view keyword, std::string_view value) {
    SettingCommand command;
    command.keyword = keyword;
    command.value = value;
    return ApplySetting(rt, command) != kThreadNotStarted;
}

std::string EditText(const QLineEdit& edit, std::size_t max_bytes) {
    std::string text = edit.text().toStdString();
    std::size_t line_end = text.find_first_of("\r\n");
    if (line_end != std::string::npos) text.resize(line_end);
    if (text.size() > max_bytes) {
        std::size_t cut = max_bytes;
        // Back off over continuation bytes to the start of the character that does not fit.
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    return text;
}

}  // namespace korvanel::ui
