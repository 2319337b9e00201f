#include "checker/proxy_check.h"

#include <cstdio>
#include <string>

#include "checker/anonymity.h"
#include "checker/check_answer.h"
#include "checker/check_answer_storage.h"
#include "platform/socket_shutdown.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

enum class Verdict { kAnswered, kDead, kUnsupported, kUnchecked };

struct Buffers {
    CheckHead head;
    CheckAnswerStorage parts;
    char body[kCheckBodyLimit + 1];
};

// The answer through the proxy, up to the body; kAnswered leaves the body in `body`.
Verdict ReadProxyAnswer(CheckContext& context, Socket& socket, Buffers& buffers,
                        std::string& body) {
    long received = CheckReceiveHead(context, socket, buffers.head);
    if (received == kCheckStopped) return Verdict::kUnchecked;
    if (received <= 0) return Verdict::kDead;
    if (static_cast<std::size_t>(received) > kCheckHeadDataLimit ||
        static_cast<std::size_t>(received) < kCheckMinimumAnswer) {
        return Verdict::kDead;
    }
    CheckAnswer answer;
    if (SplitCheckAnswer(buffers.head, buffers.parts, answer) != 1) return Verdict::kDead;
    if (ParseCheckStatusLine(answer.status_line) != kStatusOk) return Verdict::kDead;

    long in_head = static_cast<long>(answer.head_body.size());
    if (in_head > kCheckBodyDefaultLength) return Verdict::kDead;
    if (answer.content_length == -2) return Verdict::kDead;
    long expected = answer.content_length == -1 ? kCheckBodyDefaultLength : answer.content_length;
    if (expected > static_cast<long>(kCheckBodyLimit)) return Verdict::kUnsupported;
    long remainder = expected - in_head;
    if (remainder < 0) return Verdict::kUnsupported;
    if (!answer.is_html) return Verdict::kDead;
    if (answer.is_chunked) return Verdict::kUnsupported;
    if (CheckStopRequested(context.rt)) return Verdict::kDead;

    body.assign(answer.head_body);
    if (remainder > 0) {
        bool ended = false;
        long got = CheckReceiveBody(context, socket, buffers.body, remainder, ended);
        if (got == kCheckStopped) return Verdict::kUnchecked;
        if (got < 0) return Verdict::kDead;
        if (!ended && got != remainder) return Verdict::kDead;
        body.append(buffers.body, static_cast<std::size_t>(got));
    }
    if (body.size() < kProxyMinimumBody) return Verdict::kDead;
    if (body.find(kCheckerBanner) == std::string::npos) return Verdict::kDead;
    return Verdict::kAnswered;
}

Verdict CheckThroughProxy(CheckJob& job, const CheckRequest& request, const char* host,
                          const char* port, std::string& body) {
    Socket socket;
    NumericHost numeric_host;
    if (CheckConnect(job.context, host, port, socket, numeric_host) != kConnected) {
        return Verdict::kDead;
    }
    Verdict verdict = Verdict::kDead;
    if (!CheckStopRequested(job.context.rt)) {
        long sent = CheckSendAll(job.context, socket, request.data(), request.size());
        if (sent == kCheckStopped) {
            verdict = Verdict::kUnchecked;
        } else if (sent > 0) {
            auto buffers = std::make_unique<Buffers>();
            verdict = ReadProxyAnswer(job.context, socket, *buffers, body);
        }
    }
    ShutdownBoth(socket);
    socket.Close();
    return verdict;
}

std::string_view KindOf(Verdict verdict, const CheckJob& job, std::string_view body) {
    switch (verdict) {
        case Verdict::kDead:
            return proxy_kind::kDead;
        case Verdict::kUnsupported:
            return proxy_kind::kUnsupported;
        case Verdict::kUnchecked:
            return proxy_kind::kUnchecked;
        case Verdict::kAnswered:
            break;
    }
    bool revealed =
        (!job.external_address.empty() && RevealsExternalAddress(body, job.external_address)) ||
        (job.local_identity != nullptr && RevealsLocalIdentity(body, *job.local_identity));
    return revealed ? proxy_kind::kNotAnonymous : proxy_kind::kAnonymous;
}

// `entry` when it is still a row of the proxy list (the caller holds the settings lock).
ProxyEntry* FindRow(Runtime& rt, ProxyEntry* entry) {
    for (ProxyEntry& row : rt.settings.proxies.rows) {
        if (&row == entry) return entry;
    }
    return nullptr;
}

}  // namespace

void SplitProxyAddress(std::string_view address, CheckJob& job) {
    std::size_t colon = address.find(':');
    if (colon == std::string_view::npos) {
        job.host.clear();
        job.port.clear();
        return;
    }
    job.host = address.substr(0, colon);
    job.port = address.substr(colon + 1);
}

void CheckOneProxy(std::unique_ptr<CheckJob> job) {
    Runtime& rt = job->context.rt;
    YieldProcessor();
    auto request = std::make_unique<CheckRequest>();
    FixedText<kJobHostCapacity> host;
    FixedText<kJobPortCapacity> port;
    {
        Hold settings(rt.locks.settings);
        Hold checker(rt.locks.checker);
        *request = job->request;
        host = job->host;
        port = job->port;
    }
    long long start = rt.clock.monotonic_ms();
    std::string body;
    Verdict verdict = CheckThroughProxy(*job, *request, host.c_str(), port.c_str(), body);

    char progress_text[kProgressTextCapacity];
    {
        Hold settings(rt.locks.settings);
        Hold checker(rt.locks.checker);
        // A row removed from the list while it was checked gets nothing written.
        if (ProxyEntry* row = FindRow(rt, job->entry)) {
            std::string_view kind = KindOf(verdict, *job, body);
            if (verdict == Verdict::kAnswered) {
                char speed[32];
                std::snprintf(speed, sizeof speed, "%ld",
                              static_cast<long>(rt.clock.monotonic_ms() - start));
                row->speed = speed;
            } else {
                row->speed = "0";
            }
            row->kind = kind;
        }
        int done = ++*job->progress;
        std::snprintf(progress_text, sizeof progress_text, text::kCheckProgress, done, job->total);
    }
    rt.front.StepCheckProgress();
    rt.front.SetCheckLine(kCheckProgressLine, progress_text);
}

}  // namespace korvanel
