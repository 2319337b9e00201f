#include "engine/connection_handler.h"

#include <array>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/access_control.h"
#include "engine/answer_body.h"
#include "engine/body_relay.h"
#include "engine/connection_state.h"
#include "engine/handler_endings.h"
#include "engine/head_split.h"
#include "engine/header_predicates.h"
#include "engine/header_rules.h"
#include "engine/message_framing.h"
#include "engine/origin_route.h"
#include "engine/request_line.h"
#include "engine/request_state.h"
#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "engine/status_line.h"
#include "engine/tunnel_loop.h"
#include "engine/tunnel_open.h"
#include "engine/upgrade_relay.h"
#include "logging/log_producers.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

class Handler {
  public:
    Handler(Runtime& rt, ConnectionState& c, RequestState& r) : rt_(rt), c_(c), r_(r) {}

    Ending ServeRequest();

  private:
    StepResult ReadRequest();
    StepResult ParseRequest();
    StepResult ChooseTarget();
    StepResult Connect();
    StepResult RewriteRequest();
    StepResult SendRequest();
    StepResult ReadAnswer();
    IoEnd ReadAnswerHead();
    StepResult Resend();
    StepResult TakeEarlyAnswer();
    bool SplitAnswer();
    StepResult PassInterimAnswers();
    bool SendInterimAnswer();
    StepResult ParseAnswer();
    StepResult SendAnswerHead();

    // The road to the origin of this request.
    OriginRoute Route() const { return OriginRoute::ForRequest(c_, r_.settings); }

    Ending Fail(const char* reason) {
        SetErrorText(rt_, r_.error, "%s", reason);
        return Ending::kError;
    }
    // A request refused before it goes anywhere: the page under `head`, and the connection
    // ends after it (what the client sent behind the head is drained, not answered).
    Ending Refuse(std::string_view head, const char* reason) {
        r_.error_head = head;
        r_.request_cut = true;
        return Fail(reason);
    }
    Ending FailWithTarget(const char* format) {
        SetErrorText(rt_, r_.error, format, r_.host.c_str(), r_.port.c_str());
        return Ending::kError;
    }
    bool Stopping() { return IsStopping(rt_); }

    // The request as it goes to the server: line, header block, the body bytes that came
    // with the head.
    std::array<std::string_view, 3> RequestParts() const {
        return {r_.request_line.view(), r_.request_headers.view(),
                r_.head_body.view().substr(0, static_cast<std::size_t>(r_.body_in_request_head))};
    }

    Runtime& rt_;
    ConnectionState& c_;
    RequestState& r_;
};

Ending Handler::ServeRequest() {
    using Step = StepResult (Handler::*)();
    static constexpr Step kRoad[] = {
        &Handler::ReadRequest, &Handler::ParseRequest,   &Handler::ChooseTarget,
        &Handler::Connect,     &Handler::RewriteRequest, &Handler::SendRequest,
        &Handler::ReadAnswer,  &Handler::ParseAnswer,    &Handler::SendAnswerHead,
    };
    r_.Clear();
    for (Step step : kRoad) {
        if (StepResult ending = (this->*step)()) return *ending;
    }
    // The connection changed protocols (WebSocket): from here on a relay both ways.
    if (StatusCodeOf(r_.status_line) == "101") {
        return RelayUpgraded(rt_, c_.client, c_.upstream, r_);
    }
    return RelayAnswerBody(rt_, c_.client, c_.upstream, r_);
}

StepResult Handler::ReadRequest() {
    CountConnection(rt_, c_.keep_alive ? CounterChange::kKeptStarts : CounterChange::kFirstStarts);
    c_.counted = true;
    int timeout = c_.keep_alive ? rt_.limits.kept_request_head_timeout_ms
                                : rt_.limits.first_request_head_timeout_ms;
    // With tunnels on, a CONNECT head may come in pieces like any other.
    bool connect_allowed = false;
    if (!c_.site.active()) {
        Hold hold(rt_.locks.settings);
        connect_allowed = rt_.settings.https_tunnel;
    }
    IoEnd read = ReadHead(rt_, c_.client, r_.head, r_.head_count, r_.request_terminator, r_.error,
                          "client", timeout, 0, connect_allowed);
    if (read == IoEnd::kNotSocket || Stopping()) return Ending::kQuiet;
    if (read == IoEnd::kNothing && r_.head_count == 0) {
        // No byte of a new request came in time. Browsers open connections ahead of use and
        // keep them for later: a page sent now, unasked, could be taken as the answer to the
        // request the browser sends at this very moment. The connection ends as if the
        // client had closed it.
        r_.error.clear();
        return Ending::kError;
    }
    if (read != IoEnd::kDone) return Ending::kError;
    // The settings of this request.
    Hold hold(rt_.locks.settings);
    const Settings& settings = rt_.settings;
    r_.settings.cookie = settings.cookie;
    r_.settings.setcookie = settings.setcookie;
    r_.settings.agent = settings.agent;
    r_.settings.proxy = settings.proxy;
    r_.settings.proxy_kind = settings.proxy_kind;
    const ProxyLogin* login = settings.proxy_logins.empty() || settings.proxy.empty()
                                  ? nullptr
                                  : settings.LoginOf(settings.proxy.view());
    r_.settings.proxy_user.clear();
    r_.settings.proxy_password.clear();
    if (login != nullptr) {
        r_.settings.proxy_user = login->user;
        r_.settings.proxy_password = login->password;
    }
    r_.settings.port = settings.port;
    r_.settings.http_version = settings.http_version;
    r_.settings.tag_filter_active = settings.tag_filter_active;
    r_.settings.https_tunnel = settings.https_tunnel;
    r_.settings.tunnel_ports = settings.tunnel_ports;
    r_.settings.https_inspect = settings.InspectsHttps();
    return kGoOn;
}

StepResult Handler::ParseRequest() {
    const Terminator& terminator = r_.request_terminator;
    std::string_view head(r_.head, static_cast<std::size_t>(r_.head_count));
    if (!SplitHead(head, terminator, r_.request_line, r_.request_headers)) {
        return Fail(text::kUnsupportedHeader);
    }
    ConnectTarget tunnel;
    if (c_.site.active()) {
        if (!FromInspectedForm(c_.site.host, c_.site.port, terminator, r_.request_line)) {
            return Fail(text::kUnsupportedHeader);
        }
    } else if (r_.settings.https_tunnel &&
               ReadConnectLine(r_.request_line.view(), LineEndOf(terminator), tunnel) ==
                   ConnectLine::kConnect) {
        return OpenTunnel(rt_, c_, r_, tunnel);
    }
    if (!NormaliseRequestLine(terminator, r_.request_line)) {
        return Fail(text::kUnsupportedHeader);
    }
    const bool client_http10 = EffectiveVersion(r_.request_line, terminator, "") == "1.0";
    r_.version = EffectiveVersion(r_.request_line, terminator, r_.settings.http_version);
    if (r_.version == "1.0") ForceHttp10(terminator, r_.request_line);
    if (!SplitBody(terminator, r_.request_headers, r_.head_body)) {
        return Fail(text::kUnsupportedHeader);
    }
    Framing framing = ReadFraming(r_.request_headers, terminator, MessageSide::kRequest);
    // HTTP/1.0 has no chunks: a reader of that version would take them as the body.
    if (framing.chunked && client_http10) framing.verdict = FramingVerdict::kMalformed;
    if (framing.verdict == FramingVerdict::kMalformed) {
        return Refuse(text::kBadRequestHead, text::kClientHeadUnsupported);
    }
    if (framing.verdict == FramingVerdict::kUnknownCoding) {
        return Refuse(text::kNotImplementedHead, text::kUnknownTransferCoding);
    }
    r_.request_length = framing.length;
    // Body bytes beyond the announced length are not part of this request. A chunked
    // body goes through the chunked relay, the bytes that came with the head included.
    r_.request_chunked = framing.chunked;
    r_.body_in_request_head = r_.request_chunked ? 0 : static_cast<long>(r_.head_body.size());
    if (r_.request_length >= 0 && r_.body_in_request_head > r_.request_length) {
        r_.body_in_request_head = static_cast<long>(r_.request_length);
    }
    return kGoOn;
}

StepResult Handler::ChooseTarget() {
    return Route().ChooseTarget(rt_, r_);
}

StepResult Handler::Connect() {
    switch (Route().Open(rt_, c_, r_)) {
        case RouteOpen::kOpen:
            return kGoOn;
        case RouteOpen::kStopped:
            return Ending::kQuiet;
        case RouteOpen::kSelf:
        case RouteOpen::kFailed:
            break;
    }
    // The user sees why the page did not load.
    return Ending::kError;
}

StepResult Handler::RewriteRequest() {
    const Terminator& terminator = r_.request_terminator;
    {
        Hold hold(rt_.locks.settings);
        // Such a host ends the connection without an answer (the text is too short to be
        // sent as a page).
        if (r_.host.size() > kMaxTargetHostLength) return Ending::kError;
        ApplyHeaderRules(r_.request_headers, rt_.settings.send_headers, terminator);
    }
    RequestEdits edits{r_.settings.agent.view(), r_.settings.tag_filter_active, r_.version == "1.0",
                       r_.settings.cookie.view() == "1"};
    ApplyRequestEdits(r_.request_headers, edits, terminator);
    // The proxy's own login goes in place of any the browser sent.
    if (!Route().PutLogin(r_)) return Fail(text::kUnsupportedHeader);
    if (Stopping()) return Ending::kRefused;
    return kGoOn;
}

StepResult Handler::SendRequest() {
    auto [line, headers, body] = RequestParts();
    long sent = SendCounted(rt_, c_.upstream, {line, headers, body});
    if (sent <= 0) return FailWithTarget(text::kCannotSend);
    AddBytesSent(rt_, sent);
    LogSendHeaders(rt_, r_.request_line, r_.request_headers);
    return kGoOn;
}

IoEnd Handler::ReadAnswerHead() {
    return ReadHead(rt_, c_.upstream, r_.head, r_.head_count, r_.answer_terminator, r_.error,
                    "server", rt_.limits.answer_head_timeout_ms);
}

StepResult Handler::ReadAnswer() {
    long long relayed = 0;
    if (r_.request_chunked) {
        RelayResult result = RelayChunkedRequestBody(
            rt_, c_.client, c_.upstream, r_.head_body.data(),
            static_cast<long>(r_.head_body.size()), r_.request_terminator, r_.error);
        relayed = 1;  // the relay decoded in place: nothing is left to send again
        if (result == RelayResult::kRevoked) return Ending::kQuiet;
        if (result != RelayResult::kComplete) return Ending::kError;
    } else if (r_.request_length > r_.body_in_request_head) {
        long long remaining = r_.request_length - r_.body_in_request_head;
        const long long start = remaining;
        bool server_failed = false;
        RelayResult result = RelayRequestBody(rt_, c_.client, c_.upstream, r_.head, remaining,
                                              r_.error, &server_failed);
        relayed = start - remaining;
        AddBytesSent(rt_, relayed);
        if (result == RelayResult::kRevoked) return Ending::kQuiet;
        if (result != RelayResult::kComplete) {
            return server_failed ? TakeEarlyAnswer() : Ending::kError;
        }
    }
    // The request's body bytes stay in the head-body buffer until the answer head is
    // split: a resend needs them.
    if (Stopping()) return Ending::kQuiet;
    IoEnd read = ReadAnswerHead();
    if (read == IoEnd::kNotSocket) return Ending::kQuiet;
    if (read != IoEnd::kDone) {
        // A server that is only slow has the request already: sent again, it would be
        // carried out twice. A body relayed after the head cannot be sent again. Either
        // way the reader's text says what went wrong.
        if (read == IoEnd::kNothing || relayed > 0) return Ending::kError;
        if (StepResult resent = Resend()) return resent;
    }
    AddBytesReceived(rt_, r_.head_count);
    return kGoOn;
}

// The server stopped taking the request body. When it has answered already, the client
// gets that answer (and the connection ends after it, the rest of the body unread);
// otherwise the relay's failure stands.
StepResult Handler::TakeEarlyAnswer() {
    if (Stopping()) return Ending::kQuiet;
    ErrorText relay_error = r_.error;
    IoEnd read = ReadHead(rt_, c_.upstream, r_.head, r_.head_count, r_.answer_terminator, r_.error,
                          "server", kEarlyAnswerWaitMs);
    if (read == IoEnd::kNotSocket) return Ending::kQuiet;
    if (read != IoEnd::kDone) {
        r_.error = relay_error;
        r_.answer_terminator.clear();
        return Ending::kError;
    }
    r_.request_cut = true;
    AddBytesReceived(rt_, r_.head_count);
    return kGoOn;
}

// The server dropped the connection (or failed) before answering: the request once more
// on a new connection.
StepResult Handler::Resend() {
    if (Stopping()) return Ending::kQuiet;
    if (Route().Reopen(rt_, c_, r_) != RouteOpen::kOpen) {
        SetErrorText(rt_, r_.error, "%s", text::kServerReceiveError);
        return Ending::kQuiet;
    }
    // Counted once, when the request was first sent.
    auto [line, headers, body] = RequestParts();
    IoEnd sent = SendAll(rt_, c_.upstream, {line, headers, body});
    if (sent == IoEnd::kNotSocket) return Ending::kQuiet;
    if (sent != IoEnd::kDone) return FailWithTarget(text::kCannotSend);
    IoEnd read = ReadAnswerHead();
    if (read == IoEnd::kNotSocket) return Ending::kQuiet;
    if (read != IoEnd::kDone) return Ending::kError;
    return kGoOn;
}

bool Handler::SplitAnswer() {
    const Terminator& terminator = r_.answer_terminator;
    std::string_view head(r_.head, static_cast<std::size_t>(r_.head_count));
    if (!SplitHead(head, terminator, r_.status_line, r_.answer_headers) ||
        !NormaliseStatusLine(terminator, r_.status_line) ||
        !SplitBody(terminator, r_.answer_headers, r_.head_body)) {
        return false;
    }
    return true;
}

// Interim answers ("100 Continue" and the like) go on to a client that asked for one
// ("Expect: 100-continue" over HTTP/1.1); any other client is waiting for the final answer
// only, and they are passed over. The final answer follows on the same connection; what
// came after an interim head is the beginning of the next one.
StepResult Handler::PassInterimAnswers() {
    const bool wanted =
        r_.version == "1.1" && ExpectsContinue(r_.request_headers, r_.request_terminator);
    for (int passed = 0; IsInterimAnswer(r_.status_line) && passed < kMaxInterimAnswers; ++passed) {
        if (wanted && !SendInterimAnswer()) {
            SetErrorText(rt_, r_.error, "%s\n", text::kClientSendError);
            return Ending::kError;
        }
        long already = static_cast<long>(r_.head_body.size());
        std::memcpy(r_.head, r_.head_body.data(), static_cast<std::size_t>(already));
        IoEnd read = ReadHead(rt_, c_.upstream, r_.head, r_.head_count, r_.answer_terminator,
                              r_.error, "server", rt_.limits.answer_head_timeout_ms, already);
        if (read == IoEnd::kNotSocket) return Ending::kQuiet;
        if (read != IoEnd::kDone) return Ending::kError;
        AddBytesReceived(rt_, r_.head_count - already);
        if (!SplitAnswer()) return Fail(text::kServerHeadUnsupported);
    }
    return kGoOn;
}

// An interim answer is no answer yet: a failure after it still gets the error page.
bool Handler::SendInterimAnswer() {
    std::string_view block = r_.answer_headers.view();
    // A head without header lines holds its blank line twice in the block (see SplitHead);
    // it goes out as it came.
    if (block == r_.answer_terminator.view()) block = LineEndOf(block);
    return SendAll(rt_, c_.client, {r_.status_line.view(), block}) == IoEnd::kDone;
}

StepResult Handler::ParseAnswer() {
    const Terminator& terminator = r_.answer_terminator;
    if (!SplitAnswer()) return Fail(text::kServerHeadUnsupported);
    if (StepResult passed = PassInterimAnswers()) return passed;
    // The body is framed as the server framed it, before the user's rules edit the head.
    const Framing framing = ReadFraming(r_.answer_headers, terminator, MessageSide::kAnswer);
    if (framing.verdict != FramingVerdict::kOk) return Fail(text::kServerHeadUnsupported);
    // A change of protocols nobody asked for would turn the connection into a blind relay.
    if (StatusCodeOf(r_.status_line) == "101" &&
        !AsksForUpgrade(r_.request_headers, r_.request_terminator)) {
        return Fail(text::kServerHeadUnsupported);
    }
    {
        Hold hold(rt_.locks.settings);
        ApplyHeaderRules(r_.answer_headers, rt_.settings.recv_headers, terminator);
    }
    AnswerFacts& a = r_.answer;
    a.keep_alive = HasConnectionKeepAlive(r_.answer_headers, terminator);
    if (r_.settings.setcookie.view() == "1") RemoveSetCookies(r_.answer_headers, terminator);
    a.content_length = framing.length;
    a.no_length = a.content_length == -1;
    a.close = HasConnectionClose(r_.answer_headers, terminator);
    a.html = IsHtml(r_.answer_headers, terminator);
    a.chunked = framing.chunked;
    a.remaining = a.no_length ? -1 : a.content_length - static_cast<long long>(r_.head_body.size());
    r_.head[0] = '\0';
    if (a.html && !a.chunked && r_.settings.tag_filter_active) {
        FrameFilteredAnswer(r_.answer_headers, terminator);
        // The head now tells the client the connection ends with this answer, body or not.
        a.close = true;
        a.keep_alive = false;
    }
    if (Stopping()) return Ending::kRefused;
    return kGoOn;
}

StepResult Handler::SendAnswerHead() {
    r_.answer_started = true;
    std::string_view body = BodyBytesWithHead(r_);
    r_.answer.sent_with_head = static_cast<long>(body.size());
    if (SendAll(rt_, c_.client, {r_.status_line.view(), r_.answer_headers.view(), body}) !=
        IoEnd::kDone) {
        SetErrorText(rt_, r_.error, "%s\n", text::kClientSendError);
        return Ending::kError;
    }
    LogRecvHeaders(rt_, r_.status_line, r_.answer_headers);
    LogHeaderPair(rt_, r_.request_line, r_.request_headers, r_.status_line, r_.answer_headers);
    return kGoOn;
}

}  // namespace

void RunConnectionHandler(Runtime& rt, ClientSlot slot) {
    // The handler's buffers: allocated once for the whole connection, and left as they come
    // (not zero-filled), so that a connection touches only the pages its messages reach.
    auto connection = std::make_unique<ConnectionState>(std::move(slot.socket), slot.tunnels);
    auto request = std::make_unique_for_overwrite<RequestState>();
    ConnectionState& c = *connection;
    RequestState& r = *request;
    // No delay and keep-alive probes came with the socket from the listening one.
    if (CheckClient(rt, c.client, slot.peer_family, c.client_address) != ClientCheck::kAdmitted) {
        SetErrorText(rt, r.error, "%s", text::kRefusedClient);
        EndConnection(rt, c, r, Ending::kRefused);
        return;
    }
    if (IsStopping(rt)) {
        EndConnection(rt, c, r, Ending::kRefused);
        return;
    }
    c.client_on_this_machine = IsThisMachine(c.client_address.view());
    Handler handler(rt, c, r);
    for (;;) {
        Ending ending = handler.ServeRequest();
        if (ending != Ending::kKeepAlive && ending != Ending::kInspected) {
            EndConnection(rt, c, r, ending);
            return;
        }
        FinishKeptRequest(rt, c, r);
    }
}

}  // namespace korvanel
