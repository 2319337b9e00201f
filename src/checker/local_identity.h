// The texts under which the client machine could be recognised: its local IPv4 addresses
// and their names, and the external address its gateway shows to the world.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "checker/check_limits.h"
#include "platform/fixed_text.h"
#include "platform/local_addresses.h"

namespace korvanel {

// Filled from the front; the first empty slot ends the list.
struct LocalIdentityList {
    std::array<std::string, kIdentitySlots> texts;
    int count = 0;
};

using ExternalAddress = FixedText<kExternalAddressCapacity>;

// Reverse lookup as LookUpName does it; tests put a fake in its place.
using NameLookupFn = std::function<bool(uint32_t, NameForm, char*, std::size_t)>;

// Reads the host name (printed as "host: NAME"), then adds five texts for each local
// address: the dotted address, its short name, its numeric form, its required name and its
// full name. A failed lookup repeats the text before it. Stops once more than 58 texts are
// in. Gives 1, or -1 when the host name cannot be read (the list then stays empty).
int CollectLocalIdentity(LocalIdentityList& list);

// The same over given addresses and lookup (the part that does not need the machine).
void AppendIdentityGroups(LocalIdentityList& list, const std::vector<uint32_t>& addresses,
                          const NameLookupFn& lookup);

// Asks the Internet gateway of the local network for its external address, waiting
// `delay_ms` for gateways to answer. Empty when there is no gateway or it does not say.
ExternalAddress DiscoverExternalAddress(int delay_ms = kCheckLimits.upnp_delay_ms);

}  // namespace korvanel
