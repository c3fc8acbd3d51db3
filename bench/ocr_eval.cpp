// ocr_eval: the text of GetLayout + GetRecg on rendered pages against the
// renderer's truth, beside the line reading alone and Tesseract's own page
// reading of the same pages.
//
// Page kinds: horizontal Japanese in one and in two columns, Japanese with
// katakana long vowel marks at 200 dpi, a ruled form with a table of labels
// and numbers, English, a degraded page (pixel noise and dust specks),
// vertical Japanese (one and two tiers, headings, small kana, brackets and
// long vowel marks in their vertical forms, 9 to 12 points) and mixed pages
// (a horizontal title and captions over a vertical body in tiers, a
// figure).  Vertical and mixed pages are analysed with their writing
// direction given (mixed: vertical with the per-field pass) and read by
// Tesseract with jpn_vert. Then forms (labels beside their values, two pairs
// a row, a ruled summary table with one-digit quantities), English in two
// columns and a sans serif letter, and horizontal and vertical Japanese in
// each further font family of eval_fonts.h.
// For each kind it reports the character error rate (NFKC, whitespace
// removed, reading order; Levenshtein distance over the truth's length) of
//   ours   GetRecg's text (cells, lattice, blanks, English fields through the
//          English engine)
//   line   the same GetLayout lines read whole, one by one, the way the
//          engine's line-context mode reads them (the line cut with a white
//          border, enlarged to about 36 pixels high, Tesseract jpn, or eng
//          for Latin fields, single-line mode): the line reading without
//          the cell decisions
//   tess   Tesseract on the whole page as a user would run it (jpn, eng
//          for English pages, jpn_vert for vertical and mixed pages,
//          automatic page segmentation)
// (and the same without the order: characters missing or extra as
// multisets, which separates reading errors from a different reading order
// of table cells), and the CPU seconds per page of ours (GetLayout + GetRecg),
// of the line reading alone and of Tesseract's page reading, with the ratio
// ours/tess. At the end: InitLayout's CPU (the models load at their first
// reading, on the first page that needs them) beside the loading of
// Tesseract's models, the ratio over all pages with loading included, and
// the median and slowest page of ours.
//
// Scanned pages (Japanese, English and vertical Japanese prose, and a ruled
// form of labels and numbers) go the program's own road: GetLines,
// GetLayout and GetRecg with the OCR control's default settings, on pages
// skewed by 0, ±0.5, ±1.5, ±3 and ±6 degrees (turned with Leptonica, grey
// area mapping, then thresholded), and on pages turned 90, 180 and 270
// degrees that first go through the control's way-up turn (AutoRotatePaper,
// then the quarter turn it answers).  Tesseract reads the same skewed or turned pages as they are
// (for turned pages after its own orientation detection).
//
//   ocr_eval [--quick] [--only NAME] [-v] [--no-scans | --scans-only]
//     --quick: one page per kind; --only: kinds whose name holds NAME;
//     -v: the texts (OCR_EVAL_FIELDS=1 also lists the fields of GetLayout, =2 their lines)
#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "layout/vulay30.h"
#include "recognition/cell_image.h"
#include "recognition/character_codes.h"
#include "recognition/tesseract_reader.h"
#include "tests/recognition/line_driver.h"
#include "bench/eval_fonts.h"
#include "bench/page_pix.h"
#include "tests/support/page_renderer.h"
#include "tests/support/vertical_table_page.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;

const QString kSerif = QStringLiteral("Noto Serif CJK JP");
const QString kLatinSerif = QStringLiteral("DejaVu Serif");
const QString kJapanese[] = {
    QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。段落の文字の大きさを測ります。"),
    QStringLiteral("会議の議事録は三日以内に提出してください。添付資料の番号と日付を確認のうえ保存します。"),
    QStringLiteral("春はあけぼの。やうやう白くなりゆく山ぎは、少しあかりて、紫だちたる雲の細くたなびきたる。"),
};
const QString kKatakana = QStringLiteral("コンピューターのデータをサーバーへコピーして、メールでユーザーに送ります。");
const QString kEnglish[] = {
    QStringLiteral("Layout analysis finds the blocks, lines and characters of a scanned page before recognition. "),
    QStringLiteral("The quick brown fox jumps over the lazy dog while the committee reviews its budget for 2024. "),
};
const QString kLabels[] = {QStringLiteral("請求金額"), QStringLiteral("支払期日"), QStringLiteral("担当部署"),
                           QStringLiteral("登録番号")};

enum class Writing { Automatic, Vertical, Mixed };

struct PageKind {
  std::string name;
  bool english;
  int dpi;
  std::function<void(PageBuilder&, int mm, int variant)> draw;
  bool degraded = false;
  Writing writing = Writing::Automatic;
  int widthMm = 180, heightMm = 90;
};

const QString kVerticalForms =
    QStringLiteral("「ちょっと待って」と言った。コーヒーを一杯、ゆっくり飲みましょう。（三十分ほど）ジャーナルの締め切りは来週です。");

PageKind verticalKind(std::string name, std::function<void(PageBuilder&, int mm, int variant)> draw,
                      Writing writing = Writing::Vertical) {
  PageKind k{std::move(name), false, 300, std::move(draw)};
  k.writing = writing;
  k.widthMm = 150;
  k.heightMm = 150;
  return k;
}

std::vector<PageKind> baseKinds() {
  return {
      {"jp-h one column", false, 300,
       [](PageBuilder& b, int mm, int v) { b.addText({10 * mm, 10 * mm}, kJapanese[v % 3], 10.5, 30, 6); }},
      {"jp-h two columns", false, 300,
       [](PageBuilder& b, int mm, int v) {
         b.addText({10 * mm, 10 * mm}, kJapanese[v % 3], 10.5, 15, 6);
         b.addText({95 * mm, 10 * mm}, kJapanese[(v + 1) % 3], 10.5, 15, 6);
       }},
      {"jp-h long vowels 200dpi", false, 200,
       [](PageBuilder& b, int mm, int v) { b.addText({10 * mm, 10 * mm}, kKatakana, 10.5 + v, 28, 5, false, 1.6, kSerif); }},
      {"form with table", false, 300,
       [](PageBuilder& b, int mm, int v) {
         const int left = 10 * mm, top = 10 * mm, w = 150 * mm, rowH = 12 * mm, rows = 4, split = 60 * mm;
         for (int r = 0; r <= rows; ++r) b.addRule(QRect(left, top + r * rowH, w + 2, 2), true);
         for (const int x : {left, left + split, left + w}) b.addRule(QRect(x, top, 2, rows * rowH + 2), false);
         for (int r = 0; r < rows; ++r) {
           b.addText({left + 3 * mm, top + r * rowH + 3 * mm}, kLabels[(r + v) % 4], 10.5, 4, 1);
           b.addText({left + split + 3 * mm, top + r * rowH + 3 * mm}, QString::number(1000 + 137 * (r + 1) * (v + 1)),
                     10.5, 4, 1);
         }
       }},
      {"english", true, 300,
       [](PageBuilder& b, int mm, int v) {
         b.addText({10 * mm, 10 * mm}, kEnglish[v % 2], 10, 60, 6, false, 1.4, kLatinSerif);
       }},
      {"degraded jp-h", false, 300,
       [](PageBuilder& b, int mm, int v) { b.addText({10 * mm, 10 * mm}, kJapanese[(v + 2) % 3], 10.5, 30, 6); },
       true},
      // Vertical pages: 7 kinds of 3 pages.
      verticalKind("jp-v one tier",
                   [](PageBuilder& b, int mm, int v) {
                     b.addVerticalTiers({140 * mm, 10 * mm}, kJapanese[v % 3], 10.5, 30, 12, 1, 0);
                   }),
      verticalKind("jp-v 12pt serif",
                   [](PageBuilder& b, int mm, int v) {
                     b.addVerticalTiers({140 * mm, 10 * mm}, kJapanese[(v + 1) % 3], 12, 26, 10, 1, 0, 1.6, kSerif);
                   }),
      verticalKind("jp-v 9pt",
                   [](PageBuilder& b, int mm, int v) {
                     b.addVerticalTiers({140 * mm, 10 * mm}, kJapanese[(v + 2) % 3], 9, 34, 14, 1, 0);
                   }),
      verticalKind("jp-v two tiers",
                   [](PageBuilder& b, int mm, int v) {
                     b.addVerticalTiers({140 * mm, 10 * mm}, kJapanese[v % 3], 10.5, 14, 12, 2, 10 * mm);
                   }),
      verticalKind("jp-v heading, one tier",
                   [](PageBuilder& b, int mm, int v) {
                     b.addHeading({133 * mm, 10 * mm}, QStringLiteral("縦書き見出しの例"), 16, true);
                     b.addVerticalTiers({126 * mm, 10 * mm}, kJapanese[(v + 1) % 3], 10.5, 30, 10, 1, 0);
                   }),
      verticalKind("jp-v heading, two tiers",
                   [](PageBuilder& b, int mm, int v) {
                     b.addHeading({133 * mm, 10 * mm}, QStringLiteral("段組みの見出し"), 16, true);
                     b.addVerticalTiers({126 * mm, 10 * mm}, kJapanese[(v + 2) % 3], 10.5, 14, 10, 2, 10 * mm);
                   }),
      verticalKind("jp-v kana, brackets, marks",
                   [](PageBuilder& b, int mm, int v) {
                     b.addVerticalTiers({140 * mm, 10 * mm}, kVerticalForms, 10.5 + v, 28, 10, 1, 0);
                   }),
      // Mixed pages: 4 kinds of 3 pages; the truth reads title, body, caption.
      verticalKind("mixed: title, body, figure, caption",
                   [](PageBuilder& b, int mm, int v) {
                     b.addHeading({10 * mm, 8 * mm}, QStringLiteral("横書きの表題と縦書きの本文"), 14, false);
                     b.addVerticalTiers({140 * mm, 22 * mm}, kJapanese[v % 3], 10.5, 16, 9, 1, 0);
                     b.addFigure(QRect(10 * mm, 95 * mm, 60 * mm, 35 * mm), testpages::FigureKind::Photo);
                     b.addText({10 * mm, 134 * mm}, QStringLiteral("図１　写真の説明文です"), 9, 11, 1);
                   },
                   Writing::Mixed),
      verticalKind("mixed: title, two tiers",
                   [](PageBuilder& b, int mm, int v) {
                     b.addHeading({10 * mm, 8 * mm}, QStringLiteral("横書きの表題"), 14, false);
                     b.addVerticalTiers({140 * mm, 22 * mm}, kJapanese[(v + 1) % 3], 10.5, 14, 16, 2, 10 * mm);
                   },
                   Writing::Mixed),
      verticalKind("mixed: title, tiers, caption",
                   [](PageBuilder& b, int mm, int v) {
                     b.addHeading({10 * mm, 8 * mm}, QStringLiteral("表題と二段の本文"), 14, false);
                     b.addVerticalTiers({140 * mm, 22 * mm}, kJapanese[(v + 2) % 3], 10.5, 13, 16, 2, 8 * mm);
                     b.addText({10 * mm, 138 * mm}, QStringLiteral("注：本文は縦書き、注記は横書きです"), 9, 17, 1);
                   },
                   Writing::Mixed),
      verticalKind("mixed: title, body, English note",
                   [](PageBuilder& b, int mm, int v) {
                     b.addHeading({10 * mm, 8 * mm}, QStringLiteral("縦書き本文の頁"), 14, false);
                     b.addVerticalTiers({140 * mm, 22 * mm}, kJapanese[v % 3], 10.5, 24, 16, 1, 0);
                     b.addText({10 * mm, 136 * mm}, kEnglish[v % 2], 9, 60, 1, false, 1.4, kLatinSerif);
                   },
                   Writing::Mixed),
  };
}

// Forms as offices fill them: labels with their values beside them, unruled
// and in two pairs a row, and a ruled summary table with a header, single
// digit quantities and a total. The truth reads row by row, cell by cell,
// each label before its value.
const QString kPairLabels[] = {QStringLiteral("氏名"), QStringLiteral("住所"), QStringLiteral("電話番号"),
                               QStringLiteral("申込日"), QStringLiteral("会員番号")};
const QString kPairValues[][5] = {
    {QStringLiteral("山田太郎"), QStringLiteral("東京都千代田区一番町"), QStringLiteral("03-1234-5678"),
     QStringLiteral("2024年4月1日"), QStringLiteral("A-20931")},
    {QStringLiteral("佐藤花子"), QStringLiteral("大阪府大阪市北区梅田"), QStringLiteral("06-9876-5432"),
     QStringLiteral("2023年12月24日"), QStringLiteral("B-11408")},
    {QStringLiteral("鈴木一郎"), QStringLiteral("福岡県福岡市中央区天神"), QStringLiteral("092-555-0147"),
     QStringLiteral("2025年7月7日"), QStringLiteral("C-73015")},
};
const QString kItems[] = {QStringLiteral("用紙"), QStringLiteral("封筒"), QStringLiteral("印刷"), QStringLiteral("配送"),
                          QStringLiteral("保管")};

// A cell's text as print sets it: shaped, so digits and Latin letters take
// their own (half) widths; `at` is the top left of the first character.
void addCell(PageBuilder& b, QPoint at, const QString& text, double points = 10.5) {
  const int cell = static_cast<int>(points * 300 / 72);
  b.addShapedLine({at.x(), at.y() + cell * 88 / 100}, text, points, false);
}

std::vector<PageKind> formKinds() {
  return {
      {"form: label-value pairs", false, 300,
       [](PageBuilder& b, int mm, int v) {
         for (int r = 0; r < 5; ++r) {
           addCell(b, {10 * mm, (10 + 10 * r) * mm}, kPairLabels[r]);
           addCell(b, {45 * mm, (10 + 10 * r) * mm}, kPairValues[v % 3][r]);
         }
       }},
      {"form: two pairs a row", false, 300,
       [](PageBuilder& b, int mm, int v) {
         for (int r = 0; r < 2; ++r)
           for (int c = 0; c < 2; ++c) {
             const int k = 2 * r + c;
             addCell(b, {(10 + 85 * c) * mm, (12 + 14 * r) * mm}, kPairLabels[k]);
             addCell(b, {(35 + 85 * c) * mm, (12 + 14 * r) * mm}, kPairValues[v % 3][k]);
           }
       }},
      {"form: summary table", false, 300,
       [](PageBuilder& b, int mm, int v) {
         const int left = 10 * mm, top = 8 * mm, rowH = 11 * mm, rows = 6;
         const int edges[] = {0, 50 * mm, 75 * mm, 110 * mm, 155 * mm};
         for (int r = 0; r <= rows; ++r) b.addRule(QRect(left, top + r * rowH, edges[4] + 2, 2), true);
         for (const int x : edges) b.addRule(QRect(left + x, top, 2, rows * rowH + 2), false);
         const QString header[] = {QStringLiteral("品名"), QStringLiteral("数量"), QStringLiteral("単価"),
                                   QStringLiteral("金額")};
         for (int c = 0; c < 4; ++c) addCell(b, {left + edges[c] + 3 * mm, top + 3 * mm}, header[c]);
         int total = 0;
         for (int r = 1; r < rows - 1; ++r) {
           const int quantity = 1 + (r * 3 + v * 2) % 9;  // one digit alone in its cell
           const int price = 120 + 35 * ((r + v) % 5);
           total += quantity * price;
           const QString cells[] = {kItems[(r + v) % 5], QString::number(quantity), QString::number(price),
                                    QString::number(quantity * price)};
           for (int c = 0; c < 4; ++c) addCell(b, {left + edges[c] + 3 * mm, top + r * rowH + 3 * mm}, cells[c]);
         }
         addCell(b, {left + 3 * mm, top + (rows - 1) * rowH + 3 * mm}, QStringLiteral("合計"));
         addCell(b, {left + edges[3] + 3 * mm, top + (rows - 1) * rowH + 3 * mm}, QString::number(total));
       }},
  };
}

// English pages beyond the one-paragraph kind: two columns, a sans serif
// letter with a heading.
const QString kLatinSans = QStringLiteral("DejaVu Sans");
const QString kEnglishMore[] = {
    QStringLiteral("Please find enclosed the signed contract and the invoice for the first quarter of the year. "),
    QStringLiteral("Records are kept for seven years and destroyed after review by the office manager in charge. "),
};

std::vector<PageKind> englishKinds() {
  return {
      {"english two columns", true, 300,
       [](PageBuilder& b, int mm, int v) {
         b.addText({10 * mm, 10 * mm}, kEnglishMore[v % 2], 10, 28, 6, false, 1.4, kLatinSerif);
         b.addText({95 * mm, 10 * mm}, kEnglishMore[(v + 1) % 2], 10, 28, 6, false, 1.4, kLatinSerif);
       }},
      {"english letter, sans", true, 300,
       [](PageBuilder& b, int mm, int v) {
         b.addText({10 * mm, 8 * mm}, QStringLiteral("Notice of Annual Review"), 14, 23, 1, false, 1.4, kLatinSans);
         b.addText({10 * mm, 20 * mm}, kEnglishMore[v % 2], 10.5, 62, 5, false, 1.4, kLatinSans);
       }},
  };
}

// The horizontal and vertical Japanese pages drawn with other families.
std::vector<PageKind> fontKinds(const std::vector<QString>& families) {
  std::vector<PageKind> out;
  for (const QString& family : families) {
    const std::string name = "font " + family.mid(5).toStdString();
    out.push_back({name + ", horizontal", false, 300, [family](PageBuilder& b, int mm, int v) {
                     b.addText({10 * mm, 10 * mm}, kJapanese[v % 3], 10.5, 30, 6, false, 1.6, family);
                   }});
    out.push_back(verticalKind(name + ", vertical", [family](PageBuilder& b, int mm, int v) {
      b.addVerticalTiers({140 * mm, 10 * mm}, kJapanese[(v + 1) % 3], 10.5, 30, 10, 1, 0, 1.6, family);
    }));
  }
  return out;
}

std::vector<PageKind> kinds(const std::vector<QString>& fontFamilies) {
  std::vector<PageKind> all = baseKinds();
  for (auto more : {formKinds(), englishKinds(), fontKinds(fontFamilies)})
    all.insert(all.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  return all;
}

// Salt noise on the ink's edges and dust specks of 2-4 pixels over the page.
void degrade(RenderedPage& page, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> xs(0, page.width - 1), ys(0, page.height - 1), size(2, 4);
  auto set = [&](int x, int y, bool ink) {
    if (x < 0 || y < 0 || x >= page.width || y >= page.height) return;
    auto& byte = page.bits[static_cast<std::size_t>(y) * page.bytesPerRow + x / 8];
    const auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
    byte = ink ? (byte | bit) : (byte & ~bit);
  };
  const long flips = static_cast<long>(page.width) * page.height / 400;
  for (long i = 0; i < flips; ++i) set(xs(rng), ys(rng), (rng() & 1) != 0);
  for (int i = 0; i < 60; ++i) {
    const int x = xs(rng), y = ys(rng), s = size(rng);
    for (int dy = 0; dy < s; ++dy)
      for (int dx = 0; dx < s; ++dx) set(x + dx, y + dy, true);
  }
}

std::u32string normalized(const QString& text) {
  std::u32string out;
  for (const char32_t c : text.normalized(QString::NormalizationForm_KC).toStdU32String())
    if (!QChar::isSpace(c)) out.push_back(c);
  return out;
}

// Errors when the order of the text is not counted: the characters of the
// longer text that the other lacks (as multisets).
int bagDistance(std::u32string a, std::u32string b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::u32string common;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
  return static_cast<int>(std::max(a.size(), b.size()) - common.size());
}

// The edit distance of the line tests (NFKC again is harmless).
int editDistance(const std::u32string& a, const std::u32string& b) {
  return recogtest::characterErrors(QString::fromStdU32String(a).toStdString(), QString::fromStdU32String(b).toStdString())
      .errors;
}

QString truthText(const RenderedPage& page) {
  QString s;
  for (const auto& block : page.blocks)
    for (const auto& line : block.lines)
      for (const auto& g : line.glyphs) s += g.ch;
  return s;
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }



std::string tessText(tesseract::TessBaseAPI& api) {
  std::unique_ptr<char[]> text(api.GetUTF8Text());
  return text ? std::string(text.get()) : std::string();
}

struct Readers {
  tesseract::TessBaseAPI jpn, eng, jpnVert;
  recognition::TesseractReader jpnLine, engLine, jpnVertLine;
  double loadCpu = 0;  // Tesseract's own three models
  bool start() {
    const char* folder = std::getenv("TESSDATA_PREFIX");
    const std::string data = folder != nullptr ? std::string(folder) : "/usr/share/tesseract-ocr/5/tessdata";
    const double loadStart = cpuSeconds();
    const bool loaded = jpn.Init(data.c_str(), "jpn", tesseract::OEM_LSTM_ONLY) == 0 &&
                        eng.Init(data.c_str(), "eng", tesseract::OEM_LSTM_ONLY) == 0 &&
                        jpnVert.Init(data.c_str(), "jpn_vert", tesseract::OEM_LSTM_ONLY) == 0;
    loadCpu = cpuSeconds() - loadStart;
    return loaded &&
           jpnLine.open(recognition::findLanguageData("", "jpn"), "jpn") &&
           engLine.open(recognition::findLanguageData("", "eng"), "eng") &&
           jpnVertLine.open(recognition::findLanguageData("", "jpn_vert"), "jpn_vert");
  }
  ~Readers() {
    jpn.End();
    eng.End();
    jpnVert.End();
  }
};

struct Result {
  QString ours, line, tess;
  double oursCpu = 0, lineCpu = 0, tessCpu = 0;
};

// GetRecg's text entries as UTF-8 (markers and controls as white space).
QString entriesText(const std::vector<std::uint8_t>& text, int used) {
  std::string out;
  for (int i = 0; i < used; ++i) {
    const std::uint8_t* e = text.data() + static_cast<std::size_t>(i) * 6;
    if (e[0] != 0) out += recognition::utf8OfCode(static_cast<std::uint16_t>((e[0] << 8) | e[1]));
    else if (e[1] == 1 || e[1] == 2) continue;  // a line, cell or field marker
    else if (e[2] != 0 || e[3] != 0) out += recognition::utf8OfCode(e[1]);
    else out += ' ';
  }
  return QString::fromStdString(out);
}

Result run(RenderedPage& page, bool english, Writing writing, Readers& readers) {
  Result r;
  Pix* pix = PixOfPage(page);
  // Ours: GetLayout, then the line reading of its lines, then GetRecg.
  const double start = cpuSeconds();
  free_fld_list(&layout::layoutState().Sfld);
  ParamBlock params;
  // As a user sets the control: the page's language (Japanese, or English
  // for English pages), the writing direction decided by the analysis.
  params.setByte(ParamBlock::kDirection, writing == Writing::Vertical ? 1 : writing == Writing::Mixed ? 2 : 3);
  if (english) params.setWord(ParamBlock::kLanguageWord, 1);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  params.setByte(ParamBlock::kLineEnds, 1);
  userfld* list = nullptr;
  int window = 0;
  // The control finds the page's ruled lines when it loads the image.
  GetLines(&window, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
           static_cast<std::uint16_t>(page.dpi), nullptr, nullptr);
  GetLayout(&window, &params, page.bits.data(), &list, static_cast<short>(page.width), static_cast<short>(page.height),
            static_cast<std::uint16_t>(page.dpi), nullptr, -1);
  const double layoutCpu = cpuSeconds() - start;
  free_userfld_ring(&list);
  const double lineStart = cpuSeconds();
  if (userfld* sfld = layout::layoutState().Sfld; sfld != nullptr) {
    for (userfld* f = sfld->next; f != sfld; f = f->next) {
      if (std::getenv("OCR_EVAL_FIELDS") != nullptr)
        std::printf("  field %d,%d-%d,%d form %d kind %d language %d direction %d\n", f->left, f->top, f->right,
                    f->bottom, f->params.signedByte(ParamBlock::kForm), f->params.byte(ParamBlock::kFieldKind),
                    f->params.word(ParamBlock::kLanguageWord), f->params.byte(ParamBlock::kDirection));
      if (f->lines == nullptr) continue;
      if (const char* e = std::getenv("OCR_EVAL_FIELDS"); e != nullptr && std::strcmp(e, "2") == 0)
        for (line_record* l = f->lines->next; l != f->lines; l = l->next) {
          int boxes = 0;
          if (l->boxes != nullptr)
            for (recg* b = l->boxes->next; b != l->boxes; b = b->next) ++boxes;
          std::printf("    line %d,%d-%d,%d boxes %d\n", l->left, l->top, l->right, l->bottom, boxes);
        }
      const bool verticalField = f->params.byte(ParamBlock::kDirection) != 0;
      auto& reader = f->params.word(ParamBlock::kLanguageWord) == 1 ? readers.engLine
                     : verticalField                               ? readers.jpnVertLine
                                                                   : readers.jpnLine;
      const recognition::EngineImage image{page.bits.data(), static_cast<std::uint16_t>(page.bytesPerRow),
                                           static_cast<std::uint16_t>(page.height), static_cast<std::uint16_t>(page.dpi)};
      for (line_record* l = f->lines->next; l != f->lines; l = l->next) {
        const recognition::CharRect rect{l->left, l->top, l->right, l->bottom};
        const recognition::GreyPiece piece = recognition::greyCrop(
            image, rect, 8, recognition::enlargementFor(verticalField ? rect.width() : rect.height(), 36));
        if (!piece.pix) continue;
        for (const auto& symbol : reader.read(piece.pix.get(),
                                              verticalField ? recognition::Segmentation::VerticalLine
                                                            : recognition::Segmentation::SingleLine,
                                              page.dpi * piece.scale))
          r.line += QString::fromStdString(symbol.choices.empty() ? std::string() : symbol.choices.front());
        r.line += QLatin1Char('\n');
      }
    }
  }
  r.lineCpu = cpuSeconds() - lineStart;
  std::vector<std::uint8_t> text(10000 * 6);
  std::vector<std::int32_t> rects(10000 * 4);
  VuRecgResult result{};
  result.text = text.data();
  result.textCapacity = 10000;
  result.rects = rects.data();
  result.rectCapacity = 10000;
  result.cellSeparator = 9;
  result.fieldTerminator = 10;
  VuRecgDisplay display{};
  display.scale = 1;
  display.stopMode = -1;
  const double recgStart = cpuSeconds();
  const short status = GetRecg(&window, &params, page.bits.data(), &list, static_cast<short>(page.width),
                               static_cast<short>(page.height), static_cast<std::uint16_t>(page.dpi), &result, &display);
  r.oursCpu = layoutCpu + (cpuSeconds() - recgStart);
  if (status != 0) std::fprintf(stderr, "GetRecg: %d\n", status);
  r.ours = entriesText(text, result.textUsed);
  // Tesseract alone on the page.
  auto& api = english ? readers.eng : writing != Writing::Automatic ? readers.jpnVert : readers.jpn;
  const double tessStart = cpuSeconds();
  api.SetPageSegMode(tesseract::PSM_AUTO);
  api.SetImage(pix);
  api.SetSourceResolution(page.dpi);
  r.tess = QString::fromStdString(tessText(api));
  r.tessCpu = cpuSeconds() - tessStart;
  pixDestroy(&pix);
  return r;
}

struct Tally {
  int pages = 0;
  long truth = 0, ours = 0, line = 0, tess = 0;
  long oursBag = 0, lineBag = 0, tessBag = 0;
  double oursCpu = 0, lineCpu = 0, tessCpu = 0;
  std::vector<double> oursPages;  // CPU seconds of each page
  void add(const Tally& t) {
    oursPages.insert(oursPages.end(), t.oursPages.begin(), t.oursPages.end());
    pages += t.pages;
    truth += t.truth;
    ours += t.ours;
    line += t.line;
    tess += t.tess;
    oursBag += t.oursBag;
    lineBag += t.lineBag;
    tessBag += t.tessBag;
    oursCpu += t.oursCpu;
    lineCpu += t.lineCpu;
    tessCpu += t.tessCpu;
  }
};

void printRow(const std::string& name, const Tally& t) {
  const auto pct = [&](long e) { return t.truth == 0 ? 0.0 : 100.0 * static_cast<double>(e) / static_cast<double>(t.truth); };
  const double n = std::max(1, t.pages);
  std::printf("%-24s %3d %6ld | %6.2f %6.2f %6.2f | %6.2f %6.2f %6.2f | %6.2f %6.2f %6.2f %5.2f\n", name.c_str(), t.pages,
              t.truth, pct(t.ours), pct(t.line), pct(t.tess), pct(t.oursBag), pct(t.lineBag), pct(t.tessBag),
              t.oursCpu / n, t.lineCpu / n, t.tessCpu / n, t.tessCpu > 0 ? t.oursCpu / t.tessCpu : 0.0);
}


// ------------------------------------------------------------- scanned pages

struct ScanPage {
  std::vector<std::uint8_t> bits;  // rows padded to 16 bits, 1 is ink
  int width = 0, height = 0, dpi = 0;
};

ScanPage scanPageOf(Pix* pix) {
  ScanPage page;
  page.width = static_cast<int>(pixGetWidth(pix));
  page.height = static_cast<int>(pixGetHeight(pix));
  page.dpi = pixGetXRes(pix) > 0 ? static_cast<int>(pixGetXRes(pix)) : 300;
  const int bytesPerRow = paddedRowBytes(page.width);
  page.bits.assign(static_cast<std::size_t>(bytesPerRow) * page.height, 0);
  Pix* copy = pixCopy(nullptr, pix);
  pixEndianByteSwap(copy);
  const auto* src = reinterpret_cast<const std::uint8_t*>(pixGetData(copy));
  const int wpl = pixGetWpl(copy);
  for (int y = 0; y < page.height; ++y)
    std::memcpy(page.bits.data() + static_cast<std::size_t>(y) * bytesPerRow, src + static_cast<std::size_t>(y) * wpl * 4,
                static_cast<std::size_t>(std::min(bytesPerRow, wpl * 4)));
  pixDestroy(&copy);
  if (page.width % 8 != 0)
    for (int y = 0; y < page.height; ++y)
      page.bits[static_cast<std::size_t>(y) * bytesPerRow + page.width / 8] &=
          static_cast<std::uint8_t>(0xFF << (8 - page.width % 8));
  return page;
}

// A page as a scanner gives it: turned by `degrees` (clockwise) in grey and
// thresholded, then `quarterTurns` clockwise quarter turns.
Pix* scannedPix(const RenderedPage& page, double degrees, int quarterTurns) {
  Pix* bin = PixOfPage(page);
  Pix* grey = pixConvert1To8(nullptr, bin, 255, 0);
  pixDestroy(&bin);
  Pix* turned = degrees == 0 ? pixClone(grey)
                             : pixRotate(grey, static_cast<float>(degrees * M_PI / 180.0), L_ROTATE_AREA_MAP,
                                         L_BRING_IN_WHITE, 0, 0);
  pixDestroy(&grey);
  Pix* binary = pixThresholdToBinary(turned, 128);
  pixDestroy(&turned);
  if (quarterTurns % 4 != 0) {
    Pix* q = pixRotateOrth(binary, quarterTurns % 4);
    pixDestroy(&binary);
    binary = q;
  }
  pixSetResolution(binary, page.dpi, page.dpi);
  return binary;
}

// The program's OCR road on one page: GetLines, GetLayout and GetRecg with
// the control's default settings (and the language a user sets for an
// English page).
QString programText(ScanPage& page, bool english, double* cpu) {
  const double start = cpuSeconds();
  free_fld_list(&layout::layoutState().Sfld);
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  params.setByte(ParamBlock::kNoVerticalMargin, 1);
  params.setByte(ParamBlock::kNoHorizontalMargin, 1);
  params.setByte(ParamBlock::kLineEnds, 1);
  if (english) params.setWord(ParamBlock::kLanguageWord, 1);
  int window = 0;
  std::uint16_t h = 0, v = 0;
  const auto w = static_cast<short>(page.width);
  const auto ht = static_cast<short>(page.height);
  const auto dpi = static_cast<std::uint16_t>(page.dpi);
  GetLines(&window, page.bits.data(), w, ht, dpi, &h, &v);
  userfld* list = nullptr;
  GetLayout(&window, &params, page.bits.data(), &list, w, ht, dpi, nullptr, -1);
  std::vector<std::uint8_t> text(10000 * 6);
  std::vector<std::int32_t> rects(10000 * 4);
  VuRecgResult result{};
  result.text = text.data();
  result.textCapacity = 10000;
  result.rects = rects.data();
  result.rectCapacity = 10000;
  result.cellSeparator = 9;
  result.fieldTerminator = 10;
  VuRecgDisplay display{};
  display.scale = 1;
  display.stopMode = -1;
  GetRecg(&window, &params, page.bits.data(), &list, w, ht, dpi, &result, &display);
  free_Sfld_all(&list);
  *cpu = cpuSeconds() - start;
  return entriesText(text, result.textUsed);
}

struct ScanKind {
  std::string name;
  bool english;
  std::function<void(PageBuilder&, int mm, int variant)> draw;
  bool vertical = false;
};

std::vector<ScanKind> scanKinds() {
  return {
      {"jp", false,
       [](PageBuilder& b, int mm, int v) {
         b.addText({15 * mm, 15 * mm}, kJapanese[v % 3], 10.5, 32, 10);
       }},
      {"en", true,
       [](PageBuilder& b, int mm, int v) {
         b.addText({15 * mm, 15 * mm}, kEnglish[v % 2], 10, 64, 9, false, 1.4, kLatinSerif);
       }},
      {"jp-v", false,
       [](PageBuilder& b, int mm, int v) {
         b.addVerticalTiers({160 * mm, 15 * mm}, kJapanese[(v + 1) % 3], 10.5, 30, 14, 1, 0);
       },
       true},
      {"form", false,
       [](PageBuilder& b, int mm, int v) {
         const int left = 15 * mm, top = 30 * mm, w = 150 * mm, rowH = 12 * mm, rows = 8, split = 60 * mm;
         b.addText({15 * mm, 15 * mm}, kJapanese[v % 3].left(20), 12, 20, 1);
         for (int r = 0; r <= rows; ++r) b.addRule(QRect(left, top + r * rowH, w + 2, 2), true);
         for (const int x : {left, left + split, left + w}) b.addRule(QRect(x, top, 2, rows * rowH + 2), false);
         for (int r = 0; r < rows; ++r) {
           b.addText({left + 3 * mm, top + r * rowH + 3 * mm}, kLabels[(r + v) % 4], 10.5, 4, 1);
           b.addText({left + split + 3 * mm, top + r * rowH + 3 * mm}, QString::number(1000 + 137 * (r + 1) * (v + 1)),
                     10.5, 6, 1);
         }
       }},
  };
}

struct WayUp {
  int right = 0, abstained = 0, wrong = 0;
};

// Skewed and turned pages beside Tesseract: CER per kind (in reading order
// and order-free), and the way-up answers of ours and of Tesseract's OSD.
void runScannedPages(Readers& readers, bool quick, const std::string& only, bool verbose) {
  std::vector<double> skews = {0, 0.5, -0.5, 1.5, -1.5, 3, -3, 6, -6};
  if (quick) skews = {0, 0.5, -1.5, 3, -6};
  const int variants = quick ? 1 : 3;
  tesseract::TessBaseAPI osd;
  const char* folder = std::getenv("TESSDATA_PREFIX");
  const std::string data = folder != nullptr ? std::string(folder) : "/usr/share/tesseract-ocr/5/tessdata";
  const bool haveOsd = osd.Init(data.c_str(), "osd", tesseract::OEM_TESSERACT_ONLY) == 0;
  if (haveOsd) osd.SetPageSegMode(tesseract::PSM_OSD_ONLY);
  Tally all;
  std::map<std::string, WayUp> oursUp, tessUp;
  for (const ScanKind& kind : scanKinds()) {
    std::map<std::string, Tally> rows;
    std::vector<std::string> order;
    auto addRow = [&](const std::string& name, const Tally& t) {
      if (rows.find(name) == rows.end()) order.push_back(name);
      rows[name].add(t);
    };
    for (int v = 0; v < variants; ++v) {
      constexpr int kDpi = 300;
      const int mm = kDpi * 4 / 100;
      PageBuilder builder(180 * mm, 150 * mm, kDpi);
      kind.draw(builder, mm, v);
      const RenderedPage rendered = builder.render();
      const std::u32string truth = normalized(truthText(rendered));
      auto measure = [&](const QString& ours, const QString& tess, double oursCpu, double tessCpu) {
        Tally t;
        t.pages = 1;
        t.truth = static_cast<long>(truth.size());
        t.ours = editDistance(truth, normalized(ours));
        t.tess = editDistance(truth, normalized(tess));
        t.line = t.ours;
        t.oursBag = bagDistance(truth, normalized(ours));
        t.tessBag = bagDistance(truth, normalized(tess));
        t.lineBag = t.oursBag;
        t.oursCpu = oursCpu;
        t.tessCpu = tessCpu;
        return t;
      };
      auto& api = kind.english ? readers.eng : kind.vertical ? readers.jpnVert : readers.jpn;
      auto tessRead = [&](Pix* pix, double* cpu) {
        const double start = cpuSeconds();
        api.SetPageSegMode(tesseract::PSM_AUTO);
        api.SetImage(pix);
        api.SetSourceResolution(kDpi);
        const QString text = QString::fromStdString(tessText(api));
        *cpu = cpuSeconds() - start;
        return text;
      };
      for (const double skew : skews) {
        char name[64];
        std::snprintf(name, sizeof name, "skewed %s %s%.1f", kind.name.c_str(), skew == 0 ? "" : "±", std::fabs(skew));
        if (!only.empty() && std::string(name).find(only) == std::string::npos) continue;
        Pix* pix = scannedPix(rendered, skew, 0);
        ScanPage page = scanPageOf(pix);
        double oursCpu = 0, tessCpu = 0;
        const QString ours = programText(page, kind.english, &oursCpu);
        const QString tess = tessRead(pix, &tessCpu);
        pixDestroy(&pix);
        addRow(name, measure(ours, tess, oursCpu, tessCpu));
        if (verbose)
          std::printf("  %s\n  ours  %s\n  tess  %s\n", name, ours.toStdString().c_str(), tess.toStdString().c_str());
      }
      for (int turns = 1; turns < 4; ++turns) {
        const std::string name = "turned " + kind.name + " " + std::to_string(turns * 90);
        if (!only.empty() && name.find(only) == std::string::npos) continue;
        // Degraded a little as a scan is: one degree of skew.
        Pix* pix = scannedPix(rendered, v % 2 == 0 ? 0.0 : 1.0, turns);
        ScanPage page = scanPageOf(pix);
        const double start = cpuSeconds();
        const short answer = AutoRotatePaper(page.bits.data(), static_cast<short>(page.width),
                                             static_cast<std::uint16_t>(page.height),
                                             static_cast<std::uint16_t>(page.dpi));
        const double upCpu = cpuSeconds() - start;
        const bool turnAnswer = answer == 90 || answer == 180 || answer == 270;
        WayUp& mine = oursUp[kind.name];
        if (!turnAnswer) ++mine.abstained;
        else if (answer == turns * 90) ++mine.right;
        else ++mine.wrong;
        // The control turns the page counter-clockwise by the answer.
        Pix* upright = turnAnswer ? pixRotateOrth(pix, (4 - answer / 90) % 4) : pixClone(pix);
        ScanPage uprightPage = scanPageOf(upright);
        double oursCpu = 0, tessCpu = 0;
        const QString ours = programText(uprightPage, kind.english, &oursCpu);
        pixDestroy(&upright);
        // Tesseract turns the page by its own orientation detection.
        int tessTurn = -1;
        if (haveOsd) {
          const double osdStart = cpuSeconds();
          osd.SetImage(pix);
          osd.SetSourceResolution(kDpi);
          float confidence = 0, scriptConfidence = 0;
          const char* script = nullptr;
          if (!osd.DetectOrientationScript(&tessTurn, &confidence, &script, &scriptConfidence)) tessTurn = -1;
          osd.Clear();
          tessCpu += cpuSeconds() - osdStart;
        }
        WayUp& theirs = tessUp[kind.name];
        if (tessTurn <= 0) ++theirs.abstained;
        else if (tessTurn == turns * 90) ++theirs.right;
        else ++theirs.wrong;
        Pix* tessUpright = tessTurn > 0 ? pixRotateOrth(pix, (4 - tessTurn / 90) % 4) : pixClone(pix);
        double readCpu = 0;
        const QString tess = tessRead(tessUpright, &readCpu);
        pixDestroy(&tessUpright);
        pixDestroy(&pix);
        addRow(name, measure(ours, tess, oursCpu + upCpu, tessCpu + readCpu));
        if (verbose)
          std::printf("  %s: ours %d, osd %d\n  ours  %s\n  tess  %s\n", name.c_str(), answer, tessTurn,
                      ours.toStdString().c_str(), tess.toStdString().c_str());
      }
    }
    for (const std::string& name : order) {
      printRow(name, rows[name]);
      all.add(rows[name]);
    }
  }
  printRow("all scanned pages", all);
  for (const auto& [name, up] : oursUp) {
    const WayUp& t = tessUp[name];
    std::printf("way up %-4s ours right %d abstained %d wrong %d | Tesseract OSD right %d abstained %d wrong %d\n",
                name.c_str(), up.right, up.abstained, up.wrong, t.right, t.abstained, t.wrong);
  }
  if (haveOsd) osd.End();
}

// Vertical pages with a ruled table, a picture and headings of two
// characters (tests/support/vertical_table_page.h), in two font families:
// beside the character error rates, how many headings are read exactly,
// how many table cells are read whole and in their order (each cell's text
// found after the previous cell's), and how many characters come from the
// picture (characters read beyond the truth, as a multiset).
struct TablePageTally {
  int pages = 0;
  long truth = 0, ours = 0, tess = 0, oursBag = 0, tessBag = 0;
  int headings = 0, headingsOurs = 0, headingsTess = 0;
  int cells = 0, cellsOurs = 0, cellsTess = 0;
  int orderedOurs = 0, orderedTess = 0;  // pages whose cells all come in order
  long extraOurs = 0, extraTess = 0;
  double oursCpu = 0, tessCpu = 0;
};

// Characters of `read` that the truth lacks (as multisets).
long extraCharacters(std::u32string truth, std::u32string read) {
  std::sort(truth.begin(), truth.end());
  std::sort(read.begin(), read.end());
  std::u32string common;
  std::set_intersection(truth.begin(), truth.end(), read.begin(), read.end(), std::back_inserter(common));
  return static_cast<long>(read.size() - common.size());
}

// Cells found whole, and whether each was found after the one before.
std::pair<int, bool> cellsInOrder(const std::u32string& read, const std::vector<std::u32string>& cells) {
  int found = 0;
  bool ordered = true;
  std::size_t from = 0;
  for (const auto& cell : cells) {
    const std::size_t at = read.find(cell, from);
    if (at != std::u32string::npos) {
      ++found;
      from = at + cell.size();
    } else if (read.find(cell) != std::u32string::npos) {
      ++found;
      ordered = false;
    } else {
      ordered = false;
    }
  }
  return {found, ordered};
}

void evaluateVerticalTablePages(Readers& readers, int variants, bool verbose) {
  const QString families[] = {QStringLiteral("Noto Sans CJK JP"), kSerif};
  std::printf("\nVertical pages with a ruled table, a picture and two-character headings (direction given; "
              "Tesseract jpn_vert), ours vs tess:\n");
  std::printf("%-28s %3s %6s | %-13s | %-13s | %-17s | %-17s | %-11s | %s\n", "font", "n", "chars", "CER %",
              "order-free %", "headings read", "cells read", "cells order", "chars from picture");
  TablePageTally all;
  auto print = [](const std::string& name, const TablePageTally& t) {
    const auto pct = [&](long e) { return t.truth == 0 ? 0.0 : 100.0 * static_cast<double>(e) / static_cast<double>(t.truth); };
    std::printf("%-28s %3d %6ld | %6.2f %6.2f | %6.2f %6.2f | %3d/%-3d %3d/%-3d | %3d/%-3d %3d/%-3d | %2d/%-2d %2d/%-2d | "
                "%4ld %4ld | CPU s/page %5.2f %5.2f\n",
                name.c_str(), t.pages, t.truth, pct(t.ours), pct(t.tess), pct(t.oursBag), pct(t.tessBag), t.headingsOurs,
                t.headings, t.headingsTess, t.headings, t.cellsOurs, t.cells, t.cellsTess, t.cells, t.orderedOurs, t.pages,
                t.orderedTess, t.pages, t.extraOurs, t.extraTess, t.oursCpu / std::max(1, t.pages),
                t.tessCpu / std::max(1, t.pages));
  };
  for (const QString& family : families) {
    TablePageTally t;
    for (int v = 0; v < variants; ++v) {
      const int dpi = 300;
      const int mm = dpi * 4 / 100;
      PageBuilder builder(150 * mm, 150 * mm, dpi);
      const testpages::VerticalTablePage layout = testpages::addVerticalTablePage(builder, mm, 150, v, family);
      RenderedPage page = builder.render();
      const Result r = run(page, false, Writing::Vertical, readers);
      const std::u32string truth = normalized(truthText(page));
      const std::u32string ours = normalized(r.ours);
      const std::u32string tess = normalized(r.tess);
      ++t.pages;
      t.truth += static_cast<long>(truth.size());
      t.ours += editDistance(truth, ours);
      t.tess += editDistance(truth, tess);
      t.oursBag += bagDistance(truth, ours);
      t.tessBag += bagDistance(truth, tess);
      t.extraOurs += extraCharacters(truth, ours);
      t.extraTess += extraCharacters(truth, tess);
      for (const QString& heading : layout.headings) {
        ++t.headings;
        t.headingsOurs += ours.find(normalized(heading)) != std::u32string::npos;
        t.headingsTess += tess.find(normalized(heading)) != std::u32string::npos;
      }
      std::vector<std::u32string> cells;
      for (const testpages::BlockTruth* block : testpages::cellBlocks(page, layout)) {
        QString text;
        for (const auto& line : block->lines)
          for (const auto& g : line.glyphs) text += g.ch;
        cells.push_back(normalized(text));
      }
      t.cells += static_cast<int>(cells.size());
      const auto [foundOurs, orderOurs] = cellsInOrder(ours, cells);
      const auto [foundTess, orderTess] = cellsInOrder(tess, cells);
      t.cellsOurs += foundOurs;
      t.cellsTess += foundTess;
      t.orderedOurs += orderOurs;
      t.orderedTess += orderTess;
      t.oursCpu += r.oursCpu;
      t.tessCpu += r.tessCpu;
      if (verbose) {
        std::printf("  truth %s\n  ours  %s\n  tess  %s\n", truthText(page).toStdString().c_str(),
                    r.ours.toStdString().c_str(), r.tess.toStdString().c_str());
      }
    }
    print(family.toStdString(), t);
    all.pages += t.pages;
    all.truth += t.truth;
    all.ours += t.ours;
    all.tess += t.tess;
    all.oursBag += t.oursBag;
    all.tessBag += t.tessBag;
    all.headings += t.headings;
    all.headingsOurs += t.headingsOurs;
    all.headingsTess += t.headingsTess;
    all.cells += t.cells;
    all.cellsOurs += t.cellsOurs;
    all.cellsTess += t.cellsTess;
    all.orderedOurs += t.orderedOurs;
    all.orderedTess += t.orderedTess;
    all.extraOurs += t.extraOurs;
    all.extraTess += t.extraTess;
    all.oursCpu += t.oursCpu;
    all.tessCpu += t.tessCpu;
  }
  print("all", all);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("OMP_THREAD_LIMIT", "1", 0);
  QGuiApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  bool verbose = false;
  bool scans = true, others = true;
  std::string only;  // --only NAME: the kinds whose name contains NAME
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-v") == 0) verbose = true;
    if (std::strcmp(argv[i], "--no-scans") == 0) scans = false;
    if (std::strcmp(argv[i], "--scans-only") == 0) others = false;
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
  }
  const int variants = quick ? 1 : 3;
  Readers readers;
  if (!readers.start()) {
    std::fprintf(stderr, "ocr_eval: Tesseract (jpn, eng) could not be started\n");
    return 2;
  }
  QTemporaryDir learning;
  const std::string folder = learning.path().toStdString();
  const double initStart = cpuSeconds();
  if (InitLayout(folder.c_str(), folder.c_str(), 1) != 1) {
    std::fprintf(stderr, "ocr_eval: the recognition engines could not be started\n");
    return 2;
  }
  const double initCpu = cpuSeconds() - initStart;
  const std::vector<QString> fontFamilies = registerEvalFonts();
  if (fontFamilies.size() < evalFonts().size())
    std::printf("(%zu of %zu further font families found: run setup.sh to unpack them)\n", fontFamilies.size(),
                evalFonts().size());
  std::printf("%-24s %3s %6s | %-20s | %-20s | %s\n", "kind", "n", "chars", "CER % ours line tess",
              "order-free ours l t", "CPU s/page ours line tess ours/tess");
  Tally total, horizontal, vertical, mixed;
  for (const PageKind& kind : kinds(fontFamilies)) {
    if (!others) break;
    if (!only.empty() && kind.name.find(only) == std::string::npos) continue;
    Tally t;
    for (int v = 0; v < variants; ++v) {
      const int mm = kind.dpi * 4 / 100;
      PageBuilder builder(kind.widthMm * mm, kind.heightMm * mm, kind.dpi);
      kind.draw(builder, mm, v);
      RenderedPage page = builder.render();
      if (kind.degraded) degrade(page, 17u + static_cast<unsigned>(v));
      const Result r = run(page, kind.english, kind.writing, readers);
      const std::u32string truth = normalized(truthText(page));
      ++t.pages;
      t.truth += static_cast<long>(truth.size());
      t.ours += editDistance(truth, normalized(r.ours));
      t.line += editDistance(truth, normalized(r.line));
      t.tess += editDistance(truth, normalized(r.tess));
      t.oursBag += bagDistance(truth, normalized(r.ours));
      t.lineBag += bagDistance(truth, normalized(r.line));
      t.tessBag += bagDistance(truth, normalized(r.tess));
      t.oursCpu += r.oursCpu;
      t.oursPages.push_back(r.oursCpu);
      t.lineCpu += r.lineCpu;
      t.tessCpu += r.tessCpu;
      if (verbose) {
        std::printf("  truth %s\n  ours  %s\n  line  %s\n  tess  %s\n", truthText(page).toStdString().c_str(),
                    r.ours.toStdString().c_str(), r.line.toStdString().c_str(), r.tess.toStdString().c_str());
      }
    }
    printRow(kind.name, t);
    total.add(t);
    (kind.writing == Writing::Vertical ? vertical : kind.writing == Writing::Mixed ? mixed : horizontal).add(t);
  }
  printRow("all horizontal", horizontal);
  printRow("all vertical", vertical);
  printRow("all mixed", mixed);
  printRow("all", total);
  // Loading: InitLayout names the models, each is loaded by its first
  // reading (inside the pages above); Tesseract loaded its three up front.
  std::printf("\nInitLayout %.3f s CPU; Tesseract's models %.3f s CPU\n", initCpu, readers.loadCpu);
  if (total.tessCpu > 0)
    std::printf("CPU over all pages, loading included: ours %.2f s, tess %.2f s, ours/tess %.2f\n",
                total.oursCpu + initCpu, total.tessCpu + readers.loadCpu,
                (total.oursCpu + initCpu) / (total.tessCpu + readers.loadCpu));
  if (!total.oursPages.empty()) {
    std::vector<double> pages = total.oursPages;
    std::sort(pages.begin(), pages.end());
    const double median = pages[pages.size() / 2];
    const long over = std::count_if(pages.begin(), pages.end(), [&](double c) { return c > 3 * median; });
    std::printf("ours per page: median %.2f s, slowest %.2f s (%.1f x median), pages over 3 x median: %ld\n", median,
                pages.back(), median > 0 ? pages.back() / median : 0.0, over);
  }
  if (scans) runScannedPages(readers, quick, only, verbose);
  if (only.empty() || std::string("vertical table").find(only) != std::string::npos)
    evaluateVerticalTablePages(readers, variants, verbose);
  CloseAlloc();
  return 0;
}
