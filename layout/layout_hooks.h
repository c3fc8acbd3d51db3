// Where the analysis work of the library plugs into its frame.
//
// The exports and the ring builders call the work behind them through this
// table, so that each analysis (layout driver, region analysis,
// recognition driver, template code, skew and paper direction) arrives as
// one entry without touching the frame.  An entry left null makes its export
// report "nothing done" (0) after the usual argument checks.
#pragma once

#include "layout/records.h"

#include <cstdint>

namespace layout {

struct LayoutHooks {
  // Analysis of one user region when a field asks for it (parameter byte 17):
  // 1 done, 0 nothing found, -111 memory.
  short (*analyseUserRegion)(userfld* field, const ImageDesc* page) = nullptr;
  // GetLayout's work on the held page: input list head, parameter block,
  // template folder and number.  1, 0 or -111.
  short (*layoutPage)(userfld** inputList, const ParamBlock* params, const char* templateFolder,
                      short templateNumber) = nullptr;
  // GetRecg's work over Sfld.
  short (*recognizeFields)(const ParamBlock* params, void* result, const void* display) = nullptr;
  // Skew and paper direction on the held page.
  short (*autoRotate)(const ParamBlock* params, short mode, const Rect16* area, short* angleTenths,
                      short* centreX, short* centreY) = nullptr;
  short (*autoRotatePaper)() = nullptr;
};

LayoutHooks& hooks();

}  // namespace layout
