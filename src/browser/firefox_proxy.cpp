#include "browser/firefox_proxy.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "browser/authority_trust.h"
#include "browser/browser_files.h"
#include "browser/browser_processes.h"
#include "browser/browser_settings.h"
#include "browser/firefox_prefs.h"
#include "browser/firefox_profile.h"
#include "runtime/runtime.h"

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
    if (CopyReplacing(files.prefs, files.working_copy) < 0) return -1;
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

void StartFirefox(const BrowserHost& host) {
    const std::string_view program = FirefoxOnPath();
    if (StartDetached(program) < 0) return;
    // After a stop both waits return at once.
    WaitForProcess(host, program, kFirefoxStartPolls, host.timing.firefox_start_poll);
    PauseUnlessStopped(host, host.timing.firefox_settle);
}

// Pointing the HTTPS proxy at the proxy keeps the lines it had first (unless lines kept by
// an earlier set wait to be given back: those are the user's); otherwise lines kept are
// given back. 1, or -1 when the kept lines could not be written or read.
int PlanHttpsEdit(const ProfileFiles& files, bool point, HttpsEdit& https) {
    bool kept = Exists(files.https_before);
    if (point) {
        https.step = HttpsEdit::Step::kPoint;
        if (kept) return 1;
        std::optional<EditBuffer> prefs = ReadForEdit(files.prefs);
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

void RunFirefoxCommand(Runtime& rt, const BrowserHost& host, bool set) {
    BrowserSettings values = CopyBrowserSettings(rt, set);
    Hold browser(rt.locks.browser);
    std::string profile = FindFirefoxProfile();
    if (profile.empty()) return;
    // A close asked for meanwhile ends the command: before the edit, with the files as they
    // were; during the start, with the user's own user.js back in place.
    for (std::string_view name : kFirefoxPrograms) {
        if (!CloseBrowserWindows(host, name)) return;
    }
    ProfileFiles files = FilesIn(profile);
    HttpsEdit https;
    if (PlanHttpsEdit(files, set && values.tunnel, https) < 0) return;
    if (PrepareUserJs(files, set, values.port.view(), https) < 0) return;
    // The certificate database is changed while Firefox is closed.
    if (set && values.inspect) {
        TrustAuthority(rt, host, kFirefoxName, profile, values.authority);
    } else if (!set) {
        DistrustAuthority(rt, host, kFirefoxName, profile, !values.inspect);
    }
    StartFirefox(host);
    PutBackUserJs(files);
    if (https.step == HttpsEdit::Step::kGiveBack) RemoveFile(files.https_before);
}

}  // namespace

void SetFirefoxProxy(Runtime& rt, const BrowserHost& host) {
    RunFirefoxCommand(rt, host, true);
}

void ResetFirefoxProxy(Runtime& rt, const BrowserHost& host) {
    RunFirefoxCommand(rt, host, false);
}

}  // namespace korvanel
