// The viewer container's layouts, clamps and splitter drags, and the
// registration information and attached text panes.

#include "viewer/attached_text_pane.h"
#include "viewer/image_view.h"
#include "viewer/info_pane.h"
#include "viewer/viewer_pane_wnd.h"

#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Types text the way an input method delivers it: one key event carrying
// the characters (QTest's key clicks know ASCII only).
inline void typeText(QWidget* widget, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
}

// ---- container --------------------------------------------------------------

class PanesTest : public ::testing::Test {
 protected:
  void showAt(int w, int h) {
    panes.resize(w, h);
    panes.show();
    panes.ShowPanes(true);
    QCoreApplication::processEvents();
  }
  platform::RecordingUserInteraction boxes;
  ViewerPaneWnd panes;
};

TEST_F(PanesTest, FourLayouts) {
  showAt(800, 600);
  const QRect inset(8, 8, 784, 584);
  struct Case {
    int layout;
    QWidget* shown;
    int active;
  } single[] = {{1, panes.imageView(), ViewerPaneWnd::kPaneImage},
                {2, panes.textPane(), ViewerPaneWnd::kPaneText},
                {3, panes.infoPane(), ViewerPaneWnd::kPaneInfo}};
  for (const Case& c : single) {
    SCOPED_TRACE(c.layout);
    panes.SetMode(c.layout);
    EXPECT_EQ(c.shown->geometry(), inset);
    EXPECT_TRUE(c.shown->isVisible());
    int visible = 0;
    for (QWidget* w : std::initializer_list<QWidget*>{panes.imageView(), panes.textPane(), panes.infoPane()})
      visible += w->isVisible();
    EXPECT_EQ(visible, 1);
    EXPECT_EQ(panes.activePane(), c.active);
    EXPECT_FALSE(panes.frameColour(c.active).isValid());  // no frames outside the tile layout
  }
  panes.SetMode(ViewerPaneWnd::kLayoutTile);
  panes.SetSplitPositions(500, 500);
  EXPECT_EQ(panes.imageView()->geometry(), QRect(QPoint(8, 8), QPoint(395, 591)));
  EXPECT_EQ(panes.textPane()->geometry(), QRect(QPoint(404, 8), QPoint(791, 295)));
  EXPECT_EQ(panes.infoPane()->geometry(), QRect(QPoint(404, 304), QPoint(791, 591)));
}

TEST_F(PanesTest, SplitPositionsAreHeldWithinTheirBounds) {
  showAt(800, 600);
  const int bottomGap = 6 * (panes.infoPane()->textHeight() + 2);
  struct Case {
    const char* name;
    int width, height, posX, posY, barX, barY;
  } cases[] = {
      {"inside", 800, 600, 300, 400, 240, 240},
      {"below the lower bounds", 800, 600, 100, 50, 188, 100},
      {"above the upper bounds", 800, 600, 990, 990, 612, 600 - bottomGap},
      // Narrower than 376 pixels: the lower bound wins.
      {"narrow", 300, 600, 500, 500, 188, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    panes.resize(c.width, c.height);
    panes.SetSplitPositions(c.posX, c.posY);
    EXPECT_EQ(panes.imageView()->geometry().right() + 1, c.barX - 4);
    EXPECT_EQ(panes.infoPane()->geometry().top(), c.barY + 4);
    EXPECT_EQ(panes.splitX(), c.barX * 1000 / c.width);
  }
}

TEST_F(PanesTest, DraggingOnlyTheHorizontalBarKeepsTheVerticalPosition) {
  showAt(800, 600);
  panes.SetSplitPositions(500, 500);
  // The horizontal bar at y 300, right of the vertical bar.
  QTest::mousePress(&panes, Qt::LeftButton, {}, QPoint(600, 300));
  EXPECT_TRUE(panes.dragging());
  QTest::mouseMove(&panes, QPoint(600, 200));
  EXPECT_EQ(panes.trackerRect().top(), 197);
  QTest::mouseRelease(&panes, Qt::LeftButton, {}, QPoint(600, 200));
  EXPECT_FALSE(panes.dragging());
  EXPECT_EQ(panes.splitX(), 500);
  EXPECT_EQ(panes.splitY(), 333);
  // The crossing drags both.
  QTest::mousePress(&panes, Qt::LeftButton, {}, QPoint(401, 201));
  QTest::mouseMove(&panes, QPoint(320, 150));
  QTest::mouseRelease(&panes, Qt::LeftButton, {}, QPoint(320, 150));
  EXPECT_EQ(panes.splitX(), 400);
  EXPECT_EQ(panes.splitY(), 250);
}

TEST_F(PanesTest, ClickingAPaneMovesTheRedFrame) {
  showAt(800, 600);
  panes.SetMode(ViewerPaneWnd::kLayoutTile);
  panes.SetActivePane(ViewerPaneWnd::kPaneImage);
  EXPECT_EQ(panes.frameColour(ViewerPaneWnd::kPaneImage), QColor(255, 0, 0));
  QTest::mouseClick(panes.infoPane()->creatorEdit(), Qt::LeftButton);
  EXPECT_EQ(panes.activePane(), ViewerPaneWnd::kPaneInfo);
  EXPECT_EQ(panes.frameColour(ViewerPaneWnd::kPaneInfo), QColor(255, 0, 0));
  EXPECT_NE(panes.frameColour(ViewerPaneWnd::kPaneImage), QColor(255, 0, 0));
  QTest::mouseClick(panes.imageView()->viewport(), Qt::LeftButton);
  EXPECT_EQ(panes.activePane(), ViewerPaneWnd::kPaneImage);
}

// ---- registration information ------------------------------------------------

class InfoPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pane.resize(500, 300);
    pane.show();
    item.ItemNo = 1;
    item.OfficialDate = 20260215;
    item.LastModifiedDate = 20261201;
    item.LastAccessedDate = 20261210;
    pane.Fill(item, "経理部", "請求", "十二月分");
  }
  platform::RecordingUserInteraction boxes;
  InfoPane pane;
  ItemInfo item;
};

TEST_F(InfoPaneTest, FillShowsTheDatesAndNothingIsModified) {
  EXPECT_EQ(pane.yearEdit()->text(), QStringLiteral("2026"));
  EXPECT_EQ(pane.monthEdit()->text(), QStringLiteral("2"));
  EXPECT_EQ(pane.dayEdit()->text(), QStringLiteral("15"));
  EXPECT_EQ(pane.creatorEdit()->text(), QStringLiteral("経理部"));
  EXPECT_EQ(pane.datesText(), QStringLiteral("日  更新日: 2026年12月1日  参照日: 2026年12月10日"));
  EXPECT_FALSE(pane.IsModified());
  std::string creator, keyword, comment;
  EXPECT_FALSE(pane.Save(item, creator, keyword, comment));
}

TEST_F(InfoPaneTest, TabWalksTheFieldsInARing) {
  QApplication::setActiveWindow(&pane);
  pane.commentEdit()->setFocus();
  QTest::keyClick(pane.commentEdit(), Qt::Key_Tab);
  EXPECT_TRUE(pane.yearEdit()->hasFocus());
  QTest::keyClick(pane.yearEdit(), Qt::Key_Tab);
  EXPECT_TRUE(pane.monthEdit()->hasFocus());
  QTest::keyClick(pane.monthEdit(), Qt::Key_Backtab, Qt::ShiftModifier);
  QTest::keyClick(pane.yearEdit(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(pane.commentEdit()->hasFocus());
  EXPECT_EQ(pane.commentEdit()->toPlainText(), QStringLiteral("十二月分"));  // no tab typed
}

TEST_F(InfoPaneTest, InvalidDateTypingIsRefusedWithABeep) {
  pane.monthEdit()->setFocus();
  pane.monthEdit()->selectAll();
  QTest::keyClicks(pane.monthEdit(), "a");
  EXPECT_EQ(pane.monthEdit()->text(), QStringLiteral("2"));
  EXPECT_EQ(pane.beeps(), 1);
  pane.dayEdit()->selectAll();
  QTest::keyClicks(pane.dayEdit(), "31");  // "3" is accepted, "31" is not a February day
  EXPECT_EQ(pane.dayEdit()->text(), QStringLiteral("3"));
  EXPECT_EQ(pane.beeps(), 2);
  pane.monthEdit()->selectAll();
  QTest::keyClicks(pane.monthEdit(), "13");
  EXPECT_EQ(pane.monthEdit()->text(), QStringLiteral("1"));
  std::string creator, keyword, comment;
  EXPECT_TRUE(pane.Save(item, creator, keyword, comment));
  EXPECT_EQ(item.OfficialDate, 20260103);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(InfoPaneTest, AnEmptyYearKeepsTheStoredDateButTheOtherFieldsAreSaved) {
  pane.yearEdit()->selectAll();
  QTest::keyClick(pane.yearEdit(), Qt::Key_Delete);
  pane.creatorEdit()->selectAll();
  typeText(pane.creatorEdit(), QStringLiteral("総務部  "));
  std::string creator = "経理部", keyword = "請求", comment = "十二月分";
  EXPECT_TRUE(pane.Save(item, creator, keyword, comment));
  EXPECT_EQ(item.OfficialDate, 20260215);
  EXPECT_EQ(creator, "総務部");  // trailing white space removed
  EXPECT_EQ(keyword, "請求");
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "発行日に入力されていない項目があります。\n保存されません。");
  EXPECT_EQ(boxes.shown()[0].caption, "保存");
  EXPECT_FALSE(pane.IsModified());

  pane.Fill(item, creator, keyword, comment);
  pane.yearEdit()->selectAll();
  QTest::keyClicks(pane.yearEdit(), "99");
  EXPECT_TRUE(pane.Save(item, creator, keyword, comment));
  EXPECT_EQ(item.OfficialDate, 20260215);
  EXPECT_EQ(boxes.shown().back().text, "発行日に設定できない日付が設定されました。\n保存されません。");
}

TEST_F(InfoPaneTest, TextsAreCutAtACharacterBoundaryOfTheirShiftJisBytes) {
  struct Case {
    const char* name;
    std::string text;
    int limit;
    std::string expected;
  } cases[] = {
      {"ASCII", std::string(300, 'a'), 255, std::string(255, 'a')},
      {"kanji at an even limit", "請求書請求書", 6, "請求書"},
      {"kanji at an odd limit: no half character", "請求書請求書", 5, "請求"},
      {"mixed", "a請求", 2, "a"},
      {"half-width kana count one byte", "ｷｰﾜｰﾄﾞ", 3, "ｷｰﾜ"},
      {"shorter than the limit", "経理", 50, "経理"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string cut = CutToSjisBytes(c.text, c.limit);
    EXPECT_EQ(cut, c.expected);
    EXPECT_TRUE(platform::utf8IsValid(cut));
    EXPECT_LE(platform::cp932Length(cut), c.limit);
  }

  // A comment of 300 bytes is stored cut to 255 bytes; 151 kanji (302
  // bytes) become 127 kanji (254 bytes), never 255 with half a character.
  std::string comment;
  for (int i = 0; i < 151; ++i) comment += "頁";
  pane.commentEdit()->setPlainText(QString::fromStdString(comment));
  pane.commentEdit()->document()->setModified(true);
  std::string creator, keyword, stored;
  ASSERT_TRUE(pane.Save(item, creator, keyword, stored));
  EXPECT_EQ(platform::cp932Length(stored), 254);
  // The creator edit refuses typing beyond 50 bytes.
  pane.creatorEdit()->clear();
  pane.creatorEdit()->setFocus();
  QTest::keyClicks(pane.creatorEdit(), QString(60, QLatin1Char('x')));
  EXPECT_EQ(pane.creatorEdit()->text().size(), 50);
}

// ---- attached text -----------------------------------------------------------

class TextPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    item.ItemNo = 1;
    item.Title = "a";
    item.Ext = "bmp";
    item.ImageLevel = 1;
    ASSERT_TRUE(testsupport::writeFile(dir.file("a.bmp"), "BM"));
  }
  std::string textFile(const char* ext = "TXT") { return dir.file(std::string("a.bmp.") + ext); }
  std::string read(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
  }
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  AttachedTextPane pane;
  ItemInfo item;
};

TEST_F(TextPaneTest, TypingCreatesTheFileAndEmptyingDeletesIt) {
  pane.Load(dir.path(), item);
  EXPECT_FALSE(pane.isReadOnly());
  EXPECT_EQ(pane.TextPath(), textFile());
  pane.setFocus();
  typeText(&pane, QStringLiteral("請求"));
  pane.AppendText("済み");
  ASSERT_TRUE(pane.Save(item));
  EXPECT_EQ(item.TextExt, "TXT");
  EXPECT_EQ(read(textFile()), *platform::toCp932("請求済み"));

  pane.Load(dir.path(), item);
  EXPECT_EQ(pane.toPlainText(), QStringLiteral("請求済み"));
  pane.selectAll();
  QTest::keyClick(&pane, Qt::Key_Delete);
  ASSERT_TRUE(pane.Save(item));
  EXPECT_EQ(item.TextExt, "");
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(textFile())));
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(TextPaneTest, ALowerCaseExtensionLoadsAndLinesKeepTheirEnds) {
  item.TextExt = "txt";
  ASSERT_TRUE(testsupport::writeFile(textFile("txt"), *platform::toCp932("一行目\r\n二行目")));
  pane.Load(dir.path(), item);
  EXPECT_FALSE(pane.isReadOnly());
  EXPECT_EQ(pane.toPlainText(), QStringLiteral("一行目\n二行目"));
  pane.AppendText("\n三行目");
  ASSERT_TRUE(pane.Save(item));
  EXPECT_EQ(read(textFile("txt")), *platform::toCp932("一行目\r\n二行目\r\n三行目"));
  EXPECT_EQ(item.TextExt, "txt");
}

TEST_F(TextPaneTest, ALongTextIsNeverCut) {
  item.TextExt = "TXT";
  std::string text;
  for (int i = 0; i < 40000; ++i) text += (i % 100 == 99) ? "\r\n" : "文";
  const std::string sjis = *platform::toCp932(text);
  ASSERT_GT(sjis.size(), 70000u);
  ASSERT_TRUE(testsupport::writeFile(textFile(), sjis));
  pane.Load(dir.path(), item);
  pane.AppendText("末");
  ASSERT_TRUE(pane.Save(item));
  EXPECT_EQ(read(textFile()), sjis + *platform::toCp932("末"));
}

TEST_F(TextPaneTest, FilesThatMayNotBeEditedOpenReadOnly) {
  struct Case {
    const char* name;
    std::string textExt;
    std::string content;  // empty: no file
    bool readOnlyFile;
    const char* message;
  } cases[] = {
      {"another format", "DOC", "", false,
       "編集できないフォーマットがアタッチされています。\n付属テキストの編集は出来ません。"},
      {"write-protected", "TXT", "abc", true,
       "付属テキストファイルが書き込み禁止になっています。\n付属テキストの編集は出来ません。"},
      {"not Shift-JIS", "TXT", "\x82\xa0\xff\xfe", false,
       "付属テキストがShift-JISのテキストではありません。\n付属テキストの編集は出来ません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes.clear();
    item.TextExt = c.textExt;
    const QString file = QString::fromStdString(textFile("TXT"));
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::remove(file);
    if (!c.content.empty()) {
      ASSERT_TRUE(testsupport::writeFile(textFile("TXT"), c.content));
    }
    if (c.readOnlyFile) QFile::setPermissions(file, QFileDevice::ReadOwner);
    pane.Load(dir.path(), item);
    EXPECT_TRUE(pane.isReadOnly());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, c.message);
    EXPECT_EQ(boxes.shown()[0].caption, "付属テキストの読み込み");
    pane.AppendText("追加");
    EXPECT_EQ(boxes.shown().back().text, "付属テキストは書き込み禁止になっています。。\nテキストの付加はできません。");
    EXPECT_FALSE(pane.Save(item));
    if (!c.content.empty()) {
      EXPECT_EQ(read(textFile("TXT")), c.content);
    }
  }
}

TEST_F(TextPaneTest, AFailedWriteKeepsTheEditAndTheExtension) {
  pane.Load(dir.path(), item);
  pane.AppendText("保存できない");
  // A folder stands where the file would go: the write cannot succeed.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(textFile())));
  EXPECT_FALSE(pane.Save(item));
  EXPECT_TRUE(pane.IsModified());
  EXPECT_EQ(item.TextExt, "");
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, "付属テキストの保存");
  EXPECT_TRUE(QFileInfo(QString::fromStdString(textFile())).isDir());
  // A character Shift-JIS cannot write is refused the same way.
  pane.AppendText("😀");
  EXPECT_FALSE(pane.Save(item));
  EXPECT_TRUE(pane.IsModified());
  EXPECT_EQ(item.TextExt, "");
}

}  // namespace
