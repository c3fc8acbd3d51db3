// The OCR control as the application drives it: registered, created by its
// ProgID through the component registry, driven by dispatch ids.
#include "ocrctl/control_identity.h"
#include "ocrctl/ocr_control.h"
#include "ocrctl/ocr_dispatch.h"
#include "platform/component_registry.h"
#include "platform/global_memory.h"
#include "tests/support/page_renderer.h"
#include "tests/support/edit_distance.h"
#include "tests/support/test_env.h"
#include "tests/support/vertical_table_page.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidget>
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <vector>

using platform::DispatchKind;
using platform::Variant;

namespace {

enum Id : int {
  DrawWidth = 1, DrawHeight = 2, DispScale = 4, Form = 5, LetterDirection = 7, CharAttr = 10, ActiveId = 11,
  RcgNum = 12, RcgLeft = 13, RcgTop = 14, Version = 26, UsrPatName = 29,
  InitOcr = 60, LoadImageFile = 61, SetImageHandle = 62, Rotate = 64, DoLayout = 65, DoRecognize = 67,
  GetOcrResult = 68, GetResultRect = 77, LoadPatImageSection = 82, GetImageHandle = 90,
};

using testsupport::editDistance;

class RecordingSink : public platform::EventSink {
 public:
  void fire(int dispid, std::span<const Variant>) override { fired.push_back(dispid); }
  std::vector<int> fired;
};

class ControlHost : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    void* library = dlopen(ZEQOCR30_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(library, nullptr) << dlerror();
    auto registerServer = reinterpret_cast<int (*)()>(dlsym(library, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), 0);
    dlclose(library);
  }

  platform::ComponentPtr create() {
    platform::ComponentPtr control;
    std::string error;
    EXPECT_EQ(platform::createComponent(ocrctl::kControlProgId, &control, &error), 0) << error;
    return control;
  }

  static Variant call(platform::DispatchObject& c, int id, std::vector<Variant> args = {}) {
    Variant result;
    EXPECT_EQ(c.invoke(id, DispatchKind::Method, args, &result), platform::kDispOk) << id;
    return result;
  }
  static std::int32_t number(const Variant& v) {
    std::int32_t n = -99999;
    EXPECT_TRUE(v.toLong(&n));
    return n;
  }
  static std::int32_t get(platform::DispatchObject& c, int id) {
    Variant result;
    EXPECT_EQ(c.invoke(id, DispatchKind::PropertyGet, {}, &result), platform::kDispOk) << id;
    return number(result);
  }
  static void put(platform::DispatchObject& c, int id, std::int16_t value) {
    const Variant arg(value);
    EXPECT_EQ(c.invoke(id, DispatchKind::PropertyPut, {&arg, 1}, nullptr), platform::kDispOk) << id;
  }
  std::vector<std::uint8_t> imageBytes(platform::DispatchObject& c) {
    const auto handle = static_cast<platform::GlobalHandle>(number(call(c, GetImageHandle)));
    if (handle == 0) return {};
    const std::uint8_t* p = platform::globalLock(handle);
    std::vector<std::uint8_t> bytes(p, p + platform::globalSize(handle));
    platform::globalFree(handle);
    return bytes;
  }

  // A rendered page of horizontal Japanese written as `format` (Leptonica's IFF_*),
  // skewed and turned as a scanner may give it.
  std::string writePage(int format, const char* name, double skew = 0, int quarterTurns = 0) {
    testpages::PageBuilder builder(1200, 800, 300);
    builder.addText({100, 100}, QStringLiteral("日本語の文書を読み取ります。"), 12, 14, 4);
    page_ = builder.render(skew, quarterTurns);
    return writeRendered(format, name);
  }
  // A page of prose, Japanese or English, as a scanner gives it.
  std::string writeProsePage(const char* name, bool english, double skew, int quarterTurns) {
    testpages::PageBuilder builder(2000, 1400, 300);
    if (english)
      builder.addText({100, 100},
                      QStringLiteral("The quick brown fox jumps over the lazy dog while the committee reviews its budget. "),
                      10, 60, 12, false, 1.4, QStringLiteral("DejaVu Serif"));
    else
      builder.addText({100, 100}, QStringLiteral("会議の議事録は三日以内に提出してください。添付資料の番号と日付を確認のうえ保存します。"),
                      10.5, 30, 10);
    page_ = builder.render(skew, quarterTurns);
    return writeRendered(IFF_PNG, name);
  }
  static std::vector<std::uint8_t> handleBytes(platform::GlobalHandle handle) {
    if (handle == 0) return {};
    const std::uint8_t* p = platform::globalLock(handle);
    std::vector<std::uint8_t> bytes(p, p + platform::globalSize(handle));
    platform::globalUnlock(handle);
    platform::globalFree(handle);
    return bytes;
  }
  std::string writeRendered(int format, const char* name) {
    PIX* pix = pixCreate(page_.width, page_.height, 1);
    for (int y = 0; y < page_.height; ++y)
      for (int x = 0; x < page_.width; ++x)
        if (page_.pixel(x, y)) pixSetPixel(pix, x, y, 1);
    pixSetResolution(pix, 300, 300);
    const std::string path = dir_.file(name);
    EXPECT_EQ(pixWrite(path.c_str(), pix, format), 0);
    pixDestroy(&pix);
    return path;
  }

  std::string writeRendered(const testpages::RenderedPage& page, const char* name) {
    PIX* pix = pixCreate(page.width, page.height, 1);
    for (int y = 0; y < page.height; ++y)
      for (int x = 0; x < page.width; ++x)
        if (page.pixel(x, y)) pixSetPixel(pix, x, y, 1);
    pixSetResolution(pix, page.dpi, page.dpi);
    const std::string path = dir_.file(name);
    EXPECT_EQ(pixWrite(path.c_str(), pix, IFF_PNG), 0);
    pixDestroy(&pix);
    return path;
  }

  testsupport::TempDir dir_;
  testpages::RenderedPage page_;
};

QString flattened(const QString& text) {
  QString flat = text.normalized(QString::NormalizationForm_KC);
  flat.remove(QRegularExpression(QStringLiteral("\\s")));
  return flat;
}

// The end of the first piece of `text`, starting at or after `from`, that
// `pattern` matches with at most `limit` edits; -1 when there is none.
int firstMatchFrom(const QString& text, const QString& pattern, int from, int limit) {
  const int n = static_cast<int>(text.size());
  const int m = static_cast<int>(pattern.size());
  std::vector<int> previous(static_cast<std::size_t>(m) + 1), current(previous.size());
  for (int j = 0; j <= m; ++j) previous[static_cast<std::size_t>(j)] = j;
  for (int i = from; i < n; ++i) {
    current[0] = 0;  // a match may start anywhere
    for (int j = 1; j <= m; ++j)
      current[static_cast<std::size_t>(j)] =
          std::min({previous[static_cast<std::size_t>(j)] + 1, current[static_cast<std::size_t>(j) - 1] + 1,
                    previous[static_cast<std::size_t>(j) - 1] + (text[i] == pattern[j - 1] ? 0 : 1)});
    if (current[static_cast<std::size_t>(m)] <= limit) return i + 1;
    std::swap(previous, current);
  }
  return -1;
}

}  // namespace

TEST_F(ControlHost, RegistryNamesTheLibraryByClassIdAndProgId) {
  platform::ComponentEntry entry;
  ASSERT_TRUE(platform::findComponent(ocrctl::kControlProgId, &entry));
  EXPECT_EQ(entry.clsid, ocrctl::kControlClassId);
  EXPECT_EQ(entry.typeName, "ZEQOcr Control 3.0");
  platform::ComponentPtr byClassId;
  EXPECT_EQ(platform::createComponent(ocrctl::kControlClassId, &byClassId), 0);
  platform::ComponentPtr unknown;
  EXPECT_EQ(platform::createComponent("ZEQOCR.Nothing.1", &unknown), platform::kComponentNotRegistered);
  EXPECT_EQ(unknown, nullptr);
}

TEST_F(ControlHost, ReadsEachImageFormatThroughLayoutAndRecognition) {
  auto control = create();
  ASSERT_NE(control, nullptr);
  RecordingSink sink;
  control->setEventSink(&sink);
  QWidget host;
  control->window()->setParent(&host);
  EXPECT_EQ(number(call(*control, DoRecognize)), -1002);  // no image yet
  EXPECT_EQ(number(call(*control, InitOcr, {Variant(dir_.path())})), 0);
  EXPECT_EQ(call(*control, GetOcrResult).text()->size(), 0u);

  const struct {
    int format;
    const char* name;
  } formats[] = {{IFF_TIFF_G4, "page.tif"}, {IFF_BMP, "page.bmp"}, {IFF_PNG, "page.png"}};
  std::vector<std::uint8_t> first;
  for (const auto& f : formats) {
    SCOPED_TRACE(f.name);
    const std::string path = writePage(f.format, f.name);
    ASSERT_EQ(number(call(*control, LoadImageFile, {Variant(path)})), 0);
    EXPECT_EQ(get(*control, DrawWidth), 1216);  // rounded up to 32
    EXPECT_EQ(get(*control, DrawHeight), 800);
    const auto bytes = imageBytes(*control);
    if (first.empty()) first = bytes;
    EXPECT_EQ(bytes, first) << "every format gives the same working image";
    ASSERT_EQ(number(call(*control, DoLayout)), 0);
    EXPECT_GT(get(*control, RcgNum), 0);
    ASSERT_EQ(number(call(*control, DoRecognize)), 0);
    EXPECT_EQ(get(*control, RcgNum), 0) << "areas go after recognition";
  }

  // Positions of the text's characters lie inside the page, in reading order.
  const std::string text = *call(*control, GetOcrResult).text();
  const QString read = QString::fromStdString(text);
  // A clean page of printed Japanese: at most 1.5 % of its characters wrong.
  QString truth;
  for (int line = 0; line < 4; ++line) truth += QStringLiteral("日本語の文書を読み取ります。");
  QString flat = read.normalized(QString::NormalizationForm_KC);
  flat.remove(QRegularExpression(QStringLiteral("\\s")));
  const int errors = editDistance(truth.normalized(QString::NormalizationForm_KC), flat);
  EXPECT_LE(errors * 1000, truth.size() * 15) << errors << " errors in " << truth.size() << ": " << text;
  int lastTop = -1;
  for (int position = 1; position <= read.size(); ++position) {
    std::int16_t l = 0, t = 0, r = 0, b = 0;
    const Variant args[] = {Variant(static_cast<std::int16_t>(position)), Variant(&l), Variant(&t), Variant(&r),
                            Variant(&b)};
    Variant result;
    ASSERT_EQ(control->invoke(GetResultRect, DispatchKind::Method, args, &result), 0);
    if (number(result) != 0) continue;
    EXPECT_TRUE(l >= 0 && t >= 0 && r < 1216 && b < 800 && l <= r && t <= b) << position;
    EXPECT_GE(t + 5, lastTop) << "reading order";
    lastTop = t;
  }
}

TEST_F(ControlHost, RecognitionReportsEachLineAndStopsWhenTheControlIsAskedTo) {
  ocrctl::OcrControl control;
  ASSERT_EQ(control.InitOcr(dir_.path()), 0);
  ASSERT_EQ(control.LoadImageFile(writePage(IFF_PNG, "lines.png")), 0);
  std::vector<std::array<int, 4>> frames;
  std::vector<std::uint32_t> colours;
  std::vector<int> dialog;
  bool stopAtFirstLine = false;
  control.setStopDialog([&](int visible) { dialog.push_back(visible); });
  control.setRecognitionProgress([&](int l, int t, int r, int b, std::uint32_t colour) {
    frames.push_back({l, t, r, b});
    colours.push_back(colour);
    if (stopAtFirstLine) control.requestStop();
  });

  // A whole run: one frame per line, in the window's scale, in the control's frame colour.
  ASSERT_EQ(control.DoRecognize(), 0);
  EXPECT_FALSE(control.GetOcrResult().empty());
  EXPECT_GE(frames.size(), 4u) << "four lines of text";
  const int scale = control.dispScale();
  for (const auto& f : frames) {
    EXPECT_TRUE(f[0] >= 0 && f[1] >= 0 && f[0] < f[2] && f[1] < f[3] && f[2] <= 1216 / scale + 1 && f[3] <= 800 / scale + 1);
  }
  for (std::uint32_t c : colours) EXPECT_EQ(c, static_cast<std::uint32_t>(control.rcgEngColor));
  EXPECT_EQ(dialog, (std::vector<int>{1, -1}));

  // A stop asked while the first line is reported ends the run there, and
  // the control takes input again.
  frames.clear();
  dialog.clear();
  stopAtFirstLine = true;
  EXPECT_EQ(control.DoRecognize(), ocrctl::code::kStopped);
  EXPECT_EQ(frames.size(), 1u);
  EXPECT_EQ(dialog, (std::vector<int>{1, -1}));
  EXPECT_EQ(control.state(), ocrctl::State::Layout);

  // After a stop the next run reads the page again (it used to read nothing
  // and answer 0); with no stop dialog the library neither reports lines
  // nor asks to stop.
  frames.clear();
  dialog.clear();
  stopAtFirstLine = false;
  control.showCancel = -1;
  ASSERT_EQ(control.DoRecognize(), 0);
  EXPECT_TRUE(frames.empty());
  EXPECT_TRUE(dialog.empty());
  EXPECT_FALSE(control.GetOcrResult().empty());
}

TEST_F(ControlHost, TheStopWindowShowsWhileJapaneseIsReadAndItsButtonStops) {
  ocrctl::OcrDispatch dispatch;
  QWidget* window = dispatch.window();
  window->resize(400, 300);
  window->show();
  ocrctl::OcrControl& control = dispatch.control();
  ASSERT_EQ(control.InitOcr(dir_.path()), 0);
  ASSERT_EQ(control.LoadImageFile(writePage(IFF_PNG, "stop.png")), 0);
  // Left alone, the run frames each line it read on the control's window.
  ASSERT_EQ(control.DoRecognize(), 0);
  const auto* view = static_cast<ocrctl::OcrControlWindow*>(window);
  EXPECT_GE(view->lineFrames().size(), 4u);
  ASSERT_EQ(control.DoLayout(), 0);
  auto stopWindow = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QStringLiteral("stopMojiBox")) return w;
    return static_cast<QWidget*>(nullptr);
  };
  bool seen = false;
  control.setRecognitionProgress([&](int, int, int, int, std::uint32_t) {
    QWidget* box = stopWindow();
    if (seen || box == nullptr) return;
    seen = true;
    EXPECT_TRUE(box->isVisible());
    auto* label = box->findChildren<QLabel*>().value(1);
    EXPECT_TRUE(label != nullptr && label->text() == QStringLiteral("日本語認識中..."));
    box->findChild<QPushButton*>(QStringLiteral("IDOK"))->click();
  });
  EXPECT_EQ(control.DoRecognize(), ocrctl::code::kStopped);
  EXPECT_TRUE(seen);
  EXPECT_EQ(stopWindow(), nullptr);  // closed with the run
}

TEST_F(ControlHost, UnreadableFilesGiveTheirCodes) {
  auto control = create();
  ASSERT_EQ(number(call(*control, InitOcr, {Variant(dir_.path())})), 0);
  EXPECT_EQ(number(call(*control, LoadImageFile, {Variant(dir_.file("missing.tif"))})), -1102);
  testsupport::writeFile(dir_.file("text.tif"), "not an image at all");
  EXPECT_EQ(number(call(*control, LoadImageFile, {Variant(dir_.file("text.tif"))})), -1111);
  // Two pages: the control reads one page at a time.
  PIX* pix = pixCreate(64, 64, 1);
  const std::string twoPages = dir_.file("two.tif");
  pixWriteTiff(twoPages.c_str(), pix, IFF_TIFF_G4, "w");
  pixWriteTiff(twoPages.c_str(), pix, IFF_TIFF_G4, "a");
  pixDestroy(&pix);
  EXPECT_EQ(number(call(*control, LoadImageFile, {Variant(twoPages)})), -1111);
  EXPECT_EQ(number(call(*control, SetImageHandle, {Variant(std::int32_t{0})})), -132);
  EXPECT_EQ(number(call(*control, DoLayout)), -1002);
}

TEST_F(ControlHost, PropertiesKeepTheirEdgeCases) {
  auto control = create();
  put(*control, CharAttr, 63);
  EXPECT_EQ(get(*control, CharAttr), 63);
  put(*control, CharAttr, 0);
  EXPECT_EQ(get(*control, CharAttr), 63);
  put(*control, CharAttr, 9);
  EXPECT_EQ(get(*control, CharAttr), 9);
  put(*control, LetterDirection, 7);
  EXPECT_EQ(get(*control, LetterDirection), 0);
  put(*control, LetterDirection, 3);
  EXPECT_EQ(get(*control, LetterDirection), 3);
  put(*control, Form, 2);
  EXPECT_EQ(get(*control, Form), 2);
  put(*control, Form, 3);
  EXPECT_EQ(get(*control, Form), 0);
  // No active area: every edge, the top included, says so.
  EXPECT_EQ(get(*control, ActiveId), 0);
  EXPECT_EQ(get(*control, RcgLeft), -1201);
  EXPECT_EQ(get(*control, RcgTop), -1201);
  // Read-only properties ignore a set.
  put(*control, Version, 1);
  EXPECT_EQ(get(*control, Version), 8208);
  put(*control, RcgNum, 5);
  EXPECT_EQ(get(*control, RcgNum), 0);

  Variant result;
  EXPECT_EQ(control->invoke(999, DispatchKind::Method, {}, &result), platform::kDispUnknownName);
  const Variant text("x");
  EXPECT_EQ(control->invoke(Rotate, DispatchKind::Method, {&text, 1}, &result), platform::kDispTypeMismatch);
  EXPECT_EQ(control->invoke(Rotate, DispatchKind::Method, {}, &result), platform::kDispBadParamCount);
}

TEST_F(ControlHost, ImageHandleIsStableAndQuarterTurnsUndoEachOther) {
  auto control = create();
  ASSERT_EQ(number(call(*control, InitOcr, {Variant(dir_.path())})), 0);
  ASSERT_EQ(number(call(*control, LoadImageFile, {Variant(writePage(IFF_PNG, "p.png"))})), 0);
  const auto before = imageBytes(*control);
  EXPECT_EQ(imageBytes(*control), before);
  ASSERT_EQ(number(call(*control, Rotate, {Variant(std::int16_t{90})})), 0);
  EXPECT_EQ(get(*control, DrawWidth), 800);
  EXPECT_EQ(get(*control, DrawHeight), 1216);
  EXPECT_NE(imageBytes(*control), before);
  ASSERT_EQ(number(call(*control, Rotate, {Variant(std::int16_t{270})})), 0);
  EXPECT_EQ(imageBytes(*control), before);
  EXPECT_EQ(number(call(*control, Rotate, {Variant(std::int16_t{45})})), -1);
  // The handle round-trips through SetImageHandle unchanged.
  const auto handle = static_cast<platform::GlobalHandle>(number(call(*control, GetImageHandle)));
  ASSERT_EQ(number(call(*control, SetImageHandle, {Variant(handle)})), 0);
  platform::globalFree(handle);
  EXPECT_EQ(imageBytes(*control), before);
}

TEST_F(ControlHost, TwoControlsSideBySideAndOneGoes) {
  auto first = create();
  auto second = create();
  const std::string page = writePage(IFF_PNG, "p.png");
  for (auto* c : {first.get(), second.get()}) {
    ASSERT_EQ(number(call(*c, InitOcr, {Variant(dir_.path())})), 0);
    ASSERT_EQ(number(call(*c, LoadImageFile, {Variant(page)})), 0);
  }
  ASSERT_EQ(number(call(*first, DoLayout)), 0);
  ASSERT_EQ(number(call(*second, DoLayout)), 0);
  first.reset();
  // The survivor's areas, library and learning files are its own.
  EXPECT_GT(get(*second, RcgNum), 0);
  EXPECT_TRUE(testsupport::fileExists(dir_.file("nimba10lrn.lin")));
  EXPECT_EQ(number(call(*second, DoRecognize)), 0);
  ASSERT_EQ(number(call(*second, DoLayout)), 0);
  EXPECT_GT(get(*second, RcgNum), 0);
  second.reset();
  EXPECT_FALSE(testsupport::fileExists(dir_.file("nimba10lrn.lin"))) << "the last control takes them away";
}

TEST_F(ControlHost, PatternFileIsCreatedEmptyOnFirstStart) {
  auto control = create();
  ASSERT_EQ(number(call(*control, InitOcr, {Variant(dir_.path())})), 0);
  Variant name;
  ASSERT_EQ(control->invoke(UsrPatName, DispatchKind::PropertyGet, {}, &name), 0);
  EXPECT_EQ(*name.text(), dir_.file("ZeqOcr20.upt"));
  EXPECT_TRUE(testsupport::fileExists(dir_.file("ZeqOcr20.upt")));
  EXPECT_EQ(number(call(*control, LoadPatImageSection)), 0);
}

TEST_F(ControlHost, UprightPageIsNotTurned) {
  auto control = create();
  ASSERT_EQ(number(call(*control, InitOcr, {Variant(dir_.path())})), 0);
  ASSERT_EQ(number(call(*control, LoadImageFile, {Variant(writePage(IFF_PNG, "upright.png"))})), 0);
  ASSERT_EQ(number(call(*control, DoLayout)), 0);
  const auto upright = imageBytes(*control);
  const auto areas = get(*control, RcgNum);
  EXPECT_EQ(number(call(*control, Rotate, {Variant(std::int16_t{0})})), -1);
  EXPECT_EQ(imageBytes(*control), upright);
  EXPECT_EQ(get(*control, RcgNum), areas) << "nothing turned, so the areas stay";
}

// Every scan is skewed a little.  The control reads a skewed page as it
// stands (the user's image is never deskewed behind their back) as well as
// a level one, and reports areas and character positions on that image.
TEST_F(ControlHost, SkewedPagesReadAsWellAsLevelOnesOnTheUsersOwnImage) {
  ocrctl::OcrControl control;
  ASSERT_EQ(control.InitOcr(dir_.path()), 0);
  QString truth;
  for (int line = 0; line < 4; ++line) truth += QStringLiteral("日本語の文書を読み取ります。");
  truth = truth.normalized(QString::NormalizationForm_KC);
  for (const double skew : {0.5, -1.5, 3.0, -6.0}) {
    SCOPED_TRACE(skew);
    ASSERT_EQ(control.LoadImageFile(writePage(IFF_PNG, "skewed.png", skew)), 0);
    const std::vector<std::uint8_t> before = handleBytes(control.GetImageHandle());
    ASSERT_EQ(control.DoLayout(), 0);
    // The areas lie on the page as the user sees it: together they hold its ink.
    long ink = 0, covered = 0;
    for (int y = 0; y < page_.height; ++y)
      for (int x = 0; x < page_.width; ++x) {
        if (!page_.pixel(x, y)) continue;
        ++ink;
        for (short n = 1; n <= control.rcgNum(); ++n) {
          short l = 0, t = 0, r = 0, b = 0;
          ASSERT_EQ(control.GetRcgRect(n, &l, &t, &r, &b), 0);
          if (l <= x && x <= r && t <= y && y <= b) {
            ++covered;
            break;
          }
        }
      }
    EXPECT_GE(covered * 100, ink * 99) << covered << " of " << ink << " ink pixels inside the areas";
    ASSERT_EQ(control.DoRecognize(), 0);
    EXPECT_EQ(handleBytes(control.GetImageHandle()), before) << "the user's image stays as it was";
    const QString read = QString::fromStdString(control.GetOcrResult());
    QString flat = read.normalized(QString::NormalizationForm_KC);
    flat.remove(QRegularExpression(QStringLiteral("\\s")));
    const int errors = editDistance(truth, flat);
    EXPECT_LE(errors * 1000, truth.size() * 15) << errors << " errors: " << read.toStdString();
    // Each character's rectangle sits on its ink in the user's image.
    int onInk = 0, rects = 0;
    for (int position = 1; position <= read.size(); ++position) {
      short l = 0, t = 0, r = 0, b = 0;
      if (control.GetResultRect(static_cast<short>(position), &l, &t, &r, &b) != 0 || r - l < 8) continue;
      ++rects;
      bool hit = false;
      for (int y = std::max<int>(t, 0); y <= b && y < page_.height && !hit; ++y)
        for (int x = std::max<int>(l, 0); x <= r && x < page_.width && !hit; ++x) hit = page_.pixel(x, y);
      onInk += hit ? 1 : 0;
    }
    EXPECT_GE(rects, 40);
    EXPECT_EQ(onInk, rects);
  }
}

// Rotate(0) answers the turn that puts the page upright, or no turn when it
// cannot tell: a wrong quarter turn would put the user's page on its side.
TEST_F(ControlHost, TheWayUpIsFoundOrLeftAloneButNeverGuessed) {
  ocrctl::OcrControl control;
  ASSERT_EQ(control.InitOcr(dir_.path()), 0);
  const struct {
    const char* name;
    bool english;
    double skew;
    int quarterTurns;  // clockwise, as scanned
    int expected;      // the answer, or -1 for no turn
  } cases[] = {
      {"upright, skewed -3", false, -3.0, 0, -1},
      {"upright, skewed 0.5", false, 0.5, 0, -1},
      {"turned a quarter", false, 0, 1, 90},
      {"upside down, skewed 1.5", false, 1.5, 2, 180},
      {"turned three quarters", false, 0, 3, 270},
      {"English upright", true, 0, 0, -1},
      {"English upside down", true, 0, 2, 180},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(control.LoadImageFile(writeProsePage("wayup.png", c.english, c.skew, c.quarterTurns)), 0);
    EXPECT_EQ(control.Rotate(0), c.expected);
  }
}

TEST_F(ControlHost, EveryColumnOfAVerticalPageIsReadWholeAndInItsPlace) {
  // Pages on which the model, left to find the lines of a column itself,
  // once cut a column into pieces and gave them back to front.
  const struct {
    int variant;
    QString family;
  } pages[] = {{0, QStringLiteral("Noto Sans CJK JP")}, {1, QStringLiteral("Noto Serif CJK JP")}};
  auto control = create();
  ASSERT_NE(control, nullptr);
  QWidget host;
  control->window()->setParent(&host);
  ASSERT_EQ(number(call(*control, InitOcr, {Variant(dir_.path())})), 0);
  for (const auto& p : pages) {
    SCOPED_TRACE(p.family.toStdString());
    const int mm = 300 * 4 / 100;
    testpages::PageBuilder builder(150 * mm, 150 * mm, 300);
    testpages::addVerticalTablePage(builder, mm, 150, p.variant, p.family);
    const testpages::RenderedPage page = builder.render();
    ASSERT_EQ(number(call(*control, LoadImageFile, {Variant(writeRendered(page, "vertical.png"))})), 0);
    ASSERT_EQ(number(call(*control, DoLayout)), 0);
    ASSERT_EQ(number(call(*control, DoRecognize)), 0);
    const QString read = flattened(QString::fromStdString(*call(*control, GetOcrResult).text()));

    // The passages' columns, in their order: each found with at most two
    // characters misread, after the one before.
    int from = 0;
    for (const auto& block : page.blocks) {
      if (block.lines.size() < 2) continue;  // headings and table cells
      for (const auto& line : block.lines) {
        QString column;
        for (const auto& g : line.glyphs) column += g.ch;
        const int end = firstMatchFrom(read, flattened(column), from, 2);
        EXPECT_GE(end, 0) << column.toStdString() << " in " << read.toStdString();
        if (end >= 0) from = end;
      }
    }
  }
}
