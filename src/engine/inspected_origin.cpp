#include "engine/inspected_origin.h"

#include <string>

#include "engine/answer_body.h"
#include "engine/proxy_connect.h"
#include "engine/proxy_login.h"
#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "engine/socks_connect.h"
#include "engine/text_fields.h"
#include "engine/upstream.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

constexpr std::string_view kDefaultHttpsPort = "443";

bool Stopping(void* context) {
    return IsStopping(*static_cast<Runtime*>(context));
}

// A CONNECT of our own through the upstream proxy, to the site; its answer head is read
// into the request's head buffer (free between the request's split and the answer).
RouteOpen OpenProxyTunnel(Runtime& rt, Socket& upstream, const InspectedSite& site,
                          RequestState& r) {
    StartLine line;
    HeaderBlock headers;
    BasicCredentials login;
    CredentialsFor(r.settings, login);
    const bool formed = FormatProxyConnect(site.host.view(), site.port.view(),
                                           r.settings.agent.view(), login.view(), line, headers);
    long sent = formed ? SendCounted(rt, upstream, {line.view(), headers.view()}) : 0;
    if (sent <= 0) {
        SetErrorText(rt, r.error, text::kCannotSend, r.host.c_str(), r.port.c_str());
        return RouteOpen::kFailed;
    }
    AddBytesSent(rt, sent);
    Terminator terminator;
    long count = 0;
    IoEnd read = ReadHead(rt, upstream, r.head, count, terminator, r.error, "server",
                          rt.limits.answer_head_timeout_ms);
    if (read != IoEnd::kDone) return RouteOpen::kFailed;
    AddBytesReceived(rt, count);
    std::string_view answer(r.head, static_cast<std::size_t>(count));
    // The answer's status line and header lines take the buffers the head went out from.
    StartLine& status = line;
    HeadBody behind;
    Framing framing;
    // Nothing may come behind the head: the site's TLS has not begun.
    if (ReadProxyAnswer(answer, terminator, status, headers, behind, framing) !=
            ProxyAnswer::kOpened ||
        !behind.empty()) {
        // The proxy's own words go on to the user.
        std::string said(WithoutLineEnd(status.view(), LineEndOf(terminator.view())));
        SetErrorText(rt, r.error, text::kProxyRefusedTunnel, said.c_str());
        return RouteOpen::kFailed;
    }
    return RouteOpen::kOpen;
}

// The origin's TLS over the connection made: verified for the name the client asked for.
RouteOpen ProveOrigin(Runtime& rt, ConnectionState& c, RequestState& r) {
    InspectedSite& site = c.site;
    std::string reason;
    HandshakeEnd end = site.inspector->ConnectOrigin(
        c.upstream, site.name.view(), site.port.view(),
        HandshakeWaitOf(rt, rt.limits.answer_head_timeout_ms), reason);
    if (end != HandshakeEnd::kDone) {
        c.upstream.Close();
        if (end == HandshakeEnd::kStopped) return RouteOpen::kStopped;
        if (reason.empty()) reason = text::kOriginHandshakeTimeout;
        SetErrorText(rt, r.error, "%s", reason.c_str());
        return RouteOpen::kFailed;
    }
    site.numeric_address = r.numeric_address.view();
    site.proxy = r.settings.proxy.view();
    site.proxy_kind = r.settings.proxy_kind;
    return RouteOpen::kOpen;
}

}  // namespace

HandshakeWait HandshakeWaitOf(Runtime& rt, int timeout_ms) {
    HandshakeWait wait;
    wait.timeout_ms = timeout_ms;
    wait.step_ms = rt.limits.connect_step_ms;
    wait.stopping = Stopping;
    wait.context = &rt;
    return wait;
}

bool ReuseOrigin(ConnectionState& c, RequestState& r) {
    const bool reusable = c.origin_reusable && c.upstream.valid() &&
                          c.site.proxy.view() == r.settings.proxy.view() &&
                          c.site.proxy_kind == r.settings.proxy_kind && !c.upstream.PeerGone();
    c.origin_reusable = false;
    if (!reusable) return false;
    r.numeric_address = c.site.numeric_address.view();
    return true;
}

RouteOpen OpenOrigin(Runtime& rt, ConnectionState& c, RequestState& r) {
    c.upstream.Close();
    c.origin_reusable = false;
    InspectedSite& site = c.site;
    const bool through_proxy = !r.settings.proxy.empty();
    if (through_proxy && r.settings.proxy_kind != UpstreamKind::kHttp) {
        RouteOpen opened =
            ConnectThroughSocks(rt, c.upstream, r, site.host.view(), site.port.view());
        if (opened != RouteOpen::kOpen) return opened;
        return ProveOrigin(rt, c, r);
    }
    TargetHost host;
    TargetPort port;
    if (through_proxy) {
        if (!SplitProxyAddress(r.settings.proxy, host, port) || !IsUsablePort(port)) {
            SetErrorText(rt, r.error, text::kProxyUnusable, r.settings.proxy.c_str());
            return RouteOpen::kFailed;
        }
    } else {
        host = site.host.view();
        port = site.port.view();
    }
    // A client on another machine reaches no site on this machine's loopback.
    const LoopbackTarget loopback = through_proxy || c.client_on_this_machine
                                        ? LoopbackTarget::kAllowed
                                        : LoopbackTarget::kRefused;
    UpstreamConnect connected = ConnectUpstream(rt, c.upstream, host.c_str(), r.numeric_address,
                                                port, r.settings.port, loopback);
    if (connected == UpstreamConnect::kSelf) {
        SetErrorText(rt, r.error, text::kAccessNotPossible, "\"127.0.0.1\"", port.c_str());
        return RouteOpen::kSelf;
    }
    if (connected != UpstreamConnect::kConnected) {
        SetErrorText(rt, r.error, text::kCannotConnect, host.c_str(), port.c_str());
        return RouteOpen::kFailed;
    }
    if (through_proxy) {
        RouteOpen tunnel = OpenProxyTunnel(rt, c.upstream, site, r);
        if (tunnel != RouteOpen::kOpen) {
            c.upstream.Close();
            return tunnel;
        }
    }
    return ProveOrigin(rt, c, r);
}

void ToLoggedForm(const InspectedSite& site, std::string_view terminator, StartLine& line) {
    std::string_view text = WithoutLineEnd(line.view(), LineEndOf(terminator));
    std::size_t first = text.find(' ');
    if (first == std::string_view::npos || first + 1 >= text.size() || text[first + 1] != '/') {
        return;
    }
    std::size_t second = text.find(' ', first + 1);
    if (second == std::string_view::npos) return;
    FixedText<StartLine::kCapacity> logged;
    logged.assign(text.substr(0, first));
    logged.append(" https://");
    logged.append(site.name.empty() ? site.host.view() : site.name.view());
    if (site.port.view() != kDefaultHttpsPort) {
        logged.append(":");
        logged.append(site.port.view());
    }
    logged.append(text.substr(first + 1, second - first - 1));
    logged.append(text.substr(second));
    logged.append(line.view().substr(text.size()));
    line.assign(logged.view());
}

}  // namespace korvanel
