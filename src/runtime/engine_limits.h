// Every time-out and size limit of the proxy's data path, in one place.
//
// The values a running proxy uses are the constants; EngineLimits carries them into the
// engine so that a test can shorten the long waits on its own Runtime.
#pragma once

namespace korvanel {

// Head reader: the first request of a connection, a later request on a kept-alive client
// connection, and every answer head from the server.
inline constexpr int kFirstRequestHeadTimeoutMs = 20000;
inline constexpr int kKeptRequestHeadTimeoutMs = 180000;
inline constexpr int kAnswerHeadTimeoutMs = 20000;

// A send that cannot go on is polled in steps; the step after kSendPatientSteps timed-out
// steps gives up (about 18 s). Each step also tests for a stop request.
inline constexpr int kSendStepMs = 200;
inline constexpr int kSendPatientSteps = 90;

// A connect is awaited in steps with a stop test each; about 40 s in all.
inline constexpr int kConnectStepMs = 200;
inline constexpr int kConnectSteps = 200;

// Body receives wait without a time limit (a slow page may idle for long); a peer that
// vanished without closing is found by TCP keep-alive probes instead: after 60 s of
// silence, six probes 10 s apart, about two minutes in all.
inline constexpr int kKeepAliveIdleS = 60;
inline constexpr int kKeepAliveIntervalS = 10;
inline constexpr int kKeepAliveProbes = 6;

// A server that stopped taking a request body may have answered already (a refusal such
// as 413): its answer head is looked for this long.
inline constexpr int kEarlyAnswerWaitMs = 1000;

// After such an early answer the client may still be sending its body: the proxy reads
// and drops it this long before closing, so that the close does not reset the connection
// before the client has read the answer.
inline constexpr int kLingerMs = 2000;

// A relay ends when no byte has moved for this long: a server that sent part of an answer
// and then went silent while its connection stays alive would otherwise hold its handler
// for good.
inline constexpr int kRelayIdleMs = 300000;

// The files HTTPS inspection trusts (the authority's, the extra anchors) are looked at again
// for changes at most this often, and an inspector that could not be opened is tried again
// after as long.
inline constexpr int kTrustFileLookMs = 1000;

// Descriptors kept aside from tunnels: the listener, the logs, `data`'s saves, the tunnel
// relay's poll, and each of the handlers' connections with their splice pipes.
inline constexpr long kReservedDescriptors = 320;
// A tunnel holds two sockets and a splice pipe each way.
inline constexpr long kDescriptorsPerTunnel = 6;

// The most tunnels open at once under a descriptor limit of `descriptor_limit`; a tunnel
// past it is refused, so that accepts, log writes and `data`'s saves always find a
// descriptor.
inline int TunnelCapFor(long descriptor_limit) {
    long cap = (descriptor_limit - kReservedDescriptors) / kDescriptorsPerTunnel;
    return cap < 0 ? 0 : cap > 1000000 ? 1000000 : static_cast<int>(cap);
}

struct EngineLimits {
    int first_request_head_timeout_ms = kFirstRequestHeadTimeoutMs;
    int kept_request_head_timeout_ms = kKeptRequestHeadTimeoutMs;
    int answer_head_timeout_ms = kAnswerHeadTimeoutMs;
    int send_step_ms = kSendStepMs;
    int send_patient_steps = kSendPatientSteps;
    int connect_step_ms = kConnectStepMs;
    int connect_steps = kConnectSteps;
    int relay_idle_ms = kRelayIdleMs;
    int trust_file_look_ms = kTrustFileLookMs;
    // Tests lower it; the running cap is the lower of this and TunnelCapFor's.
    int max_open_tunnels = 1000000;
};

}  // namespace korvanel
