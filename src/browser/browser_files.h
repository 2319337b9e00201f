// File steps of the browser commands. Each reports 1 on success and -1 on failure; the
// commands end silently on a failure.
#pragma once

#include <optional>
#include <string>

#include "browser/edit_buffer.h"

namespace korvanel {

// Copies `from` to `to`, replacing `to` if it exists.
int CopyReplacing(const std::string& from, const std::string& to);
// The whole file in an edit buffer of its size plus the edit room; nothing when it cannot
// be opened or read.
std::optional<EditBuffer> ReadForEdit(const std::string& path);
// Makes `path` hold exactly `text`; -1 also when a write or the close fails, so that a
// cut-off text never travels further.
int WriteExactly(const std::string& path, const std::string& text);
// Removes the file if it exists.
void RemoveFile(const std::string& path);
// The folder of the user's home ($HOME) followed by `below`, ending in "/"; "" when HOME is
// unset, empty or longer than kHomeLimit.
std::string HomeFolder(const char* below);

inline constexpr std::size_t kHomeLimit = 253;

}  // namespace korvanel
