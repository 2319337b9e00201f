#include "engine/proxy_fixture.h"

namespace korvanel::testing {

std::string ReadHeadOf(Socket& socket) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        std::string byte = ReadCount(socket, 1);
        if (byte.empty()) break;
        head += byte;
    }
    return head;
}

}  // namespace korvanel::testing
