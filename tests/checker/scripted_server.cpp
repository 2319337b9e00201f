#include "checker/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace korvanel::testing {

namespace {

int Listen(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 64);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

void RaiseMax(std::atomic<int>& max, int value) {
    int seen = max.load();
    while (value > seen && !max.compare_exchange_weak(seen, value)) {
    }
}

}  // namespace

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
    listen_fd_ = Listen(port_);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
    stop_ = true;
    acceptor_.join();
    for (std::thread& worker : workers_) worker.join();
    ::close(listen_fd_);
}

std::string ScriptedServer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string ScriptedServer::last_request() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return last_request_;
}

void ScriptedServer::ShareOpenCount(std::atomic<int>* open, std::atomic<int>* max_open) {
    shared_open_ = open;
    shared_max_ = max_open;
}

void ScriptedServer::AcceptLoop() {
    while (!stop_) {
        pollfd entry{listen_fd_, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0) continue;
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        RaiseMax(max_open_, ++open_);
        if (shared_open_) RaiseMax(*shared_max_, ++*shared_open_);
        workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

void ScriptedServer::Serve(int fd) {
    std::string request;
    char buffer[4096];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (request.find("\r\n\r\n") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) continue;
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    {
        std::lock_guard<std::mutex> hold(mutex_);
        last_request_ = request;
    }
    script_(fd, request);
    --open_;
    if (shared_open_) --*shared_open_;
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

void WriteAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

ScriptedServer::Script Answer(std::string bytes) {
    return [bytes](int fd, const std::string&) { WriteAll(fd, bytes); };
}

ScriptedServer::Script AnswerAfter(int ms, std::string bytes) {
    return [ms, bytes](int fd, const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        WriteAll(fd, bytes);
    };
}

ScriptedServer::Script HoldUntilClosed(int max_ms) {
    return [max_ms](int fd, const std::string&) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
        char byte;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, 20) > 0 && ::recv(fd, &byte, 1, 0) <= 0) return;
        }
    };
}

std::string Page(const std::string& status, const std::string& headers, const std::string& content,
                 std::size_t body_size, bool with_length) {
    std::string body = content;
    if (body.size() < body_size) body.append(body_size - body.size(), '.');
    std::string head = status + "\r\nContent-Type: text/html\r\n" + headers;
    if (with_length) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return head + "\r\n" + body;
}

}  // namespace korvanel::testing
