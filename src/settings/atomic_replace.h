// Replacing a small file so that a crash, a kill or a full disk at any moment leaves either
// the old file or the new one, never a mixture or an empty file.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

// Writes `content` to `temporary` (beside `path`, in the same directory), flushes it to
// disk, renames it over `path` and flushes the directory. 1 on success; -1 when a step
// failed, in which case `path` is as it was and the temporary file is removed. `mode`, when
// not negative, gives the new file these permission bits (those of the file it replaces,
// say); else it gets the usual ones of a new file.
int ReplaceFileAtomically(const std::string& path, const std::string& temporary,
                          std::string_view content, int mode = -1);

}  // namespace korvanel
