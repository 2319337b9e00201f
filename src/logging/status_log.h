// The status log: one line per event, name ":" detail CR LF, in the command-log pane,
// which never grows past 3000 characters. Every line also asks for `data` to be saved.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

struct Runtime;

inline constexpr std::size_t kStatusPaneLimit = 3000;

int PostStatus(Runtime& rt, std::string_view name, std::string_view detail);

}  // namespace korvanel
