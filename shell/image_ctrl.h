#pragma once
// CImageCtrl: the class of every hosted imaging control. It adds two saves
// that put the Orientation tag of what they write as TIFF (codes 27-29) back
// to top-left, so that other programs show the page the way it was scanned.
//
//   SaveToFile            save, then repair the first 1024 bytes of the file
//   SaveToMemory          save into a memory block, then repair the block
//   ResetTiffOrientation  the repair itself, on a little-endian TIFF buffer

#include "shell/lead.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CImageCtrl : public CLead {
  Q_OBJECT

 public:
  explicit CImageCtrl(QWidget* parent = nullptr);
  ~CImageCtrl() override;

  short SaveToFile(const std::string& path, short format, short bits, short quality, short multiPage);
  short SaveToMemory(std::int32_t* handle, short format, short bits, short quality, std::int32_t* size);

  // 0 tag set; 1 buffer too short or tag not within it; 2 not a little-endian
  // TIFF, an empty directory, a tag that is not one SHORT, or a directory
  // chain that runs in a circle; 3 the chain ends without the tag.
  static int ResetTiffOrientation(std::uint8_t* buffer, std::size_t length);

 private:
  // The colour reduction that precedes every save in the palette format.
  short reduceForPaletteFormat(short bits);
};
