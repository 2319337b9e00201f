#include "engine/answer_body.h"

#include <gtest/gtest.h>

namespace korvanel {
namespace {

AnswerFacts Facts(long long length, long long in_head, int chunked = 0, int html = 0) {
    AnswerFacts a;
    a.content_length = length;
    a.no_length = length < 0;
    a.remaining = length < 0 ? -1 : length - in_head;
    a.chunked = chunked;
    a.html = html;
    return a;
}

TEST(AnswerBody, ChoosesTheRelayByFramingFilterAndStatus) {
    struct Row {
        const char* name;
        AnswerFacts facts;
        bool filter;
        bool head_request;
        const char* code;
        BodyMode mode;
    };
    const Row rows[] = {
        {"length", Facts(100, 10), false, false, "200", BodyMode::kLength},
        {"length, all in head", Facts(10, 10), false, false, "200", BodyMode::kLength},
        {"chunked", Facts(-1, 0, 1), false, false, "200", BodyMode::kChunked},
        {"chunked html, filter", Facts(-1, 0, 1, 1), true, false, "200",
         BodyMode::kChunkedFiltered},
        {"chunked html, no filter", Facts(-1, 0, 1, 1), false, false, "200", BodyMode::kChunked},
        {"html whole in head", Facts(10, 10, 0, 1), true, false, "200", BodyMode::kFilterWhole},
        {"html more to come", Facts(100, 10, 0, 1), true, false, "200", BodyMode::kFiltered},
        {"html until close", Facts(-1, 0, 0, 1), true, false, "200", BodyMode::kFiltered},
        {"no length", Facts(-1, 0), false, false, "200", BodyMode::kUntilClose},
        {"no length 302", Facts(-1, 0), false, false, "302", BodyMode::kNone},
        {"304 with length", Facts(500, 0), false, false, "304", BodyMode::kNone},
        {"204", Facts(-1, 0), false, false, "204", BodyMode::kNone},
        {"HEAD with length", Facts(1000, 0), false, true, "200", BodyMode::kNone},
        {"HEAD chunked", Facts(-1, 0, 1), false, true, "200", BodyMode::kNone},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChooseBodyMode(row.facts, row.filter, row.head_request, row.code), row.mode)
            << row.name;
    }
}

TEST(AnswerBody, KeepsTheConnectionOnlyWhenEveryConditionHolds) {
    AnswerFacts kept = Facts(10, 0);
    kept.keep_alive = 1;
    EXPECT_TRUE(KeepsConnection(kept, "1.1"));
    EXPECT_FALSE(KeepsConnection(kept, "1.0"));
    AnswerFacts chunked = Facts(-1, 0, 1);
    chunked.keep_alive = 1;
    EXPECT_TRUE(KeepsConnection(chunked, "1.1"));
    AnswerFacts no_length = Facts(-1, 0);
    no_length.keep_alive = 1;
    EXPECT_FALSE(KeepsConnection(no_length, "1.1"));
    AnswerFacts filtered = kept;
    filtered.filtered = 1;
    EXPECT_FALSE(KeepsConnection(filtered, "1.1"));
    AnswerFacts closing = kept;
    closing.close = 1;
    EXPECT_FALSE(KeepsConnection(closing, "1.1"));
    AnswerFacts silent = Facts(10, 0);
    EXPECT_FALSE(KeepsConnection(silent, "1.1"));
}

TEST(AnswerBody, RecognisesInterimAnswers) {
    EXPECT_TRUE(IsInterimAnswer("HTTP/1.1 100 Continue\r\n"));
    EXPECT_TRUE(IsInterimAnswer("HTTP/1.1 103 Early Hints\r\n"));
    EXPECT_FALSE(IsInterimAnswer("HTTP/1.1 101 Switching Protocols\r\n"));
    EXPECT_FALSE(IsInterimAnswer("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(StatusCodeOf("HTTP/1.0 404 Not Found\n"), "404");
}

}  // namespace
}  // namespace korvanel
