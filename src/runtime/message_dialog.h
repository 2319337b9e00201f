// The one message dialog: a title, a text and an OK button. Callable from any thread; a
// call blocks its thread until the user answers (the headless front end answers at once).
// Each call hands its own copies to the front end, so calls from several threads at once
// never mix their texts.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

struct Runtime;

inline constexpr std::size_t kMessageTitleMaxCharacters = 1999;
inline constexpr std::size_t kMessageTextMaxCharacters = 4999;

// Cuts the title and the text to their limits (counted in characters, never inside a
// character) and shows them. Returns 0, which callers ignore.
int ShowMessageDialog(Runtime& rt, std::string_view title, std::string_view text);

// The first `characters` characters of UTF-8 `text`.
std::string_view CutToCharacters(std::string_view text, std::size_t characters);

}  // namespace korvanel
