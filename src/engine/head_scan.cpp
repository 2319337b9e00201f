#include "engine/head_scan.h"

#include <array>

namespace korvanel {

namespace {

constexpr std::array<std::string_view, 3> kTerminators = {"\r\n\r\n", "\n\n", "\r\r"};
constexpr std::array<std::string_view, 6> kHeadStarts = {"GET ",    "POST ", "HTTP/1.",
                                                         "DELETE ", "HEAD ", "PUT "};

std::string_view FindFrom(std::string_view received, std::size_t from) {
    for (std::string_view terminator : kTerminators) {
        if (received.find(terminator, from) != std::string_view::npos) return terminator;
    }
    return {};
}

}  // namespace

std::string_view FindHeadTerminator(std::string_view received) {
    return FindFrom(received, 0);
}

bool BeginsLikeHttp(std::string_view received, bool connect_allowed) {
    for (std::string_view start : kHeadStarts) {
        if (received.starts_with(start)) return true;
    }
    return connect_allowed && received.starts_with("CONNECT ");
}

HeadScan ScanHead(std::string_view received, HeadScanState& state, Terminator& terminator) {
    // A terminator is at most 4 bytes: one not found before can only end in the new bytes.
    std::size_t from = state.scanned > 3 ? state.scanned - 3 : 0;
    std::string_view found = FindFrom(received, from);
    state.scanned = received.size();
    if (!found.empty()) {
        terminator = found;
        return HeadScan::kComplete;
    }
    if (!state.start_tested && received.size() > kStartTestAfter) {
        if (!BeginsLikeHttp(received, state.connect_allowed)) return HeadScan::kNotHttp;
        state.start_tested = true;
    }
    if (!state.first_piece_tested) {
        state.first_piece_tested = true;
        if (received.size() > kFirstPieceWithoutLineEndLimit &&
            received.find_first_of("\r\n") == std::string_view::npos) {
            return HeadScan::kNoLineEnd;
        }
    }
    if (received.size() >= kHeadLimit) return HeadScan::kTooLong;
    return HeadScan::kMore;
}

}  // namespace korvanel
