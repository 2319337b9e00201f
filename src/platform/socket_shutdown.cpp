#include "platform/socket_shutdown.h"

#include <sys/socket.h>

namespace korvanel {

void ShutdownBoth(Socket& socket) {
    if (socket.valid()) ::shutdown(socket.fd(), SHUT_RDWR);
}

}  // namespace korvanel
