// Appending rows to the lists. Each maker appends at the tail (the list's count grows by
// one) and returns false only when the row could not be allocated; the caller then shows
// the out-of-memory dialog and ends the program. Callers validate first (row_validation.h)
// and hold the settings lock.
#pragma once

#include <string_view>

#include "runtime/settings.h"

namespace korvanel {

bool AppendUserAgentRow(Settings& settings, std::string_view text, int in_use);

bool AppendProxyRow(Settings& settings, std::string_view speed, std::string_view kind, int in_use,
                    std::string_view address);

// Stores the four name forms. An enabled rule also counts in the list's enabled_count, so
// that count stays one plus the number of enabled rules however the rule arrives.
bool AppendHeaderRule(HeaderRuleList& list, int enabled, int action, std::string_view name,
                      std::string_view value);

}  // namespace korvanel
