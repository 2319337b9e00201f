#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

namespace korvanel {

// ---- registry ----

void SocketRegistry::CleanUp() {
    std::lock_guard<std::mutex> hold(mutex_);
    cleaned_up_ = true;
    for (Entry& entry : fds_) {
        if (!entry.revoked) {
            ::shutdown(entry.fd, SHUT_RDWR);
            entry.revoked = true;
        }
    }
}

void SocketRegistry::Reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    cleaned_up_ = false;
}

bool SocketRegistry::Revoke(int fd) {
    std::lock_guard<std::mutex> hold(mutex_);
    for (Entry& entry : fds_) {
        if (entry.fd == fd) {
            ::shutdown(fd, SHUT_RDWR);
            entry.revoked = true;
            return true;
        }
    }
    return false;
}

bool SocketRegistry::IsRevoked(int fd) const {
    std::lock_guard<std::mutex> hold(mutex_);
    for (const Entry& entry : fds_) {
        if (entry.fd == fd) return entry.revoked;
    }
    return true;
}

std::size_t SocketRegistry::Count() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return fds_.size();
}

void SocketRegistry::Add(int fd) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (cleaned_up_) ::shutdown(fd, SHUT_RDWR);
    fds_.push_back(Entry{fd, cleaned_up_});
}

void SocketRegistry::Remove(int fd) {
    std::lock_guard<std::mutex> hold(mutex_);
    auto it = std::find_if(fds_.begin(), fds_.end(), [fd](const Entry& e) { return e.fd == fd; });
    if (it != fds_.end()) {
        *it = fds_.back();
        fds_.pop_back();
    }
}

// ---- socket ----

Socket::Socket(int fd, SocketRegistry* registry) : fd_(fd), registry_(registry) {
    if (fd_ >= 0 && registry_) registry_->Add(fd_);
}

Socket::Socket(Socket&& other) noexcept
    : fd_(other.fd_),
      registry_(other.registry_),
      broken_(other.broken_),
      port_range_set_(std::exchange(other.port_range_set_, false)),
      layer_(std::move(other.layer_)) {
    other.fd_ = -1;
    other.registry_ = nullptr;
    other.broken_ = false;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        registry_ = other.registry_;
        broken_ = other.broken_;
        port_range_set_ = std::exchange(other.port_range_set_, false);
        layer_ = std::move(other.layer_);
        other.fd_ = -1;
        other.registry_ = nullptr;
        other.broken_ = false;
    }
    return *this;
}

namespace {

// The range connects take, packed as the option wants it (low bound in the low 16 bits):
// the system's ephemeral range less its top eighth, read once. 0 when it cannot be read.
uint32_t ConnectPortRange() {
    static const uint32_t range = [] {
        unsigned low = 0;
        unsigned high = 0;
        std::FILE* file = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "re");
        if (file == nullptr) return 0u;
        int got = std::fscanf(file, "%u %u", &low, &high);
        std::fclose(file);
        if (got != 2 || low == 0 || high > 65535 || high < low + 8) return 0u;
        unsigned top = high - (high - low + 1) / 8;
        return low | (top << 16);
    }();
    return range;
}

}  // namespace

Socket Socket::OpenTcp(SocketRegistry& registry) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return Socket();
    return Socket(fd, &registry);
}

void Socket::Close() {
    layer_.reset();
    if (fd_ < 0) return;
    // Unregister first: from here on a clean-up cannot touch this descriptor number.
    if (registry_) registry_->Remove(fd_);
    ::close(fd_);
    fd_ = -1;
    registry_ = nullptr;
    broken_ = false;
    port_range_set_ = false;
}

void Socket::Abort() {
    if (fd_ >= 0) {
        linger reset{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    Close();
}

bool Socket::Revoked() const {
    if (fd_ < 0) return true;
    return registry_ ? registry_->IsRevoked(fd_) : false;
}

bool Socket::SetNoDelay() {
    int on = 1;
    return ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool Socket::SetKeepAlive(int idle_s, int interval_s, int count) {
    int on = 1;
    return ::setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           ::setsockopt(fd_, IPPROTO_TCP, TCP_KEEPIDLE, &idle_s, sizeof idle_s) == 0 &&
           ::setsockopt(fd_, IPPROTO_TCP, TCP_KEEPINTVL, &interval_s, sizeof interval_s) == 0 &&
           ::setsockopt(fd_, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) == 0;
}

bool Socket::UseConnectPortRange() {
    const uint32_t range = ConnectPortRange();
    return range != 0 && SetLocalPortRange(range);
}

bool Socket::UseConnectPortRange(uint16_t low, uint16_t high) {
    return SetLocalPortRange(low | static_cast<uint32_t>(high) << 16);
}

bool Socket::SetLocalPortRange(uint32_t packed) {
    // Linux 6.3's option; the C library's headers here predate it. 0 removes the range.
    constexpr int kLocalPortRange = 51;
    const bool set = ::setsockopt(fd_, IPPROTO_IP, kLocalPortRange, &packed, sizeof packed) == 0;
    port_range_set_ = set && packed != 0;
    return set;
}

void Socket::AttachLayer(std::unique_ptr<StreamLayer> layer) {
    layer_ = std::move(layer);
}

bool Socket::ShutdownSend() {
    if (layer_ && fd_ >= 0) layer_->EndSending(fd_);
    return fd_ >= 0 && ::shutdown(fd_, SHUT_WR) == 0;
}

bool Socket::SetReuseAddress() {
    int on = 1;
    return ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
}

namespace {

PollResult WaitFor(int fd, short events, int timeout_ms) {
    if (fd < 0) return PollResult::kError;
    pollfd entry{fd, events, 0};
    for (;;) {
        int n = ::poll(&entry, 1, timeout_ms < 0 ? -1 : timeout_ms);
        if (n > 0) {
            if (entry.revents & POLLNVAL) return PollResult::kError;
            return PollResult::kReady;  // readiness, hang-up and error all wake the caller
        }
        if (n == 0) return PollResult::kTimeout;
        if (errno != EINTR) return PollResult::kError;
    }
}

}  // namespace

IoResult Socket::Failed(int error) const {
    if (error == EAGAIN || error == EWOULDBLOCK) return {0, IoStatus::kWouldBlock, error};
    if (error == EBADF || error == ENOTSOCK || Revoked()) return {0, IoStatus::kRevoked, error};
    return {0, IoStatus::kError, error};
}

// A layer's failure, as the socket's own would be: a cleaned-up socket is revoked, not
// broken; a receive failure marks the connection broken.
IoResult Socket::ThroughLayer(IoResult result) {
    if (result.status != IoStatus::kError && result.status != IoStatus::kPeerClosed) return result;
    if (Revoked()) return {0, IoStatus::kRevoked, result.error};
    if (result.status == IoStatus::kError) broken_ = true;
    return result;
}

IoResult Socket::FailedReceiving(int error) {
    IoResult failed = Failed(error);
    if (failed.status == IoStatus::kError) broken_ = true;
    return failed;
}

IoResult Socket::Receive(char* buffer, std::size_t length) {
    if (fd_ < 0) return {0, IoStatus::kRevoked, EBADF};
    if (layer_) return ThroughLayer(layer_->Receive(fd_, buffer, length));
    for (;;) {
        ssize_t n = ::recv(fd_, buffer, length, 0);
        if (n > 0) return {static_cast<long>(n), IoStatus::kOk, 0};
        if (n == 0) {
            if (length == 0) return {0, IoStatus::kOk, 0};
            // A shut-down socket reads as end of stream; tell the two apart.
            if (Revoked()) return {0, IoStatus::kRevoked, 0};
            return {0, IoStatus::kPeerClosed, 0};
        }
        if (errno == EINTR) continue;
        return FailedReceiving(errno);
    }
}

IoResult Socket::Send(const char* data, std::size_t length) {
    if (fd_ < 0) return {0, IoStatus::kRevoked, EBADF};
    if (layer_) return ThroughLayer(layer_->Send(fd_, data, length));
    for (;;) {
        ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
        if (n >= 0) return {static_cast<long>(n), IoStatus::kOk, 0};
        if (errno == EINTR) continue;
        return Failed(errno);
    }
}

IoResult Socket::SendPieces(const std::string_view* pieces, int count) {
    if (fd_ < 0) return {0, IoStatus::kRevoked, EBADF};
    if (layer_) return ThroughLayer(layer_->SendPieces(fd_, pieces, count));
    iovec vector[kMaxSendPieces];
    int used = 0;
    for (int i = 0; i < count && used < kMaxSendPieces; ++i) {
        if (pieces[i].empty()) continue;
        vector[used++] = {const_cast<char*>(pieces[i].data()), pieces[i].size()};
    }
    msghdr message{};
    message.msg_iov = vector;
    message.msg_iovlen = static_cast<std::size_t>(used);
    for (;;) {
        ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (n >= 0) return {static_cast<long>(n), IoStatus::kOk, 0};
        if (errno == EINTR) continue;
        return Failed(errno);
    }
}

bool Socket::HasPendingBytes() const {
    return layer_ && fd_ >= 0 && layer_->HasPending();
}

PollResult Socket::WaitReadable(int timeout_ms) {
    if (layer_) {
        if (HasPendingBytes()) return PollResult::kReady;
        if (layer_->WantsWritable()) return WaitFor(fd_, POLLIN | POLLOUT, timeout_ms);
    }
    return WaitFor(fd_, POLLIN, timeout_ms);
}
PollResult Socket::WaitWritable(int timeout_ms) {
    return WaitFor(fd_, POLLOUT, timeout_ms);
}

bool Socket::PeerGone() {
    if (fd_ < 0) return true;
    char next = 0;
    for (;;) {
        ssize_t n = ::recv(fd_, &next, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) return false;
        if (n == 0) return true;
        if (errno == EINTR) continue;
        return errno != EAGAIN && errno != EWOULDBLOCK;
    }
}

PollResult WaitEitherReadable(Socket* const (&sockets)[2], bool (&ready)[2], int timeout_ms) {
    ready[0] = sockets[0] != nullptr && sockets[0]->HasPendingBytes();
    ready[1] = sockets[1] != nullptr && sockets[1]->HasPendingBytes();
    if (ready[0] || ready[1]) return PollResult::kReady;
    pollfd entries[2];
    for (int i = 0; i < 2; ++i) {
        entries[i] = {sockets[i] != nullptr ? sockets[i]->fd() : -1, POLLIN, 0};
    }
    for (;;) {
        int n = ::poll(entries, 2, timeout_ms);
        if (n == 0) return PollResult::kTimeout;
        if (n < 0) {
            if (errno == EINTR) continue;
            return PollResult::kError;
        }
        for (int i = 0; i < 2; ++i) {
            if ((entries[i].revents & POLLNVAL) != 0) return PollResult::kError;
            ready[i] = entries[i].revents != 0;
        }
        return PollResult::kReady;
    }
}

RelayPoll WaitSourceWatching(Socket& source, Socket* watched, int timeout_ms) {
    if (!source.valid()) return RelayPoll::kError;
    // Bytes a layer holds already are not announced by the socket.
    if (source.HasPendingBytes()) return RelayPoll::kReady;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    // POLLRDHUP rather than POLLIN: bytes the watched peer sends (a pipelined request)
    // must not wake the wait; only its close or a failure does.
    pollfd entries[2] = {{source.fd(), POLLIN, 0},
                         {watched != nullptr ? watched->fd() : -1, POLLRDHUP, 0}};
    nfds_t count = watched != nullptr && watched->valid() ? 2 : 1;
    for (;;) {
        int wait_ms = -1;
        if (timeout_ms >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return RelayPoll::kTimeout;
            wait_ms = static_cast<int>(left.count());
        }
        int n = ::poll(entries, count, wait_ms);
        if (n == 0) return RelayPoll::kTimeout;
        if (n < 0) {
            if (errno == EINTR) continue;
            return RelayPoll::kError;
        }
        if (entries[0].revents != 0) {
            return (entries[0].revents & POLLNVAL) != 0 ? RelayPoll::kError : RelayPoll::kReady;
        }
        if (count == 2 && entries[1].revents != 0) {
            if (watched->PeerGone()) return RelayPoll::kWatchedGone;
            count = 1;  // its close is behind bytes still to be read: not gone yet
        }
    }
}

namespace {
sockaddr_in ToSockaddr(const Ipv4Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}
}  // namespace

Socket::ConnectStart Socket::StartConnect(const Ipv4Endpoint& target) {
    sockaddr_in address = ToSockaddr(target);
    for (;;) {
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return ConnectStart::kConnected;
        }
        if (errno == EINTR) continue;
        // No port of the socket's range is free: the kernel's own choice may still find one.
        if (errno == EADDRNOTAVAIL && port_range_set_) {
            SetLocalPortRange(0);  // clears port_range_set_: one more try only
            continue;
        }
        return errno == EINPROGRESS ? ConnectStart::kInProgress : ConnectStart::kFailed;
    }
}

int Socket::ConnectError() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

bool Socket::Bind(const Ipv4Endpoint& local) {
    sockaddr_in address = ToSockaddr(local);
    return ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool Socket::Listen(int backlog) {
    return ::listen(fd_, backlog) == 0;
}

IoResult Socket::Accept(Socket& client, int& peer_family) {
    if (fd_ < 0) return {0, IoStatus::kRevoked, EBADF};
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    for (;;) {
        int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &length,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            peer_family = peer.ss_family;
            client = Socket(fd, registry_);
            return {1, IoStatus::kOk, 0};
        }
        if (errno == EINTR) continue;
        // A listening socket that was shut down reports EINVAL.
        if (errno == EINVAL && Revoked()) return {0, IoStatus::kRevoked, errno};
        return Failed(errno);
    }
}

bool Socket::LocalEndpoint(Ipv4Endpoint& out) const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    if (address.sin_family != AF_INET) return false;
    out.address = ntohl(address.sin_addr.s_addr);
    out.port = ntohs(address.sin_port);
    return true;
}

bool Socket::PeerEndpoint(Ipv4Endpoint& out) const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    if (address.sin_family != AF_INET) return false;
    out.address = ntohl(address.sin_addr.s_addr);
    out.port = ntohs(address.sin_port);
    return true;
}

// ---- addresses ----

bool ResolveIpv4(const char* host, const char* service, bool passive, Ipv4Endpoint& out) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = passive ? AI_PASSIVE : 0;
    addrinfo* results = nullptr;
    const char* node = (host && *host) ? host : nullptr;
    if (::getaddrinfo(node, service, &hints, &results) != 0 || !results) return false;
    bool found = false;
    for (addrinfo* r = results; r; r = r->ai_next) {
        if (r->ai_family == AF_INET) {
            auto* address = reinterpret_cast<sockaddr_in*>(r->ai_addr);
            out.address = ntohl(address->sin_addr.s_addr);
            out.port = ntohs(address->sin_port);
            found = true;
            break;
        }
    }
    ::freeaddrinfo(results);
    return found;
}

void FormatIpv4(uint32_t host_order, char* out, std::size_t capacity) {
    std::snprintf(out, capacity, "%u.%u.%u.%u", (host_order >> 24) & 255u,
                  (host_order >> 16) & 255u, (host_order >> 8) & 255u, host_order & 255u);
}

int Ipv6Family() {
    return AF_INET6;
}
int Ipv4Family() {
    return AF_INET;
}

}  // namespace korvanel
