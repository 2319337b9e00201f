// A small HTTP/1.1 client for load and fault tests: sends requests through a proxy on
// one connection and reads answers framed by length, chunks or the server's close.
#pragma once

#include <string>

#include "support/loopback.h"

namespace korvanel::testing {

struct HttpAnswer {
    std::string head;
    std::string body;  // de-chunked
    int status = 0;
    bool complete = false;  // the framing ended where it said (length, last chunk, close)
    bool closed = false;    // the proxy closed the connection after (or during) the answer
    bool reset = false;     // ... and it did so with a reset
};

class HttpClient {
  public:
    HttpClient(SocketRegistry& registry, uint16_t proxy_port);

    bool connected() const { return socket_.valid(); }
    Socket& socket() { return socket_; }

    // Sends "<method> <url> HTTP/1.1" with Host, and the body by Content-Length when given.
    bool Send(const std::string& method, const std::string& url, const std::string& body = "",
              bool close = false);
    // Sends a POST whose body goes as chunks of varied size, head and chunks in pieces.
    bool SendChunked(const std::string& url, const std::string& body, bool close = false);
    // Reads one answer; `timeout_ms` bounds every wait for more bytes.
    HttpAnswer Read(int timeout_ms = 10000);
    HttpAnswer Get(const std::string& url, int timeout_ms = 10000);

  private:
    bool Fill(int timeout_ms);
    bool Take(std::size_t count, std::string& out, int timeout_ms);
    bool TakeLine(std::string& out, int timeout_ms);

    Socket socket_;
    std::string buffer_;
    bool peer_closed_ = false;
    bool peer_reset_ = false;
};

}  // namespace korvanel::testing
