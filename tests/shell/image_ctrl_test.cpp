// The Orientation repair of the TIFF saves.

#include "shell/image_ctrl.h"

#include "tests/shell/imaging_fixtures.h"
#include "tests/support/test_env.h"

#include <tiffio.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t value;
};

// A little-endian TIFF header followed by directories at the given offsets.
class TiffBytes {
 public:
  explicit TiffBytes(std::uint32_t firstDirectory) {
    put8('I'), put8('I'), put16(42), put32(firstDirectory);
  }
  TiffBytes& directory(std::uint32_t at, const std::vector<Entry>& entries, std::uint32_t next) {
    pad(at);
    put16(static_cast<std::uint16_t>(entries.size()));
    for (const Entry& e : entries) put16(e.tag), put16(e.type), put32(e.count), put32(e.value);
    put32(next);
    return *this;
  }
  std::vector<std::uint8_t> bytes;
  std::uint32_t valueAt(std::size_t entryStart) const {
    return bytes[entryStart + 8] | (bytes[entryStart + 9] << 8) | (bytes[entryStart + 10] << 16) |
           (bytes[entryStart + 11] << 24);
  }

 private:
  void pad(std::size_t at) {
    if (bytes.size() < at) bytes.resize(at, 0);
  }
  void put8(std::uint8_t v) { bytes.push_back(v); }
  void put16(std::uint16_t v) { put8(v & 0xFF), put8(v >> 8); }
  void put32(std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); }
};

constexpr Entry kWidth{256, 3, 1, 10};
constexpr Entry kRotated{274, 3, 1, 6};

TEST(ResetTiffOrientation, SetsTheTagToTopLeftWhereverTheChainHoldsIt) {
  TiffBytes first(8);
  first.directory(8, {kWidth, kRotated}, 0);
  EXPECT_EQ(CImageCtrl::ResetTiffOrientation(first.bytes.data(), first.bytes.size()), 0);
  EXPECT_EQ(first.valueAt(8 + 2 + 12), 1u);

  TiffBytes second(8);
  second.directory(8, {kWidth}, 40).directory(40, {kWidth, kRotated}, 0);
  EXPECT_EQ(CImageCtrl::ResetTiffOrientation(second.bytes.data(), second.bytes.size()), 0);
  EXPECT_EQ(second.valueAt(40 + 2 + 12), 1u);
}

struct Refusal {
  const char* name;
  TiffBytes tiff;
  std::size_t length;  // 0: the whole buffer
  int result;
};

TEST(ResetTiffOrientation, LeavesEveryOtherBufferUnchanged) {
  std::vector<Refusal> cases;
  cases.push_back({"shorter than a header", TiffBytes(8), 7, 1});
  {
    TiffBytes big(8);
    big.directory(8, {kRotated}, 0);
    big.bytes[0] = big.bytes[1] = 'M';
    cases.push_back({"big-endian", big, 0, 2});
  }
  {
    TiffBytes notTiff(8);
    notTiff.directory(8, {kRotated}, 0);
    notTiff.bytes[2] = 43;
    cases.push_back({"not 42", notTiff, 0, 2});
  }
  {
    TiffBytes empty(8);
    empty.directory(8, {}, 0);
    cases.push_back({"empty directory", empty, 0, 2});
  }
  {
    TiffBytes asLong(8);
    asLong.directory(8, {Entry{274, 4, 1, 6}}, 0);
    cases.push_back({"tag of type LONG", asLong, 0, 2});
  }
  {
    TiffBytes two(8);
    two.directory(8, {Entry{274, 3, 2, 6}}, 0);
    cases.push_back({"tag with two values", two, 0, 2});
  }
  {
    TiffBytes none(8);
    none.directory(8, {kWidth}, 0);
    cases.push_back({"chain ends without the tag", none, 0, 3});
  }
  {
    TiffBytes beyond(8);
    beyond.directory(8, {kWidth, kRotated}, 0);
    cases.push_back({"tag beyond the buffer", beyond, 8 + 2 + 12 + 6, 1});
  }
  {
    TiffBytes far(8);
    far.directory(8, {kWidth}, 5000);
    cases.push_back({"next directory beyond the buffer", far, 0, 1});
  }
  {
    TiffBytes circle(8);
    circle.directory(8, {kWidth}, 8);
    cases.push_back({"directories in a circle", circle, 0, 2});
  }
  for (Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> before = c.tiff.bytes;
    const std::size_t length = c.length == 0 ? c.tiff.bytes.size() : c.length;
    EXPECT_EQ(CImageCtrl::ResetTiffOrientation(c.tiff.bytes.data(), length), c.result);
    EXPECT_EQ(c.tiff.bytes, before);
  }
}

TEST(ResetTiffOrientation, StaysInsideDamagedBuffers) {
  TiffBytes seed(8);
  seed.directory(8, {kWidth, kWidth, kRotated}, 60).directory(60, {kWidth, kRotated}, 0);
  std::mt19937 random(11);
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::uint8_t> bytes = seed.bytes;
    for (int i = 0; i < 1 + round % 4; ++i) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
    bytes.resize(8 + random() % (bytes.size() - 7));
    const int result = CImageCtrl::ResetTiffOrientation(bytes.data(), bytes.size());
    ASSERT_GE(result, 0);
    ASSERT_LE(result, 3);
  }
}

int orientationOf(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return -1;
  std::uint16_t value = 0;
  int found = TIFFGetField(tif, TIFFTAG_ORIENTATION, &value);
  TIFFClose(tif);
  return found == 1 ? value : 0;
}

TEST(SaveToFile, FaxKindsAreWrittenTopLeftAndReadableByLibtiff) {
  testsupport::TempDir dir;
  const std::string source = dir.file("in.png");
  ASSERT_TRUE(imagingtest::convert(imagingtest::bilevelPicture(64, 48), source));
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(source, 0, 1, 1), 0);
  for (short format : {27, 28, 29}) {
    const std::string out = dir.file("f" + std::to_string(format) + ".tif");
    ASSERT_EQ(ctrl.SaveToFile(out, format, 1, 0, 0), 0);
    EXPECT_EQ(orientationOf(out), ORIENTATION_TOPLEFT) << format;
  }
  std::int32_t handle = 0, size = 0;
  ASSERT_EQ(ctrl.SaveToMemory(&handle, 29, 1, 0, &size), 0);
  EXPECT_GT(size, 8);
}

}  // namespace
