// What a proxy's address carries beside its rows: the kind of proxy (`:PROXY_KINDS` after
// ":END" in `data`, one "host:port kind" line per address that is not plain HTTP) and the
// login (the logins file). Both are kept by address, so every row of one address shares
// them. The caller holds the settings lock (or runs before other threads exist).
#pragma once

#include <string>
#include <string_view>

#include "runtime/settings.h"

namespace korvanel {

// The kind of the proxy at `address`: its rows' (HTTP when no row names it).
UpstreamKind KindOfAddress(const Settings& settings, std::string_view address);

// Gives every row of `address` the kind, and the proxy in use too when it is that address.
void SetKindOfAddress(Settings& settings, std::string_view address, UpstreamKind kind);

// Sets the login of `address` (a change counts in logins_version).
void SetLoginOfAddress(Settings& settings, std::string_view address, std::string_view user,
                       std::string_view password);

// After rows were deleted: the login of an address that no row and not the proxy in use
// names any more is dropped.
void DropUnusedLogins(Settings& settings);

// `:PROXY_KINDS`: one line per address whose kind is not HTTP (the rows' in list order,
// then the proxy in use when no row names it).
void WriteProxyKinds(const Settings& settings, std::string& out);
const char* StoreProxyKind(Settings& settings, std::string_view line);

}  // namespace korvanel
