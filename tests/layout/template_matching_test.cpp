// Matching pages against registered templates: features, shifts,
// similarities, and the one threshold rule of "match" and "next".
#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_status.h"
#include "layout/line_field_steps.h"
#include "layout/parameter_tables.h"
#include "layout/template_matching.h"
#include "tests/layout/keisen_builders.h"
#include "tests/layout/layout_fixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace layout;
using layouttest::addH;
using layouttest::addV;

// A form of boxes: frame, two rows, one column line.
void addForm(KeisenPair& p, int dx, int dy) {
  addH(p, 200 + dx, 2000 + dx, 300 + dy);
  addH(p, 200 + dx, 2000 + dx, 800 + dy);
  addH(p, 200 + dx, 1400 + dx, 1500 + dy);
  addV(p, 200 + dx, 300 + dy, 1500 + dy);
  addV(p, 900 + dx, 300 + dy, 800 + dy);
  addV(p, 2000 + dx, 300 + dy, 800 + dy);
}

class TemplateMatchingTest : public layouttest::LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    folder_ = dir_.path().toStdString();
    ctx_.folder = folder_;
    ctx_.tablePath = template_table_path(folder_);
    page_.bytesPerRow = 2480 / 8;
    page_.height = 3508;
    page_.dpi = 400;
    layoutState().dpi = 400;
    scale_param_set3(400);
  }
  void TearDown() override {
    free_fld_list(&fields_);
    free_fld_list(&out_);
    free_keisen_pair(&templ_);
    free_keisen_pair(&page_lines_);
    free_keisen_pair(&outLines_);
    LayoutLibraryTest::TearDown();
  }
  void registerWith(const KeisenPair& lines, std::int8_t slot) {
    if (fields_ == nullptr) add_plain_fld(&fields_, 210, 310, 890, 790);
    ASSERT_EQ(register_template(ctx_, fields_, lines, page_, slot), 1);
  }

  QTemporaryDir dir_;
  std::string folder_;
  TemplateContext ctx_;
  ImageDesc page_;
  userfld* fields_ = nullptr;
  userfld* out_ = nullptr;
  KeisenPair templ_, page_lines_, outLines_;
};

TEST_F(TemplateMatchingTest, ShiftedPageIsFoundAtFullSimilarity) {
  addForm(templ_, 0, 0);
  addForm(page_lines_, 12, -7);
  registerWith(templ_, kSlotActive);
  double similarity = 0;
  ASSERT_EQ(match_templates(&out_, &outLines_, ctx_, page_lines_, page_, 70, &similarity), 1);
  EXPECT_DOUBLE_EQ(similarity, 100.0);
  EXPECT_EQ(ctx_.current, 0);
  ASSERT_EQ(count_fld(out_), 1);
  // The field (210, 310)-(890, 790) moves by (12, -7) and its edges then
  // snap to the box lines round it.
  EXPECT_EQ(out_->next->left, 212);
  EXPECT_EQ(out_->next->top, 293);
  EXPECT_EQ(out_->next->right, 912);
  EXPECT_EQ(out_->next->bottom, 793);
  EXPECT_EQ(outLines_.horizontal->next->a, 212);
  EXPECT_EQ(outLines_.horizontal->next->c, 293);
  EXPECT_DOUBLE_EQ(distance_of_lines(page_lines_, outLines_, 0, 0), 100.0);
}

TEST_F(TemplateMatchingTest, BetterShiftIsNotReplacedByOneOfTheSameWholePercent) {
  // Shift (0, 0) covers 1170 of 2200 (53.18 %); the later shifts (0, 1300)
  // and (0, 1000) cover 1167 (53.05 %).
  addH(templ_, 0, 999, 100);
  addH(templ_, 0, 999, 400);
  addH(templ_, 0, 199, 700);
  addH(page_lines_, 0, 999, 100);
  addH(page_lines_, 10, 179, 700);
  addH(page_lines_, 0, 999, 1400);
  addH(page_lines_, 10, 176, 1700);
  add_plain_fld(&fields_, 0, 100, 999, 400);
  double similarity = 0;
  int dx = -1, dy = -1;
  ASSERT_EQ(find_template_shift(&similarity, fields_, page_lines_, templ_, &dx, &dy, 70), 1);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 0);
  EXPECT_DOUBLE_EQ(similarity, 1170 * 100.0 / 2200);
  EXPECT_EQ(fields_->next->top, 100);
}

TEST_F(TemplateMatchingTest, TemplateWithoutLinesHasNoSimilarity) {
  addForm(page_lines_, 0, 0);
  add_plain_fld(&fields_, 0, 0, 10, 10);
  double similarity = -1;
  ASSERT_EQ(align_template(&similarity, fields_, page_lines_, templ_, 70), 1);
  EXPECT_EQ(similarity, 0.0);
  EXPECT_EQ(fields_->next->right, 10);
}

TEST_F(TemplateMatchingTest, NoActiveTemplateGivesNoMatch) {
  double similarity = -1;
  EXPECT_EQ(match_templates(&out_, &outLines_, ctx_, page_lines_, page_, 70, &similarity), kStatusFileOpen);
  addForm(templ_, 0, 0);
  addForm(page_lines_, 0, 0);
  registerWith(templ_, kSlotInactive);
  registerWith(templ_, kSlotInactive);
  EXPECT_EQ(match_templates(&out_, &outLines_, ctx_, page_lines_, page_, 70, &similarity), kStatusTemplateMatch);
  EXPECT_EQ(similarity, 0.0);
  EXPECT_EQ(out_, nullptr);
  EXPECT_EQ(next_template_match(&out_, &outLines_, ctx_, page_lines_, 70, &similarity), kStatusTemplate170);
}

TEST_F(TemplateMatchingTest, ThresholdDecidesMatchAndNextAlike) {
  // Template lines of 700 and 300 pixels; the page holds only the first:
  // exactly 70 %.
  addH(templ_, 100, 799, 500);
  addH(templ_, 100, 399, 1500);
  addH(page_lines_, 100, 799, 500);
  registerWith(templ_, kSlotActive);
  registerWith(templ_, kSlotActive);
  double similarity = 0;
  ASSERT_EQ(match_templates(&out_, &outLines_, ctx_, page_lines_, page_, 70, &similarity), 1);
  EXPECT_DOUBLE_EQ(similarity, 70.0);
  EXPECT_EQ(ctx_.current, 0);
  ASSERT_EQ(next_template_match(&out_, &outLines_, ctx_, page_lines_, 70, &similarity), 1);
  EXPECT_EQ(ctx_.current, 1);
  ASSERT_EQ(next_template_match(&out_, &outLines_, ctx_, page_lines_, 70, &similarity), 1);
  EXPECT_EQ(ctx_.current, 0);  // wraps round
  EXPECT_EQ(next_template_match(&out_, &outLines_, ctx_, page_lines_, 71, &similarity), kStatusTemplate170);
  EXPECT_EQ(ctx_.current, 0);
  EXPECT_EQ(match_templates(&out_, &outLines_, ctx_, page_lines_, page_, 71, &similarity), kStatusTemplateMatch);
}

TEST_F(TemplateMatchingTest, OnlyThirtyBestRankedTemplatesAreExamined) {
  // 40 templates; the one that fits the page ranks last by its features
  // except when its features are the page's.
  KeisenPair other;
  addH(other, 0, 300, 100);
  for (int i = 0; i < 39; ++i) registerWith(other, kSlotActive);
  addForm(templ_, 0, 0);
  addForm(page_lines_, 0, 0);
  registerWith(templ_, kSlotActive);
  free_keisen_pair(&other);
  double similarity = 0;
  ASSERT_EQ(match_templates(&out_, &outLines_, ctx_, page_lines_, page_, 70, &similarity), 1);
  EXPECT_EQ(ctx_.current, 39);
  EXPECT_EQ(ctx_.candidates.size(), 30u);
  EXPECT_EQ(ctx_.candidates.front().number, 39);
}

TEST_F(TemplateMatchingTest, ReadingTemplateTakesItsLinesWhenItsNameSaysSo) {
  addForm(templ_, 0, 0);
  addForm(page_lines_, 12, -7);
  registerWith(templ_, kSlotActive);
  // Without a names file the template is loaded and its lines stay apart.
  EXPECT_EQ(read_template(ctx_, 1, &out_, &outLines_, &page_lines_, 70), 0);
  EXPECT_EQ(read_template(ctx_, 0, &out_, &outLines_, &page_lines_, 70), 1);
  EXPECT_EQ(ctx_.current, 0);
  EXPECT_EQ(count_fld(out_), 1);
  EXPECT_EQ(count_hlines(page_lines_.horizontal), 3);

  ASSERT_EQ(write_template_name(folder_, "form", 0, 0), 1);
  ASSERT_EQ(read_template(ctx_, 0, &out_, &outLines_, &page_lines_, 70), 1);
  EXPECT_EQ(page_lines_.horizontal->next->a, 212);
  EXPECT_EQ(count_hlines(outLines_.horizontal), 3);

  ASSERT_EQ(write_template_name(folder_, "form", 0, 1), 1);
  free_keisen_pair(&page_lines_);
  addForm(page_lines_, 30, 30);
  addH(page_lines_, 300, 900, 3000);  // a line of the page only
  ASSERT_EQ(read_template(ctx_, 0, &out_, &outLines_, &page_lines_, 70), 1);
  EXPECT_EQ(count_hlines(page_lines_.horizontal), 3);  // the template's aligned lines
  EXPECT_EQ(page_lines_.horizontal->next->a, 230);
  EXPECT_EQ(outLines_.horizontal, nullptr);
}

TEST_F(TemplateMatchingTest, ExportsMatchAndReadIntoTheLibrarysTemplateList) {
  addForm(templ_, 0, 0);
  registerWith(templ_, kSlotActive);
  auto& state = layoutState();
  addForm(page_lines_, 12, -7);
  state.hLines = page_lines_.horizontal;
  state.vLines = page_lines_.vertical;
  page_lines_ = {};  // the state owns them now
  std::vector<std::uint8_t> image(310 * 3508);
  std::string folder = folder_ + "/";
  std::uint16_t number = 0xFFFF;
  EXPECT_EQ(Auto_template_matching(nullptr, 0, nullptr, nullptr, 2480, 3508, 400, 8, 0, 0, folder.data(), &number),
            -1);
  ASSERT_EQ(Auto_template_matching(nullptr, 0, image.data(), nullptr, 2480, 3508, 400, 8, 0, 0, folder.data(),
                                   &number),
            0);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(templateContext().folder, folder_);
  ASSERT_EQ(count_fld(state.inputFields), 1);
  EXPECT_EQ(state.templateHLines->next->a, 212);

  free_fld_list(&state.inputFields);
  number = 0xFFFF;
  EXPECT_EQ(ReadTemplate(nullptr, 0, image.data(), nullptr, 2480, 3508, 400, 8, 0, 0, folder.data(), 3, &number), 1);
  EXPECT_EQ(number, 0xFFFF);
  ASSERT_EQ(ReadTemplate(nullptr, 0, image.data(), nullptr, 2480, 3508, 400, 8, 0, 0, folder.data(), 0, &number), 0);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(count_fld(state.inputFields), 1);

  // A page that fits no template.
  free_hline_list(&state.hLines);
  free_vline_list(&state.vLines);
  EXPECT_EQ(Auto_template_matching(nullptr, 0, image.data(), nullptr, 2480, 3508, 400, 8, 0, 0, folder.data(),
                                   &number),
            kStatusTemplateMatch);
}

TEST(TemplateScoring, FeatureScoresAndRanking) {
  struct Case {
    std::vector<std::uint16_t> stored;
    unsigned page;
    std::vector<double> expected;  // score x weight 5 (feature 0)
  };
  const Case cases[] = {
      {{40, 40}, 40, {500, 500}},     // all equal, equal to the page
      {{0, 0}, 40, {0, 0}},           // all zero
      {{40, 40}, 30, {375, 375}},     // 100 - 10 * 100 / 40 = 75
      {{40, 40}, 200, {0, 0}},        // below 0 becomes 0
      {{10, 30}, 10, {500, 0}},       // range 20
      {{10, 30}, 25, {125, 375}},     // 100 - 15*100/20 = 25; 100 - 5*100/20 = 75
  };
  for (const Case& c : cases) {
    std::vector<TemplateCandidate> e(c.stored.size());
    score_feature(0, c.page, e, c.stored.data(), static_cast<int>(c.stored.size()));
    for (std::size_t i = 0; i < e.size(); ++i) EXPECT_EQ(e[i].score, c.expected[i]) << c.page << " " << i;
  }
  std::vector<TemplateCandidate> e = {{0, 1.0}, {1, 5.0}, {2, 1.0}, {3, 5.0}};
  sort_by_score(e);
  EXPECT_EQ(e[0].number, 1);
  EXPECT_EQ(e[1].number, 3);
  EXPECT_EQ(e[2].number, 0);
  EXPECT_EQ(e[3].number, 2);
}

}  // namespace
