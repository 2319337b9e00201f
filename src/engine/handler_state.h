// What one connection handler keeps: its sockets, the buffers of one request and its
// answer (allocated once when the thread starts, cleared between requests), the settings
// copied at the start of each request, and the facts the later steps decide by.
#pragma once

#include <array>
#include <string_view>

#include "engine/access_control.h"
#include "engine/body_relay.h"
#include "engine/error_text.h"
#include "engine/head_scan.h"
#include "engine/inspection.h"
#include "engine/message_buffers.h"
#include "engine/upstream.h"
#include "platform/socket.h"
#include "runtime/settings.h"

namespace korvanel {

// The settings one request works with, copied under the settings lock.
struct RequestSettings {
    FixedText<4> cookie;
    FixedText<4> setcookie;
    FixedText<255> agent;
    FixedText<255> proxy;
    FixedText<10> port;
    FixedText<5> http_version;
    int tag_filter_active = 0;
    bool https_tunnel = false;
    TunnelPorts tunnel_ports;
    bool https_inspect = false;
};

// How one request ends (the keep-alive case goes on with the next request). kHandedOff:
// both sockets went to the tunnel relay, which closes them and logs the tunnel. kInspected:
// the client's TLS was taken, and its requests follow on the connection, inside it.
enum class Ending { kKeepAlive, kNormal, kError, kQuiet, kRefused, kHandedOff, kInspected };

struct AnswerFacts {
    int keep_alive = 0;  // Connection: Keep-Alive
    int no_length = 0;
    int close = 0;  // Connection: close
    int html = 0;
    int chunked = 0;
    int filtered = 0;         // the body went through the tag filter
    long sent_with_head = 0;  // body bytes that went out together with the head
    long long content_length = -1;
    long long remaining = -1;
};

struct HandlerState {
    HandlerState(Socket client_socket) : client(std::move(client_socket)) {}

    Socket client;
    Socket upstream;
    int upstream_connected = 0;

    ClientAddressText client_address;
    char head[kHeadBufferSize];
    StartLine request_line;
    StartLine status_line;
    HeaderBlock request_headers;
    HeaderBlock answer_headers;
    // The body bytes that came with a head; also the answer relays' buffer.
    HeadBody head_body;
    long head_count = 0;
    Terminator request_terminator;
    Terminator answer_terminator;
    TargetHost host;
    NumericAddress numeric_address;
    TargetPort port;
    std::string_view version;  // "1.0" or "1.1"
    ErrorText error;
    // The error page's status line and head when not the usual 500 one.
    std::string_view error_head;
    FilterBuffers filter;

    RequestSettings settings;
    // Set once the client's TLS was taken: every later request is inside it.
    InspectedSite site;
    // 1 when the last inspected request left its verified origin connection open and in
    // step (a complete answer the server kept the connection for): the next one reuses it.
    int origin_reusable = 0;
    int completed_requests = 0;
    int keep_alive = 0;      // 1 from the second request on
    int answer_started = 0;  // 1 once the answer head went to the client
    int counted = 0;         // 1 while this request is counted as active

    long body_in_request_head = 0;  // of those, the bytes that belong to this request
    long long request_length = -1;
    int request_chunked = 0;  // the request body comes in chunks
    int request_cut = 0;      // the server answered before the whole body was relayed
    AnswerFacts answer;
    // A tunnel's bytes passed on by the handler itself, before the hand-over.
    long long tunnel_up_bytes = 0;
    long long tunnel_down_bytes = 0;

    // The head last read decides the line end of the access-log line.
    const Terminator& LastTerminator() const {
        return answer_terminator.empty() ? request_terminator : answer_terminator;
    }

    void ClearRequest() {
        head[0] = '\0';
        head_count = 0;
        request_line.clear();
        status_line.clear();
        request_headers.clear();
        answer_headers.clear();
        head_body.clear();
        request_terminator.clear();
        answer_terminator.clear();
        host.clear();
        numeric_address.clear();
        port.clear();
        version = {};
        error.clear();
        error_head = {};
        body_in_request_head = 0;
        request_length = -1;
        request_chunked = 0;
        request_cut = 0;
        answer = AnswerFacts();
        tunnel_up_bytes = 0;
        tunnel_down_bytes = 0;
        filter.carry.clear();
        filter.output.clear();
        answer_started = 0;
    }
};

}  // namespace korvanel
