#pragma once
// The records through which stacks, items, thumbnails and sorted entries
// cross every interface of the catalogue.
//
//   ItemInfo        one item (a file of the folder), stacked or not
//   StackInfo       one stack with its page count
//   DissolvedStack  which stack a removal dissolved
//   MergeElement    one stack or item given to MergeN
//   ThumbInfo       one item's thumbnail row
//   SortEntry       one entry of the sorted enumeration
//   fieldmask::     the bits of SetItemInfo / SetStackInfo
//   sortmask::      the bits of SortFirst
//
// Texts are UTF-8. Their limits count Shift-JIS bytes, as the catalogue's
// neighbours (other folders, exports, the search) see them.

#include "catalogue/sqlite_database.h"

#include <QDateTime>

#include <cstdint>
#include <string>

struct ItemInfo {
  std::int32_t ItemNo = 0;  // 0 marks the end of an enumeration
  std::string Title;        // the file name without its extension, <= 200 bytes
  std::string Ext;          // without the point, <= 8 bytes
  std::int32_t ImageLevel = 0;
  std::int32_t OLELevel = 0;
  std::int32_t FullTextLevel = 0;
  std::string TextExt;  // extension of the attached text file, <= 8 bytes
  std::int32_t OfficialDate = 0;  // YYYYMMDD
  std::int32_t LastModifiedDate = 0;
  std::int32_t LastAccessedDate = 0;
  std::int32_t SingleItemPosX = 0;
  std::int32_t SingleItemPosY = 0;
  std::int32_t Stacked = 0;  // 1 for a page of a stack
  std::int32_t StackNo = 0;  // 0 when not stacked
  std::int32_t PageNo = 0;   // 1..n, 0 when not stacked

  friend bool operator==(const ItemInfo&, const ItemInfo&) = default;
};

struct StackInfo {
  std::int32_t StackNo = 0;  // 0 marks the end of an enumeration
  std::string Title;         // <= 200 bytes
  std::int32_t PageCount = 0;
  std::int32_t CurPageNo = 0;
  std::int32_t StackPosX = 0;
  std::int32_t StackPosY = 0;
  std::int32_t OfficialDate = 0;  // YYYYMMDD
  std::int32_t LastModifiedDate = 0;
  std::int32_t LastAccessedDate = 0;

  friend bool operator==(const StackInfo&, const StackInfo&) = default;
};

struct DissolvedStack {
  std::int32_t Dissolved = 0;  // 1 when the stack was dissolved
  std::int32_t StackNo = 0;    // set only when Dissolved is 1
};

struct MergeElement {
  static constexpr std::int32_t kStack = 1;  // any other kind is an item
  std::int32_t Kind = 0;
  std::int32_t No = 0;
};

struct ThumbInfo {
  std::int32_t ItemNo = 0;
  QDateTime ThumbDateTime;
  std::int32_t ThumbSizeX = 0;
  std::int32_t ThumbSizeY = 0;
  DbBytes ThumbData;  // opaque picture bytes, stored unchanged
};

struct SortEntry {
  static constexpr std::int32_t kItem = 0;
  static constexpr std::int32_t kStack = 1;
  std::int32_t Kind = kItem;
  std::int32_t No = 0;
};

// Field masks of SetItemInfo(s) and SetStackInfo(s). Item and stack bits may
// share one word; each operation looks at its own.
namespace fieldmask {
inline constexpr std::uint32_t kItemTitle = 0x1;  // title and extension
inline constexpr std::uint32_t kItemImageLevel = 0x4;
inline constexpr std::uint32_t kItemOLELevel = 0x8;
inline constexpr std::uint32_t kItemFullTextLevel = 0x10;
inline constexpr std::uint32_t kItemTextExt = 0x20;
inline constexpr std::uint32_t kItemPosition = 0x40;
inline constexpr std::uint32_t kItemOfficialDate = 0x80;
inline constexpr std::uint32_t kItemLastModifiedDate = 0x100;
inline constexpr std::uint32_t kItemLastAccessedDate = 0x200;
inline constexpr std::uint32_t kStackTitle = 0x400;
inline constexpr std::uint32_t kStackCurPageNo = 0x800;
inline constexpr std::uint32_t kStackPosition = 0x1000;
inline constexpr std::uint32_t kStackOfficialDate = 0x2000;
inline constexpr std::uint32_t kStackLastModifiedDate = 0x4000;
inline constexpr std::uint32_t kStackLastAccessedDate = 0x8000;
}  // namespace fieldmask

// Sort mask of SortFirst: the first key bit set decides the key.
namespace sortmask {
inline constexpr std::uint32_t kDescending = 0x1;
inline constexpr std::uint32_t kTitle = 0x100;
inline constexpr std::uint32_t kOfficialDate = 0x200;
inline constexpr std::uint32_t kLastModifiedDate = 0x400;
inline constexpr std::uint32_t kLastAccessedDate = 0x800;
}  // namespace sortmask
