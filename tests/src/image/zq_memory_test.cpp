#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "src/lib_log_capture.h"
#include "src/image/ZqAlloc.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::LibLogCapture;

bool Aligned16(const void *p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

bool AllZero(const void *p, size_t n) {
  const uint8_t *b = static_cast<const uint8_t *>(p);
  return std::all_of(b, b + n, [](uint8_t v) { return v == 0; });
}

TEST(ZqSafeAlloc, RandomBlocksAlignedZeroedAndCounted) {
  std::mt19937 rng(19);
  std::uniform_int_distribution<int> size_of(0, 3000);
  const int32_t start = ZqGetMallocCnts();
  std::vector<std::pair<uint8_t *, int>> blocks;
  for (int i = 0; i < 10000; ++i) {
    int len = i < 2 ? i : size_of(rng);  // sizes 0 and 1 included
    auto *p = static_cast<uint8_t *>(ZqSafeAlloc(len));
    ASSERT_NE(p, nullptr) << len;
    ASSERT_TRUE(Aligned16(p)) << len;
    ASSERT_TRUE(AllZero(p, len)) << len;
    std::memset(p, 0xa5, len);  // dirty memory that later blocks may reuse
    blocks.emplace_back(p, len);
    // Free every third block early so that the heap hands memory back.
    if (i % 3 == 2) {
      size_t k = rng() % blocks.size();
      ZqSafeFree(blocks[k].first);
      blocks.erase(blocks.begin() + k);
    }
  }
  EXPECT_EQ(ZqGetMallocCnts(), start + static_cast<int32_t>(blocks.size()));
  std::shuffle(blocks.begin(), blocks.end(), rng);
  for (auto &b : blocks) ZqSafeFree(b.first);
  EXPECT_EQ(ZqGetMallocCnts(), start);
  EXPECT_EQ(gMallocCnts, start);
}

TEST(ZqSafeAlloc, NegativeLengthIsRefusedAndNullIsIgnored) {
  LibLogCapture log;
  const int32_t start = ZqGetMallocCnts();
  EXPECT_EQ(ZqSafeAlloc(-1), nullptr);
  EXPECT_EQ(ZqSafeAlloc(INT32_MIN), nullptr);
  ZqSafeFree(nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), start);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqSafeAlloc...udata == NULL, size = -1",
                                "ZqSafeAlloc...udata == NULL, size = -2147483648"}));
}

TEST(ZqSafeAlloc, ReallocGivesFreshZeroedBlockAndKeepsCount) {
  const int32_t start = ZqGetMallocCnts();
  auto *p = static_cast<uint8_t *>(ZqSafeRealloc(nullptr, 32));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0x7f, 32);
  auto *q = static_cast<uint8_t *>(ZqSafeRealloc(p, 64));
  ASSERT_NE(q, nullptr);
  EXPECT_TRUE(AllZero(q, 64));  // old contents are not kept
  EXPECT_EQ(ZqGetMallocCnts(), start + 1);
  ZqSafeFree(q);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(ZqAlloc, WrapsTheCountedHeap) {
  const int32_t start = ZqGetMallocCnts();
  void *p = ZqAlloc(100);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(Aligned16(p));
  EXPECT_EQ(ZqGetMallocCnts(), start + 1);
  ZqFree(p);
  ZqFree(nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(AlignPtr64, RaisesToSixteen) {
  struct Case {
    uintptr_t in, out;
  } cases[] = {{1, 16}, {15, 16}, {16, 16}, {17, 32}, {0x1008, 0x1010}};
  for (const Case &c : cases) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(alignPtr64(reinterpret_cast<void *>(c.in))), c.out);
  }
  LibLogCapture log;
  EXPECT_EQ(alignPtr64(nullptr), nullptr);
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"alignPtr64...ptr == NULL"});
}

// A pool switched on for the test and released afterwards.
class Pool : public ::testing::Test {
 protected:
  void Make(int32_t size) {
    ZqSetMemoryPoolEn(1);
    ASSERT_EQ(ZqInitMemBlock(size), 0);
  }
  void TearDown() override {
    ZqSetMemoryPoolEn(1);
    ZqDestroyMemBlock();
    ZqSetMemoryPoolEn(0);
  }
};

TEST_F(Pool, GrantsOnlyWhenRemainingExceedsLenPlusFour) {
  struct Case {
    int32_t pool, len;
    bool granted;
  } cases[] = {
      {64, 56, false}, {64, 55, true}, {64, 0, true},     {64, -1, false},
      {8, 0, false},   {9, 0, true},   {4096, 4088, false}, {4096, 4087, true},
  };
  for (const Case &c : cases) {
    Make(c.pool);
    LibLogCapture log;
    void *p = ZqAllocInMemBlock(c.len);
    EXPECT_EQ(p != nullptr, c.granted) << c.pool << " " << c.len;
    if (!c.granted) {
      EXPECT_EQ(log.Messages(),
                std::vector<std::string>{"ZqAllocInMemBlock...memory pool NOT enough!"});
    }
    ZqDestroyMemBlock();
  }
}

TEST_F(Pool, BlocksFollowTheirLengthWordsAndAreZeroed) {
  Make(256);
  auto *a = static_cast<uint8_t *>(ZqAllocInMemBlock(10));
  std::memset(a, 0xee, 10);
  auto *b = static_cast<uint8_t *>(ZqAllocInMemBlock(20));
  EXPECT_EQ(b, a + 10 + 4);
  int32_t word;
  std::memcpy(&word, a - 4, 4);
  EXPECT_EQ(word, 14);
  std::memcpy(&word, b - 4, 4);
  EXPECT_EQ(word, 24);
  ZqFreeInMemBlock(b);
  ZqFreeInMemBlock(a);
  auto *c = static_cast<uint8_t *>(ZqAllocInMemBlock(12));
  EXPECT_EQ(c, a);  // reuse from the same place
  EXPECT_TRUE(AllZero(c, 12));
}

TEST_F(Pool, ReverseReleaseRestoresTheWholeRoom) {
  Make(64);
  void *a = ZqAllocInMemBlock(20);
  void *b = ZqAllocInMemBlock(20);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(ZqAllocInMemBlock(8), nullptr);  // 60 - 48 = 12 left, not > 12
  ZqFreeInMemBlock(b);
  ZqFreeInMemBlock(a);
  void *c = ZqAllocInMemBlock(55);  // the exact maximum of a fresh 64-byte pool
  EXPECT_EQ(c, a);
}

TEST_F(Pool, MisuseOfReleaseIsRefusedWithoutCorruption) {
  Make(128);
  auto *a = static_cast<uint8_t *>(ZqAllocInMemBlock(16));
  auto *b = static_cast<uint8_t *>(ZqAllocInMemBlock(16));
  std::memset(b, 0x5a, 16);
  int outside = 0;
  {
    LibLogCapture log;
    ZqFreeInMemBlock(a);  // not the most recent block
    ZqFreeInMemBlock(nullptr);
    ZqFreeInMemBlock(&outside);
    ZqFreeInMemBlock(b + 4);  // not a block start
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "ZqFreeInMemBlock...block is not the last pool block",
                                  "ZqFreeInMemBlock...block == NULL",
                                  "ZqFreeInMemBlock...block is not the last pool block",
                                  "ZqFreeInMemBlock...block is not the last pool block"}));
  }
  auto *c = static_cast<uint8_t *>(ZqAllocInMemBlock(16));
  EXPECT_EQ(c, b + 16 + 4);  // b is still live
  EXPECT_EQ(std::count(b, b + 16, 0x5a), 16);
}

TEST_F(Pool, SecondInitReplacesThePool) {
  Make(32);
  Make(128);  // the 32-byte pool must not leak (the sanitizer build checks)
  EXPECT_NE(ZqAllocInMemBlock(119), nullptr);
}

TEST_F(Pool, InitRefusesSizesWithoutRoomForALengthWord) {
  ZqSetMemoryPoolEn(1);
  EXPECT_EQ(ZqInitMemBlock(3), -1);
  EXPECT_EQ(ZqInitMemBlock(-5), -1);
  EXPECT_EQ(ZqAllocInMemBlock(0), nullptr);
}

TEST_F(Pool, SwitchOffServesTheCountedHeap) {
  ZqSetMemoryPoolEn(0x100);  // low byte 0: off
  EXPECT_EQ(ZqInitMemBlock(1024), 0);
  EXPECT_EQ(ZqAllocInMemBlock(1), nullptr);  // no pool was made
  const int32_t start = ZqGetMallocCnts();
  void *p = ZqSafeAllocInMemBlock(40);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(Aligned16(p));
  EXPECT_EQ(ZqGetMallocCnts(), start + 1);
  ZqSafeFreeInMemBlock(p);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST_F(Pool, AlignedPoolBlocksAreUncountedAndLifo) {
  Make(64);
  const int32_t start = ZqGetMallocCnts();
  void *p = ZqSafeAllocInMemBlock(31);  // 31 + 24 + 4 < 60
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(Aligned16(p));
  EXPECT_EQ(ZqGetMallocCnts(), start);
  ZqSafeFreeInMemBlock(p);
  {
    LibLogCapture log;
    EXPECT_EQ(ZqSafeAllocInMemBlock(32), nullptr);
    EXPECT_EQ(ZqSafeAllocInMemBlock(-30), nullptr);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "ZqAllocInMemBlock...memory pool NOT enough!",
                                  "ZqSafeAllocInMemBlock...udata == NULL, size = 32",
                                  "ZqSafeAllocInMemBlock...udata == NULL, size = -30"}));
  }
  EXPECT_EQ(ZqSafeAllocInMemBlock(31), p);  // the room came back
}

}  // namespace
