// The process-wide records held together: settings, locks, server state, log buffers,
// sockets, clock and front end. The program makes one at start-up and passes it by
// reference; a test makes as many as it needs, so tests never share state.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/named_locks.h"
#include "platform/socket.h"
#include "platform/stop_request.h"
#include "runtime/config_save_state.h"
#include "runtime/engine_limits.h"
#include "runtime/front_end.h"
#include "runtime/layer_slot.h"
#include "runtime/log_queue.h"
#include "runtime/server_state.h"
#include "runtime/settings.h"

namespace korvanel {

struct Runtime {
    explicit Runtime(FrontEnd& front_end, std::string directory = ".")
        : front(front_end), dir(std::move(directory)), logs(locks) {}
    // A logger still running here means a shutdown was cut short by a thread failure; the
    // program then ends at once, so the thread is let go rather than waited for.
    ~Runtime() {
        if (logger.joinable()) logger.detach();
    }
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    FrontEnd& front;
    // Where `data` and the log files live (the current directory in the program).
    std::string dir;

    NamedLocks locks;
    Settings settings;  // under locks.settings
    ServerControl server;
    LogQueue logs;
    SocketRegistry sockets;
    Clock clock = Clock::System();
    // The engine's time-outs; tests shorten them, the program keeps the constants.
    EngineLimits limits;
    ConfigSaveState config_save;
    // Flushes the log buffers every cycle from start-up to shutdown.
    std::thread logger;
    // HTTPS inspection's authority and certificates, made when first needed.
    LayerSlot tls;
    // The certificate (PEM) of the authority the open inspector signs with, for the browser
    // commands to install; empty while none is open. Under tls.mutex.
    std::string authority_pem;
    // Set when the program's close was asked for: the browser commands' waits end early.
    StopRequest closing;

    // 1 while no proxy check runs or a stop was requested (under the checker lock).
    int check_stopped = 1;

    // `dir` + "/" + name.
    std::string PathOf(const char* name) const { return dir + "/" + name; }
};

}  // namespace korvanel
