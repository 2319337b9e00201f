// The client's side of an inspected connection: the fuzzer's bytes are what a browser sends
// first (its ClientHello, and what follows) on a real loopback connection, which then closes.
// They go through OpenSSL's reading of the hello, the servername callback (the name chosen
// for the certificate) and, for a name that can have one, the minting and caching of the
// certificate, as a handshake with a hostile client would.
//
// Whatever the bytes, the handshake ends (failed, or done when a finished handshake came),
// and a name given for a done one is one a certificate can carry.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "support/loopback.h"
#include "tls/certificate_name.h"
#include "tls/inspector.h"

using namespace korvanel;

namespace {

struct World {
    SocketRegistry registry;
    Socket listener;
    uint16_t port = 0;
    std::shared_ptr<Inspector> inspector;
    World() {
        char folder[] = "/tmp/korvanel-fuzz-hello-XXXXXX";
        fuzz::Require(::mkdtemp(folder) != nullptr, "a folder for the authority");
        InspectorOptions options;
        options.folder = folder;
        options.system_anchors = folder;  // no origin is met here
        std::string problem;
        bool created = false;
        inspector = Inspector::Open(options, problem, created);
        fuzz::Require(inspector != nullptr, "the inspector opens");
        listener = testing::ListenLoopback(registry, port);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    if (size < 1) return 0;
    // Byte 0 picks the CONNECT host (for a hello without a usable name).
    static constexpr std::string_view kConnectHosts[] = {"connect.test", "127.0.0.1", "a..b", ""};
    std::string_view connect_host = kConnectHosts[data[0] % 4];
    std::string_view hello(reinterpret_cast<const char*>(data + 1), size - 1);

    testing::SocketPair pair;
    pair.near = testing::ConnectLoopback(world.registry, world.port);
    pair.far = testing::AcceptOne(world.listener);
    fuzz::Require(pair.near.valid() && pair.far.valid(), "a loopback connection");
    testing::WriteAll(pair.far, hello);
    pair.far.ShutdownSend();

    HandshakeWait wait;
    wait.timeout_ms = 2000;
    wait.step_ms = 20;
    std::string name;
    std::string reason;
    HandshakeEnd end = world.inspector->AcceptClient(pair.near, connect_host, wait, name, reason);
    fuzz::Require(
        end == HandshakeEnd::kDone || end == HandshakeEnd::kFailed || end == HandshakeEnd::kTimeout,
        "the handshake ends");
    if (end == HandshakeEnd::kDone) {
        CertificateName normalised;
        fuzz::Require(NormaliseCertificateName(name, normalised) != NameKind::kNone,
                      "a done handshake's name can be a certificate's");
    }
    fuzz::Use(name);
    fuzz::Use(reason);
    return 0;
}
