#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "logging/status_log.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "settings/safe_save.h"
#include "settings/worker_thread.h"
#include "texts.h"

namespace korvanel {

namespace {

void AppendLine(std::string& out, std::string_view text) {
    out.append(text);
    out.append("\r\n");
}

void AppendSection(std::string& out, std::string_view header, std::string_view value) {
    AppendLine(out, header);
    AppendLine(out, value);
}

// A section whose value line the reader takes as optional: an empty value is written as no
// value line at all, since the reader refuses a value line without a value.
void AppendOptionalSection(std::string& out, std::string_view header, std::string_view value) {
    AppendLine(out, header);
    if (!value.empty()) AppendLine(out, value);
}

void AppendListSections(std::string& out, const Settings& s) {
    char line[600];
    AppendLine(out, ":USER_AGENT_LIST");
    for (const UserAgentEntry& row : s.user_agents.rows) {
        std::snprintf(line, sizeof line, "%s:%d", row.text.c_str(), row.in_use);
        AppendLine(out, line);
    }
    AppendLine(out, ":PROXY_LIST");
    for (const ProxyEntry& row : s.proxies.rows) {
        std::snprintf(line, sizeof line, "%s:%s:%d:%s", row.speed.c_str(), row.kind.c_str(),
                      row.in_use, row.address.c_str());
        AppendLine(out, line);
    }
    const HeaderRuleList* lists[] = {&s.send_headers, &s.recv_headers};
    const char* headers[] = {":SEND_HEADER_LIST", ":RECV_HEADER_LIST"};
    for (int i = 0; i < 2; ++i) {
        AppendLine(out, headers[i]);
        for (const HeaderRule& row : lists[i]->rows) {
            std::snprintf(line, sizeof line, "%d:%d:%s:%s", row.enabled, row.action,
                          row.name.c_str(), row.value.c_str());
            AppendLine(out, line);
        }
    }
}

}  // namespace

std::string FormatConfiguration(const Settings& s) {
    std::string out;
    out.reserve(4096);
    AppendLine(out, ":TUG_JOB");
    for (const TagSwitch& row : s.tag_switches) {
        out.append(row.value.view());
        out.push_back(':');
    }
    out.append("\r\n");
    AppendSection(out, ":LOCAL_OR_PASSIVE", s.localorpassive);
    AppendSection(out, ":ALLOW_USER", s.allow_user);
    AppendSection(out, ":HTTP_VERSION", s.http_version);
    AppendSection(out, ":ACCESS_LOG", s.access_log);
    AppendSection(out, ":SEND_HEADER_LOG", s.send_header_log);
    AppendSection(out, ":RECV_HEADER_LOG", s.recv_header_log);
    AppendSection(out, ":SEND_RECV_HEADER_LOG", s.send_recv_header_log);
    AppendSection(out, ":KORV_PORT", s.port);
    AppendSection(out, ":PROXY_SERVER", s.proxy);
    AppendSection(out, ":COOKIE", s.cookie);
    AppendSection(out, ":SET_COOKIE", s.setcookie);
    AppendSection(out, ":USER_AGENT", s.agent);
    AppendListSections(out, s);
    AppendOptionalSection(out, ":AUTO_START", s.auto_start);
    AppendOptionalSection(out, ":KORVANEL_COLOR", s.color);
    AppendOptionalSection(out, ":CHECK_PROXY_ADDRESS", s.checkproxyaddress);
    char geometry[80];
    std::snprintf(geometry, sizeof geometry, "%d:%d:%d:%d:%d", s.window_width, s.window_height,
                  s.split_pos, s.window_x, s.window_y);
    AppendSection(out, ":WINDOW_INFO", geometry);
    AppendLine(out, ":END");
    return out;
}

std::string DefaultConfigurationText() {
    std::string out;
    AppendLine(out, ":TUG_JOB");
    for (int i = 0; i < kTagSwitchCount; ++i) out.append(i == 0 ? "0" : ":0");
    out.append("\r\n");
    AppendSection(out, ":HTTP_VERSION", "1.1");
    AppendSection(out, ":ACCESS_LOG", "0");
    AppendSection(out, ":SEND_HEADER_LOG", "0");
    AppendSection(out, ":RECV_HEADER_LOG", "0");
    AppendSection(out, ":SEND_RECV_HEADER_LOG", "0");
    AppendSection(out, ":KORV_PORT", "8080");
    AppendSection(out, ":PROXY_SERVER", "0");
    AppendSection(out, ":COOKIE", "0");
    AppendSection(out, ":SET_COOKIE", "0");
    AppendSection(out, ":USER_AGENT", "0");
    AppendLine(out, ":USER_AGENT_LIST");
    AppendLine(out, ":PROXY_LIST");
    AppendLine(out, ":SEND_HEADER_LIST");
    AppendLine(out, ":RECV_HEADER_LIST");
    AppendSection(out, ":AUTO_START", "0");
    AppendSection(out, ":KORVANEL_COLOR", "DEFAULT");
    AppendSection(out, ":CHECK_PROXY_ADDRESS", kDefaultCheckAddress);
    AppendSection(out, ":WINDOW_INFO", "920:700:300:10:10");
    AppendLine(out, ":END");
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
    std::uint64_t snapshot = 0;
    {
        Hold hold(rt.locks.settings);
        text = FormatConfiguration(rt.settings);
        snapshot = ++rt.config_save.last_taken;
    }
    const std::string path = rt.PathOf(kConfigFileName);
    SaveOutcome outcome;
    bool first_failure = false;
    {
        std::lock_guard<std::mutex> writing(rt.config_save.writing);
        // A save that took its snapshot later has already written it: this one is covered.
        if (snapshot < rt.config_save.last_written) return 1;
        outcome = SaveFileSafely(path, kConfigTempSuffix, text);
        if (outcome.result == 1) rt.config_save.last_written = snapshot;
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
