// Thumbnails in the catalogue.

#include "tests/catalogue/catalogue_ops_fixture.h"

using namespace cataloguetest;

namespace {

class ThumbTest : public CatalogueOpsTest {
 protected:
  static ThumbInfo thumb(int itemNo, int size, std::uint8_t fill) {
    ThumbInfo info;
    info.ItemNo = itemNo;
    info.ThumbDateTime = QDateTime(QDate(2026, 12, 10), QTime(9, 30, 15));
    info.ThumbSizeX = size;
    info.ThumbSizeY = size / 2;
    info.ThumbData = DbBytes(3000, fill);
    info.ThumbData[0] = 0;  // the bytes are opaque, zeros included
    return info;
  }
};

TEST_F(ThumbTest, WriteReadReplaceAndRemove) {
  seedAndOpen([](CatalogueRows& rows) { rows.addItem({.itemNo = 1, .title = "a"}); });
  ThumbInfo out;
  int found = -1;
  ASSERT_EQ(db.GetThumbInfo(1, out, found), 0);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(out.ItemNo, 1);
  EXPECT_EQ(out.ThumbSizeX + out.ThumbSizeY, 0);

  ASSERT_EQ(db.SetThumbInfo(thumb(1, 80, 0x11)), 0);
  const ThumbInfo later = thumb(1, 120, 0x22);
  ASSERT_EQ(db.SetThumbInfo(later), 0);
  EXPECT_EQ(query("SELECT count(*) FROM ThumbMST"), "1");
  ASSERT_EQ(db.GetThumbInfo(1, out, found), 0);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(out.ThumbSizeX, 120);
  EXPECT_EQ(out.ThumbSizeY, 60);
  EXPECT_EQ(out.ThumbDateTime, later.ThumbDateTime);
  EXPECT_EQ(out.ThumbData, later.ThumbData);

  int x = 0, y = 0;
  QDateTime made;
  ASSERT_EQ(db.GetThumbSizeDate(1, x, y, made, found), 0);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(x, 120);
  EXPECT_EQ(y, 60);
  EXPECT_EQ(made, later.ThumbDateTime);

  ASSERT_EQ(db.UnregisterThumb(1), 0);
  ASSERT_EQ(db.UnregisterThumb(1), 0);
  ASSERT_EQ(db.GetThumbSizeDate(1, x, y, made, found), 0);
  EXPECT_EQ(found, 0);
}

TEST_F(ThumbTest, GuardsLikeEveryOtherOperation) {
  open(true);
  ThumbInfo out;
  int found = 0, x = 0, y = 0;
  QDateTime made;
  EXPECT_EQ(db.GetThumbInfo(1, out, found), 0);
  EXPECT_EQ(db.SetThumbInfo(thumb(1, 10, 1)), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。: SetThumbInfo");
  EXPECT_EQ(db.UnregisterThumb(1), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。: UnregisterThumb");
  ASSERT_EQ(db.CloseFolder(), 0);
  EXPECT_EQ(db.SetThumbInfo(thumb(1, 10, 1)), 40);
  EXPECT_EQ(db.UnregisterThumb(1), 40);
  EXPECT_EQ(db.GetThumbInfo(1, out, found), 40);
  EXPECT_EQ(db.GetThumbSizeDate(1, x, y, made, found), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: GetThumbSizeDate");
}

}  // namespace
