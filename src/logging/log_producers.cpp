// The five producers. Each entry is appended in pieces under the buffer's lock, so an
// entry needs no working copy and the data path allocates nothing (but for the masked copy
// of a head that carries a proxy login); what does not fit is cut at the buffer's capacity.
#include "logging/log_producers.h"

#include <cstdio>
#include <string>

#include "logging/header_mask.h"
#include "logging/logger.h"
#include "runtime/runtime.h"

namespace korvanel {

namespace {

constexpr std::string_view kEntrySeparator =
    "=======================================================================\r\n";
constexpr std::string_view kPairSeparator =
    "-----------------------------------------------------------------------\r\n";
static_assert(kEntrySeparator.size() == 73 && kPairSeparator.size() == 73);

// Request and status lines this short are logged as they are, without the line-end cut.
constexpr std::size_t kShortLineLength = 6;

// Texts end at their first NUL, as the handler's buffers do.
std::string_view UpToNul(std::string_view text) {
    std::size_t end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

// A request or status line less its line end: half the head's terminator.
std::string_view WithoutLineEnd(std::string_view line, std::string_view terminator) {
    line = UpToNul(line);
    if (line.size() <= kShortLineLength) return line;
    std::size_t cut = terminator.size() / 2;
    return line.substr(0, cut < line.size() ? line.size() - cut : 0);
}

// Under the buffer's lock.
void AppendCut(LogBuffer& buffer, std::string_view text) {
    std::size_t room = buffer.capacity - 1 - buffer.length;
    std::size_t take = text.size() < room ? text.size() : room;
    text.copy(buffer.text.get() + buffer.length, take);
    buffer.length += take;
    buffer.text[buffer.length] = '\0';
}

// Appends the pieces as one entry; a producer that takes the text past the threshold
// flushes it itself, on its own thread.
template <typename... Pieces>
int AppendEntry(Runtime& rt, LogBuffer& buffer, const Pieces&... pieces) {
    bool past_threshold = false;
    {
        Hold hold(buffer.lock);
        (AppendCut(buffer, UpToNul(pieces)), ...);
        past_threshold = buffer.length > buffer.flush_threshold;
    }
    if (past_threshold) FlushLog(rt, buffer);
    return 1;
}

// Read under the settings lock, which is released before the buffer lock is taken.
bool IsOff(Runtime& rt, const LogBuffer& buffer) {
    return ReadLogMode(rt, buffer) == log_mode::kOff;
}

}  // namespace

int LogIp(Runtime& rt, std::string_view address, std::string_view verdict) {
    return AppendEntry(rt, rt.logs.ip, address, verdict, std::string_view("\r\n"));
}

int LogAccess(Runtime& rt, std::string_view client, std::string_view host,
              std::string_view numeric_address, std::string_view port,
              std::string_view request_line, std::string_view status_line,
              std::string_view terminator) {
    LogBuffer& buffer = rt.logs.access;
    if (IsOff(rt, buffer)) return 1;
    // "%s - %s[%s]:%s - [%d/%d/%d/%d:%d:%d] \"%s\" \"%s\"\r\n"
    LocalTime now = rt.clock.local_now();
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, " - [%d/%d/%d/%d:%d:%d] \"", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    return AppendEntry(rt, buffer, client, std::string_view(" - "), host, std::string_view("["),
                       numeric_address, std::string_view("]:"), port, std::string_view(stamp),
                       WithoutLineEnd(request_line, terminator), std::string_view("\" \""),
                       WithoutLineEnd(status_line, terminator), std::string_view("\"\r\n"));
}

int LogSendHeaders(Runtime& rt, std::string_view request_line, std::string_view headers) {
    LogBuffer& buffer = rt.logs.send_headers;
    if (IsOff(rt, buffer)) return 1;
    std::string masked;
    return AppendEntry(rt, buffer, kEntrySeparator, request_line,
                       MaskProxyCredentials(headers, masked));
}

int LogRecvHeaders(Runtime& rt, std::string_view status_line, std::string_view headers) {
    LogBuffer& buffer = rt.logs.recv_headers;
    if (IsOff(rt, buffer)) return 1;
    return AppendEntry(rt, buffer, kEntrySeparator, status_line, headers);
}

int LogHeaderPair(Runtime& rt, std::string_view request_line, std::string_view request_headers,
                  std::string_view status_line, std::string_view response_headers) {
    LogBuffer& buffer = rt.logs.header_pairs;
    if (IsOff(rt, buffer)) return 1;
    std::string masked;
    return AppendEntry(rt, buffer, kEntrySeparator, request_line,
                       MaskProxyCredentials(request_headers, masked), kPairSeparator, status_line,
                       response_headers);
}

}  // namespace korvanel
