// Parameter conversion at the resolutions the library meets.  Lengths are
// converted at 25 mm to the inch with a single-precision factor.
#include "layout/parameter_tables.h"

#include <gtest/gtest.h>

namespace {

using layout::parameterTables;

class ParameterTables : public ::testing::Test {
 protected:
  void SetUp() override {
    set_layout_defaults();
    set_param_set2_defaults();
    set_param_set3_defaults();
    set_param_set4_defaults();
    rotation_param_defaults();
  }
};

TEST_F(ParameterTables, RegionAnalysisValuesBecomePixelsOfTheFullPage) {
  struct Case {
    int dpi, reduction, number, expected;
  };
  const Case cases[] = {
      {400, 1, 5, 8},     // 50 hundredths of a mm
      {400, 1, 8, 320},   // 200 tenths
      {400, 1, 4, 80},    // a percentage stays
      {400, 1, 1, 5},     // 32 hundredths: 5.12
      {400, 8, 8, 320},   // the reduction cancels out
      {400, 4, 12, 4},    // 25 hundredths: 4.0
      {300, 1, 8, 240},
      {300, 1, 5, 6},
      {300, 1, 13, 30},   // 25 tenths x 1.2
      {200, 1, 8, 160},
      {200, 1, 5, 4},
      {200, 1, 38, 5},    // 7 tenths x 0.8 = 5.6
      {200, 2, 31, 2},    // 30 hundredths x 0.8 / 10 = 2.4
  };
  for (const Case& c : cases) {
    scale_layout_params(c.reduction, c.dpi);
    EXPECT_EQ(parameterTables().layout(c.number), c.expected)
        << "#" << c.number << " at " << c.dpi << " dpi, reduction " << c.reduction;
  }
}

TEST_F(ParameterTables, VerticalWritingAndTemplateSetsConvertWithTheFloatFactor) {
  scale_param_set4(1, 200);
  EXPECT_EQ(parameterTables().set4(4), 160);  // 200 x 0.8
  EXPECT_EQ(parameterTables().set4(1), 3);    // 40 x 0.8 / 10
  EXPECT_EQ(parameterTables().set4(2), 300);
  scale_param_set4(8, 400);
  EXPECT_EQ(parameterTables().set4(4), 320);
  EXPECT_EQ(parameterTables().set4(15), 6);   // 4 x 0.2 x 8 = 6.4
  scale_param_set3(300);
  // 1.2 as a float is 1.2000000477: 40 x k = 48.0000019, not 47.99999.
  EXPECT_EQ(parameterTables().set3(5), 48);
  EXPECT_EQ(parameterTables().set3(1), 120);
  EXPECT_EQ(parameterTables().set3(11), 70);
  EXPECT_EQ(parameterTables().set3(12), 70);
  scale_param_set3(400);
  EXPECT_EQ(parameterTables().set3(6), 48);
  EXPECT_EQ(parameterTables().set2(10), 7);
  int total = 0;
  for (int i = 1; i <= 10; ++i) total += parameterTables().set2(i);
  EXPECT_EQ(total, 56);
}

TEST_F(ParameterTables, RotationSetScalesForTheReducedImage) {
  scale_rotation_params(4, 400);  // s = 0.4 reduced pixels per tenth of a mm
  EXPECT_EQ(parameterTables().rotation(1), 144);  // 9 mm of the full page
  EXPECT_EQ(parameterTables().rotation(2), 22);   // 1.4 mm: 22.4
  EXPECT_EQ(parameterTables().rotation(3), 1);
  EXPECT_EQ(parameterTables().rotation(4), 40);   // 10 mm on the reduced image
  EXPECT_EQ(parameterTables().rotation(5), 80);
  EXPECT_EQ(parameterTables().rotation(7), 12);
}

TEST_F(ParameterTables, ConvertingAgainGivesTheSameValuesAndKeepsTheDefaults) {
  scale_layout_params(1, 300);
  scale_param_set4(2, 300);
  const auto layoutOnce = parameterTables().layout.work;
  const auto set4Once = parameterTables().set4.work;
  scale_layout_params(4, 200);
  scale_layout_params(1, 300);
  scale_param_set4(2, 300);
  EXPECT_EQ(parameterTables().layout.work, layoutOnce);
  EXPECT_EQ(parameterTables().set4.work, set4Once);
  EXPECT_EQ(parameterTables().layout.storedValue(8), 200);
  EXPECT_EQ(parameterTables().set4.storedValue(4), 200);
}

}  // namespace
