// The row validators over any fields, with lists empty, partly filled or full. A row they
// accept must be one the lists can store and the header rules can use.
#include "settings/row_validation.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "settings/header_name_forms.h"
#include "settings/row_makers.h"

using namespace korvanel;

namespace {

void FillUserAgents(Settings& s, int count) {
    for (int i = 0; i < count; ++i) AppendUserAgentRow(s, "UA/" + std::to_string(i), 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    bool full = input.ConsumeBool();
    int enabled = input.ConsumeIntegralInRange(0, kEnabledHeaderRuleLimit + 1);
    std::string fields[4];
    for (std::string& field : fields) field = input.ConsumeRandomLengthString(300);
    std::string last = input.ConsumeRemainingBytesAsString();

    // Made once: an empty list and a full one.
    static Settings* lists[2] = {nullptr, nullptr};
    Settings*& s = lists[full ? 1 : 0];
    if (s == nullptr) {
        s = new Settings;
        FillUserAgents(*s, full ? kUserAgentCapacity : 0);
    }

    fuzz::Use(IsPrintableText(last) + IsDigitsOnly(last));

    int agent = CheckUserAgentRow(*s, fields[0], fields[1]);
    fuzz::Require(agent == kRowValid || agent == kRowMalformed || agent == kRowListFull,
                  "CheckUserAgentRow gives 1, -1 or -2");
    if (agent == kRowListFull) fuzz::Require(s->user_agents.size() >= kUserAgentCapacity, "full");
    if (agent == kRowValid) {
        fuzz::Require(fields[0].size() <= kUserAgentMaxLength && IsPrintableText(fields[0]),
                      "an accepted user agent is printable and within its length");
    }

    int proxy = CheckProxyRow(fields[0], fields[1], fields[2], last);
    fuzz::Require(proxy == kRowValid || proxy == kRowMalformed, "CheckProxyRow gives 1 or -1");
    if (proxy == kRowValid) {
        Settings one;
        AppendProxyRow(one, fields[1], fields[2], fields[0] == "1", last);
        fuzz::Require(one.proxies.at(0)->address.view() == last,
                      "an accepted address is kept whole");
        fuzz::Require(one.proxies.at(0)->speed.view() == fields[1],
                      "an accepted speed is kept whole");
    }

    HeaderRuleList rules;
    for (int i = 0; i < enabled; ++i) AppendHeaderRule(rules, 1, 0, "X-A", "b");
    std::string_view enabled_text = fields[0];
    int rule = CheckHeaderRuleRow(rules, enabled_text, fields[1], fields[2], last);
    fuzz::Use(enabled_text);
    fuzz::Require(rule == kRowValid || rule == kRowMalformed, "CheckHeaderRuleRow gives 1 or -1");
    if (rules.enabled_count > kEnabledHeaderRuleLimit) {
        fuzz::Require(enabled_text == "0", "a rule beyond the limit arrives disabled");
    }
    if (rule == kRowValid) {
        HeaderNameForms forms = MakeHeaderNameForms(fields[2]);
        fuzz::Use(forms.name.view());
        fuzz::Require(forms.name.size() == fields[2].size(), "an accepted name is kept whole");
        int action = fields[1].empty() ? 0 : fields[1][0] - '0';
        int on = enabled_text.empty() ? 0 : enabled_text[0] - '0';
        int before = rules.enabled_count;
        AppendHeaderRule(rules, on, action, fields[2], last);
        fuzz::Require(rules.enabled_count <= std::max(before, kEnabledHeaderRuleLimit + 1),
                      "enabled rules stay within the limit");
        fuzz::Require(rules.rows.back().value.view() == last, "an accepted value is kept whole");
    }
    return 0;
}
