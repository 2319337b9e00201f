#include "browser/opera_proxy.h"

#include <optional>
#include <string>

#include "browser/browser_files.h"
#include "browser/browser_processes.h"
#include "browser/opera_prefs.h"
#include "runtime/runtime.h"
#include "settings/safe_save.h"

namespace korvanel {
namespace {

// file -> working copy -> edited -> a new file renamed over the file. The file is replaced
// in one step or not at all: a copy over it would cut it short when the disk fills
// part-way. The working copy is removed once the file holds the edit, or when it is not
// whole itself; when only the replacement failed it stays, as the one whole edited copy.
int EditPrefsFile(const std::string& file, const std::string& working_copy, bool set,
                  std::string_view port) {
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
    FixedText<10> port;
    if (set) {
        Hold settings(rt.locks.settings);
        port = rt.settings.port.view();
    }
    Hold browser(rt.locks.browser);
    std::string folder = HomeFolder(edition == 64 ? kOperaFolder64 : kOperaFolder32);
    if (folder.empty()) return;
    std::string name = FindOperaPrefsFile(folder);
    if (name.empty()) return;
    // A close asked for while Opera closes leaves its file as it was; one asked for while
    // the new Opera starts, completely edited.
    if (!CloseOpera(host, edition)) return;
    std::string working_copy = folder + std::string(opera_pref::kWorkingCopyPrefix) + name;
    if (EditPrefsFile(folder + name, working_copy, set, port.view()) < 0) return;
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
