// GetRecg over hand-made result fields, with a rule engine and a scripted
// English engine: grouping, the text entries, capacities, English groups,
// failures and the user's stop.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "layout/recognition_driver.h"
#include "layout/ring.h"
#include "layout/vulay30.h"
#include "tests/recognition/rule_engine.h"

namespace {
using namespace recognition;
using recogtest::reading;
using recogtest::RuleEngine;

struct EnglishLog {
  int calls = 0;
  std::size_t fields = 0;
  std::uint16_t textFreeGiven = 0;
  std::int16_t status = 0;
};

// Writes one character "E" per field and the field terminator.
class WritingEnglishEngine final : public EnglishEngine {
 public:
  explicit WritingEnglishEngine(EnglishLog& log) : log_(log) {}
  std::int16_t start(const std::string&) override { return 1; }
  std::int16_t recognizeFields(std::span<const EnglishField> fields, EnglishRequest& request) override {
    ++log_.calls;
    log_.fields += fields.size();
    log_.textFreeGiven = request.textFree;
    int text = 0, rects = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (text + 2 > request.textFree || rects + 1 > request.rectFree) break;
      const int index = request.charactersSoFar + rects + 1;
      std::uint8_t* e = request.textEntries + text * 6;
      e[0] = 0, e[1] = 'E', e[2] = static_cast<std::uint8_t>(index), e[3] = 0, e[4] = 0, e[5] = 0;
      std::int32_t* r = request.rectEntries + rects * 4;
      r[0] = fields[i].rect.left, r[1] = fields[i].rect.top, r[2] = fields[i].rect.right, r[3] = fields[i].rect.bottom;
      std::uint8_t* t = request.textEntries + (text + 1) * 6;
      t[0] = 0, t[1] = request.fieldTerminator, t[2] = t[3] = t[4] = t[5] = 0;
      text += 2;
      ++rects;
    }
    request.textFree = static_cast<std::uint16_t>(text);
    request.rectFree = static_cast<std::uint16_t>(rects);
    return log_.status;
  }

 private:
  EnglishLog& log_;
};

struct CallbackLog {
  std::vector<int> dialog;
  int pumps = 0;
  int stopAtPump = -1;  // the pump that answers "stop" (1-based), -1 never
  std::vector<VuRect> frames;
  std::vector<std::string> reports;
};

class RecognitionDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto japanese = std::make_unique<RuleEngine>();
    engine = japanese.get();
    // Each box reads as the kanji whose code follows its left edge, surely.
    engine->rule = [](const CharRect& r) { return reading(static_cast<std::uint16_t>(0x889F + r.left / 100), 600); };
    layout::setRecognitionEngines(std::move(japanese), std::make_unique<WritingEnglishEngine>(english));
    ASSERT_EQ(InitLayout("/dict", "/learn", 0), 1);
    VuRecgCallbacks cb{};
    cb.context = &calls;
    cb.stopDialog = [](void* c, int visible) { static_cast<CallbackLog*>(c)->dialog.push_back(visible); };
    cb.pump = [](void* c) {
      auto* log = static_cast<CallbackLog*>(c);
      return ++log->pumps == log->stopAtPump ? 1 : 0;
    };
    cb.lineDone = [](void* c, const VuRect* r, std::uint32_t) { static_cast<CallbackLog*>(c)->frames.push_back(*r); };
    cb.report = [](void* c, short, const char* text) { static_cast<CallbackLog*>(c)->reports.emplace_back(text); };
    SetRecgCallbacks(&cb);
    image.assign(static_cast<std::size_t>(kWidth / 8) * kHeight, 0);
    text.assign(600, 0);
    rects.assign(400, 0);
    result = VuRecgResult{};
    result.text = text.data();
    result.textCapacity = 100;
    result.rects = rects.data();
    result.rectCapacity = 100;
    result.cellSeparator = 9;
    result.fieldTerminator = 10;
    display = VuRecgDisplay{};
    display.scale = 2;
    display.stopMode = 1;
  }
  void TearDown() override {
    SetRecgCallbacks(nullptr);
    while (layout::layoutState().initCount > 0) CloseAlloc();
    layout::setRecognitionEngines(nullptr, nullptr);
  }

  // A field of Sfld with one line per entry of `lineBoxes`, each line holding
  // boxes 80 pixels wide at the given left edges.
  userfld* addField(int form, int row, int column, std::vector<std::vector<int>> lineBoxes, int language = 0) {
    userfld* f = append_fld(&layout::layoutState().Sfld);
    f->params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(form));
    f->params.setByte(ParamBlock::kFieldKind, 13);
    f->params.setWord(ParamBlock::kLanguageWord, static_cast<std::int16_t>(language));
    f->params.setByte(ParamBlock::kLineEnds, 1);
    f->number = static_cast<std::int16_t>(row);
    f->subNumber = static_cast<std::int16_t>(column);
    f->measures[0] = 80, f->measures[1] = 80, f->measures[2] = 20, f->measures[3] = 100;
    int top = 100 * static_cast<int>(count_fld(layout::layoutState().Sfld));
    f->left = 0, f->top = static_cast<std::int16_t>(top), f->right = 1999;
    for (const std::vector<int>& boxes : lineBoxes) {
      line_record* line = append_line(&f->lines);
      line->left = 0, line->right = 1999, line->top = static_cast<std::int16_t>(top),
      line->bottom = static_cast<std::int16_t>(top + 99);
      for (const int left : boxes) {
        recg* b = append_recg(&line->boxes);
        b->left = static_cast<std::int16_t>(left), b->right = static_cast<std::int16_t>(left + 79);
        b->top = static_cast<std::int16_t>(top + 10), b->bottom = static_cast<std::int16_t>(top + 89);
      }
      top += 100;
    }
    f->bottom = static_cast<std::int16_t>(top - 1);
    return f;
  }

  short run() {
    return GetRecg(nullptr, nullptr, image.data(), nullptr, kWidth, kHeight, 400, &result, &display);
  }

  // The entries written, as a readable list: a double-byte character "c", a
  // single-byte one as itself, a control by its value ("\t", "\n"), markers
  // "m1"/"m2".
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (int i = 0; i < result.textUsed; ++i) {
      const std::uint8_t* e = text.data() + i * 6;
      if (e[0] != 0) out.push_back("c");
      else if (e[1] == 1 || e[1] == 2) out.push_back(e[1] == 1 ? "m1" : "m2");
      else if (e[1] == 9) out.push_back("\\t");
      else if (e[1] == 10) out.push_back("\\n");
      else out.push_back(std::string(1, static_cast<char>(e[1])));
    }
    return out;
  }

  static constexpr int kWidth = 2048;
  static constexpr int kHeight = 1600;
  RuleEngine* engine = nullptr;
  EnglishLog english;
  CallbackLog calls;
  std::vector<std::uint8_t> image;
  std::vector<std::uint8_t> text;
  std::vector<std::int32_t> rects;
  VuRecgResult result{};
  VuRecgDisplay display{};
};

TEST_F(RecognitionDriverTest, FourTableCellsAreWrittenCellByCell) {
  addField(-1, 1, 1, {{0}});
  addField(-1, 1, 2, {{500}});
  addField(-1, 2, 1, {{0}});
  addField(-1, 2, 2, {{500}});
  ASSERT_EQ(run(), 0);
  const std::vector<std::string> expected{"c", "m1", "m2", "\\t", "c", "m1", "m2", "\\n",
                                          "c", "m1", "m2", "\\t", "c", "m1", "m2", "\\n"};
  EXPECT_EQ(entries(), expected);
  EXPECT_EQ(result.charactersWritten, 4);
  // One group: the field settings once per field, one resolution per field.
  EXPECT_EQ(engine->fieldParams, 4);
  // Markers carry the cell's row and column.
  EXPECT_EQ(text[6 * 5 + 2], 1);
  EXPECT_EQ(text[6 * 5 + 3], 2);
}

TEST_F(RecognitionDriverTest, AFieldsCharactersLandInTheArraysAndInItsLines) {
  userfld* f = addField(0, 1, -1, {{0, 100, 200}, {0, 100}});
  ASSERT_EQ(run(), 0);
  const std::vector<std::string> expected{"c", "c", "c", "\\n", "m1", "c", "c", "\\n", "m1", "m2"};
  EXPECT_EQ(entries(), expected);
  ASSERT_EQ(result.charactersWritten, 5);
  // Lead byte, trail byte and the 1-based rectangle index.
  EXPECT_EQ(text[6], 0x88);
  EXPECT_EQ(text[7], 0xA0);
  EXPECT_EQ(text[8], 2);
  // Rectangle entry 2 is the second character's (entry 0 stays unused).
  EXPECT_EQ(rects[8], 100);
  EXPECT_EQ(rects[10], 179);
  // The characters and their distances stay in Sfld for the control.
  int chars = 0;
  for (line_record* l = f->lines->next; l != f->lines; l = l->next)
    for (recg* c = l->chars->next; c != l->chars; c = c->next, ++chars) EXPECT_EQ(c->distance, 600);
  EXPECT_EQ(chars, 5);
  // A frame per line in window pixels (scale 2), the dialog opened and closed.
  ASSERT_EQ(calls.frames.size(), 2u);
  EXPECT_EQ(calls.frames[0].top, 50);
  EXPECT_EQ(calls.frames[0].right, 1000);
  EXPECT_EQ((calls.dialog), (std::vector<int>{1, -1}));
}

TEST_F(RecognitionDriverTest, TextCapacityLeavesRoomAndATinyOneWritesNothing) {
  for (const int capacity : {1, 5}) {
    free_fld_list(&layout::layoutState().Sfld);
    addField(0, 1, -1, {{0, 100, 200, 300, 400, 500}});
    result.textUsed = result.charactersWritten = 0;
    result.textCapacity = static_cast<std::uint16_t>(capacity);
    EXPECT_EQ(run(), 0) << capacity;
    EXPECT_EQ(result.textUsed, capacity <= 1 ? 0 : capacity - 1) << capacity;
    EXPECT_LE(result.charactersWritten, result.textUsed);
  }
}

TEST_F(RecognitionDriverTest, EnglishFieldsGoToTheEnglishEngineInOneCall) {
  addField(0, 1, -1, {{0}});
  addField(0, 2, -1, {{0}}, 1);
  addField(0, 3, -1, {{0}}, 1);
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(english.calls, 1);
  EXPECT_EQ(english.fields, 2u);
  EXPECT_EQ(english.textFreeGiven, 100 - 1 - 4);
  EXPECT_EQ(engine->fieldParams, 1);
  const std::vector<std::string> expected{"c", "\\n", "m1", "m2", "E", "\\n", "E", "\\n"};
  EXPECT_EQ(entries(), expected);
  EXPECT_EQ(result.charactersWritten, 3);
  // The English characters continue the rectangle indices.
  EXPECT_EQ(text[4 * 6 + 2], 2);
  EXPECT_EQ(text[6 * 6 + 2], 3);
}

TEST_F(RecognitionDriverTest, AGroupTheEngineCannotReadIsAFailureNotAnEmptySuccess) {
  addField(0, 1, -1, {{0}});
  addField(0, 2, -1, {{0}}, 1);
  engine->resolveStatus = 0;
  const short status = run();
  EXPECT_EQ(status, 1);  // one field whose text is missing
  ASSERT_EQ(calls.reports.size(), 1u);
  EXPECT_EQ(calls.reports[0], "認識を失敗しました ");
  // The English group after it was still read.
  EXPECT_EQ(english.calls, 1);
}

TEST_F(RecognitionDriverTest, ANegativeStatusEndsThePage) {
  addField(0, 1, -1, {{0}});
  addField(0, 2, -1, {{0}}, 1);
  engine->readStatus = -5;
  EXPECT_EQ(run(), -5);
  EXPECT_EQ(english.calls, 0);
  EXPECT_EQ(calls.reports, (std::vector<std::string>{"字種ファイルに記述上の誤りがあります"}));
}

TEST_F(RecognitionDriverTest, AUserStopDropsTheResultFieldsButLeavesTheCallersCopies) {
  userfld* field = addField(0, 1, -1, {{0, 100}, {0}, {0}});
  userfld* callers = nullptr;
  ASSERT_NE(copy_fld_deep(field, &callers), nullptr);
  calls.stopAtPump = 2;
  EXPECT_EQ(run(), -1);
  EXPECT_TRUE(layout::ringEmpty(layout::layoutState().Sfld));
  EXPECT_EQ(calls.pumps, 2);
  EXPECT_EQ(calls.dialog.back(), -1);
  // The caller's copy is whole: its lines and boxes can still be walked.
  int boxes = 0;
  for (line_record* l = callers->next->lines->next; l != callers->next->lines; l = l->next)
    for (recg* b = l->boxes->next; b != l->boxes; b = b->next) ++boxes;
  EXPECT_EQ(boxes, 4);
  free_fld_list(&callers);
  // Nothing is left to recognise until the next layout.
  EXPECT_EQ(run(), 0);
}

TEST_F(RecognitionDriverTest, WithoutAStopDialogThePumpIsNeverAsked) {
  addField(0, 1, -1, {{0}, {0}});
  display.stopMode = -1;
  calls.stopAtPump = 1;
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(calls.pumps, 0);
  EXPECT_TRUE(calls.dialog.empty());
  EXPECT_TRUE(calls.frames.empty());
}

TEST_F(RecognitionDriverTest, HalfWidthAndBlanksAsAsked) {
  userfld* f = addField(0, 1, -1, {{0, 300}});
  f->params.setByte(ParamBlock::kBlankOutput, 1);
  engine->rule = [](const CharRect& r) { return reading(r.left < 100 ? 0x8260 : 0x8250, 600); };  // Ａ, １
  result.halfWidth = 1;
  ASSERT_EQ(run(), 0);
  std::string line;
  for (int i = 0; i < result.textUsed; ++i) {
    const std::uint8_t* e = text.data() + i * 6;
    if (e[0] == 0 && e[1] >= 0x20) line += static_cast<char>(e[1]);
    else if (e[0] == 0x81 && e[1] == 0x40) line += '_';
  }
  EXPECT_EQ(line, "A__1");
}

TEST_F(RecognitionDriverTest, AVerticalFieldIsReadTopDownWithItsBlanksWhenAsked) {
  // One column x 1000-1099 of a field whose top is 0; characters at rows
  // 300, 400 and 600: three pitches of white above the first, one between
  // the second and the third.
  const VuRecgResult fresh = result;
  for (const int blanks : {0, 1}) {
    result = fresh;
    free_fld_list(&layout::layoutState().Sfld);
    engine->reads.clear();
    userfld* f = append_fld(&layout::layoutState().Sfld);
    f->params.setByte(ParamBlock::kFieldKind, 13);
    f->params.setByte(ParamBlock::kDirection, 1);
    f->params.setByte(ParamBlock::kLineEnds, 1);
    f->params.setByte(ParamBlock::kBlankOutput, static_cast<std::uint8_t>(blanks));
    f->number = 1, f->subNumber = -1;
    f->measures[0] = 80, f->measures[1] = 80, f->measures[2] = 20, f->measures[3] = 100;
    f->left = 1000, f->top = 0, f->right = 1099, f->bottom = 1599;
    line_record* line = append_line(&f->lines);
    line->left = 1000, line->right = 1099, line->top = 300, line->bottom = 1599;
    for (const int top : {600, 300, 400}) {  // the ring need not be in order
      recg* b = append_recg(&line->boxes);
      b->left = 1010, b->right = 1089;
      b->top = static_cast<std::int16_t>(top), b->bottom = static_cast<std::int16_t>(top + 79);
    }
    engine->rule = [](const CharRect& r) { return reading(static_cast<std::uint16_t>(0x889F + r.top / 100), 600); };
    ASSERT_EQ(run(), 0);
    std::string got;
    for (int i = 0; i < result.textUsed; ++i) {
      const std::uint8_t* e = text.data() + i * 6;
      if (e[0] == 0x81 && e[1] == 0x40) got += '_';
      else if (e[0] == 0x88) got += static_cast<char>('0' + (e[1] - 0x9F));
    }
    EXPECT_EQ(got, blanks ? "___34_6" : "346");
    for (const CharRect& r : engine->reads) EXPECT_TRUE(r.left >= 1000 && r.right <= 1099) << "a page rectangle";
    ASSERT_FALSE(engine->lines.empty());
    EXPECT_EQ(engine->lines.back(), (CharRect{1000, 300, 1099, 1599}));
  }
}

}  // namespace
