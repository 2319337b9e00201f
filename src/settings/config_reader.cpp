// Reading `data`. The sections stand in a fixed order; headers are recognised on a fixed
// number of leading characters. A value too long for its field is cut to it, and the tag
// values are kept as they stand, so that whatever the program saved reads back. Anything
// else the reader does not expect rejects the whole file: a damaged file is refused rather
// than half read, and start-up then tells the user.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "settings/config_lines.h"
#include "settings/config_sections.h"
#include "settings/proxy_logins_file.h"
#include "settings/safe_save.h"
#include "settings/worker_thread.h"
#include "texts.h"

namespace korvanel {

namespace {

enum class FileRead { kRead, kMissing, kFailed, kTooLarge };

FileRead ReadWholeFile(const std::string& path, std::string& text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FileRead::kMissing : FileRead::kFailed;
    char buffer[16384];
    FileRead result = FileRead::kRead;
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            result = FileRead::kFailed;
            break;
        }
        if (text.size() + static_cast<std::size_t>(got) > kConfigMaxFileBytes) {
            result = FileRead::kTooLarge;
            break;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    int error = errno;
    ::close(fd);
    errno = error;
    return result;
}

struct Reader {
    ConfigLineCursor cursor;
    Settings& settings;
    const std::string& path;
    std::string& problem;
    std::string_view line;  // the value of the line read last
    bool damaged = false;

    bool Next() {
        ConfigLineCursor::Result result = cursor.Next(line);
        damaged = result == ConfigLineCursor::kDamaged;
        return result == ConfigLineCursor::kLine;
    }
    bool LineIs(const ConfigSection& section) const {
        return StartsWithN(line, section.header, section.compared);
    }

    // Each ends the read with false, after saying where and why.
    bool Refuse(std::string_view what, std::string_view why) {
        char text[200];
        std::snprintf(text, sizeof text, ":%zu: %.*s%s%.*s", cursor.line_number(),
                      static_cast<int>(what.size()), what.data(), what.empty() ? "" : " ",
                      static_cast<int>(why.size()), why.data());
        problem = path + text;
        return false;
    }
    bool EndsBefore(std::string_view header) {
        if (damaged) return Refuse("", "holds a NUL byte");
        return Refuse("the file ends before", header);
    }
};

// A header's value lines up to the header of `next`, which is left in r.line.
bool ReadLines(Reader& r, const ConfigSection& section, const ConfigSection& next) {
    while (r.Next()) {
        if (r.LineIs(next)) return true;
        if (Refusal why = section.store(r.settings, r.line)) return r.Refuse(section.header, why);
    }
    return r.EndsBefore(next.header);
}

bool ReadValueLine(Reader& r, const ConfigSection& section) {
    if (!r.Next()) return r.EndsBefore(section.header);
    if (Refusal why = section.store(r.settings, r.line)) return r.Refuse(section.header, why);
    return true;
}

// The sections after ":END": each known one is read, anything else is left alone (a later
// version's settings, or text a user added). A section of lines ends at the next line that
// begins with ":", which is then taken as a header.
bool ReadAfterEnd(Reader& r, std::span<const ConfigSection> sections) {
    bool pending = false;
    while (pending || r.Next()) {
        pending = false;
        for (const ConfigSection& section : sections) {
            if (r.line != section.header) continue;
            if (section.shape != SectionShape::kLines) {
                if (!ReadValueLine(r, section)) return false;
                break;
            }
            while (r.Next()) {
                if (r.line.starts_with(':')) {
                    pending = true;
                    break;
                }
                if (Refusal why = section.store(r.settings, r.line)) {
                    return r.Refuse(section.header, why);
                }
            }
            break;
        }
    }
    return true;
}

// The sections in the table's order. A line read but not yet taken as a header waits in
// r.line (`pending`): after a section of lines, and after an optional group that was not there.
bool ReadAll(Reader& r) {
    std::span<const ConfigSection> sections = ConfigSections();
    bool pending = false;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const ConfigSection& section = sections[i];
        if (!pending && !r.Next()) return r.EndsBefore(section.header);
        pending = false;
        bool starts_group = section.group != SectionGroup::kAlways &&
                            (i == 0 || sections[i - 1].group != section.group);
        if (starts_group && !r.LineIs(section)) {
            ApplyMissingGroup(r.settings, section.group);
            while (i + 1 < sections.size() && sections[i + 1].group == section.group) ++i;
            pending = true;
            continue;
        }
        if (!r.LineIs(section)) return r.Refuse(section.header, "was expected here");
        switch (section.shape) {
            case SectionShape::kOneLine:
                if (!ReadValueLine(r, section)) return false;
                break;
            case SectionShape::kLines:
                if (!ReadLines(r, section, sections[i + 1])) return false;
                pending = true;
                break;
            case SectionShape::kEnd:
                return ReadAfterEnd(r, sections.subspan(i + 1));
        }
    }
    return false;  // the table ends with ":END"
}

}  // namespace

int ReadConfiguration(Runtime& rt, std::string* problem) {
    const std::string path = rt.PathOf(kConfigFileName);
    std::string ignored;
    std::string& why = problem ? *problem : ignored;
    std::string text;
    FileRead read = ReadWholeFile(path, text);
    if (read == FileRead::kMissing) {
        // Only a file that is not there is created; one that cannot be opened is kept.
        SaveOutcome created = SaveFileSafely(path, kConfigTempSuffix, DefaultConfigurationText());
        if (created.result != 1) {
            // A link that leads nowhere is not replaced: the message names where it leads.
            why = path + (created.file != path ? " (" + created.file + ")" : std::string()) +
                  ": cannot be created: " + std::strerror(created.error);
            return -1;
        }
        text.clear();
        read = ReadWholeFile(path, text);
    }
    if (read != FileRead::kRead) {
        why = path + (read == FileRead::kTooLarge
                          ? std::string(": is larger than any settings file")
                          : ": cannot be read: " + std::string(std::strerror(errno)));
        return -1;
    }

    auto fresh = std::make_unique<Settings>();
    Reader reader{ConfigLineCursor(text), *fresh, path, why, {}};
    try {
        if (!ReadAll(reader)) return -1;
    } catch (const RowAllocationFailed&) {
        ExitForOutOfMemory(rt);
    }
    fresh->tag_filter_active = ComputeTagFilterActive(*fresh);
    // A logins file that cannot be used leaves the rows without logins: the proxies still
    // serve (or ask for a login, which the user then sees), and the start says why.
    std::string logins_problem;
    const bool logins_refused = ReadLoginsFile(rt.PathOf(kLoginsFileName), fresh->proxy_logins,
                                               logins_problem) == LoginsRead::kRefused;
    Hold hold(rt.locks.settings);
    rt.settings = std::move(*fresh);
    std::lock_guard<std::mutex> writing(rt.config_save.writing);
    rt.config_save.logins_refused = logins_refused;
    rt.config_save.logins_problem = logins_problem;
    return 1;
}

bool LoadConfigurationAtStart(Runtime& rt) {
    std::string problem;
    if (ReadConfiguration(rt, &problem) == 1) return true;
    // The dialog's advice, to delete the file, throws every setting away: the line says
    // what to mend instead.
    std::fprintf(stderr, "%s\n", problem.c_str());
    ShowMessageDialog(rt, text::kReadErrorTitle, text::kReadErrorText);
    return false;
}

}  // namespace korvanel
