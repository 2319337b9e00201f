// Emptying one log buffer into its pane and its file.
#include "logging/log_file.h"
#include "logging/logger.h"
#include "logging/status_log.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

LogMode ReadLogMode(Runtime& rt, const LogBuffer& buffer) {
    if (buffer.mode == nullptr) return LogMode(log_mode::kFileOnly);
    Hold hold(rt.locks.settings);
    return rt.settings.*buffer.mode;
}

int FlushLog(Runtime& rt, LogBuffer& buffer) {
    // Two flushers of one log (the logger and a producer past the threshold) hand their texts
    // to the pane in the order they took them from the buffer.
    std::lock_guard<std::mutex> order(buffer.flush_order);
    std::string& for_pane = buffer.pane_text;
    for_pane.clear();
    int result = 1;
    // Read before the buffer lock is taken: a flusher waiting for the settings lock while it
    // holds the buffer lock would hold up every producer of this log.
    const LogMode mode = ReadLogMode(rt, buffer);
    bool say_link = false;
    {
        Hold hold(buffer.lock);
        if (buffer.length == 0) return 1;
        bool to_pane = buffer.mode != nullptr &&
                       (mode == log_mode::kPaneOnly || mode == log_mode::kPaneAndFile);
        bool to_file =
            buffer.mode == nullptr || mode == log_mode::kFileOnly || mode == log_mode::kPaneAndFile;
        if (to_pane && buffer.shown < buffer.length) {
            for_pane.assign(buffer.view().substr(buffer.shown));
            buffer.shown = buffer.length;
        }
        const LogWrite written =
            to_file ? AppendToLogFile(rt.PathOf(buffer.file_name), buffer.view(), rt.clock)
                    : LogWrite::kWritten;
        // A link in the file's place is said once, until the file can be written again.
        say_link = written == LogWrite::kLinkRefused && !buffer.link_refused;
        buffer.link_refused = written == LogWrite::kLinkRefused;
        if (written != LogWrite::kWritten) {
            result = -1;  // the text stays for the next flush
        } else {
            buffer.length = 0;
            buffer.shown = 0;
            buffer.text[0] = '\0';
        }
    }
    // The front end is called with no named lock held.
    if (!for_pane.empty()) rt.front.AppendToPane(buffer.pane, for_pane, buffer.pane_limit);
    if (say_link)
        PostStatus(rt, text::kLogFileStatus, text::kLogFileLink + rt.PathOf(buffer.file_name));
    return result;
}

}  // namespace korvanel
