// Where a request goes and the connection to it: the upstream proxy's host:port text,
// the port check, the guard against the proxy connecting to itself, and the connect.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/message_buffers.h"

namespace korvanel {

struct Runtime;
class Socket;

using NumericAddress = FixedText<132>;

// What a connect gave. kPeerClosed: the peer reset the connection before it was made.
// kSelf: the target is this proxy itself, and nothing was opened.
enum class UpstreamConnect { kConnected, kFailed, kPeerClosed, kSelf };

// A target host longer than this ends the connection without an answer.
inline constexpr std::size_t kMaxTargetHostLength = 512;

// "host:port": the host before the first ':', the port after it (9 characters kept).
// False when there is no ':'.
bool SplitProxyAddress(std::string_view proxy, TargetHost& host, TargetPort& port);

// The decimal value of the leading digits of `text` (after blanks and a sign), as the C
// library's conversion reads it; 0 when there are none. Large values saturate.
long PortValue(std::string_view text);

// True when `port` converts to 1..65535.
bool IsUsablePort(std::string_view port);

// True when a connect to `address` (host byte order):`target_port` could reach this proxy,
// which listens on `own_port`: any loopback address, 0.0.0.0, or an address of one of this
// machine's interfaces, at that port.
bool IsSelfConnection(uint32_t address, std::string_view target_port, std::string_view own_port);

// Whether a target on this machine's loopback may be reached: a client on another machine
// (the proxy listening on every interface) must not reach services that listen on loopback
// for this machine's users alone.
enum class LoopbackTarget { kAllowed, kRefused };

// True when `address` (host byte order) is a loopback address or 0.0.0.0 (which reaches
// this machine too).
bool IsLoopbackTarget(uint32_t address);

// Resolves `host` (IPv4), writes the numeric address, refuses a connect to the proxy
// itself or, when `loopback` says so, to this machine's loopback (kSelf), and connects a new
// non-blocking socket with TCP_NODELAY into `socket`. Waits in steps with a stop test; a
// refused or failed connect fails at once. `socket` is left closed on every failure.
UpstreamConnect ConnectUpstream(Runtime& rt, Socket& socket, const char* host,
                                NumericAddress& numeric, std::string_view port,
                                std::string_view own_port,
                                LoopbackTarget loopback = LoopbackTarget::kAllowed);

}  // namespace korvanel
