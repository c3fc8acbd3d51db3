#include "tests/support/text_line_renderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace testsupport {
namespace {

const char* fontFile(FixtureFont font) {
  return font == FixtureFont::Sans ? "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
                                   : "/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc";
}

// Face 0 of both collections is the JP face.
constexpr int kJapaneseFaceIndex = 0;
constexpr int kInkThreshold = 128;

struct GlyphBitmap {
  int x = 0, y = 0;  // top-left in canvas coordinates (y down)
  int width = 0, height = 0;
  std::vector<std::uint8_t> grey;
};

struct FtLibrary {
  FT_Library lib = nullptr;
  FtLibrary() { FT_Init_FreeType(&lib); }
  ~FtLibrary() { FT_Done_FreeType(lib); }
};

}  // namespace

std::string LineImage::pgm() const {
  std::string out = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  out.reserve(out.size() + static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.push_back(pixel(x, y) ? '\0' : '\xff');
  return out;
}

LineImage renderTextLine(std::string_view utf8, FixtureFont font, int pointSize, int dpi,
                         bool vertical, int margin) {
  static FtLibrary ft;
  LineImage image;
  FT_Face face = nullptr;
  if (!ft.lib || FT_New_Face(ft.lib, fontFile(font), kJapaneseFaceIndex, &face) != 0) return image;
  std::unique_ptr<FT_FaceRec_, decltype(&FT_Done_Face)> faceOwner(face, &FT_Done_Face);
  FT_Set_Char_Size(face, 0, pointSize * 64, dpi, dpi);

  hb_font_t* hbFont = hb_ft_font_create_referenced(face);
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf8(buffer, utf8.data(), static_cast<int>(utf8.size()), 0,
                     static_cast<int>(utf8.size()));
  hb_buffer_set_direction(buffer, vertical ? HB_DIRECTION_TTB : HB_DIRECTION_LTR);
  hb_buffer_set_script(buffer, HB_SCRIPT_HAN);
  hb_buffer_set_language(buffer, hb_language_from_string("ja", -1));
  hb_feature_t features[2];
  hb_feature_from_string("vert", -1, &features[0]);
  hb_feature_from_string("vrt2", -1, &features[1]);
  hb_shape(hbFont, buffer, features, vertical ? 2 : 0);

  unsigned count = 0;
  hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
  hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);

  // Pen in 26.6 units, HarfBuzz coordinates (y up); offsets place the glyph's
  // horizontal origin relative to the pen, also in vertical runs.
  std::vector<GlyphBitmap> glyphs;
  long penX = 0, penY = 0;
  for (unsigned i = 0; i < count; ++i) {
    const long originX = penX + positions[i].x_offset;
    const long originY = penY + positions[i].y_offset;
    penX += positions[i].x_advance;
    penY += positions[i].y_advance;
    if (FT_Load_Glyph(face, infos[i].codepoint, FT_LOAD_DEFAULT) != 0) continue;
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
    const FT_Bitmap& bm = face->glyph->bitmap;
    if (bm.width == 0 || bm.rows == 0) continue;
    GlyphBitmap g;
    g.width = static_cast<int>(bm.width);
    g.height = static_cast<int>(bm.rows);
    g.x = static_cast<int>(originX / 64) + face->glyph->bitmap_left;
    g.y = -static_cast<int>(originY / 64) - face->glyph->bitmap_top;
    g.grey.resize(static_cast<std::size_t>(g.width) * g.height);
    for (int r = 0; r < g.height; ++r)
      std::copy_n(bm.buffer + r * bm.pitch, g.width, g.grey.begin() + r * g.width);
    glyphs.push_back(std::move(g));
  }
  hb_buffer_destroy(buffer);
  hb_font_destroy(hbFont);

  int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
  for (const GlyphBitmap& g : glyphs)
    for (int r = 0; r < g.height; ++r)
      for (int c = 0; c < g.width; ++c)
        if (g.grey[r * g.width + c] >= kInkThreshold) {
          minX = std::min(minX, g.x + c);
          maxX = std::max(maxX, g.x + c);
          minY = std::min(minY, g.y + r);
          maxY = std::max(maxY, g.y + r);
        }
  if (minX > maxX) return image;

  image.dpi = dpi;
  image.width = maxX - minX + 1 + 2 * margin;
  image.height = maxY - minY + 1 + 2 * margin;
  image.bytesPerRow = (image.width + 15) / 16 * 2;
  image.bits.assign(static_cast<std::size_t>(image.bytesPerRow) * image.height, 0);
  image.lineLeft = margin;
  image.lineTop = margin;
  image.lineRight = margin + maxX - minX;
  image.lineBottom = margin + maxY - minY;
  for (const GlyphBitmap& g : glyphs)
    for (int r = 0; r < g.height; ++r)
      for (int c = 0; c < g.width; ++c) {
        if (g.grey[r * g.width + c] < kInkThreshold) continue;
        const int x = g.x + c - minX + margin;
        const int y = g.y + r - minY + margin;
        image.bits[static_cast<std::size_t>(y) * image.bytesPerRow + x / 8] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
  return image;
}

}  // namespace testsupport
