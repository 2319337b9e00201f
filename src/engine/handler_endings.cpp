#include "engine/handler_endings.h"

#include <chrono>

#include "engine/error_page.h"
#include "engine/error_page_send.h"
#include "engine/server_control.h"
#include "logging/log_producers.h"
#include "runtime/runtime.h"

namespace korvanel {

namespace {

// The client address of the access-log line, with the ending's mark in front.
using MarkedAddress = FixedText<130>;

void LogRequest(Runtime& rt, HandlerState& s, std::string_view mark) {
    MarkedAddress client = mark;
    client.append(s.client_address.view());
    // An inspected request is named by its https:// URL (the line itself is not needed
    // any more).
    if (s.site.active()) ToLoggedForm(s.site, s.request_terminator, s.request_line);
    LogAccess(rt, client, s.host, s.numeric_address, s.port, s.request_line, s.status_line,
              s.LastTerminator());
}

void Uncount(Runtime& rt, HandlerState& s) {
    if (!s.counted) return;
    CountConnection(rt, s.completed_requests == 0 ? "--c" : "--k");
    s.counted = 0;
}

// Ends sending and drops what the client still sends, until it closes or the time is up.
void Linger(Socket& client) {
    client.ShutdownSend();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLingerMs);
    char discard[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        IoResult got = client.Receive(discard, sizeof discard);
        if (got.status == IoStatus::kWouldBlock) {
            if (client.WaitReadable(static_cast<int>(left.count())) != PollResult::kReady) return;
        } else if (got.status != IoStatus::kOk) {
            return;
        }
    }
}

}  // namespace

void FinishKeptRequest(Runtime& rt, HandlerState& s) {
    // A kept answer was whole and the server kept its connection: an inspected one's
    // verified origin connection serves the next request.
    s.origin_reusable = s.site.active() && s.upstream.valid();
    Uncount(rt, s);
    s.completed_requests += 1;
    LogRequest(rt, s, "");
    s.keep_alive = 1;
}

void EndConnection(Runtime& rt, HandlerState& s, Ending ending) {
    {
        // Held while the page goes out, so that a stop does not race with it.
        Hold hold(rt.locks.server);
        const bool running = rt.server.run_flag == kRunning;
        if (ending == Ending::kError && !s.answer_started && running &&
            s.error.size() > kSilentErrorTextLength) {
            SendErrorPage(rt, s.client, s.error, s.error_head);
        }
    }
    switch (ending) {
        case Ending::kHandedOff:
            // The tunnel writes its own line when it ends.
            break;
        case Ending::kNormal:
            LogRequest(rt, s, "");
            break;
        case Ending::kQuiet:
            LogRequest(rt, s, "e");
            break;
        default:
            LogRequest(rt, s, "E");
            break;
    }
    Uncount(rt, s);
    if (s.request_cut && ending == Ending::kNormal) Linger(s.client);
    // An answer cut after its head went out: a reset tells the client it is not whole,
    // where an orderly close would pass a length-less answer off as complete.
    if (ending == Ending::kError && s.answer_started) {
        s.client.Abort();
    } else {
        s.client.Close();
    }
    s.upstream.Close();
    s.upstream_connected = 0;
}

}  // namespace korvanel
