#include "engine/inspection.h"

#include <string>

#include "engine/answer_body.h"
#include "engine/handler_state.h"
#include "engine/head_split.h"
#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "engine/text_fields.h"
#include "engine/tunnel_open.h"
#include "engine/upstream.h"
#include "logging/status_log.h"
#include "runtime/host_pattern.h"
#include "runtime/runtime.h"
#include "texts.h"
#include "tls/inspector_holder.h"

namespace korvanel {

namespace {

constexpr std::string_view kDefaultHttpsPort = "443";

bool Stopping(void* context) {
    return IsStopping(*static_cast<Runtime*>(context)) == -1;
}

HandshakeWait WaitOf(Runtime& rt, int timeout_ms) {
    HandshakeWait wait;
    wait.timeout_ms = timeout_ms;
    wait.step_ms = rt.limits.connect_step_ms;
    wait.stopping = Stopping;
    wait.context = &rt;
    return wait;
}

// A CONNECT of our own through the upstream proxy, to the site; its answer head is read
// into the handler's head buffer (free between the request's split and the answer).
int OpenProxyTunnel(Runtime& rt, HandlerState& s) {
    const InspectedSite& site = s.site;
    FixedText<600> head;
    head.assign("CONNECT ");
    head.append(site.host.view());
    head.append(":");
    head.append(site.port.view());
    head.append(" HTTP/1.1\r\nHost: ");
    head.append(site.host.view());
    head.append(":");
    head.append(site.port.view());
    head.append("\r\n\r\n");
    long sent = SendCounted(rt, s.upstream, head.data(), static_cast<long>(head.size()));
    if (sent <= 0) {
        SetErrorText(rt, s.error, text::kCannotSend, s.host.c_str(), s.port.c_str());
        return kUpstreamFailed;
    }
    AddBytesSent(rt, sent);
    Terminator terminator;
    long count = 0;
    int read = ReadHead(rt, s.upstream, s.head, count, terminator, s.error, "server",
                        rt.limits.answer_head_timeout_ms);
    if (read != kIoDone) return kUpstreamFailed;
    AddBytesReceived(rt, count);
    std::string_view answer(s.head, static_cast<std::size_t>(count));
    StartLine status;
    HeaderBlock headers;
    HeadBody behind;
    if (SplitHead(answer, terminator, status, headers) != 1 ||
        SplitBody(terminator, headers, behind) != 1 || !status.starts_with("HTTP/1.") ||
        !StatusCodeOf(status.view()).starts_with("2") || !behind.empty()) {
        // The proxy's own words go on to the user.
        std::string said(WithoutLineEnd(status.view(), LineEndOf(terminator.view())));
        SetErrorText(rt, s.error, text::kProxyRefusedTunnel, said.c_str());
        return kUpstreamRefused;
    }
    return kUpstreamConnected;
}

}  // namespace

bool ShouldInspect(Runtime& rt, const HandlerState& s, std::string_view host) {
    if (!s.settings.https_inspect) return false;
    Hold hold(rt.locks.settings);
    for (const std::string& pattern : rt.settings.inspect_except) {
        if (MatchesHostPattern(pattern, host)) return false;
    }
    return true;
}

Ending StartInspection(Runtime& rt, HandlerState& s, const ConnectTarget& target) {
    std::string extra_ca_file;
    {
        Hold hold(rt.locks.settings);
        extra_ca_file = rt.settings.extra_ca_file;
    }
    s.host = target.host;
    s.port = target.port;
    std::shared_ptr<Inspector> inspector = CurrentInspector(rt, extra_ca_file);
    if (!inspector) {
        s.error_head = text::kTunnelUnreachableHead;
        SetErrorText(rt, s.error, "%s", text::kInspectionUnavailable);
        return Ending::kError;
    }
    // The client speaks TLS only once it has the answer: bytes behind the head are not
    // a handshake this program can take.
    if (!s.head_body.empty()) return Ending::kError;
    if (!AnswerEstablished(rt, s)) return Ending::kError;
    std::string name;
    std::string reason;
    HandshakeEnd end = inspector->AcceptClient(
        s.client, target.host, WaitOf(rt, rt.limits.first_request_head_timeout_ms), name, reason);
    if (end != HandshakeEnd::kDone) {
        // A client that does not trust the authority (or pins its sites) is told once, so
        // the user knows which host to leave alone.
        if (end == HandshakeEnd::kFailed && FirstRefusalFor(rt, target.host)) {
            PostStatus(rt, text::kInspectionStatus,
                       text::kClientRefusedCertificate + std::string(target.host) +
                           (reason.empty() ? std::string() : " (" + reason + ")"));
        }
        return Ending::kQuiet;
    }
    s.site.inspector = std::move(inspector);
    s.site.host = target.host;
    s.site.port = target.port;
    s.site.name = name;
    return Ending::kInspected;
}

bool ReuseOrigin(HandlerState& s) {
    const bool reusable = s.origin_reusable && s.upstream.valid() &&
                          s.site.proxy.view() == s.settings.proxy.view() && !s.upstream.PeerGone();
    s.origin_reusable = 0;
    if (!reusable) return false;
    s.numeric_address = s.site.numeric_address.view();
    s.upstream_connected = 1;
    return true;
}

int OpenOrigin(Runtime& rt, HandlerState& s) {
    s.upstream.Close();
    s.upstream_connected = 0;
    s.origin_reusable = 0;
    InspectedSite& site = s.site;
    const bool through_proxy = !s.settings.proxy.empty();
    TargetHost host;
    TargetPort port;
    if (through_proxy) {
        if (SplitProxyAddress(s.settings.proxy, host, port) != 1 || !IsUsablePort(port)) {
            SetErrorText(rt, s.error, text::kProxyUnusable, s.settings.proxy.c_str());
            return kUpstreamFailed;
        }
    } else {
        host = site.host.view();
        port = site.port.view();
    }
    int connected =
        ConnectUpstream(rt, s.upstream, host.c_str(), s.numeric_address, port, s.settings.port);
    if (connected == kUpstreamSelf) {
        SetErrorText(rt, s.error, text::kAccessNotPossible, "\"127.0.0.1\"", port.c_str());
        return connected;
    }
    if (connected != kUpstreamConnected) {
        SetErrorText(rt, s.error, text::kCannotConnect, host.c_str(), port.c_str());
        return connected;
    }
    if (through_proxy) {
        int tunnel = OpenProxyTunnel(rt, s);
        if (tunnel != kUpstreamConnected) {
            s.upstream.Close();
            return tunnel;
        }
    }
    std::string reason;
    HandshakeEnd end =
        site.inspector->ConnectOrigin(s.upstream, site.name.view(), site.port.view(),
                                      WaitOf(rt, rt.limits.answer_head_timeout_ms), reason);
    if (end != HandshakeEnd::kDone) {
        s.upstream.Close();
        if (end == HandshakeEnd::kStopped) return kUpstreamFailed;
        if (reason.empty()) reason = text::kOriginHandshakeTimeout;
        SetErrorText(rt, s.error, "%s", reason.c_str());
        return kUpstreamRefused;
    }
    s.upstream_connected = 1;
    s.site.numeric_address = s.numeric_address.view();
    s.site.proxy = s.settings.proxy.view();
    return kUpstreamConnected;
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
