// The layout library's own windows: the template folder chooser, the
// template image window, and a laid-out page painted with its overlay.
#include "layout/dialogs/overlay_painter.h"
#include "layout/dialogs/template_folder_chooser.h"
#include "layout/dialogs/template_image_window.h"
#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "layout/vulay30.h"
#include "platform/user_interaction.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/test_pages.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using layout::dialogs::TemplateImageWindow;

// Runs `act` on the modal dialog that the next exec() opens.
void onNextModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    act(modal);
  });
}

TEST(TemplateFolderChooser, GivesTheChosenFolderOrNothingWhenCancelled) {
  QTemporaryDir dir;
  const QString forms = dir.path() + QStringLiteral("/帳票");
  ASSERT_TRUE(QDir().mkpath(forms));
  platform::RecordingUserInteraction boxes;
  std::string folder = "left over";

  onNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->objectName(), QStringLiteral("GETTEMPATEDIR"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ﾃﾞｨﾚｸﾄﾘの選択"));
    EXPECT_EQ(QDir(dialog->directory()).absolutePath(), QDir(dir.path()).absolutePath());
    dialog->selectFile(forms);
    QMetaObject::invokeMethod(dialog, "accept");
  });
  EXPECT_EQ(layout::dialogs::choose_template_folder(nullptr, dir.path().toStdString(), folder), 1);
  EXPECT_EQ(folder, QDir(forms).absolutePath().toStdString());

  onNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(layout::dialogs::choose_template_folder(nullptr, dir.path().toStdString(), folder), 0);
  EXPECT_TRUE(folder.empty());
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(TemplateFolderChooser, TablePathsAreCutBackToTheirFolder) {
  EXPECT_EQ(layout::dialogs::folder_of_table_path("/home/u/forms/template.tbl"), "/home/u/forms");
  EXPECT_EQ(layout::dialogs::folder_of_table_path("/template.tbl"), "/");
}

TEST(TemplateFolderChooser, OnlyDialogErrorsAreReported) {
  struct Case {
    unsigned code;
    bool shown;
  };
  const Case cases[] = {{0, false}, {1, true}, {11, true}, {12, false}, {0x1001, true}, {0x100B, true},
                        {0x100C, false}, {0x2001, true}, {0x2002, false}, {0x3003, true}, {0xFFFF, true}};
  for (const Case& c : cases) {
    platform::RecordingUserInteraction boxes;
    layout::dialogs::show_open_error(c.code);
    ASSERT_EQ(boxes.shown().size(), c.shown ? 1u : 0u) << c.code;
    if (c.shown) {
      EXPECT_EQ(boxes.shown()[0].text, "file open error");
      EXPECT_EQ(boxes.shown()[0].caption, "KPX UPDATE");
    }
  }
}

class TemplateImageWindowTest : public layouttest::LayoutLibraryTest {
 protected:
  void TearDown() override {
    free_fld_list(&ring_);
    LayoutLibraryTest::TearDown();
  }
  userfld* field(int l, int t, int r, int b) {
    userfld* f = layouttest::appendFieldAt(&ring_, l, t, r, b);
    f->params.setByte(ParamBlock::kForm, 1);
    return f;
  }
  userfld* ring_ = nullptr;
};

TEST_F(TemplateImageWindowTest, ScrollRangesFollowTheScaleAndTheClientArea) {
  TemplateImageWindow window;
  window.resize(400, 300);
  window.show();
  const int clientWidth = window.viewport()->width();
  EXPECT_EQ(window.horizontalScrollBar()->maximum(), 11000 / 8 - clientWidth);
  window.horizontalScrollBar()->setValue(window.horizontalScrollBar()->maximum());
  window.setScale(32);
  EXPECT_EQ(window.horizontalScrollBar()->maximum(), std::max(0, 11000 / 32 - clientWidth));
  EXPECT_EQ(window.horizontalScrollBar()->value(), window.horizontalScrollBar()->maximum());
  window.setScale(4);
  window.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(window.horizontalScrollBar()->value(), std::max(0, 11000 / 32 - clientWidth) + 20);
}

TEST_F(TemplateImageWindowTest, AClickSelectsTheFieldUnderTheMouse) {
  field(80, 80, 800, 400);
  userfld* second = field(80, 800, 1600, 1600);
  TemplateImageWindow window;
  window.resize(400, 300);
  window.setTemplate(ring_, {});
  window.show();
  QSignalSpy selected(&window, &TemplateImageWindow::fieldSelected);
  window.verticalScrollBar()->setValue(50);
  // Page (400, 1200) at 1/8 is client (50, 150 - 50).
  QTest::mouseClick(window.viewport(), Qt::LeftButton, {}, QPoint(50, 100));
  ASSERT_EQ(selected.count(), 1);
  EXPECT_EQ(window.selected(), second);
  QTest::mouseClick(window.viewport(), Qt::LeftButton, {}, QPoint(300, 250));  // nothing there
  EXPECT_EQ(selected.count(), 1);
  EXPECT_EQ(window.selected(), second);
}

// A laid-out page with the overlay that DisplayLayout builds for it, painted
// the way a host view paints it; saved for the eye.
TEST_F(TemplateImageWindowTest, ALaidOutPageIsPaintedWithItsLayout) {
  const int dpi = 200;
  const int mm = testpages::libraryMm(1, dpi);
  testpages::PageBuilder builder(210 * mm, 160 * mm, dpi);
  const QString text = QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。段落の文字を測ります。");
  builder.addText({20 * mm, 12 * mm}, text, 16, 14, 1);
  for (const int x : {15, 110}) {
    builder.addText({x * mm, 35 * mm}, text, 10.5, 22, 5);
    builder.addText({x * mm, 80 * mm}, text, 10.5, 22, 4);
  }
  testpages::RenderedPage page = builder.render();
  ParamBlock params;
  userfld* list = nullptr;
  int host = 0;
  ASSERT_EQ(GetLayout(&host, &params, page.bits.data(), &list, static_cast<short>(page.width),
                      static_cast<short>(page.height), static_cast<std::uint16_t>(dpi), nullptr, -1),
            1);
  free_userfld_ring(&list);
  constexpr int kScale = 2;
  ASSERT_EQ(DisplayLayout(&host, kScale, 0, 0, nullptr, 1), 1);
  std::vector<VuOverlayItem> items(static_cast<std::size_t>(GetDisplayOverlay(&host, nullptr, 0)));
  GetDisplayOverlay(&host, items.data(), static_cast<int>(items.size()));
  ASSERT_FALSE(items.empty());

  QImage picture(page.width / kScale, page.height / kScale, QImage::Format_RGB32);
  picture.fill(Qt::white);
  {
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int y = 0; y < page.height; y += kScale)
      for (int x = 0; x < page.width; x += kScale)
        if (page.pixel(x, y)) picture.setPixel(x / kScale, y / kScale, qRgb(0, 0, 0));
    layout::dialogs::paintOverlay(painter, items.data(), items.size());
  }
  // Every frame is there in the frame colour (its right edge: the label
  // stands at the top left).
  for (const auto& it : items) {
    if (it.kind != VuOverlayFrame) continue;
    EXPECT_EQ(picture.pixelColor(it.x2 - 1, (it.y1 + it.y2) / 2), layout::dialogs::colourOf(layout::kFrameColour));
  }
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  EXPECT_TRUE(picture.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/layout_overlay_page.png")));
  layout::forget_display_overlays();
}

}  // namespace
