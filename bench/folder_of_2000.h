#pragma once
// The folder the document and board benchmarks open: 2000 items, 40 stacks
// of 5 pages and 1800 single items, each with a stored 96 x 128 GIF
// thumbnail made in the far future (never older than its file).

#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/thumbnail_fixture.h"
#include "tests/support/test_env.h"

#include <QImage>
#include <QPainter>

#include <stdexcept>
#include <string>

namespace benchfolder {

inline constexpr int kItems = 2000;
inline constexpr int kPagesPerStack = 5;
inline constexpr int kStacks = 40;  // 200 pages; the rest are single items
inline constexpr int kEntries = kStacks + kItems - kStacks * kPagesPerStack;

inline void WriteFolderOf2000Items(const std::string& folder) {
  QImage page(96, 128, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  painter.fillRect(6, 6, 84, 12, QColor(30, 90, 200));
  for (int y = 26; y < 120; y += 6) painter.drawLine(8, y, 88 - (y % 30), y);
  painter.end();
  const DbBytes gif = thumbnailtest::gifThumbnail(page, testsupport::privateRoot());
  if (gif.empty()) throw std::runtime_error("cannot make a GIF thumbnail");

  cataloguetest::makeCatalogueFolder(folder);
  cataloguetest::CatalogueRows rows(folder);
  rows.db().executeScript("BEGIN;");
  int itemNo = 1;
  for (int s = 1; s <= kStacks; ++s) {
    rows.addStack(s, "束" + std::to_string(s), 1);
    for (int p = 1; p <= kPagesPerStack; ++p)
      rows.addItem({.itemNo = itemNo++, .title = "束" + std::to_string(s) + "の" + std::to_string(p) + "頁目",
                    .ext = "bmp", .stackNo = s, .pageNo = p});
  }
  while (itemNo <= kItems) {
    rows.addItem({.itemNo = itemNo, .title = "書類" + std::to_string(itemNo), .ext = "bmp"});
    ++itemNo;
  }
  for (int i = 1; i <= kItems; ++i)
    rows.db().execute(
        "INSERT INTO ThumbMST(ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) "
        "VALUES(?, '2099-12-10 10:00:00', 96, 128, ?)",
        i, gif);
  rows.db().executeScript("COMMIT;");
}

}  // namespace benchfolder
