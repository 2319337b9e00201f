#include "settings/row_makers.h"

#include <new>

#include "settings/header_name_forms.h"

namespace korvanel {

namespace {
template <typename Row>
Row* AppendRow(RowList<Row>& list) {
    try {
        return &list.rows.emplace_back();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
}  // namespace

bool AppendUserAgentRow(Settings& settings, std::string_view text, int in_use) {
    UserAgentEntry* row = AppendRow(settings.user_agents);
    if (!row) return false;
    row->text = text;
    row->in_use = in_use;
    return true;
}

bool AppendProxyRow(Settings& settings, std::string_view speed, std::string_view kind, int in_use,
                    std::string_view address) {
    ProxyEntry* row = AppendRow(settings.proxies);
    if (!row) return false;
    row->speed = speed;
    row->kind = kind;
    row->in_use = in_use;
    row->address = address;
    return true;
}

bool AppendHeaderRule(HeaderRuleList& list, int enabled, int action, std::string_view name,
                      std::string_view value) {
    HeaderRule* row = AppendRow(list);
    if (!row) return false;
    HeaderNameForms forms = MakeHeaderNameForms(name);
    row->enabled = enabled;
    row->action = action;
    row->name = forms.name;
    row->name_lower = forms.lower;
    row->name_upper = forms.upper;
    row->name_capitalised = forms.capitalised;
    row->value = value;
    if (enabled == 1) ++list.enabled_count;
    return true;
}

}  // namespace korvanel
