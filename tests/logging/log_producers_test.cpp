#include "logging/log_producers.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "logging/log_fixture.h"
#include "logging/logger.h"

namespace korvanel::testing {
namespace {

const std::string kSeparator = std::string(71, '=') + "\r\n";
const std::string kPairSeparator = std::string(71, '-') + "\r\n";

// One producer call per log, with where its text shows up.
struct LogCase {
    const char* name;
    LogMode Settings::*mode;
    Pane pane;
    const char* file;
    LogBuffer LogQueue::*buffer;
    std::function<void(Runtime&)> produce;
};

const LogCase kLogCases[] = {
    {"access", &Settings::access_log, Pane::kAccess, "access_log", &LogQueue::access,
     [](Runtime& rt) {
         LogAccess(rt, "127.0.0.1", "example.com", "192.0.2.1", "80", "GET / HTTP/1.1\r\n",
                   "HTTP/1.1 200 OK\r\n", "\r\n\r\n");
     }},
    {"send", &Settings::send_header_log, Pane::kSendHeaders, "send_log", &LogQueue::send_headers,
     [](Runtime& rt) { LogSendHeaders(rt, "GET / HTTP/1.1\r\n", "A: b\r\n\r\n"); }},
    {"recv", &Settings::recv_header_log, Pane::kRecvHeaders, "recv_log", &LogQueue::recv_headers,
     [](Runtime& rt) { LogRecvHeaders(rt, "HTTP/1.1 200 OK\r\n", "C: d\r\n\r\n"); }},
    {"pair", &Settings::send_recv_header_log, Pane::kHeaderPairs, "send_recv_log",
     &LogQueue::header_pairs,
     [](Runtime& rt) {
         LogHeaderPair(rt, "GET / HTTP/1.1\r\n", "A: b\r\n\r\n", "HTTP/1.1 200 OK\r\n",
                       "C: d\r\n\r\n");
     }},
};

TEST_F(LogTest, EachModeSendsTheLogToItsPaneItsFileBothOrNowhere) {
    for (const LogCase& log : kLogCases) {
        for (std::string_view mode : {"0", "1", "2", "3"}) {
            SCOPED_TRACE(std::string(log.name) + " mode " + std::string(mode));
            TempDir fresh;
            RecordingFrontEnd panes;
            Runtime run(panes, fresh.path());
            run.settings.*log.mode = mode;
            log.produce(run);
            LogBuffer& buffer = run.logs.*log.buffer;
            if (mode == "3") {
                EXPECT_EQ(buffer.length, 0u) << "an off log keeps nothing";
            }
            EXPECT_EQ(FlushLog(run, buffer), 1);
            EXPECT_EQ(buffer.length, 0u);
            bool pane = mode == "0" || mode == "2";
            bool file = mode == "1" || mode == "2";
            EXPECT_EQ(!panes.pane(log.pane).empty(), pane);
            EXPECT_EQ(FileExists(fresh.file(log.file)), file);
            if (pane && file) {
                EXPECT_EQ(panes.pane(log.pane), ReadFile(fresh.file(log.file)));
            }
        }
    }
}

TEST_F(LogTest, EntryFormatsAndTheIpLogGoingOnlyToItsFile) {
    SetAllModes("0");
    EXPECT_EQ(LogIp(rt, "10.0.0.7", "を許可"), 1);
    EXPECT_EQ(FlushLog(rt, rt.logs.ip), 1);
    EXPECT_EQ(ReadFile(dir.file("ip_log")), "10.0.0.7を許可\r\n");
    EXPECT_TRUE(front.pane(Pane::kStatus).empty());

    LogSendHeaders(rt, "GET / HTTP/1.0\r\n", "Host: a\r\n\r\n");
    LogRecvHeaders(rt, "HTTP/1.0 404 Not Found\r\n", "\r\n");
    LogHeaderPair(rt, "R\r\n", "Q\r\n", "S\r\n", "T\r\n");
    EXPECT_EQ(Buffered(rt.logs.send_headers), kSeparator + "GET / HTTP/1.0\r\nHost: a\r\n\r\n");
    EXPECT_EQ(Buffered(rt.logs.recv_headers), kSeparator + "HTTP/1.0 404 Not Found\r\n\r\n");
    EXPECT_EQ(Buffered(rt.logs.header_pairs),
              kSeparator + "R\r\nQ\r\n" + kPairSeparator + "S\r\nT\r\n");
}

TEST_F(LogTest, AccessLineFormatAndLineEndCut) {
    SetAllModes("1");
    struct Row {
        const char* name;
        std::string_view request, status, terminator;
        const char* logged_request;
        const char* logged_status;
    };
    const Row rows[] = {
        {"crlf head loses CR LF", "GET http://a/ HTTP/1.1\r\n", "HTTP/1.1 200 OK\r\n", "\r\n\r\n",
         "GET http://a/ HTTP/1.1", "HTTP/1.1 200 OK"},
        {"lf head loses LF", "GET http://a/ HTTP/1.0\n", "HTTP/1.0 200 OK\n", "\n\n",
         "GET http://a/ HTTP/1.0", "HTTP/1.0 200 OK"},
        {"cr head loses CR", "GET http://a/ HTTP/1.0\r", "HTTP/1.0 200 OK\r", "\r\r",
         "GET http://a/ HTTP/1.0", "HTTP/1.0 200 OK"},
        {"six characters stay", "ABCD\r\n", "WXYZ\r\n", "\r\n\r\n", "ABCD\r\n", "WXYZ\r\n"},
        {"seven characters are cut", "ABCDE\r\n", "\r\n", "\r\n\r\n", "ABCDE", "\r\n"},
        {"no terminator cuts nothing", "GET / HTTP/1.1", "HTTP/1.1 200 OK", "", "GET / HTTP/1.1",
         "HTTP/1.1 200 OK"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LogAccess(rt, "c127.0.0.1", "example.com", "192.0.2.1", "8080", row.request, row.status,
                  row.terminator);
        EXPECT_EQ(Buffered(rt.logs.access),
                  std::string("c127.0.0.1 - example.com[192.0.2.1]:8080 - [2026/1/2/3:4:5] \"") +
                      row.logged_request + "\" \"" + row.logged_status + "\"\r\n");
        FlushLog(rt, rt.logs.access);
    }
}

TEST_F(LogTest, AnEntryThatDoesNotFitIsCutAtTheCapacity) {
    std::string address(20000, '1');
    LogIp(rt, address, "を許可");  // past the threshold: flushed on this thread
    EXPECT_EQ(ReadFile(dir.file("ip_log")), address.substr(0, rt.logs.ip.capacity - 1));
    EXPECT_EQ(rt.logs.ip.length, 0u);
}

// No logger runs here: the text reaches the pane and the file only through the producer.
TEST_F(LogTest, TheProducerThatCrossesTheThresholdFlushesItself) {
    SetAllModes("2");
    std::string path(1000, 'p');
    int entries = 0;
    do {
        LogAccess(rt, "c", "h", "n", "80", path, "HTTP/1.1 200 OK\r\n", "\r\n\r\n");
        ++entries;
    } while (rt.logs.access.length != 0 && entries < 1000);
    EXPECT_GT(entries, 70);
    std::string file = ReadFile(dir.file("access_log"));
    EXPECT_GT(file.size(), rt.logs.access.flush_threshold);
    EXPECT_EQ(file, front.pane(Pane::kAccess));
}

TEST_F(LogTest, ConcurrentProducersAndFlushesLoseNoEntry) {
    SetAllModes("1");
    constexpr int kThreads = 6;
    constexpr int kEntries = 2000;
    std::atomic<bool> producing{true};
    std::thread flusher([&] {
        while (producing) FlushLog(rt, rt.logs.access);
    });
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([this] {
            for (int i = 0; i < kEntries; ++i) {
                LogAccess(rt, "c", "h", "n", "80", "GET http://example.com/ HTTP/1.1\r\n",
                          "HTTP/1.1 200 OK\r\n", "\r\n\r\n");
            }
        });
    }
    for (std::thread& producer : producers) producer.join();
    producing = false;
    flusher.join();
    FlushLog(rt, rt.logs.access);
    std::string file = ReadFile(dir.file("access_log"));
    std::size_t lines = 0;
    for (std::size_t at = file.find("\r\n"); at != std::string::npos;
         at = file.find("\r\n", at + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, static_cast<std::size_t>(kThreads * kEntries));
}

}  // namespace
}  // namespace korvanel::testing
