// Field-list files: a saved layout state read back whole, the bytes of the
// sections, and damaged files refused without changing the lists.
#include "layout/field_list_file.h"
#include "layout/field_list_file_codec.h"
#include "layout/field_rings.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/record_pool.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using layout::layoutState;

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

userfld* field(userfld** head, int left, int number, int sub) {
  userfld* f = append_fld(head);
  f->left = static_cast<std::int16_t>(left);
  f->top = static_cast<std::int16_t>(left + 1);
  f->right = static_cast<std::int16_t>(left + 50);
  f->bottom = static_cast<std::int16_t>(left + 20);
  f->number = static_cast<std::int16_t>(number);
  f->subNumber = static_cast<std::int16_t>(sub);
  for (int i = 0; i < 4; ++i) f->measures[i] = static_cast<std::int16_t>(left + i);
  f->origin = 1;
  for (int i = 0; i < 32; ++i) f->params.setByte(i, static_cast<std::uint8_t>(left + i));
  return f;
}

recg* box(recg** head, int left, int code) {
  recg* r = append_recg(head);
  r->left = static_cast<std::int16_t>(left);
  r->top = 2;
  r->right = static_cast<std::int16_t>(left + 9);
  r->bottom = 30;
  r->code = static_cast<std::int16_t>(code);
  r->code2 = -5;
  return r;
}

// Everything a field-list file keeps of a ring, as text.
void dump(const userfld* head, std::string& out, int depth = 0) {
  if (head == nullptr) return;
  for (const userfld* f = head->next; f != head; f = f->next) {
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + "F " + std::to_string(f->left) + "," +
           std::to_string(f->top) + "," + std::to_string(f->right) + "," + std::to_string(f->bottom) + " n" +
           std::to_string(f->number) + "/" + std::to_string(f->subNumber) + " o" + std::to_string(f->origin) + " m";
    for (auto m : f->measures) out += std::to_string(m) + ";";
    out += " p";
    for (auto b : f->params.bytes) out += std::to_string(b) + ".";
    out += "\n";
    if (f->blocks != nullptr) {
      for (const recg* r = f->blocks->next; r != f->blocks; r = r->next) {
        out += "  B " + std::to_string(r->left) + "," + std::to_string(r->right) + " c" + std::to_string(r->code) +
               "/" + std::to_string(r->code2) + "\n";
      }
    }
    dump(f->children, out, depth + 1);
    if (f->lines != nullptr) {
      for (const line_record* l = f->lines->next; l != f->lines; l = l->next) {
        out += "  L " + std::to_string(l->left) + "," + std::to_string(l->bottom) + " w" + std::to_string(l->work[0]) +
               "/" + std::to_string(l->work[1]) + "\n";
        if (l->boxes == nullptr) continue;
        for (const recg* r = l->boxes->next; r != l->boxes; r = r->next) {
          out += "    C " + std::to_string(r->left) + " c" + std::to_string(r->code) + "\n";
        }
      }
    }
  }
}

std::string dumpOf(const userfld* head) {
  std::string s;
  dump(head, s);
  return s;
}

class FieldListFileTest : public layouttest::LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
    path_ = dir_.filePath("page.lyt").toStdString();
  }
  void TearDown() override {
    free_fld_list(&caller_);
    LayoutLibraryTest::TearDown();
  }

  // A caller ring of two areas (the second with two sub-rectangles), Sfld
  // with a field holding blocks, two child fields and a line of boxes, and
  // one ruled-line field.
  void buildState() {
    field(&caller_, 10, 1, 0);
    userfld* area = field(&caller_, 20, 2, 0);
    field(&area->children, 21, 0, 0);
    field(&area->children, 22, 0, 0);

    auto& s = layoutState();
    userfld* f = field(&s.Sfld, 100, 1, 1);
    f->params.setByte(ParamBlock::kCharBlocks, 1);
    box(&f->blocks, 101, -1);
    box(&f->blocks, 111, -1);
    field(&f->children, 120, 1, 1);
    field(&f->children, 130, 1, 2);
    line_record* line = append_line(&f->lines);
    line->left = 100;
    line->bottom = 130;
    line->work[0] = 0x12345678;
    line->work[1] = -2;
    box(&line->boxes, 100, static_cast<std::int16_t>(0x82A0));
    box(&line->boxes, 112, static_cast<std::int16_t>(0x82A2));
    box(&line->chars, 100, 0x41);  // recognised characters are not kept
    field(&s.Sfld, 200, 2, 0);
    field(&s.ruleFields, 300, 1, -1);
  }

  QTemporaryDir dir_;
  std::string path_;
  userfld* caller_ = nullptr;
};

TEST_F(FieldListFileTest, SavedStateReadsBackWhole) {
  buildState();
  const std::string text = "\x92\xa0\x95\x5b";  // 帳票 in Shift-JIS
  const layout::FieldListSet set = layout::libraryFieldLists();
  ASSERT_EQ(layout::save_fld_file(caller_, text, 0xBEEF, &set, path_), 1);

  const std::string sfldBefore = dumpOf(layoutState().Sfld);
  const std::string rulesBefore = dumpOf(layoutState().ruleFields);
  const std::string callerBefore = dumpOf(caller_);
  EXPECT_NE(sfldBefore.find("    C 112 c-32094"), std::string::npos) << sfldBefore;

  free_fld_list(&layoutState().Sfld);
  free_fld_list(&layoutState().ruleFields);
  userfld* loaded = nullptr;
  char buffer[32];
  std::uint16_t word = 0;
  ASSERT_EQ(layout::load_fld_file(&loaded, buffer, sizeof buffer, &word, &set, path_, true), 1);
  EXPECT_EQ(std::string(buffer), text);
  EXPECT_EQ(word, 0xBEEF);
  EXPECT_EQ(dumpOf(layoutState().Sfld), sfldBefore);
  EXPECT_EQ(dumpOf(layoutState().ruleFields), rulesBefore);
  // The header keeps the caller's records and their sub-rectangles.
  EXPECT_EQ(dumpOf(loaded), callerBefore);
  // Only the boxes of a line come back, not its recognised characters.
  EXPECT_EQ(layoutState().Sfld->next->lines->next->chars, nullptr);
  layouttest::Reachable counted;
  EXPECT_TRUE(layouttest::fieldTreeValid(layoutState().Sfld, counted, false));
  EXPECT_TRUE(layouttest::poolsBalanced({loaded, caller_, layoutState().Sfld, layoutState().ruleFields}));
  free_fld_list(&loaded);
}

TEST_F(FieldListFileTest, SectionBytes) {
  // Two caller records without children, an empty caller text, an empty
  // Sfld and an empty ruled-line list.
  field(&caller_, 10, 1, 0);
  field(&caller_, 20, 2, 0);
  const layout::FieldListSet set = layout::libraryFieldLists();
  ASSERT_EQ(layout::save_fld_file(caller_, "", 7, &set, path_), 1);
  const std::string bytes = readAll(path_);
  ASSERT_EQ(bytes.size(), 2u + 2 + 2 + 2 * (74 + 2) + 2 + 2);
  EXPECT_EQ(bytes.substr(0, 6), std::string("\0\0\x07\0\x02\0", 6));
  // The record image: pointer slots zero, rectangle at 4, parameter block at 26.
  EXPECT_EQ(bytes.substr(6, 4), std::string(4, '\0'));
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[6 + 4]), 10);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[6 + 26]), 10);
  EXPECT_EQ(bytes.substr(6 + 58, 16), std::string(16, '\0'));
  EXPECT_EQ(bytes.substr(6 + 74, 2), std::string(2, '\0'));  // child count 0
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string(4, '\0'));  // two empty tree sections

  userfld* loaded = nullptr;
  char buffer[8] = "xxxxxxx";
  ASSERT_EQ(layout::load_fld_file(&loaded, buffer, sizeof buffer, nullptr, &set, path_, true), 1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(layoutState().Sfld, nullptr);
  free_fld_list(&loaded);
}

TEST_F(FieldListFileTest, HeaderOnlyLoadAppendsAndLeavesSfld) {
  buildState();
  const layout::FieldListSet set = layout::libraryFieldLists();
  ASSERT_EQ(layout::save_fld_file(caller_, "t", 1, &set, path_), 1);
  const std::string sfld = dumpOf(layoutState().Sfld);
  userfld* ring = nullptr;
  field(&ring, 5, 9, 0);
  ASSERT_EQ(layout::load_fld_file(&ring, nullptr, 0, nullptr, &set, path_, false), 1);
  EXPECT_EQ(count_fld(ring), 3);
  EXPECT_EQ(ring->next->number, 9);
  EXPECT_EQ(ring->prev->number, 2);
  EXPECT_EQ(count_fld(ring->prev->children), 2);
  EXPECT_EQ(dumpOf(layoutState().Sfld), sfld);
  free_fld_list(&ring);
}

TEST_F(FieldListFileTest, DamagedFilesChangeNothing) {
  buildState();
  const layout::FieldListSet set = layout::libraryFieldLists();
  ASSERT_EQ(layout::save_fld_file(caller_, "abc", 5, &set, path_), 1);
  const std::string good = readAll(path_);
  const std::string sfld = dumpOf(layoutState().Sfld);

  auto expectRefused = [&](const std::string& bytes, std::size_t capacity, short status) {
    writeAll(path_, bytes);
    userfld* ring = nullptr;
    field(&ring, 5, 9, 0);
    char buffer[16];
    std::memset(buffer, 'k', sizeof buffer);
    std::uint16_t word = 77;
    EXPECT_EQ(layout::load_fld_file(&ring, buffer, capacity, &word, &set, path_, true), status);
    EXPECT_EQ(count_fld(ring), 1);
    EXPECT_EQ(word, 77);
    EXPECT_EQ(buffer[0], 'k');
    EXPECT_EQ(dumpOf(layoutState().Sfld), sfld);
    free_fld_list(&ring);
  };
  // A file cut anywhere is refused (the trees' reader once took a short
  // read for the end of the list).
  for (std::size_t length = 0; length < good.size(); ++length) {
    SCOPED_TRACE(length);
    expectRefused(good.substr(0, length), 16, layout::kStatusFileRead);
  }
  {
    SCOPED_TRACE("text longer than the buffer");
    expectRefused(good, 3, layout::kStatusFileRead);
  }
  {
    SCOPED_TRACE("a record count beyond the records");
    std::string more = good;
    more[2 + 3 + 2] = '\x40';
    expectRefused(more, 16, layout::kStatusFileRead);
  }
  {
    SCOPED_TRACE("child trees nested past any real list");
    std::string deep = good.substr(0, 2 + 3 + 2 + 2 + 2 * 76 + 2 * 74);
    std::string entry(layout::kFldEntryBytes, '\0');
    entry[56] = 1;  // one child
    for (int i = 0; i <= layout::kFldMaxDepth + 1; ++i) deep += std::string("\x01\0", 2) + entry;
    deep += std::string(4 * 1024, '\0');
    layout::FldFileContents contents;
    EXPECT_EQ(layout::decodeFldFile({reinterpret_cast<const std::uint8_t*>(deep.data()), deep.size()}, 16, true,
                                    &contents),
              layout::FldCodecStatus::TooDeep);
    expectRefused(deep, 16, layout::kStatusFileRead);
  }
  {
    SCOPED_TRACE("a file larger than any page's lists");
    {
      std::ofstream(path_, std::ios::binary | std::ios::trunc);
    }
    ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(layout::kFldMaxFileBytes + 1)), 0);
    userfld* ring = nullptr;
    EXPECT_EQ(layout::load_fld_file(&ring, nullptr, 0, nullptr, &set, path_, true), layout::kStatusFileRead);
    EXPECT_EQ(dumpOf(layoutState().Sfld), sfld);
  }
  // A file that fits with one byte to spare for the terminator is read.
  writeAll(path_, good);
  userfld* ring = nullptr;
  char buffer[4];
  EXPECT_EQ(layout::load_fld_file(&ring, buffer, sizeof buffer, nullptr, &set, path_, true), 1);
  EXPECT_STREQ(buffer, "abc");
  free_fld_list(&ring);
}

TEST_F(FieldListFileTest, RecordsRunningOutChangesNothing) {
  buildState();
  // More fields than the pool has spare, so that loading must grow it.
  for (int i = 0; i < 200; ++i) field(&layoutState().Sfld, 400 + i, 3 + i, 0);
  const layout::FieldListSet set = layout::libraryFieldLists();
  ASSERT_EQ(layout::save_fld_file(caller_, "", 0, &set, path_), 1);
  const std::string sfld = dumpOf(layoutState().Sfld);
  userfld* ring = nullptr;
  layout::PoolFaults::remaining = 0;
  EXPECT_EQ(layout::load_fld_file(&ring, nullptr, 0, nullptr, &set, path_, true), layout::kStatusNoMemory);
  layout::PoolFaults::remaining = -1;
  EXPECT_EQ(ring, nullptr);
  EXPECT_EQ(dumpOf(layoutState().Sfld), sfld);
  EXPECT_TRUE(layouttest::poolsBalanced({caller_, layoutState().Sfld, layoutState().ruleFields}));
}

TEST_F(FieldListFileTest, ExportsGiveTheStatusOfTheWork) {
  buildState();
  std::string path = path_;
  std::string missingFolder = dir_.filePath("none/page.lyt").toStdString();
  char text[256] = "memo";
  int* textArg = reinterpret_cast<int*>(text);
  // Nothing to save: done, and no file.
  EXPECT_EQ(SaveFldToFile(textArg, nullptr, path.data(), 0), 1);
  EXPECT_FALSE(QFile::exists(dir_.filePath("page.lyt")));
  EXPECT_EQ(SaveFldToFile(textArg, caller_, missingFolder.data(), 0), layout::kStatusFileOpen);
  ASSERT_EQ(SaveFldToFile(textArg, caller_, path.data(), 42), 1);

  userfld* list = nullptr;
  std::uint16_t word = 0;
  EXPECT_EQ(LoadFldFromFile(textArg, &list, 1, missingFolder.data(), &word), layout::kStatusFileOpen);
  writeAll(dir_.filePath("short.lyt").toStdString(), readAll(path).substr(0, 40));
  std::string shortPath = dir_.filePath("short.lyt").toStdString();
  const std::string sfld = dumpOf(layoutState().Sfld);
  field(&list, 1, 5, 0);
  EXPECT_EQ(LoadFldFromFile(textArg, &list, 1, shortPath.data(), &word), layout::kStatusFileRead);
  EXPECT_EQ(count_fld(list), 1);
  EXPECT_EQ(dumpOf(layoutState().Sfld), sfld);

  // Replacing: the caller's list becomes the file's records.
  std::memset(text, 0, sizeof text);
  ASSERT_EQ(LoadFldFromFile(textArg, &list, 1, path.data(), &word), 1);
  EXPECT_STREQ(text, "memo");
  EXPECT_EQ(word, 42);
  EXPECT_EQ(dumpOf(list), dumpOf(caller_));
  EXPECT_EQ(dumpOf(layoutState().Sfld), sfld);
  free_fld_list(&list);
}

TEST(FieldListCodec, CountsThatDoNotFitAWordAreRefused) {
  layout::FldFileContents contents;
  contents.sfld.resize(70000);
  std::string bytes;
  EXPECT_EQ(layout::encodeFldFile(contents, &bytes), layout::FldCodecStatus::TooMany);
}

}  // namespace
