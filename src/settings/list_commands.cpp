#include "settings/list_commands.h"

#include <cstdlib>
#include <iterator>
#include <string>

#include "runtime/runtime.h"
#include "settings/row_makers.h"
#include "settings/worker_thread.h"
#include "texts.h"

namespace korvanel {

namespace {

constexpr int kDone = 1;
constexpr int kNoSuchRow = -1;

// Runs `change` on a worker thread under the settings lock.
template <typename Change>
int RunLocked(Runtime& rt, Change change) {
    return RunWorkerCommand(rt, [&rt, &change] {
        Hold hold(rt.locks.settings);
        return change(rt.settings);
    });
}

HeaderRuleList& ListOf(Settings& s, HeaderList list) {
    return list == HeaderList::kSend ? s.send_headers : s.recv_headers;
}

int DigitValue(std::string_view text) {
    return std::atoi(std::string(text).c_str());
}

// Unlinks the row at `position`; false when there is none. `flag` receives its `field`.
template <typename Row>
bool EraseRow(RowList<Row>& list, int position, int& flag, int Row::*field) {
    if (!list.at(position)) return false;
    auto it = std::next(list.rows.begin(), position);
    flag = (*it).*field;
    list.rows.erase(it);
    return true;
}

// Deletes a row that may be the one in use; the status bar is told after the lock is
// released, as no thread holds a lock while it talks to the window.
template <typename Row>
int DeleteInUseRow(Runtime& rt, int position, RowList<Row> Settings::*list,
                   void (*clear_in_use)(Settings&), int status_part, const char* status_text) {
    return RunWorkerCommand(rt, [&] {
        int in_use = 0;
        {
            Hold hold(rt.locks.settings);
            if (!EraseRow(rt.settings.*list, position, in_use, &Row::in_use)) return kNoSuchRow;
            if (in_use == 1) clear_in_use(rt.settings);
        }
        if (in_use == 1) rt.front.SetStatusBar(status_part, status_text);
        return kDone;
    });
}

void ClearProxy(Settings& s) {
    s.proxy.clear();
}
void ClearAgent(Settings& s) {
    s.agent.clear();
}

}  // namespace

int AddProxyCommand(Runtime& rt, std::string_view in_use, std::string_view speed,
                    std::string_view kind, std::string_view address) {
    (void)in_use;
    return RunLocked(rt, [&](Settings& s) {
        if (!AppendProxyRow(s, speed, kind, 0, address)) ExitForOutOfMemory(rt);
        return kDone;
    });
}

int AddProxyCommandWithin(Runtime& rt, std::string_view address, int timeout_ms) {
    return RunWorkerCommandWithin(rt, timeout_ms, [&rt, row = std::string(address)] {
        Hold hold(rt.locks.settings);
        if (!AppendProxyRow(rt.settings, "0", "0", 0, row)) ExitForOutOfMemory(rt);
        return kDone;
    });
}

int AddUserAgentCommandWithin(Runtime& rt, std::string_view text, int timeout_ms) {
    return RunWorkerCommandWithin(rt, timeout_ms, [&rt, row = std::string(text)] {
        Hold hold(rt.locks.settings);
        if (!AppendUserAgentRow(rt.settings, row, 0)) ExitForOutOfMemory(rt);
        return kDone;
    });
}

int DeleteProxyCommand(Runtime& rt, int position) {
    return DeleteInUseRow(rt, position, &Settings::proxies, ClearProxy, kProxyStatusPart,
                          text::kStatusBarNoProxy);
}

int UseProxyCommand(Runtime& rt, int position) {
    return RunLocked(rt, [&](Settings& s) {
        ProxyEntry* row = s.proxies.at(position);
        if (!row) return kNoSuchRow;
        row->in_use = 1;
        s.proxy = row->address.view();
        return kDone;
    });
}

int UseProxyCommandWithin(Runtime& rt, int position, int timeout_ms) {
    return RunWorkerCommandWithin(rt, timeout_ms, [&rt, position] {
        Hold hold(rt.locks.settings);
        ProxyEntry* row = rt.settings.proxies.at(position);
        if (!row) return kNoSuchRow;
        row->in_use = 1;
        rt.settings.proxy = row->address.view();
        return kDone;
    });
}

int ReleaseProxyCommand(Runtime& rt, int position) {
    return RunLocked(rt, [&](Settings& s) {
        ProxyEntry* row = s.proxies.at(position);
        if (!row) return kNoSuchRow;
        row->in_use = 0;
        s.proxy.clear();
        return kDone;
    });
}

int FindProxyInUseCommand(Runtime& rt, int& position) {
    return RunLocked(rt, [&](Settings& s) {
        position = FindProxyInUse(s);
        return kDone;
    });
}

int AddUserAgentCommand(Runtime& rt, std::string_view text) {
    return RunLocked(rt, [&](Settings& s) {
        if (!AppendUserAgentRow(s, text, 0)) ExitForOutOfMemory(rt);
        return kDone;
    });
}

int DeleteUserAgentCommand(Runtime& rt, int position) {
    return DeleteInUseRow(rt, position, &Settings::user_agents, ClearAgent, kUserAgentStatusPart,
                          text::kStatusBarNoUserAgent);
}

int UseUserAgentCommand(Runtime& rt, int position) {
    return RunLocked(rt, [&](Settings& s) {
        UserAgentEntry* row = s.user_agents.at(position);
        if (!row) return kNoSuchRow;
        row->in_use = 1;
        s.agent = row->text.view().substr(0, kAgentInUseMaxLength);
        return kDone;
    });
}

int ReleaseUserAgentCommand(Runtime& rt, int position) {
    return RunLocked(rt, [&](Settings& s) {
        UserAgentEntry* row = s.user_agents.at(position);
        if (!row) return kNoSuchRow;
        row->in_use = 0;
        s.agent.clear();
        return kDone;
    });
}

int FindUserAgentInUseCommand(Runtime& rt, int& position) {
    return RunLocked(rt, [&](Settings& s) {
        position = FindUserAgentInUse(s);
        return kDone;
    });
}

int AddHeaderRuleCommand(Runtime& rt, HeaderList list, std::string_view enabled,
                         std::string_view action, std::string_view name, std::string_view value) {
    return RunLocked(rt, [&](Settings& s) {
        int enabled_number = DigitValue(enabled) == 1 ? 1 : 0;
        if (!AppendHeaderRule(ListOf(s, list), enabled_number, DigitValue(action), name, value)) {
            ExitForOutOfMemory(rt);
        }
        return kDone;
    });
}

int EnableHeaderRuleCommand(Runtime& rt, HeaderList list, int position) {
    return RunLocked(rt, [&](Settings& s) {
        HeaderRuleList& rules = ListOf(s, list);
        HeaderRule* rule = rules.at(position);
        if (!rule) return kNoSuchRow;
        if (rule->enabled == 0) {
            rule->enabled = 1;
            ++rules.enabled_count;
        }
        return kDone;
    });
}

int DisableHeaderRuleCommand(Runtime& rt, HeaderList list, int position) {
    return RunLocked(rt, [&](Settings& s) {
        HeaderRuleList& rules = ListOf(s, list);
        HeaderRule* rule = rules.at(position);
        if (!rule) return kNoSuchRow;
        if (rule->enabled == 1) {
            rule->enabled = 0;
            --rules.enabled_count;
        }
        return kDone;
    });
}

// The page disables a rule before deleting it; should an enabled rule arrive here anyway,
// it leaves the enabled count too, so the limit of enabled rules stays true.
int DeleteHeaderRuleCommand(Runtime& rt, HeaderList list, int position) {
    return RunLocked(rt, [&](Settings& s) {
        HeaderRuleList& rules = ListOf(s, list);
        int enabled = 0;
        if (!EraseRow(rules, position, enabled, &HeaderRule::enabled)) return kNoSuchRow;
        if (enabled == 1) --rules.enabled_count;
        return kDone;
    });
}

int QueryHeaderRuleCommand(Runtime& rt, HeaderList list, int& position_in_enabled_out) {
    return RunLocked(rt, [&](Settings& s) {
        const HeaderRule* rule = ListOf(s, list).at(position_in_enabled_out);
        if (!rule) return kNoSuchRow;
        position_in_enabled_out = rule->enabled == 1 ? 1 : 0;
        return kDone;
    });
}

int CopyBindModeCommand(Runtime& rt, FixedText<64>& mode) {
    return RunLocked(rt, [&](Settings& s) {
        mode = s.localorpassive.view();
        return kDone;
    });
}

}  // namespace korvanel
