// FolderDatabase: the three free texts of an item.
//
//   SetComment, SetKeyword, SetCreator   check the kind's length, then SetAttribute
//   SetAttribute                         replaces the item's text of one kind
//   GetAttribute                         reads it back
//
// The stored form keeps apostrophes as 0x01 and vertical bars as 0x02:
// other folders and the search read the rows in that form. An empty text is
// stored as no row.

#include "catalogue/catalogue_text.h"
#include "catalogue/folder_database.h"
#include "platform/sjis_codec.h"

#include <string>

namespace {

struct AttributeKind {
  const char* name;
  int maxBytes;
};

// The kind names become table and column names: only these three exist.
constexpr AttributeKind kKinds[] = {{"Comment", 255}, {"Keyword", 128}, {"Creator", 50}};

const AttributeKind* findKind(const std::string& name) {
  for (const AttributeKind& kind : kKinds)
    if (platform::asciiEqualsIgnoreCase(kind.name, name)) return &kind;
  return nullptr;
}

// Bytes the text has at the Shift-JIS boundary; a character without a code
// crosses it as one '?'.
int sjisBytes(const std::string& text) {
  const int length = platform::cp932Length(text);
  return length >= 0 ? length : static_cast<int>(platform::toCp932Lossy(text).size());
}

}  // namespace

int FolderDatabase::SetComment(int itemNo, const std::string& text) {
  return SetAttribute(itemNo, text, "Comment");
}
int FolderDatabase::SetKeyword(int itemNo, const std::string& text) {
  return SetAttribute(itemNo, text, "Keyword");
}
int FolderDatabase::SetCreator(int itemNo, const std::string& text) {
  return SetAttribute(itemNo, text, "Creator");
}

int FolderDatabase::SetAttribute(int itemNo, const std::string& text, const std::string& kindName) {
  const AttributeKind* kind = findKind(kindName);
  if (!kind)
    return SetError(dbresult::kBadArgument,
                    "指定された属性(" + kindName + ")はありません。: SetAttribute");
  if (sjisBytes(text) > kind->maxBytes)
    return SetError(dbresult::kBadArgument, std::string("設定された") + kind->name + "(" + text +
                                                ")が長すぎます。: SetAttribute");
  if (const int refused = CheckWritable("DBがオープンされていません。: SetAttribute",
                                        "リードオンリーです。: SetAttribute",
                                        "GetFirst..(),GetNext..()のループ中です。: SetAttribute"))
    return refused;
  return Guard("DAOエラーです。: SetAttribute", "MemoryException : SetAttribute", [&] {
    const std::string table = std::string(kind->name) + "MST";
    Transaction transaction(connection_.db());
    connection_.db().execute("DELETE FROM " + table + " WHERE ItemNo = ?", itemNo);
    if (!text.empty())
      connection_.db().execute("INSERT INTO " + table + "(ItemNo," + kind->name + ") VALUES(?,?)", itemNo,
                        catalogue::toStoredAttribute(text));
    transaction.commit();
    return dbresult::kOk;
  });
}

int FolderDatabase::GetAttribute(int itemNo, std::string& text, const std::string& kindName) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetAttribute");
  const AttributeKind* kind = findKind(kindName);
  if (!kind)
    return SetError(dbresult::kBadArgument,
                    "指定された属性(" + kindName + ")はありません。: GetAttribute");
  return Guard("DAOエラーです。: GetAttribute", "MemoryException: GetAttribute", [&] {
    AttributeRecordset rows(connection_.db());
    rows.open(OpenType::Snapshot,
              std::string("SELECT ") + kind->name + " AS WORD FROM " + kind->name +
                  "MST WHERE ItemNo = ?",
              itemNo);
    text = rows.isEOF() ? std::string() : catalogue::fromStoredAttribute(rows->WORD);
    return dbresult::kOk;
  });
}
