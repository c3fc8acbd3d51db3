// Writing-direction vote and paper direction by trial recognition.
//
// The paper-direction tests read their samples through a stand-in engine
// that knows one glyph, a "Γ": it reads a cell surely when the ink leans to
// the top and the left, as the upright glyph does, and poorly otherwise.  A
// page of such glyphs turned by quarter turns must come back with the turn
// that puts it upright.
#include "layout/bit_image.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/rect_rings.h"
#include "layout/skew_paper_direction.h"
#include "layout/skew_writing_direction.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"
#include "tests/layout/skew_pages.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

using testpages::blankPage;
using testpages::RenderedPage;

namespace {

// ------------------------------------------------------------ writing direction

class WritingDirection : public layouttest::LayoutLibraryTest {
 protected:
  void TearDown() override {
    free_rect_list(&ring_);
    LayoutLibraryTest::TearDown();
  }
  void addBand(int top, int bottom, int left = 0, int right = 199) {
    rect_record* r = append_rect(&ring_);
    ASSERT_NE(r, nullptr);
    r->left = static_cast<std::int16_t>(left);
    r->right = static_cast<std::int16_t>(right);
    r->top = static_cast<std::int16_t>(top);
    r->bottom = static_cast<std::int16_t>(bottom);
  }
  rect_record* ring_ = nullptr;
};

}  // namespace

TEST_F(WritingDirection, RowsAndColumnsOfTextAreToldApart) {
  struct Case {
    const char* name;
    bool vertical;
    double degrees;
  };
  const Case cases[] = {
      {"horizontal", false, 0}, {"horizontal, skewed", false, -3}, {"vertical", true, 0}, {"vertical, skewed", true, 2.5}};
  for (const Case& c : cases) {
    RenderedPage page = skewpages::textPage(c.degrees, c.vertical);
    ImageDesc d = page.desc();
    short direction = -1;
    ASSERT_EQ(vote_writing_direction(&d, &direction), 1) << c.name;
    EXPECT_EQ(direction, c.vertical ? 1 : 0) << c.name;
    EXPECT_TRUE(layouttest::poolsBalanced({}, {})) << c.name;
  }
}

TEST_F(WritingDirection, APageWithTooFewCharactersInEveryCellVotesHorizontal) {
  // Six vertical characters: no cell holds the twelve components a vote needs.
  const int mm = 12;
  testpages::PageBuilder builder(160 * mm, 200 * mm, 300);
  builder.addText({100 * mm, 20 * mm}, QStringLiteral("縦書きの文章"), 10.5, 6, 1, true);
  RenderedPage page = builder.render();
  ImageDesc d = page.desc();
  short direction = -1;
  ASSERT_EQ(vote_writing_direction(&d, &direction), 1);
  EXPECT_EQ(direction, 0);
}

// At 300 dpi: a line gap counts between 7 and 48 pixels (0.6 and 4 mm);
// more than two gaps are needed.
TEST_F(WritingDirection, ARowScoreNeedsMoreThanTwoLineGaps) {
  RenderedPage page = blankPage(208, 300, 300);
  ImageDesc d = page.desc();
  const Rect16 cell{0, 0, 199, 299};
  addBand(0, 49);
  addBand(74, 123);   // 24-row gap above
  addBand(148, 299);  // and another
  double score = -1;
  ASSERT_EQ(row_gap_score(&score, ring_, &cell, &d), 1);
  EXPECT_EQ(score, 0.0);
  free_rect_list(&ring_);
  addBand(0, 49);
  addBand(74, 123);
  addBand(148, 197);
  addBand(222, 260);
  addBand(264, 299);  // a 3-row gap is no line gap
  ASSERT_EQ(row_gap_score(&score, ring_, &cell, &d), 1);
  EXPECT_DOUBLE_EQ(score, 72.0 / 300.0);
  // Columns: the same bands leave no white column.
  ASSERT_EQ(column_gap_score(&score, ring_, &cell, &d), 1);
  EXPECT_EQ(score, 0.0);
}

TEST_F(WritingDirection, ARowScoreNeedsAProfilePeakOfAFifthOfTheCell) {
  RenderedPage page = blankPage(208, 300, 300);
  ImageDesc d = page.desc();
  const Rect16 cell{0, 0, 199, 299};
  for (int top : {0, 60, 120, 180, 240}) addBand(top, top + 30, 0, 38);  // 39 of 200 pixels wide
  double score = -1;
  ASSERT_EQ(row_gap_score(&score, ring_, &cell, &d), 1);
  EXPECT_EQ(score, 0.0);
}

// ------------------------------------------------------------ paper direction

namespace {

// Reads a cell surely when its ink leans to the top-left (an upright "Γ").
class GammaReader final : public recognition::JapaneseEngine {
 public:
  std::vector<recognition::CharRect> cells;
  std::vector<std::pair<int, int>> imageSizes;
  std::int16_t answer = 1;
  bool same = false;  // read every turn alike

  std::int16_t readCell(const recognition::EngineImage& image, const recognition::CharRect& cell,
                        recognition::CellResult& result) override {
    cells.push_back(cell);
    imageSizes.push_back({image.widthInPixels(), image.height});
    result = {};
    if (answer < 1) return answer;
    long n = 0, sx = 0, sy = 0;
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    for (int y = cell.top; y <= cell.bottom; ++y)
      for (int x = cell.left; x <= cell.right; ++x)
        if (image.bits[static_cast<std::size_t>(y) * image.bytesPerRow + x / 8] & (0x80 >> (x % 8))) {
          ++n, sx += x, sy += y;
          left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        }
    const bool upright = n > 0 && 2 * sx < n * (left + right) && 2 * sy < n * (top + bottom);
    result.distance = same ? 500 : upright ? 100 : 900;
    result.count = 1;
    result.candidates[0] = 0x8341;
    return 1;
  }

  std::int16_t loadDictionaries(const recognition::DictionaryPaths&) override { return 1; }
  void close() override {}
  std::int16_t setFieldParams(std::uint16_t, std::uint16_t, std::uint32_t) override { return 1; }
  std::int16_t beginLine(const recognition::EngineImage&, const recognition::CharRect&,
                         recognition::LineDirection) override {
    return 1;
  }
  void endLine() override {}
  std::int16_t resolveLattice(const recognition::EngineImage&, recognition::FieldLattice&) override { return 1; }
  std::int32_t registerPattern(std::int16_t*, const std::uint16_t*, const std::uint8_t*, std::uint16_t,
                               std::uint16_t, const std::int32_t*) override {
    return 0;
  }
  std::int32_t deletePattern(std::int16_t) override { return 0; }
  std::int32_t setPatternValid(std::int16_t, std::uint16_t) override { return 0; }
  std::int32_t mergeLearning(const std::string&, const std::string&, const std::string&) override { return 0; }
  std::int16_t candidates(const std::uint8_t*, std::uint16_t, std::uint16_t, const std::int32_t*, std::uint16_t*,
                          int) override {
    return 0;
  }
};

class PaperDirection : public layouttest::LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    auto reader = std::make_unique<GammaReader>();
    reader_ = reader.get();
    saved_ = std::move(layout::layoutState().japanese);
    layout::layoutState().japanese = std::move(reader);
  }
  void TearDown() override {
    layout::layoutState().japanese = std::move(saved_);
    LayoutLibraryTest::TearDown();
  }
  GammaReader* reader_ = nullptr;

 private:
  std::unique_ptr<recognition::JapaneseEngine> saved_;
};

// Rows of upright "Γ" glyphs, 30 pixels square with 6-pixel strokes, at
// 300 dpi; `glyphRows` rows from the top.
RenderedPage gammaPage(int glyphRows = 26) {
  RenderedPage page = blankPage(1920, 2400, 300);
  for (int row = 0; row < glyphRows; ++row)
    for (int x = 40; x + 30 < page.width - 40; x += 48) {
      const int y = 40 + row * 70;
      skewpages::fillBox(page, x, y, 30, 6);
      skewpages::fillBox(page, x, y, 6, 30);
    }
  return page;
}

// The page turned clockwise by quarter turns, in a page of its own.
RenderedPage turned(const RenderedPage& page, int quarterTurns) {
  RenderedPage out = page;
  for (int q = 0; q < quarterTurns; ++q) {
    ImageDesc src = out.desc();
    ImageDesc dst;
    EXPECT_EQ(rotate_right(&src, &dst), 1);
    RenderedPage next;
    next.dpi = out.dpi;
    next.bytesPerRow = dst.bytesPerRow;
    next.width = dst.bytesPerRow * 8;
    next.height = dst.height;
    next.bits.assign(dst.bits, dst.bits + static_cast<std::size_t>(dst.bytesPerRow) * dst.height);
    std::free(dst.bits);
    out = std::move(next);
  }
  return out;
}

}  // namespace

TEST_F(PaperDirection, TheTurnThatReadsBestPutsThePageUpright) {
  const RenderedPage upright = gammaPage();
  // Turned clockwise by q quarter turns, the page needs q * 90 degrees
  // counter-clockwise.
  for (int q = 0; q < 4; ++q) {
    RenderedPage page = turned(upright, q);
    ImageDesc d = page.desc();
    EXPECT_EQ(auto_rotate_paper(&d, 0), q * 90) << q << " quarter turns";
    EXPECT_TRUE(layouttest::poolsBalanced({}, {})) << q;
  }
}

TEST_F(PaperDirection, TheEngineReadsWholeSquareCellsInFourTurns) {
  RenderedPage page = gammaPage();
  ImageDesc d = page.desc();
  short degrees = -1;
  ASSERT_EQ(find_paper_direction(&d, &degrees), 1);
  ASSERT_FALSE(reader_->cells.empty());
  // A landslide ends the reading early: 20 samples all one way.
  EXPECT_EQ(reader_->cells.size() % 4, 0u);
  EXPECT_EQ(reader_->cells.size() / 4, 20u);
  for (std::size_t i = 0; i < reader_->cells.size(); ++i) {
    const auto& cell = reader_->cells[i];
    EXPECT_EQ(cell.left, 0);
    EXPECT_EQ(cell.top, 0);
    EXPECT_EQ(cell.width(), reader_->imageSizes[i].first) << i;
    EXPECT_EQ(cell.height(), reader_->imageSizes[i].second) << i;
  }
  // Without one, sampling stops after the cell that passes 70 samples.
  reader_->cells.clear();
  reader_->same = true;
  EXPECT_EQ(find_paper_direction(&d, &degrees), 0);
  EXPECT_EQ(degrees, 0);
  EXPECT_EQ(reader_->cells.size() % 4, 0u);
  EXPECT_GT(reader_->cells.size() / 4, 70u);
  EXPECT_LT(reader_->cells.size() / 4, 70u + 40u);
}

TEST_F(PaperDirection, EqualReadingsKeepThePageAsItIs) {
  reader_->same = true;
  RenderedPage page = turned(gammaPage(), 2);
  ImageDesc d = page.desc();
  EXPECT_EQ(auto_rotate_paper(&d, 0), 0);
}

TEST_F(PaperDirection, APageOfPicturesIsNotRead) {
  const int mm = 12;
  testpages::PageBuilder builder(160 * mm, 200 * mm, 300);
  builder.addFigure(QRect(5 * mm, 5 * mm, 150 * mm, 90 * mm), testpages::FigureKind::Photo);
  builder.addFigure(QRect(5 * mm, 100 * mm, 150 * mm, 95 * mm), testpages::FigureKind::Hatched);
  RenderedPage page = builder.render();
  ImageDesc d = page.desc();
  short degrees = -1;
  EXPECT_EQ(find_paper_direction(&d, &degrees), 0);
  EXPECT_EQ(degrees, 0);
  EXPECT_EQ(auto_rotate_paper(&d, 0), 0);
  EXPECT_TRUE(reader_->cells.empty());
}

TEST_F(PaperDirection, ModesAndFailures) {
  RenderedPage page = gammaPage(3);
  ImageDesc d = page.desc();
  // Any mode but 0 looks at nothing.
  EXPECT_EQ(auto_rotate_paper(&d, 1), 1);
  EXPECT_TRUE(reader_->cells.empty());
  ImageDesc none = d;
  none.bits = nullptr;
  EXPECT_EQ(auto_rotate_paper(&none, 0), 3);
  // An engine that fails ends the vote.
  reader_->answer = 0;
  EXPECT_EQ(auto_rotate_paper(&d, 0), -1);
  EXPECT_TRUE(layouttest::poolsBalanced({}, {}));
  reader_->answer = 1;
  layout::PoolFaults::remaining = 0;
  EXPECT_EQ(auto_rotate_paper(&d, 0), -1);
  layout::PoolFaults::remaining = -1;
}

TEST_F(PaperDirection, TheExportAnswersForTheHeldPage) {
  RenderedPage page = turned(gammaPage(), 3);
  EXPECT_EQ(AutoRotatePaper(page.bits.data(), static_cast<short>(page.width), static_cast<std::uint16_t>(page.height), 300),
            270);
}

// A sample near the page's edge: its square reaches past the last row and
// column, and what lies off the page reads as white.
TEST(CropBits, PartsOffThePageAreWhite) {
  RenderedPage page = blankPage(32, 10, 300);
  for (int y = 0; y < 10; ++y) skewpages::fillBox(page, 0, y, 32, 1);
  ImageDesc d = page.desc();
  const Rect16 square{20, 4, 35, 19};
  ImageDesc cell;
  ASSERT_EQ(crop_bits(&cell, &d, &square), 1);
  ASSERT_EQ(cell.bytesPerRow, 2);
  ASSERT_EQ(cell.height, 16);
  for (int y = 0; y < 16; ++y) {
    const int row = (cell.bits[y * 2] << 8) | cell.bits[y * 2 + 1];
    EXPECT_EQ(row, y < 6 ? 0xFFF0 : 0) << y;  // 12 page columns (20..31) on 6 page rows (4..9)
  }
  std::free(cell.bits);
  // A rectangle that starts left of and above the page.
  const Rect16 corner{-3, -2, 4, 1};
  ASSERT_EQ(crop_bits(&cell, &d, &corner), 1);
  EXPECT_EQ(cell.bits[0], 0);
  EXPECT_EQ(cell.bits[1], 0);
  EXPECT_EQ(cell.bits[2], 0x1F);  // page row 0, columns 0..4 at bits 3..7
  EXPECT_EQ(cell.bits[3], 0x1F);
  std::free(cell.bits);
}
