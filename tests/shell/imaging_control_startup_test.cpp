// Start-up of imaging-control instances, and the edit field that hands Tab
// on to its pane.

#include "shell/imaging_control_startup.h"

#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/key_forward_wnd.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

TEST(ImagingControlStartup, CreatesAHiddenChildOfThirtyTwoPixels) {
  platform::RecordingUserInteraction boxes;
  QWidget frame;
  auto* ctrl = new CImageCtrl;  // owned by the frame once created
  ASSERT_EQ(CreateImagingControl(&frame, ctrl, 2000), 0);
  EXPECT_EQ(ctrl->parentWidget(), &frame);
  EXPECT_EQ(ctrl->objectName(), "ctl2000");
  EXPECT_EQ(ctrl->size(), QSize(32, 32));
  EXPECT_TRUE(ctrl->isHidden());
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(ApplyImagingControlSettings(ctrl), 0) << "the second entry, on an instance that exists";
}

TEST(ImagingControlStartup, FailureIsToldAndReported) {
  platform::RecordingUserInteraction boxes;
  QWidget frame;
  EXPECT_EQ(CreateImagingControl(&frame, nullptr, 2000), 1);
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "初期化に失敗しました。\nプログラムを終了します。");
}

// An instance whose window cannot be made because the control fails inside.
class ThrowingImageCtrl : public CImageCtrl {
 public:
  bool Create(const std::string&, unsigned, const QRect&, QWidget*, int) override {
    throw std::runtime_error("control failed");
  }
};

// The document's instance: a failure tells the user and ends the program
// with exit code 1; an exception while it is made says so in its own words.
TEST(ImagingControlStartup, TheDocumentEndsTheProgramWhenItsInstanceCannotBeMade) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<CImageCtrl>()> maker;
    const char* message;
  };
  const Case cases[] = {
      {"no instance", [] { return std::unique_ptr<CImageCtrl>(); }, kImagingInitFailedMessage},
      {"out of memory", []() -> std::unique_ptr<CImageCtrl> { throw std::bad_alloc(); }, kImagingInitExceptionMessage},
      {"the control throws", [] { return std::make_unique<ThrowingImageCtrl>(); }, kImagingInitExceptionMessage},
  };
  std::vector<int> exitCodes;
  CFD3Doc::SetFatalExitHandler([&exitCodes](int code) { exitCodes.push_back(code); });
  for (const Case& c : cases) {
    platform::RecordingUserInteraction boxes;
    exitCodes.clear();
    QWidget frame;
    CFD3Doc doc;
    doc.SetMainWindow(&frame);
    SetImageCtrlMaker(c.maker);
    doc.CreateImageCtrl(true);
    SetImageCtrlMaker({});
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(exitCodes, std::vector<int>{1}) << c.name;
    EXPECT_EQ(doc.imageCtrl(), nullptr) << c.name;
  }
  CFD3Doc::SetFatalExitHandler(nullptr);
}

TEST(ImagingControlStartup, TheControlIsMadeFromItsClassRecord) {
  QObject* made = CLead::staticMetaObject.newInstance(Q_ARG(QWidget*, nullptr));
  ASSERT_NE(made, nullptr);
  EXPECT_STREQ(made->metaObject()->className(), "CLead");
  delete made;
}

TEST(KeyForwardWnd, TabMovesToTheNextOrPreviousField) {
  QWidget pane;
  auto* field = new KeyForwardWnd(&pane);
  auto* other = new KeyForwardWnd(&pane);
  pane.show();
  QSignalSpy moves(field, &KeyForwardWnd::moveToField);
  QSignalSpy current(other, &KeyForwardWnd::becameCurrentField);
  field->setPlainText("題名");
  field->selectAll();

  QTest::keyClick(field, Qt::Key_Tab);
  ASSERT_EQ(moves.count(), 1);
  EXPECT_FALSE(moves[0][1].toBool());
  EXPECT_FALSE(field->textCursor().hasSelection());
  EXPECT_EQ(field->toPlainText(), "題名") << "no tab typed";

  QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier);
  ASSERT_EQ(moves.count(), 2);
  EXPECT_TRUE(moves[1][1].toBool());

  QTest::keyClick(field, Qt::Key_A);
  EXPECT_EQ(field->toPlainText(), "題名a") << "other keys as usual";

  other->setFocus();
  QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
  QCoreApplication::sendEvent(other, &focus);
  EXPECT_GE(current.count(), 1);
}

}  // namespace
