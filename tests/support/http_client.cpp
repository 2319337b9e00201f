#include "support/http_client.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace korvanel::testing {

namespace {

std::string HostOf(const std::string& url) {
    std::size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    return url.substr(start, url.find('/', start) - start);
}

// The value of header `name` (lower-case, with its colon) in `head`, or "".
std::string HeaderValue(const std::string& head, const std::string& name) {
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t at = lower.find("\r\n" + name);
    if (at == std::string::npos) return "";
    at += 2 + name.size();
    while (at < head.size() && head[at] == ' ') ++at;
    return lower.substr(at, head.find("\r\n", at) - at);
}

}  // namespace

HttpClient::HttpClient(SocketRegistry& registry, uint16_t proxy_port)
    : socket_(ConnectLoopback(registry, proxy_port)) {}

bool HttpClient::Send(const std::string& method, const std::string& url, const std::string& body,
                      bool close) {
    std::string request = method + " " + url + " HTTP/1.1\r\nHost: " + HostOf(url) + "\r\n";
    if (!body.empty() || method == "POST") {
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    if (close) request += "Connection: close\r\n";
    request += "\r\n" + body;
    return WriteAll(socket_, request);
}

bool HttpClient::SendChunked(const std::string& url, const std::string& body, bool close) {
    std::string head = "POST " + url + " HTTP/1.1\r\nHost: " + HostOf(url) +
                       "\r\nTransfer-Encoding: chunked\r\n" +
                       (close ? "Connection: close\r\n" : "") + "\r\n";
    if (!WriteAll(socket_, head)) return false;
    std::size_t at = 0;
    for (int n = 0; at < body.size(); ++n) {
        std::size_t piece = std::min<std::size_t>(body.size() - at, 1 + (n * 3001) % 12000);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", piece);
        if (!WriteAll(socket_, size + body.substr(at, piece) + "\r\n")) return false;
        at += piece;
    }
    return WriteAll(socket_, "0\r\n\r\n");
}

bool HttpClient::Fill(int timeout_ms) {
    if (peer_closed_) return false;
    char piece[65536];
    for (;;) {
        IoResult got = socket_.Receive(piece, sizeof piece);
        if (got.status == IoStatus::kOk) {
            buffer_.append(piece, static_cast<std::size_t>(got.bytes));
            return true;
        }
        if (got.status != IoStatus::kWouldBlock) {
            peer_closed_ = true;
            peer_reset_ = got.status == IoStatus::kError && got.error == ECONNRESET;
            return false;
        }
        if (socket_.WaitReadable(timeout_ms) != PollResult::kReady) return false;
    }
}

bool HttpClient::Take(std::size_t count, std::string& out, int timeout_ms) {
    while (buffer_.size() < count) {
        if (!Fill(timeout_ms)) {
            out += buffer_;
            buffer_.clear();
            return false;
        }
    }
    out.append(buffer_, 0, count);
    buffer_.erase(0, count);
    return true;
}

bool HttpClient::TakeLine(std::string& out, int timeout_ms) {
    std::size_t end;
    while ((end = buffer_.find("\r\n")) == std::string::npos) {
        if (!Fill(timeout_ms)) return false;
    }
    out = buffer_.substr(0, end);
    buffer_.erase(0, end + 2);
    return true;
}

HttpAnswer HttpClient::Read(int timeout_ms) {
    HttpAnswer answer;
    std::size_t end;
    while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) {
        if (!Fill(timeout_ms)) {
            answer.closed = peer_closed_;
            answer.head = buffer_;
            return answer;
        }
    }
    answer.head = buffer_.substr(0, end + 4);
    buffer_.erase(0, end + 4);
    if (answer.head.size() > 12) answer.status = std::atoi(answer.head.c_str() + 9);
    std::string length = HeaderValue(answer.head, "content-length:");
    if (HeaderValue(answer.head, "transfer-encoding:").find("chunked") != std::string::npos) {
        for (;;) {
            std::string line;
            if (!TakeLine(line, timeout_ms)) break;
            std::size_t size = std::strtoul(line.c_str(), nullptr, 16);
            if (size == 0) {
                // Trailer lines up to the blank line.
                while (TakeLine(line, timeout_ms) && !line.empty()) {
                }
                answer.complete = line.empty();
                break;
            }
            std::string crlf;
            if (!Take(size, answer.body, timeout_ms) || !Take(2, crlf, timeout_ms)) break;
        }
    } else if (!length.empty()) {
        answer.complete = Take(std::strtoull(length.c_str(), nullptr, 10), answer.body, timeout_ms);
    } else {
        while (Fill(timeout_ms)) {
        }
        answer.body = buffer_;
        buffer_.clear();
        answer.complete = peer_closed_ && !peer_reset_;
    }
    if (!answer.complete || HeaderValue(answer.head, "connection:") == "close") {
        // Whether the proxy ends the connection now.
        if (buffer_.empty() && !peer_closed_) Fill(answer.complete ? 200 : timeout_ms);
    }
    answer.closed = peer_closed_;
    answer.reset = peer_reset_;
    return answer;
}

HttpAnswer HttpClient::Get(const std::string& url, int timeout_ms) {
    if (!Send("GET", url)) return HttpAnswer{};
    return Read(timeout_ms);
}

}  // namespace korvanel::testing
