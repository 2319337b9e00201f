// Reading `data`. The sections stand in a fixed order; headers are recognised on a fixed
// number of leading characters. A value too long for its field is cut to it, and the tag
// values are kept as they stand, so that whatever the program saved reads back. Anything
// else the reader does not expect rejects the whole file: a damaged file is refused rather
// than half read, and start-up then tells the user.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "settings/config_lines.h"
#include "settings/config_values.h"
#include "settings/row_makers.h"
#include "settings/row_validation.h"
#include "settings/safe_save.h"
#include "settings/worker_thread.h"

namespace korvanel {

namespace {

enum class FileRead { kRead, kMissing, kFailed };

FileRead ReadWholeFile(const std::string& path, std::string& text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FileRead::kMissing : FileRead::kFailed;
    char buffer[16384];
    FileRead result = FileRead::kRead;
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || text.size() + static_cast<std::size_t>(got) > kConfigMaxFileBytes) {
            result = FileRead::kFailed;
            break;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return result;
}

struct Reader {
    ConfigLineCursor cursor;
    Settings& settings;
    std::string_view line;  // the value of the line read last

    bool Next() { return cursor.Next(line) == ConfigLineCursor::kLine; }
    bool LineIs(const Section& section) const {
        return StartsWithN(line, section.header, section.compared);
    }
    bool NextIs(const Section& section) { return Next() && LineIs(section); }
};

// A header line and the one value line after it.
bool ReadValueSection(Reader& r, const ValueSection& section) {
    return r.NextIs(section.section) && r.Next() && section.store(r.settings, r.line);
}

// Rows (or value lines) up to the line that begins with `end`, which is left in r.line.
// A section without rows leaves its list or field as it was.
bool ReadRowsUntil(Reader& r, const Section& end, RowStore store) {
    while (r.Next()) {
        if (r.LineIs(end)) return true;
        if (!store(r.settings, r.line)) return false;
    }
    return false;
}

bool ReadTagSection(Reader& r) {
    return r.NextIs(kTagSection) && r.Next() && StoreTagLine(r.settings, r.line);
}

// Optional: without these sections the server is local-only for loopback clients. Leaves
// the next unread header in r.line.
bool ReadBindSections(Reader& r) {
    if (!r.Next()) return false;
    if (!r.LineIs(kBindSection)) return true;
    if (!r.Next() || !StoreBindMode(r.settings, r.line)) return false;
    if (!r.NextIs(kAllowSection) || !r.Next() || !StoreAllowRange(r.settings, r.line)) {
        return false;
    }
    return r.Next();
}

// Optional as a group of five: without them HTTP/1.1 and every log to its file. Leaves the
// next unread header in r.line.
bool ReadHttpAndLogSections(Reader& r) {
    if (!r.LineIs(kHttpVersionSection)) {
        r.settings.http_version = "1.1";
        r.settings.access_log = log_mode::kFileOnly;
        r.settings.send_header_log = log_mode::kFileOnly;
        r.settings.recv_header_log = log_mode::kFileOnly;
        r.settings.send_recv_header_log = log_mode::kFileOnly;
        return true;
    }
    if (!r.Next() || !StoreHttpVersion(r.settings, r.line)) return false;
    for (const ValueSection& section : kLogSections) {
        if (!ReadValueSection(r, section)) return false;
    }
    return r.Next();
}

bool ReadSettingSections(Reader& r) {
    // The port header was already read as the line after the optional groups.
    if (!r.LineIs(kPortSection.section) || !r.Next() || !kPortSection.store(r.settings, r.line)) {
        return false;
    }
    for (const ValueSection& section : kRequiredSections) {
        if (!ReadValueSection(r, section)) return false;
    }
    return true;
}

// Lists and the sections after them, each ended by the header of the next.
bool ReadListAndTailSections(Reader& r) {
    if (!r.NextIs(kListSections[0].start)) return false;
    for (const ListSection& list : kListSections) {
        if (!ReadRowsUntil(r, list.end, list.store)) return false;
    }
    return true;
}

bool ReadAll(Reader& r) {
    return ReadTagSection(r) && ReadBindSections(r) && ReadHttpAndLogSections(r) &&
           ReadSettingSections(r) && ReadListAndTailSections(r);
}

}  // namespace

int ReadConfiguration(Runtime& rt) {
    const std::string path = rt.PathOf(kConfigFileName);
    std::string text;
    FileRead read = ReadWholeFile(path, text);
    if (read == FileRead::kMissing) {
        // Only a file that is not there is created; one that cannot be opened is kept.
        if (SaveFileSafely(path, kConfigTempSuffix, DefaultConfigurationText()).result != 1) {
            return -1;
        }
        text.clear();
        read = ReadWholeFile(path, text);
    }
    if (read != FileRead::kRead) return -1;

    auto fresh = std::make_unique<Settings>();
    Reader reader{ConfigLineCursor(text), *fresh, {}};
    try {
        if (!ReadAll(reader)) return -1;
    } catch (const RowAllocationFailed&) {
        ExitForOutOfMemory(rt);
    }
    fresh->tag_filter_active = ComputeTagFilterActive(*fresh);
    Hold hold(rt.locks.settings);
    rt.settings = std::move(*fresh);
    return 1;
}

}  // namespace korvanel
