#include <cstdint>
#include <mutex>
#include <string_view>

#include "runtime/runtime.h"
#include "settings/atomic_replace.h"
#include "settings/config_file.h"
#include "settings/config_lines.h"
#include "settings/config_sections.h"
#include "settings/worker_thread.h"

namespace korvanel {

namespace {

// True when `lines` is the one value line `value` with its CR LF.
bool IsValueLine(std::string_view lines, std::string_view value) {
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
            if (IsValueLine(lines, section.default_value)) continue;
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

int WriteConfiguration(Runtime& rt) {
    // Only the snapshot is taken under the settings lock: the write and its flushes to disk
    // run outside it, so that handlers starting a request meanwhile do not wait for the disk.
    std::string text;
    std::uint64_t snapshot = 0;
    {
        Hold hold(rt.locks.settings);
        text = FormatConfiguration(rt.settings);
        snapshot = ++rt.config_save.last_taken;
    }
    std::lock_guard<std::mutex> writing(rt.config_save.writing);
    // A save that took its snapshot later has already written it: this one is covered.
    if (snapshot < rt.config_save.last_written) return 1;
    int result =
        ReplaceFileAtomically(rt.PathOf(kConfigFileName), rt.PathOf(kConfigTempFileName), text);
    if (result == 1) rt.config_save.last_written = snapshot;
    return result;
}

int SaveConfiguration(Runtime& rt) {
    return RunWorkerCommand(rt, [&rt] { return WriteConfiguration(rt); });
}

}  // namespace korvanel
