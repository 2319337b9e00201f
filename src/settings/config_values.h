// The values `data` holds: each store function checks one value line and stores it into a
// Settings record. A refused value rejects the whole file.
#pragma once

#include <string_view>

#include "runtime/settings.h"

namespace korvanel {

// nullptr when the value was stored, else why it was refused, in words that follow the
// section's name in the message a user reads (":PROXY_LIST holds more than 200 rows").
using Refusal = const char*;
inline constexpr Refusal kStored = nullptr;

using ValueStore = Refusal (*)(Settings&, std::string_view value);

// Thrown by a row store when the row cannot be allocated.
struct RowAllocationFailed {};

Refusal StoreTagLine(Settings& s, std::string_view value);
Refusal StoreBindMode(Settings& s, std::string_view value);
Refusal StoreAllowRange(Settings& s, std::string_view value);
Refusal StoreHttpVersion(Settings& s, std::string_view value);
Refusal StoreAccessLog(Settings& s, std::string_view value);
Refusal StoreSendLog(Settings& s, std::string_view value);
Refusal StoreRecvLog(Settings& s, std::string_view value);
Refusal StorePairLog(Settings& s, std::string_view value);
Refusal StorePort(Settings& s, std::string_view value);
Refusal StoreProxy(Settings& s, std::string_view value);
Refusal StoreCookie(Settings& s, std::string_view value);
Refusal StoreSetCookie(Settings& s, std::string_view value);
Refusal StoreAgent(Settings& s, std::string_view value);
Refusal StoreUserAgentRow(Settings& s, std::string_view row);
Refusal StoreProxyRow(Settings& s, std::string_view row);
Refusal StoreSendRow(Settings& s, std::string_view row);
Refusal StoreRecvRow(Settings& s, std::string_view row);
Refusal StoreAutoStart(Settings& s, std::string_view value);
Refusal StoreColor(Settings& s, std::string_view value);
Refusal StoreCheckAddress(Settings& s, std::string_view value);
Refusal StoreGeometry(Settings& s, std::string_view value);
Refusal StoreHttpsTunnel(Settings& s, std::string_view value);
Refusal StoreTunnelPorts(Settings& s, std::string_view value);
Refusal StoreHttpsInspect(Settings& s, std::string_view value);
// One host pattern a line, added to the list.
Refusal StoreInspectException(Settings& s, std::string_view value);
Refusal StoreExtraCaFile(Settings& s, std::string_view value);

inline constexpr std::size_t kMaxExtraCaPathLength = 4095;

}  // namespace korvanel
