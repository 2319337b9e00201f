#include "browser/desktop_proxy.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "browser/authority_trust.h"
#include "browser/browser_files.h"
#include "browser/browser_settings.h"
#include "browser/gnome_proxy.h"
#include "browser/kde_proxy.h"
#include "logging/status_log.h"
#include "platform/child_process.h"
#include "platform/process_table.h"
#include "runtime/runtime.h"
#include "settings/safe_save.h"
#include "texts.h"

namespace korvanel {
namespace {

constexpr std::string_view kGnomeFamily[] = {"GNOME", "X-Cinnamon", "Cinnamon", "Budgie",
                                             "Unity", "Pantheon",   "MATE"};
constexpr std::string_view kKdeName = "KDE";
constexpr std::string_view kGnomeTag = "gnome";
constexpr std::string_view kKdeTag = "kde";
constexpr const char kReplacementSuffix[] = ".korvanel-new";
// How KDE's settings module tells KDE's programs to read kioslaverc again.
constexpr const char kDbusSend[] = "dbus-send";

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

const char* NameOf(Desktop desktop) {
    return desktop == Desktop::kKde ? text::kDesktopKde : text::kDesktopGnome;
}

void Say(Runtime& rt, Desktop desktop, const char* what, std::string_view detail) {
    std::string line = text::kDesktopSettings;
    line += NameOf(desktop);
    line += what;
    line += detail;
    PostStatus(rt, text::kBrowserStatus, line);
}

std::string Address(std::string_view port) {
    return "127.0.0.1:" + std::string(port);
}

// The kept values: which desktop they came from, and the text after that line.
struct Kept {
    Desktop desktop = Desktop::kNone;
    std::string values;
};

std::optional<Kept> ReadKept(const std::string& path) {
    std::optional<EditBuffer> file = ReadForEdit(path);
    if (!file) return std::nullopt;
    std::string_view text = file->text();
    std::size_t end = text.find('\n');
    std::string_view tag = text.substr(0, end);
    Kept kept;
    kept.desktop = tag == kGnomeTag ? Desktop::kGnome
                   : tag == kKdeTag ? Desktop::kKde
                                    : Desktop::kNone;
    if (kept.desktop == Desktop::kNone) return std::nullopt;
    kept.values = end == std::string_view::npos ? "" : std::string(text.substr(end + 1));
    return kept;
}

bool WriteKept(const std::string& path, Desktop desktop, const std::string& values) {
    std::string text(desktop == Desktop::kKde ? kKdeTag : kGnomeTag);
    text += '\n';
    text += values;
    return WriteExactly(path, text) > 0;
}

// ---- GNOME ----

// The current values of the keys a set changes; nothing when one cannot be read.
std::optional<std::vector<GSetting>> ReadGnome(const GSettingsTool& tool, std::string& problem) {
    std::vector<GSetting> now = GnomeProxySettings("0", false);
    for (GSetting& setting : now) {
        std::optional<std::string> value = tool.Get(setting.schema, setting.key, problem);
        if (!value) return std::nullopt;
        setting.value = *value;
    }
    return now;
}

// Writes the values, then reads the mode back: a GSettings without its backend (no session
// bus, no dconf) takes every value and keeps none.
bool WriteGnome(const GSettingsTool& tool, const std::vector<GSetting>& settings,
                std::string& problem) {
    for (const GSetting& setting : settings) {
        if (!tool.Set(setting, problem)) return false;
    }
    for (const GSetting& setting : settings) {
        if (setting.key != gnome_proxy::kMode) continue;
        std::optional<std::string> mode = tool.Get(setting.schema, setting.key, problem);
        if (!mode) return false;
        if (*mode != setting.value) {
            problem = text::kDesktopNotKept;
            return false;
        }
    }
    return true;
}

bool SetGnome(const BrowserHost& host, const BrowserSettings& values, const std::string& kept_path,
              std::string& problem) {
    GSettingsTool tool(host.gsettings, host.timing.desktop_tool_limit);
    if (!tool.Found()) {
        problem = text::kDesktopNoGsettings;
        return false;
    }
    std::optional<std::vector<GSetting>> before = ReadGnome(tool, problem);
    if (!before) return false;
    // Values kept by an earlier set that was not reset are the user's: they stay.
    bool kept_now = !ReadKept(kept_path);
    if (kept_now && !WriteKept(kept_path, Desktop::kGnome, FormatGSettings(*before))) {
        problem = text::kDesktopKeptNotWritten + kept_path;
        return false;
    }
    if (WriteGnome(tool, GnomeProxySettings(values.port.view(), values.tunnel), problem)) {
        return true;
    }
    // Nothing is left half set: what was there goes back.
    std::string ignored;
    WriteGnome(tool, *before, ignored);
    if (kept_now) RemoveFile(kept_path);
    return false;
}

bool ResetGnome(const BrowserHost& host, const std::optional<Kept>& kept, std::string& problem) {
    GSettingsTool tool(host.gsettings, host.timing.desktop_tool_limit);
    if (!tool.Found()) {
        problem = text::kDesktopNoGsettings;
        return false;
    }
    if (kept) return WriteGnome(tool, ParseGSettings(kept->values), problem);
    // Nothing kept (the set was made elsewhere, or its file is gone): a desktop pointed at a
    // proxy on this machine goes back to no proxy; any other setting is the user's own.
    std::optional<std::string> mode = tool.Get(gnome_proxy::kProxy, gnome_proxy::kMode, problem);
    std::optional<std::string> host_now = tool.Get(gnome_proxy::kHttp, "host", problem);
    if (!mode || !host_now) return false;
    if (*mode != gnome_proxy::kManual || *host_now != gnome_proxy::kLoopback) return true;
    return WriteGnome(tool, {{gnome_proxy::kProxy, gnome_proxy::kMode, gnome_proxy::kNone}},
                      problem);
}

// ---- KDE ----

const std::vector<std::string_view> kKdeKeys = {kde_proxy::kType, kde_proxy::kHttp,
                                                kde_proxy::kHttps};

std::string FormatIni(const std::vector<IniEntry>& entries) {
    std::string text;
    for (const IniEntry& entry : entries) {
        text += entry.key;
        if (entry.value) text += "=" + *entry.value;
        text += '\n';
    }
    return text;
}

std::vector<IniEntry> ParseIni(std::string_view text) {
    std::vector<IniEntry> entries;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;
        std::size_t equals = line.find('=');
        IniEntry entry{std::string(line.substr(0, equals)), std::nullopt};
        if (equals != std::string_view::npos) entry.value = std::string(line.substr(equals + 1));
        entries.push_back(std::move(entry));
    }
    return entries;
}

// Tells KDE's programs to read their proxy settings again; a desktop without it (or
// without a session bus) reads them at its next start.
void AnnounceToKde(const BrowserHost& host) {
    std::string path = FindOnPath(kDbusSend);
    if (path.empty()) return;
    RunChild(path,
             {kDbusSend, "--type=signal", "/KIO/Scheduler",
              "org.kde.KIO.Scheduler.reparseSlaveConfiguration", "string:"},
             host.timing.desktop_tool_limit);
}

bool WriteKde(const BrowserHost& host, const std::vector<IniEntry>& entries, std::string& problem) {
    std::string path = KioslavercPath();
    if (path.empty()) {
        problem = text::kDesktopNoHome;
        return false;
    }
    std::string text;
    if (std::optional<EditBuffer> file = ReadForEdit(path)) text = file->text();
    std::string edited = WriteIniEntries(text, kde_proxy::kGroup, entries);
    // A home without its settings folder yet gets one, for the user only.
    std::error_code error;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (std::filesystem::create_directories(folder, error)) ::chmod(folder.c_str(), 0700);
    if (edited != text && SaveFileSafely(path, kReplacementSuffix, edited).result < 0) {
        problem = text::kDesktopNotWritten + path;
        return false;
    }
    AnnounceToKde(host);
    return true;
}

bool SetKde(const BrowserHost& host, const BrowserSettings& values, const std::string& kept_path,
            std::string& problem) {
    std::string path = KioslavercPath();
    std::string text;
    if (std::optional<EditBuffer> file = ReadForEdit(path)) text = file->text();
    bool kept_now = !ReadKept(kept_path);
    if (kept_now && !WriteKept(kept_path, Desktop::kKde,
                               FormatIni(ReadIniEntries(text, kde_proxy::kGroup, kKdeKeys)))) {
        problem = text::kDesktopKeptNotWritten + kept_path;
        return false;
    }
    std::string proxy = KdeProxyValue(values.port.view());
    std::vector<IniEntry> entries = {
        {std::string(kde_proxy::kType), std::string(kde_proxy::kManual)},
        {std::string(kde_proxy::kHttp), proxy},
        {std::string(kde_proxy::kHttps), values.tunnel ? proxy : std::string()},
    };
    if (WriteKde(host, entries, problem)) return true;
    if (kept_now) RemoveFile(kept_path);
    return false;
}

bool ResetKde(const BrowserHost& host, const std::optional<Kept>& kept, std::string& problem) {
    if (kept) return WriteKde(host, ParseIni(kept->values), problem);
    std::string text;
    if (std::optional<EditBuffer> file = ReadForEdit(KioslavercPath())) text = file->text();
    std::vector<IniEntry> now = ReadIniEntries(text, kde_proxy::kGroup, kKdeKeys);
    bool ours = now[0].value == kde_proxy::kManual && now[1].value &&
                now[1].value->starts_with("http://127.0.0.1 ");
    if (!ours) return true;
    return WriteKde(host, {{std::string(kde_proxy::kType), std::string(kde_proxy::kNoProxy)}},
                    problem);
}

Desktop CurrentDesktop() {
    const char* current = std::getenv("XDG_CURRENT_DESKTOP");
    return DesktopOf(current ? current : "");
}

// The user's CA where the Chromium family reads it.
void Trust(Runtime& rt, const BrowserHost& host, bool set, const BrowserSettings& values) {
    std::string shared = HomeFolder(kSharedNssFolder);
    if (shared.empty()) return;
    if (set && values.inspect) {
        TrustAuthority(rt, host, text::kDesktopBrowsers, shared, values.authority_pem);
    } else if (!set) {
        DistrustAuthority(rt, host, text::kDesktopBrowsers, shared, !values.inspect);
    }
}

void RunDesktopCommand(Runtime& rt, const BrowserHost& host, bool set) {
    BrowserSettings values = CopyBrowserSettings(rt, true);
    Hold browser(rt.locks.browser);
    const std::string kept_path = rt.PathOf(kDesktopKeptFile);
    std::optional<Kept> kept = set ? std::nullopt : ReadKept(kept_path);
    // A reset goes to where the set was made.
    Desktop desktop = kept ? kept->desktop : CurrentDesktop();
    if (desktop == Desktop::kNone) {
        std::string message = set ? text::kDesktopNoneSet : text::kDesktopNoneReset;
        if (set) message += Address(values.port.view());
        rt.front.ShowMessage(text::kDesktopNoneTitle, message);
        return;
    }
    std::string problem;
    bool done = false;
    if (desktop == Desktop::kGnome) {
        done = set ? SetGnome(host, values, kept_path, problem) : ResetGnome(host, kept, problem);
    } else {
        done = set ? SetKde(host, values, kept_path, problem) : ResetKde(host, kept, problem);
    }
    if (!done) {
        Say(rt, desktop, text::kDesktopFailed, problem);
        return;
    }
    if (!set && kept) RemoveFile(kept_path);
    Say(rt, desktop, set ? text::kDesktopSet : text::kDesktopReset,
        set ? Address(values.port.view()) : std::string());
    Trust(rt, host, set, values);
}

}  // namespace

Desktop DesktopOf(std::string_view current_desktop) {
    Desktop found = Desktop::kNone;
    while (!current_desktop.empty()) {
        std::size_t colon = current_desktop.find(':');
        std::string_view name = current_desktop.substr(0, colon);
        current_desktop.remove_prefix(colon == std::string_view::npos ? current_desktop.size()
                                                                      : colon + 1);
        if (SameName(name, kKdeName)) return Desktop::kKde;
        for (std::string_view gnome : kGnomeFamily) {
            if (SameName(name, gnome)) found = Desktop::kGnome;
        }
    }
    return found;
}

void SetDesktopProxy(Runtime& rt, const BrowserHost& host) {
    RunDesktopCommand(rt, host, true);
}

void ResetDesktopProxy(Runtime& rt, const BrowserHost& host) {
    RunDesktopCommand(rt, host, false);
}

}  // namespace korvanel
