#pragma once
// The control's own small TIFF codec: baseline TIFF in either byte order,
// bilevel and simple multi-bit images, compressions none (1), CCITT
// one-dimensional Modified Huffman (2) and PackBits (32773), and a loader of
// a bilevel TIFF into a 1-bit working-image block.
//
//   TiffFile::create / open / close      the file and its 8-byte header
//   TiffFile::init                       image defaults, empty entry table
//   TiffFile::readIfd                    directory n -> entries and parameters
//   TiffFile::getTag / setTag / deleteTag
//   TiffFile::writeIfd                   parameters -> entries -> directory
//   TiffFile::writeRows / readRows       strip data, encoded and decoded
//   loadTiffBilevel                      whole file -> 1-bit block (rounded to 64)
//   packBitsEncodeRow / mhEncodeRow / mhDecodeRow   the row codecs
//
// The writer puts the image in one strip. Readers treat the file as
// untrusted: every offset and count is checked against the file, every
// decoded row against its length.
#include "platform/global_memory.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ocrctl::tiff {

// Status codes of the codec.
inline constexpr short kOk = 0;
inline constexpr short kCannotCreate = 2;
inline constexpr short kCannotOpen = 3;
inline constexpr short kSeekRead = 4;
inline constexpr short kWrite = 6;
inline constexpr short kNotTiff = 7;
inline constexpr short kNoFileOrFull = 8;
inline constexpr short kNoTag = 13;
inline constexpr short kCompression = 15;

inline constexpr std::uint16_t kIntel = 0x4949;
inline constexpr std::uint16_t kMotorola = 0x4D4D;

enum Type : std::uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint32_t value = 0;  // the value (left-justified, host order of its unit) or an offset
};

class TiffFile {
 public:
  TiffFile() = default;
  ~TiffFile();
  TiffFile(const TiffFile&) = delete;
  TiffFile& operator=(const TiffFile&) = delete;

  short create(const std::string& path, std::uint16_t byteOrder);
  short open(const std::string& path);
  void close();
  // `tableBytes` is the room of the entry table: 12 bytes an entry.
  void init(std::size_t tableBytes);
  short readIfd(int index);
  // Values from `first`; count -1 = all. `out` gets each value widened to 32 bits.
  short getTag(std::uint16_t tag, std::uint32_t first, std::int64_t count, std::uint16_t* type,
               std::uint32_t* total, std::vector<std::uint32_t>* out);
  short setTag(std::uint16_t tag, std::uint16_t type, std::uint32_t value, std::uint32_t count = 1);
  void deleteTag(std::uint16_t tag);
  short writeIfd();
  short writeRows(int plane, int firstRow, int rows, const std::uint8_t* data, std::size_t stride);
  short readRows(int plane, int firstRow, int rows, std::uint8_t* buffer, std::size_t stride);

  const std::vector<Entry>& entries() const { return entries_; }
  int bytesPerRow() const { return (bitsPerPixel() * width + 7) / 8; }
  int bitsPerPixel() const;

  // Image parameters (the defaults of init).
  int width = 0;
  int height = 0;
  std::int32_t rowsPerStrip = -1;
  std::uint32_t newSubfileType = 0;
  int samplesPerPixel = 1;
  std::uint16_t bitsPerSample[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  int compression = 1;
  int photometric = 0;
  int planar = 1;
  std::uint32_t xResolution[2] = {300, 1};
  std::uint32_t yResolution[2] = {300, 1};
  int resolutionUnit = 2;

 private:
  bool readAt(std::uint64_t offset, void* data, std::size_t size);
  bool writeAt(std::uint64_t offset, const void* data, std::size_t size);
  std::uint64_t fileSize();
  std::uint16_t order16(std::uint16_t v) const;
  std::uint32_t order32(std::uint32_t v) const;
  std::uint32_t fieldValue(const Entry& e, std::uint32_t index, bool* ok);
  std::vector<std::uint32_t> stripValues(std::uint16_t tag, bool* ok);

  std::FILE* file_ = nullptr;
  std::uint16_t order_ = kIntel;
  std::size_t capacity_ = 0;
  std::vector<Entry> entries_;
  std::uint64_t stripOffsetField_ = 0;   // file position of the one strip's offset value
  std::uint64_t stripCountField_ = 0;
};

std::vector<std::uint8_t> packBitsEncodeRow(const std::uint8_t* row, std::size_t length);
// False when the data runs out or overruns the row.
bool packBitsDecodeRow(const std::uint8_t*& data, const std::uint8_t* end, std::uint8_t* row, std::size_t length);
// `whiteIsZero`: a 0 bit is white (photometric 0).
std::vector<std::uint8_t> mhEncodeRow(const std::uint8_t* row, int width, bool whiteIsZero);
bool mhDecodeRow(const std::uint8_t*& data, const std::uint8_t* end, std::uint8_t* row, int width,
                 bool whiteIsZero);

// 0 and the block (width / 8 bytes a row, 1 = black), or -1101 (no name),
// -1102 (not a readable TIFF), -1105 (not 1 bit, or a read error), -1009.
// A block passed in is freed in every case but the first.
short loadTiffBilevel(const std::string& name, platform::GlobalHandle* handle, int* width, int* height);

}  // namespace ocrctl::tiff
