// Character-kind grids of merge runs: written with a template, read back,
// rewritten in place, applied to a new layout; damaged files refused.
#include "layout/char_block.h"
#include "layout/char_block_file.h"
#include "layout/char_block_rects.h"
#include "layout/field_rings.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/template_field.h"
#include "platform/byte_order.h"
#include "platform/global_memory.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/test_pages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using layout::layoutState;

namespace {

constexpr int kFrame = 0x32;

struct Rec {
  int kind;
  int state;
  int number;
  int sub;
  int mask;
};

Rec frame() { return {kFrame, 0, 0, 0, 0}; }
Rec cell(int number, int sub, int mask) { return {13, -1, number, sub, mask}; }
Rec plain(int number) { return {13, 0, number, 0, 0}; }

void build(userfld** head, const std::vector<Rec>& recs) {
  for (const Rec& r : recs) {
    userfld* f = append_fld(head);
    f->params.setByte(ParamBlock::kFieldKind, static_cast<std::uint8_t>(r.kind));
    f->params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(r.state));
    f->number = static_cast<std::int16_t>(r.number);
    f->subNumber = static_cast<std::int16_t>(r.sub);
    f->params.setWord(ParamBlock::kCharKindMask, static_cast<std::int16_t>(r.mask));
  }
}

std::vector<int> masks(const userfld* head) {
  std::vector<int> out;
  for (const userfld* f = head->next; f != head; f = f->next) out.push_back(f->params.word(ParamBlock::kCharKindMask));
  return out;
}

template <typename T>
int ringCountOf(const T* head) {
  int n = 0;
  if (head != nullptr) {
    for (const T* r = head->next; r != head; r = r->next) ++n;
  }
  return n;
}

std::vector<std::uint8_t> bytesOf(platform::GlobalHandle h) {
  const std::uint8_t* p = platform::globalLock(h);
  return {p, p + platform::globalSize(h)};
}

// A form: a table of 2 x 3 cells with (2, 2) missing, a plain field, then a
// table of one row opened by a merging cell.
const std::vector<Rec> kForm = {frame(),           cell(1, 1, 1), cell(1, 2, 2), cell(1, 3, 4), cell(2, 1, 8),
                                cell(2, 3, 0xFF),  plain(7),      cell(1, 1, 16), cell(1, 2, 32)};

class CharBlockTest : public layouttest::LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    folder_ = dir_.path().toStdString();
  }
  void TearDown() override {
    free_fld_list(&ring_);
    LayoutLibraryTest::TearDown();
  }
  // A per-template file: header, a 2-byte attribute text, one horizontal
  // line, one field record, then the given blocks section.
  std::string templateFile(const std::string& blocks) const {
    std::string f(32, '\0');
    f[0] = 2;
    f[2] = 1;
    f[6] = 1;
    f += "at" + std::string(8, '\x11') + std::string(870, '\x22') + blocks;
    return f;
  }
  void writeTemplate(int number, const std::string& bytes) const {
    std::ofstream(layout::template_file_path(folder_, number), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string readTemplate(int number) const {
    std::ifstream in(layout::template_file_path(folder_, number), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  QTemporaryDir dir_;
  std::string folder_;
  userfld* ring_ = nullptr;
};

TEST_F(CharBlockTest, GridsRoundTripThroughTheTemplateFile) {
  build(&ring_, kForm);
  std::string blocks;
  ASSERT_EQ(layout::write_char_blocks(ring_, &blocks), 1);
  EXPECT_EQ(blocks, std::string("\0\0\2\0\3\0\1\2\4\x08\0\xFF"
                                "\1\0\1\0\2\0\x10\x20",
                                20));
  writeTemplate(0, templateFile(blocks));
  EXPECT_EQ(layout::template_file_path(folder_, 0), folder_ + "/@N000000");

  platform::GlobalHandle block = 0;
  short rows = 0;
  short columns = 0;
  ASSERT_EQ(layout::read_char_block(folder_, 0, 0, &block, &rows, &columns), 1);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(columns, 3);
  EXPECT_EQ(bytesOf(block), (std::vector<std::uint8_t>{1, 2, 4, 8, 0, 0xFF}));

  // Building from the ring gives the same grid the file holds.
  platform::GlobalHandle built = 0;
  short builtRows = 0;
  short builtColumns = 0;
  ASSERT_EQ(layout::build_char_block(ring_, 0, &built, &builtRows, &builtColumns), 1);
  EXPECT_EQ(bytesOf(built), bytesOf(block));
  EXPECT_EQ(layout::build_char_block(ring_, 2, &built, &builtRows, &builtColumns), 0);
  platform::globalFree(built);

  EXPECT_EQ(layout::read_char_block(folder_, 0, 2, &block, &rows, &columns), 0);
  EXPECT_EQ(layout::read_char_block(folder_, 1, 0, &block, &rows, &columns), 0);
  platform::globalFree(block);
}

TEST_F(CharBlockTest, ApplyingAGrid) {
  // A grid byte is sign-extended into the mask word; a member beyond the
  // grid is left alone by apply_char_block and takes the last row or column
  // when the stored grids are applied to a new layout.
  build(&ring_, {frame(), cell(1, 1, 0), cell(1, 2, 0), cell(3, 1, 0), cell(3, 4, 0)});
  const std::vector<std::uint8_t> grid = {0xFF, 2, 8, 16};  // 2 x 2
  const platform::GlobalHandle block = platform::globalAllocCopy(grid);
  ASSERT_EQ(layout::apply_char_block(ring_, 0, block, 2, 2), 1);
  EXPECT_EQ(masks(ring_), (std::vector<int>{0, -1, 2, 0, 0}));
  EXPECT_EQ(layout::apply_char_block(ring_, 1, block, 2, 2), 0);

  std::string blocks;
  layout::appendCharBlock(&blocks, 0, 2, 2, grid.data());
  writeTemplate(3, templateFile(blocks));
  build(&layoutState().Sfld, {frame(), cell(1, 1, 0), cell(1, 2, 0), cell(3, 1, 0), cell(3, 4, 0)});
  EXPECT_EQ(layout::apply_field_char_blocks(folder_, 3), 1);
  EXPECT_EQ(masks(layoutState().Sfld), (std::vector<int>{0, -1, 2, 8, 16}));
  // The caller's grid is still its own.
  EXPECT_EQ(platform::globalSize(block), 4u);
  platform::globalFree(block);
}

TEST_F(CharBlockTest, ApplyingStopsAtTheFirstMissingGrid) {
  build(&layoutState().Sfld, kForm);
  const std::vector<int> before = masks(layoutState().Sfld);
  writeTemplate(0, templateFile(""));
  EXPECT_EQ(layout::apply_field_char_blocks(folder_, 0), 0);
  EXPECT_EQ(masks(layoutState().Sfld), before);

  // Only the first run's grid: it is applied, then the walk stops.
  const std::vector<std::uint8_t> grid(6, 0x20);
  std::string blocks;
  layout::appendCharBlock(&blocks, 0, 2, 3, grid.data());
  writeTemplate(0, templateFile(blocks));
  EXPECT_EQ(layout::apply_field_char_blocks(folder_, 0), 0);
  EXPECT_EQ(masks(layoutState().Sfld), (std::vector<int>{0, 32, 32, 32, 32, 32, 0, 16, 32}));
  EXPECT_EQ(layout::apply_field_char_blocks(folder_, 9), 0);  // no file
}

TEST_F(CharBlockTest, RewritingKeepsTheOtherBlocksAndTheCallersGrid) {
  build(&ring_, kForm);
  std::string blocks;
  ASSERT_EQ(layout::write_char_blocks(ring_, &blocks), 1);
  writeTemplate(4, templateFile(blocks));
  const std::string before = readTemplate(4);

  const platform::GlobalHandle grid = platform::globalAllocCopy(std::vector<std::uint8_t>{9, 9, 9, 9, 9, 9});
  ASSERT_EQ(layout::rewrite_char_block(folder_, 4, 0, grid, 2, 3), 1);
  std::string expected = before;
  expected.replace(before.size() - 20 + 6, 6, std::string(6, '\x09'));
  EXPECT_EQ(readTemplate(4), expected);

  // A grid of another size takes the block's place; the next block follows.
  ASSERT_EQ(layout::rewrite_char_block(folder_, 4, 0, grid, 1, 2), 1);
  platform::GlobalHandle read = 0;
  short rows = 0;
  short columns = 0;
  ASSERT_EQ(layout::read_char_block(folder_, 4, 1, &read, &rows, &columns), 1);
  EXPECT_EQ(bytesOf(read), (std::vector<std::uint8_t>{0x10, 0x20}));
  platform::globalFree(read);

  // Failures leave the file and the caller's block as they were (the block
  // was once freed here and again by the dialog).
  const std::string now = readTemplate(4);
  EXPECT_EQ(layout::rewrite_char_block(folder_, 4, 5, grid, 2, 3), 0);
  EXPECT_EQ(layout::rewrite_char_block(folder_, 4, 0, grid, 3, 3), 0);  // larger than the block
  EXPECT_EQ(layout::rewrite_char_block(folder_, 8, 0, grid, 2, 3), 0);
  EXPECT_EQ(readTemplate(4), now);
  EXPECT_EQ(platform::globalSize(grid), 6u);
  EXPECT_TRUE(platform::globalFree(grid));
}

TEST_F(CharBlockTest, DamagedFilesAreRefused) {
  struct Case {
    const char* name;
    std::string bytes;
    short status;
  };
  const std::string block = std::string("\0\0\2\0\2\0", 6) + "abcd";
  const std::vector<Case> cases = {
      {"empty file", "", layout::kStatusFileWrite},
      {"header cut short", std::string(7, '\0'), layout::kStatusFileWrite},
      {"sections end before the blocks", templateFile("").substr(0, 100), layout::kStatusNothing},
      {"block header cut short", templateFile(block.substr(0, 5)), layout::kStatusNothing},
      {"grid cut short", templateFile(block.substr(0, 9)), layout::kStatusNothing},
      {"grid larger than the file", templateFile(std::string("\0\0\xff\x7f\xff\x7f", 6) + "ab"),
       layout::kStatusNothing},
      {"negative size", templateFile(std::string("\0\0\xfe\xff\xfe\xff", 6) + block), layout::kStatusNothing},
      {"negative index ends the blocks", templateFile(std::string("\xff\xff\0\0\0\0", 6) + block),
       layout::kStatusNothing},
      {"whole block", templateFile(block), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeTemplate(2, c.bytes);
    platform::GlobalHandle read = 0;
    short rows = 0;
    short columns = 0;
    EXPECT_EQ(layout::read_char_block(folder_, 2, 0, &read, &rows, &columns), c.status);
    if (c.status == 1) {
      EXPECT_EQ(bytesOf(read), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd'}));
    }
    platform::globalFree(read);
    const platform::GlobalHandle grid = platform::globalAllocCopy(std::vector<std::uint8_t>{1, 2, 3, 4});
    EXPECT_EQ(layout::rewrite_char_block(folder_, 2, 0, grid, 2, 2), c.status);
    platform::globalFree(grid);
  }
}

TEST_F(CharBlockTest, StoredRectanglesAreReadUpToWhatTheAreaHolds) {
  // A field with 60 block rectangles and 3 children stores 50 and 3.
  userfld* f = append_fld(&ring_);
  f->params.setByte(ParamBlock::kCharBlocks, 1);
  for (int i = 0; i < 60; ++i) {
    recg* r = append_recg(&f->blocks);
    r->left = static_cast<std::int16_t>(i);
    r->right = static_cast<std::int16_t>(i + 5);
  }
  for (int i = 0; i < 3; ++i) append_fld(&f->children)->top = static_cast<std::int16_t>(100 + i);
  TemplateFieldEntry entry;
  ASSERT_EQ(fld_to_template_field(f, &entry), 1);

  struct Case {
    const char* name;
    int blockCount;
    int childCount;
    int blocksRead;
    int childrenRead;
  };
  const std::vector<Case> cases = {
      {"as written", -1, -1, 50, 3},
      {"block count past the area", 60, -1, 50, 3},
      {"block count far past it", 0x7FFF, -1, 50, 3},
      {"negative counts", -2, -5, 0, 0},
      {"child count past the area", -1, 51, 50, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TemplateFieldEntry e = entry;
    if (c.blockCount != -1) platform::storeLe16(&e[408], static_cast<std::uint16_t>(c.blockCount));
    if (c.childCount != -1) platform::storeLe16(&e[810], static_cast<std::uint16_t>(c.childCount));
    userfld* read = nullptr;
    userfld* g = append_fld(&read);
    g->params.setByte(ParamBlock::kCharBlocks, 1);
    ASSERT_EQ(layout::read_stored_rects(e, g), 1);
    EXPECT_EQ(ringCountOf(g->blocks), c.blocksRead);
    EXPECT_EQ(ringCountOf(g->children), c.childrenRead);
    if (c.blocksRead == 50) {
      EXPECT_EQ(g->blocks->prev->left, 49);
      EXPECT_EQ(g->blocks->prev->right, 54);
    }
    if (c.childrenRead == 3) {
      EXPECT_EQ(g->children->prev->top, 102);
    }
    free_fld_list(&read);
  }
}

// A page read with a template: the cells of a table area take the kinds
// stored with the template, without any other call of the host.
TEST_F(CharBlockTest, LayoutWithATemplateTakesItsGrids) {
  const int dpi = 300;
  const int mm = testpages::libraryMm(1, dpi);
  testpages::PageBuilder builder(120 * mm, 80 * mm, dpi);
  const int left = 10 * mm, top = 10 * mm, w = 90 * mm, rowH = 12 * mm;
  for (int r = 0; r <= 3; ++r) builder.addRule(QRect(left, top + r * rowH, w + 2, 2), true);
  for (int c = 0; c <= 2; ++c) builder.addRule(QRect(left + c * (w / 2), top, 2, 3 * rowH + 2), false);
  for (int r = 0; r < 3; ++r) {
    builder.addText({left + 3 * mm, top + r * rowH + 3 * mm}, QStringLiteral("項目"), 10.5, 2, 1);
    builder.addText({left + w / 2 + 3 * mm, top + r * rowH + 3 * mm}, QString::number(10 + r), 10.5, 2, 1);
  }
  testpages::RenderedPage page = builder.render();
  const std::vector<std::uint8_t> grid(8 * 8, 8);  // digits only, in every cell
  std::string blocks;
  layout::appendCharBlock(&blocks, 0, 8, 8, grid.data());
  writeTemplate(0, templateFile(blocks));

  userfld* list = nullptr;
  userfld* area = create_userfld(&list);
  area->left = static_cast<std::int16_t>(left - 2 * mm);
  area->top = static_cast<std::int16_t>(top - 2 * mm);
  area->right = static_cast<std::int16_t>(left + w + 2 * mm);
  area->bottom = static_cast<std::int16_t>(top + 3 * rowH + 2 * mm);
  area->params.setByte(ParamBlock::kForm, 0xFF);
  area->params.setByte(ParamBlock::kHorizontalRules, 1);
  area->params.setByte(ParamBlock::kVerticalRules, 1);
  ParamBlock params;
  int window = 0;
  ASSERT_EQ(GetLines(&window, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
                     static_cast<std::uint16_t>(dpi), nullptr, nullptr),
            1);
  std::string folder = folder_;
  ASSERT_EQ(GetLayout(&window, &params, page.bits.data(), &list, static_cast<short>(page.width),
                      static_cast<short>(page.height), static_cast<std::uint16_t>(dpi), folder.data(), 0),
            1);
  int cells = 0;
  layout::forEachMergeRun(layoutState().Sfld, [&](int t, const layout::MergeRun& run) {
    EXPECT_EQ(t, 0);
    for (userfld* f = run.head->next;; f = f->next) {
      if (f->number >= 1 && f->subNumber >= 1) {
        EXPECT_EQ(f->params.word(ParamBlock::kCharKindMask), 8);
        ++cells;
      }
      if (f == run.last) break;
    }
    return true;
  });
  EXPECT_EQ(cells, 6);  // three rows of two cells
  free_userfld_ring(&list);
}

}  // namespace
