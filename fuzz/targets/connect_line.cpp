// The CONNECT request line and the tunnel port list over any text: ReadConnectLine on the
// line as it came, and ParseTunnelPorts on the same bytes with the list's promises.
// Input: one byte choosing the line end, then the line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/connect_request.h"
#include "engine/message_buffers.h"
#include "fuzz_support.h"
#include "runtime/tunnel_values.h"

using namespace korvanel;

namespace {

bool Within(std::string_view part, std::string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void CheckPorts(std::string_view text) {
    TunnelPorts ports;
    if (!ParseTunnelPorts(text, ports)) return;
    fuzz::Require(ports.count >= 1 && ports.count <= kMaxTunnelPorts, "a list holds 1 to 32 ports");
    std::string formatted = FormatTunnelPorts(ports);
    TunnelPorts again;
    fuzz::Require(ParseTunnelPorts(formatted, again) && again == ports,
                  "a formatted list reads back as it was");
    for (int i = 0; i < ports.count; ++i) {
        fuzz::Require(ports.ports[i] != 0, "no port is 0");
        fuzz::Require(ports.Contains(ports.ports[i]), "a list contains its ports");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string_view line_end = LineEndOf(fuzz::TerminatorFor(data[0]));
    // A copy of its own, so that a read past the line shows under the address sanitizer.
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string_view line = text;

    ConnectTarget target;
    ConnectLine verdict = ReadConnectLine(line, line_end, target);
    fuzz::Use(target.host);
    fuzz::Use(target.port);
    fuzz::Use(target.port_value);
    if (verdict == ConnectLine::kConnect) {
        fuzz::Require(line.starts_with("CONNECT "), "a tunnel line begins with CONNECT");
        fuzz::Require(Within(target.host, line) && Within(target.port, line),
                      "the target lies within the line");
        fuzz::Require(!target.host.empty() && target.host.size() <= kMaxConnectHostLength,
                      "the host is 1 to 253 characters");
        fuzz::Require(target.port_value >= 1 && target.port_value <= 65535,
                      "the port is 1 to 65535");
        fuzz::Require(target.host.find_first_of(" \t\r\n/@[]:") == std::string_view::npos,
                      "the host holds no separator");
    } else {
        fuzz::Require(target.host.empty() && target.port_value == 0,
                      "a refused line leaves the target alone");
    }
    CheckPorts(line);
    return 0;
}
