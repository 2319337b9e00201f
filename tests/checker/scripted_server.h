// A loopback TCP server in the test process that answers each connection with a script:
// it reads the request head, then hands the connection to the script, then closes it.
// Counts connections and the most that were open at once.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvanel::testing {

class ScriptedServer {
  public:
    // `fd` is the connection, `request` the head received (up to the empty line).
    using Script = std::function<void(int fd, const std::string& request)>;

    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return port_; }
    std::string address() const;  // "127.0.0.1:PORT"
    int connections() const { return connections_; }
    int max_open() const { return max_open_; }
    std::string last_request() const;

    // Shared by several servers, to count what is open across all of them.
    void ShareOpenCount(std::atomic<int>* open, std::atomic<int>* max_open);

  private:
    void AcceptLoop();
    void Serve(int fd);

    Script script_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> open_{0};
    std::atomic<int> max_open_{0};
    std::atomic<int>* shared_open_ = nullptr;
    std::atomic<int>* shared_max_ = nullptr;
    mutable std::mutex mutex_;
    std::string last_request_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// Writes all of `bytes` to `fd` (ignores failures).
void WriteAll(int fd, const std::string& bytes);
// A script that answers with `bytes` and closes.
ScriptedServer::Script Answer(std::string bytes);
// A script that waits `ms`, then answers with `bytes`.
ScriptedServer::Script AnswerAfter(int ms, std::string bytes);

// A script that says nothing until the peer closes (or `max_ms` have passed).
ScriptedServer::Script HoldUntilClosed(int max_ms);

// A checker-style page: head with the given extra header lines, a text/html body of
// exactly `body_size` bytes that holds `content` (the banner, say), padded with '.'.
std::string Page(const std::string& status, const std::string& headers, const std::string& content,
                 std::size_t body_size, bool with_length = true);

}  // namespace korvanel::testing
