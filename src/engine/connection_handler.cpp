#include "engine/connection_handler.h"

#include <array>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/answer_body.h"
#include "engine/body_relay.h"
#include "engine/handler_endings.h"
#include "engine/handler_state.h"
#include "engine/head_split.h"
#include "engine/header_predicates.h"
#include "engine/header_rules.h"
#include "engine/inspection.h"
#include "engine/request_line.h"
#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "engine/status_line.h"
#include "engine/tunnel_open.h"
#include "engine/upgrade_relay.h"
#include "logging/log_producers.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

class Handler {
  public:
    Handler(Runtime& rt, HandlerState& s) : rt_(rt), s_(s) {}

    Ending ServeRequest();

  private:
    Ending ReadRequest();
    Ending EndIdleConnection();
    Ending ParseRequest();
    Ending ChooseTarget();
    Ending Connect();
    Ending RewriteRequest();
    Ending SendRequest();
    Ending ReadAnswer();
    int ReadAnswerHead();
    Ending Resend();
    Ending TakeEarlyAnswer();
    int SplitAnswer();
    Ending PassInterimAnswers();
    int SendInterimAnswer();
    Ending ParseAnswer();
    Ending SendAnswerHead();

    Ending Fail(const char* reason) {
        SetErrorText(rt_, s_.error, "%s", reason);
        return Ending::kError;
    }
    Ending FailWithTarget(const char* format) {
        SetErrorText(rt_, s_.error, format, s_.host.c_str(), s_.port.c_str());
        return Ending::kError;
    }
    bool Stopping() { return IsStopping(rt_) == -1; }

    // The request as it goes to the server: line, header block, the body bytes that came
    // with the head.
    std::array<std::string_view, 3> RequestParts() const {
        return {s_.request_line.view(), s_.request_headers.view(),
                s_.head_body.view().substr(0, static_cast<std::size_t>(s_.body_in_request_head))};
    }

    Runtime& rt_;
    HandlerState& s_;
};

// kKeepAlive doubles as "go on" between the steps of one request.
constexpr Ending kGoOn = Ending::kKeepAlive;

Ending Handler::ServeRequest() {
    using Step = Ending (Handler::*)();
    static constexpr Step kRoad[] = {
        &Handler::ReadRequest, &Handler::ParseRequest,   &Handler::ChooseTarget,
        &Handler::Connect,     &Handler::RewriteRequest, &Handler::SendRequest,
        &Handler::ReadAnswer,  &Handler::ParseAnswer,    &Handler::SendAnswerHead,
    };
    s_.ClearRequest();
    for (Step step : kRoad) {
        Ending ending = (this->*step)();
        if (ending != kGoOn) return ending;
    }
    // The connection changed protocols (WebSocket): from here on a relay both ways.
    if (StatusCodeOf(s_.status_line) == "101") return RelayUpgraded(rt_, s_);
    return RelayAnswerBody(rt_, s_);
}

Ending Handler::ReadRequest() {
    CountConnection(rt_, s_.keep_alive ? "++k" : "++c");
    s_.counted = 1;
    int timeout = s_.keep_alive ? rt_.limits.kept_request_head_timeout_ms
                                : rt_.limits.first_request_head_timeout_ms;
    // With tunnels on, a CONNECT head may come in pieces like any other.
    bool connect_allowed = false;
    if (!s_.site.active()) {
        Hold hold(rt_.locks.settings);
        connect_allowed = rt_.settings.https_tunnel;
    }
    int read = ReadHead(rt_, s_.client, s_.head, s_.head_count, s_.request_terminator, s_.error,
                        "client", timeout, 0, connect_allowed);
    if (read == kIoNotSocket || Stopping()) return Ending::kQuiet;
    if (read == kIoNothing && s_.head_count == 0) return EndIdleConnection();
    if (read != kIoDone) return Ending::kError;
    // The settings of this request.
    Hold hold(rt_.locks.settings);
    const Settings& settings = rt_.settings;
    s_.settings.cookie = settings.cookie;
    s_.settings.setcookie = settings.setcookie;
    s_.settings.agent = settings.agent;
    s_.settings.proxy = settings.proxy;
    s_.settings.port = settings.port;
    s_.settings.http_version = settings.http_version;
    s_.settings.tag_filter_active = settings.tag_filter_active;
    s_.settings.https_tunnel = settings.https_tunnel;
    s_.settings.tunnel_ports = settings.tunnel_ports;
    s_.settings.https_inspect = settings.https_tunnel && settings.https_inspect;
    return kGoOn;
}

// No byte of a new request came in time. Browsers open connections ahead of use and keep
// them for later: a page sent now, unasked, could be taken as the answer to the request the
// browser sends at this very moment. The connection ends as if the client had closed it.
Ending Handler::EndIdleConnection() {
    s_.error.clear();
    return Ending::kError;
}

Ending Handler::ParseRequest() {
    const Terminator& terminator = s_.request_terminator;
    std::string_view head(s_.head, static_cast<std::size_t>(s_.head_count));
    if (SplitHead(head, terminator, s_.request_line, s_.request_headers) != 1) {
        return Fail(text::kUnsupportedHeader);
    }
    ConnectTarget tunnel;
    if (s_.site.active()) {
        if (FromInspectedForm(s_.site.host, s_.site.port, terminator, s_.request_line) != 1) {
            return Fail(text::kUnsupportedHeader);
        }
    } else if (s_.settings.https_tunnel &&
               ReadConnectLine(s_.request_line.view(), LineEndOf(terminator), tunnel) ==
                   ConnectLine::kConnect) {
        return OpenTunnel(rt_, s_, tunnel);
    }
    if (NormaliseRequestLine(terminator, s_.request_line) != 1) {
        return Fail(text::kUnsupportedHeader);
    }
    s_.version = EffectiveVersion(s_.request_line, terminator, s_.settings.http_version);
    if (s_.version == "1.0") ForceHttp10(terminator, s_.request_line);
    if (SplitBody(terminator, s_.request_headers, s_.head_body) != 1) {
        return Fail(text::kUnsupportedHeader);
    }
    s_.request_length = ContentLength(s_.request_headers, terminator);
    if (s_.request_length == -2) return Fail(text::kUnsupportedHeader);
    // Body bytes beyond the announced length are not part of this request. A chunked
    // body goes through the chunked relay, the bytes that came with the head included.
    s_.request_chunked = IsChunked(s_.request_headers, terminator) == 1;
    s_.body_in_request_head = s_.request_chunked ? 0 : static_cast<long>(s_.head_body.size());
    if (s_.request_length >= 0 && s_.body_in_request_head > s_.request_length) {
        s_.body_in_request_head = static_cast<long>(s_.request_length);
    }
    return kGoOn;
}

Ending Handler::ChooseTarget() {
    // An inspected request goes to its site; a proxy in use is reached by a tunnel of its own.
    int split = s_.settings.proxy.empty() || s_.site.active()
                    ? ToOriginForm(s_.request_line, s_.host, s_.port, s_.request_terminator)
                    : SplitProxyAddress(s_.settings.proxy, s_.host, s_.port);
    if (split != 1) {
        SetErrorText(rt_, s_.error, text::kProxyUnusable, s_.settings.proxy.c_str());
        return Ending::kError;
    }
    if (!IsUsablePort(s_.port)) {
        SetErrorText(rt_, s_.error, text::kPortUnusable, s_.port.c_str());
        return Ending::kError;
    }
    return kGoOn;
}

Ending Handler::Connect() {
    if (Stopping()) return Ending::kQuiet;
    // The registry keeps a stop's clean-up off a descriptor being closed: no lock needed.
    if (s_.site.active() && ReuseOrigin(s_)) return kGoOn;
    s_.upstream.Close();
    if (s_.site.active()) {
        int opened = OpenOrigin(rt_, s_);
        if (opened == kUpstreamConnected) return Stopping() ? Ending::kQuiet : kGoOn;
        return Stopping() ? Ending::kQuiet : Ending::kError;
    }
    int connected = ConnectUpstream(rt_, s_.upstream, s_.host.c_str(), s_.numeric_address, s_.port,
                                    s_.settings.port);
    if (connected == kUpstreamSelf) {
        SetErrorText(rt_, s_.error, text::kAccessNotPossible, "\"127.0.0.1\"", s_.port.c_str());
        return Ending::kError;
    }
    // The user sees why the page did not load.
    if (connected != kUpstreamConnected) return FailWithTarget(text::kCannotConnect);
    if (Stopping()) return Ending::kQuiet;
    s_.upstream_connected = 1;
    return kGoOn;
}

Ending Handler::RewriteRequest() {
    const Terminator& terminator = s_.request_terminator;
    {
        Hold hold(rt_.locks.settings);
        // Such a host ends the connection without an answer (the text is too short to be
        // sent as a page).
        if (s_.host.size() > kMaxTargetHostLength) return Ending::kError;
        ApplyHeaderRules(s_.request_headers, rt_.settings.send_headers, terminator);
    }
    RequestEdits edits{s_.settings.agent.view(), s_.settings.tag_filter_active != 0,
                       s_.version == "1.0", s_.settings.cookie.view() == "1"};
    ApplyRequestEdits(s_.request_headers, edits, terminator);
    if (Stopping()) return Ending::kRefused;
    return kGoOn;
}

Ending Handler::SendRequest() {
    auto [line, headers, body] = RequestParts();
    long sent = SendCounted(rt_, s_.upstream, {line, headers, body});
    if (sent <= 0) return FailWithTarget(text::kCannotSend);
    AddBytesSent(rt_, sent);
    LogSendHeaders(rt_, s_.request_line, s_.request_headers);
    return kGoOn;
}

int Handler::ReadAnswerHead() {
    return ReadHead(rt_, s_.upstream, s_.head, s_.head_count, s_.answer_terminator, s_.error,
                    "server", rt_.limits.answer_head_timeout_ms);
}

Ending Handler::ReadAnswer() {
    long long relayed = 0;
    if (s_.request_chunked) {
        RelayResult result = RelayChunkedRequestBody(
            rt_, s_.client, s_.upstream, s_.head_body.data(),
            static_cast<long>(s_.head_body.size()), s_.request_terminator, s_.error);
        relayed = 1;  // the relay decoded in place: nothing is left to send again
        if (result == RelayResult::kRevoked) return Ending::kQuiet;
        if (result != RelayResult::kComplete) return Ending::kError;
    } else if (s_.request_length > s_.body_in_request_head) {
        long long remaining = s_.request_length - s_.body_in_request_head;
        const long long start = remaining;
        bool server_failed = false;
        RelayResult result = RelayRequestBody(rt_, s_.client, s_.upstream, s_.head, remaining,
                                              s_.error, &server_failed);
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
    int read = ReadAnswerHead();
    if (read == kIoNotSocket) return Ending::kQuiet;
    if (read != kIoDone) {
        // A server that is only slow has the request already: sent again, it would be
        // carried out twice. A body relayed after the head cannot be sent again. Either
        // way the reader's text says what went wrong.
        if (read == kIoNothing || relayed > 0) return Ending::kError;
        Ending resent = Resend();
        if (resent != kGoOn) return resent;
    }
    AddBytesReceived(rt_, s_.head_count);
    return kGoOn;
}

// The server stopped taking the request body. When it has answered already, the client
// gets that answer (and the connection ends after it, the rest of the body unread);
// otherwise the relay's failure stands.
Ending Handler::TakeEarlyAnswer() {
    if (Stopping()) return Ending::kQuiet;
    ErrorText relay_error = s_.error;
    int read = ReadHead(rt_, s_.upstream, s_.head, s_.head_count, s_.answer_terminator, s_.error,
                        "server", kEarlyAnswerWaitMs);
    if (read == kIoNotSocket) return Ending::kQuiet;
    if (read != kIoDone) {
        s_.error = relay_error;
        s_.answer_terminator.clear();
        return Ending::kError;
    }
    s_.request_cut = 1;
    AddBytesReceived(rt_, s_.head_count);
    return kGoOn;
}

// The server dropped the connection (or failed) before answering: the request once more
// on a new connection.
Ending Handler::Resend() {
    if (Stopping()) return Ending::kQuiet;
    s_.upstream.Close();
    s_.upstream_connected = 0;
    int connected = s_.site.active()
                        ? OpenOrigin(rt_, s_)
                        : ConnectUpstream(rt_, s_.upstream, s_.host.c_str(), s_.numeric_address,
                                          s_.port, s_.settings.port);
    if (connected != kUpstreamConnected) {
        SetErrorText(rt_, s_.error, "%s", text::kServerReceiveError);
        return Ending::kQuiet;
    }
    if (Stopping()) return Ending::kQuiet;
    s_.upstream_connected = 1;
    // Counted once, when the request was first sent.
    auto [line, headers, body] = RequestParts();
    int sent = SendAll(rt_, s_.upstream, {line, headers, body});
    if (sent == kIoNotSocket) return Ending::kQuiet;
    if (sent != kIoDone) return FailWithTarget(text::kCannotSend);
    int read = ReadAnswerHead();
    if (read == kIoNotSocket) return Ending::kQuiet;
    if (read != kIoDone) return Ending::kError;
    return kGoOn;
}

int Handler::SplitAnswer() {
    const Terminator& terminator = s_.answer_terminator;
    std::string_view head(s_.head, static_cast<std::size_t>(s_.head_count));
    if (SplitHead(head, terminator, s_.status_line, s_.answer_headers) != 1 ||
        NormaliseStatusLine(terminator, s_.status_line) != 1 ||
        SplitBody(terminator, s_.answer_headers, s_.head_body) != 1) {
        return -1;
    }
    return 1;
}

// Interim answers ("100 Continue" and the like) go on to a client that asked for one
// ("Expect: 100-continue" over HTTP/1.1); any other client is waiting for the final answer
// only, and they are passed over. The final answer follows on the same connection; what
// came after an interim head is the beginning of the next one.
Ending Handler::PassInterimAnswers() {
    const bool wanted =
        s_.version == "1.1" && ExpectsContinue(s_.request_headers, s_.request_terminator) == 1;
    for (int passed = 0; IsInterimAnswer(s_.status_line) && passed < kMaxInterimAnswers; ++passed) {
        if (wanted && SendInterimAnswer() != 1) {
            SetErrorText(rt_, s_.error, "%s\n", text::kClientSendError);
            return Ending::kError;
        }
        long already = static_cast<long>(s_.head_body.size());
        std::memcpy(s_.head, s_.head_body.data(), static_cast<std::size_t>(already));
        int read = ReadHead(rt_, s_.upstream, s_.head, s_.head_count, s_.answer_terminator,
                            s_.error, "server", rt_.limits.answer_head_timeout_ms, already);
        if (read == kIoNotSocket) return Ending::kQuiet;
        if (read != kIoDone) return Ending::kError;
        AddBytesReceived(rt_, s_.head_count - already);
        if (SplitAnswer() != 1) return Fail(text::kServerHeadUnsupported);
    }
    return kGoOn;
}

// An interim answer is no answer yet: a failure after it still gets the error page.
int Handler::SendInterimAnswer() {
    std::string_view block = s_.answer_headers.view();
    // A head without header lines holds its blank line twice in the block (see SplitHead);
    // it goes out as it came.
    if (block == s_.answer_terminator.view()) block = LineEndOf(block);
    return SendAll(rt_, s_.client, {s_.status_line.view(), block});
}

Ending Handler::ParseAnswer() {
    const Terminator& terminator = s_.answer_terminator;
    if (SplitAnswer() != 1) return Fail(text::kServerHeadUnsupported);
    Ending passed = PassInterimAnswers();
    if (passed != kGoOn) return passed;
    {
        Hold hold(rt_.locks.settings);
        ApplyHeaderRules(s_.answer_headers, rt_.settings.recv_headers, terminator);
    }
    AnswerFacts& a = s_.answer;
    a.keep_alive = HasConnectionKeepAlive(s_.answer_headers, terminator) == 1;
    if (s_.settings.setcookie.view() == "1") RemoveSetCookies(s_.answer_headers, terminator);
    a.content_length = ContentLength(s_.answer_headers, terminator);
    if (a.content_length == -2) return Fail(text::kUnsupportedHeader);
    a.no_length = a.content_length == -1;
    a.close = HasConnectionClose(s_.answer_headers, terminator);
    a.html = IsHtml(s_.answer_headers, terminator);
    a.chunked = IsChunked(s_.answer_headers, terminator) == 1;
    a.remaining = a.no_length ? -1 : a.content_length - static_cast<long long>(s_.head_body.size());
    s_.head[0] = '\0';
    if (a.html && !a.chunked && s_.settings.tag_filter_active) {
        FrameFilteredAnswer(s_.answer_headers, terminator);
        // The head now tells the client the connection ends with this answer, body or not.
        a.close = 1;
        a.keep_alive = 0;
    }
    if (Stopping()) return Ending::kRefused;
    return kGoOn;
}

Ending Handler::SendAnswerHead() {
    s_.answer_started = 1;
    std::string_view body = BodyBytesWithHead(s_);
    s_.answer.sent_with_head = static_cast<long>(body.size());
    if (SendAll(rt_, s_.client, {s_.status_line.view(), s_.answer_headers.view(), body}) !=
        kIoDone) {
        SetErrorText(rt_, s_.error, "%s\n", text::kClientSendError);
        return Ending::kError;
    }
    LogRecvHeaders(rt_, s_.status_line, s_.answer_headers);
    LogHeaderPair(rt_, s_.request_line, s_.request_headers, s_.status_line, s_.answer_headers);
    return kGoOn;
}

}  // namespace

void RunConnectionHandler(Runtime& rt, ClientSlot slot) {
    // The handler's buffers: allocated once for the whole connection.
    auto state = std::make_unique<HandlerState>(std::move(slot.socket));
    HandlerState& s = *state;
    // No delay and keep-alive probes came with the socket from the listening one.
    if (CheckClient(rt, s.client, slot.peer_family, s.client_address) != kClientAdmitted) {
        SetErrorText(rt, s.error, "%s", text::kRefusedClient);
        EndConnection(rt, s, Ending::kRefused);
        return;
    }
    if (IsStopping(rt) == -1) {
        EndConnection(rt, s, Ending::kRefused);
        return;
    }
    Handler handler(rt, s);
    for (;;) {
        Ending ending = handler.ServeRequest();
        if (ending != Ending::kKeepAlive && ending != Ending::kInspected) {
            EndConnection(rt, s, ending);
            return;
        }
        FinishKeptRequest(rt, s);
    }
}

}  // namespace korvanel
