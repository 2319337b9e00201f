// Loopback clients and small waits for the listener and access-control tests.
#pragma once

#include <chrono>
#include <functional>
#include <set>
#include <string>

#include "platform/socket.h"
#include "runtime/runtime.h"

namespace korvanel::testing {

inline constexpr uint32_t kLoopback = 0x7F000001;   // 127.0.0.1
inline constexpr uint32_t kLoopback2 = 0x7F000002;  // 127.0.0.2

// A client connected to 127.0.0.1:`port` from `source` (any port). Invalid when the
// connection did not complete within three seconds (a full listen queue drops the first
// attempt; the retry comes after a second). Registered in `registry`, which should not
// be the runtime's: a stop must not reach the test's own clients.
Socket ConnectFrom(SocketRegistry& registry, uint32_t source, uint16_t port);
Socket Connect(SocketRegistry& registry, uint16_t port);

// True when the peer closed (or reset) the connection within `timeout_ms`.
bool ClosedByPeer(Socket& client, int timeout_ms);

// The runtime's counters and IP log buffer, read under their locks.
ConnectionCounters CountersOf(Runtime& rt);
std::string IpLogOf(Runtime& rt);

// Open descriptors / running threads of this process.
int OpenDescriptorCount();
int ThreadCount();
// The ids of this process's running threads.
std::set<int> ThreadIds();

}  // namespace korvanel::testing
