// An origin server for load and fault tests. The request path says what to answer:
//
//   /<framing>/<size>/<seed>[/<fault>]
//
// framing: "len" (Content-Length), "chunk" (chunked, pieces of varied size, some with
// extensions) or "close" (no length; the body ends when the server closes).
// The body is PatternBytes(size, seed). fault: "stall" sends half the body and then waits
// until Release() (or a safety limit) before closing; "cut" closes after half the body;
// "reset" resets the connection (RST) after half the body.
// A request with a body ("POST /echo", by length or chunked) is answered with that body,
// by length. "/hold"
// reads the head and then nothing more until Release(), and closes.
// Kept connections are served until the proxy closes them.
#pragma once

#include <atomic>
#include <string>

#include "support/loopback.h"

namespace korvanel::testing {

class LoadOrigin {
  public:
    LoadOrigin();
    ~LoadOrigin();

    uint16_t port() const { return origin_.port(); }
    int accepted() const { return origin_.accepted(); }
    // Connections whose answer reached its fault point (half the body sent).
    int faults_reached() const { return faults_reached_.load(); }
    // Lets every stalled answer go on (to its close).
    void Release() { released_ = true; }

    // "http://127.0.0.1:<port>/<framing>/<size>/<seed>[/<fault>]"
    std::string Url(const std::string& framing, std::size_t size, unsigned seed,
                    const std::string& fault = "") const;
    std::string EchoUrl() const;
    std::string HoldUrl() const;

  private:
    void Serve(Socket& connection);
    bool Answer(Socket& connection, const std::string& head, std::string& rest);
    // Waits until Release() (or a safety limit).
    void Stall();

    std::atomic<bool> released_{false};
    std::atomic<bool> closing_{false};
    std::atomic<int> faults_reached_{0};
    ScriptedOrigin origin_;
};

// Closes `socket` with a reset (RST) instead of an orderly end of stream.
void CloseWithReset(Socket& socket);

}  // namespace korvanel::testing
