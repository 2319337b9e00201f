// Shared helpers of the configuration tests.
#pragma once

#include <string>

#include "runtime/settings.h"

namespace korvanel::testing {

// A state with every list full: 200 User-Agents, 200 proxies and 100 rules in each header
// list, 15 of them enabled, with one proxy and one User-Agent in use.
void FillToCapacity(Settings& settings);

// Equal in everything the file keeps, and in the counts derived from it.
bool SameSavedState(const Settings& a, const Settings& b, std::string* difference = nullptr);

}  // namespace korvanel::testing
