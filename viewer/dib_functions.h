#pragma once
// Packed device-independent bitmaps (a BMP file without its 14-byte file
// header) held in a movable memory block, as the splash window paints them.
//
//   ReadDIBFile       a BMP file into a new block (0 when it is no sound DIB)
//   DIBWidth, DIBHeight, DIBColorTableSize, DIBBits
//   CreateDIBPalette  the colour table as a palette
//   PaintDIB          into a rectangle of a painter; copies when the sizes
//                     agree, stretches otherwise (DIBPaintStretches)
//
// The reader checks the header before anyone walks the block: a header of
// 40 (BITMAPINFOHEADER) or 12 bytes (BITMAPCOREHEADER), one plane, a known
// bit count, uncompressed rows, biClrUsed no more than 2^bits (and 256), and
// every pixel row inside the block. Anything else is refused, so the other
// functions never read past the block.

#include "platform/global_memory.h"

#include <QRect>
#include <QVector>
#include <QRgb>

#include <cstdint>

class QIODevice;
class QPainter;

inline constexpr std::uint16_t kDibFileType = 0x4D42;  // "BM"
inline constexpr int kDibFileHeaderSize = 14;
inline constexpr std::uint32_t kDibInfoHeaderSize = 40;
inline constexpr std::uint32_t kDibCoreHeaderSize = 12;

platform::GlobalHandle ReadDIBFile(QIODevice& file);
int DIBWidth(const std::uint8_t* header);
int DIBHeight(const std::uint8_t* header);
// Bytes of the colour table that follows the header.
int DIBColorTableSize(const std::uint8_t* header);
const std::uint8_t* DIBBits(const std::uint8_t* header);
// 1 with the palette filled; 0 (palette emptied) when the DIB has no table.
int CreateDIBPalette(platform::GlobalHandle dib, QVector<QRgb>& palette);
bool DIBPaintStretches(const QRect& dest, const QRect& source);
// The rows painted; 0 for a null or unknown block.
int PaintDIB(QPainter& painter, const QRect& dest, platform::GlobalHandle dib, const QRect& source,
             const QVector<QRgb>* palette);
