// The accept thread's table of connection handler threads. A handler that ends marks its
// entry and signals the table, so that the accept thread can wait for any free entry with
// a time limit, and reuse it.
#pragma once

#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/client_slot.h"
#include "engine/server_state.h"

namespace korvanel {

struct Runtime;

class HandlerTable {
  public:
    HandlerTable() = default;
    HandlerTable(const HandlerTable&) = delete;
    HandlerTable& operator=(const HandlerTable&) = delete;
    // Joins every handler still in the table.
    ~HandlerTable() { JoinAll(); }

    // Starts a handler thread on `slot` in entry `index` (free or never used). False when
    // the thread could not be started; the slot's socket is then closed.
    bool Start(Runtime& rt, int index, ClientSlot slot);

    // Waits up to `timeout_ms` for a handler to end. Returns the index of an ended entry
    // (joined, free again), or -1 when none ended in time. Call it only once every entry
    // has been used.
    int WaitAny(int timeout_ms);

    // Waits without limit for every handler started and joins it.
    void JoinAll();

  private:
    std::array<std::thread, kHandlerTableSize> threads_;
    std::array<bool, kHandlerTableSize> ended_{};  // under mutex_
    std::mutex mutex_;
    std::condition_variable ended_signal_;
};

}  // namespace korvanel
