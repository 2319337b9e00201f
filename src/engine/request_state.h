// What a connection handler keeps for one request: its head and its answer's, the settings
// it works with, and the facts of its answer.
#pragma once

#include <string_view>

#include "engine/body_relay.h"
#include "engine/error_text.h"
#include "engine/head_scan.h"
#include "engine/message_buffers.h"
#include "engine/upstream.h"
#include "runtime/settings.h"

namespace korvanel {

// The settings one request works with, copied under the settings lock.
struct RequestSettings {
    FixedText<4> cookie;
    FixedText<4> setcookie;
    FixedText<255> agent;
    FixedText<255> proxy;
    // What the proxy speaks, and its login (empty user: none).
    UpstreamKind proxy_kind = UpstreamKind::kHttp;
    FixedText<256> proxy_user;
    FixedText<256> proxy_password;
    FixedText<10> port;
    FixedText<5> http_version;
    bool tag_filter_active = false;
    bool https_tunnel = false;
    TunnelPorts tunnel_ports;
    bool https_inspect = false;
};

struct AnswerFacts {
    bool keep_alive = false;  // Connection: Keep-Alive
    bool no_length = false;
    bool close = false;  // Connection: close
    bool html = false;
    bool chunked = false;
    bool filtered = false;    // the body went through the tag filter
    long sent_with_head = 0;  // body bytes that went out together with the head
    long long content_length = -1;
    long long remaining = -1;
};

// One request and its answer on a handler's connection: the buffers (allocated once with
// the connection, cleared by Clear() before each request), the settings copied at the start
// of the request, and the facts the later steps decide by.
struct RequestState {
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
    // Where the connection goes: the origin, or the upstream proxy.
    TargetHost host;
    NumericAddress numeric_address;
    TargetPort port;
    std::string_view version;  // "1.0" or "1.1"
    ErrorText error;
    // The error page's status line and head when not the usual 500 one.
    std::string_view error_head;
    FilterBuffers filter;

    RequestSettings settings;
    bool answer_started = false;  // once the answer head went to the client

    long body_in_request_head = 0;  // of those, the bytes that belong to this request
    long long request_length = -1;
    bool request_chunked = false;  // the request body comes in chunks
    bool request_cut = false;      // the server answered before the whole body was relayed
    AnswerFacts answer;
    // A tunnel's bytes passed on by the handler itself, before the hand-over.
    long long tunnel_up_bytes = 0;
    long long tunnel_down_bytes = 0;

    // The head last read decides the line end of the access-log line.
    const Terminator& LastTerminator() const {
        return answer_terminator.empty() ? request_terminator : answer_terminator;
    }

    void Clear() {
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
        request_chunked = false;
        request_cut = false;
        answer = AnswerFacts();
        tunnel_up_bytes = 0;
        tunnel_down_bytes = 0;
        filter.carry.clear();
        filter.output.clear();
        answer_started = false;
    }
};

}  // namespace korvanel
