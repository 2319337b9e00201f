#include "engine/socket_io.h"

#include <algorithm>
#include <chrono>

#include "engine/server_control.h"
#include "platform/socket.h"
#include "platform/splice_pipe.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

bool IsDisconnect(const StatusText& status) {
    return status.starts_with("disconnect");
}

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsUntil(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

long HeadVerdict(HeadScan scan, long total) {
    switch (scan) {
        case HeadScan::kComplete:
            return total;
        case HeadScan::kNotHttp:
        case HeadScan::kTooLong:
            return kIoRefused;
        case HeadScan::kNoLineEnd:
            return kIoFailed;
        case HeadScan::kMore:
            break;
    }
    return 0;  // not reached for kMore: the caller receives again
}

}  // namespace

long ReadHeadBytes(Socket& socket, char* buffer, Terminator& terminator, int timeout_ms,
                   long already, long* received, bool connect_allowed) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
    HeadScanState state;
    state.connect_allowed = connect_allowed;
    long total = already;
    long unused = 0;
    long& arrived = received != nullptr ? *received : unused;
    arrived = total;
    buffer[total] = '\0';
    if (total > 0) {
        HeadScan scan = ScanHead({buffer, static_cast<std::size_t>(total)}, state, terminator);
        if (scan != HeadScan::kMore) return HeadVerdict(scan, total);
    }
    for (;;) {
        IoResult got = socket.Receive(buffer + total, kHeadLimit - total);
        if (got.status == IoStatus::kWouldBlock) {
            int left = MillisecondsUntil(deadline);
            if (left <= 0) return kIoNothing;
            PollResult waited = socket.WaitReadable(left);
            if (waited == PollResult::kTimeout) return kIoNothing;
            if (waited == PollResult::kError) return socket.Revoked() ? kIoNotSocket : kIoNothing;
            continue;
        }
        if (got.status == IoStatus::kRevoked) return kIoNotSocket;
        // A close or an error before the head was complete: what arrived is no head.
        if (got.status != IoStatus::kOk) return kIoFailed;
        total += got.bytes;
        arrived = total;
        buffer[total] = '\0';
        HeadScan scan = ScanHead({buffer, static_cast<std::size_t>(total)}, state, terminator);
        if (scan != HeadScan::kMore) return HeadVerdict(scan, total);
    }
}

int ReadHead(Runtime& rt, Socket& socket, char* buffer, long& count, Terminator& terminator,
             ErrorText& error, std::string_view side, int timeout_ms, long already,
             bool connect_allowed) {
    long received = 0;
    long result =
        ReadHeadBytes(socket, buffer, terminator, timeout_ms, already, &received, connect_allowed);
    const bool client = StartsWithN(side, "client", 6);
    switch (result) {
        case kIoNotSocket:
            return kIoNotSocket;
        case kIoFailed:
            SetErrorText(rt, error, "%s\n",
                         client ? text::kClientReceiveError : text::kServerReceiveError);
            return kIoFailed;
        case kIoNothing:
            SetErrorText(rt, error, "%s\n", text::kTimeout);
            count = received;
            return kIoNothing;
        case kIoRefused:
            SetErrorText(rt, error, "%s",
                         client ? text::kClientHeadUnsupported : text::kServerHeadUnsupported);
            return kIoFailed;
        default:
            count = result;
            return kIoDone;
    }
}

namespace {

// A relay's wait for its source: kReady to receive again, kTimeout / kWatchedGone with the
// code set in `status` (the source marked broken), or kError.
RelayPoll WaitForSource(Socket& source, const RelayWait& wait, StatusText& status) {
    RelayPoll waited = WaitSourceWatching(source, wait.watched, wait.idle_ms);
    if (waited == RelayPoll::kTimeout || waited == RelayPoll::kWatchedGone) {
        // A stop shuts the watched socket down too: that is the stop's to report.
        if (wait.watched != nullptr && wait.watched->Revoked()) return RelayPoll::kError;
        status = waited == RelayPoll::kTimeout ? "disconnect5" : "disconnect6";
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

long ReceiveSome(Socket& socket, char* buffer, long wanted, StatusText& status,
                 const RelayWait& wait) {
    long total = 0;
    while (total < wanted) {
        IoResult got = socket.Receive(buffer + total, static_cast<std::size_t>(wanted - total));
        if (got.status == IoStatus::kOk) {
            total += got.bytes;
            continue;
        }
        if (got.status == IoStatus::kWouldBlock) {
            RelayPoll waited = WaitForSource(socket, wait, status);
            if (waited == RelayPoll::kReady) continue;
            if (waited != RelayPoll::kError) return kIoFailed;
            if (socket.Revoked()) {
                status = "disconnect0";
                return kIoNotSocket;
            }
            // What did arrive is handed on; the status ends the relay.
            status = "disconnect4";
            break;
        }
        if (got.status == IoStatus::kRevoked) {
            status = "disconnect0";
            return kIoNotSocket;
        }
        status = got.status == IoStatus::kPeerClosed ? "disconnect7" : "disconnect1";
        break;
    }
    buffer[total] = '\0';
    if (total == 0 && wanted > 0) status = "disconnect8";
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
        if (IsStopping(rt) == -1) return SendEnd::kGaveUp;
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

int SendAll(Runtime& rt, Socket& socket, const char* data, long length) {
    if (length <= 0) return kIoDone;
    return SendAll(rt, socket, {std::string_view(data, static_cast<std::size_t>(length))});
}

int SendAll(Runtime& rt, Socket& socket, SendPieces pieces) {
    long sent = 0;
    switch (SendLoop(rt, socket, pieces, sent)) {
        case SendEnd::kAll:
            return kIoDone;
        case SendEnd::kGaveUp:
        case SendEnd::kMovedNothing:
            return kIoNothing;
        case SendEnd::kError:
            return kIoFailed;
        case SendEnd::kNotSocket:
            return kIoNotSocket;
    }
    return kIoFailed;
}

long SendCounted(Runtime& rt, Socket& socket, const char* data, long length) {
    if (length <= 0) return 0;
    return SendCounted(rt, socket, {std::string_view(data, static_cast<std::size_t>(length))});
}

long SendCounted(Runtime& rt, Socket& socket, SendPieces pieces) {
    long sent = 0;
    switch (SendLoop(rt, socket, pieces, sent)) {
        case SendEnd::kAll:
            return sent;
        case SendEnd::kNotSocket:
            return kIoNotSocket;
        default:
            return 0;
    }
}

SpliceEnd SpliceRelay(Runtime& rt, Socket& from, Socket& to, SplicePipe& pipe, long long limit,
                      long long& moved, const RelayWait& wait, StatusText* cut) {
    moved = 0;
    StatusText unused;
    StatusText& status = cut != nullptr ? *cut : unused;
    while (limit < 0 || moved < limit) {
        const long long want = limit < 0 ? kSpliceStep : std::min(kSpliceStep, limit - moved);
        IoResult got = pipe.Fill(from, static_cast<std::size_t>(want));
        if (got.status == IoStatus::kWouldBlock) {
            RelayPoll waited = WaitForSource(from, wait, status);
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
