#pragma once
// The recognition driver behind GetRecg: every field of Sfld read in groups
// and written into the caller's text, rectangle and candidate arrays.
//
//   recognize_page          GetRecg's work: groups, engines, writing, counters
//   recognize_fields        one Japanese group's fields: horizontal fields
//                           merged, cut into cells, resolved, blanks added;
//                           the characters land in each line's `chars` ring
//   TextWriter              the 6-byte entries, rectangles and candidates
//   recgStatusText          the text shown for a failing group status
//
// The stop dialog, the event pump and the progress frames are the caller's
// (VuRecgCallbacks): the library opens no window.

#include <cstdint>
#include <span>

#include "layout/records.h"
#include "layout/vulay30.h"
#include "recognition/line_cells.h"

namespace recognition {

inline constexpr short kRecgStopped = 99;

struct RecgSettings {
  std::uint8_t cellSeparator = 9;
  std::uint8_t fieldTerminator = 10;
  bool halfWidth = false;
  std::span<const std::uint8_t> conversionList;
};

class TextWriter {
 public:
  TextWriter(VuRecgResult& result, const RecgSettings& settings) : r_(result), settings_(settings) {}
  // False once the text or the rectangles are full: the group ends.
  bool roomBeforeField() const;
  bool control(std::uint8_t c);
  bool marker(std::uint8_t kind, int row, int column, std::uint8_t direction);
  bool character(const recg& c);
  void replaceLastWithLineFeed();
  const RecgSettings& settings() const { return settings_; }

 private:
  bool entry(const std::uint8_t (&bytes)[6]);
  VuRecgResult& r_;
  const RecgSettings& settings_;
};

// One Japanese group: `count` fields from `first`. 1, kRecgStopped, or the
// failing status (0 or below).
short recognize_fields(userfld* first, int count, const ImageDesc& page, const VuRecgDisplay& display,
                       const VuRecgCallbacks& callbacks);
// Writes a group's text; false when it ended on a full array.
void write_group_text(userfld* first, int count, TextWriter& out);

short recognize_page(void* window, const ParamBlock* params, VuRecgResult* result, const VuRecgDisplay* display);

const char* recgStatusText(short status);

void setRecgCallbacks(const VuRecgCallbacks* callbacks);
const VuRecgCallbacks& recgCallbacks();

}  // namespace recognition
