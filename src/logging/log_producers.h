// The producers: each appends one entry to its log buffer, and flushes the buffer on the
// calling thread when the text has grown past the buffer's threshold. All return 1.
#pragma once

#include <string_view>

namespace korvanel {

struct Runtime;

// address + verdict + CR LF to the IP log. Callers hold the message lock.
int LogIp(Runtime& rt, std::string_view address, std::string_view verdict);

// One access line, unless the access log is off ("3"). `terminator` is the head's
// blank-line sequence; the request and status lines lose their line end.
int LogAccess(Runtime& rt, std::string_view client, std::string_view host,
              std::string_view numeric_address, std::string_view port,
              std::string_view request_line, std::string_view status_line,
              std::string_view terminator);

int LogSendHeaders(Runtime& rt, std::string_view request_line, std::string_view headers);
int LogRecvHeaders(Runtime& rt, std::string_view status_line, std::string_view headers);
int LogHeaderPair(Runtime& rt, std::string_view request_line, std::string_view request_headers,
                  std::string_view status_line, std::string_view response_headers);

}  // namespace korvanel
