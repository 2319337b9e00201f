#include "settings/apply_setting.h"

#include <cstdlib>
#include <string>
#include <thread>

#include "runtime/runtime.h"
#include "settings/upstream_rows.h"
#include "settings/worker_thread.h"

namespace korvanel {

namespace {

struct Keyword {
    std::string_view word;
    std::size_t compared;
    void (*apply)(Settings&, std::string_view value);
};

// In the order they are compared; the first match decides.
const Keyword kKeywords[] = {
    {"http_version", 12, [](Settings& s, std::string_view v) { s.http_version = v; }},
    {"passive", 6,
     [](Settings& s, std::string_view v) {
         s.allow_user = v;
         s.localorpassive = "passive";
     }},
    {"local", 5, [](Settings& s, std::string_view) { s.localorpassive = "local"; }},
    {"access_log", 10, [](Settings& s, std::string_view v) { s.access_log = v; }},
    {"send_header_log", 15, [](Settings& s, std::string_view v) { s.send_header_log = v; }},
    {"recv_header_log", 15, [](Settings& s, std::string_view v) { s.recv_header_log = v; }},
    {"send_recv_header_log", 20,
     [](Settings& s, std::string_view v) { s.send_recv_header_log = v; }},
    {"proxy", 5,
     [](Settings& s, std::string_view v) {
         s.proxy = v;
         s.proxy_kind = KindOfAddress(s, s.proxy.view());
     }},
    {"agent", 5, [](Settings& s, std::string_view v) { s.agent = v; }},
    {"cookie", 6, [](Settings& s, std::string_view v) { s.cookie = v; }},
    {"setcookie", 9, [](Settings& s, std::string_view v) { s.setcookie = v; }},
    {"port", 4, [](Settings& s, std::string_view v) { s.port = v; }},
    {"auto_start", 10, [](Settings& s, std::string_view v) { s.auto_start = v; }},
    {"checkproxyaddress", 17, [](Settings& s, std::string_view v) { s.checkproxyaddress = v; }},
};

// Sets rows first .. first + 3 to `value`, when the group lies inside the table.
void SetTagGroup(Settings& s, long first, const char* value) {
    if (first < 0 || first + kTagRowsPerGroup > kTagSwitchCount) return;
    for (long row = first; row < first + kTagRowsPerGroup; ++row) s.tag_switches[row].value = value;
}

}  // namespace

int ApplySettingNow(Runtime& rt, const SettingCommand& command) {
    Hold hold(rt.locks.settings);
    for (const Keyword& keyword : kKeywords) {
        if (StartsWithN(command.keyword, keyword.word, keyword.compared)) {
            keyword.apply(rt.settings, command.value);
            break;
        }
    }
    std::this_thread::sleep_for(kSettingChangeHold);
    return 1;
}

int TagSwitchNow(Runtime& rt, std::string_view number) {
    std::string text(number);
    long n = std::strtol(text.c_str(), nullptr, 10);
    if (n == 0) return 1;
    {
        Hold hold(rt.locks.settings);
        if (n == 1 || n == -1) {
            SetTagGroup(rt.settings, 0, n == 1 ? "1" : "0");
        } else if (n >= 2) {
            SetTagGroup(rt.settings, n, "1");
        } else if (n > -static_cast<long>(kTagSwitchCount)) {
            SetTagGroup(rt.settings, -n, "0");
        }
        std::this_thread::sleep_for(kSettingChangeHold);
    }
    Hold hold(rt.locks.settings);
    rt.settings.tag_filter_active = ComputeTagFilterActive(rt.settings);
    return 1;
}

int ApplySetting(Runtime& rt, const SettingCommand& command) {
    return RunWorkerCommand(rt, [&rt, &command] { return ApplySettingNow(rt, command); });
}

int TagSwitchCommand(Runtime& rt, std::string_view number) {
    return RunWorkerCommand(rt, [&rt, number] { return TagSwitchNow(rt, number); });
}

}  // namespace korvanel
