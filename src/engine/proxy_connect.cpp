#include "engine/proxy_connect.h"

#include "engine/answer_body.h"
#include "engine/head_split.h"

namespace korvanel {

bool FormatProxyConnect(std::string_view host, std::string_view port, std::string_view agent,
                        std::string_view authorization, StartLine& line, HeaderBlock& headers) {
    line.clear();
    headers.clear();
    bool fits = line.append("CONNECT ") && line.append(host) && line.append(":") &&
                line.append(port) && line.append(" HTTP/1.1\r\n");
    fits = fits && headers.append("Host: ") && headers.append(host) && headers.append(":") &&
           headers.append(port) && headers.append("\r\n");
    if (!agent.empty()) {
        fits = fits && headers.append("User-Agent: ") && headers.append(agent) &&
               headers.append("\r\n");
    }
    if (!authorization.empty()) {
        fits = fits && headers.append("Proxy-Authorization: ") && headers.append(authorization) &&
               headers.append("\r\n");
    }
    return fits && headers.append("\r\n");
}

ProxyAnswer ReadProxyAnswer(std::string_view head, std::string_view terminator, StartLine& status,
                            HeaderBlock& headers, HeadBody& behind, Framing& framing) {
    framing = Framing{};
    if (!SplitHead(head, terminator, status, headers) || !status.starts_with("HTTP/1.") ||
        !SplitBody(terminator, headers, behind)) {
        return ProxyAnswer::kUnreadable;
    }
    if (StatusCodeOf(status.view()).starts_with("2")) return ProxyAnswer::kOpened;
    framing = ReadFraming(headers, terminator, MessageSide::kAnswer);
    return framing.verdict == FramingVerdict::kOk ? ProxyAnswer::kRefused
                                                  : ProxyAnswer::kUnreadable;
}

}  // namespace korvanel
