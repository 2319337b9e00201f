#include "engine/answer_body.h"

#include <algorithm>

#include "engine/body_relay.h"
#include "engine/error_text.h"
#include "engine/text_fields.h"
#include "texts.h"

namespace korvanel {

namespace {

bool NeverHasBody(bool head_request, std::string_view code) {
    return head_request || code.starts_with("1") || code == "204" || code == "304";
}

// Without a length, these statuses are taken to have no body.
bool NoBodyWithoutLength(std::string_view code) {
    return code.starts_with("10") || code == "204" || code.starts_with("30");
}

// A body that ends with the server's close is whole only when the server closed in order:
// after a reset it was cut, and the client has to learn so.
Ending EndedByClose(Runtime& rt, const Socket& upstream, RequestState& r) {
    if (!upstream.Broken()) return Ending::kNormal;
    SetErrorText(rt, r.error, "%s\n", text::kServerReceiveError);
    return Ending::kError;
}

BodyMode BodyModeOf(const RequestState& r) {
    return ChooseBodyMode(r.answer, r.settings.tag_filter_active != 0,
                          r.request_line.starts_with("HEAD "), StatusCodeOf(r.status_line));
}

// Bytes past the announced length came with the head but are not part of this body.
long HeadBodyCount(const RequestState& r) {
    const AnswerFacts& a = r.answer;
    if (!a.no_length && a.remaining < 0) return static_cast<long>(a.content_length);
    return static_cast<long>(r.head_body.size());
}

}  // namespace

std::string_view BodyBytesWithHead(const RequestState& r) {
    const BodyMode mode = BodyModeOf(r);
    if (mode != BodyMode::kLength && mode != BodyMode::kUntilClose) return {};
    return {r.head_body.data(), static_cast<std::size_t>(HeadBodyCount(r))};
}

std::string_view StatusCodeOf(std::string_view status_line) {
    std::size_t at = 0;
    NextField(status_line, at);
    return NextField(status_line, at);
}

bool IsInterimAnswer(std::string_view status_line) {
    std::string_view code = StatusCodeOf(status_line);
    return code.starts_with("1") && code != "101";
}

BodyMode ChooseBodyMode(const AnswerFacts& a, bool filter_active, bool head_request,
                        std::string_view status_code) {
    if (NeverHasBody(head_request, status_code)) return BodyMode::kNone;
    const bool filter = a.html && filter_active;
    if (a.chunked) return filter ? BodyMode::kChunkedFiltered : BodyMode::kChunked;
    if (a.no_length) {
        // A filtered answer's head already went out without a length and with a close: a
        // redirect's page reaches the client like any other.
        if (filter) return BodyMode::kFiltered;
        if (NoBodyWithoutLength(status_code)) return BodyMode::kNone;
        // The body ends when the server closes; relayed whatever the version and headers,
        // so that it is never dropped.
        return BodyMode::kUntilClose;
    }
    if (filter) return a.remaining > 0 ? BodyMode::kFiltered : BodyMode::kFilterWhole;
    return BodyMode::kLength;
}

bool KeepsConnection(const AnswerFacts& a, std::string_view version) {
    return version == "1.1" && (!a.no_length || a.chunked) && !(a.filtered && !a.chunked) &&
           !a.close && a.keep_alive;
}

Ending RelayAnswerBody(Runtime& rt, Socket& client, Socket& upstream, RequestState& r) {
    AnswerFacts& a = r.answer;
    const BodyMode mode = BodyModeOf(r);
    char* buffer = r.head_body.data();
    long head_count = HeadBodyCount(r);
    if (!a.no_length && a.remaining < 0) a.remaining = 0;
    // What went with the head (all of these bytes, or none) is not sent again; the buffer
    // serves the relay from its start.
    if (a.sent_with_head > 0) head_count = 0;
    RelayResult result = RelayResult::kComplete;
    switch (mode) {
        case BodyMode::kNone:
            // A bodiless answer with a length carries none of it: nothing more to wait for.
            a.remaining = 0;
            break;
        case BodyMode::kLength:
            result = RelayLength(rt, client, upstream, buffer, head_count, a.remaining, r.error);
            break;
        case BodyMode::kUntilClose:
            result = RelayUntilClose(rt, client, upstream, buffer, head_count, r.error);
            if (result == RelayResult::kComplete || result == RelayResult::kClosedInPiece) {
                return EndedByClose(rt, upstream, r);
            }
            break;
        case BodyMode::kChunked:
            result = RelayChunked(rt, upstream, client, buffer, head_count, r.answer_terminator,
                                  r.error);
            break;
        case BodyMode::kChunkedFiltered:
            result = RelayChunkedFiltered(rt, upstream, client, buffer, head_count,
                                          r.answer_terminator, r.filter, r.error);
            break;
        case BodyMode::kFilterWhole:
            a.filtered = true;
            result = FilterWholeBody(rt, client, std::string_view(buffer, head_count), r.filter,
                                     r.error);
            break;
        case BodyMode::kFiltered:
            a.filtered = true;
            result = RelayFiltered(rt, client, upstream, buffer, head_count, a.remaining, r.filter,
                                   r.error);
            // Without a length, the server's close is the body's normal end.
            if (a.no_length &&
                (result == RelayResult::kFailed || result == RelayResult::kClosedInPiece)) {
                return EndedByClose(rt, upstream, r);
            }
            break;
    }
    if (result == RelayResult::kRevoked) return Ending::kQuiet;
    if (result == RelayResult::kFailed) return Ending::kError;
    if (result == RelayResult::kClosedInPiece) return Ending::kNormal;
    // Body bytes the client sent after the server's early answer are still unread.
    if (r.request_cut) return Ending::kNormal;
    return KeepsConnection(a, r.version) ? Ending::kKeepAlive : Ending::kNormal;
}

}  // namespace korvanel
