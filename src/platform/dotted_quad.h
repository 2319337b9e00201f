// Dotted IPv4 addresses as the access range and its checks read them.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvanel {

// Reads "a.b.c.d" (blanks before a number, anything after the fourth) into `address`, host
// byte order. False when four numbers from 0 to 255 are not there.
bool ReadDottedQuad(std::string_view text, uint32_t& address);

// 1 when `text` reads as four numbers "a.b.c.d" (anything may follow), each 0..255; else -1.
int ParseDottedQuad(std::string_view text);

}  // namespace korvanel
