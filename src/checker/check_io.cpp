#include "checker/check_io.h"

#include <cerrno>
#include <optional>
#include <string_view>
#include <thread>

#include "runtime/runtime.h"

namespace korvanel {

bool CheckStopRequested(Runtime& rt) {
    Hold settings(rt.locks.settings);
    Hold checker(rt.locks.checker);
    return rt.check_stopped == 1;
}

void YieldProcessor() {
    std::this_thread::yield();
}

namespace {

// A stop look followed by the yield.
bool Stopped(CheckContext& context) {
    bool stopped = CheckStopRequested(context.rt);
    YieldProcessor();
    return stopped;
}

enum class ConnectWait { kReady, kEmpty, kFailed };

// One cycle of the connect wait: two slices, as the event and the network events were
// waited for one after the other.
ConnectWait WaitConnectCycle(CheckContext& context, Socket& socket) {
    for (int i = 0; i < 2; ++i) {
        PollResult waited = socket.WaitWritable(context.limits.slice_ms);
        if (waited == PollResult::kReady) return ConnectWait::kReady;
        if (waited == PollResult::kError) return ConnectWait::kFailed;
    }
    return ConnectWait::kEmpty;
}

int FailConnect(Socket& socket, int result) {
    socket.Close();
    return result;
}

}  // namespace

int CheckConnect(CheckContext& context, const char* host, const char* port, Socket& socket,
                 NumericHost& numeric_host) {
    // An entry without ":" has an empty host; it must not resolve to this machine.
    if (host == nullptr || host[0] == '\0' || port == nullptr || port[0] == '\0') {
        return kCheckConnectFailed;
    }
    Ipv4Endpoint target;
    if (!ResolveIpv4(host, port, false, target)) return kCheckConnectFailed;
    socket = Socket::OpenTcp(context.sockets);
    if (!socket.valid()) return kCheckConnectFailed;
    char text[kNumericHostCapacity];
    FormatIpv4(target.address, text, sizeof text);
    numeric_host = text;

    switch (socket.StartConnect(target)) {
        case Socket::ConnectStart::kConnected:
            return kConnected;
        case Socket::ConnectStart::kFailed:
            return FailConnect(socket, kCheckConnectFailed);
        case Socket::ConnectStart::kInProgress:
            break;
    }
    for (int empty_cycles = 0;;) {
        if (Stopped(context)) return FailConnect(socket, kCheckConnectFailed);
        ConnectWait waited = WaitConnectCycle(context, socket);
        if (waited == ConnectWait::kFailed) return FailConnect(socket, kCheckConnectFailed);
        if (waited == ConnectWait::kReady) break;
        if (++empty_cycles >= context.limits.connect_cycles) {
            return FailConnect(socket, kCheckConnectFailed);
        }
    }
    // The completion's error is examined, so a refused connection fails here at once.
    int error = socket.ConnectError();
    if (error == 0) return kConnected;
    return FailConnect(socket, error == ECONNRESET ? kCheckConnectClosed : kCheckConnectFailed);
}

long CheckSendAll(CheckContext& context, Socket& socket, const char* data, std::size_t length) {
    std::size_t sent = 0;
    while (sent < length) {
        if (Stopped(context)) return kCheckStopped;
        IoResult result = socket.Send(data + sent, length - sent);
        if (result.status == IoStatus::kOk) {
            if (result.bytes == 0) break;
            sent += static_cast<std::size_t>(result.bytes);
            continue;
        }
        if (result.status == IoStatus::kRevoked) return kCheckTimedOut;
        if (result.status != IoStatus::kWouldBlock) return kCheckFailed;
        for (int empty_slices = 0;;) {
            PollResult waited = socket.WaitWritable(context.limits.slice_ms);
            if (waited == PollResult::kReady) break;
            if (waited == PollResult::kError) return 0;
            if (Stopped(context)) return kCheckStopped;
            if (++empty_slices >= context.limits.send_slices) return kCheckTimedOut;
        }
    }
    return static_cast<long>(sent);
}

namespace {

// The kind of empty line in the text so far, looked for in this order.
bool FindEmptyLine(std::string_view text, FixedText<11>& terminator) {
    for (std::string_view kind : {"\r\n\r\n", "\n\n", "\r\r"}) {
        if (text.find(kind) != std::string_view::npos) {
            terminator = kind;
            return true;
        }
    }
    return false;
}

enum class SliceWait { kReady, kTimedOut, kStopped, kFailed };

// Waits for data in slices, with a stop look before each; `limit` empty slices time out.
SliceWait WaitReadableInSlices(CheckContext& context, Socket& socket, int limit) {
    for (int empty_slices = 0;;) {
        if (Stopped(context)) return SliceWait::kStopped;
        PollResult waited = socket.WaitReadable(context.limits.slice_ms);
        if (waited == PollResult::kReady) return SliceWait::kReady;
        if (waited == PollResult::kError) return SliceWait::kFailed;
        if (++empty_slices >= limit) return SliceWait::kTimedOut;
    }
}

// A receive loop's wait for more data: empty when there is some, else what the loop gives
// back (`on_failure` when the wait itself failed).
std::optional<long> AwaitMore(CheckContext& context, Socket& socket, long on_failure) {
    switch (WaitReadableInSlices(context, socket, context.limits.receive_slices)) {
        case SliceWait::kReady:
            return std::nullopt;
        case SliceWait::kTimedOut:
            return kCheckTimedOut;
        case SliceWait::kStopped:
            return kCheckStopped;
        case SliceWait::kFailed:
            break;
    }
    return on_failure;
}

}  // namespace

long CheckReceiveHead(CheckContext& context, Socket& socket, CheckHead& head) {
    head.length = 0;
    head.data[0] = '\0';
    head.terminator.clear();
    for (;;) {
        if (static_cast<std::size_t>(head.length) >= kCheckHeadBufferSize) return kCheckTimedOut;
        if (Stopped(context)) return kCheckStopped;
        IoResult result = socket.Receive(
            head.data + head.length, kCheckHeadBufferSize - static_cast<std::size_t>(head.length));
        if (result.status == IoStatus::kOk) {
            head.length += result.bytes;
            head.data[head.length] = '\0';
            std::string_view text(head.data, static_cast<std::size_t>(head.length));
            if (FindEmptyLine(text, head.terminator)) return head.length;
            if (text.size() > kNoLineEndLimit &&
                text.find_first_of("\r\n") == std::string_view::npos) {
                return kCheckFailed;
            }
            continue;
        }
        if (result.status == IoStatus::kPeerClosed || result.status == IoStatus::kError) {
            return kCheckFailed;
        }
        if (result.status == IoStatus::kRevoked) return kCheckTimedOut;
        if (std::optional<long> end = AwaitMore(context, socket, 0)) return *end;
    }
}

long CheckReceiveBody(CheckContext& context, Socket& socket, char* destination, long wanted,
                      bool& connection_ended) {
    connection_ended = false;
    long received = 0;
    destination[0] = '\0';
    while (received < wanted) {
        if (Stopped(context)) return kCheckStopped;
        IoResult result =
            socket.Receive(destination + received, static_cast<std::size_t>(wanted - received));
        if (result.status == IoStatus::kOk) {
            received += result.bytes;
            destination[received] = '\0';
            continue;
        }
        if (result.status == IoStatus::kPeerClosed) {
            connection_ended = true;
            return received;
        }
        if (result.status == IoStatus::kRevoked) return kCheckTimedOut;
        if (result.status == IoStatus::kError) return kCheckFailed;
        if (std::optional<long> end = AwaitMore(context, socket, received)) {
            connection_ended = *end == received;  // a failed wait ends the connection
            return *end;
        }
    }
    return received;
}

}  // namespace korvanel
