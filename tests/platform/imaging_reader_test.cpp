// Hostile image headers: every reader of ours fails cleanly on files that
// lie about their sizes, and no damaged file makes any reader step outside
// its bytes (run under AddressSanitizer to see that).

#include "platform/imaging/bmp_codec.h"
#include "platform/imaging/image.h"
#include "platform/imaging/image_codec.h"
#include "tests/shell/imaging_fixtures.h"
#include "tests/support/test_env.h"

#include <leptonica/allheaders.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <optional>
#include <random>

namespace img = platform::imaging;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}

img::PixPtr testPicture(int depth) {
  img::PixPtr pix(pixCreate(37, 23, 32));
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) {
      l_uint32 v;
      composeRGBPixel(x * 7, y * 11, (x * y) % 256, &v);
      pixSetPixel(pix.get(), x, y, v);
    }
  if (depth == 32) return pix;
  if (depth == 1) return img::PixPtr(pixConvertTo1(pix.get(), 128));
  return img::PixPtr(pixMedianCutQuantGeneral(pix.get(), 0, depth, 1 << depth, 0, 1, 0));
}

Bytes bmpOf(int depth, int bits, bool rle) {
  img::PixPtr pix = testPicture(depth);
  Bytes out;
  EXPECT_EQ(img::writeBmp(pix.get(), bits, rle, true, out), img::kOk);
  return out;
}

// Examines and, when that succeeds, decodes each page; the decode must agree
// with the examination (size, and the depth that is held) or fail.
void readAnyway(const Bytes& bytes) {
  img::FileInfo info;
  if (img::examineImage(bytes, 1, info) != img::kOk) return;
  const int pages = std::min(info.pageCount, 4);
  for (int page = 1; page <= pages; ++page) {
    if (img::examineImage(bytes, page, info) != img::kOk) continue;
    img::PixPtr pix = img::decodeImage(bytes, page, info.format, 1);
    if (!pix) continue;
    EXPECT_EQ(pixGetWidth(pix.get()), info.width);
    EXPECT_EQ(pixGetHeight(pix.get()), info.height);
    EXPECT_EQ(pixGetSpp(pix.get()) == 4, false) << "nothing held is transparent";
    // 16-bit bitmaps are held in 24 bits but examined as what they are
    if (!(img::format::isBmp(info.format) && info.bitsPerPixel == 16)) {
      EXPECT_EQ(img::reportedBits(pix.get()), info.bitsPerPixel) << "format " << info.format << " page " << page;
    }
  }
}

TEST(BmpReader, OwnFilesReadBackExactly) {
  for (auto [depth, bits, rle] : {std::tuple{1, 1, false}, {4, 4, false}, {8, 8, false}, {32, 24, false},
                                  {32, 16, false}, {32, 32, false}, {4, 4, true}, {8, 8, true}}) {
    SCOPED_TRACE(std::to_string(bits) + (rle ? " rle" : ""));
    Bytes file = bmpOf(depth, bits, rle);
    img::PixPtr back;
    ASSERT_EQ(img::readBmp(file, true, back), img::kOk);
    img::PixPtr a(pixConvertTo32(testPicture(depth).get()));
    img::PixPtr b(pixConvertTo32(back.get()));
    l_int32 same = 0;
    if (bits == 16) {
      // five bits a channel: compare within the step
      l_float32 diff = 0;
      pixGetDifferenceStats(a.get(), b.get(), 0, 1, nullptr, &diff, 0);
      EXPECT_LT(diff, 8.0f);
    } else {
      pixEqual(a.get(), b.get(), &same);
      EXPECT_TRUE(same);
    }
  }
}

TEST(BmpReader, HeadersThatLieFailCleanly) {
  struct Case {
    const char* name;
    int depth, bits;
    bool rle;
    std::size_t at;   // offset of the field
    int size;         // 2 or 4 bytes
    std::uint32_t value;
    std::size_t cutTo;  // 0: keep the whole file
  } cases[] = {
      {"colours used beyond 256", 8, 8, false, 46, 4, 0xFFFFFFFF, 0},
      {"colours used beyond the file", 8, 8, false, 46, 4, 300, 60},
      {"palette offset past the end", 4, 4, false, 14, 4, 0x7FFFFFF0, 0},
      {"data offset past the end", 32, 24, false, 10, 4, 0xFFFFFF00, 0},
      {"rows longer than the data", 32, 24, false, 18, 4, 5000, 0},
      {"more rows than the data", 32, 24, false, 22, 4, 9000, 0},
      {"height of INT_MIN", 32, 24, false, 22, 4, 0x80000000, 0},
      {"width of zero", 32, 24, false, 18, 4, 0, 0},
      {"negative width", 32, 24, false, 18, 4, 0xFFFFFFFE, 0},
      {"huge image", 32, 24, false, 18, 4, 60000, 0},
      {"depth of 2 bits", 8, 8, false, 28, 2, 2, 0},
      {"RLE8 on a 24-bit image", 32, 24, false, 30, 4, 1, 0},
      {"bit fields without masks", 32, 24, false, 30, 4, 3, 0},
      {"truncated RLE data", 8, 8, true, 0, 0, 0, 1200},
      {"header size beyond the file", 8, 8, false, 14, 4, 124, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = bmpOf(c.depth, c.bits, c.rle);
    if (c.size == 4) put32(file, c.at, c.value);
    if (c.size == 2) put16(file, c.at, static_cast<std::uint16_t>(c.value));
    if (c.cutTo != 0 && c.cutTo < file.size()) file.resize(c.cutTo);
    img::PixPtr pix;
    const short rc = img::readBmp(file, true, pix);
    img::FileInfo info;
    if (rc != img::kOk) {
      EXPECT_FALSE(pix);
      EXPECT_NE(img::examineImage(file, 1, info), img::kOk) << "examining agrees with reading";
    } else {
      // what it read lies within the file: the size the header claims
      ASSERT_TRUE(pix);
      ASSERT_EQ(img::examineImage(file, 1, info), img::kOk);
      EXPECT_EQ(pixGetWidth(pix.get()), info.width);
    }
  }
}

TEST(BmpReader, RleRunsOutsideTheImageFail) {
  Bytes file = bmpOf(8, 8, true);
  const std::uint32_t data = file[10] | (file[11] << 8);
  Bytes longRun = file;
  longRun[data] = 255;  // a run of 255 pixels in a row of 37
  img::PixPtr pix;
  EXPECT_EQ(img::readBmp(longRun, true, pix), img::kErrorCorrupt);
  Bytes farDelta = file;
  farDelta[data] = 0, farDelta[data + 1] = 2, farDelta[data + 2] = 200, farDelta[data + 3] = 200;
  EXPECT_EQ(img::readBmp(farDelta, true, pix), img::kErrorCorrupt);
}

// ---------------------------------------------------------------- JPEG resolution

void appendSegment(Bytes& out, std::uint8_t marker, const Bytes& body) {
  const std::size_t len = body.size() + 2;
  out.insert(out.end(), {0xFF, marker, static_cast<std::uint8_t>(len >> 8), static_cast<std::uint8_t>(len)});
  out.insert(out.end(), body.begin(), body.end());
}

Bytes jfifBody(int units, int x, int y) {
  return {'J', 'F', 'I', 'F', 0, 1, 2, static_cast<std::uint8_t>(units), static_cast<std::uint8_t>(x >> 8),
          static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y >> 8), static_cast<std::uint8_t>(y), 0, 0};
}

struct ExifDensity {
  bool bigEndian = false;
  std::uint32_t xNum = 0, xDen = 1, yNum = 0, yDen = 1;
  int unit = 2;              // 0: no ResolutionUnit entry
  std::uint32_t ifdAt = 8;   // where the first directory is said to be
};

// "Exif\0\0" and a TIFF structure whose first directory states the density.
Bytes exifBody(const ExifDensity& d) {
  Bytes t;
  auto u16 = [&](std::uint32_t v) {
    if (d.bigEndian) t.insert(t.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
    else t.insert(t.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
  };
  auto u32 = [&](std::uint32_t v) {
    if (d.bigEndian) u16(v >> 16), u16(v & 0xFFFF);
    else u16(v & 0xFFFF), u16(v >> 16);
  };
  t.insert(t.end(), d.bigEndian ? std::initializer_list<std::uint8_t>{'M', 'M'} : std::initializer_list<std::uint8_t>{'I', 'I'});
  u16(42);
  u32(d.ifdAt);
  const std::uint32_t entries = d.unit == 0 ? 2 : 3;
  const std::uint32_t data = 8 + 2 + 12 * entries + 4;
  u16(entries);
  u16(282), u16(5), u32(1), u32(data);
  u16(283), u16(5), u32(1), u32(data + 8);
  if (d.unit != 0) u16(296), u16(3), u32(1), u16(static_cast<std::uint32_t>(d.unit)), u16(0);
  u32(0);
  u32(d.xNum), u32(d.xDen), u32(d.yNum), u32(d.yDen);
  Bytes body{'E', 'x', 'i', 'f', 0, 0};
  body.insert(body.end(), t.begin(), t.end());
  return body;
}

// A small JPEG of ours with its JFIF segment replaced by the given ones.
Bytes jpegWith(const std::optional<Bytes>& jfif, const std::optional<Bytes>& exif) {
  img::PixPtr pix = testPicture(32);
  Bytes plain;
  EXPECT_EQ(img::encodeImage(pix.get(), img::format::kJpeg444, 24, 2, {}, plain), img::kOk);
  const std::size_t afterApp0 = 4 + ((plain[4] << 8) | plain[5]);  // SOI, then our JFIF segment
  Bytes out{0xFF, 0xD8};
  if (jfif) appendSegment(out, 0xE0, *jfif);
  if (exif) appendSegment(out, 0xE1, *exif);
  out.insert(out.end(), plain.begin() + static_cast<std::ptrdiff_t>(afterApp0), plain.end());
  return out;
}

TEST(JpegResolution, JfifInAUnitElseExifElseTheDefault) {
  const ExifDensity exif300{false, 300, 1, 300, 1};
  const ExifDensity exif72BigEndian{true, 72, 1, 72, 1};
  const ExifDensity exifPerCm{false, 11811, 100, 11811, 100, 3};
  const ExifDensity exifNoUnit{false, 300, 1, 300, 1, 1};
  const ExifDensity exifZeroDenominator{false, 300, 0, 300, 0};
  const ExifDensity exifDirectoryOutside{false, 300, 1, 300, 1, 2, 60000};
  const ExifDensity exifAbsurd{false, 1, 1, 1, 1};
  const struct {
    const char* name;
    std::optional<Bytes> jfif;
    std::optional<Bytes> exif;
    int xDpi, yDpi;
  } cases[] = {
      {"JFIF in dots per inch", jfifBody(1, 200, 300), std::nullopt, 200, 300},
      {"JFIF in dots per centimetre", jfifBody(2, 118, 118), std::nullopt, 300, 300},
      {"JFIF aspect ratio only", jfifBody(0, 1, 1), std::nullopt, 150, 150},
      {"JFIF of 1 x 1 dpi is no resolution", jfifBody(1, 1, 1), std::nullopt, 150, 150},
      {"JFIF aspect ratio, Exif 300 dpi", jfifBody(0, 1, 1), exifBody(exif300), 300, 300},
      {"JFIF of 1 x 1 dpi, Exif 300 dpi", jfifBody(1, 1, 1), exifBody(exif300), 300, 300},
      {"Exif alone, big-endian, 72 dpi", std::nullopt, exifBody(exif72BigEndian), 72, 72},
      {"Exif in centimetres", std::nullopt, exifBody(exifPerCm), 300, 300},
      {"JFIF in a unit wins over Exif", jfifBody(1, 200, 200), exifBody(exif300), 200, 200},
      {"Exif without unit is a ratio", std::nullopt, exifBody(exifNoUnit), 150, 150},
      {"Exif of 1 x 1 dpi", std::nullopt, exifBody(exifAbsurd), 150, 150},
      {"Exif with a zero denominator", std::nullopt, exifBody(exifZeroDenominator), 150, 150},
      {"Exif directory beyond its block", std::nullopt, exifBody(exifDirectoryOutside), 150, 150},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes jpeg = jpegWith(c.jfif, c.exif);
    img::FileInfo info;
    ASSERT_EQ(img::examineImage(jpeg, 1, info), img::kOk);
    EXPECT_EQ(info.xResolution, c.xDpi);
    EXPECT_EQ(info.yResolution, c.yDpi);
    EXPECT_EQ(info.format, c.exif ? img::format::kExifJpeg : img::format::kJpeg444);
    img::PixPtr pix = img::decodeImage(jpeg, 1, info.format, 1);
    ASSERT_TRUE(pix) << "the segments around the image data are well formed";
  }
}

// Seeds of every kind the engine reads, then truncations and byte changes
// from a fixed random sequence.
TEST(Readers, SurviveTruncatedAndMutatedFiles) {
  std::vector<Bytes> seeds;
  for (auto [depth, bits, rle] : {std::tuple{1, 1, false}, {4, 4, true}, {8, 8, true}, {8, 8, false},
                                  {32, 16, false}, {32, 24, false}, {32, 32, false}})
    seeds.push_back(bmpOf(depth, bits, rle));
  testsupport::TempDir dir;
  const std::string picture = imagingtest::colourPicture(40, 30);
  const std::string transparent = picture + " -fill '#3060c0' -draw 'rectangle 0,0 8,8' -transparent '#3060c0'";
  const std::pair<const char*, std::string> fixtures[] = {
      {"a.gif", picture},
      {"b.png", picture},
      {"c.jpg", picture},
      {"d.tif", picture + " -compress LZW"},
      {"BMP2:e.bmp", picture},
      {"f.pgm", picture},
      {"PNG32:g.png", transparent},
      {"PNG8:h.png", transparent},
      {"i.gif", "\\( " + transparent + " \\) \\( " + picture + " -colors 4 \\)"},
      {"j.tif", transparent + " -compress LZW"},
      {"k.tif", picture + " -colorspace Gray -depth 16"},
      {"l.jpg", picture + " -colorspace CMYK"},
      {"BMP:m.bmp", transparent + " -define bmp:format=bmp4"},
  };
  for (const auto& [made, args] : fixtures) {
    const std::string name = made;
    const std::string file = dir.file(name.substr(name.find(':') + 1));
    std::string target = name.find(':') == std::string::npos ? file : name.substr(0, name.find(':') + 1) + file;
    ASSERT_TRUE(imagingtest::convert(args, target)) << name;
    const std::string content = testsupport::readFile(file);
    seeds.emplace_back(content.begin(), content.end());
  }
  {
    const std::string g4 = dir.file("g.tif");
    ASSERT_TRUE(imagingtest::convert(imagingtest::bilevelPicture(120, 80) + " -type bilevel -compress Group4", g4));
    const std::string content = testsupport::readFile(g4);
    seeds.emplace_back(content.begin(), content.end());
  }

  std::mt19937 random(20240611);
  int examined = 0;
  for (const Bytes& seed : seeds) {
    readAnyway(seed);
    for (std::size_t cut = 0; cut < seed.size(); cut += 1 + cut / 8) readAnyway(Bytes(seed.begin(), seed.begin() + cut));
    for (int round = 0; round < 300; ++round) {
      Bytes mutated = seed;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < changes; ++i) {
        // mostly in the headers, where the sizes are
        const std::size_t span = random() % 4 == 0 ? mutated.size() : std::min<std::size_t>(mutated.size(), 160);
        const std::size_t at = random() % span;
        switch (random() % 3) {
          case 0: mutated[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
          case 1: mutated[at] = static_cast<std::uint8_t>(random()); break;
          default: mutated[at] = random() % 2 ? 0xFF : 0x00; break;
        }
      }
      readAnyway(mutated);
      ++examined;
    }
  }
  EXPECT_GT(examined, 3000);
}

}  // namespace

// Leptonica's notes are not printed on the terminal; its errors reach the
// program's log.
TEST(LeptonicaReports, NotesAreQuietAndErrorsGoToTheLog) {
  static QStringList logged;
  logged.clear();
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext& context, const QString& text) {
        if (context.category && QByteArray(context.category) == "brindel.leptonica") logged << text;
      });
  const l_int32 severity = setMsgSeverity(L_SEVERITY_WARNING);
  EXPECT_EQ(severity, L_SEVERITY_WARNING);
  EXPECT_EQ(pixGetDepth(nullptr), 0);  // an error of the library's own
  qInstallMessageHandler(previous);
  ASSERT_FALSE(logged.isEmpty());
  EXPECT_TRUE(logged.front().contains(QStringLiteral("pixGetDepth"))) << logged.front().toStdString();
}
