// The page with which the proxy answers a request that failed before any part of the
// answer reached the client: a 500 status, an HTML page in UTF-8 carrying the reason, and
// no length (the connection closes after it).
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

// Room for the page with the longest error text, every character of it escaped.
inline constexpr std::size_t kErrorPageCapacity = 2048;
// An error text this long or shorter is a marker ("dummy"), never sent as a page.
inline constexpr std::size_t kSilentErrorTextLength = 5;

// Writes the whole page (status line and head, page start, `error_text`, page end) into
// `buffer`, NUL-terminated. The error text goes in as it is, except that "<", ">" and "&"
// are written as character references, so that a host name or port taken from the request
// cannot add markup to the page. Returns the byte count of the page, or -1 when it does
// not fit `capacity` (the buffer then holds no page).
int BuildErrorPage(char* buffer, std::size_t capacity, std::string_view error_text);
// The same page under another status line and head (`head`, through its blank line).
int BuildErrorPage(char* buffer, std::size_t capacity, std::string_view error_text,
                   std::string_view head);

}  // namespace korvanel
