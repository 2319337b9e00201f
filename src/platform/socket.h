// Non-blocking IPv4 TCP sockets driven by poll, and the socket registry.
//
// Ownership: a Socket owns its descriptor and closes it exactly once (Close() or the
// destructor). No other thread ever closes it: descriptor numbers are reused at once on
// Linux, so a close by a stranger could hit somebody else's new socket.
//
// The registry is how a stop reaches blocked threads. Every socket the engine opens is
// registered; CleanUp() shuts down every registered socket (both directions) and marks it
// revoked, which wakes every poll that waits on it. A socket registered after a clean-up is
// revoked at once, until Reset(). An owner that sees an I/O failure on a revoked socket
// reports "no longer a socket" (-9 in the engine's terms).
//
// Nothing above src/platform/ includes a system socket header: addresses travel as
// Ipv4Endpoint (host byte order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/io_result.h"
#include "platform/stream_layer.h"

namespace korvanel {

struct Ipv4Endpoint {
    uint32_t address = 0;  // host byte order
    uint16_t port = 0;
};

enum class PollResult { kReady, kTimeout, kError };

class SocketRegistry {
  public:
    SocketRegistry() { fds_.reserve(256); }

    // Shuts down every registered socket and marks it revoked; sockets added from now on
    // until Reset() are revoked as they are added.
    void CleanUp();
    // Ends the cleaned-up state (a new server start).
    void Reset();
    // Shuts down one registered socket and marks it revoked (waking its owner's waits).
    // Returns false when `fd` is not registered: then it is left alone.
    bool Revoke(int fd);

    bool IsRevoked(int fd) const;
    std::size_t Count() const;

  private:
    friend class Socket;
    struct Entry {
        int fd;
        bool revoked;
    };
    void Add(int fd);
    void Remove(int fd);

    mutable std::mutex mutex_;
    std::vector<Entry> fds_;
    bool cleaned_up_ = false;
};

class Socket {
  public:
    Socket() = default;
    ~Socket() { Close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;

    // A new non-blocking IPv4 stream socket, registered. Invalid on failure.
    static Socket OpenTcp(SocketRegistry& registry);

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Unregisters and closes the descriptor; a no-op on an invalid socket.
    void Close();
    // True when the registry revoked the socket, or when it is not open.
    bool Revoked() const;

    bool SetNoDelay();
    // TCP keep-alive probes: after `idle_s` seconds without traffic, one probe every
    // `interval_s` seconds; `count` unanswered probes end the connection with an error, so
    // that a peer that vanished without a word does not hold its reader forever.
    bool SetKeepAlive(int idle_s, int interval_s, int count);
    bool SetReuseAddress();
    // A connect takes its local port from the lower seven eighths of the system's
    // ephemeral range, port after port of both parities, where by default it tries the even
    // ones first. Many connects a second to one target leave those in TIME_WAIT, each
    // reusable a second after its close, and the default then probes thousands per connect.
    // The top eighth stays free for binds to port 0 (by any program). When no port of the
    // range is free, the connect takes the kernel's own choice. False where the kernel lacks
    // the option (before Linux 6.3) or the system's range cannot be read: nothing changes.
    bool UseConnectPortRange();
    // The same over ports `low` to `high` of the system's range.
    bool UseConnectPortRange(uint16_t low, uint16_t high);
    // Ends the sending direction (the peer reads end of stream); receiving goes on. A layer
    // says its own end first.
    bool ShutdownSend();

    // From now on every receive, send and wait goes through `layer` (TLS on an open
    // connection); the layer goes with the socket when it is moved and ends with Close().
    void AttachLayer(std::unique_ptr<StreamLayer> layer);
    bool HasLayer() const { return layer_ != nullptr; }
    // True when the layer holds received bytes not yet taken (the descriptor is quiet).
    bool HasPendingBytes() const;

    // Closes with a reset rather than an orderly end, dropping what is not yet sent: the
    // peer learns that the stream was cut, not that it ended.
    void Abort();

    // One non-blocking receive / send. Send never raises SIGPIPE.
    IoResult Receive(char* buffer, std::size_t length);
    IoResult Send(const char* data, std::size_t length);
    // One send of up to kMaxSendPieces pieces, in order, as one system call.
    static constexpr int kMaxSendPieces = 4;
    IoResult SendPieces(const std::string_view* pieces, int count);
    // The result of a call on this socket that failed with `error`: a wait, a revocation or
    // an error.
    IoResult Failed(int error) const;
    // The same for a receive, where an error marks the connection broken.
    IoResult FailedReceiving(int error);
    // True once a receive failed with an error (a reset, say): what the peer sent was cut
    // off, not ended in order.
    bool Broken() const { return broken_; }
    // Marks the stream as cut off although no receive failed (a relay that gave up on it).
    void MarkBroken() { broken_ = true; }

    // Waits until the socket can be read (or has reached end of stream or an error) /
    // written. timeout_ms < 0 waits without limit. Bytes a layer holds already are ready
    // at once; a layer that must send before it can read waits for writability too.
    PollResult WaitReadable(int timeout_ms);
    PollResult WaitWritable(int timeout_ms);
    // True when the peer has ended its sending side with nothing left unread, or the
    // connection failed: a peer that still has bytes queued before its end is not gone.
    bool PeerGone();

    // Connect: Start, then WaitWritable, then ConnectError() (0 when connected).
    enum class ConnectStart { kConnected, kInProgress, kFailed };
    ConnectStart StartConnect(const Ipv4Endpoint& target);
    int ConnectError();

    // Listening socket helpers.
    bool Bind(const Ipv4Endpoint& local);
    bool Listen(int backlog);
    // Accepts one pending connection. Returns kOk with `client` set (registered,
    // non-blocking), kWouldBlock, kRevoked, or kError (errno in `error`). `peer_family`
    // receives the peer's address family number.
    IoResult Accept(Socket& client, int& peer_family);
    bool LocalEndpoint(Ipv4Endpoint& out) const;
    bool PeerEndpoint(Ipv4Endpoint& out) const;

  private:
    Socket(int fd, SocketRegistry* registry);

    bool SetLocalPortRange(uint32_t packed);
    IoResult ThroughLayer(IoResult result);

    int fd_ = -1;
    SocketRegistry* registry_ = nullptr;
    bool broken_ = false;
    bool port_range_set_ = false;
    std::unique_ptr<StreamLayer> layer_;
};

// How a relay's wait for its source ended.
enum class RelayPoll {
    kReady,        // the source can be read (or reached its end or an error)
    kTimeout,      // nothing arrived for `timeout_ms`
    kWatchedGone,  // the watched socket's peer is gone (see PeerGone)
    kError,
};

// Waits until `source` can be read, for at most `timeout_ms` (< 0: without limit), while
// watching `watched` (may be null) for its peer's close. A watched peer that has sent
// bytes before its close (a next request, say) is not gone: the watch then ends for this
// wait, and the source alone is awaited.
RelayPoll WaitSourceWatching(Socket& source, Socket* watched, int timeout_ms);

// Waits until one of the two sockets can be read (bytes a layer holds count as readable),
// for at most `timeout_ms`. A null entry is not watched. `ready` tells which can be read.
PollResult WaitEitherReadable(Socket* const (&sockets)[2], bool (&ready)[2], int timeout_ms);

// getaddrinfo for IPv4 stream sockets. `host` null or empty resolves the local address:
// loopback, or with `passive` the wildcard address. Returns false when nothing resolves.
bool ResolveIpv4(const char* host, const char* service, bool passive, Ipv4Endpoint& out);
// "a.b.c.d" into `out` (at least 16 bytes).
void FormatIpv4(uint32_t host_order, char* out, std::size_t capacity);

// The address family number for IPv6 as the peer record carries it.
int Ipv6Family();
int Ipv4Family();

}  // namespace korvanel
