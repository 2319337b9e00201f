#include "engine/proxy_connect.h"

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

}  // namespace korvanel
