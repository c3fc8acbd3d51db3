#pragma once
// The typed row readers through which the catalogue and the search database
// read rows. Each class fixes its field list (in binding order), its default
// open type and its default source; every use opens it with an explicit
// statement. A statement that feeds a class must deliver a column for every
// field: by that name, or for a qualified name such as "ItemMST.ItemNo" by
// the column of that table (joined statements).
//
//   Recordset<Fields>   opens a statement with bound values, reads its rows,
//                       steps through them; fields of the current row are
//                       reached as rs->ItemNo
//   ItemMSTColumns      the columns of ItemMST, shared by every row shape
//                       that carries an item
//   AllCountRecordset ... VersionRecordset   one class per row shape
//
// Rows are read in full when the recordset opens: a reader never keeps an
// engine statement pending, so writes, commits and detaches of the same
// connection are never blocked or disturbed by an enumeration in progress.
// Field types: Long → int (NULL reads 0, isFieldNull tells), Text →
// std::string (UTF-8), Boolean → bool, Date/Time → QDateTime (null for NULL),
// Binary → DbBytes.

#include "catalogue/sqlite_database.h"

#include <QDateTime>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class OpenType { Snapshot, Dynaset };

template <typename Fields>
class Recordset {
 public:
  explicit Recordset(SqliteDatabase& db) : db_(&db) {}
  virtual ~Recordset() = default;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  static constexpr OpenType defaultType() { return Fields::kDefaultType; }
  static constexpr const char* defaultSource() { return Fields::kDefaultSource; }

  // Runs the statement with its values and positions on the first row.
  // Throws DbException (or std::bad_alloc); the recordset is closed then.
  template <typename... Args>
  void open(OpenType type, std::string_view sql, const Args&... args) {
    close();
    type_ = type;
    Statement statement(*db_, sql);
    statement.bindAll(args...);
    int columns[kMaxFields];
    int count = 0;
    Fields probe;
    probe.exchange([&](const char* name, auto&) {
      if (count == kMaxFields) throw DbException(1, "too many fields");
      const int column = statement.findColumn(name);
      if (column < 0)
        throw DbException(1, std::string("no column for field ") + name + " in: " + std::string(sql));
      columns[count++] = column;
    });
    while (statement.step()) {
      Fields row;
      std::uint32_t nulls = 0;
      int index = 0;
      row.exchange([&](const char*, auto& member) {
        const int column = columns[index];
        if (statement.isNull(column)) nulls |= 1u << index;
        read(statement, column, member);
        ++index;
      });
      rows_.push_back(std::move(row));
      nulls_.push_back(nulls);
    }
    open_ = true;
    position_ = 0;
  }

  void close() {
    rows_.clear();
    nulls_.clear();
    open_ = false;
    position_ = 0;
  }

  bool isOpen() const { return open_; }
  OpenType openType() const { return type_; }
  bool isEOF() const { return position_ >= rows_.size(); }
  void moveNext() {
    if (position_ < rows_.size()) ++position_;
  }
  void moveFirst() { position_ = 0; }
  std::size_t recordCount() const { return rows_.size(); }

  // The current row; only while !isEOF().
  const Fields& current() const { return rows_[position_]; }
  const Fields* operator->() const { return &rows_[position_]; }
  const Fields& operator*() const { return rows_[position_]; }

  // True when the current row's field of that name is SQL NULL.
  bool isFieldNull(std::string_view field) const {
    int index = 0, found = -1;
    Fields probe;
    probe.exchange([&](const char* name, auto&) {
      if (found < 0 && std::string_view(name) == field) found = index;
      ++index;
    });
    return found >= 0 && !isEOF() && (nulls_[position_] >> found) & 1u;
  }

 private:
  static constexpr int kMaxFields = 32;
  static void read(const Statement& s, int c, int& v) { v = static_cast<int>(s.int64At(c)); }
  static void read(const Statement& s, int c, bool& v) { v = s.boolAt(c); }
  static void read(const Statement& s, int c, std::string& v) { v = s.textAt(c); }
  static void read(const Statement& s, int c, QDateTime& v) { v = s.dateTimeAt(c); }
  static void read(const Statement& s, int c, DbBytes& v) { v = s.bytesAt(c); }

  SqliteDatabase* db_;
  OpenType type_ = OpenType::Snapshot;
  bool open_ = false;
  std::vector<Fields> rows_;
  std::vector<std::uint32_t> nulls_;
  std::size_t position_ = 0;
};

// ---- field lists ----------------------------------------------------------
// Members named after the fields; a qualified field "T.C" is member T_C.

// The columns of ItemMST. A plain reader of ItemMST names them as they are;
// a joined reader names them by table ("ItemMST.StackNo"), since the other
// table of the join has columns of the same names.
struct ItemMSTColumns {
  int ItemNo = 0;
  std::string ItemTitle, ItemExt;
  int ImageLevel = 0, OLELevel = 0, FullTextLevel = 0;
  std::string TextExt;
  int OfficialDate = 0, LastModifiedDate = 0, LastAccessedDate = 0, StackNo = 0, PageNo = 0,
      SingleItemPosX = 0, SingleItemPosY = 0;
  bool SearchHit = false;

  // The same columns as a select list, for a plain reader of ItemMST.
  static constexpr const char* kSelectList =
      "ItemNo,ItemTitle,ItemExt,ImageLevel,OLELevel,FullTextLevel,TextExt,OfficialDate,"
      "LastModifiedDate,LastAccessedDate,StackNo,PageNo,SingleItemPosX,SingleItemPosY,SearchHit";

  // The name under which the reader knows the StackNo column (NULL for a
  // single item).
  static constexpr const char* stackNoField(bool byTable) {
    return byTable ? "ItemMST.StackNo" : "StackNo";
  }
  template <typename X> void exchangeColumns(X&& x, bool byTable) {
#define BRINDEL_ITEM_COLUMN(c) x(byTable ? "ItemMST." #c : #c, c)
    BRINDEL_ITEM_COLUMN(ItemNo); BRINDEL_ITEM_COLUMN(ItemTitle); BRINDEL_ITEM_COLUMN(ItemExt);
    BRINDEL_ITEM_COLUMN(ImageLevel); BRINDEL_ITEM_COLUMN(OLELevel);
    BRINDEL_ITEM_COLUMN(FullTextLevel); BRINDEL_ITEM_COLUMN(TextExt);
    BRINDEL_ITEM_COLUMN(OfficialDate); BRINDEL_ITEM_COLUMN(LastModifiedDate);
    BRINDEL_ITEM_COLUMN(LastAccessedDate); BRINDEL_ITEM_COLUMN(StackNo);
    BRINDEL_ITEM_COLUMN(PageNo); BRINDEL_ITEM_COLUMN(SingleItemPosX);
    BRINDEL_ITEM_COLUMN(SingleItemPosY); BRINDEL_ITEM_COLUMN(SearchHit);
#undef BRINDEL_ITEM_COLUMN
  }
};

struct AllCountFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[AllCountRecordset]";
  int Min = 0, Max = 0, Count = 0;
  template <typename X> void exchange(X&& x) {
    x("Min", Min); x("Max", Max); x("Count", Count);
  }
};

struct AnnBoxFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[AnnBoxMST]";
  int ID = 0, ItemNo = 0, AnnType = 0, BoxTop = 0, BoxLeft = 0, BoxBottom = 0, BoxRight = 0;
  std::string FontName;
  int FontSize = 0, FontBold = 0;
  bool FontItalic = false, FontUnderline = false, FontStrikeOut = false;
  int FontCharSet = 0, FontFamily = 0, AnnParam1 = 0, AnnParam2 = 0, AnnParam3 = 0,
      ForeColor = 0, BackColor = 0;
  std::string BoxString;
  template <typename X> void exchange(X&& x) {
    x("ID", ID); x("ItemNo", ItemNo); x("AnnType", AnnType); x("BoxTop", BoxTop);
    x("BoxLeft", BoxLeft); x("BoxBottom", BoxBottom); x("BoxRight", BoxRight);
    x("FontName", FontName); x("FontSize", FontSize); x("FontBold", FontBold);
    x("FontItalic", FontItalic); x("FontUnderline", FontUnderline);
    x("FontStrikeOut", FontStrikeOut); x("FontCharSet", FontCharSet);
    x("FontFamily", FontFamily); x("AnnParam1", AnnParam1); x("AnnParam2", AnnParam2);
    x("AnnParam3", AnnParam3); x("ForeColor", ForeColor); x("BackColor", BackColor);
    x("BoxString", BoxString);
  }
};

struct AttributeFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[GetAttribute]";
  std::string WORD;
  template <typename X> void exchange(X&& x) { x("WORD", WORD); }
};

struct CountFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[ItemMST Stack Count]";
  int Count = 0;
  template <typename X> void exchange(X&& x) { x("Count", Count); }
};

struct CdbsFolderFields {
  static constexpr OpenType kDefaultType = OpenType::Dynaset;
  static constexpr const char* kDefaultSource = "[FolderMST]";
  int FolderNo = 0;
  std::string FolderPath;
  int Check = 0;
  template <typename X> void exchange(X&& x) {
    x("FolderNo", FolderNo); x("FolderPath", FolderPath); x("Check", Check);
  }
};

struct ItemInfoAndThumbInfoFromNoFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[NoToItemInfoAndThumbInfo]";
  int No = 0;
  ItemMSTColumns item;
  int ThumbMST_ItemNo = 0;
  QDateTime ThumbDateTime;
  int ThumbSizeX = 0, ThumbSizeY = 0;
  DbBytes ThumbData;
  template <typename X> void exchange(X&& x) {
    x("No", No);
    item.exchangeColumns(x, true);
    x("ThumbMST.ItemNo", ThumbMST_ItemNo); x("ThumbDateTime", ThumbDateTime);
    x("ThumbSizeX", ThumbSizeX); x("ThumbSizeY", ThumbSizeY); x("ThumbData", ThumbData);
  }
};

struct ItemInfoAndThumbSizeFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[ItemInfoAndThumbSize]";
  ItemMSTColumns item;
  QDateTime ThumbDateTime;
  int ThumbSizeX = 0, ThumbSizeY = 0;
  template <typename X> void exchange(X&& x) {
    item.exchangeColumns(x, true);
    x("ThumbDateTime", ThumbDateTime); x("ThumbSizeX", ThumbSizeX); x("ThumbSizeY", ThumbSizeY);
  }
};

struct ItemListFields : ItemMSTColumns {
  static constexpr OpenType kDefaultType = OpenType::Dynaset;
  static constexpr const char* kDefaultSource = "[ItemMST]";
  template <typename X> void exchange(X&& x) { exchangeColumns(x, false); }
};

struct ItemNoFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[ItemNo]";
  int ItemNo = 0;
  template <typename X> void exchange(X&& x) { x("ItemNo", ItemNo); }
};

struct ItemTRNFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[ItemTRN]";
  int ItemNo = 0, StackNo = 0;
  template <typename X> void exchange(X&& x) { x("ItemNo", ItemNo); x("StackNo", StackNo); }
};

struct StackInfoAndItemInfoFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[GetStackInfoAndCurItemInfo]";
  int StackMST_StackNo = 0;
  std::string StackTitle;
  int StackMST_OfficialDate = 0, StackMST_LastModifiedDate = 0, StackMST_LastAccessedDate = 0,
      CurPageNo = 0, StackPosX = 0, StackPosY = 0;
  bool StackMST_SearchHit = false;
  ItemMSTColumns item;  // the cover page
  template <typename X> void exchange(X&& x) {
    x("StackMST.StackNo", StackMST_StackNo); x("StackTitle", StackTitle);
    x("StackMST.OfficialDate", StackMST_OfficialDate);
    x("StackMST.LastModifiedDate", StackMST_LastModifiedDate);
    x("StackMST.LastAccessedDate", StackMST_LastAccessedDate); x("CurPageNo", CurPageNo);
    x("StackPosX", StackPosX); x("StackPosY", StackPosY);
    x("StackMST.SearchHit", StackMST_SearchHit);
    item.exchangeColumns(x, true);
  }
};

struct StackListFields {
  static constexpr OpenType kDefaultType = OpenType::Dynaset;
  static constexpr const char* kDefaultSource = "[StackMST]";
  int StackNo = 0;
  std::string StackTitle;
  int OfficialDate = 0, LastModifiedDate = 0, LastAccessedDate = 0, CurPageNo = 0,
      StackPosX = 0, StackPosY = 0;
  template <typename X> void exchange(X&& x) {
    x("StackNo", StackNo); x("StackTitle", StackTitle); x("OfficialDate", OfficialDate);
    x("LastModifiedDate", LastModifiedDate); x("LastAccessedDate", LastAccessedDate);
    x("CurPageNo", CurPageNo); x("StackPosX", StackPosX); x("StackPosY", StackPosY);
  }
};

struct StackNoFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[クエリー2]";
  int StackNo = 0;
  template <typename X> void exchange(X&& x) { x("StackNo", StackNo); }
};

struct StackPageCountAndMaxThumbSizeFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[GetPageCountAndMaxThumbSize]";
  int StackNo = 0, PageCount = 0, X = 0, Y = 0;
  template <typename Xc> void exchange(Xc&& x) {
    x("StackNo", StackNo); x("PageCount", PageCount); x("X", X); x("Y", Y);
  }
};

struct ThumbNoDataFields {
  static constexpr OpenType kDefaultType = OpenType::Dynaset;
  static constexpr const char* kDefaultSource = "[ThumbMST]";
  QDateTime ThumbDateTime;
  int ThumbSizeX = 0, ThumbSizeY = 0;
  template <typename X> void exchange(X&& x) {
    x("ThumbDateTime", ThumbDateTime); x("ThumbSizeX", ThumbSizeX); x("ThumbSizeY", ThumbSizeY);
  }
};

struct ThumbFields {
  static constexpr OpenType kDefaultType = OpenType::Dynaset;
  static constexpr const char* kDefaultSource = "";
  int ItemNo = 0;
  QDateTime ThumbDateTime;
  int ThumbSizeX = 0, ThumbSizeY = 0;
  DbBytes ThumbData;
  template <typename X> void exchange(X&& x) {
    x("ItemNo", ItemNo); x("ThumbDateTime", ThumbDateTime); x("ThumbSizeX", ThumbSizeX);
    x("ThumbSizeY", ThumbSizeY); x("ThumbData", ThumbData);
  }
};

struct VersionFields {
  static constexpr OpenType kDefaultType = OpenType::Snapshot;
  static constexpr const char* kDefaultSource = "[SysEnv]";
  int DatabaseVersion = 0;
  std::string ApplicationName, ApplicationVersion, BundleMaker, Copyright, Distributor, Language;
  QDateTime OriginalDate;
  std::string Platform;
  template <typename X> void exchange(X&& x) {
    x("DatabaseVersion", DatabaseVersion); x("ApplicationName", ApplicationName);
    x("ApplicationVersion", ApplicationVersion); x("BundleMaker", BundleMaker);
    x("Copyright", Copyright); x("Distributor", Distributor); x("Language", Language);
    x("OriginalDate", OriginalDate); x("Platform", Platform);
  }
};

// ---- the recordset classes ------------------------------------------------

#define BRINDEL_RECORDSET(Name, FieldsType)            \
  class Name : public Recordset<FieldsType> {          \
   public:                                             \
    using Recordset<FieldsType>::Recordset;            \
  };

BRINDEL_RECORDSET(AllCountRecordset, AllCountFields)
BRINDEL_RECORDSET(AnnBoxRecordset, AnnBoxFields)
BRINDEL_RECORDSET(AttributeRecordset, AttributeFields)
BRINDEL_RECORDSET(CountRecordset, CountFields)
BRINDEL_RECORDSET(CdbsFolderRecordset, CdbsFolderFields)
BRINDEL_RECORDSET(ItemInfoAndThumbInfoFromNoRecordset, ItemInfoAndThumbInfoFromNoFields)
BRINDEL_RECORDSET(ItemInfoAndThumbSizeRecordset, ItemInfoAndThumbSizeFields)
BRINDEL_RECORDSET(ItemListRecordset, ItemListFields)
BRINDEL_RECORDSET(ItemNoRecordset, ItemNoFields)
BRINDEL_RECORDSET(ItemTRNRecordset, ItemTRNFields)
BRINDEL_RECORDSET(StackInfoAndItemInfoRecordset, StackInfoAndItemInfoFields)
BRINDEL_RECORDSET(StackListRecordset, StackListFields)
BRINDEL_RECORDSET(StackNoRecordset, StackNoFields)
BRINDEL_RECORDSET(StackPageCountAndMaxThumbSizeRecordset, StackPageCountAndMaxThumbSizeFields)
BRINDEL_RECORDSET(ThumbNoDataRecordset, ThumbNoDataFields)
BRINDEL_RECORDSET(ThumbRecordset, ThumbFields)
BRINDEL_RECORDSET(VersionRecordset, VersionFields)

#undef BRINDEL_RECORDSET
