// The sections of `data` as tables: each header with the number of leading characters it is
// recognised on, and the function that checks a value and stores it into a Settings record.
// A store function returns false to reject the file.
#pragma once

#include <cstddef>
#include <string_view>

#include "settings/settings.h"

namespace korvanel {

struct Section {
    std::string_view header;
    std::size_t compared;
};

using RowStore = bool (*)(Settings&, std::string_view value);

struct ValueSection {
    Section section;
    RowStore store;
};

// A section of rows or value lines, ended by the header of the section after it.
struct ListSection {
    Section start;
    Section end;
    RowStore store;
};

// Thrown by a row store when the row cannot be allocated.
struct RowAllocationFailed {};

inline constexpr Section kTagSection{":TUG_JOB", 7};
inline constexpr Section kBindSection{":LOCAL_OR_PASSIVE", 16};
inline constexpr Section kAllowSection{":ALLOW_USER", 10};
inline constexpr Section kHttpVersionSection{":HTTP_VERSION", 12};

bool StoreTagLine(Settings& s, std::string_view value);
bool StoreBindMode(Settings& s, std::string_view value);
bool StoreAllowRange(Settings& s, std::string_view value);
bool StoreHttpVersion(Settings& s, std::string_view value);

extern const ValueSection kLogSections[4];
extern const ValueSection kPortSection;
// ":PROXY_SERVER" to ":USER_AGENT", after the port.
extern const ValueSection kRequiredSections[4];
// ":USER_AGENT_LIST" to ":WINDOW_INFO", each ended by the next header; the last ends at ":END".
extern const ListSection kListSections[8];

}  // namespace korvanel
