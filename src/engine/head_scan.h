// The pure part of reading an HTTP message head: where the head ends, and whether what
// has arrived so far can still be an HTTP head. Bytes in, a verdict out; no sockets, so
// the rules can be fed whole, piece by piece or byte by byte (tests, fuzzers).
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/message_buffers.h"

namespace korvanel {

// The head reader accepts at most this many bytes, so that a NUL always fits after them
// in the 15000-byte head buffer.
inline constexpr std::size_t kHeadBufferSize = 15000;
inline constexpr std::size_t kHeadLimit = kMaxHeadLength;
// A head longer than this whose first received piece holds no line end is refused.
inline constexpr std::size_t kFirstPieceWithoutLineEndLimit = 3000;
// The start test applies once more than this many bytes have arrived.
inline constexpr std::size_t kStartTestAfter = 20;

// The terminator found in `received`: "\r\n\r\n" anywhere first, then "\n\n", then
// "\r\r". Empty when none occurs.
std::string_view FindHeadTerminator(std::string_view received);

// True when `received` begins with one of "GET ", "POST ", "HTTP/1.", "DELETE ",
// "HEAD ", "PUT " (case-sensitive, with the blank), or with "CONNECT " when
// `connect_allowed` (tunnels are on).
bool BeginsLikeHttp(std::string_view received, bool connect_allowed = false);

enum class HeadScan {
    kComplete,   // a terminator was found; the head is everything received
    kMore,       // receive more
    kNotHttp,    // more than 20 bytes that do not begin like an HTTP head
    kNoLineEnd,  // the first piece was longer than 3000 bytes without CR or LF
    kTooLong,    // kHeadLimit bytes without a terminator
};

struct HeadScanState {
    std::size_t scanned = 0;  // bytes already searched without finding a terminator
    bool start_tested = false;
    bool first_piece_tested = false;
    bool connect_allowed = false;  // "CONNECT " is a start too
};

// Judges `received` (everything so far) after a piece has arrived. On kComplete the
// terminator is copied into `terminator`. Only the bytes that can form a new terminator
// with the latest piece are searched again, which finds the same terminator as a search
// of the whole text.
HeadScan ScanHead(std::string_view received, HeadScanState& state, Terminator& terminator);

}  // namespace korvanel
