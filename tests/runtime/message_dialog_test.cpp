#include "runtime/message_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/runtime.h"
#include "support/recording_front_end.h"

namespace korvanel {
namespace {

using testing::RecordingFrontEnd;

TEST(MessageDialogTest, CutsTitleAndTextToTheirCharacterLimits) {
    RecordingFrontEnd front;
    Runtime rt(front);
    EXPECT_EQ(ShowMessageDialog(rt, std::string(2000, 't'), "line 1\r\nline 2"), 0);
    std::string japanese;
    for (int i = 0; i < 5000; ++i) japanese += "\xe3\x81\x82";  // 5000 three-byte characters
    ShowMessageDialog(rt, "title", japanese);
    auto messages = front.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].first, std::string(1999, 't'));
    EXPECT_EQ(messages[0].second, "line 1\r\nline 2");
    EXPECT_EQ(messages[1].second.size(), 4999u * 3);  // whole characters only
    EXPECT_EQ(ShowMessageDialog(rt, std::string(1999, 't'), ""), 0);
    EXPECT_EQ(front.messages()[2].first.size(), 1999u);
}

}  // namespace
}  // namespace korvanel
