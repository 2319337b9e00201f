#include "engine/origin_route.h"

#include "engine/inspected_origin.h"
#include "engine/proxy_login.h"
#include "engine/request_line.h"
#include "engine/server_control.h"
#include "engine/socks_connect.h"
#include "engine/upstream.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

bool Stopping(Runtime& rt) {
    return IsStopping(rt);
}

// A plain TCP connection to r.host:r.port.
RouteOpen ConnectPlain(Runtime& rt, Socket& socket, RequestState& r, LoopbackTarget loopback) {
    UpstreamConnect connected = ConnectUpstream(rt, socket, r.host.c_str(), r.numeric_address,
                                                r.port, r.settings.port, loopback);
    if (connected == UpstreamConnect::kSelf) {
        SetErrorText(rt, r.error, text::kAccessNotPossible, "\"127.0.0.1\"", r.port.c_str());
        return RouteOpen::kSelf;
    }
    if (connected != UpstreamConnect::kConnected) {
        SetErrorText(rt, r.error, text::kCannotConnect, r.host.c_str(), r.port.c_str());
        return RouteOpen::kFailed;
    }
    return Stopping(rt) ? RouteOpen::kStopped : RouteOpen::kOpen;
}

// Straight, the client names the target: one on another machine must not reach what
// listens on this machine's loopback. The upstream proxy is the user's own choice.
LoopbackTarget LoopbackFor(OriginRoute::Kind kind, const ConnectionState& c) {
    return kind == OriginRoute::Kind::kStraight && !c.client_on_this_machine
               ? LoopbackTarget::kRefused
               : LoopbackTarget::kAllowed;
}

}  // namespace

OriginRoute OriginRoute::ForRequest(const ConnectionState& c, const RequestSettings& settings) {
    if (c.site.active()) return OriginRoute(Kind::kInspected);
    return ForTunnel(settings);
}

OriginRoute OriginRoute::ForTunnel(const RequestSettings& settings) {
    if (settings.proxy.empty()) return OriginRoute(Kind::kStraight);
    return OriginRoute(settings.proxy_kind == UpstreamKind::kHttp ? Kind::kUpstream : Kind::kSocks);
}

StepResult OriginRoute::ChooseTarget(Runtime& rt, RequestState& r) const {
    // Through a SOCKS proxy the target is the origin, as on the straight road; the proxy's
    // own address is read when the connection is opened.
    const bool split = kind_ == Kind::kUpstream
                           ? SplitProxyAddress(r.settings.proxy, r.host, r.port)
                           : ToOriginForm(r.request_line, r.host, r.port, r.request_terminator);
    if (!split) {
        SetErrorText(rt, r.error, text::kProxyUnusable, r.settings.proxy.c_str());
        return Ending::kError;
    }
    if (!IsUsablePort(r.port)) {
        SetErrorText(rt, r.error, text::kPortUnusable, r.port.c_str());
        return Ending::kError;
    }
    return kGoOn;
}

bool OriginRoute::ChooseTunnelTarget(Runtime& rt, RequestState& r,
                                     const ConnectTarget& target) const {
    if (kind_ == Kind::kStraight || kind_ == Kind::kSocks) {
        r.host = target.host;
        r.port = target.port;
        return true;
    }
    if (!SplitProxyAddress(r.settings.proxy, r.host, r.port) || !IsUsablePort(r.port)) {
        SetErrorText(rt, r.error, text::kProxyUnusable, r.settings.proxy.c_str());
        return false;
    }
    return true;
}

RouteOpen OriginRoute::Open(Runtime& rt, ConnectionState& c, RequestState& r) const {
    if (Stopping(rt)) return RouteOpen::kStopped;
    if (kind_ == Kind::kSocks) return ConnectThroughSocks(rt, c.upstream, r, r.host, r.port);
    if (kind_ != Kind::kInspected) return ConnectPlain(rt, c.upstream, r, LoopbackFor(kind_, c));
    // The registry keeps a stop's clean-up off a descriptor being closed: no lock needed.
    if (ReuseOrigin(c, r)) return RouteOpen::kOpen;
    RouteOpen opened = OpenOrigin(rt, c, r);
    // A stop meanwhile ends the request quietly, whether the origin was reached or not.
    return Stopping(rt) ? RouteOpen::kStopped : opened;
}

RouteOpen OriginRoute::Reopen(Runtime& rt, ConnectionState& c, RequestState& r) const {
    c.upstream.Close();
    c.origin_reusable = false;
    return Open(rt, c, r);
}

bool OriginRoute::PutLogin(RequestState& r) const {
    if (kind_ != Kind::kUpstream || r.settings.proxy_user.empty()) return true;
    BasicCredentials credentials;
    CredentialsFor(r.settings, credentials);
    return PutProxyAuthorization(r.request_headers, credentials.view(), r.request_terminator);
}

bool OriginRoute::KeepsOrigin(const ConnectionState& c) const {
    return kind_ == Kind::kInspected && c.upstream.valid();
}

void OriginRoute::NameForLog(const ConnectionState& c, RequestState& r) const {
    if (kind_ == Kind::kInspected) ToLoggedForm(c.site, r.request_terminator, r.request_line);
}

}  // namespace korvanel
