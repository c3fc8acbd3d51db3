// The recognition areas: the host's area methods, the view's mouse and key
// handling with the events it raises, the context menu's renumbering, the
// scrolling, and the library's field list kept in step with the areas.
#include "layout/vulay30.h"
#include "ocrctl/area_view.h"
#include "ocrctl/ocr_dispatch.h"
#include "ocrctl/property_page.h"
#include "tests/support/page_renderer.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QGridLayout>
#include <QToolButton>
#include <tuple>
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <set>
#include <vector>

using platform::Variant;

namespace {

struct Fired {
  int dispid;
  std::vector<int> args;
  bool operator==(const Fired&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Fired& f) {
  os << "event " << f.dispid << " (";
  for (int a : f.args) os << a << ' ';
  return os << ')';
}

class RecordingSink : public platform::EventSink {
 public:
  void fire(int dispid, std::span<const Variant> args) override {
    Fired f{dispid, {}};
    for (const Variant& a : args) {
      std::int32_t v = 0;
      EXPECT_TRUE(a.toLong(&v));
      f.args.push_back(v);
    }
    fired.push_back(f);
  }
  std::vector<Fired> take() { return std::exchange(fired, {}); }
  std::vector<Fired> fired;
};

std::vector<QRect> sfldRects() {
  std::vector<QRect> out;
  userfld* head = nullptr;
  getRcgS_fld(&head);
  if (head == nullptr) return out;
  for (userfld* f = head->next; f != head; f = f->next) out.push_back(ocrctl::AreaList::rectOf(*f));
  return out;
}

// The rectangles of the areas that stand for a field of the library's list.
std::vector<QRect> twinRects(const ocrctl::AreaList& areas) {
  std::vector<QRect> out;
  for (int i = 0; i < areas.count(); ++i)
    if (areas.at(i)->origin == 1) out.push_back(ocrctl::AreaList::rectOf(*areas.at(i)));
  return out;
}

// Every record hanging below a ring of fields (lines, characters, blocks, sub-rectangles).
void collectRecords(const userfld* head, std::set<const void*>& out) {
  if (head == nullptr) return;
  out.insert(head);
  for (const userfld* f = head->next; f != head; f = f->next) {
    out.insert(f);
    if (f->lines != nullptr) {
      out.insert(f->lines);
      for (const line_record* l = f->lines->next; l != f->lines; l = l->next) out.insert(l);
    }
    if (f->blocks != nullptr) {
      out.insert(f->blocks);
      for (const recg* r = f->blocks->next; r != f->blocks; r = r->next) out.insert(r);
    }
    collectRecords(f->children, out);
  }
}

class AreaViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(control().InitOcr(dir_.path()), 0);
    dispatch_.setEventSink(&sink_);
    view_ = static_cast<ocrctl::AreaView*>(dispatch_.window());
    view_->resize(640, 600);
    view_->show();
  }
  void TearDown() override { dispatch_.setEventSink(nullptr); }

  ocrctl::OcrControl& control() { return dispatch_.control(); }

  // Five blocks of Japanese text one below the other.
  void loadPage() {
    testpages::PageBuilder builder(1200, 1600, 300);
    for (int y : {80, 400, 700, 980, 1300}) builder.addText({100, y}, QStringLiteral("領域の番号を確かめる文書です。"), 12, 14, 2);
    const testpages::RenderedPage page = builder.render();
    PIX* pix = pixCreate(page.width, page.height, 1);
    for (int y = 0; y < page.height; ++y)
      for (int x = 0; x < page.width; ++x)
        if (page.pixel(x, y)) pixSetPixel(pix, x, y, 1);
    pixSetResolution(pix, 300, 300);
    const std::string path = dir_.file("areas.png");
    ASSERT_EQ(pixWrite(path.c_str(), pix, IFF_PNG), 0);
    pixDestroy(&pix);
    ASSERT_EQ(control().LoadImageFile(path), 0);
    control().setDispScale(2);
    view_->refresh();
  }

  // The page laid out with a figure area between two text areas: the
  // copies interleave form kind 2 with the others.
  void layOutWithFigure() {
    loadPage();
    ASSERT_EQ(control().SetRcgRect(60, 50, 900, 600), 1);
    ASSERT_EQ(control().SetRcgRect(60, 660, 900, 900), 2);
    ASSERT_EQ(control().SetRcgRect(60, 950, 900, 1500), 3);
    control().areas().at(1)->params.setByte(ParamBlock::kForm, 2);
    ASSERT_EQ(control().DoLayout(), 0);
    ASSERT_GE(control().rcgNum(), 4);
    ASSERT_EQ(twinRects(control().areas()), sfldRects());
  }

  int figureIndex() {
    for (int i = 0; i < control().areas().count(); ++i)
      if (ocrctl::AreaList::isFigure(*control().areas().at(i))) return i;
    return -1;
  }

  void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
    QWidget* w = view_->viewport();
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  }
  void drag(QPoint from, QPoint to) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }
  void click(QPoint p) { drag(p, p); }
  void rightClick(QPoint p) {
    mouse(QEvent::MouseButtonPress, p, Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, p, Qt::RightButton, Qt::NoButton);
  }
  void key(int k) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
    QCoreApplication::sendEvent(view_, &press);
    QCoreApplication::sendEvent(view_, &release);
  }
  QRect area(int number) {
    short l = 0, t = 0, r = 0, b = 0;
    EXPECT_EQ(control().GetRcgRect(static_cast<short>(number), &l, &t, &r, &b), 0);
    return QRect(QPoint(l, t), QPoint(r, b));
  }
  // The centre of an area in the view.
  QPoint centreOf(int number) { return view_->toDisplay(area(number)).center(); }

  testsupport::TempDir dir_;
  ocrctl::OcrDispatch dispatch_;
  RecordingSink sink_;
  ocrctl::AreaView* view_ = nullptr;
};

}  // namespace

TEST_F(AreaViewTest, HostMethodsKeepTheirCodesAndTheActiveArea) {
  loadPage();
  EXPECT_EQ(control().DeleteAllRcgRect(), -1201);
  EXPECT_EQ(control().SetRcgRect(100, 100, 119, 200), -1202);
  EXPECT_EQ(control().SetRcgRect(100, 100, 200, 119), -1202);
  EXPECT_EQ(control().SetRcgRect(100, 100, 120, 120), 1);
  EXPECT_EQ(control().SetRcgRect(300, 300, 500, 400), 2);
  EXPECT_EQ(control().SetRcgRect(600, 600, 700, 700), 3);
  EXPECT_EQ(control().activeId(), 3) << "a new area is active";
  EXPECT_EQ(control().GetRcgRect(4, nullptr, nullptr, nullptr, nullptr), -1204);
  EXPECT_EQ(control().ModifyRcgRect(0, 1, 1, 50, 50), -1204);
  EXPECT_EQ(control().ModifyRcgRect(9, 1, 1, 50, 50), -1201);
  EXPECT_EQ(control().ModifyRcgRect(2, 310, 320, 510, 420), 0);
  EXPECT_EQ(area(2), QRect(QPoint(310, 320), QPoint(510, 420)));
  EXPECT_EQ(control().DeleteRcgRect(0), -1);
  EXPECT_EQ(control().DeleteRcgRect(7), -1201);

  // The active area keeps its record when one before it goes, and the
  // first becomes active when the active one goes.
  EXPECT_EQ(control().DeleteRcgRect(1), 0);
  EXPECT_EQ(control().activeId(), 2);
  control().setActiveId(1);
  EXPECT_EQ(control().activeId(), 1);
  control().setRcgEdge(2, 600);
  EXPECT_EQ(control().rcgRight(), 600);
  EXPECT_EQ(control().DeleteRcgRect(1), 0);
  EXPECT_EQ(control().activeId(), 1);
  EXPECT_EQ(control().DeleteRcgRect(1), 0);
  EXPECT_EQ(control().activeId(), 0);
  EXPECT_EQ(control().rcgNum(), 0);
  EXPECT_TRUE(sink_.take().empty()) << "the host's calls raise no events";

  // The same through the dispatch ids.
  const Variant rect[] = {Variant(std::int16_t{10}), Variant(std::int16_t{20}), Variant(std::int16_t{110}),
                          Variant(std::int16_t{220})};
  Variant result;
  ASSERT_EQ(dispatch_.invoke(ocrctl::dispid::kSetRcgRect, platform::DispatchKind::Method, rect, &result),
            platform::kDispOk);
  std::int32_t number = 0;
  ASSERT_TRUE(result.toLong(&number));
  EXPECT_EQ(number, 1);
  std::int16_t l = 0, t = 0, r = 0, b = 0;
  const Variant out[] = {Variant(std::int16_t{1}), Variant(&l), Variant(&t), Variant(&r), Variant(&b)};
  ASSERT_EQ(dispatch_.invoke(ocrctl::dispid::kGetRcgRect, platform::DispatchKind::Method, out, &result),
            platform::kDispOk);
  EXPECT_EQ(QRect(QPoint(l, t), QPoint(r, b)), QRect(QPoint(10, 20), QPoint(110, 220)));
  const Variant first(std::int16_t{1});
  ASSERT_EQ(dispatch_.invoke(ocrctl::dispid::kDeleteRcgRect, platform::DispatchKind::Method, {&first, 1}, &result),
            platform::kDispOk);
  EXPECT_EQ(control().rcgNum(), 0);
}

TEST_F(AreaViewTest, MouseDrawsMovesResizesSelectsAndDeleteKeyRemoves) {
  loadPage();
  using ocrctl::event::kAreaCreated, ocrctl::event::kAreaModified, ocrctl::event::kAreaDeleted,
      ocrctl::event::kActiveAreaChanged;
  // Display = image / 2: events and areas are in image pixels.
  drag({50, 60}, {150, 160});
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kAreaCreated, {1, 100, 120, 300, 320}}}));
  EXPECT_EQ(control().activeId(), 1);

  // Drawn from bottom right to top left it is normalised.
  drag({400, 400}, {300, 300});
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kAreaCreated, {2, 600, 600, 800, 800}}}));
  EXPECT_EQ(control().activeId(), 2);

  // Too small: nothing is added and nothing fired.
  drag({500, 20}, {505, 25});
  EXPECT_TRUE(sink_.take().empty());
  EXPECT_EQ(control().rcgNum(), 2);

  // A click on another area only makes it active.
  click({100, 110});
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kActiveAreaChanged, {1}}}));
  EXPECT_EQ(control().activeId(), 1);

  // Without a button the cursor tells what a drag would do.
  mouse(QEvent::MouseMove, {150, 160}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view_->viewport()->cursor().shape(), Qt::SizeFDiagCursor);
  mouse(QEvent::MouseMove, {100, 110}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view_->viewport()->cursor().shape(), Qt::SizeAllCursor);
  mouse(QEvent::MouseMove, {500, 100}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view_->viewport()->cursor().shape(), Qt::CrossCursor);

  const struct {
    const char* what;
    QPoint from, to;
    QRect image;
  } edits[] = {
      {"move", {100, 110}, {110, 130}, QRect(QPoint(120, 160), QPoint(320, 360))},
      {"bottom-right corner", {160, 180}, {200, 190}, QRect(QPoint(120, 160), QPoint(400, 380))},
      {"left edge", {60, 130}, {40, 100}, QRect(QPoint(80, 160), QPoint(400, 380))},
      {"top edge", {120, 80}, {120, 70}, QRect(QPoint(80, 140), QPoint(400, 380))},
      {"moved off the page is shifted back", {100, 130}, {40, 130}, QRect(QPoint(0, 140), QPoint(320, 380))},
  };
  for (const auto& e : edits) {
    SCOPED_TRACE(e.what);
    drag(e.from, e.to);
    const QRect r = e.image;
    EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kAreaModified, {1, r.left(), r.top(), r.right(), r.bottom()}}}));
    EXPECT_EQ(area(1), r);
  }

  key(Qt::Key_Delete);
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kAreaDeleted, {1}}}));
  EXPECT_EQ(control().rcgNum(), 1);
  EXPECT_EQ(control().activeId(), 1) << "the first area becomes active";
  key(Qt::Key_Delete);
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kAreaDeleted, {1}}}));
  EXPECT_EQ(control().rcgNum(), 0);
  EXPECT_EQ(control().activeId(), 0);
  key(Qt::Key_Delete);
  EXPECT_TRUE(sink_.take().empty()) << "no active area, nothing to delete";
}

TEST_F(AreaViewTest, MouseAndKeysAreIgnoredWhileTheLibraryReads) {
  loadPage();
  int lines = 0;
  control().setRecognitionProgress([&](int, int, int, int, std::uint32_t) {
    ++lines;
    drag({50, 60}, {150, 160});
    key(Qt::Key_Delete);
    rightClick({100, 100});
  });
  ASSERT_EQ(control().DoRecognize(), 0);
  EXPECT_GT(lines, 0);
  EXPECT_TRUE(sink_.take().empty());
  EXPECT_EQ(view_->areaMenu(), nullptr);
  // Afterwards the view takes input again.
  drag({50, 60}, {150, 160});
  EXPECT_EQ(sink_.take().size(), 1u);
}

TEST_F(AreaViewTest, HitTestNamesCornersEdgesAndInside) {
  const QRect frame(QPoint(100, 100), QPoint(200, 150));
  const QRect client(0, 0, 400, 300);
  const struct {
    QPoint p;
    int code;
  } cases[] = {{{100, 100}, 3}, {{96, 154}, 4}, {{204, 97}, 5}, {{200, 150}, 6}, {{103, 120}, 7},
               {{198, 120}, 8}, {{150, 104}, 9}, {{150, 146}, 10}, {{150, 120}, 2}, {{300, 250}, 1},
               {{500, 250}, 0}};
  for (const auto& c : cases) EXPECT_EQ(ocrctl::hitTest(c.p, frame, client), c.code) << c.p.x() << "," << c.p.y();
  EXPECT_EQ(ocrctl::hitTest({150, 120}, QRect(), client), 1) << "no active area: only 1 and 0";
}

TEST_F(AreaViewTest, ScrollBarsMoveTheViewAndRaiseTheirEvent) {
  loadPage();
  view_->resize(200, 150);
  QScrollBar* h = view_->horizontalScrollBar();
  QScrollBar* v = view_->verticalScrollBar();
  ASSERT_GT(h->maximum(), 200);
  h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(control().scrollX(), 20);
  EXPECT_EQ(control().dispOffset() & 0xFFFF, 20);
  h->setValue(15);
  h->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(control().scrollX(), 0) << "a line left from 15 stops at 0";
  v->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(control().scrollY(), 200);
  using ocrctl::event::kViewScrolled;
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kViewScrolled, {1, -20}},
                                              {kViewScrolled, {1, 5}},
                                              {kViewScrolled, {1, 15}},
                                              {kViewScrolled, {2, -200}}}));
  h->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_TRUE(sink_.take().empty()) << "no change, no event";

  // An area drawn in the scrolled view lands where the page shows.
  drag({10, 10}, {60, 60});
  ASSERT_EQ(sink_.fired.size(), 1u);
  EXPECT_EQ(sink_.take()[0].args, (std::vector<int>{1, 20, 420, 120, 520}));

  // Another scale keeps the same part of the page in view, without an event.
  h->setValue(100);
  sink_.take();
  control().setDispScale(4);
  EXPECT_EQ(control().scrollX(), 50);
  EXPECT_TRUE(sink_.take().empty());
}

TEST_F(AreaViewTest, AHighlightedCharacterIsScrolledIntoViewWithoutAnEvent) {
  loadPage();
  view_->resize(200, 150);
  std::vector<std::uint8_t> codes = {0x88, 0x9F, 1, 0, 0, 0};
  std::vector<std::int32_t> rects = {0, 0, 0, 0, 1000, 1400, 1040, 1450};
  control().adoptResult(codes, rects, 1);
  ASSERT_EQ(control().SetSyncPos(1), 0);
  const QRect shown = view_->toDisplay(control().highlight());
  EXPECT_TRUE(view_->viewport()->rect().contains(shown)) << shown.x() << "," << shown.y();
  EXPECT_GT(control().scrollX(), 0);
  EXPECT_TRUE(sink_.take().empty());
}

TEST_F(AreaViewTest, DragOutOfTheWindowScrollsOnTheTimerUntilTheMouseComesBack) {
  loadPage();
  view_->resize(200, 150);
  const int right = view_->viewport()->width() - 1;
  mouse(QEvent::MouseButtonPress, {100, 50}, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, {right + 40, 60}, Qt::NoButton, Qt::LeftButton);
  EXPECT_TRUE(view_->autoScrollTimer().isActive());
  EXPECT_EQ(view_->autoScrollDirection(), 1);
  view_->autoScrollStep();
  view_->autoScrollStep();
  EXPECT_EQ(control().scrollX(), 24) << "24 / scale display pixels a tick";
  EXPECT_EQ(view_->trackingRect().right(), right) << "the corner stays at the window's edge";
  EXPECT_EQ(view_->trackingRect().left(), 100 - 24) << "the start travels with the page";
  mouse(QEvent::MouseMove, {150, 60}, Qt::NoButton, Qt::LeftButton);
  EXPECT_FALSE(view_->autoScrollTimer().isActive());
  EXPECT_EQ(view_->autoScrollDirection(), 0);
  EXPECT_EQ(view_->trackingRect().right(), right) << "the move that ends the scrolling only ends it";
  mouse(QEvent::MouseMove, {150, 60}, Qt::NoButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, {150, 60}, Qt::LeftButton, Qt::NoButton);
  ASSERT_EQ(sink_.fired.size(), 1u) << "auto-scrolling raises no scroll events";
  EXPECT_EQ(sink_.take()[0].args, (std::vector<int>{1, 200, 100, (150 + 24) * 2, 120}));
}

TEST_F(AreaViewTest, AreasAndFieldsShareOneNumberingAcrossFigures) {
  layOutWithFigure();
  const int figure = figureIndex();
  ASSERT_GT(figure, 0);
  ASSERT_LT(figure + 1, control().rcgNum()) << "text areas follow the figure";
  // The copies own their records: nothing below them is also in Sfld.
  std::set<const void*> mine;
  std::set<const void*> library;
  collectRecords(*control().areas().ring(), mine);
  userfld* head = nullptr;
  getRcgS_fld(&head);
  collectRecords(head, library);
  for (const void* p : mine) EXPECT_EQ(library.count(p), 0u);

  // Deleting the first area after the figure drops its own field, not the
  // figure's.
  EXPECT_EQ(control().DeleteRcgRect(static_cast<short>(figure + 2)), 0);
  EXPECT_EQ(twinRects(control().areas()), sfldRects());
  // Editing one turns it into the control's own area and drops its field.
  EXPECT_EQ(control().ModifyRcgRect(static_cast<short>(figure + 2), 70, 740, 890, 970), 0);
  EXPECT_EQ(twinRects(control().areas()), sfldRects());
  // The fields left are still whole: recognition reads them.
  EXPECT_EQ(control().DoRecognize(), 0);
  EXPECT_FALSE(control().GetOcrResult().empty());
  EXPECT_EQ(control().rcgNum(), 0);
  EXPECT_TRUE(sfldRects().empty());
}

TEST_F(AreaViewTest, ContextMenuRenumbersAndSfldKeepsTheSameOrder) {
  layOutWithFigure();
  using ocrctl::event::kAreaNoChanged;
  const int figure = figureIndex();
  const int last = control().rcgNum();
  ASSERT_NE(figure, last - 1);

  // No menu for a figure.
  rightClick(centreOf(figure + 1));
  EXPECT_EQ(view_->areaMenu(), nullptr);

  // The last area moved to the front, past the figure.
  rightClick(centreOf(last));
  QMenu* menu = view_->areaMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), last + 1);  // the areas, then their grid
  EXPECT_TRUE(menu->actions()[last - 1]->isChecked());
  const QRect moved = area(last);
  menu->actions()[0]->trigger();
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kAreaNoChanged, {last, 1}}}));
  EXPECT_EQ(area(1), moved);
  EXPECT_EQ(twinRects(control().areas()), sfldRects());

  // And the first moved behind the figure (places count the other areas).
  const int figureNow = figureIndex();
  rightClick(centreOf(1));
  ASSERT_NE(view_->areaMenu(), nullptr);
  view_->areaMenu()->actions()[figureNow]->trigger();
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kAreaNoChanged, {1, figureNow + 1}}}));
  EXPECT_EQ(figureIndex(), figureNow - 1);
  EXPECT_EQ(twinRects(control().areas()), sfldRects());

  // A copy put beside an area the control made itself: its field still
  // goes where the copy now stands among the copies.
  const short own = control().SetRcgRect(950, 60, 1150, 300);
  ASSERT_GT(own, 0);
  rightClick(centreOf(1));
  ASSERT_NE(view_->areaMenu(), nullptr);
  view_->areaMenu()->actions()[own - 2]->trigger();  // the figure takes no place
  EXPECT_EQ(control().areas().at(own - 1)->origin, 1);
  EXPECT_EQ(control().areas().at(own - 2)->origin, 0);
  EXPECT_EQ(twinRects(control().areas()), sfldRects());

  // Its own number: nothing moves, the event still comes.
  const std::vector<QRect> before = sfldRects();
  rightClick(centreOf(1));
  ASSERT_NE(view_->areaMenu(), nullptr);
  sink_.take();
  view_->areaMenu()->actions()[0]->trigger();
  EXPECT_EQ(sink_.take(), (std::vector<Fired>{{kAreaNoChanged, {1, 1}}}));
  EXPECT_EQ(sfldRects(), before);
}

TEST_F(AreaViewTest, AreaMenuNumbersStandInColumnsOfTenAndAClickChoosesTheArea) {
  control().DeleteAllRcgRect();
  for (int i = 0; i < 23; ++i) ASSERT_GT(control().SetRcgRect(40 * (i % 10), 40 * (i / 10), 40 * (i % 10) + 30, 40 * (i / 10) + 30), 0);
  const std::unique_ptr<QMenu> menu = buildAreaMenu(control().areas(), 12, view_);
  auto* grid = menu->findChild<QWidget*>(QStringLiteral("areaMenuGrid"));
  ASSERT_NE(grid, nullptr);
  auto* layout = qobject_cast<QGridLayout*>(grid->layout());
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->rowCount(), 10);
  EXPECT_EQ(layout->columnCount(), 3);
  // (number, row, column)
  for (const auto& [number, row, column] : std::vector<std::tuple<int, int, int>>{
           {1, 0, 0}, {10, 9, 0}, {11, 0, 1}, {20, 9, 1}, {21, 0, 2}, {23, 2, 2}}) {
    auto* button = qobject_cast<QToolButton*>(layout->itemAtPosition(row, column)->widget());
    ASSERT_NE(button, nullptr) << number;
    EXPECT_EQ(button->text(), QString::number(number));
    EXPECT_EQ(button->isChecked(), number == 13) << number;
  }
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  menu->adjustSize();
  EXPECT_TRUE(menu->grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/area_menu_columns.png")));
  QAction* chosen = nullptr;
  QObject::connect(menu.get(), &QMenu::triggered, [&](QAction* action) { chosen = action; });
  menu->findChild<QToolButton*>(QStringLiteral("areaMenuItem21"))->click();
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->data().toInt(), 20);
}

TEST_F(AreaViewTest, AHostAreaAfterAFigureIsLaidOutAfterIt) {
  layOutWithFigure();
  const int figure = figureIndex();
  while (control().rcgNum() > figure + 1) ASSERT_EQ(control().DeleteRcgRect(static_cast<short>(figure + 2)), 0);
  ASSERT_EQ(control().SetRcgRect(60, 950, 900, 1500), static_cast<short>(figure + 2));
  ASSERT_EQ(control().DoLayout(), 0);
  EXPECT_EQ(figureIndex(), figure) << "the new fields follow the figure's";
  EXPECT_GT(control().rcgNum(), figure + 1);
  EXPECT_EQ(twinRects(control().areas()), sfldRects());
}

TEST_F(AreaViewTest, ScreenshotOfThePageWithNumberedAreas) {
  layOutWithFigure();
  control().areas().setActive(1);
  view_->refresh();
  QCoreApplication::processEvents();  // the scroll bars take their place
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  const QImage shot = view_->grab().toImage();
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/ocr_control_areas.png")));
  // The numbers' cyan and the active frame's red both show.
  bool cyan = false;
  bool red = false;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QRgb p = shot.pixel(x, y);
      cyan |= p == qRgb(0, 255, 255);
      red |= p == qRgb(255, 0, 0);
    }
  EXPECT_TRUE(cyan);
  EXPECT_TRUE(red);
}

// What the host has the library show over the control's window (the frames
// and numbers of the last layout) is painted over the view's own picture,
// and only on the window it was asked for.
TEST_F(AreaViewTest, TheLayoutOverlayIsPaintedOverThePage) {
  layOutWithFigure();
  view_->refresh();
  QCoreApplication::processEvents();
  void* window = static_cast<QWidget*>(view_);
  int other = 0;
  ASSERT_EQ(DisplayLayout(&other, 2, 0, 0, nullptr, 1), 1);
  const QImage plain = view_->viewport()->grab().toImage();

  ASSERT_EQ(DisplayLayout(window, static_cast<std::uint16_t>(control().dispScale()),
                          static_cast<std::uint16_t>(control().scrollX()), static_cast<std::uint16_t>(control().scrollY()),
                          nullptr, 1),
            1);
  std::vector<VuOverlayItem> items(static_cast<std::size_t>(GetDisplayOverlay(window, nullptr, 0)));
  ASSERT_FALSE(items.empty());
  ASSERT_EQ(GetDisplayOverlay(window, items.data(), static_cast<int>(items.size())), static_cast<int>(items.size()));
  view_->viewport()->update();
  const QImage shot = view_->viewport()->grab().toImage();
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  EXPECT_TRUE(view_->grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/ocr_control_layout_overlay.png")));

  // Each field's frame shows in its colour on the middle of its right edge
  // (the top-left corner carries the field's number), where the page alone
  // showed something else.
  int frames = 0;
  for (const VuOverlayItem& it : items) {
    if (it.kind != VuOverlayFrame || it.mix != VuMixCopy) continue;
    const QPoint edge(it.x2 - 1, (it.y1 + it.y2) / 2);
    if (!shot.rect().contains(edge)) continue;
    ++frames;
    SCOPED_TRACE(testing::Message() << "frame " << it.x1 << ',' << it.y1 << ' ' << it.x2 << ',' << it.y2);
    EXPECT_EQ(QColor(shot.pixel(edge)), ocrctl::colorFromRef(it.colour));
    EXPECT_NE(QColor(plain.pixel(edge)), ocrctl::colorFromRef(it.colour));
  }
  EXPECT_GE(frames, 3);

  // With the areas the layout's fields go, and their marks with them: the
  // library could not replace them, having no fields to draw.
  ASSERT_EQ(control().DeleteAllRcgRect(), 0);
  EXPECT_EQ(GetDisplayOverlay(window, nullptr, 0), 0);
  const QImage cleared = view_->viewport()->grab().toImage();
  for (const VuOverlayItem& it : items) {
    const QPoint edge(it.x2 - 1, (it.y1 + it.y2) / 2);
    if (it.kind == VuOverlayFrame && cleared.rect().contains(edge)) {
      EXPECT_NE(QColor(cleared.pixel(edge)), ocrctl::colorFromRef(it.colour));
    }
  }
}
