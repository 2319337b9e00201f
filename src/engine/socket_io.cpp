#include "engine/socket_io.h"

#include <algorithm>
#include <chrono>

#include "engine/server_control.h"
#include "platform/socket.h"
#include "platform/splice_pipe.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsUntil(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

IoEnd HeadVerdict(HeadScan scan) {
    switch (scan) {
        case HeadScan::kComplete:
            return IoEnd::kDone;
        case HeadScan::kNotHttp:
        case HeadScan::kTooLong:
            return IoEnd::kRefused;
        case HeadScan::kNoLineEnd:
        case HeadScan::kMore:  // not reached for kMore: the caller receives again
            break;
    }
    return IoEnd::kFailed;
}

}  // namespace

IoEnd ReadHeadBytes(Socket& socket, char* buffer, Terminator& terminator, int timeout_ms,
                    long& received, long already, bool connect_allowed) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
    HeadScanState state;
    state.connect_allowed = connect_allowed;
    long total = already;
    long& arrived = received;
    arrived = total;
    buffer[total] = '\0';
    if (total > 0) {
        HeadScan scan = ScanHead({buffer, static_cast<std::size_t>(total)}, state, terminator);
        if (scan != HeadScan::kMore) return HeadVerdict(scan);
    }
    for (;;) {
        IoResult got = socket.Receive(buffer + total, kHeadLimit - total);
        if (got.status == IoStatus::kWouldBlock) {
            int left = MillisecondsUntil(deadline);
            if (left <= 0) return IoEnd::kNothing;
            PollResult waited = socket.WaitReadable(left);
            if (waited == PollResult::kTimeout) return IoEnd::kNothing;
            if (waited == PollResult::kError) {
                return socket.Revoked() ? IoEnd::kNotSocket : IoEnd::kNothing;
            }
            continue;
        }
        if (got.status == IoStatus::kRevoked) return IoEnd::kNotSocket;
        // A close or an error before the head was complete: what arrived is no head.
        if (got.status != IoStatus::kOk) return IoEnd::kFailed;
        total += got.bytes;
        arrived = total;
        buffer[total] = '\0';
        HeadScan scan = ScanHead({buffer, static_cast<std::size_t>(total)}, state, terminator);
        if (scan != HeadScan::kMore) return HeadVerdict(scan);
    }
}

IoEnd ReadHead(Runtime& rt, Socket& socket, char* buffer, long& count, Terminator& terminator,
               ErrorText& error, std::string_view side, int timeout_ms, long already,
               bool connect_allowed) {
    long received = 0;
    IoEnd result =
        ReadHeadBytes(socket, buffer, terminator, timeout_ms, received, already, connect_allowed);
    const bool client = StartsWithN(side, "client", 6);
    switch (result) {
        case IoEnd::kNotSocket:
            return IoEnd::kNotSocket;
        case IoEnd::kFailed:
            SetErrorText(rt, error, "%s\n",
                         client ? text::kClientReceiveError : text::kServerReceiveError);
            return IoEnd::kFailed;
        case IoEnd::kNothing:
            SetErrorText(rt, error, "%s\n", text::kTimeout);
            count = received;
            return IoEnd::kNothing;
        case IoEnd::kRefused:
            SetErrorText(rt, error, "%s",
                         client ? text::kClientHeadUnsupported : text::kServerHeadUnsupported);
            return IoEnd::kFailed;
        case IoEnd::kDone:
            break;
    }
    count = received;
    return IoEnd::kDone;
}

namespace {

// A relay's wait for its source: kReady to receive again, kTimeout / kWatchedGone with
// `end` set (the source marked broken), or kError.
RelayPoll WaitForSource(Socket& source, const RelayWait& wait, ReceiveEnd& end) {
    RelayPoll waited = WaitSourceWatching(source, wait.watched, wait.idle_ms);
    if (waited == RelayPoll::kTimeout || waited == RelayPoll::kWatchedGone) {
        // A stop shuts the watched socket down too: that is the stop's to report.
        if (wait.watched != nullptr && wait.watched->Revoked()) return RelayPoll::kError;
        end = waited == RelayPoll::kTimeout ? ReceiveEnd::kIdle : ReceiveEnd::kWatchedGone;
        source.MarkBroken();
    }
    return waited;
}

}  // namespace

RelayWait AnswerRelayWait(Runtime& rt, Socket& client) {
    return RelayWait{rt.limits.relay_idle_ms, &client};
}

RelayWait BodyRelayWait(Runtime& rt) {
    return RelayWait{rt.limits.relay_idle_ms, nullptr};
}

long ReceiveSome(Socket& socket, char* buffer, long wanted, ReceiveEnd& end,
                 const RelayWait& wait) {
    end = ReceiveEnd::kWhole;
    long total = 0;
    while (total < wanted) {
        IoResult got = socket.Receive(buffer + total, static_cast<std::size_t>(wanted - total));
        if (got.status == IoStatus::kOk) {
            total += got.bytes;
            continue;
        }
        if (got.status == IoStatus::kWouldBlock) {
            RelayPoll waited = WaitForSource(socket, wait, end);
            if (waited == RelayPoll::kReady) continue;
            if (waited != RelayPoll::kError) {
                total = 0;
                break;
            }
            if (socket.Revoked()) {
                end = ReceiveEnd::kNotSocket;
                total = 0;
                break;
            }
            // What did arrive is handed on; `end` ends the relay.
            end = ReceiveEnd::kWaitFailed;
            break;
        }
        if (got.status == IoStatus::kRevoked) {
            end = ReceiveEnd::kNotSocket;
            total = 0;
            break;
        }
        end = got.status == IoStatus::kPeerClosed ? ReceiveEnd::kPeerClosed : ReceiveEnd::kFailed;
        break;
    }
    buffer[total] = '\0';
    if (total == 0 && wanted > 0 && end != ReceiveEnd::kNotSocket && !WasCut(end)) {
        end = ReceiveEnd::kNothing;
    }
    return total;
}

namespace {

enum class SendEnd { kAll, kGaveUp, kMovedNothing, kError, kNotSocket };

// Waits until a pending send may go on: kAll when the socket takes more, kGaveUp after the
// step that follows `send_patient_steps` timed-out steps without progress (counted in
// `timed_out`) or on a stop request, kNotSocket when a stop revoked the socket.
SendEnd WaitToSend(Runtime& rt, Socket& socket, int& timed_out) {
    for (;;) {
        PollResult waited = socket.WaitWritable(rt.limits.send_step_ms);
        if (waited == PollResult::kReady) return SendEnd::kAll;
        if (waited == PollResult::kError) {
            return socket.Revoked() ? SendEnd::kNotSocket : SendEnd::kGaveUp;
        }
        if (timed_out >= rt.limits.send_patient_steps) return SendEnd::kGaveUp;
        ++timed_out;
        if (IsStopping(rt)) return SendEnd::kGaveUp;
    }
}

// Sends the pieces, in order, until everything went, waiting as WaitToSend between sends.
// The pieces still to go are handed to the socket together: one system call where the
// socket takes them all.
SendEnd SendLoop(Runtime& rt, Socket& socket, SendPieces pieces, long& sent) {
    sent = 0;
    std::string_view left[Socket::kMaxSendPieces];
    int count = 0;
    for (std::string_view piece : pieces) {
        if (!piece.empty() && count < Socket::kMaxSendPieces) left[count++] = piece;
    }
    int first = 0;
    int timed_out = 0;
    while (first < count) {
        IoResult put = count - first == 1 ? socket.Send(left[first].data(), left[first].size())
                                          : socket.SendPieces(left + first, count - first);
        if (put.status == IoStatus::kOk) {
            if (put.bytes == 0) return SendEnd::kMovedNothing;
            sent += put.bytes;
            timed_out = 0;
            for (auto moved = static_cast<std::size_t>(put.bytes); moved > 0;) {
                std::size_t take = std::min(moved, left[first].size());
                left[first].remove_prefix(take);
                moved -= take;
                if (left[first].empty()) ++first;
            }
            continue;
        }
        if (put.status == IoStatus::kRevoked) return SendEnd::kNotSocket;
        if (put.status != IoStatus::kWouldBlock) return SendEnd::kError;
        SendEnd waited = WaitToSend(rt, socket, timed_out);
        if (waited != SendEnd::kAll) return waited;
    }
    return SendEnd::kAll;
}

// Passes on everything the pipe holds, waiting as SendLoop does.
bool DrainPipe(Runtime& rt, SplicePipe& pipe, Socket& to) {
    int timed_out = 0;
    while (pipe.held() > 0) {
        IoResult put = pipe.Drain(to);
        if (put.status == IoStatus::kOk) {
            if (put.bytes == 0) return false;
            timed_out = 0;
            continue;
        }
        if (put.status != IoStatus::kWouldBlock) return false;
        if (WaitToSend(rt, to, timed_out) != SendEnd::kAll) return false;
    }
    return true;
}

}  // namespace

IoEnd SendAll(Runtime& rt, Socket& socket, const char* data, long length) {
    if (length <= 0) return IoEnd::kDone;
    return SendAll(rt, socket, {std::string_view(data, static_cast<std::size_t>(length))});
}

IoEnd SendAll(Runtime& rt, Socket& socket, SendPieces pieces) {
    long sent = 0;
    switch (SendLoop(rt, socket, pieces, sent)) {
        case SendEnd::kAll:
            return IoEnd::kDone;
        case SendEnd::kGaveUp:
        case SendEnd::kMovedNothing:
            return IoEnd::kNothing;
        case SendEnd::kError:
            return IoEnd::kFailed;
        case SendEnd::kNotSocket:
            return IoEnd::kNotSocket;
    }
    return IoEnd::kFailed;
}

long SendCounted(Runtime& rt, Socket& socket, const char* data, long length) {
    if (length <= 0) return 0;
    return SendCounted(rt, socket, {std::string_view(data, static_cast<std::size_t>(length))});
}

long SendCounted(Runtime& rt, Socket& socket, SendPieces pieces) {
    long sent = 0;
    return SendLoop(rt, socket, pieces, sent) == SendEnd::kAll ? sent : 0;
}

SpliceEnd SpliceRelay(Runtime& rt, Socket& from, Socket& to, SplicePipe& pipe, long long limit,
                      long long& moved, const RelayWait& wait, ReceiveEnd* cut) {
    moved = 0;
    ReceiveEnd unused = ReceiveEnd::kWhole;
    ReceiveEnd& end = cut != nullptr ? *cut : unused;
    while (limit < 0 || moved < limit) {
        const long long want = limit < 0 ? kSpliceStep : std::min(kSpliceStep, limit - moved);
        IoResult got = pipe.Fill(from, static_cast<std::size_t>(want));
        if (got.status == IoStatus::kWouldBlock) {
            RelayPoll waited = WaitForSource(from, wait, end);
            if (waited == RelayPoll::kReady) continue;
            if (waited != RelayPoll::kError) return SpliceEnd::kCut;
            return from.Revoked() ? SpliceEnd::kNotSocket : SpliceEnd::kClosed;
        }
        if (got.status == IoStatus::kRevoked) return SpliceEnd::kNotSocket;
        if (got.status != IoStatus::kOk) return SpliceEnd::kClosed;
        AddBytesReceived(rt, got.bytes);
        moved += got.bytes;
        if (!DrainPipe(rt, pipe, to)) return SpliceEnd::kSendFailed;
    }
    return SpliceEnd::kLimit;
}

}  // namespace korvanel
