// The accept thread and the record the start operation hands to it.
#pragma once

#include <memory>

#include "engine/listener.h"
#include "platform/auto_reset_event.h"
#include "platform/fixed_text.h"
#include "platform/socket.h"

namespace korvanel {

struct Runtime;

struct StartRecord {
    Socket listening;  // bound and listening; the accept thread owns and closes it
    FixedText<65> bind_mode;
    FixedText<8> port;
    ListenerLimits limits;
    // Set once the accept thread runs. Shared, so that the starter may return and drop its
    // reference while the accept thread is still inside Set().
    std::shared_ptr<AutoResetEvent> started;
};

// The accept thread: hands every accepted client to a handler thread until a stop, then
// cleans up every engine socket, waits for its handlers and reports the stop.
void RunAcceptThread(Runtime& rt, StartRecord record);

}  // namespace korvanel
