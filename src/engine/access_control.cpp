#include "engine/access_control.h"

#include <algorithm>

#include "logging/log_producers.h"
#include "platform/dotted_quad.h"
#include "platform/local_addresses.h"
#include "platform/socket.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

// Each end of the range text keeps at most 29 characters.
using RangeEndText = FixedText<30>;

// Shortest text a dotted IPv4 address can have ("0.0.0.0").
constexpr std::size_t kShortestAddressText = 7;

void LogVerdict(Runtime& rt, std::string_view address, std::string_view verdict) {
    Hold hold(rt.locks.message);
    LogIp(rt, address, verdict);
}

bool InAllowedRange(Runtime& rt, uint32_t address) {
    Hold hold(rt.locks.settings);
    uint32_t low = std::min(rt.server.allowed_low, rt.server.allowed_high);
    uint32_t high = std::max(rt.server.allowed_low, rt.server.allowed_high);
    return address >= low && address <= high;
}

// The range ends are read exactly as the settings page and the configuration reader check
// them, so an end they accept never turns into another address.
uint32_t ToAddressOrZero(std::string_view text) {
    uint32_t address = 0;
    return ReadDottedQuad(RangeEndText(text).view(), address) ? address : 0;
}

}  // namespace

ClientCheck CheckClient(Runtime& rt, Socket& socket, int peer_family, ClientAddressText& address) {
    if (peer_family == Ipv6Family()) {
        LogVerdict(rt, address, text::kIpDisconnecting);
        return ClientCheck::kRefused;
    }
    if (peer_family != Ipv4Family()) return ClientCheck::kRefused;

    Ipv4Endpoint peer;
    if (!socket.PeerEndpoint(peer)) return ClientCheck::kPeerUnknown;
    FormatIpv4(peer.address, address.data(), address.kCapacity);
    address.sync_length();
    if (address.size() < kShortestAddressText) {
        LogVerdict(rt, address, text::kIpDisconnecting);
        return ClientCheck::kRefused;
    }

    bool admitted = StartsWithN(address, "127.0.0.1", 9) || StartsWithN(address, "0.0.0.0", 7);
    if (!admitted) admitted = InAllowedRange(rt, ToAddressOrZero(address));

    if (admitted) {
        LogVerdict(rt, address, text::kIpPermitted);
        return ClientCheck::kAdmitted;
    }
    LogVerdict(rt, address, text::kIpBlocked);
    {
        Hold hold(rt.locks.counter);
        ++rt.server.counters.blocked;
    }
    return ClientCheck::kRefused;
}

bool AnyTagFilterOn(Runtime& rt) {
    Hold hold(rt.locks.settings);
    return ComputeTagFilterActive(rt.settings) != 0;
}

AllowedRange ParseAllowedRange(std::string_view text) {
    std::size_t to = text.find("to");
    if (to == std::string_view::npos) {
        uint32_t only = ToAddressOrZero(text);
        return {only, only};
    }
    return {ToAddressOrZero(text.substr(0, to)), ToAddressOrZero(text.substr(to + 2))};
}

void LoadAllowedRange(Runtime& rt) {
    Hold hold(rt.locks.settings);
    AllowedRange range = ParseAllowedRange(rt.settings.allow_user);
    rt.server.allowed_low = range.low;
    rt.server.allowed_high = range.high;
}

bool IsThisMachine(std::string_view address) {
    if (address.starts_with("127.")) return true;
    const uint32_t value = ToAddressOrZero(address);
    if (value == 0) return false;
    for (uint32_t own : ListLocalIpv4()) {
        if (own == value) return true;
    }
    return false;
}

}  // namespace korvanel
