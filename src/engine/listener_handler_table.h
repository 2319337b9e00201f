// The accept thread's table of connection handler threads. Each entry's thread is started
// with its first client and then kept: when its connection ends it marks the entry free,
// signals the table and waits for the next client the accept thread hands it, so that a
// new connection costs no thread start. A kept thread that gets no client for
// kKeptHandlerIdleMs ends, the last one excepted, so that an idle proxy holds one thread
// for its next client and none it does not use. The
// accept thread waits for any free entry with a time limit and reuses it.
#pragma once

#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/client_slot.h"
#include "runtime/server_state.h"

namespace korvanel {

struct Runtime;

inline constexpr int kKeptHandlerIdleMs = 2000;

class HandlerTable {
  public:
    HandlerTable() = default;
    HandlerTable(const HandlerTable&) = delete;
    HandlerTable& operator=(const HandlerTable&) = delete;
    // Ends and joins every handler thread of the table.
    ~HandlerTable() { JoinAll(); }

    // Hands `slot` to entry `index` (free or never used), starting its thread when it has
    // none yet. False when the thread could not be started; the slot's socket is then
    // closed.
    bool Start(Runtime& rt, int index, ClientSlot slot);

    // Returns the index of a free entry (reserved for the caller's next Start): one whose
    // connection has ended, else one without a thread yet, waiting up to `timeout_ms` for a
    // handler to end when there is none. -1 when none became free in time.
    int WaitAny(int timeout_ms);

    // Waits without limit for every connection handed on to end, then ends the threads.
    void JoinAll();

  private:
    // An entry's thread: serves the clients handed to it until the table closes.
    void Serve(Runtime& rt, int index);

    std::array<std::thread, kHandlerTableSize> threads_;
    // Under mutex_: the client handed on and not yet taken, whether the entry's connection
    // has ended, and whether the table is closing.
    std::array<ClientSlot, kHandlerTableSize> handed_;
    std::array<bool, kHandlerTableSize> has_client_{};
    std::array<bool, kHandlerTableSize> ended_{};
    std::array<bool, kHandlerTableSize> exited_{};  // the thread ended for want of clients
    bool closing_ = false;
    int alive_ = 0;  // threads started and not ended
    std::mutex mutex_;
    std::condition_variable ended_signal_;
    std::array<std::condition_variable, kHandlerTableSize> client_signal_;
};

}  // namespace korvanel
