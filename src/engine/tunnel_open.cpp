#include "engine/tunnel_open.h"

#include <string>

#include "engine/answer_body.h"
#include "engine/head_split.h"
#include "engine/header_predicates.h"
#include "engine/inspection.h"
#include "engine/message_framing.h"
#include "engine/origin_route.h"
#include "engine/proxy_connect.h"
#include "engine/proxy_login.h"
#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "engine/text_fields.h"
#include "engine/tunnel_answer.h"
#include "engine/tunnel_loop.h"
#include "logging/log_producers.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

bool Stopping(Runtime& rt) {
    return IsStopping(rt);
}

StepResult FailWith(Runtime& rt, RequestState& r, const char* head, const char* format) {
    r.error_head = head;
    SetErrorText(rt, r.error, format, r.host.c_str(), r.port.c_str());
    return Ending::kError;
}

// The connection the route goes by, to the target or to the upstream proxy.
StepResult ConnectTo(Runtime& rt, const OriginRoute& route, ConnectionState& c, RequestState& r,
                     const ConnectTarget& target) {
    if (!route.ChooseTunnelTarget(rt, r, target)) {
        r.error_head = text::kTunnelUnreachableHead;
        return Ending::kError;
    }
    switch (route.Open(rt, c, r)) {
        case RouteOpen::kOpen:
            return kGoOn;
        case RouteOpen::kStopped:
            return Ending::kQuiet;
        case RouteOpen::kSelf:
            r.error_head = text::kTunnelRefusedHead;
            return Ending::kError;
        case RouteOpen::kFailed:
            break;
    }
    r.error_head = text::kTunnelUnreachableHead;
    return Ending::kError;
}

// Straight to the target: bytes the client sent behind its head go first, then the
// client learns that the tunnel stands.
StepResult PassHeadBody(Runtime& rt, ConnectionState& c, RequestState& r) {
    if (!r.head_body.empty() && SendAll(rt, c.upstream, r.head_body.data(),
                                        static_cast<long>(r.head_body.size())) != IoEnd::kDone) {
        return FailWith(rt, r, text::kTunnelUnreachableHead, text::kCannotSend);
    }
    AddBytesSent(rt, static_cast<long long>(r.head_body.size()));
    r.tunnel_up_bytes = static_cast<long long>(r.head_body.size());
    if (!AnswerEstablished(rt, c.client, r)) return Ending::kError;
    return kGoOn;
}

// An upstream proxy that did not open the tunnel: its answer, body included, goes to the
// client as it came, and the connection ends after it.
Ending PassRefusal(Runtime& rt, ConnectionState& c, RequestState& r, const Framing& framing) {
    AnswerFacts& a = r.answer;
    a.content_length = framing.length;
    a.no_length = a.content_length == -1;
    a.chunked = framing.chunked;
    a.remaining = a.no_length ? -1 : a.content_length - static_cast<long long>(r.head_body.size());
    a.close = true;
    r.settings.tag_filter_active = false;
    return RelayAnswerBody(rt, c.client, c.upstream, r);
}

// Through the upstream proxy in use: a CONNECT head of this program's own goes to it (the
// header logs show that head; the access log the client's request line), then what the
// client sent behind its head; the proxy's answer head goes back to the client.
StepResult PassProxyAnswer(Runtime& rt, ConnectionState& c, RequestState& r,
                           const ConnectTarget& target) {
    StartLine line;
    HeaderBlock headers;
    // The proxy's own login, when it has one; else a proxy that asks for a login (407) gets
    // the browser's answer to it on the next try.
    BasicCredentials login;
    CredentialsFor(r.settings, login);
    const std::string_view authorization =
        !login.empty() ? login.view()
                       : FieldValue(r.request_headers, r.request_terminator, "Proxy-Authorization");
    if (!FormatProxyConnect(target.host, target.port, r.settings.agent.view(), authorization, line,
                            headers)) {
        return FailWith(rt, r, text::kTunnelUnreachableHead, text::kCannotSend);
    }
    long sent = SendCounted(rt, c.upstream, {line.view(), headers.view(), r.head_body.view()});
    if (sent <= 0) return FailWith(rt, r, text::kTunnelUnreachableHead, text::kCannotSend);
    AddBytesSent(rt, sent);
    r.tunnel_up_bytes = static_cast<long long>(r.head_body.size());
    LogSendHeaders(rt, line, headers);
    r.head_body.clear();
    r.error_head = text::kTunnelUnreachableHead;
    IoEnd read = ReadHead(rt, c.upstream, r.head, r.head_count, r.answer_terminator, r.error,
                          "server", rt.limits.answer_head_timeout_ms);
    if (read == IoEnd::kNotSocket) return Ending::kQuiet;
    if (read != IoEnd::kDone) return Ending::kError;
    AddBytesReceived(rt, r.head_count);
    std::string_view head(r.head, static_cast<std::size_t>(r.head_count));
    // A refusal's body goes to the client framed as the proxy framed it; a doubtful frame
    // gets the error page instead.
    Framing framing;
    const ProxyAnswer answer = ReadProxyAnswer(head, r.answer_terminator, r.status_line,
                                               r.answer_headers, r.head_body, framing);
    if (answer == ProxyAnswer::kUnreadable) {
        SetErrorText(rt, r.error, "%s", text::kServerHeadUnsupported);
        return Ending::kError;
    }
    const bool refused = answer == ProxyAnswer::kRefused;
    r.answer_started = true;
    // A head without header lines holds its blank line twice in the block (see SplitHead):
    // one more would reach the client as the tunnel's first byte.
    std::string_view block = r.answer_headers.view();
    if (block == r.answer_terminator.view()) block = LineEndOf(block);
    if (SendAll(rt, c.client, {r.status_line.view(), block}) != IoEnd::kDone) {
        SetErrorText(rt, r.error, "%s\n", text::kClientSendError);
        return Ending::kError;
    }
    LogRecvHeaders(rt, r.status_line, r.answer_headers);
    LogHeaderPair(rt, line, headers, r.status_line, r.answer_headers);
    if (refused) return PassRefusal(rt, c, r, framing);
    // What the target sent right behind the proxy's answer belongs to the tunnel.
    if (!r.head_body.empty() && SendAll(rt, c.client, r.head_body.data(),
                                        static_cast<long>(r.head_body.size())) != IoEnd::kDone) {
        SetErrorText(rt, r.error, "%s\n", text::kClientSendError);
        return Ending::kError;
    }
    r.tunnel_down_bytes = static_cast<long long>(r.head_body.size());
    return kGoOn;
}

// The line with a CR LF in place of its own line end, as the tunnel's log line wants it.
std::string WithCrLf(std::string_view line, std::string_view terminator) {
    return std::string(WithoutLineEnd(line, LineEndOf(terminator))) + "\r\n";
}

Ending HandOver(Runtime& rt, ConnectionState& c, RequestState& r) {
    if (c.tunnels == nullptr || Stopping(rt)) return Ending::kQuiet;
    TunnelHandOff tunnel;
    tunnel.log.client = std::string(c.client_address.view());
    tunnel.log.host = std::string(r.host.view());
    tunnel.log.numeric_address = std::string(r.numeric_address.view());
    tunnel.log.port = std::string(r.port.view());
    tunnel.log.request_line = WithCrLf(r.request_line.view(), r.request_terminator.view());
    tunnel.log.status_line =
        WithCrLf(r.status_line.view(), r.answer_terminator.empty() ? std::string_view("\r\n\r\n")
                                                                   : r.answer_terminator.view());
    tunnel.log.up_bytes = r.tunnel_up_bytes;
    tunnel.log.down_bytes = r.tunnel_down_bytes;
    tunnel.client = std::move(c.client);
    tunnel.upstream = std::move(c.upstream);
    // On failure the loop has closed both sockets: nothing is left to answer on.
    return c.tunnels->Add(std::move(tunnel)) ? Ending::kHandedOff : Ending::kQuiet;
}

}  // namespace

Ending OpenTunnel(Runtime& rt, ConnectionState& c, RequestState& r, const ConnectTarget& target) {
    if (!SplitBody(r.request_terminator, r.request_headers, r.head_body)) {
        SetErrorText(rt, r.error, "%s", text::kUnsupportedHeader);
        return Ending::kError;
    }
    if (!r.settings.tunnel_ports.Contains(target.port_value)) {
        r.error_head = text::kTunnelRefusedHead;
        SetErrorText(rt, r.error, text::kPortUnusable, std::string(target.port).c_str());
        return Ending::kError;
    }
    if (ShouldInspect(rt, r.settings, target.host)) return StartInspection(rt, c, r, target);
    // Past the cap a tunnel would take the descriptors the listener and the logs need.
    if (rt.server.open_tunnels.load() >= rt.server.tunnel_cap.load()) {
        r.error_head = text::kTunnelBusyHead;
        SetErrorText(rt, r.error, "%s", text::kTooManyTunnels);
        return Ending::kError;
    }
    const OriginRoute route = OriginRoute::ForTunnel(r.settings);
    if (StepResult connected = ConnectTo(rt, route, c, r, target)) return *connected;
    // Straight or through a SOCKS proxy, the client learns that the tunnel stands once the
    // bytes it sent behind its head went on; through an HTTP proxy, that proxy's own answer
    // goes to the client.
    StepResult opened = route.kind() == OriginRoute::Kind::kUpstream
                            ? PassProxyAnswer(rt, c, r, target)
                            : PassHeadBody(rt, c, r);
    if (opened) return *opened;
    return HandOver(rt, c, r);
}

}  // namespace korvanel
