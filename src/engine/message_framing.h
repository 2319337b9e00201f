// How a message's body is framed, read from its header block the way RFC 9112 reads it, and
// whether the block is well-formed enough to be passed on at all. A proxy that frames a body
// one way while the next reader frames it another lets a second request hide inside the
// first (request smuggling); so any doubt refuses the message.
//
// Every header line must be `name ":" OWS value OWS`: the name a token, no blank before the
// colon, no line starting with a blank (obs-fold), no control byte but a tab in the value.
// Transfer-Encoding and Content-Length are recognised in any case and with any blanks. A
// message with both, Content-Length values that are not one decimal number, and (in a
// request) a transfer coding list that does not end in a single "chunked" are refused.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvanel {

enum class MessageSide { kRequest, kAnswer };

enum class FramingVerdict {
    kOk,
    // The header block is malformed or its framing ambiguous: a request gets 400, an answer
    // the error page.
    kMalformed,
    // A request's transfer coding this program does not know: 501.
    kUnknownCoding,
};

struct Framing {
    FramingVerdict verdict = FramingVerdict::kOk;
    // The body is a series of chunks.
    bool chunked = false;
    // The Content-Length value; -1 when there is none (then an answer that is not chunked
    // ends when the connection does, and a request that is not chunked has no body).
    std::int64_t length = -1;
};

// Reads the framing of `block`, the header lines after the start line up to and with the
// blank line (`terminator` tells the line end), of a request or an answer.
Framing ReadFraming(std::string_view block, std::string_view terminator, MessageSide side);

}  // namespace korvanel
