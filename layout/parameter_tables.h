// Parameter tables of the layout and template steps.
//
//   set_param_set1_defaults / scale_param_set1  27 ruled-line values
//   set_layout_defaults / scale_layout_params   61 region-analysis values
//   set_param_set2_defaults                     12 template-matching weights
//   set_param_set3_defaults / scale_param_set3  13 template-matching lengths
//   set_param_set4_defaults / scale_param_set4  41 vertical-writing values
//   rotation_param_defaults / scale_rotation_params   7 skew/direction values
//
// Defaults are kept in physical units (tenths or hundredths of a millimetre)
// and converted to pixels just before the steps that read them.  The library
// counts an inch as 25 mm: a tenth of a millimetre is dpi * 4 / 1000 pixels.
// The factor is formed in double precision and narrowed to a float before use
// (so 300 dpi gives 1.2000000477, and 40 tenths become 48 pixels, not 47).
// Stored defaults never change after initialisation; only the working values
// are rewritten by each conversion.
#pragma once

#include <array>
#include <cstdint>

namespace layout {

enum class ParamUnit : std::uint8_t {
  AsIs,          // counts, percentages, ratios
  Tenths,        // tenths of a millimetre: trunc(v * k * f), pixels of the full-size page
  Hundredths,    // hundredths of a millimetre: trunc(v * k * f / 10)
  Plain,         // trunc(v * k): pixels of the image reduced by f
  PlainBytes,    // trunc(v * k / 8): bytes of the image reduced by f
  PlainAtLeast8, // trunc(v * k), raised to at least 8
  StoredOnly,    // the default is the working value; not converted
};

// The float factor of a conversion: dpi * 4 / 100 / f / 10.
float conversionFactor(int dpi, int reduction);

template <std::size_t N>
struct ParamTable {
  std::array<std::int16_t, N> stored{};
  std::array<std::int16_t, N> work{};
  // 1-based, as the tables are numbered.
  std::int16_t operator()(int number) const { return work[static_cast<std::size_t>(number - 1)]; }
  std::int16_t storedValue(int number) const { return stored[static_cast<std::size_t>(number - 1)]; }
};

struct ParameterTables {
  ParamTable<27> set1;        // ruled-line extraction
  ParamTable<61> layout;      // region analysis of the horizontal pipeline
  ParamTable<12> set2;        // template-matching weights (never converted)
  ParamTable<13> set3;        // template matching
  ParamTable<41> set4;        // vertical writing
  ParamTable<7> rotation;     // skew estimation and writing-direction vote
};

ParameterTables& parameterTables();

}  // namespace layout

void set_param_set1_defaults();
void scale_param_set1(int scale, int dpi);
void set_layout_defaults();
void scale_layout_params(int reduction, int dpi);
void set_param_set2_defaults();
void set_param_set3_defaults();
void scale_param_set3(int dpi);
void set_param_set4_defaults();
void scale_param_set4(int reduction, int dpi);
void rotation_param_defaults();
void scale_rotation_params(int reduction, int dpi);
