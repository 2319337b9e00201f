// Emptying one log buffer into its pane and its file.
#include "runtime/runtime.h"
#include "logging/log_file.h"
#include "logging/logger.h"

namespace korvanel {

LogMode ReadLogMode(Runtime& rt, const LogBuffer& buffer) {
    if (buffer.mode == nullptr) return LogMode(log_mode::kFileOnly);
    Hold hold(rt.locks.settings);
    return rt.settings.*buffer.mode;
}

int FlushLog(Runtime& rt, LogBuffer& buffer) {
    Hold hold(buffer.lock);  // the buffer lock first, the settings lock (in ReadLogMode) after
    if (buffer.length == 0) return 1;
    LogMode mode = ReadLogMode(rt, buffer);
    bool to_pane =
        buffer.mode != nullptr && (mode == log_mode::kPaneOnly || mode == log_mode::kPaneAndFile);
    bool to_file =
        buffer.mode == nullptr || mode == log_mode::kFileOnly || mode == log_mode::kPaneAndFile;
    if (to_pane && buffer.shown < buffer.length) {
        rt.front.AppendToPane(buffer.pane, buffer.view().substr(buffer.shown), buffer.pane_limit);
        buffer.shown = buffer.length;
    }
    if (to_file && AppendToLogFile(rt.PathOf(buffer.file_name), buffer.view(), rt.clock) != 1) {
        return -1;  // the text stays for the next flush
    }
    buffer.length = 0;
    buffer.shown = 0;
    buffer.text[0] = '\0';
    return 1;
}

}  // namespace korvanel
