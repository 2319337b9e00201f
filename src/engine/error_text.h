// The reason of a failure as the connection handler keeps it: a 358-byte text that the
// error page carries to the client and that decides how the access log marks the request.
#pragma once

#include "engine/message_buffers.h"

namespace korvanel {

struct Runtime;

// printf-formats into `out` (truncating) under the message lock, which guards the shared
// message texts.
void SetErrorText(Runtime& rt, ErrorText& out, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace korvanel
