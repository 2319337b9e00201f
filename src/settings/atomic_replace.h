// Replacing a small file so that a crash, a kill or a full disk at any moment leaves either
// the old file or the new one, never a mixture or an empty file.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

// What a replacement gives its new file: permission bits and owner of the file it replaces.
// A negative field leaves the new file's own (the usual ones of a new file).
struct KeptAttributes {
    int mode = -1;
    int uid = -1;
    int gid = -1;
};

struct ReplaceOutcome {
    int result = 1;              // 1 replaced; -1 `path` is as it was
    int error = 0;               // errno of the step that failed
    bool temporary_made = true;  // false when the temporary file could not even be made
};

// Writes `content` to `temporary` (beside `path`, in the same directory), flushes it to
// disk, renames it over `path` and flushes the directory. On failure `path` is as it was
// and the temporary file is removed. The temporary name is never followed as a link. An
// owner the process may not give is left as the new file has it.
ReplaceOutcome ReplaceFile(const std::string& path, const std::string& temporary,
                           std::string_view content, const KeptAttributes& keep = {});

// ReplaceFile, its result alone; `mode` as KeptAttributes::mode.
int ReplaceFileAtomically(const std::string& path, const std::string& temporary,
                          std::string_view content, int mode = -1);

// Writes all of `content` to `fd`; false with errno set when a write fails.
bool WriteAll(int fd, std::string_view content);

}  // namespace korvanel
