#pragma once
// The OCR control's page: a 1-bit working image (1 = ink, bit 7 leftmost,
// rows top-down of width / 8 bytes, width and height multiples of 32), and
// what is made from it.
//
//   takeBitonal     a 1-bit picture of any row stride -> the working image
//   dibToBitonal    a packed device-independent bitmap (1, 4, 8, 24 bits,
//                   optionally behind a "BM" file header) -> 1-bit picture
//   packDib         the working image as a packed 1-bit DIB (ink black)
//   displayImage    the working image reduced by a display scale
//   turnImage       quarter and half turns
//
// DIBs come from outside the control, so dibToBitonal checks every size
// against the block before it reads: a damaged header is refused, never
// read past.
#include <cstdint>
#include <span>
#include <vector>

namespace ocrctl {

struct BitImage {
  std::vector<std::uint8_t> bits;
  int width = 0;   // pixels; a multiple of 32 in the working image
  int height = 0;
  int rowBytes() const { return (width + 7) / 8; }
  bool empty() const { return bits.empty(); }
  bool pixel(int x, int y) const {
    return (bits[static_cast<std::size_t>(y) * rowBytes() + x / 8] & (0x80 >> (x % 8))) != 0;
  }
  void setPixel(int x, int y) { bits[static_cast<std::size_t>(y) * rowBytes() + x / 8] |= (0x80 >> (x % 8)); }
};

inline constexpr int kWorkingAlign = 32;
// Larger pages are refused: the library's coordinates are 16-bit.
inline constexpr int kMaxPageSide = 32767 - kWorkingAlign;

// False when the size is not positive or too large, or memory runs out.
bool takeBitonal(const std::uint8_t* rows, std::size_t stride, int width, int height, BitImage& out);

// A 1-bit picture ready for takeBitonal.
struct Bitonal {
  std::vector<std::uint8_t> rows;  // top-down
  std::size_t stride = 0;
  int width = 0;
  int height = 0;
  int dpi = 0;         // 0 when the DIB states none
  int sourceDepth = 0;
};
// The control's codes: 0, -1111 (depth, compression or header not
// supported or damaged), -1009 (memory).
short dibToBitonal(std::span<const std::uint8_t> block, Bitonal& out);

// Header (40 bytes), colour table black then white, rows bottom-up.
std::vector<std::uint8_t> packDib(const BitImage& image, int dpi);

// Scales 1, 2, 4, 8, 16; rows of 16-bit words. Scale 1 is the image itself
// (the caller uses the working image). Empty result for another scale.
struct DisplayImage {
  std::vector<std::uint8_t> bits;
  int rowBytes = 0;
  int rows = 0;
};
DisplayImage displayImage(const BitImage& image, int scale);

// 90: a quarter turn counter-clockwise, 270: clockwise, 180: a half turn.
// False for another angle (the image unchanged).
bool turnImage(BitImage& image, int angle);

}  // namespace ocrctl
