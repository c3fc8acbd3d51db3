#include "shell/qt_user_interaction.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace platform;

// A window that goes away while its question waits (a splash screen that
// closes itself) takes the box with it: the question ends unanswered.
TEST(QtUserInteraction, BoxWhoseOwnerVanishesEndsWithoutAChoice) {
  struct Case {
    Buttons buttons;
    Answer answer;
  } cases[] = {{Buttons::OkCancel, Answer::Cancel}, {Buttons::YesNo, Answer::No}, {Buttons::Ok, Answer::Ok}};
  for (const Case& c : cases) {
    auto* owner = new QWidget;
    owner->show();
    QTimer::singleShot(0, [owner] { delete owner; });
    QtUserInteraction boxes(owner);
    EXPECT_EQ(boxes.messageBox("?", "caption", c.buttons, Icon::Question), c.answer);
  }
}

// Installed, it is what platform::messageBox shows: a QMessageBox with the
// text, caption and buttons asked for.
TEST(QtUserInteraction, InstalledServiceShowsTheBoxAskedFor) {
  QtUserInteraction boxes;
  ScopedUserInteraction installed(&boxes);
  QString text, caption;
  int buttonCount = 0;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    text = box->text();
    caption = box->windowTitle();
    buttonCount = static_cast<int>(box->buttons().size());
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(messageBox("上書きしますか？", Buttons::YesNoCancel, Icon::Question), Answer::No);
  EXPECT_EQ(text, QStringLiteral("上書きしますか？"));
  EXPECT_EQ(caption, QString::fromUtf8(kDefaultCaption));
  EXPECT_EQ(buttonCount, 3);
}
