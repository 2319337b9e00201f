#include "platform/event_poll.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace korvanel {

namespace {

// Events taken from the kernel in one call.
constexpr int kBatch = 64;

}  // namespace

EventPoll::EventPoll() {
    poll_fd_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (poll_fd_ < 0 || wake_fd_ < 0) return;
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.u64 = kWakeKey;
    if (::epoll_ctl(poll_fd_, EPOLL_CTL_ADD, wake_fd_, &wake) != 0) {
        ::close(wake_fd_);
        wake_fd_ = -1;
    }
}

EventPoll::~EventPoll() {
    if (wake_fd_ >= 0) ::close(wake_fd_);
    if (poll_fd_ >= 0) ::close(poll_fd_);
}

bool EventPoll::Watch(int fd, uint64_t key) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
    event.data.u64 = key;
    return ::epoll_ctl(poll_fd_, EPOLL_CTL_ADD, fd, &event) == 0;
}

void EventPoll::Forget(int fd) {
    if (fd >= 0) ::epoll_ctl(poll_fd_, EPOLL_CTL_DEL, fd, nullptr);
}

int EventPoll::Wait(Event* events, int capacity, int timeout_ms) {
    epoll_event ready[kBatch];
    int count = ::epoll_wait(poll_fd_, ready, capacity < kBatch ? capacity : kBatch, timeout_ms);
    if (count <= 0) return 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t what = ready[i].events;
        events[i].key = ready[i].data.u64;
        events[i].readable = (what & (EPOLLIN | EPOLLRDHUP)) != 0;
        events[i].writable = (what & EPOLLOUT) != 0;
        events[i].hang_up = (what & (EPOLLHUP | EPOLLERR)) != 0;
        if (events[i].key == kWakeKey) {
            uint64_t rings = 0;
            while (::read(wake_fd_, &rings, sizeof rings) > 0) {
            }
        }
    }
    return count;
}

void EventPoll::Wake() {
    const uint64_t one = 1;
    // A full counter already wakes the loop: a failed write loses nothing.
    [[maybe_unused]] ssize_t written = ::write(wake_fd_, &one, sizeof one);
}

}  // namespace korvanel
