#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "logging/status_log.h"
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

// True when `lines` is the one value line `value` with its CR LF, or, for an empty
// default, no line at all (an empty list).
bool IsDefaultValue(std::string_view lines, std::string_view value) {
    if (lines.empty()) return value.empty();
    return lines.size() == value.size() + 2 && lines.starts_with(value) && lines.ends_with("\r\n");
}

}  // namespace

std::string FormatConfiguration(const Settings& s) {
    std::string out;
    out.reserve(4096);
    std::string lines;
    for (const ConfigSection& section : ConfigSections()) {
        if (section.group == SectionGroup::kAfterEnd) {
            lines.clear();
            section.write(s, lines);
            if (IsDefaultValue(lines, section.default_value)) continue;
            AppendConfigLine(out, section.header);
            out.append(lines);
            continue;
        }
        AppendConfigLine(out, section.header);
        if (section.write) section.write(s, out);
    }
    return out;
}

std::string DefaultConfigurationText() {
    std::string out;
    for (const ConfigSection& section : ConfigSections()) {
        if (section.in_new_file == DefaultText::kLeftOut) continue;
        AppendConfigLine(out, section.header);
        if (section.in_new_file == DefaultText::kHeaderAndValue) {
            AppendConfigLine(out, section.default_value);
        }
    }
    return out;
}

namespace {

// "FILE: reason", naming also the file a link led to.
std::string FailureDetail(const std::string& path, const SaveOutcome& outcome) {
    std::string detail = path;
    if (outcome.file != path) detail.append(" -> ").append(outcome.file);
    char reason[256];
    detail.append(": ").append(strerror_r(outcome.error, reason, sizeof reason));
    return detail;
}

void ReportSaveFailure(Runtime& rt, const std::string& path, const SaveOutcome& outcome) {
    const std::string detail = FailureDetail(path, outcome);
    std::string line = text::kSaveFailedStatus;
    line.append(":").append(detail).append("\r\n");
    // Not a status line: those ask for a save, and this one would ask again at once.
    rt.front.AppendToPane(Pane::kStatus, line, kStatusPaneLimit);
    rt.front.SaveFailed(text::kSaveErrorTitle, std::string(text::kSaveErrorText) + detail);
}

}  // namespace

int WriteConfiguration(Runtime& rt) {
    // Only the snapshot is taken under the settings lock: the write and its flushes to disk
    // run outside it, so that handlers starting a request meanwhile do not wait for the disk.
    std::string text;
    std::string logins;
    std::uint64_t snapshot = 0;
    std::uint64_t logins_version = 0;
    {
        Hold hold(rt.locks.settings);
        text = FormatConfiguration(rt.settings);
        snapshot = ++rt.config_save.last_taken;
        // The logins file is written only after a change of a login in this run.
        logins_version = rt.settings.logins_version;
        if (logins_version != 0) logins = FormatLoginsText(rt.settings.proxy_logins);
    }
    std::string path = rt.PathOf(kConfigFileName);
    SaveOutcome outcome;
    bool first_failure = false;
    {
        std::lock_guard<std::mutex> writing(rt.config_save.writing);
        // A save that took its snapshot later has already written it: this one is covered.
        if (snapshot < rt.config_save.last_written) return 1;
        outcome = SaveFileSafely(path, kConfigTempSuffix, text);
        if (outcome.result == 1) rt.config_save.last_written = snapshot;
        if (outcome.result == 1 && logins_version > rt.config_save.logins_written &&
            !rt.config_save.logins_refused) {
            path = rt.PathOf(kLoginsFileName);
            outcome = SaveFileSafely(path, kConfigTempSuffix, logins, true);
            if (outcome.result == 1) rt.config_save.logins_written = logins_version;
        }
        first_failure = outcome.result != 1 && !rt.config_save.failing;
        rt.config_save.failing = outcome.result != 1;
    }
    // Told outside the save's own lock: the window's dialog waits for the user.
    if (first_failure) ReportSaveFailure(rt, path, outcome);
    return outcome.result;
}

int SaveConfiguration(Runtime& rt) {
    return RunWorkerCommand(rt, [&rt] { return WriteConfiguration(rt); });
}

}  // namespace korvanel
