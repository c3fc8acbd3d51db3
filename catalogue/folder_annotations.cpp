// Annotation boxes of image items: one AnnBoxMST row per box.
//
//   AddAnnBox, AddAnnBoxAdd   delete an item's boxes; add one box
//   SaveAnnBoxes              both in one transaction (what the viewer saves with)
//   HasAnnBoxes               whether an item has any box
//   GetAnnBoxFirst/Next/Post  the boxes of one item
//
// FontName and BoxString are stored with every apostrophe as byte 0x01 and
// every vertical bar as 0x02, the stored form of the attribute texts, which
// other readers of the catalogue expect; the records hold the real text.
// Values travel as bound parameters, so no text can change a statement.

#include "catalogue/folder_annotations.h"

#include "catalogue/catalogue_text.h"

namespace {

constexpr const char* kInsertBox =
    "INSERT INTO AnnBoxMST(ItemNo,BoxTop,BoxLeft,BoxRight,BoxBottom,FontName,FontSize,ForeColor,"
    "BackColor,FontBold,FontCharSet,FontFamily,AnnType,AnnParam1,AnnParam2,AnnParam3,FontItalic,"
    "FontUnderline,FontStrikeOut,BoxString) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

void insertBox(SqliteDatabase& db, const AnnBox& box, std::int32_t itemNo) {
  db.execute(kInsertBox, itemNo, box.BoxTop, box.BoxLeft, box.BoxRight, box.BoxBottom,
             catalogue::toStoredAttribute(box.FontName), box.FontSize, box.ForeColor,
             box.BackColor, box.FontBold, box.FontCharSet, box.FontFamily, box.AnnType,
             box.AnnParam1, box.AnnParam2, box.AnnParam3, box.FontItalic != 0,
             box.FontUnderline != 0, box.FontStrikeOut != 0,
             catalogue::toStoredAttribute(box.BoxString));
}

}  // namespace

int FolderAnnotations::AddAnnBox(int itemNo) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: AddAnnBox",
                                                   "リードオンリーです。: AddAnnBox"))
    return refused;
  return connection_.guard("DAOエラーです。: AddAnnBox", "MemoryException: AddAnnBox", [&] {
    connection_.db().execute("DELETE FROM AnnBoxMST WHERE ItemNo = ?", itemNo);
    return dbresult::kOk;
  });
}

int FolderAnnotations::AddAnnBoxAdd(const AnnBox& box) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: AddAnnBoxAdd",
                                                   "リードオンリーです。: AddAnnBoxAdd"))
    return refused;
  return connection_.guard("DAOエラーです。: AddAnnBoxAdd", "MemoryException: AddAnnBoxAdd", [&] {
    insertBox(connection_.db(), box, box.ItemNo);
    return dbresult::kOk;
  });
}

int FolderAnnotations::SaveAnnBoxes(int itemNo, std::span<const AnnBox> boxes) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: AddAnnBox",
                                                   "リードオンリーです。: AddAnnBox"))
    return refused;
  return connection_.guard("DAOエラーです。: AddAnnBox", "MemoryException: AddAnnBox", [&] {
    Transaction transaction(connection_.db());
    connection_.db().execute("DELETE FROM AnnBoxMST WHERE ItemNo = ?", itemNo);
    for (const AnnBox& box : boxes) insertBox(connection_.db(), box, itemNo);
    transaction.commit();
    return dbresult::kOk;
  });
}

int FolderAnnotations::HasAnnBoxes(int itemNo, int& has) {
  has = 0;
  // Reading needs an open catalogue only.
  if (!connection_.isOpen())
    return connection_.fail(dbresult::kNotOpen, "DBがオープンされていません。: AddAnnBox");
  return connection_.guard("DAOエラーです。: AddAnnBox", "MemoryException: AddAnnBox", [&] {
    Statement probe(connection_.db(), "SELECT 1 FROM AnnBoxMST WHERE ItemNo = ? LIMIT 1");
    probe.bindAll(itemNo);
    has = probe.step() ? 1 : 0;
    return dbresult::kOk;
  });
}

namespace {

constexpr EnumerationTexts kAnnBoxEnumeration{
    "DBがオープンされていません。: AddAnnBox",
    "DAOエラーです。: GetAnnBoxFirst",
    "MemoryException: GetAnnBoxFirst",
    dbresult::kEnumeration,
    "GetAnnBoxFirstが呼ばれていません。: GetAnnBoxNext",
    "DAOエラーです。: GetAnnBoxNext",
    "MemoryException: GetAnnBoxNext",
    dbresult::kEnumeration,
    "GetAnnBoxFirstが呼ばれていません。: GetAnnBoxPost",
};

}  // namespace

int FolderAnnotations::GetAnnBoxFirst(int itemNo) {
  if (connection_.isOpen() && boxes_.running())
    return connection_.fail(dbresult::kEnumeration, "すでにオープンされています。: AddAnnBox");
  return connection_.first(boxes_, kAnnBoxEnumeration, [&](AnnBoxRecordset& reader) {
    // Boxes in the order they were added, so a page draws them as saved.
    reader.open(OpenType::Snapshot, "SELECT * FROM AnnBoxMST WHERE ItemNo = ? ORDER BY ID", itemNo);
  });
}

int FolderAnnotations::GetAnnBoxNext(AnnBox& box) {
  int end = 0;
  return connection_.next(
      boxes_, kAnnBoxEnumeration, end, [&] { box.ItemNo = 0; },
      [&](const AnnBoxRecordset& reader) {
    const AnnBoxFields& row = reader.current();
    box.AnnType = row.AnnType;
    box.ItemNo = row.ItemNo;
    box.BoxLeft = row.BoxLeft;
    box.BoxTop = row.BoxTop;
    box.BoxRight = row.BoxRight;
    box.BoxBottom = row.BoxBottom;
    box.FontName = catalogue::fromStoredAttribute(row.FontName);
    box.FontSize = row.FontSize;
    box.FontBold = row.FontBold;
    box.FontItalic = row.FontItalic ? 1 : 0;
    box.FontUnderline = row.FontUnderline ? 1 : 0;
    box.FontStrikeOut = row.FontStrikeOut ? 1 : 0;
    box.FontCharSet = row.FontCharSet;
    box.FontFamily = row.FontFamily;
    box.ForeColor = row.ForeColor;
    box.BackColor = row.BackColor;
    box.AnnParam1 = row.AnnParam1;
    box.AnnParam2 = row.AnnParam2;
    box.AnnParam3 = row.AnnParam3;
    box.BoxString = catalogue::fromStoredAttribute(row.BoxString);
    return dbresult::kOk;
      });
}

int FolderAnnotations::GetAnnBoxPost() { return connection_.post(boxes_, kAnnBoxEnumeration); }
