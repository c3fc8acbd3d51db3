// The analysis of one user region that a caller's field asks for (parameter
// byte 17): its writing direction when automatic, and up to 50 component
// rectangles of the region kept in the field's character-block ring,
// relative to the field's top-left corner.
//
//   analyse_user_region   1 done (also when nothing was kept), 0 when no
//                         component lies in the region or no size could be
//                         measured, -111 when memory runs out
//
// Method: the region's components are collected and measured as the layout
// driver does for a region, and the early steps of the horizontal pipeline
// (classification, dotted and ruled lines) clean them; what is left of the
// component list is the field's blocks.
#pragma once

#include "layout/records.h"

short analyse_user_region(userfld* field, const ImageDesc* page);

namespace layout {

// The image level the layout groups pixels on: 1 = the full-size page.
inline constexpr int kLayoutReduction = 1;
// How many blocks a user region keeps.
inline constexpr int kUserRegionBlocks = 50;

}  // namespace layout
