// Status codes of the layout library, declared once.
//
// Every export and every step returns a 16-bit status: 1 done, 0 nothing to
// do or nothing found, negative on failure.  The recognition steps use
// kStatusUserStop internally; the driver reports it to the host as -1.
#pragma once

#include <cstdint>

namespace layout {

inline constexpr short kStatusDone = 1;
inline constexpr short kStatusNothing = 0;
inline constexpr short kStatusNoImage = -1;          // no image handle, or a dialog was cancelled
inline constexpr short kStatusNoMemory = -111;       // no pool record, list node or work buffer
inline constexpr short kStatusFileOpen = -121;
inline constexpr short kStatusFileWrite = -122;
inline constexpr short kStatusFileRead = -123;       // also: the template asked for is gone
inline constexpr short kStatusFileClose = -124;
inline constexpr short kStatusFile125 = -125;
inline constexpr short kStatusNoFieldList = -150;
inline constexpr short kStatusTemplateMatch = -160;
inline constexpr short kStatusTemplate170 = -170;
inline constexpr short kStatusUserStop = 99;

// Message numbers that the error hook receives (a host may show the texts).
inline constexpr int kMsgNoMemory = 2108;            // "メモリーが足りません"
inline constexpr int kMsgTemplateOpen = 2109;        // "テンプレートをオープンできません"
inline constexpr int kMsgTemplateRead = 2110;        // "テンプレートが読めません"
inline constexpr int kMsgTemplateMatch = 2111;       // "テンプレートの照合に失敗しました"

}  // namespace layout
