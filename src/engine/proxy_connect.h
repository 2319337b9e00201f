// The CONNECT head this program sends an upstream proxy, for a tunnel and for an inspected
// connection's origin alike: a request line and Host of its own, the User-Agent the user
// chose (none when none is chosen) and, for a tunnel, the browser's answer to the proxy's
// login request (Proxy-Authorization). Nothing else of the browser's head reaches the proxy,
// so its User-Agent and its other headers cannot go around the user's replacement and rules.
#pragma once

#include <string_view>

#include "engine/message_buffers.h"
#include "engine/message_framing.h"

namespace korvanel {

// "CONNECT host:port HTTP/1.1" into `line` and "Host: host:port", "User-Agent: agent" and
// "Proxy-Authorization: authorization" (each when not empty) and the blank line into
// `headers`, with CR LF line ends. False when they do not fit.
bool FormatProxyConnect(std::string_view host, std::string_view port, std::string_view agent,
                        std::string_view authorization, StartLine& line, HeaderBlock& headers);

// What an upstream proxy's answer to a CONNECT says.
enum class ProxyAnswer {
    kOpened,      // a 2xx status: the tunnel stands (bytes behind the head are the target's)
    kRefused,     // another status; its body is framed as `framing` says
    kUnreadable,  // no HTTP/1.x status line, or a refusal whose body's end is in doubt
};

// Splits `head` (what the head reader read, ending in `terminator` and perhaps more) into
// the status line, the header block and the bytes behind the head, and reads a refusal's
// framing.
ProxyAnswer ReadProxyAnswer(std::string_view head, std::string_view terminator, StartLine& status,
                            HeaderBlock& headers, HeadBody& behind, Framing& framing);

}  // namespace korvanel
