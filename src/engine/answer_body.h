// The answer body of one request: which relay moves it, and whether the client connection
// stays open for another request afterwards.
#pragma once

#include <string_view>

#include "engine/handler_step.h"
#include "engine/request_state.h"
#include "platform/socket.h"

namespace korvanel {

struct Runtime;

enum class BodyMode {
    kNone,             // no body follows the head
    kLength,           // exactly the remaining bytes
    kUntilClose,       // everything until the server closes
    kChunked,          // decoded and re-chunked
    kChunkedFiltered,  // the same, through the tag filter
    kFilterWhole,      // the whole body came with the head: filtered at once
    kFiltered,         // through the tag filter, by length or until close
};

// The status code field of a status line.
std::string_view StatusCodeOf(std::string_view status_line);

// True for an interim answer (1xx other than 101): the final answer follows it on the
// same connection.
bool IsInterimAnswer(std::string_view status_line);
// At most this many interim answers are passed on or over before one is taken as final.
inline constexpr int kMaxInterimAnswers = 8;

// The relay for an answer with these facts. `filter_active`: the tag filter is on.
// `head_request`: the request was HEAD. `status_code`: the three digits of the status.
// Answers that never carry a body (to HEAD, 1xx, 204, 304) get kNone whatever their
// headers say, so that the proxy does not wait for bytes that will not come.
BodyMode ChooseBodyMode(const AnswerFacts& answer, bool filter_active, bool head_request,
                        std::string_view status_code);

// True when the connection may carry another request after an answer with these facts:
// HTTP/1.1, a length or chunked framing, no unchunked filtering, no "Connection: close",
// and "Connection: Keep-Alive" from the server.
bool KeepsConnection(const AnswerFacts& answer, std::string_view version);

// The body bytes that came with the answer head of `r` when they go to the client as they
// are: sent together with the head, they leave in one write (and one TLS record). Empty
// when the body is decoded, filtered or absent.
std::string_view BodyBytesWithHead(const RequestState& r);

// Relays the answer body of `r` from `upstream` to `client` and decides how the request
// ends: kKeepAlive for the next request on this connection, or the ending.
Ending RelayAnswerBody(Runtime& rt, Socket& client, Socket& upstream, RequestState& r);

}  // namespace korvanel
