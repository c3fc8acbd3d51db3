#include "tests/support/vertical_table_page.h"

#include <QStringList>

#include <algorithm>

namespace testpages {

namespace {

const QString kHeadings[][2] = {
    {QStringLiteral("説明"), QStringLiteral("概要")},
    {QStringLiteral("目的"), QStringLiteral("方法")},
    {QStringLiteral("結果"), QStringLiteral("考察")},
};

const QString kPassages[] = {
    QStringLiteral("縦書きの文書には表や写真が入ることがあります。表の升目の文字は右の列から順に読みます。"
                   "写真は文字として読まず、図のまま残します。"),
    QStringLiteral("会議の議事録は三日以内に提出してください。添付資料の番号と日付を確認のうえ保存します。"
                   "控えは総務部で一年間保管します。"),
    QStringLiteral("春はあけぼの。やうやう白くなりゆく山ぎは、少しあかりて、紫だちたる雲の細くたなびきたる。"
                   "夏は夜。月のころはさらなり。"),
};

// Column by column from the right; the right column holds the names of the
// rows.
const QString kCells[][9] = {
    {QStringLiteral("品名"), QStringLiteral("数量"), QStringLiteral("単価"), QStringLiteral("用紙"),
     QStringLiteral("五冊"), QStringLiteral("三百円"), QStringLiteral("封筒"), QStringLiteral("十枚"),
     QStringLiteral("八十円")},
    {QStringLiteral("氏名"), QStringLiteral("部署"), QStringLiteral("内線"), QStringLiteral("山田"),
     QStringLiteral("総務"), QStringLiteral("二一五"), QStringLiteral("佐藤"), QStringLiteral("経理"),
     QStringLiteral("三〇八")},
    {QStringLiteral("日付"), QStringLiteral("場所"), QStringLiteral("議題"), QStringLiteral("五月"),
     QStringLiteral("本社"), QStringLiteral("予算"), QStringLiteral("六月"), QStringLiteral("支店"),
     QStringLiteral("人事")},
};

const FigureKind kPictures[] = {FigureKind::Photo, FigureKind::Drawing, FigureKind::Hatched};

}  // namespace

VerticalTablePage addVerticalTablePage(PageBuilder& b, int mm, int widthMm, int variant, const QString& family) {
  const int v = ((variant % 3) + 3) % 3;
  const int right = (widthMm - 10) * mm;
  VerticalTablePage page;
  page.headings = {kHeadings[v][0], kHeadings[v][1]};

  // The upper band: heading, passage, and the table left of the passage.
  const int upper = 10 * mm;
  b.addHeading({right - 6 * mm, upper}, kHeadings[v][0], 16, true, family);
  b.addVerticalTiers({right - 9 * mm, upper}, kPassages[v], 10.5, 14, 7, 1, 0, 1.6, family);

  constexpr int kColumns = 3;
  constexpr int kRows = 3;
  const int cellW = 12 * mm;
  const int cellH = 18 * mm;
  const int tableRight = right - 56 * mm;
  const int tableLeft = tableRight - kColumns * cellW;
  const int rule = std::max(2, mm / 4);
  page.table = QRect(QPoint(tableLeft, upper), QPoint(tableRight + rule - 1, upper + kRows * cellH + rule - 1));
  for (int r = 0; r <= kRows; ++r) b.addRule(QRect(tableLeft, upper + r * cellH, kColumns * cellW + rule, rule), true);
  for (int c = 0; c <= kColumns; ++c) b.addRule(QRect(tableLeft + c * cellW, upper, rule, kRows * cellH + rule), false);
  for (int c = 0; c < kColumns; ++c) {
    const int cellRight = tableRight - c * cellW;
    for (int r = 0; r < kRows; ++r) {
      const int cellTop = upper + r * cellH;
      page.cells.emplace_back(QPoint(cellRight - cellW + rule, cellTop + rule), QPoint(cellRight - 1, cellTop + cellH - 1));
      const QString& text = kCells[v][c * kRows + r];
      b.addText({cellRight - cellW + 4 * mm, cellTop + 3 * mm}, text, 10.5, static_cast<int>(text.size()), 1, true,
                1.6, family);
    }
  }

  // The lower band: heading, passage, and the picture left of the passage.
  const int lower = 76 * mm;
  b.addHeading({right - 6 * mm, lower}, kHeadings[v][1], 16, true, family);
  b.addVerticalTiers({right - 9 * mm, lower}, kPassages[(v + 1) % 3], 10.5, 14, 7, 1, 0, 1.6, family);
  page.picture = QRect(right - 95 * mm, lower + 4 * mm, 40 * mm, 48 * mm);
  b.addFigure(page.picture, kPictures[v]);
  return page;
}

std::vector<const BlockTruth*> cellBlocks(const RenderedPage& page, const VerticalTablePage& layout) {
  std::vector<const BlockTruth*> cells;
  for (const BlockTruth& block : page.blocks)
    if (layout.table.contains(block.rect)) cells.push_back(&block);
  return cells;
}

}  // namespace testpages
