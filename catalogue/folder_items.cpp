// Registration and removal of a folder's items and stacks, on the
// connection that FolderDatabase owns.
//
//   RegisterItem     adds one single item under the next free number
//   UnregisterItem   removes an item, its dependent rows, and its place in a
//                    stack (a stack left with one page is dissolved)
//   UnregisterStack  removes a stack, its pages and their dependent rows
//
// Each runs in one transaction: a failure anywhere leaves the catalogue as
// it was. The documents on disk are the caller's.

#include "catalogue/catalogue_text.h"
#include "catalogue/folder_items.h"
#include "catalogue/recordsets.h"
#include "platform/sjis_codec.h"

#include <string>

namespace {

// The item rows that hang on an item, in the order they are removed.
constexpr const char* kDependentTables[] = {"CreatorMST", "KeywordMST", "CommentMST", "AnnBoxMST",
                                            "ThumbMST"};

}  // namespace

// ---- RegisterItem ---------------------------------------------------------

int FolderItems::RegisterItem(ItemInfo& info) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。 : RegisterItem",
                                                    "リードオンリーです。 : RegisterItem",
                                                    "GetFirst..(),GetNext..()のループ中です。: RegisterItem"))
    return refused;
  if (info.Stacked == 1)
    return connection_.fail(dbresult::kBadArgument,
                            "指定されたItemがStackに積まれた設定になっています。: RegisterItem");
  if (!catalogue::isValidTitle(info.Title))
    return connection_.fail(dbresult::kBadArgument,
                            catalogue::invalidTitleMessage("ItemTitle", info.Title, "RegisterItem"));
  // The extension becomes part of the file name: it obeys the same rule.
  if (!catalogue::isValidExtension(info.Ext))
    return connection_.fail(dbresult::kBadArgument,
                            catalogue::invalidTitleMessage("ItemTitle", info.Ext, "RegisterItem"));

  return connection_.guard("DAOエラーです。: RegisterItem", "MemoryException : RegisterItem", [&] {
    Transaction transaction(connection_.db());
    int newNo = 1;
    {
      Statement max(connection_.db(), "SELECT Max(ItemNo) FROM ItemMST");
      if (max.step() && !max.isNull(0)) newNo = max.intAt(0) + 1;
    }
    const std::string fileName = info.Title + "." + info.Ext;
    {
      // The column compares ASCII-case-blind; the walk confirms each hit.
      const std::string upper = platform::asciiUpper(fileName);
      Statement same(connection_.db(), "SELECT ItemTitle FROM ItemMST WHERE ItemTitle = ?");
      same.bind(1, fileName);
      while (same.step())
        if (platform::asciiUpper(same.textAt(0)) == upper) return dbresult::kDuplicateItem;
    }
    connection_.db().execute(
        "INSERT INTO ItemMST(ItemNo,ItemTitle,ItemExt,ImageLevel,OLELevel,FullTextLevel,TextExt,"
        "OfficialDate,LastModifiedDate,LastAccessedDate,SingleItemPosX,SingleItemPosY) "
        "VALUES(?,?,?,?,?,?,?,?,?,?,?,?)",
        newNo, fileName, info.Ext, info.ImageLevel, info.OLELevel, info.FullTextLevel,
        info.TextExt, info.OfficialDate, info.LastModifiedDate, info.LastAccessedDate,
        info.SingleItemPosX, info.SingleItemPosY);
    transaction.commit();
    info.ItemNo = newNo;
    info.Stacked = 0;
    info.StackNo = 0;
    info.PageNo = 0;
    return dbresult::kOk;
  });
}

// ---- UnregisterItem -------------------------------------------------------

int FolderItems::UnregisterItem(int itemNo, DissolvedStack& dissolved) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: UnregisterItem",
                                                    "リードオンリーです。: UnregisterItem",
                                                    "GetFirst..(),GetNext..()のループ中です。: UnregisterItem"))
    return refused;
  return connection_.guard("DAOエラーです。: UnregisterItem", "MemoryException: UnregisterItem", [&] {
    Transaction transaction(connection_.db());
    ItemListRecordset item(connection_.db());
    item.open(OpenType::Dynaset,
              std::string("SELECT ") + ItemMSTColumns::kSelectList +
                              " FROM ItemMST WHERE ItemNo = ?",
              itemNo);
    if (item.isEOF())
      return connection_.fail(dbresult::kBadArgument, "指定されたItemNo(" + std::to_string(itemNo) +
                                                              ")が存在しません。: UnregisterItem");
    DissolvedStack result;
    if (!item.isFieldNull("StackNo")) {
      const int stackNo = item->StackNo;
      const int pageCount = connection_.countPages(stackNo);
      if (pageCount > 2) {
        int curPageNo = 0;
        {
          Statement current(connection_.db(), "SELECT CurPageNo FROM StackMST WHERE StackNo = ?");
          current.bind(1, stackNo);
          if (current.step()) curPageNo = current.intAt(0);
        }
        if (curPageNo == pageCount)
          connection_.db().execute("UPDATE StackMST SET CurPageNo = CurPageNo -1 WHERE StackNo = ?",
                                        stackNo);
        connection_.db().execute("UPDATE ItemMST SET PageNo = PageNo -1 WHERE StackNo = ? AND PageNo > ?",
                                      stackNo, item->PageNo);
      } else {
        result.Dissolved = 1;
        result.StackNo = stackNo;
        connection_.db().execute("UPDATE ItemMST SET StackNo = NULL,PageNo = NULL WHERE StackNo = ?",
                                      stackNo);
        connection_.db().execute("DELETE FROM StackMST WHERE StackNo = ?", stackNo);
      }
    }
    for (const char* table : kDependentTables)
      connection_.db().execute(std::string("DELETE FROM ") + table + " WHERE ItemNo = ?", itemNo);
    connection_.db().execute("DELETE FROM ItemMST WHERE ItemNo = ?", itemNo);
    transaction.commit();
    dissolved = result;
    return dbresult::kOk;
  });
}

// ---- UnregisterStack ------------------------------------------------------

int FolderItems::UnregisterStack(int stackNo) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: UnregisterStack",
                                                    "リードオンリーです。: UnregisterStack",
                                                    "GetFirst..(),GetNext..()のループ中です。: UnregisterStack"))
    return refused;
  return connection_.guard("DAOエラー: UnregisterStack", "MemoryException: UnregisterStack", [&] {
    Transaction transaction(connection_.db());
    if (!connection_.stackExists(stackNo))
      return connection_.fail(dbresult::kBadArgument, "指定されたStackNo(" + std::to_string(stackNo) +
                                                              ")が存在しません。: UnregisterStack");
    for (const char* table : kDependentTables)
      connection_.db().execute(std::string("DELETE FROM ") + table +
                                        " WHERE ItemNo IN(SELECT ItemNo FROM ItemMST WHERE StackNo = ?)",
                                    stackNo);
    connection_.db().execute("DELETE FROM ItemMST WHERE StackNo = ?", stackNo);
    connection_.db().execute("DELETE FROM StackMST WHERE StackNo = ?", stackNo);
    transaction.commit();
    return dbresult::kOk;
  });
}
