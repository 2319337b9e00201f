// Sorting a list by one of its view's columns. The list itself is reordered (its nodes
// relinked, their contents untouched) under the settings lock on a worker thread, so
// connection handlers never see a half-sorted list; the new order reaches `data` with the
// next save. Sorting writes no status line.
#pragma once

#include <array>

#include "settings/worker_thread.h"

namespace korvanel {

struct Runtime;

enum class SortedList { kProxies, kUserAgents, kSendRules, kReceiveRules };

// The direction flags of one list, one per column (the in-use column has none: it always
// puts the rows in use first). All start cleared and are never saved.
struct SortFlags {
    std::array<bool, 5> set{};
};

inline constexpr int kSortDone = 1;
inline constexpr int kSortNoKey = 0;    // the column names no key: nothing changes
inline constexpr int kSortFailed = -1;  // the worker could not be started

// Sorts `list` by the key of view column `column`:
//   proxies     1 address, 2 kind (highest first), 3 speed (fastest first, unmeasured
//               last), 4 in use
//   User-Agents 1 text, 2 in use
//   rules       1 name, 2 value, 3 action, 4 enabled
// A key with a flag alternates: cleared, it sets the flag and sorts the first way; set, it
// clears the flag and sorts the other way. Texts compare as unsigned bytes.
int SortListCommand(Runtime& rt, SortedList list, int column, SortFlags& flags);
int SortListCommand(Runtime& rt, SortedList list, int column, SortFlags& flags,
                    const ThreadStarter& starter);

}  // namespace korvanel
