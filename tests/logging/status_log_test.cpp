#include "logging/status_log.h"

#include <string>

#include "logging/log_fixture.h"

namespace korvanel::testing {
namespace {

TEST_F(LogTest, StatusLineGoesToTheCommandPaneAndAsksForASave) {
    EXPECT_EQ(PostStatus(rt, "サーバを開始しました PORT", "8080"), 1);
    EXPECT_EQ(front.pane(Pane::kStatus), "サーバを開始しました PORT:8080\r\n");
    EXPECT_EQ(front.saves(), 1);
    PostStatus(rt, "a", "");
    EXPECT_EQ(front.pane(Pane::kStatus), "サーバを開始しました PORT:8080\r\na:\r\n");
    EXPECT_EQ(front.saves(), 2);
}

TEST_F(LogTest, StatusPaneStaysUnderItsLimitDroppingTheOldestText) {
    for (int i = 0; i < 400; ++i) {
        PostStatus(rt, "設定を変更しました", std::to_string(i));
        ASSERT_LT(CountCharacters(front.pane(Pane::kStatus)), kStatusPaneLimit);
    }
    std::string pane = front.pane(Pane::kStatus);
    EXPECT_TRUE(pane.ends_with("設定を変更しました:399\r\n"));
    EXPECT_EQ(pane.find("設定を変更しました:0\r\n"), std::string::npos);
    EXPECT_EQ(front.saves(), 400);
}

}  // namespace
}  // namespace korvanel::testing
