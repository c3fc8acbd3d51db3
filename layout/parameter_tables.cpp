// Defaults and conversions of the parameter tables; see parameter_tables.h.
#include "layout/parameter_tables.h"

#include <algorithm>
#include <cmath>

namespace layout {
namespace {

using U = ParamUnit;

struct Entry {
  std::int16_t value;
  ParamUnit unit;
};

// Region analysis: 61 values.
constexpr Entry kLayoutDefaults[61] = {
    {32, U::Hundredths},  {20, U::Tenths},      {20, U::Tenths},     {80, U::AsIs},        // 1-4
    {50, U::Hundredths},  {300, U::AsIs},       {30, U::AsIs},       {200, U::Tenths},     // 5-8
    {200, U::Tenths},     {3000, U::AsIs},      {95, U::AsIs},       {25, U::Hundredths},  // 9-12
    {25, U::Tenths},      {10, U::Tenths},      {20, U::Tenths},     {25, U::Tenths},      // 13-16
    {100, U::Tenths},     {12, U::Tenths},      {20, U::Tenths},     {100, U::Tenths},     // 17-20
    {50, U::Tenths},      {15, U::Tenths},      {80, U::AsIs},       {120, U::AsIs},       // 21-24
    {330, U::AsIs},       {90, U::AsIs},        {20, U::AsIs},       {60, U::AsIs},        // 25-28
    {155, U::AsIs},       {150, U::AsIs},       {30, U::Hundredths}, {4, U::Tenths},       // 29-32
    {5, U::AsIs},         {100, U::AsIs},       {300, U::AsIs},      {200, U::AsIs},       // 33-36
    {130, U::AsIs},       {7, U::Tenths},       {7, U::Tenths},      {7, U::Tenths},       // 37-40
    {7, U::Tenths},       {120, U::AsIs},       {25, U::AsIs},       {7, U::AsIs},         // 41-44
    {8, U::AsIs},         {37, U::AsIs},        {30, U::AsIs},       {30, U::AsIs},        // 45-48
    {70, U::AsIs},        {125, U::AsIs},       {135, U::AsIs},      {115, U::AsIs},       // 49-52
    {120, U::AsIs},       {60, U::AsIs},        {125, U::AsIs},      {150, U::AsIs},       // 53-56
    {30, U::AsIs},        {70, U::AsIs},        {40, U::AsIs},       {80, U::AsIs},        // 57-60
    {250, U::AsIs},                                                                        // 61
};

// Ruled lines: lengths in tenths of a millimetre of the working image.
constexpr Entry kSet1Defaults[27] = {
    {12, U::PlainBytes}, {8, U::AsIs},   {50, U::PlainBytes}, {6, U::Plain},  {3, U::Plain},   // 1-5
    {80, U::Plain},      {20, U::AsIs},  {100, U::Plain},     {50, U::Plain}, {30, U::AsIs},   // 6-10
    {30, U::Plain},      {10, U::Plain}, {66, U::AsIs},       {10, U::Tenths}, {4, U::Plain},  // 11-15
    {60, U::Plain},      {5, U::PlainAtLeast8}, {8, U::Plain}, {80, U::Plain}, {10, U::AsIs},  // 16-20
    {60, U::Plain},      {30, U::Plain}, {30, U::AsIs},       {30, U::Plain}, {20, U::Plain},  // 21-25
    {80, U::AsIs},       {10, U::Tenths},                                                      // 26-27
};

constexpr std::int16_t kSet2Defaults[12] = {5, 5, 5, 5, 5, 5, 6, 6, 7, 7, 8, 8};

constexpr Entry kSet3Defaults[13] = {
    {100, U::Plain}, {100, U::Plain}, {2, U::AsIs},  {2, U::AsIs},  {40, U::Plain},
    {30, U::Plain},  {2, U::AsIs},    {40, U::Plain}, {30, U::Plain}, {2, U::AsIs},
    {70, U::AsIs},   {70, U::StoredOnly}, {0, U::StoredOnly},
};

// Vertical writing: "x k x f / 10" is Hundredths, "x k x f" Tenths, "x k" Plain.
constexpr Entry kSet4Defaults[41] = {
    {40, U::Hundredths}, {300, U::AsIs}, {30, U::AsIs}, {200, U::Tenths},     // 1-4
    {200, U::Tenths},    {3000, U::AsIs}, {95, U::AsIs}, {25, U::Hundredths},  // 5-8
    {80, U::AsIs},  {120, U::AsIs}, {370, U::AsIs}, {175, U::AsIs},                        // 9-12
    {60, U::AsIs},  {20, U::AsIs},  {4, U::Tenths}, {30, U::Hundredths},       // 13-16
    {5, U::AsIs},   {100, U::AsIs}, {300, U::AsIs}, {100, U::AsIs},                        // 17-20
    {60, U::AsIs},  {155, U::AsIs}, {125, U::AsIs}, {200, U::AsIs},                        // 21-24
    {105, U::AsIs}, {20, U::AsIs},  {7, U::AsIs},   {10, U::AsIs},                         // 25-28
    {40, U::AsIs},  {45, U::AsIs},  {30, U::AsIs},  {70, U::AsIs},                         // 29-32
    {125, U::AsIs}, {115, U::AsIs}, {120, U::AsIs}, {30, U::AsIs},                         // 33-36
    {125, U::AsIs}, {135, U::AsIs}, {125, U::AsIs}, {30, U::AsIs},                         // 37-40
    {70, U::AsIs},                                                                         // 41
};

// Largest character (9 mm) and component limit (1.4 mm) are lengths of the
// full-size page; the others are lengths of the reduced image.
constexpr Entry kRotationDefaults[7] = {
    {90, U::Tenths}, {14, U::Tenths}, {1, U::AsIs}, {100, U::Plain},
    {200, U::Plain},       {200, U::Plain},       {30, U::Plain},
};

std::int16_t convert(const Entry& e, float k, int f) {
  const double v = e.value;
  const double kd = k;
  switch (e.unit) {
    case U::AsIs:
    case U::StoredOnly:
      return e.value;
    case U::Plain:
      return static_cast<std::int16_t>(std::trunc(v * kd));
    case U::PlainBytes:
      return static_cast<std::int16_t>(std::trunc(v * kd / 8.0));
    case U::PlainAtLeast8:
      return static_cast<std::int16_t>(std::max(8.0, std::trunc(v * kd)));
    case U::Tenths:
      return static_cast<std::int16_t>(std::trunc(v * kd * f));
    case U::Hundredths:
      return static_cast<std::int16_t>(std::trunc(v * kd * f / 10.0));
  }
  return e.value;
}

template <std::size_t N>
void storeDefaults(ParamTable<N>& table, const Entry (&defaults)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    table.stored[i] = defaults[i].value;
    table.work[i] = defaults[i].value;
  }
}

template <std::size_t N>
void convertTable(ParamTable<N>& table, const Entry (&defaults)[N], int reduction, int dpi) {
  const float k = conversionFactor(dpi, reduction);
  for (std::size_t i = 0; i < N; ++i) {
    Entry e{table.stored[i], defaults[i].unit};
    table.work[i] = convert(e, k, reduction);
  }
}

}  // namespace

float conversionFactor(int dpi, int reduction) {
  if (reduction <= 0) reduction = 1;
  return static_cast<float>(static_cast<double>(dpi) * 4.0 / 100.0 / reduction / 10.0);
}

ParameterTables& parameterTables() {
  static ParameterTables tables;
  return tables;
}

}  // namespace layout

using layout::parameterTables;

void set_param_set1_defaults() { layout::storeDefaults(parameterTables().set1, layout::kSet1Defaults); }
void scale_param_set1(int scale, int dpi) {
  layout::convertTable(parameterTables().set1, layout::kSet1Defaults, scale, dpi);
}

void set_layout_defaults() { layout::storeDefaults(parameterTables().layout, layout::kLayoutDefaults); }
void scale_layout_params(int reduction, int dpi) {
  layout::convertTable(parameterTables().layout, layout::kLayoutDefaults, reduction, dpi);
}

void set_param_set2_defaults() {
  auto& t = parameterTables().set2;
  for (std::size_t i = 0; i < t.stored.size(); ++i) t.stored[i] = t.work[i] = layout::kSet2Defaults[i];
}

void set_param_set3_defaults() { layout::storeDefaults(parameterTables().set3, layout::kSet3Defaults); }
void scale_param_set3(int dpi) { layout::convertTable(parameterTables().set3, layout::kSet3Defaults, 1, dpi); }

void set_param_set4_defaults() { layout::storeDefaults(parameterTables().set4, layout::kSet4Defaults); }
void scale_param_set4(int reduction, int dpi) {
  layout::convertTable(parameterTables().set4, layout::kSet4Defaults, reduction, dpi);
}

void rotation_param_defaults() { layout::storeDefaults(parameterTables().rotation, layout::kRotationDefaults); }
void scale_rotation_params(int reduction, int dpi) {
  layout::convertTable(parameterTables().rotation, layout::kRotationDefaults, reduction, dpi);
}
