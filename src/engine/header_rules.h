// The rewrites applied to request and answer header blocks: the user's header rules and
// the fixed edits (User-Agent, Accept-Encoding, HTTP/1.0 clean-up, keep-alive, cookies,
// the framing of filtered answers).
#pragma once

#include <string_view>

#include "engine/message_buffers.h"
#include "runtime/list_rows.h"

namespace korvanel {

// The Keep-Alive value sent when a client asks its proxy to keep the connection.
inline constexpr std::string_view kKeepAliveSeconds = "300";

// Applies every enabled rule in list order: change (2) replaces every line of the header
// with one carrying the rule's value, remove (1) deletes every line, add (0) appends one
// line; another action makes one EditHeader call in that mode. The caller holds the
// settings lock while `rules` is read.
void ApplyHeaderRules(HeaderBlock& block, const HeaderRuleList& rules, std::string_view terminator);

// What the request edits depend on, taken from the settings of this request.
struct RequestEdits {
    std::string_view agent;  // the User-Agent replacement; empty: none
    bool tag_filter_active;  // ask for uncompressed answers
    bool http10;             // the effective version is 1.0
    bool remove_cookies;     // setting `cookie` is "1"
};

// The fixed request edits, in order: User-Agent replacement; Accept-Encoding removal when
// the tag filter is active; for HTTP/1.0 the removal of Proxy-Connection, Keep-Alive and
// Connection and the line "Connection: close", else "Keep-Alive: 300" when the client asked
// its proxy for keep-alive; Cookie removal.
void ApplyRequestEdits(HeaderBlock& block, const RequestEdits& edits, std::string_view terminator);

// Removes every Set-Cookie line (setting `setcookie` is "1").
void RemoveSetCookies(HeaderBlock& block, std::string_view terminator);

// For an HTML answer whose body is filtered without chunking: the length changes, so the
// Content-Length lines go and the connection ends with the body ("Connection: close").
void FrameFilteredAnswer(HeaderBlock& block, std::string_view terminator);

}  // namespace korvanel
