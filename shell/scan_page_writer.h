#pragma once
// Writing one scanned page (a packed device-independent bitmap as the
// scanner driver delivers it) as a BMP file of the scan folder.
//
//   ScanPageResult     what became of a page
//   FreeSpaceProbe     the free bytes of the drive of a folder
//   WriteScannedPage   checks the header and the free space, then writes
//
// The header is checked before anything is read through it: a width,
// height or bit count the rows cannot have, or a palette or header that
// runs past the block, refuses the page. Every copy is clamped to the
// block, so a block shorter than its header claims gives zero rows at its
// end, never a read past it. The file always holds rows padded to 4 bytes.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

enum class ScanPageResult {
  Written,
  BadHeader,     // not a bitmap this program can write
  NoDriveInfo,   // "ﾄﾞﾗｲﾌﾞ情報が取得できませんでした。"
  NoSpace,       // "tmpの空き容量が不足しています。\n画像を保存できません。"
  CannotCreate,  // the page file could not be created or written whole
};

// The space that must stay free beside a page: the page's block plus this.
inline constexpr std::uint64_t kScanSpaceReserve = 0x200000;

using FreeSpaceProbe = std::function<std::optional<std::uint64_t>(const std::string& folder)>;
// The free bytes of the file system that holds folder (or its nearest
// existing parent); nullopt when they cannot be read.
std::optional<std::uint64_t> FreeSpaceOf(const std::string& folder);

// Writes block as the BMP file path. newTwain (the INI key NewTWAIN) makes
// the source rows the padded length; otherwise the source row length is the
// stated image size (or, when 0, what follows the palette) over the height.
ScanPageResult WriteScannedPage(std::span<const std::uint8_t> block, const std::string& path, bool newTwain,
                                const FreeSpaceProbe& freeSpace);
