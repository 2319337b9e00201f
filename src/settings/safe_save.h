// Saving a user's file where the user keeps it: through a symbolic link (or a chain of
// them) to the file it names, with the file's mode and, where the process may set them, its
// owner and group, and never over a file the user may not write.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

struct SaveOutcome {
    int result = 1;    // 1 saved; -1 not saved, the file as it was
    int error = 0;     // errno of the step that failed
    std::string file;  // the file written or meant: `path` with its links followed
};

// Saves `content` as the file `path` names. The file is replaced through a new file beside
// it (its name followed by `temp_suffix`), flushed and renamed over it, so a crash or a full
// disk leaves the old file or the new one. A link is followed to its final file and stays a
// link; a link that leads nowhere is refused (ENOENT) and nothing is written. A file the
// process may not write is refused (EACCES, EROFS) and left as it is. When the folder
// refuses the new file but the file itself may be written, the file is rewritten in place:
// its room is claimed first, so a full disk still leaves it whole, but a crash in the write
// can leave it partly new.
//
// A `private_file` is for its owner alone: made with mode 0600, and a file it replaces
// loses any permission of group and others.
SaveOutcome SaveFileSafely(const std::string& path, std::string_view temp_suffix,
                           std::string_view content, bool private_file = false);

}  // namespace korvanel
