// FolderDatabase: the thumbnail row of an item.
//
//   GetThumbInfo      the whole row, picture included
//   SetThumbInfo      writes the row, adding it when missing
//   UnregisterThumb   deletes it
//   GetThumbSizeDate  size and date without the picture
//
// The picture bytes are stored as the thumbnail maker hands them over.

#include "catalogue/folder_database.h"

int FolderDatabase::GetThumbInfo(int itemNo, ThumbInfo& thumb, int& found) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetThumbInfo");
  return Guard("DAOエラーです。: GetThumbInfo", "MemoryException: GetThumbInfo", [&] {
    ThumbRecordset rows(connection_.db());
    rows.open(OpenType::Snapshot,
              "SELECT ItemNo,ThumbDateTime,ThumbSizeX,ThumbSizeY,ThumbData FROM ThumbMST "
              "WHERE ItemNo = ?",
              itemNo);
    if (rows.isEOF()) {
      found = 0;
      thumb = ThumbInfo{};
      thumb.ItemNo = itemNo;
      return dbresult::kOk;
    }
    found = 1;
    thumb.ItemNo = rows->ItemNo;
    thumb.ThumbDateTime = rows->ThumbDateTime;
    thumb.ThumbSizeX = rows->ThumbSizeX;
    thumb.ThumbSizeY = rows->ThumbSizeY;
    thumb.ThumbData = rows->ThumbData;
    return dbresult::kOk;
  });
}

int FolderDatabase::SetThumbInfo(const ThumbInfo& thumb) {
  if (const int refused = CheckWritable("DBがオープンされていません。: SetThumbInfo",
                                        "リードオンリーです。: SetThumbInfo", nullptr))
    return refused;
  return Guard("DAOエラーです。: SetThumbInfo", "MemoryException: SetThumbInfo", [&] {
    Transaction transaction(connection_.db());
    const int changed = connection_.db().execute(
        "UPDATE ThumbMST SET ThumbDateTime = ?,ThumbSizeX = ?,ThumbSizeY = ?,ThumbData = ? "
        "WHERE ItemNo = ?",
        thumb.ThumbDateTime, thumb.ThumbSizeX, thumb.ThumbSizeY, thumb.ThumbData, thumb.ItemNo);
    if (changed == 0)
      connection_.db().execute(
          "INSERT INTO ThumbMST(ItemNo,ThumbDateTime,ThumbSizeX,ThumbSizeY,ThumbData) "
          "VALUES(?,?,?,?,?)",
          thumb.ItemNo, thumb.ThumbDateTime, thumb.ThumbSizeX, thumb.ThumbSizeY, thumb.ThumbData);
    transaction.commit();
    return dbresult::kOk;
  });
}

int FolderDatabase::UnregisterThumb(int itemNo) {
  if (const int refused = CheckWritable("DBがオープンされていません。: UnregisterThumb",
                                        "リードオンリーです。: UnregisterThumb", nullptr))
    return refused;
  return Guard("DAOエラーです。: UnregisterThumb", "MemoryException: UnregisterThumb", [&] {
    connection_.db().execute("DELETE FROM ThumbMST WHERE ItemNo = ?", itemNo);
    return dbresult::kOk;
  });
}

int FolderDatabase::GetThumbSizeDate(int itemNo, int& sizeX, int& sizeY, QDateTime& made,
                                     int& found) {
  if (!IsOpen())
    return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetThumbSizeDate");
  return Guard("DAOエラーです。: GetThumbSizeDate", "MemoryException: GetThumbSizeDate", [&] {
    ThumbNoDataRecordset rows(connection_.db());
    rows.open(OpenType::Snapshot,
              "SELECT ThumbDateTime,ThumbSizeX,ThumbSizeY FROM ThumbMST WHERE ItemNo = ?", itemNo);
    found = rows.isEOF() ? 0 : 1;
    if (found) {
      sizeX = rows->ThumbSizeX;
      sizeY = rows->ThumbSizeY;
      made = rows->ThumbDateTime;
    }
    return dbresult::kOk;
  });
}
