// The log files: one plain file per log in the program's directory, appended in binary
// and rotated by size. A file that has grown past kLogFileRotateBytes by a write is renamed
// to "<name>.Y_M_D_h_m_s" (local time, no leading zeros), so the next write starts a new
// file. A rotated file is never overwritten: when that name is taken (two rotations in the
// same second), "_1", "_2", ... is added; when no name can be had, the full file stays.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace korvanel {

inline constexpr long long kLogFileRotateBytes = 1048576;
// Suffixes "_1" to "_99" tried after the plain rotated name.
inline constexpr int kRotatedNameAttempts = 100;

enum class LogWrite {
    kWritten,
    kFailed,       // the file could not be opened or written; it is left as it was
    kLinkRefused,  // a symbolic link lies in the file's place: nothing is written through it
};

// Appends `text` to the file at `path`, creating it when missing, then rotates it when it is
// now longer than kLogFileRotateBytes. The file is the user's alone: made so, and an older
// one others could read is made so too.
LogWrite AppendToLogFile(const std::string& path, std::string_view text, const Clock& clock);

// Renames the file at `path` to its rotated name for `now`. 1 when renamed; -1 when it
// stays where it is (no free rotated name, or the rename failed).
int RotateLogFile(const std::string& path, const LocalTime& now);

// `path` + ".Y_M_D_h_m_s", plus "_<attempt>" when attempt > 0.
std::string RotatedLogName(const std::string& path, const LocalTime& now, int attempt);

}  // namespace korvanel
