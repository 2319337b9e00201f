// A kernel pipe through which bytes move from one socket to another without passing through
// user memory (splice). The relays that need not look at the bytes use it.
#pragma once

#include <signal.h>

#include <cstddef>

#include "platform/socket.h"

namespace korvanel {

// The pipe's capacity asked for (the kernel default is 64 KiB).
inline constexpr int kSplicePipeBytes = 1 << 20;
// A capacity that opens no pipe: valid() is false.
inline constexpr int kNoPipe = -1;

class SplicePipe {
  public:
    // Opens the pipe (non-blocking) and asks for `capacity` bytes (0: the kernel's
    // default); valid() tells whether the pipe opened.
    explicit SplicePipe(int capacity = kSplicePipeBytes);
    ~SplicePipe();
    SplicePipe(const SplicePipe&) = delete;
    SplicePipe& operator=(const SplicePipe&) = delete;

    bool valid() const { return read_fd_ >= 0; }
    // Asks for a capacity of `bytes`; false where the system refuses (the pipe stays as it
    // was, and works on).
    bool Resize(int bytes);
    // Bytes in the pipe not yet passed on.
    long held() const { return held_; }

    // One non-blocking move of up to `length` bytes from `from` into the pipe. kOk with the
    // count, kWouldBlock, kPeerClosed, kRevoked (the registry shut `from` down) or kError.
    IoResult Fill(Socket& from, std::size_t length);
    // One non-blocking move of what the pipe holds into `to`: kOk with the count,
    // kWouldBlock, kRevoked or kError.
    IoResult Drain(Socket& to);

  private:
    int read_fd_ = -1;
    int write_fd_ = -1;
    long held_ = 0;
    bool broken_pipe_ = false;
    sigset_t saved_mask_;
};

}  // namespace korvanel
