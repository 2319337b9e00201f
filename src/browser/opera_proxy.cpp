#include "browser/opera_proxy.h"

#include <filesystem>
#include <optional>
#include <string>

#include "browser/authority_trust.h"
#include "browser/browser_files.h"
#include "browser/browser_processes.h"
#include "browser/browser_settings.h"
#include "browser/opera_prefs.h"
#include "runtime/runtime.h"
#include "settings/safe_save.h"

namespace korvanel {
namespace {

// What becomes of the HTTPS server lines.
struct HttpsEdit {
    enum class Step { kNone, kPoint, kGiveBack } step = Step::kNone;
    std::string remembered;  // for kGiveBack
};

// As for Firefox: pointing the HTTPS lines at the proxy keeps the lines the file had first
// (lines already kept stay, they are the user's); otherwise kept lines are given back.
// 1, or -1 when the kept lines could not be written or read.
int PlanHttpsEdit(const std::string& file, const std::string& kept_file, bool point,
                  HttpsEdit& https) {
    std::error_code error;
    bool kept = std::filesystem::exists(std::filesystem::symlink_status(kept_file, error));
    if (point) {
        https.step = HttpsEdit::Step::kPoint;
        if (kept) return 1;
        std::optional<EditBuffer> prefs = ReadForEdit(file);
        if (!prefs) return -1;
        if (WriteExactly(kept_file, OperaHttpsLines(prefs->text())) > 0) return 1;
        RemoveFile(kept_file);
        return -1;
    }
    if (!kept) return 1;
    std::optional<EditBuffer> remembered = ReadForEdit(kept_file);
    if (!remembered) return -1;
    https.step = HttpsEdit::Step::kGiveBack;
    https.remembered = remembered->text();
    return 1;
}

// file -> working copy -> edited -> a new file renamed over the file. The file is replaced
// in one step or not at all: a copy over it would cut it short when the disk fills
// part-way. The working copy is removed once the file holds the edit, or when it is not
// whole itself; when only the replacement failed it stays, as the one whole edited copy.
int EditPrefsFile(const std::string& file, const std::string& working_copy, bool set,
                  std::string_view port, const HttpsEdit& https) {
    if (CopyReplacing(file, working_copy) < 0) {
        RemoveFile(working_copy);
        return -1;
    }
    std::optional<EditBuffer> prefs = ReadForEdit(working_copy);
    int result = prefs ? 1 : -1;
    if (result > 0) {
        if (set) {
            ApplyOperaSetEdits(*prefs, port);
        } else {
            ApplyOperaResetEdits(*prefs);
        }
        if (https.step == HttpsEdit::Step::kPoint) ApplyOperaHttpsSetEdits(*prefs, port);
        if (https.step == HttpsEdit::Step::kGiveBack) {
            ApplyOperaHttpsGiveBack(*prefs, https.remembered);
        }
        result = WriteExactly(working_copy, prefs->text());
    }
    if (result < 0) {
        RemoveFile(working_copy);
        return -1;
    }
    // Through a link to the file it names, with the file's mode and owner.
    if (SaveFileSafely(file, opera_pref::kReplacementSuffix, prefs->text()).result < 0) {
        return -1;
    }
    RemoveFile(working_copy);
    return 1;
}

void RunOperaCommand(Runtime& rt, const BrowserHost& host, int edition, bool set) {
    if (edition != 32 && edition != 64) return;
    BrowserSettings values = CopyBrowserSettings(rt, set);
    Hold browser(rt.locks.browser);
    std::string folder = HomeFolder(edition == 64 ? kOperaFolder64 : kOperaFolder32);
    if (folder.empty()) return;
    std::string name = FindOperaPrefsFile(folder);
    if (name.empty()) return;
    // A close asked for while Opera closes leaves its file as it was; one asked for while
    // the new Opera starts, completely edited.
    if (!CloseOpera(host, edition)) return;
    std::string working_copy = folder + std::string(opera_pref::kWorkingCopyPrefix) + name;
    std::string kept_file = folder + name + std::string(opera_pref::kHttpsBeforeSuffix);
    HttpsEdit https;
    if (PlanHttpsEdit(folder + name, kept_file, set && values.tunnel, https) < 0) return;
    if (EditPrefsFile(folder + name, working_copy, set, values.port.view(), https) < 0) return;
    if (https.step == HttpsEdit::Step::kGiveBack) RemoveFile(kept_file);
    // The user's certificate database, which Chromium-based browsers on Linux read.
    std::string shared = HomeFolder(kSharedNssFolder);
    if (set && values.inspect) {
        TrustAuthority(rt, host, kOperaName, shared, values.authority_pem);
    } else if (!set) {
        DistrustAuthority(rt, host, kOperaName, shared, !values.inspect);
    }
    if (StartDetached(kOperaProgram) > 0) WaitForOpera(host, edition);
}

}  // namespace

void SetOperaProxy(Runtime& rt, const BrowserHost& host, int edition) {
    RunOperaCommand(rt, host, edition, true);
}

void ResetOperaProxy(Runtime& rt, const BrowserHost& host, int edition) {
    RunOperaCommand(rt, host, edition, false);
}

}  // namespace korvanel
