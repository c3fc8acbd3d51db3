// skew_eval: skew estimation, skew correction codes, writing direction and
// paper direction on rendered pages, beside Leptonica's pixFindSkew and
// Tesseract's orientation detection on the same pages in the same run.
//
// Pages: five kinds (Japanese horizontal, Japanese vertical, mixed Japanese
// and English with a vertical side column, a ruled form, English), A4 at
// 300 dpi, drawn by the layout tests' page renderer and then turned with
// Leptonica (area-mapped grey rotation about the centre, white brought in),
// clean or degraded (blur, grey noise, a threshold that thickens strokes,
// specks), and binarised.
//   skew set:  every kind at 0, ±0.3, ±0.5, ±1, ±2, ±3, ±5.2, ±7.5, ±9.5
//              degrees, clean and degraded
//   turn set:  every kind turned 0, 1, 2, 3 quarter turns clockwise, level
//              and skewed by ±0.5, ±1.5, ±3, ±6 degrees (clean), and
//              degraded with 1 degree of skew
//
// Reported, per kind and per skew size:
//   |err|       mean and worst absolute error of the estimate (degrees);
//               ours is estimate_skew as AutoRotate calls it (writing
//               direction voted; forms as table regions, contours first),
//               Leptonica's is pixFindSkew (its sweep covers ±7 degrees)
//   codes       share of pages whose correction code is the right one
//               (1 under 0.4, 2 from 0.4 to 9, 4 beyond 9 degrees), and
//               after the correction, share whose re-estimate gives 1
//   dir         writing direction vote right
//   ms          per page: ours skew + direction vote, Leptonica
// and for the way up (ours as AutoRotatePaper answers it, Tesseract OSD)
// the pages answered right, abstained (no turn) and wrong, per kind, and
// the time per page.
//
//   skew_eval [--quick] [--no-paper] [--kind NAME] [--skews a,b,...]
//     --quick: fewer skews, the turn set clean only; --no-paper: no turn
//     set; --kind, --skews: one kind, chosen skews (for looking into a case)
#include "bench/page_pix.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/skew_correction.h"
#include "layout/skew_estimate.h"
#include "layout/skew_paper_direction.h"
#include "layout/skew_writing_direction.h"
#include "layout/vulay30.h"
#include "tests/layout/test_pages.h"

#include <QGuiApplication>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/publictypes.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;
using Clock = std::chrono::steady_clock;

const QString kSerif = QStringLiteral("Noto Serif CJK JP");
const QString kLatinSerif = QStringLiteral("DejaVu Serif");
const QString kLatinSans = QStringLiteral("DejaVu Sans");

const QString kJapanese[] = {
    QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。段落の文字の大きさを測ります。"),
    QStringLiteral("春はあけぼの。やうやう白くなりゆく山ぎは、少しあかりて、紫だちたる雲の細くたなびきたる。"),
    QStringLiteral("会議の議事録は三日以内に提出してください。添付資料の番号と日付を確認のうえ保存します。"),
};
const QString kEnglish[] = {
    QStringLiteral("Layout analysis finds the blocks, lines and characters of a scanned page before recognition. "),
    QStringLiteral("The quick brown fox jumps over the lazy dog while the committee reviews its budget for 2024. "),
};

struct PageKind {
  std::string name;
  bool vertical;   // writing direction of the page's body
  bool form;       // analysed as a table region (contour method first)
  std::function<void(PageBuilder&, int mm)> draw;
};

std::vector<PageKind> kinds() {
  return {
      {"horizontal", false, false,
       [](PageBuilder& b, int mm) { b.addText({20 * mm, 20 * mm}, kJapanese[0], 10.5, 36, 30); }},
      {"vertical", true, false,
       [](PageBuilder& b, int mm) { b.addText({185 * mm, 20 * mm}, kJapanese[1], 10.5, 40, 25, true, 1.6, kSerif); }},
      {"mixed", false, false,
       [](PageBuilder& b, int mm) {
         b.addText({20 * mm, 20 * mm}, kJapanese[2], 16, 14, 1);
         b.addText({20 * mm, 35 * mm}, kJapanese[0], 10.5, 30, 14);
         b.addText({20 * mm, 120 * mm}, kEnglish[0], 10, 60, 12, false, 1.4, kLatinSerif);
         b.addText({185 * mm, 40 * mm}, kJapanese[1], 10.5, 20, 3, true);
       }},
      {"form", false, true,
       [](PageBuilder& b, int mm) {
         const int left = 20 * mm, top = 40 * mm, w = 170 * mm, rowH = 12 * mm, rows = 14;
         b.addText({20 * mm, 20 * mm}, kJapanese[2], 14, 10, 1);
         for (int r = 0; r <= rows; ++r) b.addRule(QRect(left, top + r * rowH, w + 3, 3), true);
         for (int x : {0, 45, 120, 170}) b.addRule(QRect(left + x * mm, top, 3, rows * rowH + 3), false);
         for (int r = 0; r < rows; ++r) {
           b.addText({left + 3 * mm, top + r * rowH + 3 * mm}, kJapanese[r % 3].mid(r, 8), 10.5, 8, 1);
           b.addText({left + 48 * mm, top + r * rowH + 3 * mm}, kJapanese[(r + 1) % 3].mid(r, 12), 10.5, 12, 1);
           b.addText({left + 124 * mm, top + r * rowH + 3 * mm}, QString::number(1000 + r * 37), 10.5, 4, 1);
         }
       }},
      {"english", false, false,
       [](PageBuilder& b, int mm) { b.addText({20 * mm, 20 * mm}, kEnglish[1], 10, 80, 35, false, 1.4, kLatinSans); }},
  };
}

// ------------------------------------------------------------- images

Pix* greyFromPage(const RenderedPage& page) {
  Pix* bin = PixOfPage(page);
  Pix* grey = pixConvert1To8(nullptr, bin, 255, 0);
  pixDestroy(&bin);
  return grey;
}

// Turns (clockwise, degrees) and degrades a grey page, then binarises it.
Pix* scan(Pix* grey, double degrees, int quarterTurns, bool degraded, unsigned seed) {
  Pix* turned = degrees == 0 ? pixClone(grey)
                             : pixRotate(grey, static_cast<float>(degrees * M_PI / 180.0), L_ROTATE_AREA_MAP,
                                         L_BRING_IN_WHITE, 0, 0);
  Pix* work = turned;
  if (degraded) {
    Pix* blurred = pixBlockconvGray(work, nullptr, 1, 1);
    pixDestroy(&work);
    work = blurred;
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 22.0);
    const int w = pixGetWidth(work), h = pixGetHeight(work);
    l_uint32* data = pixGetData(work);
    const int wpl = pixGetWpl(work);
    for (int y = 0; y < h; ++y) {
      l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
      for (int x = 0; x < w; ++x) {
        const int n = std::clamp(static_cast<int>(std::lround(GET_DATA_BYTE(line, x) + noise(rng))), 0, 255);
        SET_DATA_BYTE(line, x, n);
      }
    }
    std::uniform_int_distribution<int> px(0, w - 4), py(0, h - 4), size(1, 3);
    for (int i = 0; i < 3000; ++i) {
      const int s = size(rng);
      pixRasterop(work, px(rng), py(rng), s, s, PIX_CLR, nullptr, 0, 0);
    }
  }
  Pix* binary = pixThresholdToBinary(work, degraded ? 150 : 128);
  pixDestroy(&work);
  if (quarterTurns % 4 != 0) {
    Pix* q = pixRotateOrth(binary, quarterTurns % 4);
    pixDestroy(&binary);
    binary = q;
  }
  pixSetResolution(binary, 300, 300);
  return binary;
}

// The library's image of a 1-bit Pix (rows padded to 16 bits).
struct LibraryImage {
  std::vector<std::uint8_t> bits;
  ImageDesc desc;
};

LibraryImage libraryImage(Pix* pix, int dpi) {
  LibraryImage image;
  const int w = pixGetWidth(pix), h = pixGetHeight(pix);
  const int bytesPerRow = paddedRowBytes(w);
  image.bits.assign(static_cast<std::size_t>(bytesPerRow) * h, 0);
  Pix* copy = pixCopy(nullptr, pix);
  pixEndianByteSwap(copy);
  const auto* src = reinterpret_cast<const std::uint8_t*>(pixGetData(copy));
  const int wpl = pixGetWpl(copy);
  for (int y = 0; y < h; ++y)
    std::memcpy(image.bits.data() + static_cast<std::size_t>(y) * bytesPerRow, src + static_cast<std::size_t>(y) * wpl * 4,
                static_cast<std::size_t>(std::min(bytesPerRow, wpl * 4)));
  pixDestroy(&copy);
  // Clear the padding bits beyond the width.
  if (w % 8 != 0)
    for (int y = 0; y < h; ++y) image.bits[static_cast<std::size_t>(y) * bytesPerRow + w / 8] &= static_cast<std::uint8_t>(0xFF << (8 - w % 8));
  image.desc = ImageDesc{image.bits.data(), static_cast<std::uint16_t>(bytesPerRow), static_cast<std::uint16_t>(h),
                         static_cast<std::uint16_t>(dpi)};
  return image;
}

double ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

// ------------------------------------------------------------- tallies

struct ErrorTally {
  int n = 0;
  int failed = 0;  // no estimate
  double sum = 0;
  double worst = 0;
  void add(bool found, double err) {
    ++n;
    if (!found) {
      ++failed;
      return;
    }
    sum += err;
    worst = std::max(worst, err);
  }
  void add(const ErrorTally& o) {
    n += o.n;
    failed += o.failed;
    sum += o.sum;
    worst = std::max(worst, o.worst);
  }
  double mean() const { return n - failed > 0 ? sum / (n - failed) : 0; }
};

struct Row {
  ErrorTally ours, lept;
  int codeRight = 0, codes = 0, settled = 0, rotated = 0;
  int dirRight = 0, dirs = 0;
  double msOurs = 0, msLept = 0;
  std::map<short, int> codeCounts;
  void add(const Row& o) {
    ours.add(o.ours);
    lept.add(o.lept);
    codeRight += o.codeRight;
    codes += o.codes;
    settled += o.settled;
    rotated += o.rotated;
    dirRight += o.dirRight;
    dirs += o.dirs;
    msOurs += o.msOurs;
    msLept += o.msLept;
    for (auto [c, k] : o.codeCounts) codeCounts[c] += k;
  }
};

void printHeader() {
  std::printf("%-22s %4s | %-27s | %-27s | %-6s %-7s | %-6s | %-13s | %s\n", "pages", "n", "ours |err| mean worst fail",
              "lept |err| mean worst fail", "code", "settled", "dir", "ms ours lept", "codes seen");
}

void printRow(const std::string& name, const Row& r) {
  auto pct = [](int a, int b) { return b == 0 ? 0.0 : 100.0 * a / b; };
  std::string seen;
  for (auto [c, k] : r.codeCounts) seen += std::to_string(c) + ":" + std::to_string(k) + " ";
  std::printf("%-22s %4d | %8.3f %8.3f %4d      | %8.3f %8.3f %4d      | %5.1f%% %6.1f%% | %5.1f%% | %6.1f %6.1f | %s\n",
              name.c_str(), r.ours.n, r.ours.mean(), r.ours.worst, r.ours.failed, r.lept.mean(), r.lept.worst,
              r.lept.failed, pct(r.codeRight, r.codes), pct(r.settled, r.rotated), pct(r.dirRight, r.dirs),
              r.msOurs / std::max(1, r.ours.n), r.msLept / std::max(1, r.lept.n), seen.c_str());
}

short expectedCode(double degrees) {
  const double a = std::fabs(degrees);
  if (a < layout::kLeastSkewDegrees) return layout::kSkewTooSmall;
  if (a > layout::kMostSkewDegrees) return layout::kSkewTooLarge;
  return layout::kSkewRotated;
}

class TesseractOsd {
 public:
  bool start() {
    const char* folder = std::getenv("TESSDATA_PREFIX");
    const std::string data = folder != nullptr ? std::string(folder) : "/usr/share/tesseract-ocr/5/tessdata";
    if (api_.Init(data.c_str(), "osd", tesseract::OEM_TESSERACT_ONLY) != 0) return false;
    api_.SetPageSegMode(tesseract::PSM_OSD_ONLY);
    return true;
  }
  ~TesseractOsd() { api_.End(); }
  // Clockwise turn of the page in degrees, or -1.
  int orientation(Pix* pix) {
    api_.SetImage(pix);
    api_.SetSourceResolution(300);
    int degrees = -1;
    float confidence = 0, scriptConfidence = 0;
    const char* script = nullptr;
    if (!api_.DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence)) degrees = -1;
    api_.Clear();
    return degrees;
  }

 private:
  tesseract::TessBaseAPI api_;
};


// The way up as the control's Rotate(0) asks it (AutoRotatePaper) beside
// Tesseract's orientation detection: every answer is right (the turn that
// puts the page upright), abstained (no turn: 0, or no answer) or wrong.
// Pages: each kind upright and turned 90, 180 and 270 degrees, level and
// skewed by ±0.5, ±1.5, ±3 and ±6 degrees (the turn set), clean, and
// degraded with one degree of skew.
struct WayUpTally {
  int right = 0, abstained = 0, wrong = 0;
  void add(int answer, int expected) {
    if (answer == expected) ++right;
    else if (answer <= 0) ++abstained;
    else ++wrong;
  }
  int pages() const { return right + abstained + wrong; }
};

class WayUpSet {
 public:
  void addKind(const PageKind& kind, Pix* grey, bool quick, TesseractOsd& osd, unsigned& seed) {
    std::vector<double> skews = {0, 0.5, -0.5, 1.5, -1.5, 3, -3, 6, -6};
    if (quick) skews = {0, -0.5, 1.5, -3, 6};
    struct Case {
      double skew;
      bool degraded;
    };
    std::vector<Case> cases;
    for (const double skew : skews) cases.push_back({skew, false});
    if (!quick) cases.push_back({1.0, true});
    for (const Case& c : cases) {
      for (int turns = 0; turns < 4; ++turns) {
        Pix* pix = scan(grey, c.skew, turns, c.degraded, seed++);
        LibraryImage image = libraryImage(pix, 300);
        const int expected = turns * 90;
        auto start = Clock::now();
        const short ours = AutoRotatePaper(image.desc.bits, static_cast<short>(pixGetWidth(pix)),
                                           static_cast<std::uint16_t>(pixGetHeight(pix)), 300);
        msOurs_ += ms(start);
        start = Clock::now();
        const int tess = osd.orientation(pix);
        msTess_ += ms(start);
        const int answer = ours == 90 || ours == 180 || ours == 270 ? ours : 0;
        auto& row = rows_[kind.name + (turns == 0 ? " upright" : " turned")];
        row.first.add(answer, expected);
        row.second.add(tess, expected);
        (turns == 0 ? upright_ : turned_).first.add(answer, expected);
        (turns == 0 ? upright_ : turned_).second.add(tess, expected);
        if (answer != expected)
          std::printf("  way-up miss: %s %s %.1f turned %d -> ours %d, osd %d\n", kind.name.c_str(),
                      c.degraded ? "degraded" : "clean", c.skew, expected, ours, tess);
        pixDestroy(&pix);
      }
    }
  }
  void print() const {
    std::printf("\nway up (AutoRotatePaper | Tesseract OSD): right abstained wrong\n");
    auto line = [](const std::string& name, const std::pair<WayUpTally, WayUpTally>& r) {
      std::printf("  %-20s %4d | ours %4d %4d %4d | osd %4d %4d %4d\n", name.c_str(), r.first.pages(), r.first.right,
                  r.first.abstained, r.first.wrong, r.second.right, r.second.abstained, r.second.wrong);
    };
    for (const auto& [name, r] : rows_) line(name, r);
    line("all upright", upright_);
    line("all turned", turned_);
    const int pages = upright_.first.pages() + turned_.first.pages();
    std::printf("  ours: wrong turns %d of %d pages; turned pages found %.1f%%; %.1f ms/page (osd %.1f ms/page)\n",
                upright_.first.wrong + turned_.first.wrong, pages,
                100.0 * turned_.first.right / std::max(1, turned_.first.pages()), msOurs_ / std::max(1, pages),
                msTess_ / std::max(1, pages));
  }

 private:
  std::map<std::string, std::pair<WayUpTally, WayUpTally>> rows_;
  std::pair<WayUpTally, WayUpTally> upright_, turned_;
  double msOurs_ = 0, msTess_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("OMP_THREAD_LIMIT", "1", 0);
  QGuiApplication app(argc, argv);
  bool quick = false;
  bool paper = true;
  std::string onlyKind;
  std::vector<double> skews = {0, 0.3, -0.3, 0.5, -0.5, 1, -1, 2, -2, 3, -3, 5.2, -5.2, 7.5, -7.5, 9.5, -9.5};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      quick = true;
      skews = {0, 0.3, -1, 2, -5.2, 7.5, -9.5};
    } else if (arg == "--no-paper") {
      paper = false;
    } else if (arg == "--kind" && i + 1 < argc) {
      onlyKind = argv[++i];
    } else if (arg == "--skews" && i + 1 < argc) {
      skews.clear();
      for (const QString& v : QString::fromUtf8(argv[++i]).split(QLatin1Char(','))) skews.push_back(v.toDouble());
    } else {
      std::fprintf(stderr, "usage: skew_eval [--quick] [--no-paper] [--kind NAME] [--skews a,b,...]\n");
      return 2;
    }
  }

  TesseractOsd osd;
  if (!osd.start()) {
    std::fprintf(stderr, "skew_eval: Tesseract (osd) could not be started\n");
    return 2;
  }
  // The Japanese engine reads the paper-direction samples.
  if (InitLayout("/nowhere", "/nowhere", 1) != 1) {
    std::fprintf(stderr, "skew_eval: the Japanese engine could not be started\n");
    return 2;
  }
  constexpr int kDpi = 300;
  const int mm = kDpi * 4 / 100;

  std::map<std::string, Row> byKind, bySize;
  Row all;
  Row within5;  // |θ| <= 5.2, inside Leptonica's sweep
  WayUpSet wayUp;
  int pages = 0;
  unsigned seed = 1;

  for (const PageKind& kind : kinds()) {
    if (!onlyKind.empty() && kind.name != onlyKind) continue;
    PageBuilder builder(210 * mm, 297 * mm, kDpi);
    kind.draw(builder, mm);
    const RenderedPage rendered = builder.render();
    Pix* grey = greyFromPage(rendered);
    Row kindRow;
    for (const bool degraded : {false, true}) {
      for (const double skew : skews) {
        Pix* pix = scan(grey, skew, 0, degraded, seed++);
        LibraryImage image = libraryImage(pix, kDpi);
        ++pages;
        Row r;
        // Ours: the estimate as AutoRotate makes it.
        const short hint = kind.form ? -1 : 1;
        auto start = Clock::now();
        double angle = 0;
        const short status = estimate_skew(&image.desc, 1, &angle, hint, 3);
        short direction = 0;
        vote_writing_direction(&image.desc, &direction);
        r.msOurs += ms(start);
        r.ours.add(status == 1, std::fabs(angle - skew));
        r.dirs = 1;
        r.dirRight = (direction == 1) == kind.vertical;
        if (status != 1 || std::fabs(angle - skew) > 0.3 || !r.dirRight)
          std::printf("  skew miss: %s %s %.1f -> status %d angle %.3f, direction %d\n", kind.name.c_str(),
                      degraded ? "degraded" : "clean", skew, status, angle, direction);
        // The correction and a second look.
        double applied = 0;
        const short code = auto_rotate_page_work(&image.desc, hint, 3, 0, &applied);
        r.codes = 1;
        r.codeRight = code == expectedCode(skew);
        r.codeCounts[code] = 1;
        if (code == layout::kSkewRotated) {
          r.rotated = 1;
          r.settled = auto_rotate_page_work(&image.desc, hint, 3, 0, nullptr) == layout::kSkewTooSmall;
        }
        // Leptonica on the same page.
        start = Clock::now();
        float leptAngle = 0, confidence = 0;
        const bool leptFound = pixFindSkew(pix, &leptAngle, &confidence) == 0;
        r.msLept += ms(start);
        // pixFindSkew answers the rotation that deskews: the negative of ours.
        r.lept.add(leptFound, std::fabs(-leptAngle - skew));
        pixDestroy(&pix);

        kindRow.add(r);
        char size[32];
        std::snprintf(size, sizeof size, "|θ| %.1f %s", std::fabs(skew), degraded ? "degraded" : "clean");
        bySize[size].add(r);
        if (std::fabs(skew) <= 5.2) within5.add(r);
      }
    }
    byKind[kind.name] = kindRow;
    all.add(kindRow);

    if (paper) wayUp.addKind(kind, grey, quick, osd, seed);
    pixDestroy(&grey);
  }

  std::printf("skew_eval: %d pages (A4, 300 dpi)\n\n", pages);
  printHeader();
  for (const auto& [name, row] : byKind) printRow(name, row);
  std::printf("\n");
  for (const auto& [name, row] : bySize) printRow(name, row);
  std::printf("\n");
  printRow("|θ| <= 5.2", within5);
  printRow("all", all);
  if (paper) wayUp.print();
  CloseAlloc();
  return 0;
}
