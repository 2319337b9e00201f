#include "engine/connection_handler.h"

#include <utility>

#include "app/runtime.h"
#include "engine/access_control.h"
#include "engine/server_control.h"

namespace korvanel {

namespace {

// Handlers close their client sockets under the server lock.
void CloseClient(Runtime& rt, Socket& socket) {
    Hold hold(rt.locks.server);
    socket.Close();
}

// Reads and drops whatever the client sends until it closes the connection or the socket
// is revoked by a stop.
void HoldUntilClosed(Socket& socket) {
    char discard[4096];
    for (;;) {
        if (socket.WaitReadable(-1) != PollResult::kReady) return;
        IoResult got = socket.Receive(discard, sizeof discard);
        if (got.status != IoStatus::kOk && got.status != IoStatus::kWouldBlock) return;
    }
}

}  // namespace

void RunConnectionHandler(Runtime& rt, ClientSlot slot) {
    ClientSlot client = std::move(slot);
    ClientAddressText address;
    if (CheckClient(rt, client.socket, client.peer_family, address) != kClientAdmitted) {
        CloseClient(rt, client.socket);
        return;
    }
    CountConnection(rt, "++c");
    HoldUntilClosed(client.socket);
    CountConnection(rt, "--c");
    CloseClient(rt, client.socket);
}

}  // namespace korvanel
