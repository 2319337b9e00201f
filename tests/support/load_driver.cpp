#include "support/load_driver.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/http_client.h"

namespace korvanel::testing {

namespace {

struct Tally {
    std::atomic<int> succeeded{0};
    std::atomic<int> failed{0};
    std::mutex mutex;
    std::string first_failure;

    void Fail(const std::string& what) {
        if (failed++ == 0) {
            std::lock_guard<std::mutex> hold(mutex);
            first_failure = what;
        }
    }
};

struct OneRequest {
    std::string method = "GET";  // or "POST", or "CHUNKED" for a POST with a chunked body
    std::string url;
    std::string body;      // sent
    std::string expected;  // answer body
};

// Request `n` of client `client`: mostly bodies by length of sizes from empty to 200 KB,
// some chunked, some until close, some uploads (by length or chunked) answered by echo.
OneRequest Plan(const LoadOrigin& origin, int client, int n) {
    const unsigned seed = static_cast<unsigned>(client * 1000 + n + 1);
    const std::size_t size = (static_cast<std::size_t>(seed) * 7919u) % 200000u;
    OneRequest r;
    switch (n % 8) {
        case 0:
            r.url = origin.Url("len", 0, seed);
            break;
        case 1:
        case 2:
        case 3:
            r.url = origin.Url("len", size, seed);
            r.expected = PatternBytes(size, seed);
            break;
        case 4:
        case 5:
            r.url = origin.Url("chunk", size, seed);
            r.expected = PatternBytes(size, seed);
            break;
        case 6:
            r.url = origin.Url("close", size / 4, seed);
            r.expected = PatternBytes(size / 4, seed);
            break;
        default:
            r.method = seed % 2 ? "POST" : "CHUNKED";
            r.url = origin.EchoUrl();
            r.body = PatternBytes(1 + size / 4, seed);
            r.expected = r.body;
            break;
    }
    return r;
}

void RunClient(uint16_t proxy_port, const LoadOrigin& origin, const LoadPlan& plan, int client,
               Tally& tally) {
    SocketRegistry registry;
    std::unique_ptr<HttpClient> connection;
    // Even clients keep their connection as long as the proxy does; odd ones take a new
    // connection for every request.
    const bool keep = client % 2 == 0;
    for (int n = 0; n < plan.requests_per_client; ++n) {
        OneRequest r = Plan(origin, client, n);
        if (!connection || !keep) connection = std::make_unique<HttpClient>(registry, proxy_port);
        const std::string what = "client " + std::to_string(client) + " request " +
                                 std::to_string(n) + " " + r.method + " " + r.url;
        bool sent = connection->connected() &&
                    (r.method == "CHUNKED" ? connection->SendChunked(r.url, r.body, !keep)
                                           : connection->Send(r.method, r.url, r.body, !keep));
        if (!sent) {
            tally.Fail(what + ": no connection or send failed");
            connection.reset();
            continue;
        }
        HttpAnswer answer = connection->Read(plan.timeout_ms);
        if (answer.status != 200 || !answer.complete || answer.body != r.expected) {
            tally.Fail(what + ": status " + std::to_string(answer.status) + ", complete " +
                       std::to_string(answer.complete) + ", body " +
                       std::to_string(answer.body.size()) + " of " +
                       std::to_string(r.expected.size()) + " bytes" +
                       (answer.body == r.expected.substr(0, answer.body.size()) ? " (a prefix)"
                                                                                : " (differs)") +
                       "\n" + answer.head);
        } else {
            ++tally.succeeded;
        }
        if (answer.closed) connection.reset();
    }
}

}  // namespace

LoadResult RunLoad(uint16_t proxy_port, const LoadOrigin& origin, const LoadPlan& plan) {
    Tally tally;
    std::vector<std::thread> clients;
    for (int c = 0; c < plan.clients; ++c) {
        clients.emplace_back([&, c] { RunClient(proxy_port, origin, plan, c, tally); });
    }
    for (std::thread& t : clients) t.join();
    return LoadResult{tally.succeeded.load(), tally.failed.load(), tally.first_failure};
}

}  // namespace korvanel::testing
