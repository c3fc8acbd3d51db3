#include "platform/user_interaction.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(UserInteraction, RecorderAnswersFromScriptAndKeepsEveryBox) {
  RecordingUserInteraction recorder;
  recorder.script({Answer::No});
  EXPECT_EQ(messageBox("上書きしますか？", Buttons::YesNo, Icon::Question), Answer::No);
  EXPECT_EQ(messageBox("二度目", Buttons::YesNoCancel), Answer::Yes);  // script empty: first button
  EXPECT_EQ(messageBox("了解", Buttons::RetryCancel), Answer::Retry);
  ASSERT_EQ(recorder.shown().size(), 3u);
  EXPECT_EQ(recorder.shown()[0].text, "上書きしますか？");
  EXPECT_EQ(recorder.shown()[0].caption, kDefaultCaption);
  EXPECT_EQ(recorder.texts()[1], "二度目");
}

TEST(UserInteraction, RecordersNestAndRestore) {
  RecordingUserInteraction outer;
  {
    RecordingUserInteraction inner;
    messageBox("inner");
    EXPECT_EQ(inner.shown().size(), 1u);
  }
  messageBox("outer");
  ASSERT_EQ(outer.shown().size(), 1u);
  EXPECT_EQ(outer.shown()[0].text, "outer");
}
