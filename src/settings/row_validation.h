// The validators that every way into a list passes: the configuration reader, the list
// pages and the bulk registration dialogs. Each takes a row's fields as texts.
//
// Results: 1 valid, -1 malformed, -2 the list is full (user agents only; the proxy and
// header rule callers test their counts themselves). They read list counts, so the caller
// holds the settings lock or runs before any other thread exists.
#pragma once

#include <string_view>

#include "runtime/settings.h"

namespace korvanel {

inline constexpr int kRowValid = 1;
inline constexpr int kRowMalformed = -1;
inline constexpr int kRowListFull = -2;

inline constexpr std::size_t kUserAgentMaxLength = 216;
inline constexpr std::size_t kProxyAddressMaxLength = 216;
inline constexpr std::size_t kProxySpeedMaxLength = 10;
inline constexpr std::size_t kHeaderValueMaxLength = 155;

// Every byte from space to "~", and neither "%" nor "\". The empty text is printable.
bool IsPrintableText(std::string_view text);
// Every byte a decimal digit. The empty text counts as digits-only.
bool IsDigitsOnly(std::string_view text);

int CheckUserAgentRow(const Settings& settings, std::string_view text, std::string_view in_use);

int CheckProxyRow(std::string_view in_use, std::string_view speed, std::string_view kind,
                  std::string_view address);

// `enabled` is in and out: when the list already has 15 rules enabled it is replaced by
// "0" before anything else, so a rule loaded or added beyond the limit arrives disabled.
int CheckHeaderRuleRow(const HeaderRuleList& list, std::string_view& enabled,
                       std::string_view action, std::string_view name, std::string_view value);

}  // namespace korvanel
