// How one request on a handler's connection ends, and what the steps of its road give.
#pragma once

#include <optional>

namespace korvanel {

// kKeepAlive: answered, and the connection stays for the next request. kHandedOff: both
// sockets went to the tunnel relay, which closes them and logs the tunnel. kInspected: the
// client's TLS was taken, and its requests follow on the connection, inside it.
enum class Ending { kKeepAlive, kNormal, kError, kQuiet, kRefused, kHandedOff, kInspected };

// A step of the road either lets the next step go on (kGoOn) or ends the request.
using StepResult = std::optional<Ending>;
inline constexpr std::nullopt_t kGoOn = std::nullopt;

// What opening the road to the origin gave. kSelf and kFailed leave the reason in the
// request's error text.
enum class RouteOpen { kOpen, kSelf, kFailed, kStopped };

}  // namespace korvanel
