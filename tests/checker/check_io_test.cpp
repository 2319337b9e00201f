// The transfers' own limits: the empty-line kinds, heads without line ends, a full head
// buffer, the slices of the waits and the real time-out.
#include <gtest/gtest.h>

#include <chrono>

#include "checker/checker_fixture.h"
#include "checker/scripted_server.h"

namespace korvanel {
namespace {

using testing::Answer;
using testing::ScriptedServer;

class CheckIo : public testing::CheckerTest {
  protected:
    // A checker connection to `server` through `with`.
    static Socket ConnectTo(CheckContext& with, ScriptedServer& server) {
        Socket socket;
        NumericHost numeric;
        std::string port = std::to_string(server.port());
        EXPECT_EQ(CheckConnect(with, "127.0.0.1", port.c_str(), socket, numeric), kConnected);
        EXPECT_EQ(numeric.view(), "127.0.0.1");
        return socket;
    }

    // Connects to a server answering with `script` and reads the head.
    long ReceiveHead(ScriptedServer::Script script, CheckHead& head) {
        ScriptedServer server(std::move(script));
        Socket socket = ConnectTo(context, server);
        const char request[] = "GET / HTTP/1.0\r\n\r\n";
        EXPECT_EQ(CheckSendAll(context, socket, request, sizeof request - 1),
                  static_cast<long>(sizeof request - 1));
        return CheckReceiveHead(context, socket, head);
    }
};

TEST_F(CheckIo, FindsTheEmptyLineOfEachKind) {
    struct Case {
        std::string answer;
        std::string terminator;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody\n\n", "\r\n\r\n"},
        {"HTTP/1.0 200 OK\nA: b\n\nbody\r\r", "\n\n"},
        {"HTTP/1.0 200 OK\rA: b\r\rbody", "\r\r"},
    };
    for (const Case& c : cases) {
        auto head = std::make_unique<CheckHead>();
        EXPECT_EQ(ReceiveHead(Answer(c.answer), *head), static_cast<long>(c.answer.size()));
        EXPECT_EQ(head->terminator.view(), c.terminator);
    }
}

TEST_F(CheckIo, FindsTheEmptyLineAcrossReadsOfOneByte) {
    const std::string answer = "HTTP/1.0 200 OK\r\nA: b\r\n\r\n";
    auto head = std::make_unique<CheckHead>();
    EXPECT_EQ(ReceiveHead(
                  [&](int fd, const std::string&) {
                      for (char c : answer) {
                          testing::WriteAll(fd, std::string(1, c));
                          std::this_thread::sleep_for(std::chrono::milliseconds(2));
                      }
                      std::this_thread::sleep_for(std::chrono::milliseconds(300));
                  },
                  *head),
              static_cast<long>(answer.size()));
    EXPECT_EQ(head->terminator.view(), "\r\n\r\n");
}

TEST_F(CheckIo, RefusesHeadsItCannotRead) {
    auto head = std::make_unique<CheckHead>();
    // Closed before the empty line.
    EXPECT_EQ(ReceiveHead(Answer("HTTP/1.0 200 OK\r\nA: b\r\n"), *head), kCheckFailed);
    // More than 2000 bytes without any line end.
    EXPECT_EQ(ReceiveHead(
                  [](int fd, const std::string&) {
                      testing::WriteAll(fd, std::string(2001, 'x'));
                      std::this_thread::sleep_for(std::chrono::milliseconds(300));
                  },
                  *head),
              kCheckFailed);
    // Line ends but no empty line, past the 9994-byte buffer.
    std::string lines;
    while (lines.size() < 12000) lines += "X-Long: 0123456789012345678901234567890\r\n";
    EXPECT_EQ(ReceiveHead(
                  [&](int fd, const std::string&) {
                      testing::WriteAll(fd, lines);
                      std::this_thread::sleep_for(std::chrono::milliseconds(300));
                  },
                  *head),
              kCheckTimedOut);
}

TEST_F(CheckIo, ASilentServerTimesOutAfterEightyOneRealSlices) {
    CheckContext real{rt, sockets, kCheckLimits};
    ScriptedServer server(testing::HoldUntilClosed(30000));
    Socket socket = ConnectTo(real, server);
    ASSERT_TRUE(socket.valid());
    auto head = std::make_unique<CheckHead>();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CheckReceiveHead(real, socket, *head), kCheckTimedOut);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(81 * 200));
    EXPECT_LT(elapsed, std::chrono::milliseconds(81 * 200 + 3000));
}

TEST_F(CheckIo, AStopIsNoticedWithinASliceOrTwo) {
    CheckContext real{rt, sockets, kCheckLimits};
    ScriptedServer server(testing::HoldUntilClosed(5000));
    Socket socket = ConnectTo(real, server);
    ASSERT_TRUE(socket.valid());
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        RequestStop();
    });
    auto head = std::make_unique<CheckHead>();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CheckReceiveHead(real, socket, *head), kCheckStopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(300 + 2 * 200 + 100));
    stopper.join();
    // Once stopped, nothing more is sent.
    EXPECT_EQ(CheckSendAll(real, socket, "x", 1), kCheckStopped);
}

}  // namespace
}  // namespace korvanel
