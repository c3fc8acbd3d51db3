// layout_eval: the layout library's text measures on rendered pages, against
// the renderer's truth and beside Tesseract on the same pages.
//
// For every page (horizontal and vertical Japanese, English in one and two
// columns, mixed, a ruled table with a dotted leader, forms of labels and
// values and a summary table, Japanese in the further font families of
// eval_fonts.h; 200, 300 and 400 dpi) it reports:
//   direction   the writing direction the measuring step decides for an
//               automatic area (Tesseract: the writing direction of its
//               layout analysis, text blocks weighted by area)
//   language    Japanese or Latin as the pipeline of the page's direction
//               decides it (Tesseract: the script of its orientation and
//               script detection)
//   char height the measured character height against the median ink height
//               of the drawn glyphs (Tesseract: the median symbol height of
//               its layout analysis), as the error in percent
//   rules       line fields within 2 px of the drawn rules and leaders
//   lines       horizontal pages: the share of drawn text lines found whole
//               (one found line over at least 90 % of the line's width, its
//               middle within the line's rows, at most 1.5 times its height;
//               ours once the blocks are cleaned, Tesseract's text lines)
//   blocks      horizontal pages: the share of pages whose number of text
//               blocks is the number drawn (ours: blocks of lines; Tesseract:
//               its text blocks)
//   time        per page, ours and Tesseract's
//   fields      every page through GetLayout (the page's direction given;
//               mixed pages as direction 2): text lines (columns on vertical
//               pages) and blocks at IoU >= 0.7 against the truth, and the
//               reading order of the blocks (vertical pages: heading, then
//               tier by tier, then captions and notes), beside Tesseract's
//               lines and blocks
//
// and, on scans of a Japanese and an English page skewed by 0, ±0.5, ±1.5,
// ±3 and ±6 degrees, the text lines found through GetLines and GetLayout
// with the control's default settings, beside Tesseract's layout analysis.
//
//   layout_eval [--quick] [--vertical-table]
//     --quick: 300 dpi only, fewer skews; --vertical-table: only the vertical
//     pages with a table and a picture (LAYOUT_EVAL_DUMP=1 lists what each
//     reader found)
#include "layout/field_rings.h"
#include "layout/layout_pipelines.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/line_field_steps.h"
#include "layout/vulay30.h"
#include "bench/eval_fonts.h"
#include "bench/page_pix.h"
#include "tests/layout/region_runner.h"
#include "tests/layout/test_pages.h"
#include "tests/support/vertical_table_page.h"

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
#include <memory>
#include <string>
#include <vector>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;

const QString kSans = QStringLiteral("Noto Sans CJK JP");
const QString kSerif = QStringLiteral("Noto Serif CJK JP");
const QString kLatinSerif = QStringLiteral("DejaVu Serif");
const QString kLatinSans = QStringLiteral("DejaVu Sans");

const QString kJapanese[] = {
    QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。段落の文字の大きさを測ります。"),
    QStringLiteral("春はあけぼの。やうやう白くなりゆく山ぎは、少しあかりて、紫だちたる雲の細くたなびきたる。"),
    QStringLiteral("会議の議事録は三日以内に提出してください。添付資料の番号と日付を確認のうえ保存します。"),
};
const QString kVerticalForms =
    QStringLiteral("「ちょっと待って」と言った。コーヒーを一杯、ゆっくり飲みましょう。（三十分ほど）ジャーナルの締め切りは来週です。");
const QString kEnglish[] = {
    QStringLiteral("Layout analysis finds the blocks, lines and characters of a scanned page before recognition. "),
    QStringLiteral("The quick brown fox jumps over the lazy dog while the committee reviews its budget for 2024. "),
};

struct PageKind {
  std::string name;
  bool vertical;
  bool latin;
  std::function<void(PageBuilder&, int mm, int variant)> draw;
  bool mixed = false;  // a vertical body with horizontal title and captions
};

std::vector<PageKind> baseKinds() {
  return {
      {"jp-h 10.5pt sans", false, false,
       [](PageBuilder& b, int mm, int v) { b.addText({20 * mm, 20 * mm}, kJapanese[v % 3], 10.5, 36, 30); }},
      {"jp-h 9pt serif", false, false,
       [](PageBuilder& b, int mm, int v) {
         b.addText({20 * mm, 20 * mm}, kJapanese[(v + 1) % 3], 9, 42, 36, false, 1.7, kSerif);
       }},
      {"jp-h 12pt two columns", false, false,
       [](PageBuilder& b, int mm, int v) {
         b.addText({15 * mm, 20 * mm}, kJapanese[(v + 2) % 3], 12, 14, 20);
         b.addText({110 * mm, 20 * mm}, kJapanese[v % 3], 12, 14, 20);
       }},
      {"jp-v 10.5pt sans", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addText({185 * mm, 20 * mm}, kJapanese[v % 3], 10.5, 40, 25, true);
       }},
      {"jp-v 12pt serif", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addText({185 * mm, 20 * mm}, kJapanese[(v + 1) % 3], 12, 34, 20, true, 1.6, kSerif);
       }},
      {"jp-v two tiers", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addVerticalTiers({195 * mm, 20 * mm}, kJapanese[v % 3], 10.5, 18, 14, 2, 12 * mm);
       }},
      {"jp-v heading, one tier", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addVerticalTiers({181 * mm, 20 * mm}, kJapanese[(v + 1) % 3], 10.5, 30, 16, 1, 0);
         b.addHeading({186 * mm, 20 * mm}, QStringLiteral("縦書き見出しの例"), 16, true);
       }},
      {"jp-v heading, two tiers", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addVerticalTiers({181 * mm, 20 * mm}, kJapanese[(v + 2) % 3], 10.5, 18, 14, 2, 12 * mm);
         b.addHeading({186 * mm, 20 * mm}, QStringLiteral("段組みの見出し"), 16, true);
       }},
      {"jp-v kana, brackets, marks", true, false,
       [](PageBuilder& b, int mm, int) { b.addText({185 * mm, 20 * mm}, kVerticalForms, 10.5, 36, 20, true); }},
      {"jp-v 9pt three tiers", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addVerticalTiers({195 * mm, 15 * mm}, kJapanese[v % 3], 9, 14, 22, 3, 10 * mm, 1.6, kSerif);
       }},
      {"mixed: title, body, figure, caption", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addHeading({30 * mm, 15 * mm}, QStringLiteral("横書きの表題と縦書きの本文"), 16, false);
         b.addVerticalTiers({195 * mm, 35 * mm}, kJapanese[v % 3], 10.5, 18, 22, 1, 0);
         b.addFigure(QRect(30 * mm, 170 * mm, 90 * mm, 60 * mm), testpages::FigureKind::Photo);
         b.addText({30 * mm, 236 * mm}, QStringLiteral("図１　写真の説明文です"), 9, 11, 1);
       },
       true},
      {"mixed: title, two tiers", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addHeading({30 * mm, 15 * mm}, QStringLiteral("横書きの表題"), 16, false);
         b.addVerticalTiers({195 * mm, 35 * mm}, kJapanese[(v + 1) % 3], 10.5, 18, 22, 2, 12 * mm);
       },
       true},
      {"mixed: title, tiers, caption", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addHeading({30 * mm, 15 * mm}, QStringLiteral("表題と二段の本文"), 16, false);
         b.addVerticalTiers({195 * mm, 35 * mm}, kJapanese[(v + 2) % 3], 10.5, 16, 22, 2, 12 * mm);
         b.addText({30 * mm, 250 * mm}, QStringLiteral("注：本文は縦書き、注記は横書きです"), 9, 17, 1);
       },
       true},
      {"mixed: title, body, English note", true, false,
       [](PageBuilder& b, int mm, int v) {
         b.addHeading({30 * mm, 15 * mm}, QStringLiteral("縦書き本文の頁"), 16, false);
         b.addVerticalTiers({195 * mm, 35 * mm}, kJapanese[v % 3], 10.5, 24, 22, 1, 0);
         b.addText({30 * mm, 250 * mm}, kEnglish[v % 2], 9, 60, 1, false, 1.4, kLatinSerif);
       },
       true},
      {"en 10pt serif", false, true,
       [](PageBuilder& b, int mm, int v) {
         b.addText({20 * mm, 20 * mm}, kEnglish[v % 2], 10, 80, 35, false, 1.4, kLatinSerif);
       }},
      {"en 11pt sans", false, true,
       [](PageBuilder& b, int mm, int v) {
         b.addText({20 * mm, 20 * mm}, kEnglish[(v + 1) % 2], 11, 70, 30, false, 1.5, kLatinSans);
       }},
      {"mixed jp+en", false, false,
       [](PageBuilder& b, int mm, int v) {
         b.addText({20 * mm, 20 * mm}, kJapanese[v % 3], 10.5, 36, 20);
         b.addText({20 * mm, 150 * mm}, kEnglish[v % 2], 10, 80, 8, false, 1.4, kLatinSerif);
       }},
      {"table with leader", false, false,
       [](PageBuilder& b, int mm, int v) {
         const int left = 20 * mm, top = 30 * mm, w = 170 * mm, rowH = 12 * mm, rows = 8;
         for (int r = 0; r <= rows; ++r) b.addRule(QRect(left, top + r * rowH, w + 2, 2), true);
         b.addRule(QRect(left, top, 2, rows * rowH + 2), false);
         b.addRule(QRect(left + w, top, 2, rows * rowH + 2), false);
         for (int r = 0; r < rows; ++r) {
           b.addText({left + 3 * mm, top + r * rowH + 3 * mm}, kJapanese[(v + r) % 3], 10.5, 8, 1);
           b.addText({left + w - 12 * mm, top + r * rowH + 3 * mm}, QString::number(10 + r * 7), 10.5, 2, 1);
         }
         b.addDottedLine({left + 50 * mm, top + 8 * mm}, 100 * mm, true, mm / 3, mm);
       }},
      {"heading, two columns", false, false,
       [](PageBuilder& b, int mm, int v) {
         b.addText({20 * mm, 15 * mm}, kJapanese[v % 3], 16, 20, 1);
         b.addText({15 * mm, 40 * mm}, kJapanese[(v + 1) % 3], 10.5, 22, 12);
         b.addText({15 * mm, 120 * mm}, kJapanese[(v + 2) % 3], 10.5, 22, 10);
         b.addText({110 * mm, 40 * mm}, kJapanese[v % 3], 10.5, 22, 12);
         b.addText({110 * mm, 120 * mm}, kJapanese[(v + 1) % 3], 10.5, 22, 10);
       }},
      {"contents with leaders", false, false,
       [](PageBuilder& b, int mm, int v) {
         for (int r = 0; r < 10; ++r) {
           const int y = 30 * mm + r * 12 * mm;
           b.addText({20 * mm, y}, kJapanese[(v + r) % 3], 10.5, 10, 1);
           b.addDottedLine({70 * mm, y + 3 * mm}, 90 * mm, true, mm / 3, mm);
           b.addText({170 * mm, y}, QString::number(3 + r * 4), 10.5, 2, 1);
         }
       }},
      {"drop capital", false, false,
       [](PageBuilder& b, int mm, int v) {
         // A capital three lines high leads the first paragraph; the
         // three lines beside it run on into the body below.
         b.addText({20 * mm, 20 * mm}, kJapanese[v % 3].left(1), 44, 1, 1);
         b.addText({38 * mm, 20 * mm}, kJapanese[(v + 1) % 3], 10.5, 36, 3);
         b.addText({20 * mm, 40 * mm}, kJapanese[(v + 2) % 3], 10.5, 40, 8);
       }},
      {"text and a figure", false, false,
       [](PageBuilder& b, int mm, int v) {
         b.addText({20 * mm, 20 * mm}, kJapanese[v % 3], 10.5, 40, 8);
         b.addFigure(QRect(40 * mm, 80 * mm, 100 * mm, 70 * mm), testpages::FigureKind::Photo);
         b.addText({20 * mm, 170 * mm}, kJapanese[(v + 1) % 3], 10.5, 40, 8);
       }},
  };
}

// Forms: labels beside their values (one pair, or two pairs a row) and a
// ruled summary table, each cell drawn in reading order (row by row, label
// before value) and set as print sets it (shaped, half-width digits).
void addCell(PageBuilder& b, QPoint topLeft, const QString& text, int dpi) {
  b.addShapedLine({topLeft.x(), topLeft.y() + static_cast<int>(10.5 * dpi / 72 * 0.88)}, text, 10.5, false);
}

std::vector<PageKind> formKinds() {
  static const QString labels[] = {QStringLiteral("氏名"), QStringLiteral("住所"), QStringLiteral("電話番号"),
                                   QStringLiteral("申込日"), QStringLiteral("会員番号"), QStringLiteral("備考")};
  static const QString values[] = {QStringLiteral("山田太郎"), QStringLiteral("東京都千代田区一番町"),
                                   QStringLiteral("03-1234-5678"), QStringLiteral("2024年4月1日"),
                                   QStringLiteral("A-20931"), QStringLiteral("特になし")};
  return {
      {"form: label-value pairs", false, false,
       [](PageBuilder& b, int mm, int v) {
         const int dpi = mm * 100 / 4;
         for (int r = 0; r < 6; ++r) {
           addCell(b, {20 * mm, (20 + 12 * r) * mm}, labels[(r + v) % 6], dpi);
           addCell(b, {60 * mm, (20 + 12 * r) * mm}, values[(r + v) % 6], dpi);
         }
       }},
      {"form: two pairs a row", false, false,
       [](PageBuilder& b, int mm, int v) {
         const int dpi = mm * 100 / 4;
         for (int r = 0; r < 3; ++r)
           for (int c = 0; c < 2; ++c) {
             const int k = (2 * r + c + v) % 6;
             addCell(b, {(20 + 90 * c) * mm, (20 + 15 * r) * mm}, labels[k], dpi);
             addCell(b, {(45 + 90 * c) * mm, (20 + 15 * r) * mm}, values[k], dpi);
           }
       }},
      {"form: summary table", false, false,
       [](PageBuilder& b, int mm, int v) {
         const int dpi = mm * 100 / 4;
         const int left = 20 * mm, top = 30 * mm, rowH = 11 * mm, rows = 6;
         const int edges[] = {0, 50 * mm, 75 * mm, 110 * mm, 160 * mm};
         for (int r = 0; r <= rows; ++r) b.addRule(QRect(left, top + r * rowH, edges[4] + 2, 2), true);
         for (const int x : edges) b.addRule(QRect(left + x, top, 2, rows * rowH + 2), false);
         const QString header[] = {QStringLiteral("品名"), QStringLiteral("数量"), QStringLiteral("単価"),
                                   QStringLiteral("金額")};
         static const QString items[] = {QStringLiteral("用紙"), QStringLiteral("封筒"), QStringLiteral("印刷"),
                                         QStringLiteral("配送"), QStringLiteral("保管")};
         for (int c = 0; c < 4; ++c) addCell(b, {left + edges[c] + 3 * mm, top + 3 * mm}, header[c], dpi);
         for (int r = 1; r < rows; ++r) {
           const int quantity = 1 + (r * 3 + v * 2) % 9;
           const int price = 120 + 35 * ((r + v) % 5);
           const QString cells[] = {items[(r + v) % 5], QString::number(quantity), QString::number(price),
                                    QString::number(quantity * price)};
           for (int c = 0; c < 4; ++c) addCell(b, {left + edges[c] + 3 * mm, top + r * rowH + 3 * mm}, cells[c], dpi);
         }
       }},
  };
}

// English pages beyond the two of one column: two columns, and a letter with
// a heading.
std::vector<PageKind> englishKinds() {
  return {
      {"en two columns", false, true,
       [](PageBuilder& b, int mm, int v) {
         b.addText({15 * mm, 20 * mm}, kEnglish[v % 2], 10, 36, 30, false, 1.4, kLatinSerif);
         b.addText({110 * mm, 20 * mm}, kEnglish[(v + 1) % 2], 10, 36, 30, false, 1.4, kLatinSerif);
       }},
      {"en letter, heading", false, true,
       [](PageBuilder& b, int mm, int v) {
         b.addText({20 * mm, 20 * mm}, QStringLiteral("Notice of Annual Review"), 16, 23, 1, false, 1.4, kLatinSans);
         b.addText({20 * mm, 40 * mm}, kEnglish[(v + 1) % 2], 10.5, 72, 20, false, 1.5, kLatinSans);
       }},
  };
}

// Japanese pages drawn with the further font families.
std::vector<PageKind> fontKinds(const std::vector<QString>& families) {
  std::vector<PageKind> out;
  for (const QString& family : families) {
    const std::string name = "font " + family.mid(5).toStdString();
    out.push_back({name + ", jp-h", false, false, [family](PageBuilder& b, int mm, int v) {
                     b.addText({20 * mm, 20 * mm}, kJapanese[v % 3], 10.5, 36, 30, false, 1.6, family);
                   }});
    out.push_back({name + ", jp-v", true, false, [family](PageBuilder& b, int mm, int v) {
                     b.addText({185 * mm, 20 * mm}, kJapanese[(v + 1) % 3], 10.5, 40, 25, true, 1.6, family);
                   }});
  }
  return out;
}

std::vector<PageKind> kinds(const std::vector<QString>& fontFamilies) {
  std::vector<PageKind> all = baseKinds();
  for (auto more : {formKinds(), englishKinds(), fontKinds(fontFamilies)})
    all.insert(all.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  return all;
}

int medianGlyphHeight(const RenderedPage& page) {
  std::vector<int> heights;
  for (const auto& block : page.blocks)
    for (const auto& line : block.lines)
      for (const auto& g : line.glyphs)
        if (g.ch.unicode() >= 0x3000) heights.push_back(g.rect.height());
  std::sort(heights.begin(), heights.end());
  return heights.empty() ? 0 : heights[heights.size() / 2];
}

// Our answers for one page.
struct Answer {
  bool vertical = false;
  bool latin = false;
  int charHeight = 0;
  int rulesFound = 0;  // drawn rules and leaders with a line field within 2 px
  std::vector<QRect> lines;  // text lines found (horizontal pages)
  int blocks = 0;
  double ms = 0;
  // The fields of GetLayout (horizontal pages): text blocks in output order
  // and their lines.
  std::vector<QRect> fieldBlocks;
  std::vector<QRect> fieldLines;
  double fieldMs = 0;
};

// The lines and blocks once the block cleaning is done.
std::vector<QRect> g_lines;
int g_blocks = 0;
void keepLines(const layout::LayoutStep& step, short, const layout::LayoutRun& run) {
  if (std::strcmp(step.name, "drop_flat_lines") != 0 && std::strcmp(step.name, "drop_speckled_lines") != 0) return;
  g_lines.clear();
  g_blocks = 0;
  const rect_record* h = run.ctx->textList;
  if (h == nullptr) return;
  for (const rect_record* b = h->next; b != h; b = b->next) {
    ++g_blocks;
    if (b->outer != nullptr)
      for (const rect_record* l = b->outer->next; l != b->outer; l = l->next)
        g_lines.emplace_back(QPoint(l->left, l->top), QPoint(l->right, l->bottom));
  }
}

int truthLines(const RenderedPage& page) {
  int n = 0;
  for (const auto& b : page.blocks) n += static_cast<int>(b.lines.size());
  return n;
}

int linesFoundWhole(const RenderedPage& page, const std::vector<QRect>& found) {
  int n = 0;
  for (const auto& b : page.blocks)
    for (const auto& t : b.lines) {
      const QRect ink = t.glyphs.empty() ? t.rect : [&] {
        QRect r;
        for (const auto& g : t.glyphs) r = r.united(g.rect);
        return r;
      }();
      n += std::any_of(found.begin(), found.end(), [&](const QRect& f) {
        const int middle = f.center().y();
        return middle >= ink.top() && middle <= ink.bottom() && f.intersected(ink).width() * 10 >= ink.width() * 9 &&
               f.height() * 2 <= ink.height() * 3;
      });
    }
  return n;
}

bool fieldNear(const userfld& f, const QRect& r, bool horizontal) {
  const int slack = 2;
  if (horizontal) {
    return std::abs(f.top - r.top()) <= slack && std::abs(f.left - r.left()) <= slack &&
           std::abs(f.right - r.right()) <= slack;
  }
  return std::abs(f.left - r.left()) <= slack && std::abs(f.top - r.top()) <= slack &&
         std::abs(f.bottom - r.bottom()) <= slack;
}

double iou(const QRect& a, const QRect& b) {
  const QRect c = a.intersected(b);
  if (c.isEmpty()) return 0;
  const double common = static_cast<double>(c.width()) * c.height();
  return common / (static_cast<double>(a.width()) * a.height() + static_cast<double>(b.width()) * b.height() - common);
}

QRect inkOf(const testpages::LineTruth& t) {
  if (t.glyphs.empty()) return t.rect;
  QRect r;
  for (const auto& g : t.glyphs) r = r.united(g.rect);
  return r;
}

QRect inkOf(const testpages::BlockTruth& b) {
  QRect r;
  for (const auto& l : b.lines) r = r.united(inkOf(l));
  return r;
}

// Truth items matched by some found rectangle at IoU >= 0.7 (recall), and
// found rectangles that match some truth item (precision).
std::pair<int, int> matchedAt07(const std::vector<QRect>& truth, const std::vector<QRect>& found) {
  int recalled = 0;
  int precise = 0;
  for (const QRect& t : truth)
    recalled += std::any_of(found.begin(), found.end(), [&](const QRect& f) { return iou(t, f) >= 0.7; });
  for (const QRect& f : found)
    precise += std::any_of(truth.begin(), truth.end(), [&](const QRect& t) { return iou(t, f) >= 0.7; });
  return {recalled, precise};
}

// The reading order of the found blocks against the truth's: for each truth
// block the index of the found block that best covers it; exact when every
// block is found and the indices rise; Kendall's tau over the found ones.
std::pair<bool, double> orderScore(const std::vector<QRect>& truth, const std::vector<QRect>& found) {
  std::vector<int> index;
  bool all = true;
  for (const QRect& t : truth) {
    int best = -1;
    double bestIou = 0.3;
    for (std::size_t i = 0; i < found.size(); ++i)
      if (const double v = iou(t, found[i]); v > bestIou) {
        bestIou = v;
        best = static_cast<int>(i);
      }
    if (best < 0) {
      all = false;
      continue;
    }
    index.push_back(best);
  }
  long concordant = 0;
  long discordant = 0;
  for (std::size_t i = 0; i < index.size(); ++i)
    for (std::size_t j = i + 1; j < index.size(); ++j) {
      if (index[i] < index[j]) ++concordant;
      if (index[i] > index[j]) ++discordant;
    }
  const long pairs = concordant + discordant;
  const double tau = pairs == 0 ? 1.0 : static_cast<double>(concordant - discordant) / static_cast<double>(pairs);
  return {all && discordant == 0 && std::adjacent_find(index.begin(), index.end()) == index.end(), tau};
}

// The blocks in the order they are read.  The renderer lists horizontal
// blocks in reading order; a vertical page is read heading first, then tier
// by tier, and what lies outside the tiers (captions, notes) after them.
std::vector<testpages::BlockTruth> readingOrder(const RenderedPage& page, bool vertical) {
  std::vector<testpages::BlockTruth> blocks = page.blocks;
  if (!vertical) return blocks;
  auto rank = [](const testpages::BlockTruth& b) { return b.heading ? 0 : b.tier >= 0 ? 1 + b.tier : 100; };
  std::stable_sort(blocks.begin(), blocks.end(), [&](const auto& x, const auto& y) {
    if (rank(x) != rank(y)) return rank(x) < rank(y);
    return rank(x) == 100 ? x.rect.top() < y.rect.top() : false;
  });
  return blocks;
}

void runGetLayout(RenderedPage& page, Answer* a, int direction) {
  free_fld_list(&layout::layoutState().Sfld);
  free_fld_list(&layout::layoutState().ruleFields);
  ParamBlock params;
  params.setByte(ParamBlock::kLanguageAuto, 1);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
  userfld* list = nullptr;
  int window = 0;
  const auto start = std::chrono::steady_clock::now();
  GetLayout(&window, &params, page.bits.data(), &list, static_cast<short>(page.width), static_cast<short>(page.height),
            static_cast<std::uint16_t>(page.dpi), nullptr, -1);
  a->fieldMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  free_userfld_ring(&list);
  const userfld* sfld = layout::layoutState().Sfld;
  if (sfld == nullptr) return;
  for (const userfld* f = sfld->next; f != sfld; f = f->next) {
    if (f->params.byte(ParamBlock::kFieldKind) != 13 && f->params.byte(ParamBlock::kFieldKind) != 11) continue;
    a->fieldBlocks.emplace_back(QPoint(f->left, f->top), QPoint(f->right, f->bottom));
    if (f->lines != nullptr)
      for (const line_record* l = f->lines->next; l != f->lines; l = l->next)
        a->fieldLines.emplace_back(QPoint(l->left, l->top), QPoint(l->right, l->bottom));
  }
}

// The direction and the character height come from the measuring step of
// an automatic area; the language and the line fields from the pipeline of
// the page's true direction (the vertical pipeline's steps come later, and
// a wrong direction would hide the line fields).
Answer ours(RenderedPage& page, bool vertical, bool mixed) {
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  params.setByte(ParamBlock::kLanguageAuto, 1);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  Answer a;
  const auto start = std::chrono::steady_clock::now();
  {
    layouttest::RegionRun run;
    layouttest::runRegion(run, page, params, nullptr, {false, false, nullptr});
    a.vertical = run.ctx.params.byte(ParamBlock::kDirection) != 0;
    a.charHeight = run.ctx.charHeight;
  }
  params.setByte(ParamBlock::kDirection, vertical ? 1 : 0);
  layouttest::RegionRun run;
  g_lines.clear();
  g_blocks = 0;
  layouttest::runRegion(run, page, params, nullptr, {true, true, vertical ? nullptr : keepLines});
  a.lines = g_lines;
  a.blocks = g_blocks;
  a.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  a.latin = run.ctx.params.word(ParamBlock::kLanguageWord) == 1;
  std::vector<userfld> fields;
  if (run.result.ruleFields != nullptr)
    for (userfld* f = run.result.ruleFields->next; f != run.result.ruleFields; f = f->next) fields.push_back(*f);
  auto found = [&](const QRect& r, bool horizontal) {
    return std::any_of(fields.begin(), fields.end(), [&](const userfld& f) { return fieldNear(f, r, horizontal); });
  };
  for (const auto& rule : page.rules) a.rulesFound += found(rule.rect, rule.horizontal) ? 1 : 0;
  for (const auto& d : page.dotted) a.rulesFound += found(d.rect, d.horizontal) ? 1 : 0;
  runGetLayout(page, &a, mixed ? 2 : vertical ? 1 : 0);
  return a;
}

// Tesseract's answers for the same page.
class Tesseract {
 public:
  bool start() {
    const char* folder = std::getenv("TESSDATA_PREFIX");
    const std::string data = folder != nullptr ? std::string(folder) : "/usr/share/tesseract-ocr/5/tessdata";
    if (layout_.Init(data.c_str(), "jpn", tesseract::OEM_LSTM_ONLY) != 0) return false;
    if (osd_.Init(data.c_str(), "osd", tesseract::OEM_TESSERACT_ONLY) != 0) return false;
    layout_.SetPageSegMode(tesseract::PSM_AUTO);
    osd_.SetPageSegMode(tesseract::PSM_OSD_ONLY);
    return true;
  }
  ~Tesseract() {
    layout_.End();
    osd_.End();
  }

  Answer answer(const RenderedPage& page) {
    Answer a;
    Pix* pix = PixOfPage(page);

    const auto start = std::chrono::steady_clock::now();
    layout_.SetImage(pix);
    layout_.SetSourceResolution(page.dpi);
    std::unique_ptr<tesseract::PageIterator> it(layout_.AnalyseLayout());
    double verticalArea = 0;
    double horizontalArea = 0;
    std::vector<int> heights;
    if (it) {
      do {
        if (!tesseract::PTIsTextType(it->BlockType())) continue;
        int l, t, r, b;
        it->BoundingBox(tesseract::RIL_BLOCK, &l, &t, &r, &b);
        tesseract::Orientation o;
        tesseract::WritingDirection wd;
        tesseract::TextlineOrder order;
        float deskew;
        it->Orientation(&o, &wd, &order, &deskew);
        const double area = static_cast<double>(r - l) * (b - t);
        const bool vertical = wd == tesseract::WRITING_DIRECTION_TOP_TO_BOTTOM ||
                              it->BlockType() == tesseract::PT_VERTICAL_TEXT || o == tesseract::ORIENTATION_PAGE_RIGHT ||
                              o == tesseract::ORIENTATION_PAGE_LEFT;
        (vertical ? verticalArea : horizontalArea) += area;
      } while (it->Next(tesseract::RIL_BLOCK));
      it->Begin();
      do {
        int l, t, r, b;
        if (it->BoundingBox(tesseract::RIL_SYMBOL, &l, &t, &r, &b)) heights.push_back(b - t);
      } while (it->Next(tesseract::RIL_SYMBOL));
      it->Begin();
      do {
        if (!tesseract::PTIsTextType(it->BlockType())) continue;
        ++a.blocks;
        if (int l, t, r, b; it->BoundingBox(tesseract::RIL_BLOCK, &l, &t, &r, &b))
          a.fieldBlocks.emplace_back(QPoint(l, t), QPoint(r - 1, b - 1));
      } while (it->Next(tesseract::RIL_BLOCK));
      it->Begin();
      do {
        int l, t, r, b;
        if (tesseract::PTIsTextType(it->BlockType()) && it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b))
          a.lines.emplace_back(QPoint(l, t), QPoint(r - 1, b - 1));
      } while (it->Next(tesseract::RIL_TEXTLINE));
      a.fieldLines = a.lines;
    }
    a.vertical = verticalArea > horizontalArea;
    std::sort(heights.begin(), heights.end());
    a.charHeight = heights.empty() ? 0 : heights[heights.size() / 2];

    osd_.SetImage(pix);
    osd_.SetSourceResolution(page.dpi);
    int degrees = 0;
    float orientationConfidence = 0;
    const char* script = nullptr;
    float scriptConfidence = 0;
    if (osd_.DetectOrientationScript(&degrees, &orientationConfidence, &script, &scriptConfidence) &&
        script != nullptr) {
      a.latin = std::strcmp(script, "Latin") == 0;
    }
    a.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    layout_.Clear();
    osd_.Clear();
    pixDestroy(&pix);
    return a;
  }

 private:
  tesseract::TessBaseAPI layout_;
  tesseract::TessBaseAPI osd_;
};

struct Tally {
  int pages = 0;
  int directionOurs = 0, directionTess = 0;
  int languageOurs = 0, languageTess = 0;
  int sized = 0;
  double heightErrOurs = 0, heightErrTess = 0;  // sum of |error| in percent
  int heightWithin15Ours = 0, heightWithin15Tess = 0;
  int rules = 0, rulesFound = 0;
  int lines = 0, linesOurs = 0, linesTess = 0;
  int blockPages = 0, blocksOurs = 0, blocksTess = 0;
  double msOurs = 0, msTess = 0;
  // Fields of GetLayout beside Tesseract's lines and blocks.
  int fieldPages = 0;
  int truthLineCount = 0, foundLinesOurs = 0, foundLinesTess = 0;
  int recallOurs = 0, recallTess = 0, preciseOurs = 0, preciseTess = 0;
  int truthBlocks = 0, blockRecallOurs = 0, blockRecallTess = 0;
  int exactOurs = 0, exactTess = 0;
  double tauOurs = 0, tauTess = 0;
  double fieldMs = 0;
  double fieldMsTess = 0;

  void add(const Tally& t) {
    fieldMsTess += t.fieldMsTess;
    fieldPages += t.fieldPages;
    truthLineCount += t.truthLineCount;
    foundLinesOurs += t.foundLinesOurs;
    foundLinesTess += t.foundLinesTess;
    recallOurs += t.recallOurs;
    recallTess += t.recallTess;
    preciseOurs += t.preciseOurs;
    preciseTess += t.preciseTess;
    truthBlocks += t.truthBlocks;
    blockRecallOurs += t.blockRecallOurs;
    blockRecallTess += t.blockRecallTess;
    exactOurs += t.exactOurs;
    exactTess += t.exactTess;
    tauOurs += t.tauOurs;
    tauTess += t.tauTess;
    fieldMs += t.fieldMs;
    pages += t.pages;
    directionOurs += t.directionOurs;
    directionTess += t.directionTess;
    languageOurs += t.languageOurs;
    languageTess += t.languageTess;
    sized += t.sized;
    heightErrOurs += t.heightErrOurs;
    heightErrTess += t.heightErrTess;
    heightWithin15Ours += t.heightWithin15Ours;
    heightWithin15Tess += t.heightWithin15Tess;
    rules += t.rules;
    rulesFound += t.rulesFound;
    lines += t.lines;
    linesOurs += t.linesOurs;
    linesTess += t.linesTess;
    blockPages += t.blockPages;
    blocksOurs += t.blocksOurs;
    blocksTess += t.blocksTess;
    msOurs += t.msOurs;
    msTess += t.msTess;
  }
};

void printRow(const std::string& name, const Tally& t) {
  auto pct = [](int n, int d) { return d == 0 ? 0.0 : 100.0 * n / d; };
  std::printf("%-24s %3d | dir %5.1f%% %5.1f%% | lang %5.1f%% %5.1f%% | ", name.c_str(), t.pages,
              pct(t.directionOurs, t.pages), pct(t.directionTess, t.pages), pct(t.languageOurs, t.pages),
              pct(t.languageTess, t.pages));
  if (t.sized > 0) {
    std::printf("height err %5.1f%% %5.1f%% within15 %5.1f%% %5.1f%% | ", t.heightErrOurs / t.sized,
                t.heightErrTess / t.sized, pct(t.heightWithin15Ours, t.sized), pct(t.heightWithin15Tess, t.sized));
  } else {
    std::printf("%-48s | ", "height -");
  }
  if (t.rules > 0) {
    std::printf("rules %3d/%-3d | ", t.rulesFound, t.rules);
  } else {
    std::printf("%-13s | ", "rules -");
  }
  if (t.lines > 0) {
    std::printf("lines %5.1f%% %5.1f%% blocks %5.1f%% %5.1f%% | ", pct(t.linesOurs, t.lines), pct(t.linesTess, t.lines),
                pct(t.blocksOurs, t.blockPages), pct(t.blocksTess, t.blockPages));
  } else {
    std::printf("%-39s | ", "lines -");
  }
  std::printf("ms %7.1f %7.1f\n", t.msOurs / std::max(1, t.pages), t.msTess / std::max(1, t.pages));
}

void printFieldRow(const std::string& name, const Tally& t) {
  if (t.fieldPages == 0) return;
  auto pct = [](int n, int d) { return d == 0 ? 0.0 : 100.0 * n / d; };
  std::printf("%-24s %3d | line recall %5.1f%% %5.1f%% | precision %5.1f%% %5.1f%% | block recall %5.1f%% %5.1f%% | "
              "exact order %5.1f%% %5.1f%% | tau %5.2f %5.2f | ms %7.1f %7.1f\n",
              name.c_str(), t.fieldPages, pct(t.recallOurs, t.truthLineCount), pct(t.recallTess, t.truthLineCount),
              pct(t.preciseOurs, t.foundLinesOurs), pct(t.preciseTess, t.foundLinesTess),
              pct(t.blockRecallOurs, t.truthBlocks), pct(t.blockRecallTess, t.truthBlocks), pct(t.exactOurs, t.fieldPages),
              pct(t.exactTess, t.fieldPages), t.tauOurs / t.fieldPages, t.tauTess / t.fieldPages, t.fieldMs / t.fieldPages,
              t.fieldMsTess / t.fieldPages);
}


// ------------------------------------------------------------- skewed pages

// Text lines of skewed scans as the program's OCR road finds them (GetLines,
// then GetLayout with the control's default settings) beside Tesseract's
// layout analysis of the same page: the share of drawn lines matched by a
// found line, both as the box around the skewed line, at IoU >= 0.6.
void runSkewedPages(bool quick) {
  std::vector<double> skews = {0, 0.5, -0.5, 1.5, -1.5, 3, -3, 6, -6};
  if (quick) skews = {0, 0.5, -1.5, 3, -6};
  const char* folder = std::getenv("TESSDATA_PREFIX");
  const std::string data = folder != nullptr ? std::string(folder) : "/usr/share/tesseract-ocr/5/tessdata";
  std::printf("\nSkewed pages: text lines found (IoU >= 0.6 of the boxes), ours vs Tesseract\n");
  for (const bool english : {false, true}) {
    tesseract::TessBaseAPI api;
    if (api.Init(data.c_str(), english ? "eng" : "jpn", tesseract::OEM_LSTM_ONLY) != 0) continue;
    for (const double skew : skews) {
      constexpr int kDpi = 300;
      const int mm = kDpi * 4 / 100;
      PageBuilder builder(180 * mm, 150 * mm, kDpi);
      if (english)
        builder.addText({15 * mm, 15 * mm},
                        QStringLiteral("The quick brown fox jumps over the lazy dog while the committee reviews its budget. "),
                        10, 64, 9, false, 1.4, kLatinSerif);
      else
        builder.addText({15 * mm, 15 * mm}, kJapanese[2], 10.5, 32, 10);
      RenderedPage page = builder.render(skew);
      std::vector<QRect> truth;
      for (const auto& block : page.blocks)
        for (const auto& line : block.lines) truth.push_back(line.rect);
      // Ours.
      free_fld_list(&layout::layoutState().Sfld);
      ParamBlock params;
      params.setByte(ParamBlock::kDirection, 3);
      params.setByte(ParamBlock::kNoVerticalMargin, 1);
      params.setByte(ParamBlock::kNoHorizontalMargin, 1);
      params.setByte(ParamBlock::kLineEnds, 1);
      int window = 0;
      std::uint16_t h = 0, v = 0;
      const auto w = static_cast<short>(page.width);
      const auto ht = static_cast<short>(page.height);
      GetLines(&window, page.bits.data(), w, ht, kDpi, &h, &v);
      userfld* list = nullptr;
      GetLayout(&window, &params, page.bits.data(), &list, w, ht, kDpi, nullptr, -1);
      std::vector<QRect> ours;
      if (userfld* sfld = layout::layoutState().Sfld; sfld != nullptr)
        for (userfld* f = sfld->next; f != sfld; f = f->next)
          if (f->lines != nullptr)
            for (line_record* l = f->lines->next; l != f->lines; l = l->next)
              ours.emplace_back(QPoint(l->left, l->top), QPoint(l->right, l->bottom));
      free_Sfld_all(&list);
      // Tesseract's layout analysis.
      Pix* pix = PixOfPage(page);
      api.SetImage(pix);
      api.SetSourceResolution(kDpi);
      std::vector<QRect> theirs;
      if (tesseract::PageIterator* it = api.AnalyseLayout(); it != nullptr) {
        do {
          int l, t, r, b;
          if (it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b))
            theirs.emplace_back(QPoint(l, t), QPoint(r - 1, b - 1));
        } while (it->Next(tesseract::RIL_TEXTLINE));
        delete it;
      }
      api.Clear();
      pixDestroy(&pix);
      auto found = [&](const std::vector<QRect>& lines) {
        int n = 0;
        for (const QRect& t : truth)
          n += std::any_of(lines.begin(), lines.end(), [&](const QRect& f) { return iou(t, f) >= 0.6; });
        return n;
      };
      std::printf("  %s skewed %5.1f: %2zu lines drawn | ours %2d found (%2zu lines) | tess %2d found (%2zu lines)\n",
                  english ? "en" : "jp", skew, truth.size(), found(ours), ours.size(), found(theirs), theirs.size());
    }
    api.End();
  }
}

// Vertical pages with a ruled table, a picture and headings of two
// characters (tests/support/vertical_table_page.h), in two font families,
// through GetLines and GetLayout as the OCR control runs them (the page's
// direction given), beside Tesseract's layout analysis with jpn_vert:
//   cells     table cells whose text a cell field (ours) or a text line
//             (Tesseract) covers at IoU >= 0.5
//   in order  pages whose found cells come in the truth's order (column by
//             column from the right, each from the top)
//   picture   pages whose picture is one figure field (an image block) at
//             IoU >= 0.7 and lies under no text field (text line)
//   headings  headings found as a column (text line) at IoU >= 0.7
//   columns   all drawn columns found at IoU >= 0.7
struct TablePageTally {
  int pages = 0;
  int cells = 0, cellsOurs = 0, cellsTess = 0;
  int orderOurs = 0, orderTess = 0;
  int pictureOurs = 0, pictureTess = 0;
  int headings = 0, headingsOurs = 0, headingsTess = 0;
  int columns = 0, columnsOurs = 0, columnsTess = 0;
  double msOurs = 0, msTess = 0;

  void add(const TablePageTally& t) {
    pages += t.pages;
    cells += t.cells;
    cellsOurs += t.cellsOurs;
    cellsTess += t.cellsTess;
    orderOurs += t.orderOurs;
    orderTess += t.orderTess;
    pictureOurs += t.pictureOurs;
    pictureTess += t.pictureTess;
    headings += t.headings;
    headingsOurs += t.headingsOurs;
    headingsTess += t.headingsTess;
    columns += t.columns;
    columnsOurs += t.columnsOurs;
    columnsTess += t.columnsTess;
    msOurs += t.msOurs;
    msTess += t.msTess;
  }
};

// What one reader made of a page: text regions with their kind, lines, and
// pictures, in output order.
struct TablePageAnswer {
  std::vector<QRect> cells;     // ours: cell fields; Tesseract: text lines
  std::vector<QRect> lines;     // columns of text
  std::vector<QRect> texts;     // text fields or text blocks
  std::vector<QRect> pictures;  // figure fields or image blocks
  double ms = 0;
};

QRect rectOfField(const userfld& f) { return QRect(QPoint(f.left, f.top), QPoint(f.right, f.bottom)); }

TablePageAnswer oursOnTablePage(RenderedPage& page) {
  TablePageAnswer a;
  free_fld_list(&layout::layoutState().Sfld);
  free_fld_list(&layout::layoutState().ruleFields);
  ParamBlock params;
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  params.setByte(ParamBlock::kDirection, 1);
  userfld* list = nullptr;
  int window = 0;
  const auto start = std::chrono::steady_clock::now();
  GetLines(&window, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
           static_cast<std::uint16_t>(page.dpi), nullptr, nullptr);
  GetLayout(&window, &params, page.bits.data(), &list, static_cast<short>(page.width), static_cast<short>(page.height),
            static_cast<std::uint16_t>(page.dpi), nullptr, -1);
  a.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  free_userfld_ring(&list);
  const userfld* sfld = layout::layoutState().Sfld;
  if (sfld == nullptr) return a;
  for (const userfld* f = sfld->next; f != sfld; f = f->next) {
    const int kind = f->params.byte(ParamBlock::kFieldKind);
    if (kind == 10) a.pictures.push_back(rectOfField(*f));
    if (kind != 13 && kind != 11) continue;
    a.texts.push_back(rectOfField(*f));
    if (kind == 11) a.cells.push_back(rectOfField(*f));
    if (f->lines != nullptr)
      for (const line_record* l = f->lines->next; l != f->lines; l = l->next)
        a.lines.emplace_back(QPoint(l->left, l->top), QPoint(l->right, l->bottom));
  }
  return a;
}

TablePageAnswer tesseractOnTablePage(tesseract::TessBaseAPI& api, const RenderedPage& page) {
  TablePageAnswer a;
  Pix* pix = PixOfPage(page);
  const auto start = std::chrono::steady_clock::now();
  api.SetPageSegMode(tesseract::PSM_AUTO);
  api.SetImage(pix);
  api.SetSourceResolution(page.dpi);
  std::unique_ptr<tesseract::PageIterator> it(api.AnalyseLayout());
  if (it) {
    do {
      int l, t, r, b;
      if (!it->BoundingBox(tesseract::RIL_BLOCK, &l, &t, &r, &b)) continue;
      const QRect box(QPoint(l, t), QPoint(r - 1, b - 1));
      if (tesseract::PTIsImageType(it->BlockType())) a.pictures.push_back(box);
      if (tesseract::PTIsTextType(it->BlockType())) a.texts.push_back(box);
    } while (it->Next(tesseract::RIL_BLOCK));
    it->Begin();
    do {
      int l, t, r, b;
      if (tesseract::PTIsTextType(it->BlockType()) && it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b))
        a.lines.emplace_back(QPoint(l, t), QPoint(r - 1, b - 1));
    } while (it->Next(tesseract::RIL_TEXTLINE));
    a.cells = a.lines;
  }
  a.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  api.Clear();
  pixDestroy(&pix);
  return a;
}

void scoreTablePage(const RenderedPage& page, const testpages::VerticalTablePage& layout, const TablePageAnswer& a,
                    int* cells, int* inOrder, int* picture, int* headings, int* columns) {
  auto bestMatch = [](const QRect& truth, const std::vector<QRect>& found, double least) {
    int best = -1;
    for (std::size_t i = 0; i < found.size(); ++i)
      if (const double v = iou(truth, found[i]); v >= least) {
        least = v;
        best = static_cast<int>(i);
      }
    return best;
  };
  std::vector<int> order;
  bool all = true;
  for (const testpages::BlockTruth* cell : testpages::cellBlocks(page, layout)) {
    const int i = bestMatch(inkOf(*cell), a.cells, 0.5);
    if (i < 0) {
      all = false;
      continue;
    }
    ++*cells;
    order.push_back(i);
  }
  *inOrder += all && std::is_sorted(order.begin(), order.end()) &&
              std::adjacent_find(order.begin(), order.end()) == order.end();
  bool covered = false;
  for (const QRect& t : a.texts) {
    const QRect common = t.intersected(layout.picture);
    covered = covered || (!common.isEmpty() && common.width() * 2 >= t.width() && common.height() * 2 >= t.height());
  }
  *picture += !covered && bestMatch(layout.picture, a.pictures, 0.7) >= 0;
  for (const auto& block : page.blocks) {
    for (const auto& line : block.lines) {
      const bool found = bestMatch(inkOf(line), a.lines, 0.7) >= 0;
      *columns += found;
      if (block.heading) *headings += found;
    }
  }
}

void evaluateVerticalTablePages(const std::vector<int>& dpis) {
  tesseract::TessBaseAPI vertical;
  const char* folder = std::getenv("TESSDATA_PREFIX");
  const std::string data = folder != nullptr ? std::string(folder) : "/usr/share/tesseract-ocr/5/tessdata";
  if (vertical.Init(data.c_str(), "jpn_vert", tesseract::OEM_LSTM_ONLY) != 0) {
    std::fprintf(stderr, "layout_eval: Tesseract (jpn_vert) could not be started\n");
    return;
  }
  std::printf("\nVertical pages with a ruled table, a picture and two-character headings (GetLines + GetLayout, "
              "direction given; Tesseract jpn_vert), ours vs tess:\n");
  std::printf("%-24s %3s | %-15s | %-11s | %-11s | %-15s | %-15s | %s\n", "font", "n", "cells", "in order", "picture",
              "headings", "columns", "ms/page");
  auto print = [](const std::string& name, const TablePageTally& t) {
    std::printf("%-24s %3d | %3d %3d of %3d | %2d %2d of %2d | %2d %2d of %2d | %3d %3d of %3d | %4d %4d of %4d | %7.1f %7.1f\n",
                name.c_str(), t.pages, t.cellsOurs, t.cellsTess, t.cells, t.orderOurs, t.orderTess, t.pages,
                t.pictureOurs, t.pictureTess, t.pages, t.headingsOurs, t.headingsTess, t.headings, t.columnsOurs,
                t.columnsTess, t.columns, t.msOurs / std::max(1, t.pages), t.msTess / std::max(1, t.pages));
  };
  TablePageTally all;
  for (const QString& family : {kSans, kSerif}) {
    TablePageTally t;
    int variant = 0;
    for (const int dpi : dpis) {
      for (int v = 0; v < 3; ++v) {
        const int mm = dpi * 4 / 100;
        PageBuilder builder(210 * mm, 297 * mm, dpi);
        const testpages::VerticalTablePage layout = testpages::addVerticalTablePage(builder, mm, 210, variant++, family);
        RenderedPage page = builder.render();
        const TablePageAnswer ours = oursOnTablePage(page);
        const TablePageAnswer tess = tesseractOnTablePage(vertical, page);
        ++t.pages;
        t.cells += static_cast<int>(testpages::cellBlocks(page, layout).size());
        for (const auto& block : page.blocks) {
          t.columns += static_cast<int>(block.lines.size());
          if (block.heading) t.headings += static_cast<int>(block.lines.size());
        }
        if (std::getenv("LAYOUT_EVAL_DUMP") != nullptr) {
          auto dump = [](const char* who, const char* what, const std::vector<QRect>& rs) {
            for (const QRect& r : rs) std::printf("  %s %s %d,%d-%d,%d\n", who, what, r.left(), r.top(), r.right(), r.bottom());
          };
          dump("ours", "cell", ours.cells);
          dump("ours", "picture", ours.pictures);
          dump("tess", "line", tess.lines);
          dump("tess", "text", tess.texts);
          dump("tess", "picture", tess.pictures);
          std::printf("  table %d,%d-%d,%d picture %d,%d-%d,%d\n", layout.table.left(), layout.table.top(),
                      layout.table.right(), layout.table.bottom(), layout.picture.left(), layout.picture.top(),
                      layout.picture.right(), layout.picture.bottom());
        }
        scoreTablePage(page, layout, ours, &t.cellsOurs, &t.orderOurs, &t.pictureOurs, &t.headingsOurs, &t.columnsOurs);
        scoreTablePage(page, layout, tess, &t.cellsTess, &t.orderTess, &t.pictureTess, &t.headingsTess, &t.columnsTess);
        t.msOurs += ours.ms;
        t.msTess += tess.ms;
      }
    }
    print(family.toStdString(), t);
    all.add(t);
  }
  print("all", all);
  vertical.End();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("OMP_THREAD_LIMIT", "1", 0);
  QGuiApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const std::vector<int> dpis = quick ? std::vector<int>{300} : std::vector<int>{200, 300, 400};

  Tesseract tesseract;
  if (!tesseract.start()) {
    std::fprintf(stderr, "layout_eval: Tesseract (jpn, osd) could not be started\n");
    return 2;
  }
  if (InitLayout("/nowhere", "/nowhere", 0) != 1) return 2;
  if (std::any_of(argv + 1, argv + argc, [](const char* a) { return std::strcmp(a, "--vertical-table") == 0; })) {
    evaluateVerticalTablePages(dpis);
    CloseAlloc();
    return 0;
  }
  const std::vector<QString> fontFamilies = registerEvalFonts();
  if (fontFamilies.size() < evalFonts().size())
    std::printf("(%zu of %zu further font families found: run setup.sh to unpack them)\n", fontFamilies.size(),
                evalFonts().size());

  std::printf("%-24s %3s | %-17s | %-17s | %-48s | %-13s | %-39s | %s\n", "kind", "n", "direction ours tess",
              "language ours tess", "char height: mean |error|, share within 15 %, ours tess", "rules found",
              "text lines found whole, block count right", "ms/page ours tess");
  Tally total;
  Tally horizontal, vertical, mixed;
  std::vector<std::pair<std::string, Tally>> fieldRows;
  int variant = 0;
  for (const PageKind& kind : kinds(fontFamilies)) {
    Tally t;
    for (int dpi : dpis) {
      const int mm = dpi * 4 / 100;
      PageBuilder builder(210 * mm, 297 * mm, dpi);
      kind.draw(builder, mm, variant++);
      RenderedPage page = builder.render();
      const Answer a = ours(page, kind.vertical, kind.mixed);
      const Answer b = tesseract.answer(page);
      ++t.pages;
      t.directionOurs += a.vertical == kind.vertical;
      t.directionTess += b.vertical == kind.vertical;
      t.languageOurs += a.latin == kind.latin;
      t.languageTess += b.latin == kind.latin;
      if (const int truth = medianGlyphHeight(page); truth > 0) {
        ++t.sized;
        const double errOurs = 100.0 * std::abs(a.charHeight - truth) / truth;
        const double errTess = 100.0 * std::abs(b.charHeight - truth) / truth;
        t.heightErrOurs += errOurs;
        t.heightErrTess += errTess;
        t.heightWithin15Ours += errOurs <= 15;
        t.heightWithin15Tess += errTess <= 15;
      }
      t.rules += static_cast<int>(page.rules.size() + page.dotted.size());
      t.rulesFound += a.rulesFound;
      if (!kind.vertical) {
        t.lines += truthLines(page);
        t.linesOurs += linesFoundWhole(page, a.lines);
        t.linesTess += linesFoundWhole(page, b.lines);
        ++t.blockPages;
        t.blocksOurs += a.blocks == static_cast<int>(page.blocks.size());
        t.blocksTess += b.blocks == static_cast<int>(page.blocks.size());
      }
      {
        std::vector<QRect> truthLineRects;
        std::vector<QRect> truthBlockRects;
        for (const auto& blk : readingOrder(page, kind.vertical)) {
          truthBlockRects.push_back(inkOf(blk));
          for (const auto& l : blk.lines) truthLineRects.push_back(inkOf(l));
        }
        ++t.fieldPages;
        t.truthLineCount += static_cast<int>(truthLineRects.size());
        t.foundLinesOurs += static_cast<int>(a.fieldLines.size());
        t.foundLinesTess += static_cast<int>(b.fieldLines.size());
        const auto [ro, po] = matchedAt07(truthLineRects, a.fieldLines);
        const auto [rt, pt] = matchedAt07(truthLineRects, b.fieldLines);
        t.recallOurs += ro;
        t.preciseOurs += po;
        t.recallTess += rt;
        t.preciseTess += pt;
        t.truthBlocks += static_cast<int>(truthBlockRects.size());
        t.blockRecallOurs += matchedAt07(truthBlockRects, a.fieldBlocks).first;
        t.blockRecallTess += matchedAt07(truthBlockRects, b.fieldBlocks).first;
        const auto [eo, to] = orderScore(truthBlockRects, a.fieldBlocks);
        const auto [et, tt] = orderScore(truthBlockRects, b.fieldBlocks);
        t.exactOurs += eo;
        t.exactTess += et;
        t.tauOurs += to;
        t.tauTess += tt;
        t.fieldMs += a.fieldMs;
        t.fieldMsTess += b.ms;
      }
      t.msOurs += a.ms;
      t.msTess += b.ms;
    }
    printRow(kind.name, t);
    total.add(t);
    (kind.mixed ? mixed : kind.vertical ? vertical : horizontal).add(t);
    fieldRows.emplace_back(kind.name, t);
  }
  printRow("all", total);
  std::printf("\nFields of GetLayout, ours vs Tesseract, IoU >= 0.7 (lines: text lines, or columns of vertical "
              "text):\n");
  for (const auto& [name, t] : fieldRows) printFieldRow(name, t);
  printFieldRow("all horizontal", horizontal);
  printFieldRow("all vertical", vertical);
  printFieldRow("all mixed", mixed);
  runSkewedPages(quick);
  evaluateVerticalTablePages(dpis);
  CloseAlloc();
  return 0;
}
