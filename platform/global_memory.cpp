#include "platform/global_memory.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace platform {
namespace {

struct Block {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
};

struct Table {
  std::mutex mutex;
  std::unordered_map<GlobalHandle, Block> blocks;
  GlobalHandle next = 1;
};

Table& table() {
  static Table instance;
  return instance;
}

// The next free positive handle; handles wrap around but never repeat one in use.
GlobalHandle takeHandle(Table& t) {
  while (t.blocks.count(t.next) != 0 || t.next <= 0) {
    t.next = t.next <= 0 ? 1 : t.next + 1;
  }
  GlobalHandle h = t.next;
  t.next = h == INT32_MAX ? 1 : h + 1;
  return h;
}

}  // namespace

GlobalHandle globalAlloc(std::size_t size) {
  Block block;
  block.bytes.reset(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]());
  if (!block.bytes) return 0;
  block.size = size;
  Table& t = table();
  std::lock_guard lock(t.mutex);
  GlobalHandle h = takeHandle(t);
  t.blocks.emplace(h, std::move(block));
  return h;
}

GlobalHandle globalAllocCopy(std::span<const std::uint8_t> bytes) {
  GlobalHandle h = globalAlloc(bytes.size());
  if (h != 0 && !bytes.empty()) std::memcpy(globalLock(h), bytes.data(), bytes.size());
  return h;
}

std::uint8_t* globalLock(GlobalHandle handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.blocks.find(handle);
  return it == t.blocks.end() ? nullptr : it->second.bytes.get();
}

void globalUnlock(GlobalHandle) {}

std::size_t globalSize(GlobalHandle handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.blocks.find(handle);
  return it == t.blocks.end() ? 0 : it->second.size;
}

bool globalFree(GlobalHandle handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  return t.blocks.erase(handle) != 0;
}

}  // namespace platform
