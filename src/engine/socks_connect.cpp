#include "engine/socks_connect.h"

#include <chrono>
#include <string>

#include "engine/request_state.h"
#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "engine/socks_messages.h"
#include "engine/upstream.h"
#include "platform/dotted_quad.h"
#include "platform/socket.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Exchange {
    Runtime& rt;
    Socket& socket;
    SteadyClock::time_point deadline;
    const char*& reason;
    bool stopped = false;

    bool Fail(const char* why) {
        reason = why;
        return false;
    }

    bool Send(const SocksMessage& message) {
        IoEnd sent = SendAll(rt, socket, message.view().data(), static_cast<long>(message.size));
        if (sent == IoEnd::kNotSocket || socket.Revoked()) stopped = true;
        return sent == IoEnd::kDone || Fail(text::kSocksClosed);
    }

    // Receives bytes up to `size` in all into `buffer`, which holds `have` already.
    bool ReceiveUpTo(unsigned char* buffer, std::size_t& have, std::size_t size) {
        while (have < size) {
            IoResult got = socket.Receive(reinterpret_cast<char*>(buffer) + have, size - have);
            if (got.status == IoStatus::kOk) {
                have += static_cast<std::size_t>(got.bytes);
                continue;
            }
            if (got.status == IoStatus::kRevoked) {
                stopped = true;
                return Fail(text::kSocksClosed);
            }
            if (got.status != IoStatus::kWouldBlock) return Fail(text::kSocksClosed);
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              SteadyClock::now());
            if (left.count() <= 0) return Fail(text::kSocksTimeout);
            PollResult waited = socket.WaitReadable(static_cast<int>(left.count()));
            if (waited == PollResult::kTimeout) return Fail(text::kSocksTimeout);
            if (waited == PollResult::kError) {
                stopped = socket.Revoked();
                return Fail(text::kSocksClosed);
            }
        }
        return true;
    }

    // One answer of the proxy, read exactly.
    bool Await(SocksAnswer answer, bool with_login) {
        unsigned char buffer[4 + 1 + 255 + 2];
        std::size_t have = 0;
        std::size_t needed = FirstSocksBytes(answer);
        for (;;) {
            if (!ReceiveUpTo(buffer, have, needed)) return false;
            SocksRead read = ReadSocksAnswer(answer, buffer, have, with_login);
            switch (read.verdict) {
                case SocksVerdict::kGranted:
                    return true;
                case SocksVerdict::kRefused:
                    return Fail(SocksRefusalText(answer, read.code, with_login));
                case SocksVerdict::kMalformed:
                    return Fail(text::kSocksMalformed);
                case SocksVerdict::kMore:
                    if (read.needed <= have || read.needed > sizeof buffer) {
                        return Fail(text::kSocksMalformed);
                    }
                    needed = read.needed;
                    break;
            }
        }
    }
};

bool Socks5(Exchange& x, std::string_view host, std::string_view port, std::string_view user,
            std::string_view password) {
    const bool with_login = !user.empty();
    SocksMessage message;
    FormatSocks5Greeting(with_login, message);
    if (!x.Send(message) || !x.Await(SocksAnswer::kSocks5Choice, with_login)) return false;
    if (with_login) {
        if (!FormatSocks5Login(user, password, message)) return x.Fail(text::kSocksLoginRefused);
        if (!x.Send(message) || !x.Await(SocksAnswer::kSocks5Login, true)) return false;
    }
    if (!FormatSocks5Connect(host, port, message)) return x.Fail(text::kSocksNameTooLong);
    return x.Send(message) && x.Await(SocksAnswer::kSocks5Connect, with_login);
}

// True when a SOCKS proxy at `proxy_numeric` (on this machine) would connect host:port back
// to this proxy: the target named by an address of this machine at the listening port, or
// "localhost". A proxy elsewhere has a loopback of its own.
bool LoopsBack(std::string_view proxy_numeric, std::string_view host, std::string_view port,
               std::string_view own_port) {
    uint32_t proxy = 0;
    if (!ReadDottedQuad(proxy_numeric, proxy) || !IsSelfConnection(proxy, own_port, own_port)) {
        return false;
    }
    if (host == "localhost") return PortValue(port) == PortValue(own_port);
    uint32_t target = 0;
    char formatted[16];
    if (!ReadDottedQuad(host, target)) return false;
    FormatIpv4(target, formatted, sizeof formatted);
    return host == formatted && IsSelfConnection(target, port, own_port);
}

bool Socks4a(Exchange& x, std::string_view host, std::string_view port, std::string_view user) {
    SocksMessage message;
    if (!FormatSocks4aConnect(host, port, user, message)) return x.Fail(text::kSocksNameTooLong);
    return x.Send(message) && x.Await(SocksAnswer::kSocks4Connect, false);
}

}  // namespace

SocksEnd SocksConnect(Runtime& rt, Socket& socket, UpstreamKind kind, std::string_view host,
                      std::string_view port, std::string_view user, std::string_view password,
                      const char*& reason) {
    Exchange x{rt, socket,
               SteadyClock::now() + std::chrono::milliseconds(rt.limits.answer_head_timeout_ms),
               reason};
    const bool connected = kind == UpstreamKind::kSocks4a ? Socks4a(x, host, port, user)
                                                          : Socks5(x, host, port, user, password);
    if (connected) return SocksEnd::kConnected;
    return x.stopped ? SocksEnd::kStopped : SocksEnd::kFailed;
}

RouteOpen ConnectThroughSocks(Runtime& rt, Socket& socket, RequestState& r, std::string_view host,
                              std::string_view port) {
    const RequestSettings& settings = r.settings;
    TargetHost proxy_host;
    TargetPort proxy_port;
    if (!SplitProxyAddress(settings.proxy, proxy_host, proxy_port) || !IsUsablePort(proxy_port)) {
        SetErrorText(rt, r.error, text::kProxyUnusable, settings.proxy.c_str());
        return RouteOpen::kFailed;
    }
    UpstreamConnect connected = ConnectUpstream(rt, socket, proxy_host.c_str(), r.numeric_address,
                                                proxy_port, settings.port);
    if (connected == UpstreamConnect::kSelf) {
        SetErrorText(rt, r.error, text::kAccessNotPossible, "\"127.0.0.1\"", proxy_port.c_str());
        return RouteOpen::kSelf;
    }
    if (connected != UpstreamConnect::kConnected) {
        SetErrorText(rt, r.error, text::kCannotConnect, proxy_host.c_str(), proxy_port.c_str());
        return RouteOpen::kFailed;
    }
    const std::string target_host(host);
    const std::string target_port(port);
    if (LoopsBack(r.numeric_address.view(), host, port, settings.port.view())) {
        socket.Close();
        SetErrorText(rt, r.error, text::kAccessNotPossible, "\"127.0.0.1\"", target_port.c_str());
        return RouteOpen::kSelf;
    }
    const char* reason = text::kSocksClosed;
    SocksEnd end = SocksConnect(rt, socket, settings.proxy_kind, host, port,
                                settings.proxy_user.view(), settings.proxy_password.view(), reason);
    if (end == SocksEnd::kConnected && !IsStopping(rt)) return RouteOpen::kOpen;
    socket.Close();
    if (end != SocksEnd::kFailed) return RouteOpen::kStopped;
    const std::string kind(UpstreamKindName(settings.proxy_kind));
    SetErrorText(rt, r.error, text::kSocksFailed, kind.c_str(), proxy_host.c_str(),
                 proxy_port.c_str(), target_host.c_str(), target_port.c_str(), reason);
    return RouteOpen::kFailed;
}

}  // namespace korvanel
