// The CONNECT head this program sends an upstream proxy, for a tunnel and for an inspected
// connection's origin alike: a request line and Host of its own, and the User-Agent the user
// chose (none when none is chosen). Nothing of the browser's own head reaches the proxy, so
// its User-Agent and its other headers cannot go around the user's replacement and rules.
#pragma once

#include <string_view>

#include "engine/message_buffers.h"

namespace korvanel {

// "CONNECT host:port HTTP/1.1" into `line` and "Host: host:port", "User-Agent: agent" (when
// `agent` is not empty) and the blank line into `headers`, with CR LF line ends. False when
// they do not fit.
bool FormatProxyConnect(std::string_view host, std::string_view port, std::string_view agent,
                        StartLine& line, HeaderBlock& headers);

}  // namespace korvanel
