// The relay of open CONNECT tunnels: one thread, owned by the running server, that moves
// the bytes of every tunnel both ways through a kernel pipe per direction (splice), waking
// only when a socket is ready. An idle tunnel costs two sockets, four pipe descriptors and
// a small record, not a handler thread and its buffers.
//
// A handler opens the tunnel and hands both sockets over (Add); from then on the loop
// owns and closes them. A tunnel ends when both sides have ended their sending (each end
// is passed on as it comes: a half-close), when either side fails (the other is reset),
// when no byte has moved for the relay's idle limit (both are reset), or at a stop. Each
// ending writes the tunnel's access-log line.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/event_poll.h"
#include "platform/socket.h"

namespace korvanel {

struct Runtime;
class EventPoll;

// The texts of a tunnel's access-log line, taken from the handler that opened it.
struct TunnelLogFacts {
    std::string client;  // the client's address
    std::string host;
    std::string numeric_address;
    std::string port;
    std::string request_line;  // the CONNECT line, ending in CR LF
    std::string status_line;   // the answer's status line, ending in CR LF
    // Bytes the handler passed on before the hand-over, client to target and back.
    long long up_bytes = 0;
    long long down_bytes = 0;
};

struct TunnelHandOff {
    Socket client;
    Socket upstream;
    TunnelLogFacts log;
};

class TunnelLoop {
  public:
    explicit TunnelLoop(Runtime& rt);
    ~TunnelLoop();
    TunnelLoop(const TunnelLoop&) = delete;
    TunnelLoop& operator=(const TunnelLoop&) = delete;

    // Takes the tunnel over, starting the loop thread with the first one. False when the
    // loop is stopping or could not start: the sockets are then closed here.
    bool Add(TunnelHandOff tunnel);

    // Ends every tunnel (each with its access-log line) and the thread. Later Adds fail.
    void Stop();

  private:
    struct Tunnel;
    void Run();
    void Adopt();
    // Takes what an event tells of its socket's readiness.
    void Note(const EventPoll::Event& event);
    void Serve(uint64_t id);
    void SweepIdle();
    void Finish(uint64_t id, const char* mark);

    Runtime& rt_;
    std::unique_ptr<EventPoll> poll_;
    std::thread thread_;
    // Under mutex_: tunnels handed over and not yet adopted by the loop thread.
    std::mutex mutex_;
    std::vector<TunnelHandOff> handed_;
    bool started_ = false;
    bool stopping_ = false;
    std::atomic<bool> stop_requested_{false};
    // The loop thread's own.
    std::unordered_map<uint64_t, std::unique_ptr<Tunnel>> tunnels_;
    std::vector<uint64_t> unfinished_;  // served up to the round limit, to go on at once
    uint64_t next_id_ = 0;
};

}  // namespace korvanel
