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
Ending EndedByClose(Runtime& rt, HandlerState& s) {
    if (!s.upstream.Broken()) return Ending::kNormal;
    SetErrorText(rt, s.error, "%s\n", text::kServerReceiveError);
    return Ending::kError;
}

BodyMode BodyModeOf(const HandlerState& s) {
    return ChooseBodyMode(s.answer, s.settings.tag_filter_active != 0,
                          s.request_line.starts_with("HEAD "), StatusCodeOf(s.status_line));
}

// Bytes past the announced length came with the head but are not part of this body.
long HeadBodyCount(const HandlerState& s) {
    const AnswerFacts& a = s.answer;
    if (!a.no_length && a.remaining < 0) return static_cast<long>(a.content_length);
    return static_cast<long>(s.head_body.size());
}

}  // namespace

std::string_view BodyBytesWithHead(const HandlerState& s) {
    const BodyMode mode = BodyModeOf(s);
    if (mode != BodyMode::kLength && mode != BodyMode::kUntilClose) return {};
    return {s.head_body.data(), static_cast<std::size_t>(HeadBodyCount(s))};
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

Ending RelayAnswerBody(Runtime& rt, HandlerState& s) {
    AnswerFacts& a = s.answer;
    const BodyMode mode = BodyModeOf(s);
    char* buffer = s.head_body.data();
    long head_count = HeadBodyCount(s);
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
            result =
                RelayLength(rt, s.client, s.upstream, buffer, head_count, a.remaining, s.error);
            break;
        case BodyMode::kUntilClose:
            result = RelayUntilClose(rt, s.client, s.upstream, buffer, head_count, s.error);
            if (result == RelayResult::kComplete || result == RelayResult::kClosedInPiece) {
                return EndedByClose(rt, s);
            }
            break;
        case BodyMode::kChunked:
            result = RelayChunked(rt, s.upstream, s.client, buffer, head_count, s.answer_terminator,
                                  s.error);
            break;
        case BodyMode::kChunkedFiltered:
            result = RelayChunkedFiltered(rt, s.upstream, s.client, buffer, head_count,
                                          s.answer_terminator, s.filter, s.error);
            break;
        case BodyMode::kFilterWhole:
            a.filtered = 1;
            result = FilterWholeBody(rt, s.client, std::string_view(buffer, head_count), s.filter,
                                     s.error);
            break;
        case BodyMode::kFiltered:
            a.filtered = 1;
            result = RelayFiltered(rt, s.client, s.upstream, buffer, head_count, a.remaining,
                                   s.filter, s.error);
            // Without a length, the server's close is the body's normal end.
            if (a.no_length &&
                (result == RelayResult::kFailed || result == RelayResult::kClosedInPiece)) {
                return EndedByClose(rt, s);
            }
            break;
    }
    if (result == RelayResult::kRevoked) return Ending::kQuiet;
    if (result == RelayResult::kFailed) return Ending::kError;
    if (result == RelayResult::kClosedInPiece) return Ending::kNormal;
    // Body bytes the client sent after the server's early answer are still unread.
    if (s.request_cut) return Ending::kNormal;
    return KeepsConnection(a, s.version) ? Ending::kKeepAlive : Ending::kNormal;
}

}  // namespace korvanel
