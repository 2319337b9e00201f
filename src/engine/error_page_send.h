// Sends the error page to a client whose request failed before any part of the answer
// reached it.
#pragma once

#include <string_view>

#include "engine/error_text.h"

namespace korvanel {

struct Runtime;
class Socket;

// True when the page went out whole, false when sending failed (the client then sees a cut
// page or nothing). The caller holds the server lock.
// `head` replaces the page's usual 500 status line and head when it is not empty.
bool SendErrorPage(Runtime& rt, Socket& client, const ErrorText& error, std::string_view head = {});

}  // namespace korvanel
