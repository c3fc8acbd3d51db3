// The template table, per-template files, names, navigation and the
// conversion of tables of earlier versions, on files in a temporary folder.
#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_status.h"
#include "layout/line_field_steps.h"
#include "layout/template_table.h"
#include "platform/byte_order.h"
#include "platform/sjis_codec.h"
#include "tests/layout/keisen_builders.h"
#include "tests/layout/layout_fixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using namespace layout;

std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

int word(const std::vector<std::uint8_t>& b, std::size_t at) { return static_cast<std::int16_t>(platform::loadLe16(&b[at])); }

class TemplateTableTest : public layouttest::LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
    folder_ = dir_.path().toStdString();
    ctx_.folder = folder_;
    ctx_.tablePath = template_table_path(folder_);
    page_.bytesPerRow = 2480 / 8;
    page_.height = 3508;
    page_.dpi = 400;
  }
  void TearDown() override {
    free_fld_list(&fields_);
    free_keisen_pair(&lines_);
    LayoutLibraryTest::TearDown();
  }
  void addField(int l, int t, int r, int b, int number) {
    ASSERT_EQ(add_plain_fld(&fields_, l, t, r, b), 1);
    fields_->prev->number = static_cast<std::int16_t>(number);
  }
  void addH(int x1, int x2, int y) { layouttest::addH(lines_, x1, x2, y); }
  void addV(int x, int y1, int y2) { layouttest::addV(lines_, x, y1, y2); }
  std::string path(const char* name) const { return template_folder_path(folder_, name); }
  // A table whose slot bytes are given, each with entry "%06d".
  void writeTable(const std::vector<std::int8_t>& slotBytes) {
    TemplateTable t;
    t.count = static_cast<std::uint16_t>(slotBytes.size());
    for (std::size_t s = 0; s < slotBytes.size(); ++s) {
      t.slotBytes[s] = slotBytes[s];
      std::snprintf(t.entries[s].data(), 16, "%06d", static_cast<int>(s));
    }
    writeBytes(ctx_.tablePath, encode_template_table(t));
  }

  QTemporaryDir dir_;
  std::string folder_;
  TemplateContext ctx_;
  ImageDesc page_;
  userfld* fields_ = nullptr;
  KeisenPair lines_;
};

TEST_F(TemplateTableTest, NewTableIsExactlyOneEmptyTable) {
  ASSERT_EQ(create_template_table(ctx_), 1);
  const auto b = fileBytes(ctx_.tablePath);
  ASSERT_EQ(b.size(), 11848u);
  EXPECT_EQ(std::memcmp(b.data(), "layout 35\0\0\0\0\0\0\0\0\0\0\0", 20), 0);
  EXPECT_EQ(word(b, 20), 300);
  EXPECT_EQ(word(b, 22), 0);
  EXPECT_TRUE(std::all_of(b.begin() + 24, b.end(), [](std::uint8_t v) { return v == 0; }));
}

TEST_F(TemplateTableTest, FirstRegistrationWritesFileEntryCountAndFeatures) {
  addField(100, 200, 900, 300, 1);
  addField(100, 400, 900, 500, 2);
  fields_->next->params.setWord(ParamBlock::kCharKindMask, 0x0102);
  addH(100, 1100, 150);   // valid: 1001 pixels, the minimum at 400 dpi is 160
  addH(1500, 1600, 150);  // too short: neither stored nor counted
  addH(1000, 1400, 1020);
  addV(120, 100, 1200);
  ctx_.attribute = "attr";
  ASSERT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotActive), 1);
  EXPECT_EQ(ctx_.fileNumber, 0);

  const auto t = fileBytes(ctx_.tablePath);
  ASSERT_EQ(t.size(), 11848u);
  EXPECT_EQ(word(t, 22), 1);
  EXPECT_EQ(t[148], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&t[7048])), "000000");
  auto feature = [&](int k) { return word(t, 448 + static_cast<std::size_t>(k * 300) * 2); };
  EXPECT_EQ(feature(0), 2);
  EXPECT_EQ(feature(1), 1);
  EXPECT_EQ(feature(2), 3);
  EXPECT_EQ(feature(3), (1001 + 401) >> 3);
  EXPECT_EQ(feature(4), 1101 >> 3);
  EXPECT_EQ(feature(6), 1);   // only the first line crosses the centre x = 1240
  EXPECT_EQ(feature(7), 1);   // the vertical line meets the first horizontal
  EXPECT_EQ(feature(8), 2);   // rows 150 and 1020
  EXPECT_EQ(feature(9), 1);
  EXPECT_EQ(feature(10), 2);

  const auto f = fileBytes(path("@N000000"));
  ASSERT_EQ(f.size(), 32u + 4 + 8 * 3 + 870 * 2);
  EXPECT_EQ(word(f, 0), 4);
  EXPECT_EQ(word(f, 2), 2);
  EXPECT_EQ(word(f, 4), 1);
  EXPECT_EQ(word(f, 6), 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[32]), 4), "attr");
  EXPECT_EQ(word(f, 36 + 16), 120);  // the vertical line after both horizontal ones

  TemplateTable table;
  ASSERT_EQ(open_template_table(ctx_.tablePath, &table), 1);
  userfld* read = nullptr;
  KeisenPair readLines;
  std::string attribute;
  ASSERT_EQ(read_template_file(&read, &readLines, 0, folder_, &attribute, table), 1);
  EXPECT_EQ(attribute, "attr");
  EXPECT_EQ(count_fld(read), 2);
  EXPECT_EQ(read->next->left, 100);
  EXPECT_EQ(read->next->bottom, 300);
  EXPECT_EQ(read->next->number, 1);
  EXPECT_EQ(read->next->params.word(ParamBlock::kCharKindMask), 0x0102);
  EXPECT_EQ(read->next->params.byte(0), 1);
  EXPECT_EQ(count_hlines(readLines.horizontal), 2);
  EXPECT_EQ(count_vlines(readLines.vertical), 1);
  free_fld_list(&read);
  free_keisen_pair(&readLines);
}

TEST_F(TemplateTableTest, RegistrationStoresTheCharacterKindsOfMergeRuns) {
  // One run of a table row: cells (1, 1) and (1, 2) with their kinds.
  for (int column = 1; column <= 2; ++column) {
    addField(100 * column, 100, 100 * column + 90, 150, 1);
    userfld* f = fields_->prev;
    f->subNumber = static_cast<std::int16_t>(column);
    f->params.setByte(ParamBlock::kForm, 0xFF);
    f->params.setWord(ParamBlock::kCharKindMask, static_cast<std::int16_t>(4 + column));
  }
  ASSERT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotActive), 1);
  platform::GlobalHandle block = 0;
  short rows = 0, columns = 0;
  ASSERT_EQ(read_char_block(folder_, 0, 0, &block, &rows, &columns), 1);
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(columns, 2);
  const std::uint8_t* grid = platform::globalLock(block);
  EXPECT_EQ(grid[0], 5);
  EXPECT_EQ(grid[1], 6);
  platform::globalUnlock(block);
  platform::globalFree(block);
}

TEST_F(TemplateTableTest, PageWithoutLinesRegistersZeroFeatures) {
  addField(10, 10, 50, 50, 1);
  ASSERT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotInactive), 1);
  TemplateTable table;
  ASSERT_EQ(open_template_table(ctx_.tablePath, &table), 1);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(table.features[static_cast<std::size_t>(k)][0], 0) << k;
  EXPECT_EQ(table.features[10][0], 1);
  EXPECT_EQ(table.slotBytes[0], kSlotInactive);
}

TEST_F(TemplateTableTest, RegistrationRefusesEmptyFieldListAndFullTable) {
  EXPECT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotActive), kStatusNoFieldList);
  addField(10, 10, 50, 50, 1);
  writeTable(std::vector<std::int8_t>(300, kSlotActive));
  const auto before = fileBytes(ctx_.tablePath);
  EXPECT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotActive), kStatusTemplateTableFull);
  EXPECT_EQ(fileBytes(ctx_.tablePath), before);
  EXPECT_FALSE(exists(path("@N000300")));
}

TEST_F(TemplateTableTest, FailedTableCommitLeavesNoTemplateFile) {
  addField(10, 10, 50, 50, 1);
  ctx_.tablePath = folder_ + "/missing/template.tbl";
  EXPECT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotActive), kStatusFileOpen);
  EXPECT_FALSE(exists(path("@N000000")));
}

TEST_F(TemplateTableTest, StoredBlocksAndChildrenComeBackWithinTheirLimits) {
  addField(0, 0, 500, 100, 1);
  userfld* f = fields_->next;
  f->params.setByte(ParamBlock::kCharBlocks, 1);
  for (int i = 0; i < 60; ++i) append_recg(&f->blocks)->left = static_cast<std::int16_t>(i);
  add_plain_fld(&f->children, 1, 2, 3, 4);
  ASSERT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotActive), 1);
  // A crafted count of 60 is read as 50, not past the 400-byte area.
  auto bytes = fileBytes(path("@N000000"));
  platform::storeLe16(&bytes[32 + 408], 60);
  writeBytes(path("@N000000"), bytes);
  TemplateTable table;
  ASSERT_EQ(open_template_table(ctx_.tablePath, &table), 1);
  userfld* read = nullptr;
  KeisenPair readLines;
  ASSERT_EQ(read_template_file(&read, &readLines, 0, folder_, nullptr, table), 1);
  int blocks = 0;
  for (recg* r = read->next->blocks->next; r != read->next->blocks; r = r->next) EXPECT_EQ(r->left, blocks++);
  EXPECT_EQ(blocks, 50);
  ASSERT_EQ(count_fld(read->next->children), 1);
  EXPECT_EQ(read->next->children->next->right, 3);
  free_fld_list(&read);
  free_keisen_pair(&readLines);
}

TEST_F(TemplateTableTest, MalformedFilesAreRefused) {
  TemplateTable table;
  std::vector<std::uint8_t> good = encode_template_table(table);
  struct TableCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<TableCase> tables = {{"truncated", {good.begin(), good.end() - 1}}, {"oversized", good}, {"no title", good},
                                   {"count beyond capacity", good}};
  tables[1].bytes.push_back(0);
  tables[2].bytes[0] = 'X';
  platform::storeLe16(&tables[3].bytes[22], 301);
  for (const auto& c : tables) {
    writeBytes(ctx_.tablePath, c.bytes);
    EXPECT_EQ(open_template_table(ctx_.tablePath, &table), kStatusFileRead) << c.what;
  }

  TemplateFile file;
  file.hlines.push_back({1, 2, 3, 1});
  file.fields.resize(1);
  const std::vector<std::uint8_t> valid = encode_template_file(file);
  std::vector<std::vector<std::uint8_t>> files = {{valid.begin(), valid.begin() + 31},
                                                  {valid.begin(), valid.end() - 1}, valid, valid};
  platform::storeLe16(&files[2][6], 2);     // two records announced, one stored
  platform::storeLe16(&files[3][0], 1024);  // attribute longer than its buffer
  for (const auto& bytes : files) {
    TemplateFile out;
    EXPECT_EQ(decode_template_file(bytes, &out), kStatusFileRead);
  }
  TemplateFile out;
  EXPECT_EQ(decode_template_file(valid, &out), 1);

  // A table entry that is not a file number never names a file.
  writeTable({kSlotActive});
  ASSERT_EQ(open_template_table(ctx_.tablePath, &table), 1);
  std::strcpy(table.entries[0].data(), "../x");
  userfld* read = nullptr;
  KeisenPair readLines;
  EXPECT_EQ(read_template_file(&read, &readLines, 0, folder_, nullptr, table), kStatusFileRead);
}

TEST_F(TemplateTableTest, DeletedTemplateIsNotReadAndCurrentStays) {
  addField(10, 10, 50, 50, 1);
  ASSERT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotActive), 1);
  ASSERT_EQ(register_template(ctx_, fields_, lines_, page_, kSlotActive), 1);
  EXPECT_EQ(ctx_.fileNumber, 1);
  TemplateTable table;
  ASSERT_EQ(open_template_table(ctx_.tablePath, &table), 1);
  table.slotBytes[1] = kSlotDeleted;
  writeBytes(ctx_.tablePath, encode_template_table(table));
  ctx_.current = 0;
  userfld* read = nullptr;
  KeisenPair readLines;
  EXPECT_EQ(read_template_core(ctx_, 1, &read, &readLines, lines_, 70), kStatusFileRead);
  EXPECT_EQ(read_template_core(ctx_, 2, &read, &readLines, lines_, 70), kStatusFileRead);
  EXPECT_EQ(ctx_.current, 0);
  EXPECT_EQ(read, nullptr);
  EXPECT_EQ(read_template_core(ctx_, 0, &read, &readLines, lines_, 70), 1);
  EXPECT_EQ(ctx_.current, 0);
  EXPECT_EQ(count_fld(read), 1);
  free_fld_list(&read);
  free_keisen_pair(&readLines);
}

TEST_F(TemplateTableTest, StepSkipsDeletedTemplatesBothWays) {
  writeTable({kSlotActive, kSlotDeleted, kSlotInactive, kSlotDeleted, kSlotActive, kSlotDeleted});
  struct Case {
    int current, direction, expected;
  };
  const Case cases[] = {
      {0, 1, 2},  {2, 1, 4},   {4, 1, -2},  {5, 1, -1},  {4, -1, 2}, {2, -1, 0},
      {0, -1, -1}, {1, 0, 2},  {5, 0, -2},  {6, 1, -2},  {-1, 0, -2}, {2, 7, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(step_template(folder_, c.current, c.direction), c.expected) << c.current << " " << c.direction;
  }
  int count = 0, registered = 0;
  TemplateTable table;
  ASSERT_EQ(open_template_table(ctx_.tablePath, &table), 1);
  EXPECT_EQ(count_registered_templates(&count, &registered, table), 1);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(registered, 3);

  std::vector<int> messages;
  auto bytes = fileBytes(ctx_.tablePath);
  bytes[0] = 'X';
  writeBytes(ctx_.tablePath, bytes);
  EXPECT_EQ(step_template(folder_, 0, 1, [&](int m) { messages.push_back(m); }), kStatusFileOpen);
  EXPECT_EQ(messages, std::vector<int>{kMsgTemplateOpen});
}

TEST_F(TemplateTableTest, NamesFileIsMadeOnFirstUseAndKeepsShiftJisNames) {
  writeTable({kSlotActive, kSlotDeleted, kSlotInactive});
  std::vector<TemplateName> names;
  ASSERT_EQ(read_template_names(folder_, &names), 2);
  EXPECT_EQ(fileBytes(path("template.tnm")).size(), 3u * 88);
  EXPECT_EQ(names[1].number, 2);
  EXPECT_EQ(platform::fromCp932(names[1].name), "管理番号2のﾃﾝﾌﾟﾚｰﾄ*");

  const std::string name = platform::toCp932("請求書").value();
  ASSERT_EQ(write_template_name(folder_, name, 2, 1), 1);
  std::string back;
  EXPECT_EQ(read_template_name(folder_, 2, &back), 1);
  EXPECT_EQ(back, name);
  back = "kept";
  EXPECT_EQ(read_template_name(folder_, 5, &back), 0);  // beyond the file: flag 0, name left
  EXPECT_EQ(back, "kept");

  // Writing into a folder without a names file fills the records before it.
  QTemporaryDir other;
  const std::string o = other.path().toStdString();
  EXPECT_EQ(read_template_name(o, 0, &back), -1);
  ASSERT_EQ(write_template_name(o, name, 2, 0), 1);
  EXPECT_EQ(read_template_name(o, 1, &back), 0);
  EXPECT_EQ(platform::fromCp932(back), "テンプレート 1");
}

TEST_F(TemplateTableTest, CopiesTakeFieldsAndValidLines) {
  addField(10, 20, 30, 40, 1);
  fields_->next->params.setByte(7, 1);
  fields_->next->number = 2;
  fields_->next->subNumber = 3;
  add_plain_fld(&fields_->next->children, 11, 21, 29, 39);
  addH(0, 1000, 50);
  addH(0, 10, 60);  // too short to count
  addV(5, 0, 900);
  userfld* copy = nullptr;
  EXPECT_EQ(copy_fld_list(nullptr, &copy), -1);
  ASSERT_EQ(copy_fld_list(fields_, &copy), 1);
  EXPECT_EQ(copy->next->right, 30);
  EXPECT_EQ(copy->next->params.byte(7), 1);
  EXPECT_EQ(copy->next->number, 2);  // a cell keeps its row and column
  EXPECT_EQ(copy->next->subNumber, 3);
  EXPECT_EQ(copy->next->children->next->left, 11);
  EXPECT_NE(copy->next->children, fields_->next->children);
  free_fld_list(&copy);
  KeisenPair pair;
  addH(0, 999, 5);
  copy_keisen_lists(&lines_, &pair);  // something to replace
  ASSERT_EQ(copy_valid_lines(lines_.horizontal, lines_.vertical, &pair), 0);
  EXPECT_EQ(count_hlines(pair.horizontal), 2);
  EXPECT_EQ(count_vlines(pair.vertical), 1);
  free_keisen_pair(&pair);
}

// An old table (no title, "@@" files of 16-bit or 32-bit records).
class TemplateConversionTest : public TemplateTableTest {
 protected:
  void writeOldTable(int count) {
    std::vector<std::uint8_t> t(11828, 0);
    platform::storeLe16(&t[0], 300);
    platform::storeLe16(&t[2], static_cast<std::uint16_t>(count));
    for (int s = 0; s < count; ++s) {
      t[128 + static_cast<std::size_t>(s)] = 1;
      platform::storeLe16(&t[428 + static_cast<std::size_t>(s) * 2], static_cast<std::uint16_t>(10 + s));
      std::snprintf(reinterpret_cast<char*>(&t[7028 + 16 * static_cast<std::size_t>(s)]), 16, "%06d", s);
    }
    writeBytes(ctx_.tablePath, t);
  }
  // One record, a line, an attribute and a character-kind block tail.
  void writeOldFile(int slot, std::size_t recordBytes, int blockCount) {
    const bool wide = recordBytes == 875;
    std::vector<std::uint8_t> f(32, 0);
    platform::storeLe16(&f[0], 2);
    platform::storeLe16(&f[2], 1);
    platform::storeLe16(&f[6], 1);
    f.insert(f.end(), {'a', 'b', 5, 0, 9, 0, 7, 0, 1, 0});
    std::vector<std::uint8_t> r(recordBytes, 0);
    const std::size_t c = wide ? 4 : 2;
    platform::storeLe16(&r[0], 100);
    platform::storeLe16(&r[c * 3], static_cast<std::uint16_t>(-3));
    if (wide) platform::storeLe16(&r[2], 0x7777);  // high word of x1: dropped
    platform::storeLe16(&r[c * 4], 44);              // first block's left
    const std::size_t tail = wide ? 816 : 408;
    platform::storeLe16(&r[tail], static_cast<std::uint16_t>(blockCount));
    platform::storeLe16(&r[tail + 2], 7);   // number
    r[tail + 10] = 0xA0;                    // parameter byte 0
    r[tail + 15] = 1;                       // direction
    r[tail + 26] = 0x3C;                    // mask low byte
    r[tail + 27] = 0xFF;                    // not carried over
    f.insert(f.end(), r.begin(), r.end());
    f.insert(f.end(), {0, 0, 1, 0, 1, 0, 0x42});
    char name[16];
    std::snprintf(name, sizeof name, "@@%06d", slot);
    writeBytes(path(name), f);
  }
};

TEST_F(TemplateConversionTest, OldTableOfSixteenBitRecordsConverts) {
  writeOldTable(3);
  for (int s = 0; s < 3; ++s) writeOldFile(s, 467, s == 1 ? 60 : 2);
  bool asked = false;
  const short result = check_template_table(folder_, [&](const std::string& f, int* mode) {
    asked = f == folder_;
    *mode = 1;
    return true;
  });
  EXPECT_TRUE(asked);
  EXPECT_EQ(result, 0);
  const auto t = fileBytes(ctx_.tablePath);
  ASSERT_EQ(t.size(), 11848u);
  EXPECT_EQ(std::memcmp(t.data(), "layout 35", 10), 0);
  EXPECT_EQ(word(t, 22), 3);
  EXPECT_EQ(word(t, 448 + 4), 12);
  EXPECT_EQ(fileBytes(path("lumOld.tbl")).size(), 11828u);
  EXPECT_TRUE(exists(path("@@000000")));

  const auto f = fileBytes(path("@N000001"));
  ASSERT_EQ(f.size(), 32u + 2 + 8 + 870 + 7);
  const std::size_t r = 42;
  EXPECT_EQ(word(f, r + 0), 100);
  EXPECT_EQ(word(f, r + 6), -3);
  EXPECT_EQ(word(f, r + 8), 44);
  EXPECT_EQ(word(f, r + 408), 50);  // 60 blocks announced
  EXPECT_EQ(word(f, r + 812), 7);
  EXPECT_EQ(f[r + 820], 0xA0);
  EXPECT_EQ(f[r + 825], 1);
  EXPECT_EQ(word(f, r + 836), 0x3C);
  EXPECT_EQ(f.back(), 0x42);  // the character-kind blocks follow unchanged
  EXPECT_EQ(check_template_table(folder_, {}), 0);
}

TEST_F(TemplateConversionTest, ThirtyTwoBitRecordsTakeTheLowWords) {
  writeOldTable(1);
  writeOldFile(0, 875, 3);
  ASSERT_EQ(convert_template_table(2, folder_), 0);
  const auto f = fileBytes(path("@N000000"));
  ASSERT_EQ(f.size(), 32u + 2 + 8 + 870 + 7);
  EXPECT_EQ(word(f, 42), 100);
  EXPECT_EQ(word(f, 42 + 6), -3);
  EXPECT_EQ(word(f, 42 + 408), 3);
  EXPECT_EQ(word(f, 42 + 836), 0x3C);
}

TEST_F(TemplateConversionTest, DeclinedOrFailedConversionIsNotReportedUsable) {
  writeOldTable(2);
  writeOldFile(0, 467, 1);
  EXPECT_EQ(check_template_table(folder_, [](const std::string&, int*) { return false; }), 1);
  EXPECT_FALSE(exists(path("lumOld.tbl")));
  // The second "@@" file is missing: the others convert, the result says so.
  const short result = check_template_table(folder_, [](const std::string&, int* mode) {
    *mode = 1;
    return true;
  });
  EXPECT_EQ(result, kStatusFileOpen);
  EXPECT_TRUE(exists(path("@N000000")));
  EXPECT_EQ(check_template_table(folder_ + "/none", {}), kStatusFileOpen);
}

}  // namespace
