// The attribute check against scripted answers on 127.0.0.1, and against the shipped
// checker CGI run behind a small CGI host in the test.
#include "checker/cgi_attributes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "checker/check_answer.h"
#include "checker/checker_fixture.h"
#include "checker/scripted_server.h"
#include "support/loopback.h"

namespace korvanel {
namespace {

using testing::Answer;
using testing::Page;
using testing::ScriptedServer;
using Result = CgiAttributeResult;

const std::string kBanner(kCheckerBanner);
const std::string kDedicatedHeader = "checker_type: korvanel\r\n";

class CgiAttributes : public testing::CheckerTest {
  protected:
    Result Query(const std::string& address) {
        CheckTarget target;
        EXPECT_EQ(ParseCheckAddress(address, target), 1);
        CheckRequest request;
        EXPECT_EQ(BuildCheckRequest(target.host, target.port, target.path, request), 1);
        return QueryCgiAttributes(context, target, request);
    }
    Result QueryScripted(ScriptedServer::Script script) {
        ScriptedServer server(std::move(script));
        return Query("http://" + server.address() + "/dizu8d.cgi");
    }
};

TEST_F(CgiAttributes, EachAnswerGivesItsResult) {
    std::string big_header = "X-Pad: " + std::string(2000, 'p') + "\r\n";
    struct Case {
        const char* name;
        std::string answer;
        Result result;
    } cases[] = {
        {"checker", Page("HTTP/1.0 200 OK", kDedicatedHeader, kBanner, 82), Result::kDedicated},
        {"204 passes", Page("HTTP/1.1 204 No Content", kDedicatedHeader, kBanner, 100),
         Result::kDedicated},
        {"no length: read to the close",
         Page("HTTP/1.0 200 OK", kDedicatedHeader, kBanner, 500, false), Result::kDedicated},
        {"head data over 2000 bytes", Page("HTTP/1.0 200 OK", kDedicatedHeader, kBanner, 2000),
         Result::kUnsupportedAnswer},
        {"banner only", Page("HTTP/1.0 200 OK", "", kBanner, 200), Result::kNotDedicated},
        {"ordinary page", Page("HTTP/1.0 200 OK", kDedicatedHeader, "<html>hello</html>", 300),
         Result::kExchangeFailed},
        {"81 bytes", Page("HTTP/1.0 200 OK", kDedicatedHeader, kBanner, 81),
         Result::kUnsupportedAnswer},
        {"length 2001",
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n" + kDedicatedHeader +
             "Content-Length: 2001\r\n\r\n" + kBanner,
         Result::kUnsupportedAnswer},
        {"unreadable length",
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: x\r\n\r\n" + kBanner,
         Result::kUnsupportedAnswer},
        {"not html", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + kBanner,
         Result::kUnsupportedAnswer},
        {"chunked",
         Page("HTTP/1.1 200 OK", kDedicatedHeader + "Transfer-Encoding: chunked\r\n", kBanner, 100,
              false),
         Result::kUnsupportedAnswer},
        {"head over 2000 bytes", Page("HTTP/1.0 200 OK", big_header, kBanner, 100),
         Result::kUnsupportedAnswer},
        {"shorter than 10", "HTTP/1\n\n", Result::kUnsupportedAnswer},
        {"HTTP/2.0", Page("HTTP/2.0 200 OK", kDedicatedHeader, kBanner, 100),
         Result::kUnsupportedAnswer},
        {"no reason", Page("HTTP/1.1 200", kDedicatedHeader, kBanner, 100),
         Result::kUnsupportedAnswer},
        {"404", Page("HTTP/1.1 404 Not Found", kDedicatedHeader, kBanner, 100),
         Result::kNotSuccess},
        {"closed before the head", "HTTP/1.0 200 OK\r\n", Result::kConnectFailed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QueryScripted(Answer(c.answer)), c.result) << c.name;
    }
}

TEST_F(CgiAttributes, ConnectionFailuresTimeOutsAndStops) {
    EXPECT_EQ(Query("http://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()) + "/x"),
              Result::kConnectFailed);
    // A silent server: the head never comes.
    EXPECT_EQ(QueryScripted(testing::AnswerAfter(600, "")), Result::kExchangeFailed);
    // A body shorter than its length, with the connection held open: the body times out.
    std::string short_body = Page("HTTP/1.0 200 OK", kDedicatedHeader, kBanner, 300);
    short_body.replace(short_body.find("300"), 3, "400");
    EXPECT_EQ(QueryScripted([&](int fd, const std::string&) {
                  testing::WriteAll(fd, short_body);
                  std::this_thread::sleep_for(std::chrono::milliseconds(600));
              }),
              Result::kExchangeFailed);
    // The same with the connection closed: the body is what arrived.
    EXPECT_EQ(QueryScripted(Answer(short_body)), Result::kDedicated);

    // A stop while the answer is awaited.
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        RequestStop();
    });
    EXPECT_EQ(QueryScripted(testing::AnswerAfter(
                  400, Page("HTTP/1.0 200 OK", kDedicatedHeader, kBanner, 82))),
              Result::kStopped);
    stopper.join();
}

TEST_F(CgiAttributes, ABodyOf2000BytesAfterTheHeadIsRead) {
    std::string page = Page("HTTP/1.0 200 OK", kDedicatedHeader, kBanner, 2000);
    std::size_t split = page.find("\r\n\r\n") + 4;
    EXPECT_EQ(QueryScripted([&](int fd, const std::string&) {
                  testing::WriteAll(fd, page.substr(0, split));
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
                  testing::WriteAll(fd, page.substr(split));
              }),
              Result::kDedicated);
}

// A CGI host for the shipped checker: runs it with the request's address and forwarding
// headers in its environment and sends its output after a status line.
ScriptedServer::Script CgiHost(std::string environment) {
    return [environment](int fd, const std::string&) {
        std::string command = "env REQUEST_METHOD=GET REMOTE_ADDR=127.0.0.1 " + environment + " ";
        command += std::string(KORVANEL_BINARY_DIR) + "/korvanel-checker";
        std::string output;
        if (FILE* cgi = popen(command.c_str(), "r")) {
            char buffer[4096];
            std::size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, cgi)) > 0) output.append(buffer, n);
            pclose(cgi);
        }
        testing::WriteAll(fd, "HTTP/1.0 200 OK\r\n" + output);
    };
}

TEST_F(CgiAttributes, TheShippedCheckerCgiIsDedicated) {
    EXPECT_EQ(QueryScripted(CgiHost("")), Result::kDedicated);
    // However much proxies add, head and page stay within what the checker reads.
    std::string value(300, '1');
    std::string many;
    for (const char* name :
         {"HTTP_X_FORWARDED_FOR", "HTTP_VIA", "HTTP_FORWARDED", "HTTP_CLIENT_IP", "HTTP_X_REAL_IP",
          "HTTP_X_CLIENT_IP", "HTTP_FORWARDED_FOR", "HTTP_X_FORWARDED", "REMOTE_HOST"}) {
        many += std::string(name) + "=" + value + " ";
    }
    EXPECT_EQ(QueryScripted(CgiHost(many)), Result::kDedicated);
}

}  // namespace
}  // namespace korvanel
