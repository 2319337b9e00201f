// Starting threads without exceptions leaking into callers: a thread that cannot be
// started is a result the caller reports ("thread error"), not a crash.
#pragma once

#include <system_error>
#include <thread>
#include <utility>

namespace korvanel {

template <typename Fn>
bool StartThread(std::thread& thread, Fn&& fn) {
    try {
        thread = std::thread(std::forward<Fn>(fn));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace korvanel
