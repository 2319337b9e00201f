#include "engine/tunnel_open.h"

#include <string>

#include "engine/answer_body.h"
#include "engine/head_split.h"
#include "engine/header_predicates.h"
#include "engine/inspection.h"
#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "engine/text_fields.h"
#include "engine/tunnel_loop.h"
#include "logging/log_producers.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

constexpr std::string_view kEstablished = "HTTP/1.1 200 Connection established\r\n";
constexpr std::string_view kBlankLine = "\r\n";

// kKeepAlive means "go on" between the steps here; the steps never end a tunnel with it.
constexpr Ending kGoOn = Ending::kKeepAlive;

bool Stopping(Runtime& rt) {
    return IsStopping(rt) == -1;
}

Ending FailWith(Runtime& rt, HandlerState& s, const char* head, const char* format) {
    s.error_head = head;
    SetErrorText(rt, s.error, format, s.host.c_str(), s.port.c_str());
    return Ending::kError;
}

Ending ConnectTo(Runtime& rt, HandlerState& s) {
    if (Stopping(rt)) return Ending::kQuiet;
    int connected =
        ConnectUpstream(rt, s.upstream, s.host.c_str(), s.numeric_address, s.port, s.settings.port);
    if (connected == kUpstreamSelf) {
        s.error_head = text::kTunnelRefusedHead;
        SetErrorText(rt, s.error, text::kAccessNotPossible, "\"127.0.0.1\"", s.port.c_str());
        return Ending::kError;
    }
    if (connected != kUpstreamConnected) {
        return FailWith(rt, s, text::kTunnelUnreachableHead, text::kCannotConnect);
    }
    if (Stopping(rt)) return Ending::kQuiet;
    s.upstream_connected = 1;
    return kGoOn;
}

// Straight to the target: bytes the client sent behind its head go first, then the
// client learns that the tunnel stands.
Ending ConnectStraight(Runtime& rt, HandlerState& s, const ConnectTarget& target) {
    s.host = target.host;
    s.port = target.port;
    Ending connected = ConnectTo(rt, s);
    if (connected != kGoOn) return connected;
    if (!s.head_body.empty() && SendAll(rt, s.upstream, s.head_body.data(),
                                        static_cast<long>(s.head_body.size())) != kIoDone) {
        return FailWith(rt, s, text::kTunnelUnreachableHead, text::kCannotSend);
    }
    AddBytesSent(rt, static_cast<long long>(s.head_body.size()));
    s.tunnel_up_bytes = static_cast<long long>(s.head_body.size());
    return AnswerEstablished(rt, s) ? kGoOn : Ending::kError;
}

// An upstream proxy that did not open the tunnel: its answer, body included, goes to the
// client as it came, and the connection ends after it.
Ending PassRefusal(Runtime& rt, HandlerState& s) {
    AnswerFacts& a = s.answer;
    a.content_length = ContentLength(s.answer_headers, s.answer_terminator);
    if (a.content_length == -2) return Ending::kError;
    a.no_length = a.content_length == -1;
    a.chunked = IsChunked(s.answer_headers, s.answer_terminator) == 1;
    a.remaining = a.no_length ? -1 : a.content_length - static_cast<long long>(s.head_body.size());
    a.close = 1;
    s.settings.tag_filter_active = 0;
    return RelayAnswerBody(rt, s);
}

// Through the upstream proxy in use: the client's CONNECT head goes to it as it came,
// and its answer head back to the client.
Ending ConnectThroughProxy(Runtime& rt, HandlerState& s) {
    if (SplitProxyAddress(s.settings.proxy, s.host, s.port) != 1 || !IsUsablePort(s.port)) {
        s.error_head = text::kTunnelUnreachableHead;
        SetErrorText(rt, s.error, text::kProxyUnusable, s.settings.proxy.c_str());
        return Ending::kError;
    }
    Ending connected = ConnectTo(rt, s);
    if (connected != kGoOn) return connected;
    long sent = SendCounted(rt, s.upstream,
                            {s.request_line.view(), s.request_headers.view(), s.head_body.view()});
    if (sent <= 0) return FailWith(rt, s, text::kTunnelUnreachableHead, text::kCannotSend);
    AddBytesSent(rt, sent);
    s.tunnel_up_bytes = static_cast<long long>(s.head_body.size());
    LogSendHeaders(rt, s.request_line, s.request_headers);
    s.head_body.clear();
    s.error_head = text::kTunnelUnreachableHead;
    int read = ReadHead(rt, s.upstream, s.head, s.head_count, s.answer_terminator, s.error,
                        "server", rt.limits.answer_head_timeout_ms);
    if (read == kIoNotSocket) return Ending::kQuiet;
    if (read != kIoDone) return Ending::kError;
    AddBytesReceived(rt, s.head_count);
    std::string_view head(s.head, static_cast<std::size_t>(s.head_count));
    if (SplitHead(head, s.answer_terminator, s.status_line, s.answer_headers) != 1 ||
        !s.status_line.starts_with("HTTP/1.") ||
        SplitBody(s.answer_terminator, s.answer_headers, s.head_body) != 1) {
        SetErrorText(rt, s.error, "%s", text::kServerHeadUnsupported);
        return Ending::kError;
    }
    s.answer_started = 1;
    // A head without header lines holds its blank line twice in the block (see SplitHead):
    // one more would reach the client as the tunnel's first byte.
    std::string_view block = s.answer_headers.view();
    if (block == s.answer_terminator.view()) block = LineEndOf(block);
    if (SendAll(rt, s.client, {s.status_line.view(), block}) != kIoDone) {
        SetErrorText(rt, s.error, "%s\n", text::kClientSendError);
        return Ending::kError;
    }
    LogRecvHeaders(rt, s.status_line, s.answer_headers);
    LogHeaderPair(rt, s.request_line, s.request_headers, s.status_line, s.answer_headers);
    if (!StatusCodeOf(s.status_line).starts_with("2")) return PassRefusal(rt, s);
    // What the target sent right behind the proxy's answer belongs to the tunnel.
    if (!s.head_body.empty() && SendAll(rt, s.client, s.head_body.data(),
                                        static_cast<long>(s.head_body.size())) != kIoDone) {
        SetErrorText(rt, s.error, "%s\n", text::kClientSendError);
        return Ending::kError;
    }
    s.tunnel_down_bytes = static_cast<long long>(s.head_body.size());
    return kGoOn;
}

// The line with a CR LF in place of its own line end, as the tunnel's log line wants it.
std::string WithCrLf(std::string_view line, std::string_view terminator) {
    return std::string(WithoutLineEnd(line, LineEndOf(terminator))) + "\r\n";
}

Ending HandOver(Runtime& rt, HandlerState& s) {
    TunnelLoop* loop = nullptr;
    {
        Hold hold(rt.locks.server);
        loop = rt.server.tunnels;
    }
    if (loop == nullptr || Stopping(rt)) return Ending::kQuiet;
    TunnelHandOff tunnel;
    tunnel.log.client = std::string(s.client_address.view());
    tunnel.log.host = std::string(s.host.view());
    tunnel.log.numeric_address = std::string(s.numeric_address.view());
    tunnel.log.port = std::string(s.port.view());
    tunnel.log.request_line = WithCrLf(s.request_line.view(), s.request_terminator.view());
    tunnel.log.status_line =
        WithCrLf(s.status_line.view(), s.answer_terminator.empty() ? std::string_view("\r\n\r\n")
                                                                   : s.answer_terminator.view());
    tunnel.log.up_bytes = s.tunnel_up_bytes;
    tunnel.log.down_bytes = s.tunnel_down_bytes;
    tunnel.client = std::move(s.client);
    tunnel.upstream = std::move(s.upstream);
    s.upstream_connected = 0;
    // On failure the loop has closed both sockets: nothing is left to answer on.
    return loop->Add(std::move(tunnel)) ? Ending::kHandedOff : Ending::kQuiet;
}

}  // namespace

bool AnswerEstablished(Runtime& rt, HandlerState& s) {
    s.status_line = kEstablished;
    s.answer_headers = kBlankLine;
    LogSendHeaders(rt, s.request_line, s.request_headers);
    s.answer_started = 1;
    if (SendAll(rt, s.client, {s.status_line.view(), s.answer_headers.view()}) != kIoDone) {
        SetErrorText(rt, s.error, "%s\n", text::kClientSendError);
        return false;
    }
    LogRecvHeaders(rt, s.status_line, s.answer_headers);
    LogHeaderPair(rt, s.request_line, s.request_headers, s.status_line, s.answer_headers);
    return true;
}

Ending OpenTunnel(Runtime& rt, HandlerState& s, const ConnectTarget& target) {
    if (SplitBody(s.request_terminator, s.request_headers, s.head_body) != 1) {
        SetErrorText(rt, s.error, "%s", text::kUnsupportedHeader);
        return Ending::kError;
    }
    if (!s.settings.tunnel_ports.Contains(target.port_value)) {
        s.error_head = text::kTunnelRefusedHead;
        SetErrorText(rt, s.error, text::kPortUnusable, std::string(target.port).c_str());
        return Ending::kError;
    }
    if (ShouldInspect(rt, s, target.host)) return StartInspection(rt, s, target);
    Ending opened =
        s.settings.proxy.empty() ? ConnectStraight(rt, s, target) : ConnectThroughProxy(rt, s);
    if (opened != kGoOn) return opened;
    return HandOver(rt, s);
}

}  // namespace korvanel
