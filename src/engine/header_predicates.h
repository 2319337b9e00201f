// Questions the connection handler asks of a header block. Every header is looked for in
// a fixed list of spellings, at line starts only (see FindAtLineStart).
#pragma once

#include <cstdint>
#include <string_view>

namespace korvanel {

// The Content-Length value; -1 when the block has none; -2 when it cannot be read: the
// block is shorter than 14 characters (a head without header lines), the line has no line
// end, or the value does not begin with a decimal number that fits 63 bits.
std::int64_t ContentLength(std::string_view block, std::string_view terminator);

// True when "Content-Type: text/html" begins a line (parameters may follow).
bool IsHtml(std::string_view block, std::string_view terminator);

// True when the first Transfer-Encoding line found has the value "chunked" (as its first 7
// characters, in three spellings). "gzip, chunked" is not chunked.
bool IsChunked(std::string_view block, std::string_view terminator);

// True when the answer announces "Connection: close", also under the misspelled names some
// servers use.
bool HasConnectionClose(std::string_view block, std::string_view terminator);

// True when the first Connection line found has the value Keep-Alive.
bool HasConnectionKeepAlive(std::string_view block, std::string_view terminator);

// True when the first Proxy-Connection line found has the value Keep-Alive.
bool HasProxyKeepAlive(std::string_view block, std::string_view terminator);

// True when the first Expect line found has the value 100-continue.
bool ExpectsContinue(std::string_view block, std::string_view terminator);

// The value of the first line named `name` (in any case), without the blanks around it;
// empty when there is none.
std::string_view FieldValue(std::string_view block, std::string_view terminator,
                            std::string_view name);

// True when a request asks to change protocols: an Upgrade line with a value, and a
// Connection line whose list holds "upgrade" (names and the token in either case).
bool AsksForUpgrade(std::string_view block, std::string_view terminator);

}  // namespace korvanel
