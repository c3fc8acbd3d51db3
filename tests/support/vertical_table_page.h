// A vertical page of the kind that office papers in vertical writing are:
// two passages, each under a heading of two characters, a ruled table of
// short vertical labels beside the upper passage and a picture beside the
// lower one.  The tests and the evaluation programs draw it the same way.
//
// The blocks are added in reading order (heading, passage, table cells of
// the upper band; heading, passage of the lower band), so the truth's
// blocks are the text in the order it is read.  Table cells are read column
// by column from the right, each column from the top.  The picture holds
// no text.
#pragma once

#include "tests/support/page_renderer.h"

#include <QRect>
#include <QString>

#include <vector>

namespace testpages {

struct VerticalTablePage {
  QRect table;                 // the ruled frame
  std::vector<QRect> cells;    // inside the rules, in reading order
  QRect picture;
  std::vector<QString> headings;
};

// Draws the page into `b` (`mm`: pixels per library millimetre) along the
// right edge of a page `widthMm` wide: it takes 130 mm across and 130 mm
// down from 10 mm below the top.  `variant` changes the texts and the
// picture's kind.
VerticalTablePage addVerticalTablePage(PageBuilder& b, int mm, int widthMm, int variant,
                                       const QString& family = kCjkFamily);

// The truth blocks of the table's cells (those inside its frame), in page
// order, which is their reading order.
std::vector<const BlockTruth*> cellBlocks(const RenderedPage& page, const VerticalTablePage& layout);

}  // namespace testpages
