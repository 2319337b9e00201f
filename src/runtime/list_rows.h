// The rows of the settings lists. Lists keep insertion order; rows are addressed by their
// zero-based position.
#pragma once

#include <list>

#include "platform/fixed_text.h"
#include "runtime/upstream_kind.h"

namespace korvanel {

struct UserAgentEntry {
    int in_use = 0;  // 1 when this row's text is the one copied in `agent`
    FixedText<219> text;
};

struct ProxyEntry {
    FixedText<32> speed = "0";  // speed found by the last check; "0" before any
    FixedText<4> kind = "0";    // kind code found by the last check; "0" before any
    FixedText<219> address;     // host ":" port
    int in_use = 0;             // 1 when this row's address is the one copied in `proxy`
    // What the proxy speaks. Kept by address: rows with the same address share it.
    UpstreamKind upstream = UpstreamKind::kHttp;
};

enum class HeaderAction : int { kAdd = 0, kRemove = 1, kChange = 2 };

struct HeaderRule {
    int enabled = 0;
    int action = 0;      // a HeaderAction value
    FixedText<66> name;  // normal form: lower case but a first letter a-z made upper
    FixedText<66> name_lower;
    FixedText<66> name_upper;
    FixedText<66> name_capitalised;
    FixedText<158> value;
};

// A fixed tag row: value "0"/"1" and the tag prefix; the tag "dummy" never matches.
struct TagSwitch {
    FixedText<4> value = "0";
    FixedText<10> tag;
};

template <typename Row>
struct RowList {
    std::list<Row> rows;
    int size() const { return static_cast<int>(rows.size()); }
    bool empty() const { return rows.empty(); }
    // The row at zero-based `position`, or null.
    Row* at(int position) {
        if (position < 0 || position >= size()) return nullptr;
        auto it = rows.begin();
        std::advance(it, position);
        return &*it;
    }
    const Row* at(int position) const { return const_cast<RowList*>(this)->at(position); }
};

struct HeaderRuleList : RowList<HeaderRule> {
    // 1 plus the number of enabled rules.
    int enabled_count = 1;
};

}  // namespace korvanel
