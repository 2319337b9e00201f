// The five log buffers. Producers append under a buffer's lock; the logger thread (four
// times a second) and any producer that finds its buffer past the threshold flush it to
// the log's pane and file, as the log's mode says.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/named_locks.h"
#include "runtime/front_end.h"
#include "runtime/settings.h"

namespace korvanel {

struct Runtime;

enum class LogId { kIp, kAccess, kSendHeaders, kRecvHeaders, kHeaderPairs };

struct LogBuffer {
    LogBuffer(LogId log_id, std::size_t capacity_bytes, std::size_t threshold,
              std::size_t pane_characters, Pane log_pane, LogMode Settings::*log_mode,
              const char* log_file_name, Lock& buffer_lock)
        : id(log_id),
          capacity(capacity_bytes),
          flush_threshold(threshold),
          pane_limit(pane_characters),
          pane(log_pane),
          mode(log_mode),
          file_name(log_file_name),
          lock(buffer_lock),
          text(new char[capacity_bytes]) {
        text[0] = '\0';
        pane_text.reserve(capacity_bytes);
    }

    const LogId id;
    const std::size_t capacity;         // bytes, with the terminating NUL
    const std::size_t flush_threshold;  // a producer flushes when the text is longer
    const std::size_t pane_limit;       // characters; 0 for the IP log (no pane)
    const Pane pane;
    LogMode Settings::*const mode;  // null for the IP log: always the file
    const char* const file_name;
    Lock& lock;

    std::unique_ptr<char[]> text;  // NUL-terminated, guarded by `lock`
    std::size_t length = 0;
    // How much of `text` the pane already shows: a flush whose file write failed keeps
    // the text for the next try, which must not show it in the pane a second time.
    std::size_t shown = 0;
    // The last write found a symbolic link in the file's place (said once in the command log).
    bool link_refused = false;

    // Flushers of this log take turns (taken before `lock`); each copies the text for the
    // pane into `pane_text` (room reserved once) and shows it after releasing `lock`.
    std::mutex flush_order;
    std::string pane_text;

    std::string_view view() const { return {text.get(), length}; }
};

struct LogQueue {
    explicit LogQueue(NamedLocks& locks)
        : ip(LogId::kIp, 8096, 4048, 0, Pane::kStatus, nullptr, "ip_log", locks.ip_log),
          access(LogId::kAccess, 150000, 75000, 51200, Pane::kAccess, &Settings::access_log,
                 "access_log", locks.access_log),
          send_headers(LogId::kSendHeaders, 68400, 34200, 30720, Pane::kSendHeaders,
                       &Settings::send_header_log, "send_log", locks.send_header_log),
          recv_headers(LogId::kRecvHeaders, 68400, 34200, 30720, Pane::kRecvHeaders,
                       &Settings::recv_header_log, "recv_log", locks.recv_header_log),
          header_pairs(LogId::kHeaderPairs, 137000, 68500, 51200, Pane::kHeaderPairs,
                       &Settings::send_recv_header_log, "send_recv_log", locks.header_pair_log) {}

    LogBuffer ip;
    LogBuffer access;
    LogBuffer send_headers;
    LogBuffer recv_headers;
    LogBuffer header_pairs;
};

// The buffer's mode, copied under the settings lock; "1" (file only) for the IP log.
LogMode ReadLogMode(Runtime& rt, const LogBuffer& buffer);

}  // namespace korvanel
