// Copying the rows of one entry under new numbers.
//
//   DupTo          an item or a stack with its pages into another catalogue
//   MoveTo         DupTo, then removal here
//   DupToThisItem  one item within this catalogue, as a single item
//
// Each item takes along its creator, keyword and comment rows (stored form,
// copied as they are), its annotation boxes and its thumbnail. The document
// files themselves are the caller's.
//
// Two catalogue files never share a transaction. DupTo writes everything in
// one transaction of the target; MoveTo removes the entry here in a second
// transaction that starts only after the first is committed. A failure or a
// crash in between leaves the entry in both catalogues, never in neither.

#include "catalogue/folder_database.h"

#include <new>
#include <optional>
#include <string>

namespace {

constexpr const char* kInsertItem =
    "INSERT INTO ItemMST(ItemNo, ItemTitle, OfficialDate, LastModifiedDate, LastAccessedDate, "
    "StackNo, PageNo, SingleItemPosX, SingleItemPosY, ItemExt, TextExt, ImageLevel, OLELevel, "
    "FullTextLevel) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

// The next free number of a table's key column: largest + 1, or 1 when empty.
int nextNumber(SqliteDatabase& db, const char* sql) {
  AllCountRecordset counts(db);
  counts.open(OpenType::Snapshot, sql);
  return counts.isEOF() || counts->Count == 0 ? 1 : counts->Max + 1;
}

int nextItemNo(SqliteDatabase& db) {
  return nextNumber(db, "SELECT Min(ItemNo) AS Min, Max(ItemNo) AS Max, Count(ItemNo) AS Count FROM ItemMST");
}

int nextStackNo(SqliteDatabase& db) {
  return nextNumber(db,
                    "SELECT Min(StackNo) AS Min, Max(StackNo) AS Max, Count(StackNo) AS Count FROM StackMST");
}

// The ItemMST row of row under newItemNo; stackNo 0 makes a single item.
void insertItemRow(SqliteDatabase& to, const ItemListFields& row, int newItemNo, int stackNo) {
  std::optional<int> stack, page;
  if (stackNo != 0) {
    stack = stackNo;
    page = row.PageNo;
  }
  to.execute(kInsertItem, newItemNo, row.ItemTitle, row.OfficialDate, row.LastModifiedDate,
             row.LastAccessedDate, stack, page, row.SingleItemPosX, row.SingleItemPosY, row.ItemExt,
             row.TextExt, row.ImageLevel, row.OLELevel, row.FullTextLevel);
}

// Attributes, annotation boxes and thumbnail of item fromNo in from, as rows
// of item toNo in to (the same database when copying within a catalogue).
void copyItemDependents(SqliteDatabase& from, int fromNo, SqliteDatabase& to, int toNo) {
  static constexpr const char* kKinds[] = {"Creator", "Keyword", "Comment"};
  for (const char* kind : kKinds) {
    AttributeRecordset attribute(from);
    attribute.open(OpenType::Snapshot,
                   std::string("SELECT ") + kind + " As WORD FROM " + kind + "MST WHERE ItemNo = ?",
                   fromNo);
    if (attribute.isEOF()) continue;
    to.execute(std::string("INSERT INTO ") + kind + "MST(ItemNo," + kind + ") VALUES(?,?)", toNo,
               attribute->WORD);
  }

  AnnBoxRecordset boxes(from);
  boxes.open(OpenType::Snapshot, "SELECT * FROM AnnBoxMST WHERE ItemNo = ? ORDER BY ID", fromNo);
  for (; !boxes.isEOF(); boxes.moveNext()) {
    const AnnBoxFields& b = *boxes;
    to.execute(
        "INSERT INTO AnnBoxMST(ItemNo,AnnType,BoxTop,BoxLeft,BoxBottom,BoxRight,FontName,FontSize,"
        "FontBold,FontItalic,FontUnderline,FontStrikeOut,FontCharSet,FontFamily,AnnParam1,"
        "AnnParam2,AnnParam3,ForeColor,BackColor,BoxString) "
        "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        toNo, b.AnnType, b.BoxTop, b.BoxLeft, b.BoxBottom, b.BoxRight, b.FontName, b.FontSize,
        b.FontBold, b.FontItalic, b.FontUnderline, b.FontStrikeOut, b.FontCharSet, b.FontFamily,
        b.AnnParam1, b.AnnParam2, b.AnnParam3, b.ForeColor, b.BackColor, b.BoxString);
  }

  ThumbRecordset thumb(from);
  thumb.open(OpenType::Snapshot, "SELECT * FROM ThumbMST WHERE ItemNo = ?", fromNo);
  if (!thumb.isEOF())
    to.execute(
        "INSERT INTO ThumbMST(ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) "
        "VALUES(?,?,?,?,?)",
        toNo, thumb->ThumbDateTime, thumb->ThumbSizeX, thumb->ThumbSizeY, thumb->ThumbData);
}

}  // namespace

int FolderDatabase::DupTo(int kind, int no, FolderDatabase& target, EntryRef& result) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: DupTo");
  if (&target == this) return SetError(dbresult::kEnumeration, "同一Folderが指定されました。: DupTo");
  if (!target.IsOpen())
    return SetError(dbresult::kEnumeration, "移動先のDBがオープンされていません。: DupTo");
  if (!target.CanUpdate()) return SetError(dbresult::kReadOnly, "移動先がリードオンリーです。: DupTo");
  if (target.EnumerationRunning())
    return SetError(dbresult::kEnumeration,
                    "移動先がGetFirst..(),GetNext..()のループ中です。: DupTo");

  return Guard("DAOエラーです。: DupTo", "MemoryException: DupTo", [&] {
    SqliteDatabase& to = target.connection_.db();
    // Everything the target gets is committed at once or not at all.
    Transaction targetTransaction(to);
    EntryRef made;
    if (kind == EntryRef::kItem) {
      ItemListRecordset item(connection_.db());
      item.open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE ItemNo = ?", no);
      if (item.isEOF())
        return SetError(dbresult::kBadArgument,
                        "指定されたItemNo(" + std::to_string(no) + ")が存在しません。: MoveTo");
      const int newItemNo = nextItemNo(to);
      insertItemRow(to, *item, newItemNo, 0);
      copyItemDependents(connection_.db(), no, to, newItemNo);
      made = {EntryRef::kItem, newItemNo};
    } else {
      StackListRecordset stack(connection_.db());
      stack.open(OpenType::Snapshot, "SELECT * FROM StackMST WHERE StackNo = ?", no);
      if (stack.isEOF())
        return SetError(dbresult::kBadArgument,
                        "指定されたStackNo(" + std::to_string(no) + ")が存在しません。: MoveTo");
      ItemListRecordset pages(connection_.db());
      pages.open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE StackNo = ? ORDER BY PageNo", no);
      const int newStackNo = nextStackNo(to);
      to.execute(
          "INSERT INTO StackMST(StackNo, StackTitle, OfficialDate, LastModifiedDate, "
          "LastAccessedDate, CurPageNo, StackPosX, StackPosY) VALUES(?,?,?,?,?,?,?,?)",
          newStackNo, stack->StackTitle, stack->OfficialDate, stack->LastModifiedDate,
          stack->LastAccessedDate, stack->CurPageNo, stack->StackPosX, stack->StackPosY);
      int newItemNo = nextItemNo(to);
      for (; !pages.isEOF(); pages.moveNext(), ++newItemNo) {
        insertItemRow(to, *pages, newItemNo, newStackNo);
        copyItemDependents(connection_.db(), pages->ItemNo, to, newItemNo);
      }
      made = {EntryRef::kStack, newStackNo};
    }
    targetTransaction.commit();
    result = made;
    return dbresult::kOk;
  });
}

int FolderDatabase::MoveTo(int kind, int no, FolderDatabase& target, EntryRef& result) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: MoveTo");
  if (!CanUpdate()) return SetError(dbresult::kReadOnly, "リードオンリーです。: MoveTo");
  if (EnumerationRunning())
    return SetError(dbresult::kEnumeration, "GetFirst..(),GetNext..()のループ中です。: MoveTo");
  if (const int copied = DupTo(kind, no, target, result); copied != dbresult::kOk)
    return SetError(copied, connection_.lastError().message + ":MoveTo");
  // The copy is committed; a failed removal leaves the entry in both
  // catalogues and says so.
  DissolvedStack dissolved;
  const int removed = kind == EntryRef::kItem ? UnregisterItem(no, dissolved) : UnregisterStack(no);
  if (removed != dbresult::kOk) return SetError(removed, connection_.lastError().message + ":MoveTo");
  return dbresult::kOk;
}

int FolderDatabase::DupToThisItem(int itemNo, const std::string& title, const std::string& ext,
                                  int& newItemNo) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: DupToThisItem");
  if (!CanUpdate()) return SetError(dbresult::kReadOnly, "リードオンリーです。: DupToThisItem");
  if (EnumerationRunning())
    return SetError(dbresult::kEnumeration,
                    "GetFirst..(),GetNext..()のループ中です。: DupToThisItem");
  return Guard("DAOエラーです。: DupToThisItem", "MemoryException: DupToThisItem", [&] {
    Transaction transaction(connection_.db());
    newItemNo = nextItemNo(connection_.db());
    ItemListRecordset item(connection_.db());
    item.open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE ItemNo = ?", itemNo);
    if (item.isEOF())
      return SetError(dbresult::kBadArgument, "指定されたItemNoが存在しません。: DupToThisItem");
    ItemListFields copy = *item;
    copy.ItemTitle = title + "." + ext;
    copy.ItemExt = ext;
    insertItemRow(connection_.db(), copy, newItemNo, 0);
    copyItemDependents(connection_.db(), itemNo, connection_.db(), newItemNo);
    transaction.commit();
    return dbresult::kOk;
  });
}
