// FolderDatabase: field-mask updates.
//
//   SetItemInfo, SetItemInfos     write the item fields a mask selects
//   SetStackInfo, SetStackInfos   write the stack fields a mask selects
//
// The masks' parts follow a fixed order (fieldmask::); every text is checked
// by its rule before anything is written, and a number that names no row
// fails the whole call.

#include "catalogue/catalogue_text.h"
#include "catalogue/folder_database.h"
#include "platform/sjis_codec.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

struct FolderDatabase::RowUpdate {
  int key = 0;
  std::string set;  // "A = ?,B = ?"
  std::vector<std::variant<int, std::string>> values;

  void add(const char* part, int value) {
    append(part);
    values.emplace_back(value);
  }
  void add(const char* part, std::string value) {
    append(part);
    values.emplace_back(std::move(value));
  }

 private:
  void append(const char* part) {
    if (!set.empty()) set += ",";
    set += part;
  }
};

namespace {

using RowUpdate = FolderDatabase::RowUpdate;

// Empty when every text keeps its rule, else the first text that breaks one.
std::optional<std::string> planItem(const ItemInfo& info, std::uint32_t mask, RowUpdate& row) {
  namespace fm = fieldmask;
  if (mask & fm::kItemTitle) {
    if (!catalogue::isValidTitle(info.Title)) return info.Title;
    if (!catalogue::isValidExtension(info.Ext)) return info.Ext;
  }
  if ((mask & fm::kItemTextExt) && !catalogue::isValidTextExt(info.TextExt)) return info.TextExt;
  row.key = info.ItemNo;
  if (mask & fm::kItemTitle) {
    row.add("ItemTitle = ?", info.Title + "." + info.Ext);
    row.add("ItemExt = ?", info.Ext);
  }
  if (mask & fm::kItemTextExt) row.add("TextExt = ?", info.TextExt);
  if (mask & fm::kItemImageLevel) row.add("ImageLevel = ?", info.ImageLevel);
  if (mask & fm::kItemOLELevel) row.add("OLELevel = ?", info.OLELevel);
  if (mask & fm::kItemFullTextLevel) row.add("FullTextLevel = ?", info.FullTextLevel);
  if (mask & fm::kItemPosition) {
    row.add("SingleItemPosX = ?", info.SingleItemPosX);
    row.add("SingleItemPosY = ?", info.SingleItemPosY);
  }
  if (mask & fm::kItemOfficialDate) row.add("OfficialDate = ?", info.OfficialDate);
  if (mask & fm::kItemLastModifiedDate) row.add("LastModifiedDate = ?", info.LastModifiedDate);
  if (mask & fm::kItemLastAccessedDate) row.add("LastAccessedDate = ?", info.LastAccessedDate);
  return std::nullopt;
}

std::optional<std::string> planStack(const StackInfo& info, std::uint32_t mask, RowUpdate& row) {
  namespace fm = fieldmask;
  if ((mask & fm::kStackTitle) && !catalogue::isValidTitle(info.Title)) return info.Title;
  row.key = info.StackNo;
  if (mask & fm::kStackTitle) row.add("StackTitle = ?", info.Title);
  if (mask & fm::kStackCurPageNo) row.add("CurPageNo = ?", info.CurPageNo);
  if (mask & fm::kStackPosition) {
    row.add("StackPosX = ?", info.StackPosX);
    row.add("StackPosY = ?", info.StackPosY);
  }
  if (mask & fm::kStackOfficialDate) row.add("OfficialDate = ?", info.OfficialDate);
  if (mask & fm::kStackLastModifiedDate) row.add("LastModifiedDate = ?", info.LastModifiedDate);
  if (mask & fm::kStackLastAccessedDate) row.add("LastAccessedDate = ?", info.LastAccessedDate);
  return std::nullopt;
}

constexpr std::uint32_t kItemBits = 0x3FD;
constexpr std::uint32_t kStackBits = 0xFC00;

}  // namespace

int FolderDatabase::UpdateRows(const char* table, const char* keyColumn,
                               const std::vector<RowUpdate>& rows, const std::string& tag) {
  return Guard(("DAOエラーです。: " + tag).c_str(), ("MemoryException : " + tag).c_str(), [&] {
    Transaction transaction(connection_.db());
    for (const RowUpdate& row : rows) {
      Statement update(connection_.db(), std::string("UPDATE ") + table + " SET " + row.set + " WHERE " +
                                      keyColumn + " = ?");
      int index = 0;
      for (const auto& value : row.values)
        std::visit([&](const auto& v) { update.bind(++index, v); }, value);
      update.bind(++index, row.key);
      if (update.run() != 1)
        return SetError(dbresult::kBadArgument, std::string("指定された") + keyColumn + "(" +
                                                    std::to_string(row.key) + ")が存在しません。: " +
                                                    tag);
    }
    transaction.commit();
    return dbresult::kOk;
  });
}

int FolderDatabase::SetItemRows(std::span<const ItemInfo> infos, std::uint32_t mask,
                                const std::string& tag, const std::string& ruleTag) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオーブンされていません。: " + tag);
  if (!CanUpdate()) return SetError(dbresult::kReadOnly, "リードオンリーです。: " + tag);
  // A mask without a bit of this kind would leave nothing to write.
  if ((mask & kItemBits) == 0 || infos.empty())
    return SetError(dbresult::kBadArgument, "項目が一つも指定されていません。: " + tag);
  std::vector<RowUpdate> rows(infos.size());
  for (size_t i = 0; i < infos.size(); ++i)
    if (const auto bad = planItem(infos[i], mask, rows[i]))
      return SetError(dbresult::kBadArgument,
                      catalogue::invalidTitleMessage("ItemTitle", *bad, ruleTag));
  return UpdateRows("ItemMST", "ItemNo", rows, tag);
}

int FolderDatabase::SetStackRows(std::span<const StackInfo> infos, std::uint32_t mask,
                                 const std::string& tag) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオーブンされていません。: " + tag);
  if (!CanUpdate()) return SetError(dbresult::kReadOnly, "リードオンリーです。: " + tag);
  if ((mask & kStackBits) == 0 || infos.empty())
    return SetError(dbresult::kBadArgument, "項目が一つも指定されていません。: " + tag);
  std::vector<RowUpdate> rows(infos.size());
  for (size_t i = 0; i < infos.size(); ++i)
    if (const auto bad = planStack(infos[i], mask, rows[i]))
      return SetError(dbresult::kBadArgument, catalogue::invalidTitleMessage("StackTitle", *bad, tag));
  if (mask & fieldmask::kStackCurPageNo) {
    // The tile shows page CurPageNo: a number outside 1..n would leave the
    // stack without a cover, and the joined enumeration without the stack.
    const int refused =
        Guard(("DAOエラーです。: " + tag).c_str(), ("MemoryException : " + tag).c_str(), [&] {
          for (const StackInfo& info : infos) {
            if (info.CurPageNo >= 1 && info.CurPageNo <= connection_.countPages(info.StackNo)) continue;
            return SetError(dbresult::kBadArgument,
                            "指定されたCurPageNo(" + std::to_string(info.CurPageNo) + ")はStackNo(" +
                                std::to_string(info.StackNo) + ")のページにありません。: " + tag);
          }
          return dbresult::kOk;
        });
    if (refused != dbresult::kOk) return refused;
  }
  return UpdateRows("StackMST", "StackNo", rows, tag);
}

int FolderDatabase::SetItemInfo(const ItemInfo& info, std::uint32_t mask) {
  return SetItemRows({&info, 1}, mask, "SetItemInfo MASK", "SetItemInfo MASK");
}

int FolderDatabase::SetItemInfos(std::span<const ItemInfo> infos, std::uint32_t mask) {
  return SetItemRows(infos, mask, "SetItemInfo's MASK", "SetItemInfo MASK");
}

int FolderDatabase::SetStackInfo(const StackInfo& info, std::uint32_t mask) {
  return SetStackRows({&info, 1}, mask, "SetStackInfo MASK");
}

int FolderDatabase::SetStackInfos(std::span<const StackInfo> infos, std::uint32_t mask) {
  return SetStackRows(infos, mask, "SetStackInfo's MASK");
}

