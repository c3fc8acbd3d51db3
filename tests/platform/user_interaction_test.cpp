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

TEST(UserInteraction, WithoutAServiceTheFirstButtonAnswers) {
  // No box can be shown here: the libraries of this test link no widgets.
  struct Case {
    Buttons buttons;
    Answer answer;
  } cases[] = {{Buttons::OkCancel, Answer::Ok}, {Buttons::YesNo, Answer::Yes}, {Buttons::RetryCancel, Answer::Retry}};
  for (const Case& c : cases) EXPECT_EQ(messageBox("?", c.buttons), c.answer);
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
  {
    RecordingUserInteraction scripted;
    scripted.script({Answer::Cancel});
    ScopedUserInteraction over(&scripted);
    EXPECT_EQ(messageBox("scoped", Buttons::OkCancel), Answer::Cancel);
  }
  messageBox("outer again");
  EXPECT_EQ(outer.shown().size(), 2u);
}

// Once the session ends, no box waits for an answer: each question gets
// what closing it without a choice gives, so nothing a user did not choose
// is done.
TEST(SessionEnding, NoBoxIsShownAndEveryQuestionIsDeclined) {
  RecordingUserInteraction recorder;
  recorder.script({Answer::Yes});
  setSessionEnding(true);
  EXPECT_EQ(messageBox("削除しますか？", Buttons::YesNo), Answer::No);
  EXPECT_EQ(messageBox("続けますか？", Buttons::OkCancel), Answer::Cancel);
  EXPECT_EQ(messageBox("終わりました。", Buttons::Ok), Answer::Ok);
  setSessionEnding(false);
  EXPECT_TRUE(recorder.shown().empty());
  EXPECT_EQ(messageBox("削除しますか？", Buttons::YesNo), Answer::Yes);
}
