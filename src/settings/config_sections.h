// The sections of `data`, in the order they stand in the file: one table drives the reader,
// the writer and the text a missing file is created with, so that a new setting is one row.
//
// The file ends with ":END". Settings that came after the first version of the file stand
// after it, in sections of their own, and are written only when they differ from their
// defaults: a file that never had them reads and writes as it always did, and a reader that
// stops at ":END" reads every file this program writes.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "settings/config_values.h"

namespace korvanel {

enum class SectionShape {
    kOneLine,  // the header and one value line
    kLines,    // rows or value lines up to the header of the next section (none is fine)
    kEnd,      // ":END": the header alone
};

// Sections the reader takes as optional, a group at a time, and where they stand.
enum class SectionGroup {
    kAlways,        // must stand in its place
    kBindAndRange,  // both or neither; without them the server is for this machine only
    kHttpAndLogs,   // all five or none; without them HTTP/1.1 and every log to its file
    kAfterEnd,      // after ":END", each optional, written only when not its default
};

// What the text of a new file holds of a section.
enum class DefaultText { kLeftOut, kHeaderOnly, kHeaderAndValue };

// Appends the section's value lines (each ended by CR LF) for `settings`.
using ValueWriter = void (*)(const Settings& settings, std::string& out);

struct ConfigSection {
    std::string_view header;
    // The reader recognises the header on this many leading characters (the whole header
    // for the sections after ":END").
    std::size_t compared;
    SectionShape shape;
    SectionGroup group;
    ValueStore store;
    ValueWriter write;
    DefaultText in_new_file;
    // The value line of a new file; for a section after ":END", the value it is not
    // written with.
    std::string_view default_value;
};

std::span<const ConfigSection> ConfigSections();

// Sets what a file without the optional `group` means.
void ApplyMissingGroup(Settings& settings, SectionGroup group);

}  // namespace korvanel
