#include "engine/tunnel_answer.h"

#include "engine/socket_io.h"
#include "logging/log_producers.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

constexpr std::string_view kEstablished = "HTTP/1.1 200 Connection established\r\n";
constexpr std::string_view kBlankLine = "\r\n";

}  // namespace

bool AnswerEstablished(Runtime& rt, Socket& client, RequestState& r) {
    r.status_line = kEstablished;
    r.answer_headers = kBlankLine;
    LogSendHeaders(rt, r.request_line, r.request_headers);
    r.answer_started = true;
    if (SendAll(rt, client, {r.status_line.view(), r.answer_headers.view()}) != IoEnd::kDone) {
        SetErrorText(rt, r.error, "%s\n", text::kClientSendError);
        return false;
    }
    LogRecvHeaders(rt, r.status_line, r.answer_headers);
    LogHeaderPair(rt, r.request_line, r.request_headers, r.status_line, r.answer_headers);
    return true;
}

}  // namespace korvanel
