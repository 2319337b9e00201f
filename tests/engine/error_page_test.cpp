#include "engine/error_page.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/message_buffers.h"

namespace korvanel {
namespace {

std::string Page(std::string_view error_text) {
    char buffer[kErrorPageCapacity];
    int length = BuildErrorPage(buffer, sizeof buffer, error_text);
    EXPECT_GT(length, 0);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : "";
}

TEST(ErrorPage, CarriesReasonInUtf8Page) {
    EXPECT_EQ(Page("そのポート：99999 は使えません"),
              "HTTP/1.0 500 InternalServerError\r\nContent-Type: text/html; charset=UTF-8\r\n"
              "\r\n<html><head><title>Proxy Error</title></head>\r\n<body>"
              "そのポート：99999 は使えません</body></html>");
}

TEST(ErrorPage, KeepsLineFeedAndQuotesButEscapesMarkup) {
    std::string page = Page("\"127.0.0.1\":8080へのアクセスは出来ません\n");
    EXPECT_NE(page.find("<body>\"127.0.0.1\":8080へのアクセスは出来ません\n</body>"),
              std::string::npos);
    page = Page("a<script>x&y</script>:80に接続できません");
    EXPECT_NE(page.find("<body>a&lt;script&gt;x&amp;y&lt;/script&gt;:80に接続できません</body>"),
              std::string::npos);
}

TEST(ErrorPage, LongestErrorTextFitsAndSmallBufferIsRefused) {
    std::string worst(ErrorText::kMaxLength, '&');
    char buffer[kErrorPageCapacity];
    EXPECT_GT(BuildErrorPage(buffer, sizeof buffer, worst), 0);
    char small[64];
    EXPECT_EQ(BuildErrorPage(small, sizeof small, "タイムアウト\n"), -1);
    EXPECT_EQ(small[0], '\0');
}

}  // namespace
}  // namespace korvanel
