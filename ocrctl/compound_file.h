#pragma once
// OLE compound files (structured storage) as whole byte strings, over
// libgsf: the root's streams by name. The bytes come from files a user may
// have swapped or damaged, so reading never trusts a size it is given.
//
//   isCompoundFile    the signature D0 CF 11 E0 A1 B1 1A E1
//   readCompound      every stream of the root, by name
//   writeCompound     a new compound file holding the given streams in order
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace ocrctl {

using Streams = std::map<std::string, std::vector<std::uint8_t>>;
using OrderedStreams = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;

bool isCompoundFile(std::span<const std::uint8_t> bytes);
// Streams larger than this are refused (a pattern file is far smaller).
inline constexpr std::size_t kMaxStreamBytes = 64u << 20;
bool readCompound(std::span<const std::uint8_t> bytes, Streams& out);
bool writeCompound(const OrderedStreams& streams, std::vector<std::uint8_t>& out);

}  // namespace ocrctl
