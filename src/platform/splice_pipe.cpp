#include "platform/splice_pipe.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace korvanel {

SplicePipe::SplicePipe(int capacity) {
    // A splice into a socket whose peer is gone raises SIGPIPE (it has no MSG_NOSIGNAL):
    // held back in this thread while the pipe lives, and dropped when it ends.
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &saved_mask_);
    if (capacity == kNoPipe) return;
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    read_fd_ = fds[0];
    write_fd_ = fds[1];
    // A larger pipe moves more per call; where the system refuses, the default stays.
    if (capacity > 0) ::fcntl(write_fd_, F_SETPIPE_SZ, capacity);
}

SplicePipe::~SplicePipe() {
    if (read_fd_ >= 0) ::close(read_fd_);
    if (write_fd_ >= 0) ::close(write_fd_);
    if (broken_pipe_) {
        sigset_t pipe_signal;
        sigemptyset(&pipe_signal);
        sigaddset(&pipe_signal, SIGPIPE);
        const timespec now{0, 0};
        while (::sigtimedwait(&pipe_signal, nullptr, &now) == SIGPIPE) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
}

bool SplicePipe::Resize(int bytes) {
    return write_fd_ >= 0 && ::fcntl(write_fd_, F_SETPIPE_SZ, bytes) >= bytes;
}

IoResult SplicePipe::Fill(Socket& from, std::size_t length) {
    if (from.fd() < 0) return {0, IoStatus::kRevoked, EBADF};
    for (;;) {
        ssize_t n = ::splice(from.fd(), nullptr, write_fd_, nullptr, length,
                             SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (n > 0) {
            held_ += static_cast<long>(n);
            return {static_cast<long>(n), IoStatus::kOk, 0};
        }
        if (n == 0) {
            if (length == 0) return {0, IoStatus::kOk, 0};
            // A shut-down socket reads as end of stream; tell the two apart.
            if (from.Revoked()) return {0, IoStatus::kRevoked, 0};
            return {0, IoStatus::kPeerClosed, 0};
        }
        if (errno == EINTR) continue;
        return from.FailedReceiving(errno);
    }
}

IoResult SplicePipe::Drain(Socket& to) {
    if (to.fd() < 0) return {0, IoStatus::kRevoked, EBADF};
    for (;;) {
        ssize_t n = ::splice(read_fd_, nullptr, to.fd(), nullptr, static_cast<std::size_t>(held_),
                             SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (n >= 0) {
            held_ -= static_cast<long>(n);
            return {static_cast<long>(n), IoStatus::kOk, 0};
        }
        if (errno == EINTR) continue;
        if (errno == EPIPE) broken_pipe_ = true;
        return to.Failed(errno);
    }
}

}  // namespace korvanel
