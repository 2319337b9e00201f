// The machine's own names and IPv4 addresses, for the proxy checker's anonymity test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvanel {

// The IPv4 addresses of the machine's interfaces (host byte order), loopback excluded, in
// interface order. Empty when the interfaces cannot be read.
std::vector<uint32_t> ListLocalIpv4();

// The local host name into `out` (NUL-terminated). False when it cannot be read.
bool ReadHostName(char* out, std::size_t capacity);

// How a reverse lookup names an address.
enum class NameForm {
    kShortName,     // the short name for local hosts
    kNumericHost,   // the address as digits
    kNameRequired,  // a name, or failure when there is none
    kFullName,      // the full name, or the numeric form when there is none
};

// Reverse lookup of `host_order`. On success writes the name into `out` and returns true;
// on failure leaves `out` untouched.
bool LookUpName(uint32_t host_order, NameForm form, char* out, std::size_t capacity);

}  // namespace korvanel
