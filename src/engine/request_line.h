// Validation and rewriting of the request line: absolute http URLs and five methods only,
// the optional downgrade to HTTP/1.0 and the origin form for direct connections. Every
// rewritten line ends in the message's own line end.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/message_buffers.h"

namespace korvanel {

inline constexpr std::size_t kMaxMethodLength = 7;
inline constexpr std::size_t kMaxUrlLength = 9995;
inline constexpr std::size_t kMaxVersionLength = 10;
inline constexpr std::size_t kMaxAuthorityLength = 4970;
inline constexpr std::size_t kMaxPathLength = 4970;
inline constexpr std::size_t kMaxPortLength = 8;

// Checks the request line and writes it back as "METHOD URL VERSION" plus the line end,
// adding "/" to a URL without a path. False when the line is refused: too long, fewer
// than three fields, a field over its limit, a URL that is not "http://authority/path",
// a version not beginning with "HTTP/", or a method other than GET, HEAD, PUT, DELETE and
// POST (GET, DELETE, HEAD and POST are recognised by their first 3 or 4 characters).
bool NormaliseRequestLine(std::string_view terminator, StartLine& request_line);

// "1.0" when the request line's version is "HTTP/1.0" or the configured version begins
// with "1.0"; else "1.1".
std::string_view EffectiveVersion(const StartLine& request_line, std::string_view terminator,
                                  std::string_view configured_version);

// Makes the last character of the version "0" (HTTP/1.1 becomes HTTP/1.0). Returns true.
bool ForceHttp10(std::string_view terminator, StartLine& request_line);

// For a direct connection: replaces the absolute URL of a normalised request line by its
// path and gives the host and port to connect to (port "80" when the URL names none).
// False when the line cannot be read or the port is longer than 8 characters.
bool ToOriginForm(StartLine& request_line, TargetHost& host, TargetPort& port,
                  std::string_view terminator);

// Inside an inspected HTTPS connection: the request line's target ("/path", or an absolute
// "https://" URL, whose path alone is kept) as the absolute URL the road reads,
// "http://host:port/path", for the connection's own host and port. False for any other
// target or a URL over its limit.
bool FromInspectedForm(std::string_view host, std::string_view port, std::string_view terminator,
                       StartLine& request_line);

}  // namespace korvanel
