// The configuration file `data` in the runtime's directory: every setting and list in one
// text file of sections, each a ":NAME" header line followed by its value lines, every line
// ending in CR LF.
#pragma once

#include <string>

namespace korvanel {

struct Runtime;
struct Settings;

inline constexpr const char kConfigFileName[] = "data";
// The new text is written to a file beside the one `data` names (or a link `data` leads
// to), named as that file followed by this, and renamed over it, so `data` is never seen
// half written.
inline constexpr const char kConfigTempSuffix[] = ".tmp";

// Reads `data` into a fresh record and puts it in place of rt.settings only when the whole
// file was accepted. A missing file is first created with the default text. 1 on success;
// -1 when the file cannot be read or created or its contents are rejected, leaving both
// rt.settings and the file as they were; then `problem`, when given, says where and why
// ("data:214: :PROXY_LIST holds more than 200 rows"), so that the user can mend the file.
// Runs at start-up, before other threads exist.
int ReadConfiguration(Runtime& rt, std::string* problem = nullptr);

// ReadConfiguration at start-up: when the file is refused, one line on standard error says
// where and why, and the read-error dialog is shown. False then: the program ends.
bool LoadConfigurationAtStart(Runtime& rt);

// Writes one consistent snapshot of rt.settings, taken under the settings lock, to `data`
// through a temporary file (SaveFileSafely: a link `data` is written through, a read-only
// one is kept); the file work runs outside the lock, one save at a time, and a snapshot
// older than the one already written is not written (that save gives 1). 1 on success; -1
// when a step failed, leaving the previous `data` as it was. The first failure after a
// save that worked (or after the start) is told: one command-log line naming the file and
// the reason, and FrontEnd::SaveFailed.
int WriteConfiguration(Runtime& rt);

// The save command: runs WriteConfiguration on a worker thread and waits for it through the
// front end. What WriteConfiguration gave, or kThreadNotStarted after the "thread error"
// dialog when the thread cannot be started.
int SaveConfiguration(Runtime& rt);

// The text WriteConfiguration writes for `settings`.
std::string FormatConfiguration(const Settings& settings);

// The text a missing `data` is created with. Unlike the writer's text it has no bind or
// access-range sections, its tag line has no trailing ":", and it writes "0" for no upstream
// proxy and no User-Agent.
std::string DefaultConfigurationText();

}  // namespace korvanel
