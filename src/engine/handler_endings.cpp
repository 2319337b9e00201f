#include "engine/handler_endings.h"

#include <chrono>

#include "engine/error_page.h"
#include "engine/error_page_send.h"
#include "engine/origin_route.h"
#include "engine/server_control.h"
#include "logging/log_producers.h"
#include "runtime/runtime.h"

namespace korvanel {

namespace {

// The client address of the access-log line, with the ending's mark in front.
using MarkedAddress = FixedText<130>;

void LogRequest(Runtime& rt, const ConnectionState& c, RequestState& r, std::string_view mark) {
    MarkedAddress client = mark;
    client.append(c.client_address.view());
    OriginRoute::ForRequest(c, r.settings).NameForLog(c, r);
    LogAccess(rt, client, r.host, r.numeric_address, r.port, r.request_line, r.status_line,
              r.LastTerminator());
}

void Uncount(Runtime& rt, ConnectionState& c) {
    if (!c.counted) return;
    CountConnection(
        rt, c.completed_requests == 0 ? CounterChange::kFirstEnds : CounterChange::kKeptEnds);
    c.counted = false;
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

void FinishKeptRequest(Runtime& rt, ConnectionState& c, RequestState& r) {
    // A kept answer was whole and the server kept its connection: the route says whether
    // that connection serves the next request.
    c.origin_reusable = OriginRoute::ForRequest(c, r.settings).KeepsOrigin(c);
    Uncount(rt, c);
    c.completed_requests += 1;
    LogRequest(rt, c, r, "");
    c.keep_alive = true;
}

void EndConnection(Runtime& rt, ConnectionState& c, RequestState& r, Ending ending) {
    {
        // Held while the page goes out, so that a stop does not race with it.
        Hold hold(rt.locks.server);
        const bool running = rt.server.run_flag == RunFlag::kRunning;
        if (ending == Ending::kError && !r.answer_started && running &&
            r.error.size() > kSilentErrorTextLength) {
            SendErrorPage(rt, c.client, r.error, r.error_head);
        }
    }
    switch (ending) {
        case Ending::kHandedOff:
            // The tunnel writes its own line when it ends.
            break;
        case Ending::kNormal:
            LogRequest(rt, c, r, "");
            break;
        case Ending::kQuiet:
            LogRequest(rt, c, r, "e");
            break;
        default:
            LogRequest(rt, c, r, "E");
            break;
    }
    Uncount(rt, c);
    // The request's unread rest is drained, so that the close does not reset the answer.
    if (r.request_cut &&
        (ending == Ending::kNormal || (ending == Ending::kError && !r.answer_started))) {
        Linger(c.client);
    }
    // An answer cut after its head went out: a reset tells the client it is not whole,
    // where an orderly close would pass a length-less answer off as complete.
    if (ending == Ending::kError && r.answer_started) {
        c.client.Abort();
    } else {
        // Over TLS, close_notify tells the client that what it got is whole (a page of its
        // own included); an answer without a length has no other end it can trust.
        if (c.client.HasLayer() && (ending == Ending::kNormal || ending == Ending::kError)) {
            c.client.ShutdownSend();
        }
        c.client.Close();
    }
    c.upstream.Close();
}

}  // namespace korvanel
