// Access control: which clients the proxy admits, by their IPv4 address.
//
// A client whose dotted address begins with "127.0.0.1" or "0.0.0.0" is always admitted;
// any other is admitted when it lies in the allowed range (both ends inclusive, in either
// order). Every verdict is written to the IP log.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/dotted_quad.h"
#include "platform/fixed_text.h"

namespace korvanel {

struct Runtime;
class Socket;

// What CheckClient decided. kPeerUnknown: reading the peer's address failed.
enum class ClientCheck { kAdmitted, kPeerUnknown, kRefused };

using ClientAddressText = FixedText<132>;

// Checks the client on `socket`; `peer_family` is the family the accept call reported.
// `address` receives the dotted client address. Refusals count as blocked clients.
ClientCheck CheckClient(Runtime& rt, Socket& socket, int peer_family, ClientAddressText& address);

// True when a tag switch is on whose tag is not a "dummy" row. Takes the settings lock.
bool AnyTagFilterOn(Runtime& rt);

struct AllowedRange {
    uint32_t low = 0;  // host byte order; 0 when the text did not convert
    uint32_t high = 0;
};

// Splits "A.B.C.DtoE.F.G.H" at the first "to". A text without "to" names one address
// (both ends). An end that does not convert is 0.
AllowedRange ParseAllowedRange(std::string_view text);

// Reads the allowed range setting and stores its ends for CheckClient (under the settings
// lock).
void LoadAllowedRange(Runtime& rt);

// True when the client at `address` (dotted-quad text) is this machine itself: a loopback
// address or one of the machine's own.
bool IsThisMachine(std::string_view address);

}  // namespace korvanel
