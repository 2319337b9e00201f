// One thread's wait on many descriptors at once (epoll, edge-triggered), with a wake-up
// that any thread may ring. The owner of a watched descriptor forgets it before closing it.
#pragma once

#include <cstdint>

namespace korvanel {

class EventPoll {
  public:
    // The key Wait reports for a Wake().
    static constexpr uint64_t kWakeKey = UINT64_MAX;

    struct Event {
        uint64_t key = 0;
        bool readable = false;
        bool writable = false;
        bool hang_up = false;  // both directions ended, or an error
    };

    EventPoll();
    ~EventPoll();
    EventPoll(const EventPoll&) = delete;
    EventPoll& operator=(const EventPoll&) = delete;

    bool valid() const { return poll_fd_ >= 0 && wake_fd_ >= 0; }

    // Reports every change of `fd`'s readiness for reading or writing, under `key`
    // (edge-triggered: the owner reads and writes until it would block).
    bool Watch(int fd, uint64_t key);
    void Forget(int fd);

    // Waits up to `timeout_ms` (< 0: without limit); fills at most `capacity` events and
    // returns their count, 0 on a time-out or an interrupted wait.
    int Wait(Event* events, int capacity, int timeout_ms);

    // Makes the next (or the current) Wait report kWakeKey. Safe from any thread.
    void Wake();

  private:
    int poll_fd_ = -1;
    int wake_fd_ = -1;
};

}  // namespace korvanel
