#include "settings/list_sort.h"

#include <span>
#include <string_view>

#include "platform/thread.h"
#include "runtime/runtime.h"

namespace korvanel {

namespace {

// An unmeasured speed ("0") counts as this many milliseconds.
constexpr long long kUnmeasuredSpeed = 999999;
// Leading digits beyond this many cannot change an order of ten-character speeds.
constexpr int kMaxLeadingDigits = 18;

long long LeadingNumber(std::string_view text) {
    long long value = 0;
    int digits = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || digits == kMaxLeadingDigits) break;
        value = value * 10 + (c - '0');
        ++digits;
    }
    return value;
}

long long SpeedValue(std::string_view speed) {
    long long value = LeadingNumber(speed);
    return value == 0 ? kUnmeasuredSpeed : value;
}

// A row's sort key as a comparable value: a text (compared as unsigned bytes, a prefix
// first) or a number; a column's key uses one of the two.
struct SortKey {
    std::string_view text;
    long long number = 0;
    friend bool operator<(const SortKey& a, const SortKey& b) {
        return a.text != b.text ? a.text < b.text : a.number < b.number;
    }
};

enum class Direction {
    kAscendingFirst,   // alternates, ascending the first time
    kDescendingFirst,  // alternates, descending the first time
    kInUseFirst,       // always the rows in use (the highest) first; no flag
};

template <typename Row>
struct SortColumn {
    int column;
    SortKey (*key)(const Row&);
    Direction direction;
};

using enum Direction;

constexpr SortColumn<ProxyEntry> kProxyColumns[] = {
    {1, [](const ProxyEntry& r) { return SortKey{r.address.view()}; }, kAscendingFirst},
    {2,
     [](const ProxyEntry& r) {
         return SortKey{{}, LeadingNumber(r.kind.view())};
     },
     kDescendingFirst},
    {3,
     [](const ProxyEntry& r) {
         return SortKey{{}, SpeedValue(r.speed.view())};
     },
     kAscendingFirst},
    {4,
     [](const ProxyEntry& r) {
         return SortKey{{}, r.in_use};
     },
     kInUseFirst},
    // What the proxy speaks: HTTP, SOCKS5, SOCKS4a.
    {5,
     [](const ProxyEntry& r) {
         return SortKey{{}, static_cast<long long>(r.upstream)};
     },
     kAscendingFirst},
};

constexpr SortColumn<UserAgentEntry> kUserAgentColumns[] = {
    {1, [](const UserAgentEntry& r) { return SortKey{r.text.view()}; }, kAscendingFirst},
    {2,
     [](const UserAgentEntry& r) {
         return SortKey{{}, r.in_use};
     },
     kInUseFirst},
};

constexpr SortColumn<HeaderRule> kRuleColumns[] = {
    {1, [](const HeaderRule& r) { return SortKey{r.name.view()}; }, kAscendingFirst},
    {2, [](const HeaderRule& r) { return SortKey{r.value.view()}; }, kAscendingFirst},
    {3,
     [](const HeaderRule& r) {
         return SortKey{{}, r.action};
     },
     kAscendingFirst},
    {4,
     [](const HeaderRule& r) {
         return SortKey{{}, r.enabled};
     },
     kInUseFirst},
};

template <typename Row>
const SortColumn<Row>* FindColumn(std::span<const SortColumn<Row>> columns, int column) {
    for (const SortColumn<Row>& c : columns) {
        if (c.column == column) return &c;
    }
    return nullptr;
}

// The sort as a change of one list, ascending or descending; the caller holds the lock.
template <typename Row>
void SortRows(RowList<Row>& list, const SortColumn<Row>& column, bool ascending) {
    auto key = column.key;
    list.rows.sort(
        [&](const Row& a, const Row& b) { return ascending ? key(a) < key(b) : key(b) < key(a); });
}

// Which way the column sorts this time, flipping its flag where it has one.
bool Ascending(Direction direction, SortFlags& flags, int column) {
    if (direction == kInUseFirst) return false;
    bool& flag = flags.set[static_cast<std::size_t>(column)];
    flag = !flag;
    return flag == (direction == kAscendingFirst);
}

// Starts the sort of `list` by `columns` on a worker and waits for it.
template <typename Row, typename List>
int SortOn(Runtime& rt, List Settings::*list, std::span<const SortColumn<Row>> columns, int column,
           SortFlags& flags, const ThreadStarter& starter) {
    const SortColumn<Row>* sorted = FindColumn(columns, column);
    if (!sorted) return kSortNoKey;
    bool ascending = Ascending(sorted->direction, flags, column);
    std::thread worker;
    bool started = starter(worker, [&rt, list, sorted, ascending] {
        Hold hold(rt.locks.settings);
        SortRows(rt.settings.*list, *sorted, ascending);
    });
    if (!started) return kSortFailed;
    rt.front.WaitFor(worker);
    return kSortDone;
}

}  // namespace

int SortListCommand(Runtime& rt, SortedList list, int column, SortFlags& flags) {
    return SortListCommand(rt, list, column, flags,
                           [](std::thread& thread, std::function<void()> fn) {
                               return StartThread(thread, std::move(fn));
                           });
}

int SortListCommand(Runtime& rt, SortedList list, int column, SortFlags& flags,
                    const ThreadStarter& starter) {
    switch (list) {
        case SortedList::kProxies:
            return SortOn<ProxyEntry>(rt, &Settings::proxies, kProxyColumns, column, flags,
                                      starter);
        case SortedList::kUserAgents:
            return SortOn<UserAgentEntry>(rt, &Settings::user_agents, kUserAgentColumns, column,
                                          flags, starter);
        case SortedList::kSendRules:
            return SortOn<HeaderRule>(rt, &Settings::send_headers, kRuleColumns, column, flags,
                                      starter);
        case SortedList::kReceiveRules:
            return SortOn<HeaderRule>(rt, &Settings::recv_headers, kRuleColumns, column, flags,
                                      starter);
    }
    return kSortNoKey;
}

}  // namespace korvanel
