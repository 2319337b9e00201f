#include "checker/cgi_attributes.h"

#include <memory>
#include <optional>
#include <string>

#include "checker/check_answer.h"
#include "checker/check_answer_storage.h"
#include "platform/socket_shutdown.h"

namespace korvanel {

namespace {

using Result = CgiAttributeResult;

// Every way out of the check shuts the connection down and closes it.
struct Connection {
    Socket socket;
    ~Connection() {
        ShutdownBoth(socket);
        socket.Close();
    }
};

struct Buffers {
    CheckHead head;
    CheckAnswerStorage parts;
    char body[kCheckBodyLimit + 1];
};

// Reads the answer head and body into `body`; a failure gives its result, a complete
// answer nothing.
std::optional<Result> ReadAnswer(CheckContext& context, Socket& socket, Buffers& buffers,
                                 std::string& body, CheckAnswer& answer) {
    long received = CheckReceiveHead(context, socket, buffers.head);
    if (received == kCheckStopped) return Result::kStopped;
    if (received == kCheckTimedOut) return Result::kExchangeFailed;
    if (received <= 0) return Result::kConnectFailed;
    if (static_cast<std::size_t>(received) > kCheckHeadDataLimit ||
        static_cast<std::size_t>(received) < kCheckMinimumAnswer) {
        return Result::kUnsupportedAnswer;
    }
    if (SplitCheckAnswer(buffers.head, buffers.parts, answer) != 1) {
        return Result::kUnsupportedAnswer;
    }
    int status = ParseCheckStatusLine(answer.status_line);
    if (status == kStatusMalformed) return Result::kUnsupportedAnswer;
    if (status == kStatusNotSuccess) return Result::kNotSuccess;

    long in_head = static_cast<long>(answer.head_body.size());
    if (in_head > static_cast<long>(kCheckBodyLimit)) return Result::kUnsupportedAnswer;
    long expected = answer.content_length == -1 ? kCheckBodyDefaultLength : answer.content_length;
    if (expected < 0 || expected > static_cast<long>(kCheckBodyLimit)) {
        return Result::kUnsupportedAnswer;
    }
    long remainder = expected - in_head;
    if (remainder < 0) return Result::kUnsupportedAnswer;
    if (!answer.is_html || answer.is_chunked) return Result::kUnsupportedAnswer;

    body.assign(answer.head_body);
    if (remainder > 0) {
        bool ended = false;
        long got = CheckReceiveBody(context, socket, buffers.body, remainder, ended);
        if (got == kCheckStopped) return Result::kStopped;
        if (got < 0) return Result::kExchangeFailed;
        if (!ended && got != remainder) return Result::kExchangeFailed;
        body.append(buffers.body, static_cast<std::size_t>(got));
    }
    return std::nullopt;
}

}  // namespace

CgiAttributeResult QueryCgiAttributes(CheckContext& context, const CheckTarget& target,
                                      const CheckRequest& request) {
    Connection connection;
    NumericHost numeric_host;
    if (CheckConnect(context, target.host.c_str(), target.port.c_str(), connection.socket,
                     numeric_host) != kConnected) {
        return Result::kConnectFailed;
    }
    long sent = CheckSendAll(context, connection.socket, request.data(), request.size());
    if (sent == kCheckStopped) return Result::kStopped;
    if (sent <= 0) return Result::kExchangeFailed;

    auto buffers = std::make_unique<Buffers>();
    std::string body;
    CheckAnswer answer;
    if (std::optional<Result> failed =
            ReadAnswer(context, connection.socket, *buffers, body, answer)) {
        return *failed;
    }
    ShutdownBoth(connection.socket);
    connection.socket.Close();

    if (body.size() < kCgiMinimumBody) return Result::kUnsupportedAnswer;
    if (body.find(kCheckerBanner) == std::string::npos) return Result::kExchangeFailed;
    if (answer.header_block.find(kCheckerTypeMarker) == std::string_view::npos) {
        return Result::kNotDedicated;
    }
    return Result::kDedicated;
}

}  // namespace korvanel
