// Starting threads without exceptions leaking into callers: a thread that cannot be
// started is a result the caller reports ("thread error"), not a crash.
#pragma once

#include <functional>
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

// How a command starts its threads; tests pass one that fails, to reach the thread-error
// paths.
using ThreadStarter = std::function<bool(std::thread&, std::function<void()>)>;

// StartThread as a ThreadStarter.
inline const ThreadStarter& SystemThreadStarter() {
    static const ThreadStarter starter = [](std::thread& thread, std::function<void()> fn) {
        return StartThread(thread, std::move(fn));
    };
    return starter;
}

}  // namespace korvanel
