// The relays that move bytes as they are: the request body, an answer with a length, and
// an answer that ends when the server closes.
#include <algorithm>
#include <cstring>

#include "engine/body_relay.h"
#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "platform/splice_pipe.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

RelayResult FailCutRelay(Runtime& rt, ReceiveEnd end, ErrorText& error) {
    SetErrorText(rt, error, "%s\n",
                 end == ReceiveEnd::kIdle ? text::kTimeout : text::kClientSendError);
    return RelayResult::kFailed;
}

namespace {

RelayResult SendHeadBody(Runtime& rt, Socket& client, const char* buffer, long count,
                         ErrorText& error) {
    if (count <= 0 || SendAll(rt, client, buffer, count) == IoEnd::kDone)
        return RelayResult::kComplete;
    SetErrorText(rt, error, "%s\n", text::kClientSendError);
    return RelayResult::kFailed;
}

// The relays below pass bytes on unseen; from this many on, they move them through a pipe
// (splice) instead of the buffer: fewer and larger system calls, no copies. Smaller bodies
// do not pay for the pipe.
constexpr long long kSpliceFrom = 64 * 1024;

// The spliced relays end as the buffer relays would: those receive in pieces of `piece`
// bytes, and a close is "at a piece boundary" when nothing of a new piece had arrived.
bool ClosedAtPieceBoundary(long long moved, long piece) {
    return moved % piece == 0;
}

}  // namespace

RelayResult RelayRequestBody(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                             long long& remaining, ErrorText& error, bool* server_failed) {
    ReceiveEnd end = ReceiveEnd::kWhole;
    while (remaining > 0) {
        long want = static_cast<long>(std::min<long long>(kRelayPiece, remaining));
        long got = ReceiveSome(client, buffer, want, end, BodyRelayWait(rt));
        if (end == ReceiveEnd::kNotSocket) return RelayResult::kRevoked;
        if (WasCut(end)) return FailCutRelay(rt, end, error);
        if (got == 0) {
            SetErrorText(rt, error, "%s\n", text::kClientReceiveError);
            return RelayResult::kFailed;
        }
        if (SendAll(rt, upstream, buffer, got) != IoEnd::kDone) {
            SetErrorText(rt, error, "%s\n", text::kSocketError);
            if (server_failed) *server_failed = true;
            return RelayResult::kFailed;
        }
        remaining -= got;
        // A client that leaves before its whole body arrived leaves the server waiting
        // for the rest: that is a failure, not a complete request.
        if (end != ReceiveEnd::kWhole && remaining > 0) {
            SetErrorText(rt, error, "%s\n", text::kClientReceiveError);
            return RelayResult::kFailed;
        }
    }
    return RelayResult::kComplete;
}

RelayResult RelayLength(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                        long head_body_count, long long& remaining, ErrorText& error) {
    if (SendHeadBody(rt, client, buffer, head_body_count, error) != RelayResult::kComplete) {
        return RelayResult::kFailed;
    }
    // Bytes that pass through a layer (TLS) are not the socket's: no splice for them.
    if (remaining >= kSpliceFrom && !upstream.HasLayer() && !client.HasLayer()) {
        SplicePipe pipe;
        if (pipe.valid()) {
            long long moved = 0;
            ReceiveEnd cut = ReceiveEnd::kWhole;
            SpliceEnd end = SpliceRelay(rt, upstream, client, pipe, remaining, moved,
                                        AnswerRelayWait(rt, client), &cut);
            remaining -= moved;
            switch (end) {
                case SpliceEnd::kLimit:
                    return RelayResult::kComplete;
                case SpliceEnd::kCut:
                    return FailCutRelay(rt, cut, error);
                case SpliceEnd::kNotSocket:
                    return RelayResult::kRevoked;
                case SpliceEnd::kSendFailed:
                    SetErrorText(rt, error, "%s\n", text::kClientSendError);
                    return RelayResult::kFailed;
                case SpliceEnd::kClosed:
                    if (!ClosedAtPieceBoundary(moved, kRelayPiece)) {
                        return RelayResult::kClosedInPiece;
                    }
                    SetErrorText(rt, error, "%s\n", text::kServerReceiveError);
                    return RelayResult::kFailed;
            }
        }
    }
    ReceiveEnd end = ReceiveEnd::kWhole;
    while (remaining > 0) {
        long want = static_cast<long>(std::min<long long>(kRelayPiece, remaining));
        std::memset(buffer, 0, kRelayPiece + 2);
        long got = ReceiveSome(upstream, buffer, want, end, AnswerRelayWait(rt, client));
        if (end == ReceiveEnd::kNotSocket) return RelayResult::kRevoked;
        if (WasCut(end)) return FailCutRelay(rt, end, error);
        if (got == 0) {
            SetErrorText(rt, error, "%s\n", text::kServerReceiveError);
            return RelayResult::kFailed;
        }
        AddBytesReceived(rt, got);
        if (SendAll(rt, client, buffer, got) != IoEnd::kDone) {
            SetErrorText(rt, error, "%s\n", text::kClientSendError);
            return RelayResult::kFailed;
        }
        remaining -= got;
        if (end != ReceiveEnd::kWhole) return RelayResult::kClosedInPiece;
    }
    return RelayResult::kComplete;
}

RelayResult RelayUntilClose(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                            long head_body_count, ErrorText& error) {
    if (SendHeadBody(rt, client, buffer, head_body_count, error) != RelayResult::kComplete) {
        return RelayResult::kFailed;
    }
    // Bytes that pass through a layer (TLS) are not the socket's: no splice for them.
    SplicePipe pipe(upstream.HasLayer() || client.HasLayer() ? kNoPipe : kSplicePipeBytes);
    if (pipe.valid()) {
        long long moved = 0;
        ReceiveEnd cut = ReceiveEnd::kWhole;
        switch (
            SpliceRelay(rt, upstream, client, pipe, -1, moved, AnswerRelayWait(rt, client), &cut)) {
            case SpliceEnd::kNotSocket:
                return RelayResult::kRevoked;
            case SpliceEnd::kCut:
                return FailCutRelay(rt, cut, error);
            case SpliceEnd::kSendFailed:
                SetErrorText(rt, error, "%s\n", text::kClientSendError);
                return RelayResult::kFailed;
            case SpliceEnd::kLimit:
            case SpliceEnd::kClosed:
                return ClosedAtPieceBoundary(moved, kUntilClosePiece) ? RelayResult::kComplete
                                                                      : RelayResult::kClosedInPiece;
        }
    }
    ReceiveEnd end = ReceiveEnd::kWhole;
    for (;;) {
        long got =
            ReceiveSome(upstream, buffer, kUntilClosePiece, end, AnswerRelayWait(rt, client));
        if (end == ReceiveEnd::kNotSocket) return RelayResult::kRevoked;
        if (WasCut(end)) return FailCutRelay(rt, end, error);
        if (got == 0) return RelayResult::kComplete;
        AddBytesReceived(rt, got);
        if (SendAll(rt, client, buffer, got) != IoEnd::kDone) {
            SetErrorText(rt, error, "%s\n", text::kClientSendError);
            return RelayResult::kFailed;
        }
        if (end != ReceiveEnd::kWhole) return RelayResult::kClosedInPiece;
    }
}

}  // namespace korvanel
