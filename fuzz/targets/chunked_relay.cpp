// The chunked relays' socket loop: the fuzzer's bytes are what the sending side puts on the
// wire after a head, split between the bytes that came with the head and those still on a
// real loopback socket, which then closes. Byte 0 picks the head's terminator and the
// direction (an answer from a server, or a request body from a client, whose trailer section
// is read and dropped); byte 1 how many bytes came with the head.
//
// Whatever the bytes, the relay ends, and what reaches the receiving side is well-formed
// chunked data in the relay's own line end: sizes that match their data, never more data
// than was sent, and the last chunk exactly when the relay reports success.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/body_relay.h"
#include "engine/message_buffers.h"
#include "fuzz_support.h"
#include "quiet_front_end.h"
#include "runtime/runtime.h"
#include "support/loopback.h"

using namespace korvanel;

namespace {

struct World {
    fuzz::QuietFrontEnd front;
    Runtime rt{front};
    Socket listener;
    uint16_t port = 0;
    World() {
        // Short limits: a relay that waits on the closed side must not hold a run.
        rt.limits.send_step_ms = 20;
        rt.limits.send_patient_steps = 10;
        rt.limits.relay_idle_ms = 2000;
        listener = testing::ListenLoopback(rt.sockets, port);
    }
    testing::SocketPair Pair() {
        testing::SocketPair pair;
        pair.near = testing::ConnectLoopback(rt.sockets, port);
        pair.far = testing::AcceptOne(listener);
        return pair;
    }
};

// Reads the relay's output as chunks: each "%lx", line end, data, line end. Returns false
// when it is not such a sequence; `data` gets the decoded bytes, `last` whether it ended
// with the last chunk ("0" and the terminator).
bool ReadOutput(std::string_view out, std::string_view line_end, std::string_view terminator,
                std::size_t& data, bool& last) {
    data = 0;
    last = false;
    while (!out.empty()) {
        std::size_t end = out.find(line_end);
        if (end == std::string_view::npos || end == 0 || end > 16) return false;
        std::size_t size = 0;
        for (char c : out.substr(0, end)) {
            int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (value < 0) return false;
            size = size * 16 + static_cast<std::size_t>(value);
        }
        if (size == 0) {
            last = true;
            return out.substr(end) == terminator;
        }
        if (size > static_cast<std::size_t>(kRelayPiece)) return false;
        out.remove_prefix(end + line_end.size());
        if (out.size() < size + line_end.size()) return false;
        if (out.substr(size, line_end.size()) != line_end) return false;
        data += size;
        out.remove_prefix(size + line_end.size());
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static World world;
    if (size < 2 || !world.listener.valid()) return 0;
    const std::string_view terminator = fuzz::TerminatorFor(bytes[0]);
    const bool answer = (bytes[0] & 0x80) == 0;
    std::string_view wire(reinterpret_cast<const char*>(bytes + 2), size - 2);
    const std::size_t with_head = std::min<std::size_t>(bytes[1] * 4, wire.size());

    testing::SocketPair source = world.Pair();
    testing::SocketPair target = world.Pair();
    if (!source.near.valid() || !source.far.valid() || !target.near.valid() ||
        !target.far.valid()) {
        return 0;
    }
    // The fuzzer's inputs fit the socket's buffer: written at once, then the sender leaves.
    if (!testing::WriteAll(source.far, wire.substr(with_head))) return 0;
    source.far.Close();

    static char buffer[kRelayBufferSize];
    std::memcpy(buffer, wire.data(), with_head);
    ErrorText error;
    Terminator end(terminator);
    RelayResult result = answer
                             ? RelayChunked(world.rt, source.near, target.near, buffer,
                                            static_cast<long>(with_head), end, error)
                             : RelayChunkedRequestBody(world.rt, source.near, target.near, buffer,
                                                       static_cast<long>(with_head), end, error);
    target.near.Close();
    std::string out = testing::ReadToClose(target.far, nullptr, 5000);
    fuzz::Use(out);
    fuzz::Use(error.view());

    fuzz::Require(result == RelayResult::kComplete || result == RelayResult::kClosedInPiece ||
                      result == RelayResult::kFailed,
                  "a relay result");
    const std::string_view line_end = LineEndOf(terminator);
    std::size_t data = 0;
    bool last = false;
    fuzz::Require(ReadOutput(out, line_end, terminator, data, last),
                  "the output is chunks in the relay's line end");
    fuzz::Require(data <= wire.size(), "no more data than was sent");
    fuzz::Require(last == (result == RelayResult::kComplete),
                  "the last chunk exactly when the relay succeeded");
    return 0;
}
