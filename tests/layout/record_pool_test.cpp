// Record pools: block growth at the sizes the library uses, reuse order,
// zeroed records, and failure when memory runs out.
#include "layout/record_pool.h"
#include "layout/records.h"

#include <gtest/gtest.h>

#include <vector>

using layout::PoolConfig;
using layout::PoolFaults;
using layout::RecordPool;

namespace {

struct FaultsOff {
  ~FaultsOff() { PoolFaults::remaining = -1; }
};

TEST(RecordPool, FieldPoolGrowsBlocksAndTableAtItsBoundaries) {
  RecordPool<userfld> pool(PoolConfig{30, 3, 2});
  std::vector<userfld*> taken;
  for (int i = 0; i < 30; ++i) taken.push_back(pool.take());
  EXPECT_EQ(pool.blocksInUse(), 1u);
  taken.push_back(pool.take());  // the 31st comes from a new block
  EXPECT_EQ(pool.blocksInUse(), 2u);
  EXPECT_EQ(pool.tableSize(), 3u);
  while (taken.size() < 90) taken.push_back(pool.take());
  EXPECT_EQ(pool.blocksInUse(), 3u);
  EXPECT_EQ(pool.tableSize(), 3u);
  taken.push_back(pool.take());  // the 91st needs a fourth block: table 3 -> 5
  EXPECT_EQ(pool.blocksInUse(), 4u);
  EXPECT_EQ(pool.tableSize(), 5u);
  EXPECT_EQ(pool.inUse(), 91);
  for (auto* r : taken) ASSERT_NE(r, nullptr);
}

TEST(RecordPool, ReturnedRecordIsTheNextHandedOutAndComesBackZeroed) {
  RecordPool<recg> pool(PoolConfig{2, 1, 1});
  recg* a = pool.take();
  recg* b = pool.take();
  a->code = 0x1234;
  a->sub = b;
  a->left = 7;
  pool.give(a);
  recg* again = pool.take();
  EXPECT_EQ(again, a);  // last in, first out
  EXPECT_EQ(again->code, 0);
  EXPECT_EQ(again->sub, nullptr);
  EXPECT_EQ(again->left, 0);
  pool.give(b);
  pool.give(again);
  EXPECT_EQ(pool.take(), again);
  EXPECT_EQ(pool.take(), b);
}

TEST(RecordPool, TinyBlocksGrowOneRecordAtATime) {
  RecordPool<rect_record> pool(PoolConfig{1, 1, 1});
  std::vector<rect_record*> taken;
  for (int i = 0; i < 7; ++i) taken.push_back(pool.take());
  EXPECT_EQ(pool.blocksInUse(), 7u);
  EXPECT_EQ(pool.tableSize(), 7u);
  for (std::size_t i = 0; i < taken.size(); ++i)
    for (std::size_t j = i + 1; j < taken.size(); ++j) EXPECT_NE(taken[i], taken[j]);
  for (auto* r : taken) EXPECT_TRUE(pool.owns(r));
}

TEST(RecordPool, TakeFailsWhenNoBlockCanBeHadAndKeepsWhatItHad) {
  FaultsOff restore;
  RecordPool<line_record> pool(PoolConfig{2, 2, 2});
  line_record* first = pool.take();
  ASSERT_NE(first, nullptr);
  pool.take();
  PoolFaults::remaining = 0;
  EXPECT_EQ(pool.take(), nullptr);
  EXPECT_EQ(pool.blocksInUse(), 1u);
  EXPECT_EQ(pool.inUse(), 2);
  pool.give(first);
  EXPECT_EQ(pool.take(), first);  // the free list still serves
}

TEST(RecordPool, CloseReleasesEverythingAndTheNextTakeOpensAgain) {
  RecordPool<userfld> pool(PoolConfig{3, 1, 1});
  for (int i = 0; i < 5; ++i) pool.take();
  pool.close();
  EXPECT_FALSE(pool.isOpen());
  EXPECT_EQ(pool.inUse(), 0);
  EXPECT_EQ(pool.blocksInUse(), 0u);
  EXPECT_NE(pool.take(), nullptr);
  EXPECT_EQ(pool.blocksInUse(), 1u);
}

#if defined(BRINDEL_POOL_DEBUG) && defined(BRINDEL_POOL_ASAN)
TEST(RecordPoolDeathTest, UseOfAReturnedRecordIsReported) {
  RecordPool<recg> pool(PoolConfig{4, 1, 1});
  recg* r = pool.take();
  pool.give(r);
  EXPECT_DEATH({ volatile std::int16_t c = r->code; (void)c; }, "use-after-poison");
}
#endif

}  // namespace
