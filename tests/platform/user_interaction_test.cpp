#include "platform/user_interaction.h"

#include <QMetaObject>
#include <QWidget>

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

// A window that goes away while its question waits (a splash screen that
// closes itself) takes the box with it: the question ends unanswered.
TEST(UserInteraction, BoxWhoseOwnerVanishesEndsWithoutAChoice) {
  struct Case {
    Buttons buttons;
    Answer answer;
  } cases[] = {{Buttons::OkCancel, Answer::Cancel}, {Buttons::YesNo, Answer::No}, {Buttons::Ok, Answer::Ok}};
  for (const Case& c : cases) {
    auto* owner = new QWidget;
    owner->show();
    // Runs inside the box's own event loop, once it is open.
    QMetaObject::invokeMethod(owner, [owner] { delete owner; }, Qt::QueuedConnection);
    QtUserInteraction boxes(owner);
    EXPECT_EQ(boxes.messageBox("?", "caption", c.buttons, Icon::Question), c.answer);
  }
}
