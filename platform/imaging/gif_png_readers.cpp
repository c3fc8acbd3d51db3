#include "platform/imaging/gif_png_readers.h"

#include <leptonica/allheaders.h>

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace platform::imaging {
namespace {

constexpr std::uint64_t kMaxPixels = 1ull << 28;

struct MemoryInput {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
};

int readGifBytes(GifFileType* gif, GifByteType* out, int n) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  if (n <= 0) return 0;
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n), in->bytes.size() - in->pos);
  std::memcpy(out, in->bytes.data() + in->pos, count);
  in->pos += count;
  return static_cast<int>(count);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    if (gif != nullptr) DGifCloseFile(gif, &error);
  }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

bool skipExtension(GifFileType* gif, int& transparent) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
    GraphicsControlBlock control;
    if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) transparent = control.TransparentColor;
  }
  while (block != nullptr)
    if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
  return true;
}

bool skipImageData(GifFileType* gif) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &codeSize, &block) != GIF_OK) return false;
  while (block != nullptr)
    if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
  return true;
}

// The frame just described by DGifGetImageDesc, on the logical screen.
short drawFrame(GifFileType* gif, int transparent, PixPtr& out) {
  const int screenW = gif->SWidth;
  const int screenH = gif->SHeight;
  const GifImageDesc& frame = gif->Image;
  if (screenW <= 0 || screenH <= 0 || frame.Width <= 0 || frame.Height <= 0 ||
      static_cast<std::uint64_t>(screenW) * screenH > kMaxPixels ||
      static_cast<std::uint64_t>(frame.Width) * frame.Height > kMaxPixels)
    return kErrorCorrupt;
  const ColorMapObject* table = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
  const int colours = table != nullptr ? std::clamp(table->ColorCount, 1, 256) : 256;
  const int depth = gifDepthOfColours(colours);
  PIXCMAP* cmap = pixcmapCreate(depth);
  for (int i = 0; i < colours; ++i) {
    if (i == transparent) pixcmapAddColor(cmap, 255, 255, 255);
    else if (table == nullptr) pixcmapAddColor(cmap, i, i, i);  // no table at all: grey levels
    else pixcmapAddColor(cmap, table->Colors[i].Red, table->Colors[i].Green, table->Colors[i].Blue);
  }
  PixPtr pix(pixCreate(screenW, screenH, depth));
  if (!pix) {
    pixcmapDestroy(&cmap);
    return kErrorNoMemory;
  }
  pixSetColormap(pix.get(), cmap);
  const int paper = transparent >= 0 && transparent < colours ? transparent
                    : gif->SBackGroundColor < colours        ? gif->SBackGroundColor
                                                             : 0;
  pixSetAllArbitrary(pix.get(), static_cast<l_uint32>(paper));

  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  // Interlaced frames store rows 0, 8, 16, ..., then 4, 12, ..., 2, 6, ..., 1, 3, ...
  static const int kStart[] = {0, 4, 2, 1};
  static const int kStep[] = {8, 8, 4, 2};
  int pass = 0;
  int row = 0;
  for (int n = 0; n < frame.Height; ++n) {
    if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) return kErrorCorrupt;
    int y = n;
    if (frame.Interlace) {
      while (pass < 4 && kStart[pass] + row * kStep[pass] >= frame.Height) {
        ++pass;
        row = 0;
      }
      y = kStart[pass] + row * kStep[pass];
      ++row;
    }
    const int sy = frame.Top + y;
    if (sy < 0 || sy >= screenH) continue;
    for (int x = 0; x < frame.Width; ++x) {
      const int sx = frame.Left + x;
      if (sx >= screenW) break;
      if (sx < 0) continue;
      const int index = line[static_cast<std::size_t>(x)] < colours ? line[static_cast<std::size_t>(x)] : paper;
      pixSetPixel(pix.get(), sx, sy, static_cast<l_uint32>(index));
    }
  }
  out = std::move(pix);
  return kOk;
}

// ---------------------------------------------------------------- PNG

// A value of the given opacity composed onto white.
int onPaper(int value, int alpha) { return (value * alpha + 255 * (255 - alpha) + 127) / 255; }

struct PngImage {
  png_image image{};
  PngImage() { image.version = PNG_IMAGE_VERSION; }
  ~PngImage() { png_image_free(&image); }
};

std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at) {
  return (static_cast<std::uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

}  // namespace

bool pngHasTransparency(std::span<const std::uint8_t> b) {
  if (b.size() < 33) return false;
  const int colourType = b[25];
  if (colourType == 4 || colourType == 6) return true;
  std::size_t pos = 8;
  while (pos + 12 <= b.size()) {
    const std::uint32_t len = be32(b, pos);
    const char* type = reinterpret_cast<const char*>(b.data() + pos + 4);
    if (std::memcmp(type, "tRNS", 4) == 0) return true;
    if (std::memcmp(type, "IDAT", 4) == 0 || len > b.size() - pos - 12) return false;
    pos += 12 + len;
  }
  return false;
}

int gifDepthOfColours(int colours) {
  return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

short readGif(std::span<const std::uint8_t> bytes, int page, PixPtr& out) {
  if (page < 1) return kErrorPage;
  MemoryInput input{bytes};
  int error = 0;
  GifPtr gif(DGifOpen(&input, readGifBytes, &error));
  if (!gif) return kErrorCorrupt;
  int frame = 0;
  int transparent = NO_TRANSPARENT_COLOR;
  while (true) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) != GIF_OK) return kErrorCorrupt;
    if (type == TERMINATE_RECORD_TYPE) return kErrorPage;
    if (type == EXTENSION_RECORD_TYPE) {
      if (!skipExtension(gif.get(), transparent)) return kErrorCorrupt;
    } else if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif.get()) != GIF_OK) return kErrorCorrupt;
      if (++frame == page) return drawFrame(gif.get(), transparent, out);
      if (!skipImageData(gif.get())) return kErrorCorrupt;
      transparent = NO_TRANSPARENT_COLOR;  // a control block belongs to the one frame after it
    } else {
      return kErrorCorrupt;
    }
  }
}

short readPngFlattened(std::span<const std::uint8_t> bytes, PixPtr& out) {
  PngImage png;
  if (png_image_begin_read_from_memory(&png.image, bytes.data(), bytes.size()) == 0) return kErrorCorrupt;
  const int w = static_cast<int>(png.image.width);
  const int h = static_cast<int>(png.image.height);
  if (w <= 0 || h <= 0 || static_cast<std::uint64_t>(w) * h > kMaxPixels) return kErrorCorrupt;
  const png_uint_32 source = png.image.format;
  const bool palette = (source & PNG_FORMAT_FLAG_COLORMAP) != 0;
  const bool colour = (source & PNG_FORMAT_FLAG_COLOR) != 0;
  // Read with alpha and composed here, on the 8-bit values as the other
  // readers compose (libpng's own composition works in linear light).
  png.image.format = palette ? PNG_FORMAT_RGBA_COLORMAP : colour ? PNG_FORMAT_RGBA : PNG_FORMAT_GA;
  // Without a gAMA or sRGB chunk the simplified reader takes 16-bit samples
  // for linear light and brightens them on the way to 8 bits; every other
  // reader (and every program that writes such files) means sRGB.
  png.image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(png.image));
  std::vector<png_byte> colourMap(palette ? PNG_IMAGE_COLORMAP_SIZE(png.image) : 0);
  if (png_image_finish_read(&png.image, nullptr, pixels.data(), 0, palette ? colourMap.data() : nullptr) == 0)
    return kErrorCorrupt;

  const std::size_t stride = PNG_IMAGE_ROW_STRIDE(png.image);
  PixPtr pix;
  if (palette) {
    const int entries = static_cast<int>(std::clamp<png_uint_32>(png.image.colormap_entries, 1, 256));
    // The file's own depth (as examining reports it) where its palette fits.
    int depth = bytes[24];  // IHDR's bit depth, which libpng has checked by now
    if ((depth != 1 && depth != 2 && depth != 4 && depth != 8) || entries > (1 << depth)) depth = 8;
    pix.reset(pixCreate(w, h, depth));
    if (!pix) return kErrorNoMemory;
    PIXCMAP* cmap = pixcmapCreate(depth);
    for (int i = 0; i < entries; ++i) {
      const png_byte* e = colourMap.data() + 4 * i;
      pixcmapAddColor(cmap, onPaper(e[0], e[3]), onPaper(e[1], e[3]), onPaper(e[2], e[3]));
    }
    pixSetColormap(pix.get(), cmap);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int index = pixels[y * stride + x];
        pixSetPixel(pix.get(), x, y, static_cast<l_uint32>(index < entries ? index : 0));
      }
  } else if (colour) {
    pix.reset(pixCreate(w, h, 32));
    if (!pix) return kErrorNoMemory;
    for (int y = 0; y < h; ++y) {
      l_uint32* line = pixGetData(pix.get()) + static_cast<std::size_t>(y) * pixGetWpl(pix.get());
      const png_byte* src = pixels.data() + y * stride;
      for (int x = 0; x < w; ++x) {
        const png_byte* p = src + 4 * x;
        composeRGBPixel(onPaper(p[0], p[3]), onPaper(p[1], p[3]), onPaper(p[2], p[3]), line + x);
      }
    }
  } else {
    pix.reset(pixCreate(w, h, 8));
    if (!pix) return kErrorNoMemory;
    for (int y = 0; y < h; ++y) {
      l_uint32* line = pixGetData(pix.get()) + static_cast<std::size_t>(y) * pixGetWpl(pix.get());
      const png_byte* src = pixels.data() + y * stride;
      for (int x = 0; x < w; ++x) SET_DATA_BYTE(line, x, onPaper(src[2 * x], src[2 * x + 1]));
    }
  }
  out = std::move(pix);
  return kOk;
}

}  // namespace platform::imaging
