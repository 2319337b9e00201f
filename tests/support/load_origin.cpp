#include "support/load_origin.h"

#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace korvanel::testing {

namespace {

constexpr int kIdleKeptMs = 10000;  // how long a kept connection waits for the next request
constexpr int kStallLimitMs = 30000;
constexpr char kHeadEnd[] = "\r\n\r\n";

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t at = 1;
    while (at <= path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

// The path of a request line in origin form or absolute form.
std::string PathOf(const std::string& head) {
    std::size_t start = head.find(' ');
    std::size_t end = head.find(' ', start + 1);
    if (start == std::string::npos || end == std::string::npos) return "";
    std::string target = head.substr(start + 1, end - start - 1);
    std::size_t scheme = target.find("://");
    if (scheme != std::string::npos) {
        std::size_t slash = target.find('/', scheme + 3);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    return target;
}

long long ContentLengthOf(const std::string& head) {
    std::size_t at = head.find("\r\nContent-Length:");
    if (at == std::string::npos) at = head.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return std::atoll(head.c_str() + at + 17);
}

bool IsChunkedRequest(const std::string& head) {
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("\r\ntransfer-encoding: chunked") != std::string::npos;
}

// Takes `count` bytes from `rest`, receiving more as needed.
bool TakeBytes(Socket& connection, std::string& rest, std::size_t count, std::string& out) {
    if (rest.size() < count) rest += ReadCount(connection, count - rest.size());
    if (rest.size() < count) return false;
    out.append(rest, 0, count);
    rest.erase(0, count);
    return true;
}

// A chunked request body, decoded; false when it broke off.
bool TakeChunkedBody(Socket& connection, std::string& rest, std::string& body) {
    for (;;) {
        std::size_t end;
        while ((end = rest.find("\r\n")) == std::string::npos) {
            std::string more = ReadUntil(connection, "\n");
            if (more.empty()) return false;
            rest += more;
        }
        std::size_t size = std::strtoul(rest.c_str(), nullptr, 16);
        rest.erase(0, end + 2);
        std::string line_end;
        if (size == 0) {
            // Trailer lines up to the empty one.
            for (;;) {
                while ((end = rest.find("\r\n")) == std::string::npos) {
                    std::string more = ReadUntil(connection, "\n");
                    if (more.empty()) return false;
                    rest += more;
                }
                rest.erase(0, end + 2);
                if (end == 0) return true;
            }
        }
        if (!TakeBytes(connection, rest, size, body) || !TakeBytes(connection, rest, 2, line_end)) {
            return false;
        }
    }
}

// The chunked framing of `body` in pieces of varied size; every fifth has an extension.
std::string Chunked(const std::string& body, std::size_t& half_at) {
    std::string out;
    std::size_t at = 0;
    half_at = 0;
    for (int n = 0; at < body.size(); ++n) {
        std::size_t piece = std::min<std::size_t>(body.size() - at, 700 + (n * 2311) % 9000);
        char size[32];
        std::snprintf(size, sizeof size, n % 5 == 4 ? "%zX;ext=%d\r\n" : "%zx\r\n", piece, n);
        out += size;
        out.append(body, at, piece);
        out += "\r\n";
        at += piece;
        if (half_at == 0 && at >= body.size() / 2) half_at = out.size();
    }
    out += "0\r\n\r\n";
    if (half_at == 0) half_at = out.size() / 2;
    return out;
}

}  // namespace

void CloseWithReset(Socket& socket) {
    struct linger now {
        1, 0
    };
    setsockopt(socket.fd(), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    socket.Close();
}

LoadOrigin::LoadOrigin() : origin_([this](Socket& connection, int) { Serve(connection); }) {}

LoadOrigin::~LoadOrigin() {
    closing_ = true;
    released_ = true;
}

std::string LoadOrigin::Url(const std::string& framing, std::size_t size, unsigned seed,
                            const std::string& fault) const {
    std::string url = "http://127.0.0.1:" + std::to_string(port()) + "/" + framing + "/" +
                      std::to_string(size) + "/" + std::to_string(seed);
    return fault.empty() ? url : url + "/" + fault;
}

std::string LoadOrigin::EchoUrl() const {
    return "http://127.0.0.1:" + std::to_string(port()) + "/echo";
}

std::string LoadOrigin::HoldUrl() const {
    return "http://127.0.0.1:" + std::to_string(port()) + "/hold";
}

void LoadOrigin::Stall() {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStallLimitMs);
    while (!released_ && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void LoadOrigin::Serve(Socket& connection) {
    std::string rest;
    while (!closing_) {
        std::string got = rest + ReadUntil(connection, kHeadEnd, kIdleKeptMs);
        std::size_t end = got.find(kHeadEnd);
        if (end == std::string::npos) return;
        std::string head = got.substr(0, end + 4);
        rest = got.substr(end + 4);
        if (!Answer(connection, head, rest)) return;
    }
}

// One answer. False when the connection is to end.
bool LoadOrigin::Answer(Socket& connection, const std::string& head, std::string& rest) {
    const std::string path = PathOf(head);
    if (path == "/hold") {
        ++faults_reached_;
        Stall();
        return false;
    }
    if (path == "/echo") {
        std::string body;
        bool whole = IsChunkedRequest(head)
                         ? TakeChunkedBody(connection, rest, body)
                         : TakeBytes(connection, rest,
                                     static_cast<std::size_t>(ContentLengthOf(head)), body);
        if (!whole) return false;
        return WriteAll(connection,
                        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                            "\r\nConnection: keep-alive\r\n\r\n" + body);
    }
    std::vector<std::string> parts = SplitPath(path);
    if (parts.size() < 3) {
        WriteAll(connection, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        return false;
    }
    const std::string& framing = parts[0];
    std::string body = PatternBytes(std::strtoull(parts[1].c_str(), nullptr, 10),
                                    static_cast<unsigned>(std::atoi(parts[2].c_str())));
    const std::string fault = parts.size() > 3 ? parts[3] : "";
    std::string wire = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n";
    std::size_t half = 0;
    if (framing == "len") {
        wire +=
            "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: keep-alive\r\n\r\n";
        half = wire.size() + body.size() / 2;
        wire += body;
    } else if (framing == "chunk") {
        wire += "Transfer-Encoding: chunked\r\nConnection: keep-alive\r\n\r\n";
        std::size_t half_of_chunks = 0;
        std::string chunks = Chunked(body, half_of_chunks);
        half = wire.size() + half_of_chunks;
        wire += chunks;
    } else {
        wire += "Connection: close\r\n\r\n";
        half = wire.size() + body.size() / 2;
        wire += body;
    }
    if (fault.empty()) return WriteAll(connection, wire) && framing != "close";

    if (!WriteAll(connection, std::string_view(wire).substr(0, half))) return false;
    ++faults_reached_;
    if (fault == "reset") {
        CloseWithReset(connection);
        return false;
    }
    if (fault == "stall") Stall();
    return false;  // "cut", and a stall that has ended: close after half the body
}

}  // namespace korvanel::testing
