#include "engine/upstream.h"

#include <cerrno>
#include <cstdio>

#include "engine/server_control.h"
#include "platform/local_addresses.h"
#include "platform/socket.h"
#include "runtime/engine_limits.h"
#include "runtime/runtime.h"

namespace korvanel {

bool SplitProxyAddress(std::string_view proxy, TargetHost& host, TargetPort& port) {
    std::size_t colon = proxy.find(':');
    if (colon == std::string_view::npos) return false;
    host = proxy.substr(0, colon);
    port = proxy.substr(colon + 1);
    return true;
}

long PortValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < 100000000) value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

bool IsUsablePort(std::string_view port) {
    long value = PortValue(port);
    return value >= 1 && value <= 65535;
}

bool IsLoopbackTarget(uint32_t address) {
    return address == 0 || (address >> 24) == 127;
}

bool IsSelfConnection(uint32_t address, std::string_view target_port, std::string_view own_port) {
    if (PortValue(target_port) != PortValue(own_port)) return false;
    if (IsLoopbackTarget(address)) return true;
    for (uint32_t own : ListLocalIpv4()) {
        if (own == address) return true;
    }
    return false;
}

namespace {

// Waits for a started connect in steps, testing for a stop before each.
UpstreamConnect AwaitConnect(Runtime& rt, Socket& socket) {
    for (int step = 0;; ++step) {
        if (IsStopping(rt)) return UpstreamConnect::kFailed;
        PollResult waited = socket.WaitWritable(rt.limits.connect_step_ms);
        if (waited == PollResult::kError) return UpstreamConnect::kFailed;
        if (waited == PollResult::kReady) break;
        if (step + 1 >= rt.limits.connect_steps) return UpstreamConnect::kFailed;
    }
    int error = socket.ConnectError();
    if (error == 0) return UpstreamConnect::kConnected;
    // A connection the peer reset before it was ours counts as "closed before connected".
    return error == ECONNRESET ? UpstreamConnect::kPeerClosed : UpstreamConnect::kFailed;
}

}  // namespace

UpstreamConnect ConnectUpstream(Runtime& rt, Socket& socket, const char* host,
                                NumericAddress& numeric, std::string_view port,
                                std::string_view own_port, LoopbackTarget loopback) {
    socket.Close();
    // An empty name would resolve to this machine: it names no target.
    if (host == nullptr || *host == '\0') return UpstreamConnect::kFailed;
    long port_value = PortValue(port);
    if (port_value < 1 || port_value > 65535) return UpstreamConnect::kFailed;
    char service[8];
    std::snprintf(service, sizeof service, "%ld", port_value);
    Ipv4Endpoint target;
    if (!ResolveIpv4(host, service, false, target)) return UpstreamConnect::kFailed;
    FormatIpv4(target.address, numeric.data(), NumericAddress::kCapacity);
    numeric.sync_length();
    if (IsSelfConnection(target.address, port, own_port) ||
        (loopback == LoopbackTarget::kRefused && IsLoopbackTarget(target.address))) {
        return UpstreamConnect::kSelf;
    }

    socket = Socket::OpenTcp(rt.sockets);
    if (!socket.valid()) return UpstreamConnect::kFailed;
    socket.SetNoDelay();
    socket.UseConnectPortRange();
    socket.SetKeepAlive(kKeepAliveIdleS, kKeepAliveIntervalS, kKeepAliveProbes);
    UpstreamConnect result = UpstreamConnect::kFailed;
    switch (socket.StartConnect(target)) {
        case Socket::ConnectStart::kConnected:
            result = UpstreamConnect::kConnected;
            break;
        case Socket::ConnectStart::kInProgress:
            result = AwaitConnect(rt, socket);
            break;
        case Socket::ConnectStart::kFailed:
            break;
    }
    if (result != UpstreamConnect::kConnected) socket.Close();
    return result;
}

}  // namespace korvanel
