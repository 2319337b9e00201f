#include "settings/list_sort.h"

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

// A row's sort key as a comparable value: texts as views (compared as unsigned bytes, a
// prefix first), numbers as numbers.
template <typename Row, typename Key>
void SortRows(RowList<Row>& list, Key key, bool ascending) {
    list.rows.sort(
        [&](const Row& a, const Row& b) { return ascending ? key(a) < key(b) : key(b) < key(a); });
}

// Flips the column's flag; true when the key sorts its first way this time.
bool FirstWay(SortFlags& flags, int column) {
    bool& flag = flags.set[static_cast<std::size_t>(column)];
    flag = !flag;
    return flag;
}

// The sort of `column` as a change of `s`; false when the column names no key.
bool SortProxies(Settings& s, int column, bool first) {
    auto& list = s.proxies;
    switch (column) {
        case 1:
            SortRows(
                list, [](const ProxyEntry& r) { return r.address.view(); }, first);
            return true;
        case 2:
            SortRows(
                list, [](const ProxyEntry& r) { return LeadingNumber(r.kind.view()); }, !first);
            return true;
        case 3:
            SortRows(
                list, [](const ProxyEntry& r) { return SpeedValue(r.speed.view()); }, first);
            return true;
        case 4:
            SortRows(
                list, [](const ProxyEntry& r) { return r.in_use; }, false);
            return true;
        default:
            return false;
    }
}

bool SortUserAgents(Settings& s, int column, bool first) {
    auto& list = s.user_agents;
    switch (column) {
        case 1:
            SortRows(
                list, [](const UserAgentEntry& r) { return r.text.view(); }, first);
            return true;
        case 2:
            SortRows(
                list, [](const UserAgentEntry& r) { return r.in_use; }, false);
            return true;
        default:
            return false;
    }
}

bool SortRules(HeaderRuleList& list, int column, bool first) {
    switch (column) {
        case 1:
            SortRows(
                list, [](const HeaderRule& r) { return r.name.view(); }, first);
            return true;
        case 2:
            SortRows(
                list, [](const HeaderRule& r) { return r.value.view(); }, first);
            return true;
        case 3:
            SortRows(
                list, [](const HeaderRule& r) { return r.action; }, first);
            return true;
        case 4:
            SortRows(
                list, [](const HeaderRule& r) { return r.enabled; }, false);
            return true;
        default:
            return false;
    }
}

// The in-use column of each list (it has no direction flag).
int CheckColumn(SortedList list) {
    return list == SortedList::kUserAgents ? 2 : 4;
}

bool NamesKey(SortedList list, int column) {
    return column >= 1 && column <= CheckColumn(list);
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
    if (!NamesKey(list, column)) return kSortNoKey;
    bool first = column == CheckColumn(list) || FirstWay(flags, column);
    std::thread worker;
    bool started = starter(worker, [&rt, list, column, first] {
        Hold hold(rt.locks.settings);
        Settings& s = rt.settings;
        switch (list) {
            case SortedList::kProxies:
                SortProxies(s, column, first);
                break;
            case SortedList::kUserAgents:
                SortUserAgents(s, column, first);
                break;
            case SortedList::kSendRules:
                SortRules(s.send_headers, column, first);
                break;
            case SortedList::kReceiveRules:
                SortRules(s.recv_headers, column, first);
                break;
        }
    });
    if (!started) return kSortFailed;
    rt.front.WaitFor(worker);
    return kSortDone;
}

}  // namespace korvanel
