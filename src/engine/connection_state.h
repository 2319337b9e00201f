// What a connection handler keeps for as long as its client connection lasts: the sockets,
// the client's address, the counts of its requests and, once its TLS was taken, the site.
#pragma once

#include <utility>

#include "engine/access_control.h"
#include "engine/inspected_site.h"
#include "platform/socket.h"

namespace korvanel {

class TunnelLoop;

struct ConnectionState {
    ConnectionState(Socket client_socket, TunnelLoop* tunnel_loop)
        : client(std::move(client_socket)), tunnels(tunnel_loop) {}

    Socket client;
    // The connection to the origin or the upstream proxy. An inspected connection keeps it
    // for the next request when the last answer left it whole and in step.
    Socket upstream;
    ClientAddressText client_address;
    InspectedSite site;
    bool origin_reusable = false;  // the kept origin connection may take the next request
    int completed_requests = 0;
    bool keep_alive = false;  // from the second request on
    bool counted = false;     // while the request is counted as active
    // The running server's tunnel relay, which outlives every handler.
    TunnelLoop* tunnels;
    // The client is on this machine (its loopback or one of its own addresses), not on
    // another one that the passive bind lets in.
    bool client_on_this_machine = false;
};

}  // namespace korvanel
