#include "engine/inspection.h"

#include <string>

#include "engine/inspected_origin.h"
#include "engine/server_control.h"
#include "engine/tunnel_answer.h"
#include "logging/status_log.h"
#include "runtime/host_pattern.h"
#include "runtime/runtime.h"
#include "texts.h"
#include "tls/inspector_holder.h"

namespace korvanel {

bool ShouldInspect(Runtime& rt, const RequestSettings& settings, std::string_view host) {
    if (!settings.https_inspect) return false;
    Hold hold(rt.locks.settings);
    for (const std::string& pattern : rt.settings.inspect_except) {
        if (MatchesHostPattern(pattern, host)) return false;
    }
    return true;
}

Ending StartInspection(Runtime& rt, ConnectionState& c, RequestState& r,
                       const ConnectTarget& target) {
    std::string extra_ca_file;
    {
        Hold hold(rt.locks.settings);
        extra_ca_file = rt.settings.extra_ca_file;
    }
    r.host = target.host;
    r.port = target.port;
    std::shared_ptr<Inspector> inspector = CurrentInspector(rt, extra_ca_file);
    if (!inspector) {
        r.error_head = text::kTunnelUnreachableHead;
        SetErrorText(rt, r.error, "%s", text::kInspectionUnavailable);
        return Ending::kError;
    }
    // The client speaks TLS only once it has the answer: bytes behind the head are not
    // a handshake this program can take.
    if (!r.head_body.empty()) return Ending::kError;
    if (!AnswerEstablished(rt, c.client, r)) return Ending::kError;
    std::string name;
    std::string reason;
    HandshakeEnd end = inspector->AcceptClient(
        c.client, target.host, HandshakeWaitOf(rt, rt.limits.first_request_head_timeout_ms), name,
        reason);
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
    c.site.inspector = std::move(inspector);
    c.site.host = target.host;
    c.site.port = target.port;
    c.site.name = name;
    return Ending::kInspected;
}

}  // namespace korvanel
