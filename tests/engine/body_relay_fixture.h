// A relay between two loopback socket pairs, for the body relay tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <thread>

#include "engine/body_relay.h"
#include "engine/engine_test_support.h"
#include "support/loopback.h"

namespace korvanel {

// Failure messages show a relay result as its number rather than as raw bytes.
inline void PrintTo(RelayResult result, std::ostream* out) {
    *out << static_cast<int>(result);
}

// The proxy's two connections: client.near / upstream.near are the proxy's ends.
class BodyRelay : public ::testing::Test, public testing::EngineFixture {
  protected:
    BodyRelay() {
        client = testing::MakePair(rt.sockets);
        upstream = testing::MakePair(rt.sockets);
    }
    // Puts `bytes` into the relay buffer as the body bytes that came with the head.
    long HeadBody(const std::string& bytes) {
        std::memcpy(buffer, bytes.data(), bytes.size());
        return static_cast<long>(bytes.size());
    }
    // Runs `relay` while the server side writes `from_server` (then closes when asked) and
    // the client side reads until the proxy closes its end.
    template <typename Relay>
    RelayResult Run(Relay relay, const std::string& from_server, bool server_closes,
                    std::string& to_client) {
        std::thread server([&] {
            testing::WriteAll(upstream.far, from_server);
            if (server_closes) upstream.far.Close();
        });
        std::thread reader([&] { to_client = testing::ReadToClose(client.far); });
        RelayResult result = relay();
        server.join();
        client.near.Close();
        reader.join();
        return result;
    }

    // Runs the chunked relay on a server that sends `wire` and closes.
    RelayResult RunChunkedToClose(const std::string& wire, std::string& to_client) {
        return Run(
            [&] {
                return RelayChunked(rt, upstream.near, client.near, buffer, 0,
                                    Terminator("\r\n\r\n"), error);
            },
            wire, true, to_client);
    }

    testing::SocketPair client;
    testing::SocketPair upstream;
    char buffer[kRelayBufferSize];
    ErrorText error;
};

}  // namespace korvanel
