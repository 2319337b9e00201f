// The worker command that changes one setting, and the tag switch command.
#pragma once

#include <chrono>
#include <string_view>

#include "platform/fixed_text.h"

namespace korvanel {

struct Runtime;

// A keyword naming the setting and the value to give it.
struct SettingCommand {
    FixedText<22> keyword;
    FixedText<255> value;
};

// Both commands hold the settings lock this long after their change before they release it.
inline constexpr std::chrono::milliseconds kSettingChangeHold{1};

// Compares the keyword with "http_version", "passive", "local", "access_log",
// "send_header_log", "recv_header_log", "send_recv_header_log", "proxy", "agent", "cookie",
// "setcookie", "port", "auto_start" and "checkproxyaddress", in that order, each on its own
// length (so "passive" matches on "passiv"); the first match stores the value, cut to its
// field's capacity. A keyword that matches none changes nothing. Runs on a worker thread
// and waits for it; 1 when the command ran, -1 when its thread could not be started.
int ApplySetting(Runtime& rt, const SettingCommand& command);

// `number` holds a signed decimal n choosing four tag rows: 1 turns rows 0 to 3 on and -1
// off; n >= 2 turns rows n to n + 3 on and n <= -2 rows -n to -n + 3 off; 0 changes
// nothing. A group reaching past the last row changes nothing either. Afterwards the filter
// flag is recomputed. 1 when the command ran, -1 when its thread could not be started.
int TagSwitchCommand(Runtime& rt, std::string_view number);

// The change itself, for the worker thread: takes the settings lock.
int ApplySettingNow(Runtime& rt, const SettingCommand& command);
int TagSwitchNow(Runtime& rt, std::string_view number);

}  // namespace korvanel
