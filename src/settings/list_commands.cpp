#include "settings/list_commands.h"

#include <cstdlib>
#include <iterator>
#include <string>

#include "runtime/runtime.h"
#include "settings/row_makers.h"
#include "settings/upstream_rows.h"
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

// A list whose rows can be in use, one at a time: the row in use gives its value to a
// setting (`proxy`, `agent`) and the status bar shows it.
template <typename Row>
struct UsableList {
    RowList<Row> Settings::*rows;
    void (*use)(Settings&, const Row&);  // the setting takes the row's value
    void (*clear)(Settings&);            // the setting is emptied
    int status_part;
    const char* status_none;
};

const UsableList<ProxyEntry> kProxyList{&Settings::proxies,
                                        [](Settings& s, const ProxyEntry& row) {
                                            s.proxy = row.address.view();
                                            s.proxy_kind = row.upstream;
                                        },
                                        [](Settings& s) {
                                            s.proxy.clear();
                                            s.proxy_kind = UpstreamKind::kHttp;
                                        },
                                        kProxyStatusPart, text::kStatusBarNoProxy};

const UsableList<UserAgentEntry> kUserAgentList{
    &Settings::user_agents,
    [](Settings& s, const UserAgentEntry& row) {
        s.agent = row.text.view().substr(0, kAgentInUseMaxLength);
    },
    [](Settings& s) { s.agent.clear(); }, kUserAgentStatusPart, text::kStatusBarNoUserAgent};

// The changes themselves, under the settings lock.
template <typename Row>
int UseRow(Settings& s, const UsableList<Row>& list, int position) {
    Row* row = (s.*list.rows).at(position);
    if (!row) return kNoSuchRow;
    row->in_use = 1;
    list.use(s, *row);
    return kDone;
}

template <typename Row>
int ReleaseRow(Settings& s, const UsableList<Row>& list, int position) {
    Row* row = (s.*list.rows).at(position);
    if (!row) return kNoSuchRow;
    row->in_use = 0;
    list.clear(s);
    return kDone;
}

template <typename Row>
int FindInUse(const Settings& s, const UsableList<Row>& list) {
    int position = 0;
    for (const Row& row : (s.*list.rows).rows) {
        if (row.in_use == 1) return position;
        ++position;
    }
    return -1;
}

// Deletes a row that may be the one in use; the status bar is told after the lock is
// released, as no thread holds a lock while it talks to the window.
// `after` (may be null) tidies what the row's value left behind.
template <typename Row>
int DeleteInUseRow(Runtime& rt, const UsableList<Row>& list, int position,
                   void (*after)(Settings&) = nullptr) {
    return RunWorkerCommand(rt, [&] {
        int in_use = 0;
        {
            Hold hold(rt.locks.settings);
            if (!EraseRow(rt.settings.*list.rows, position, in_use, &Row::in_use)) {
                return kNoSuchRow;
            }
            if (in_use == 1) list.clear(rt.settings);
            if (after != nullptr) after(rt.settings);
        }
        if (in_use == 1) rt.front.SetStatusBar(list.status_part, list.status_none);
        return kDone;
    });
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

int AddProxyUrlCommand(Runtime& rt, const ProxyUrl& url, int timeout_ms) {
    auto add = [&rt, url] {
        Hold hold(rt.locks.settings);
        if (!AppendProxyRow(rt.settings, "0", "0", 0, url.address)) ExitForOutOfMemory(rt);
        SetKindOfAddress(rt.settings, url.address, url.kind);
        if (url.has_login) SetLoginOfAddress(rt.settings, url.address, url.user, url.password);
        return kDone;
    };
    return timeout_ms < 0 ? RunWorkerCommand(rt, add) : RunWorkerCommandWithin(rt, timeout_ms, add);
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
    return DeleteInUseRow(rt, kProxyList, position, &DropUnusedLogins);
}

int UseProxyCommand(Runtime& rt, int position) {
    return RunLocked(rt, [&](Settings& s) { return UseRow(s, kProxyList, position); });
}

int UseProxyCommandWithin(Runtime& rt, int position, int timeout_ms) {
    return RunWorkerCommandWithin(rt, timeout_ms, [&rt, position] {
        Hold hold(rt.locks.settings);
        return UseRow(rt.settings, kProxyList, position);
    });
}

int ReleaseProxyCommand(Runtime& rt, int position) {
    return RunLocked(rt, [&](Settings& s) { return ReleaseRow(s, kProxyList, position); });
}

int FindProxyInUseCommand(Runtime& rt, int& position) {
    return RunLocked(rt, [&](Settings& s) {
        position = FindInUse(s, kProxyList);
        return kDone;
    });
}

int FindProxyInUse(const Settings& settings) {
    return FindInUse(settings, kProxyList);
}
int FindUserAgentInUse(const Settings& settings) {
    return FindInUse(settings, kUserAgentList);
}

int AddUserAgentCommand(Runtime& rt, std::string_view text) {
    return RunLocked(rt, [&](Settings& s) {
        if (!AppendUserAgentRow(s, text, 0)) ExitForOutOfMemory(rt);
        return kDone;
    });
}

int DeleteUserAgentCommand(Runtime& rt, int position) {
    return DeleteInUseRow(rt, kUserAgentList, position);
}

int UseUserAgentCommand(Runtime& rt, int position) {
    return RunLocked(rt, [&](Settings& s) { return UseRow(s, kUserAgentList, position); });
}

int ReleaseUserAgentCommand(Runtime& rt, int position) {
    return RunLocked(rt, [&](Settings& s) { return ReleaseRow(s, kUserAgentList, position); });
}

int FindUserAgentInUseCommand(Runtime& rt, int& position) {
    return RunLocked(rt, [&](Settings& s) {
        position = FindInUse(s, kUserAgentList);
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
