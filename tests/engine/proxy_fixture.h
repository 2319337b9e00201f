// A running proxy on a free loopback port with a scripted origin server behind it, for
// tests that go through the whole road of a request.
#pragma once

#include <memory>
#include <string>

#include "engine/engine_test_support.h"
#include "engine/listener.h"
#include "engine/listener_test_support.h"
#include "support/loopback.h"

namespace korvanel::testing {

class ProxyFixture : public EngineFixture {
  public:
    ProxyFixture() {
        ApplyNewFileDefaults(rt.settings);
        rt.settings.access_log = "0";
        proxy_port = UnusedLoopbackPort();
        rt.settings.port = std::to_string(proxy_port);
    }
    ~ProxyFixture() {
        if (rt.server.accept_thread.joinable()) StopServer(rt);
    }

    bool Start() { return StartServer(rt) == 1; }

    // The origin runs `script` for every connection it accepts.
    void Origin(ScriptedOrigin::Script script) {
        origin = std::make_unique<ScriptedOrigin>(std::move(script));
    }
    std::string OriginUrl(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(origin->port()) + path;
    }

    // A client connection to the proxy (in the test's own registry, so a stop leaves it).
    Socket Client() { return ConnectLoopback(clients, proxy_port); }

    // The access-log buffer's text.
    std::string AccessLog() {
        Hold hold(rt.logs.access.lock);
        return std::string(rt.logs.access.view());
    }

    uint16_t proxy_port = 0;
    SocketRegistry clients;
    std::unique_ptr<ScriptedOrigin> origin;
};

// Reads one HTTP answer head (through its blank line) from `socket`; the rest stays.
std::string ReadHeadOf(Socket& socket);

}  // namespace korvanel::testing
