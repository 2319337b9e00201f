#include "settings/row_validation.h"

#include <algorithm>

#include "settings/header_name_forms.h"

namespace korvanel {

bool IsPrintableText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        unsigned char b = static_cast<unsigned char>(c);
        return b >= 0x20 && b <= 0x7E && c != '%' && c != '\\';
    });
}

bool IsDigitsOnly(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

// A flag text: at most one character, digits only, 0 or 1 (the empty text reads as 0).
bool IsFlagText(std::string_view text) {
    return text.size() <= 1 && IsDigitsOnly(text) && (text.empty() || text[0] <= '1');
}

}  // namespace

int CheckUserAgentRow(const Settings& settings, std::string_view text, std::string_view in_use) {
    if (!IsPrintableText(text) || text.find(':') != std::string_view::npos ||
        text.size() > kUserAgentMaxLength || text == "0") {
        return kRowMalformed;
    }
    if (settings.user_agents.size() >= kUserAgentCapacity) return kRowListFull;
    return IsFlagText(in_use) ? kRowValid : kRowMalformed;
}

int CheckProxyRow(std::string_view in_use, std::string_view speed, std::string_view kind,
                  std::string_view address) {
    if (speed.size() > kProxySpeedMaxLength) return kRowMalformed;
    if (kind.size() >= 2 || !IsPrintableText(kind)) return kRowMalformed;
    if (!IsFlagText(in_use)) return kRowMalformed;
    if (!IsPrintableText(address) || address.size() > kProxyAddressMaxLength) return kRowMalformed;
    std::size_t colon = address.find(':');
    if (colon == std::string_view::npos) return kRowMalformed;
    std::string_view port = address.substr(colon + 1);
    // The port: at least one character, digits only (so no second ":"); its range is the
    // listener's business.
    if (port.empty() || !IsDigitsOnly(port)) return kRowMalformed;
    return kRowValid;
}

int CheckHeaderRuleRow(const HeaderRuleList& list, std::string_view& enabled,
                       std::string_view action, std::string_view name, std::string_view value) {
    if (list.enabled_count > kEnabledHeaderRuleLimit) enabled = "0";
    if (!IsFlagText(enabled)) return kRowMalformed;
    if (!IsPrintableText(name) || name.find(':') != std::string_view::npos ||
        name.size() > kHeaderNameMaxLength) {
        return kRowMalformed;
    }
    if (!IsPrintableText(value) || value.size() > kHeaderValueMaxLength) return kRowMalformed;
    bool action_ok =
        action.size() <= 1 && IsDigitsOnly(action) && (action.empty() || action[0] <= '2');
    return action_ok ? kRowValid : kRowMalformed;
}

}  // namespace korvanel
