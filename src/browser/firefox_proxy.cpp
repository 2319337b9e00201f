#include "browser/firefox_proxy.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "browser/authority_trust.h"
#include "browser/browser_files.h"
#include "browser/browser_processes.h"
#include "browser/browser_settings.h"
#include "browser/firefox_prefs.h"
#include "browser/firefox_profile.h"
#include "logging/status_log.h"
#include "platform/process_table.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {
namespace {

struct ProfileFiles {
    std::string prefs;
    std::string working_copy;
    std::string user_js;
    std::string kept_user_js;
    std::string https_before;
};

ProfileFiles FilesIn(const std::string& profile) {
    return {profile + firefox_file::kPrefs, profile + firefox_file::kWorkingCopy,
            profile + firefox_file::kUserJs, profile + firefox_file::kKeptUserJs,
            profile + firefox_file::kHttpsBefore};
}

// What becomes of the HTTPS proxy lines.
struct HttpsEdit {
    enum class Step { kNone, kPoint, kGiveBack } step = Step::kNone;
    std::string remembered;  // for kGiveBack
};

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

bool HasPrefs(const ProfileFiles& files) {
    std::error_code error;
    return std::filesystem::exists(files.prefs, error);
}

// The profile's preferences; an empty text when it has none yet.
std::optional<EditBuffer> ReadPrefs(const ProfileFiles& files) {
    if (!HasPrefs(files)) return EditBuffer({}, 0);
    return ReadForEdit(files.prefs);
}

// Moves the user's own user.js aside. A copy already aside (left by an earlier run that
// did not finish) is the user's and stays; the user.js beside it is that run's.
int KeepUserJs(const ProfileFiles& files) {
    if (!Exists(files.user_js) || Exists(files.kept_user_js)) return 1;
    return std::rename(files.user_js.c_str(), files.kept_user_js.c_str()) == 0 ? 1 : -1;
}

void PutBackUserJs(const ProfileFiles& files) {
    RemoveFile(files.user_js);
    if (Exists(files.kept_user_js)) std::rename(files.kept_user_js.c_str(), files.user_js.c_str());
}

// prefs.js -> working copy -> edited -> user.js. 1 when user.js holds the edited text; the
// working copy is gone either way.
int PrepareUserJs(const ProfileFiles& files, bool set, std::string_view port,
                  const HttpsEdit& https) {
    // A profile Firefox has not written preferences to yet gets the lines alone.
    int copied = HasPrefs(files) ? CopyReplacing(files.prefs, files.working_copy)
                                 : WriteExactly(files.working_copy, "");
    if (copied < 0) return -1;
    std::optional<EditBuffer> prefs = ReadForEdit(files.working_copy);
    int result = prefs ? 1 : -1;
    if (result > 0) {
        if (set) {
            ApplyFirefoxSetEdits(*prefs, port);
        } else {
            ApplyFirefoxResetEdits(*prefs);
        }
        if (https.step == HttpsEdit::Step::kPoint) ApplyFirefoxHttpsSetEdits(*prefs, port);
        if (https.step == HttpsEdit::Step::kGiveBack) {
            ApplyFirefoxHttpsGiveBack(*prefs, https.remembered);
        }
        result = WriteExactly(files.working_copy, prefs->text());
    }
    if (result > 0) result = KeepUserJs(files);
    if (result > 0 && CopyReplacing(files.working_copy, files.user_js) < 0) {
        PutBackUserJs(files);
        result = -1;
    }
    RemoveFile(files.working_copy);
    return result;
}

// The Firefox to start: the first of its names found on PATH.
std::string_view FirefoxOnPath() {
    for (std::string_view name : kFirefoxPrograms) {
        if (!FindOnPath(name).empty()) return name;
    }
    return kFirefoxPrograms[0];
}

// Pointing the HTTPS proxy at the proxy keeps the lines it had first (unless lines kept by
// an earlier set wait to be given back: those are the user's); otherwise lines kept are
// given back. 1, or -1 when the kept lines could not be written or read.
int PlanHttpsEdit(const ProfileFiles& files, bool point, HttpsEdit& https) {
    bool kept = Exists(files.https_before);
    if (point) {
        https.step = HttpsEdit::Step::kPoint;
        if (kept) return 1;
        std::optional<EditBuffer> prefs = ReadPrefs(files);
        if (!prefs) return -1;
        if (WriteExactly(files.https_before, FirefoxHttpsLines(prefs->text())) > 0) return 1;
        RemoveFile(files.https_before);
        return -1;
    }
    if (!kept) return 1;
    std::optional<EditBuffer> remembered = ReadForEdit(files.https_before);
    if (!remembered) return -1;
    https.step = HttpsEdit::Step::kGiveBack;
    https.remembered = remembered->text();
    return 1;
}

// A profile whose user.js holds the edit while Firefox starts.
struct StagedProfile {
    std::string folder;
    ProfileFiles files;
    HttpsEdit https;
    int stale_lock = 0;  // the lock's holder before the start, if any
    bool read = false;   // a Firefox started here has opened it
};

// Whether a Firefox started since staging holds the profile's lock.
bool Opened(const StagedProfile& profile) {
    int holder = FirefoxLockHolder(profile.folder);
    return holder > 0 && holder != profile.stale_lock;
}

bool Stopped(const BrowserHost& host) {
    return host.stop && host.stop->Requested();
}

// Polls until a Firefox started since staging holds the lock of one of `profiles`, and marks
// those it holds; returns early when the started process `pid` has ended or a stop is asked.
void WaitUntilOpened(const BrowserHost& host, std::span<StagedProfile> profiles, int pid) {
    for (int poll = 0; poll < kFirefoxStartPolls; ++poll) {
        bool any = false;
        for (StagedProfile& profile : profiles) {
            if (!profile.read && Opened(profile)) profile.read = any = true;
        }
        if (any || !ProcessIsRunning(pid)) return;
        if (!PauseUnlessStopped(host, host.timing.firefox_start_poll)) return;
    }
}

// Starts Firefox as the user starts it, and follows that process until it has opened a
// staged profile. A profile of another install that it did not open gets a Firefox of its
// own (--profile), so that every staged profile is read. The edited copies stay in place a
// moment after the last opening, while Firefox reads its preferences.
void StartFirefox(const BrowserHost& host, std::vector<StagedProfile>& staged) {
    const std::string_view program = FirefoxOnPath();
    int pid = 0;
    if (StartDetached(program, {}, &pid) < 0) return;
    WaitUntilOpened(host, staged, pid);
    for (StagedProfile& profile : staged) {
        if (Stopped(host)) return;
        if (profile.read) continue;
        std::string folder = profile.folder.substr(0, profile.folder.size() - 1);
        if (StartDetached(program, {"--profile", folder}, &pid) < 0) return;
        WaitUntilOpened(host, std::span(&profile, 1), pid);
    }
    PauseUnlessStopped(host, host.timing.firefox_settle);
}

void Say(Runtime& rt, const char* what, std::string_view detail) {
    std::string line(kFirefoxName);
    line += what;
    line += detail;
    PostStatus(rt, text::kBrowserStatus, line);
}

std::string Listed(const std::vector<std::string>& folders) {
    std::string list;
    for (const std::string& folder : folders) {
        if (!list.empty()) list += ", ";
        list += folder;
    }
    return list;
}

void RunFirefoxCommand(Runtime& rt, const BrowserHost& host, bool set) {
    BrowserSettings values = CopyBrowserSettings(rt, set);
    Hold browser(rt.locks.browser);
    FirefoxProfiles found = FindFirefoxProfiles();
    if (found.folders.empty()) {
        Say(rt, text::kFirefoxNoProfile, Listed(found.looked_in));
        return;
    }
    // A close asked for meanwhile ends the command: before the edit, with the files as they
    // were; during the start, with the user's own user.js back in place.
    for (std::string_view name : kFirefoxPrograms) {
        if (!CloseBrowserWindows(host, name)) return;
    }
    std::vector<StagedProfile> staged;
    for (const std::string& folder : found.folders) {
        StagedProfile profile{folder, FilesIn(folder), {}};
        if (PlanHttpsEdit(profile.files, set && values.tunnel, profile.https) < 0 ||
            PrepareUserJs(profile.files, set, values.port.view(), profile.https) < 0) {
            Say(rt, text::kFirefoxNotWritten, folder);
            continue;
        }
        // The certificate database is changed while Firefox is closed.
        if (set && values.inspect) {
            TrustAuthority(rt, host, kFirefoxName, folder, values.authority_pem);
        } else if (!set) {
            DistrustAuthority(rt, host, kFirefoxName, folder, !values.inspect);
        }
        profile.stale_lock = FirefoxLockHolder(folder);
        staged.push_back(std::move(profile));
    }
    if (staged.empty()) return;
    StartFirefox(host, staged);
    for (StagedProfile& profile : staged) {
        PutBackUserJs(profile.files);
        if (profile.https.step == HttpsEdit::Step::kGiveBack)
            RemoveFile(profile.files.https_before);
        const char* said = !profile.read ? text::kFirefoxNotRead
                           : set         ? text::kFirefoxSet
                                         : text::kFirefoxReset;
        Say(rt, said, profile.folder);
    }
}

}  // namespace

void SetFirefoxProxy(Runtime& rt, const BrowserHost& host) {
    RunFirefoxCommand(rt, host, true);
}

void ResetFirefoxProxy(Runtime& rt, const BrowserHost& host) {
    RunFirefoxCommand(rt, host, false);
}

}  // namespace korvanel
