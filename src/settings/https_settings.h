// The HTTPS settings as the window changes them: tunnels on or off, the ports they may go
// to, inspection on or off, the hosts left uninspected and the file of more trust anchors.
// Each text passes the same checks the configuration reader makes, so whatever the window
// stores is read back at the next start; the change itself is a worker command.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/tunnel_values.h"

namespace korvanel {

struct Runtime;

// One change of one HTTPS setting; only the member of its field is used.
struct HttpsChange {
    enum class Field { kTunnel, kTunnelPorts, kInspect, kInspectExcept, kExtraCaFile };
    Field field = Field::kTunnel;
    bool on = false;
    TunnelPorts ports;
    std::vector<std::string> patterns;
    std::string path;
};

// The host patterns of a text of one pattern a line (CR LF or LF; blank lines and blanks
// around a pattern are dropped). Nothing when a line is not a pattern (`bad_line` gets it)
// or there are more than kMaxHostPatterns of them (`bad_line` stays empty).
std::optional<std::vector<std::string>> ParseHostPatternLines(std::string_view text,
                                                              std::string& bad_line);

// True for a path `data` can hold as the extra anchors file: one line, not too long.
bool IsStorableCaPath(std::string_view path);

// Stores the change under the settings lock on a worker thread and waits for it. 1 when
// it ran, kThreadNotStarted when its thread could not be started (the dialog was shown).
int ApplyHttpsChange(Runtime& rt, HttpsChange change);
// The change itself, for the worker thread: takes the settings lock.
void ApplyHttpsChangeNow(Runtime& rt, const HttpsChange& change);

}  // namespace korvanel
