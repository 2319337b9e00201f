// The worker commands that change the lists. Each runs on a short worker thread that takes
// the settings lock for its one change, and the caller waits for it (worker_thread.h).
//
// Positions count from 0 in list order. Results: 1 done; -1 when the position names no
// row (nothing changes) or the thread could not be started (after the "thread error"
// dialog). A row that cannot be allocated ends the program through the out-of-memory
// dialog.
#pragma once

#include <string_view>

#include "platform/fixed_text.h"
#include "runtime/front_end.h"
#include "settings/proxy_url.h"

namespace korvanel {

struct Runtime;
struct Settings;

// `agent` holds at most this many characters of the User-Agent in use.
inline constexpr std::size_t kAgentInUseMaxLength = 252;

enum class HeaderList { kSend, kReceive };

// Appends a row with the speed, kind and address, not in use. The in-use text is what the
// caller validated; a new row never starts in use.
int AddProxyCommand(Runtime& rt, std::string_view in_use, std::string_view speed,
                    std::string_view kind, std::string_view address);
// Appends a row for a proxy the user entered as a URL (proxy_url.h), not in use. The kind
// the URL names becomes the kind of every row of its address; a login given becomes its
// login (one not given leaves a login the address has). `timeout_ms` < 0 waits until done,
// else kWorkerTimedOut after it.
int AddProxyUrlCommand(Runtime& rt, const ProxyUrl& url, int timeout_ms = -1);
// Deleting the row in use also empties `proxy` and shows "no proxy" in the status bar.
int DeleteProxyCommand(Runtime& rt, int position);
// The add commands with a limited wait, for the bulk registration (kWorkerTimedOut).
int AddProxyCommandWithin(Runtime& rt, std::string_view address, int timeout_ms);
int AddUserAgentCommandWithin(Runtime& rt, std::string_view text, int timeout_ms);
int UseProxyCommand(Runtime& rt, int position);
// As UseProxyCommand with a wait of at most `timeout_ms` (kWorkerTimedOut after it).
int UseProxyCommandWithin(Runtime& rt, int position, int timeout_ms);
int ReleaseProxyCommand(Runtime& rt, int position);
// Writes the position of the first row in use, or -1.
int FindProxyInUseCommand(Runtime& rt, int& position);
// The same for a caller that holds the settings lock.
int FindProxyInUse(const Settings& settings);

int AddUserAgentCommand(Runtime& rt, std::string_view text);
int DeleteUserAgentCommand(Runtime& rt, int position);
int UseUserAgentCommand(Runtime& rt, int position);
int ReleaseUserAgentCommand(Runtime& rt, int position);
int FindUserAgentInUseCommand(Runtime& rt, int& position);
int FindUserAgentInUse(const Settings& settings);

// `enabled` and `action` are validated digit texts (the pages always pass enabled "0").
int AddHeaderRuleCommand(Runtime& rt, HeaderList list, std::string_view enabled,
                         std::string_view action, std::string_view name, std::string_view value);
// Enabling an enabled rule, or disabling a disabled one, changes nothing.
int EnableHeaderRuleCommand(Runtime& rt, HeaderList list, int position);
int DisableHeaderRuleCommand(Runtime& rt, HeaderList list, int position);
int DeleteHeaderRuleCommand(Runtime& rt, HeaderList list, int position);
// `position_in_enabled_out`: the position in, 1 when that rule is enabled (else 0) out.
int QueryHeaderRuleCommand(Runtime& rt, HeaderList list, int& position_in_enabled_out);

// Copies `localorpassive` for the server start.
int CopyBindModeCommand(Runtime& rt, FixedText<64>& mode);

}  // namespace korvanel
