// RecordPool<T>: fixed-size records handed out from blocks that grow on
// demand and go back to the system only when the pool is closed.
//
//   take()    a zeroed record, or null when no memory is to be had
//   give(r)   pushes r on the free list (last in, first out); r must already
//             be unlinked from every ring
//   close()   frees every block and the block table
//
// Layout analysis makes and drops thousands of small records per page; a
// take and a give are a few instructions each.  Records are zeroed on take so
// that no stale pointer of an earlier use survives into a new one.
//
// Debug mode (BRINDEL_POOL_DEBUG, on in the sanitizer build): free records
// are poisoned for AddressSanitizer, so a use of a record after it went back
// to its pool is reported like a use after free; without ASan they are filled
// with a pattern instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#if defined(__SANITIZE_ADDRESS__)
#define BRINDEL_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRINDEL_POOL_ASAN 1
#endif
#endif

#if defined(BRINDEL_POOL_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace layout {

struct PoolConfig {
  std::uint16_t recordsPerBlock;
  std::uint16_t tableInitial;   // block-table entries made when the pool opens
  std::uint16_t tableGrowth;    // entries added each time the table is full
};

// Lets tests make allocations fail: the next `remaining` block or table
// allocations of every pool (and ruled-line records) succeed, the ones after
// fail.  -1 = no limit.
struct PoolFaults {
  static inline long remaining = -1;
  static bool allow() {
    if (remaining < 0) return true;
    if (remaining == 0) return false;
    --remaining;
    return true;
  }
};

template <typename T>
class RecordPool {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  explicit RecordPool(PoolConfig config) : config_(config) {}
  ~RecordPool() { close(); }
  RecordPool(const RecordPool&) = delete;
  RecordPool& operator=(const RecordPool&) = delete;

  T* take() {
    if (freeHead_ == nullptr && !addBlock()) return nullptr;
    T* record = freeHead_;
    unpoison(record);
    freeHead_ = record->next;
    std::memset(static_cast<void*>(record), 0, sizeof(T));
    ++inUse_;
    return record;
  }

  void give(T* record) {
    if (record == nullptr) return;
#if defined(BRINDEL_POOL_DEBUG) && !defined(BRINDEL_POOL_ASAN)
    std::memset(static_cast<void*>(record), 0xDB, sizeof(T));
#endif
    record->next = freeHead_;
    freeHead_ = record;
    --inUse_;
    poison(record);
  }

  void close() {
    for (std::size_t i = 0; i < blocksInUse_; ++i) {
#if defined(BRINDEL_POOL_ASAN)
      ASAN_UNPOISON_MEMORY_REGION(table_[i], blockBytes());
#endif
      std::free(table_[i]);
    }
    std::free(table_);
    table_ = nullptr;
    tableSize_ = 0;
    blocksInUse_ = 0;
    freeHead_ = nullptr;
    inUse_ = 0;
  }

  // Block sizes may be changed while the pool holds no block (tests use tiny
  // blocks so that every growth path runs).
  bool configure(PoolConfig config) {
    if (blocksInUse_ != 0 || table_ != nullptr) return false;
    config_ = config;
    return true;
  }

  const PoolConfig& config() const { return config_; }
  long inUse() const { return inUse_; }
  std::size_t blocksInUse() const { return blocksInUse_; }
  std::size_t tableSize() const { return tableSize_; }
  bool isOpen() const { return table_ != nullptr; }

  // True when the record lies inside one of the pool's blocks.
  bool owns(const T* record) const {
    const auto* p = reinterpret_cast<const unsigned char*>(record);
    for (std::size_t i = 0; i < blocksInUse_; ++i) {
      const auto* b = reinterpret_cast<const unsigned char*>(table_[i]);
      if (p >= b && p < b + blockBytes() && (p - b) % sizeof(T) == 0) return true;
    }
    return false;
  }

 private:
  std::size_t blockBytes() const { return std::size_t{config_.recordsPerBlock} * sizeof(T); }

  bool openTable() {
    if (!PoolFaults::allow()) return false;
    table_ = static_cast<T**>(std::calloc(config_.tableInitial ? config_.tableInitial : 1, sizeof(T*)));
    if (table_ == nullptr) return false;
    tableSize_ = config_.tableInitial;
    return true;
  }

  bool addBlock() {
    if (table_ == nullptr && !openTable()) return false;
    if (blocksInUse_ >= tableSize_) {
      if (!PoolFaults::allow()) return false;
      const std::size_t grown = tableSize_ + (config_.tableGrowth ? config_.tableGrowth : 1);
      auto* table = static_cast<T**>(std::realloc(table_, grown * sizeof(T*)));
      if (table == nullptr) return false;
      table_ = table;
      tableSize_ = grown;
    }
    if (!PoolFaults::allow()) return false;
    auto* block = static_cast<T*>(std::calloc(config_.recordsPerBlock, sizeof(T)));
    if (block == nullptr) return false;
    table_[blocksInUse_++] = block;
    const std::size_t n = config_.recordsPerBlock;
    for (std::size_t i = 0; i < n; ++i) {
      block[i].next = i + 1 < n ? &block[i + 1] : freeHead_;
    }
    freeHead_ = block;
    for (std::size_t i = 0; i < n; ++i) poison(&block[i]);
    return true;
  }

  static void poison([[maybe_unused]] T* record) {
#if defined(BRINDEL_POOL_ASAN) && defined(BRINDEL_POOL_DEBUG)
    ASAN_POISON_MEMORY_REGION(record, sizeof(T));
#endif
  }
  static void unpoison([[maybe_unused]] T* record) {
#if defined(BRINDEL_POOL_ASAN) && defined(BRINDEL_POOL_DEBUG)
    ASAN_UNPOISON_MEMORY_REGION(record, sizeof(T));
#endif
  }

  PoolConfig config_;
  T** table_ = nullptr;
  std::size_t tableSize_ = 0;
  std::size_t blocksInUse_ = 0;
  T* freeHead_ = nullptr;
  long inUse_ = 0;
};

}  // namespace layout
