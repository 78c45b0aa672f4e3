// The net memory pool, the tensor functions over it and the read-out of a
// network's output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "src/netModel/net_test_support.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"
#include "src/netModel/ZqCnnNetStructDef.h"
#include "src/netModel/ZqNetMemoryManger.h"

namespace {

using net_test::HasLineMessage;
using net_test::PoolState;
using net_test::PoolTensor;
using net_test::ScopedNetPool;
using testing_support::LibLogCapture;

class NetPool : public ::testing::Test {
 protected:
  void SetUp() override { ZqNetPoolResetForTest(); }
  void TearDown() override { ZqNetPoolResetForTest(); }
};

TEST_F(NetPool, BlocksComeBackOnlyInReverseOrder) {
  ASSERT_EQ(ZqNetInitMemroyPool(64), 0);
  const ZqNetPoolState empty = PoolState();
  int32_t slot_a = 0, slot_b = 0;
  auto *a = static_cast<uint8_t *>(ZqNetSafeAlloc(16, &slot_a));
  auto *b = static_cast<uint8_t *>(ZqNetSafeAlloc(8, &slot_b));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a, empty.base);
  EXPECT_EQ(b, a + 16);  // laid end to end, each exactly as long as asked
  EXPECT_EQ(slot_a, 1);
  EXPECT_EQ(slot_b, 2);

  {
    LibLogCapture log;
    EXPECT_EQ(ZqNetFreeAlloc(a, 16, slot_a), -1);
    EXPECT_TRUE(HasLineMessage(log.Messages(), "ZqNetFreeAlloc", "the Pool is damaged!"));
  }
  ZqNetPoolState s = PoolState();
  EXPECT_EQ(s.used, 24);  // the refused pop leaves the pool as it was
  EXPECT_EQ(s.count, 2);

  EXPECT_EQ(ZqNetFreeAlloc(b, 8, slot_b), 0);
  EXPECT_EQ(ZqNetFreeAlloc(a, 16, slot_a), 0);
  s = PoolState();
  EXPECT_EQ(s.used, 0);
  EXPECT_EQ(s.count, 0);
  EXPECT_EQ(s.top, s.base);
  EXPECT_EQ(s.peak, 24);
}

TEST_F(NetPool, PushRefusals) {
  struct Case {
    const char *what;
    int32_t pool;  // 0: no pool
    int32_t first, n;
    bool with_slot;
    const char *message;  // nullptr: granted
  } cases[] = {
      {"no pool", 0, 0, 4, true, "buffersize is not enough!"},
      {"exact fit", 64, 60, 4, true, nullptr},
      {"one byte over", 64, 60, 5, true, "buffersize is not enough!"},
      {"zero bytes", 64, 0, 0, true, nullptr},
      {"negative length", 64, 8, -8, true, "input is error!"},
      {"no slot", 64, 0, 4, false, "input is error!"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ZqNetPoolResetForTest();
    if (c.pool > 0) {
      ASSERT_EQ(ZqNetInitMemroyPool(c.pool), 0);
    }
    int32_t slot = 0;
    if (c.first > 0) {
      ASSERT_NE(ZqNetSafeAlloc(c.first, &slot), nullptr);
    }
    const ZqNetPoolState before = PoolState();
    LibLogCapture log;
    void *p = ZqNetSafeAlloc(c.n, c.with_slot ? &slot : nullptr);
    const ZqNetPoolState after = PoolState();
    if (c.message == nullptr) {
      EXPECT_EQ(p, static_cast<const uint8_t *>(before.base) + before.used);
      EXPECT_EQ(after.used, before.used + c.n);
      EXPECT_EQ(slot, before.count + 1);
      EXPECT_TRUE(log.Messages().empty());
    } else {
      EXPECT_EQ(p, nullptr);
      EXPECT_EQ(after.used, before.used);
      EXPECT_EQ(after.count, before.count);
      EXPECT_TRUE(HasLineMessage(log.Messages(), "ZqNetSafeAlloc", c.message));
    }
  }
}

TEST_F(NetPool, PopRefusals) {
  struct Case {
    const char *what;
    int n_delta;     // added to the right length
    int slot_delta;  // added to the right slot
    bool null_block;
    int32_t result;
    const char *message;  // nullptr: silent
    bool popped;
  } cases[] = {
      {"the top block", 0, 0, false, 0, nullptr, true},
      {"NULL block", 0, 0, true, 0, nullptr, false},
      {"negative length", -100, 0, false, 0, "input is error!", false},
      {"slot 0", 0, -2, false, 0, "input is error!", false},
      {"older slot", 0, -1, false, -1, "the Pool is damaged!", false},
      {"shorter length", -4, 0, false, -1, "the Pool is damaged!", false},
      {"longer than used", 20, 0, false, -1, "the Pool is damaged!", false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ZqNetPoolResetForTest();
    ASSERT_EQ(ZqNetInitMemroyPool(64), 0);
    int32_t s1 = 0, s2 = 0;
    ASSERT_NE(ZqNetSafeAlloc(8, &s1), nullptr);
    void *top = ZqNetSafeAlloc(12, &s2);
    ASSERT_NE(top, nullptr);
    LibLogCapture log;
    const void *p = c.null_block ? nullptr : top;
    EXPECT_EQ(ZqNetFreeAlloc(p, 12 + c.n_delta, s2 + c.slot_delta), c.result);
    const ZqNetPoolState after = PoolState();
    EXPECT_EQ(after.used, c.popped ? 8 : 20);
    EXPECT_EQ(after.count, c.popped ? 1 : 2);
    if (c.message == nullptr) {
      EXPECT_TRUE(log.Messages().empty());
    } else {
      EXPECT_TRUE(HasLineMessage(log.Messages(), "ZqNetFreeAlloc", c.message));
    }
  }
}

TEST_F(NetPool, CreationRefusesASecondPoolAndAFailedBlock) {
  {
    LibLogCapture log;
    EXPECT_EQ(ZqNetInitMemroyPool(-1), -2);  // the heap refuses a negative size
    EXPECT_TRUE(HasLineMessage(log.Messages(), "ZqNetInitMemroyPool", "ZqSafeAlloc() failed!"));
  }
  EXPECT_EQ(PoolState().base, nullptr);
  const int32_t blocks = ZqGetMallocCnts();
  ASSERT_EQ(ZqNetInitMemroyPool(32), 0);
  EXPECT_EQ(ZqGetMallocCnts(), blocks + 1);
  const void *base = PoolState().base;
  {
    LibLogCapture log;
    EXPECT_EQ(ZqNetInitMemroyPool(64), -1);
    EXPECT_TRUE(HasLineMessage(log.Messages(), "ZqNetInitMemroyPool",
                               "the net buffer pool is not NULL!"));
  }
  EXPECT_EQ(PoolState().base, base);
  EXPECT_EQ(PoolState().capacity, 32);
  ZqNetFreeMemroyPool();
  ZqNetFreeMemroyPool();  // no pool: nothing
  EXPECT_EQ(ZqGetMallocCnts(), blocks);
  const ZqNetPoolState s = PoolState();
  EXPECT_EQ(s.base, nullptr);
  EXPECT_EQ(s.top, nullptr);
  EXPECT_EQ(s.capacity, 0);
}

TEST_F(NetPool, RecallGrowsOnlyAnEmptyPool) {
  struct Case {
    const char *what;
    int32_t live;  // bytes pushed before the call
    int32_t size;
    int32_t result;
    int32_t capacity;  // afterwards
    bool replaced;
    bool logs_error;
  } cases[] = {
      {"smaller", 0, 50, 0, 100, false, false},
      {"equal", 0, 100, 0, 100, false, false},
      {"negative", 0, -5, 0, 100, false, false},
      {"larger, empty", 0, 200, 0, 200, true, false},
      {"larger, block live", 4, 200, -1, 100, false, true},
      {"smaller, block live", 4, 50, 0, 100, false, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ZqNetPoolResetForTest();
    ASSERT_EQ(ZqNetRecallMemroyPool(100), 0);  // no pool yet: creates one
    const void *base = PoolState().base;
    ASSERT_NE(base, nullptr);
    int32_t slot = 0;
    if (c.live > 0) {
      ASSERT_NE(ZqNetSafeAlloc(c.live, &slot), nullptr);
    }
    LibLogCapture log;
    g_loglevel = 5;  // errors only: growth itself notes the size at info level
    EXPECT_EQ(ZqNetRecallMemroyPool(c.size), c.result);
    const ZqNetPoolState s = PoolState();
    EXPECT_EQ(s.capacity, c.capacity);
    EXPECT_EQ(s.used, c.live);
    if (!c.replaced) {
      EXPECT_EQ(s.base, base);
    }
    if (c.logs_error) {
      EXPECT_TRUE(HasLineMessage(log.Messages(), "ZqNetRecallMemroyPool",
                                 "the net buffer pool is occupyed!"));
    } else {
      EXPECT_TRUE(log.Messages().empty());
    }
  }
}

// A tensor of the given shape with no block.
ST_CnnLayInOut Shape(int w, int h, int c) {
  ST_CnnLayInOut t;
  Zq_Zeros_ST_CnnLayInOut(&t);
  t.w = static_cast<int16_t>(w);
  t.h = static_cast<int16_t>(h);
  t.c = static_cast<int16_t>(c);
  return t;
}

TEST_F(NetPool, TensorAllocationTakesZeroedBlocksOfTheShape) {
  ScopedNetPool pool(256);
  ST_CnnLayInOut dirty = PoolTensor(4, 4, 2);
  for (int i = 0; i < 32; ++i) dirty.data[i] = 7.0f;
  Zq_SafeFree_ST_CnnLayInOut(&dirty);
  EXPECT_EQ(dirty.data, nullptr);
  EXPECT_EQ(dirty.pool_slot, 0);
  EXPECT_EQ(dirty.byte_len, 0);
  EXPECT_EQ(dirty.w, 0);

  ST_CnnLayInOut t = Shape(3, 2, 5);
  ASSERT_EQ(Zq_SafeAlloc_ST_CnnLayInOut(&t), 0);
  EXPECT_EQ(t.byte_len, 120);
  EXPECT_EQ(t.pool_slot, 1);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(t.data[i], 0.0f) << i;  // over the dirty block

  ST_CnnLayInOut u = Shape(1, 1, 1);
  ASSERT_EQ(ZqSafeAllocCnnInOut(&u, 40), 0);
  EXPECT_EQ(u.byte_len, 40);
  EXPECT_EQ(u.pool_slot, 2);
  EXPECT_EQ(u.w, 1);  // the shape is not touched
  EXPECT_EQ(reinterpret_cast<uint8_t *>(u.data), reinterpret_cast<uint8_t *>(t.data) + 120);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(u.data[i], 0.0f);
  Zq_SafeFree_ST_CnnLayInOut(&u);
  Zq_SafeFree_ST_CnnLayInOut(&t);
  EXPECT_EQ(PoolState().used, 0);
}

TEST_F(NetPool, TensorAllocationRefusals) {
  ScopedNetPool pool(64);
  struct Case {
    const char *what;
    int w, h, c;
    int32_t result, byte_len;
  } cases[] = {
      {"zero width", 0, 4, 4, -2, 0},
      {"zero channels", 4, 4, 0, -2, 0},
      {"two negative dimensions", -2, -3, 1, -2, 0},
      {"size past int32", 32767, 32767, 32767, -2, 0},
      {"larger than the pool", 4, 4, 2, -3, 128},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ST_CnnLayInOut t = Shape(c.w, c.h, c.c);
    LibLogCapture log;  // the pool's refusal is logged; the others are silent
    EXPECT_EQ(Zq_SafeAlloc_ST_CnnLayInOut(&t), c.result);
    EXPECT_EQ(t.byte_len, c.byte_len);
    EXPECT_EQ(t.data, nullptr);
    EXPECT_EQ(PoolState().used, 0);
  }
  EXPECT_EQ(Zq_SafeAlloc_ST_CnnLayInOut(nullptr), -1);
  EXPECT_EQ(ZqSafeAllocCnnInOut(nullptr, 4), -1);
  ST_CnnLayInOut t = Shape(1, 1, 1);
  EXPECT_EQ(ZqSafeAllocCnnInOut(&t, 0), -2);
  {
    LibLogCapture log;
    EXPECT_EQ(ZqSafeAllocCnnInOut(&t, 68), -4);
  }
  EXPECT_EQ(t.data, nullptr);

  // A tensor that already holds a block keeps its record, so that the block
  // can still be returned after the refused call.
  ST_CnnLayInOut held = ZqSafeAllocCnnInOut(&t, 32) == 0 ? t : Shape(0, 0, 0);
  ASSERT_NE(held.data, nullptr);
  held.w = 2;  // the shape now asks for 8 bytes
  EXPECT_EQ(Zq_SafeAlloc_ST_CnnLayInOut(&held), -2);
  EXPECT_EQ(ZqSafeAllocCnnInOut(&held, 8), -2);
  EXPECT_EQ(held.byte_len, 32);
  EXPECT_EQ(held.pool_slot, 1);
  Zq_SafeFree_ST_CnnLayInOut(&held);
  EXPECT_EQ(PoolState().used, 0);
}

TEST_F(NetPool, FreeingOutOfOrderClearsTheRecordAndKeepsTheBlock) {
  ScopedNetPool pool(64);
  ST_CnnLayInOut a = PoolTensor(2, 2, 1);
  ST_CnnLayInOut b = PoolTensor(2, 1, 1);
  LibLogCapture log;
  Zq_SafeFree_ST_CnnLayInOut(&a);
  EXPECT_TRUE(HasLineMessage(log.Messages(), "ZqNetFreeAlloc", "the Pool is damaged!"));
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.pool_slot, 0);
  EXPECT_EQ(a.byte_len, 0);
  EXPECT_EQ(PoolState().used, 24);  // a's block stays taken
  Zq_SafeFree_ST_CnnLayInOut(&b);
  EXPECT_EQ(PoolState().used, 16);
  EXPECT_EQ(PoolState().count, 1);
  Zq_SafeFree_ST_CnnLayInOut(&a);  // already cleared: nothing
  Zq_SafeFree_ST_CnnLayInOut(nullptr);
  EXPECT_EQ(PoolState().used, 16);
  // Growth now finds the pool occupied until it is released as a whole.
  EXPECT_EQ(ZqNetRecallMemroyPool(128), -1);
}

TEST(ZqCnnTensor, ZerosAndShapeBytes) {
  ST_CnnLayInOut t = Shape(3, 3, 3);
  t.byte_len = 5;
  float f = 0;
  t.data = &f;
  t.pool_slot = 9;
  EXPECT_EQ(Zq_Zeros_ST_CnnLayInOut(&t), 0);
  EXPECT_EQ(t.w + t.h + t.c + t.byte_len, 0);
  EXPECT_EQ(t.data, nullptr);
  EXPECT_EQ(t.pool_slot, -1);
  EXPECT_EQ(Zq_Zeros_ST_CnnLayInOut(nullptr), -1);

  struct Case {
    int w, h, c;
    int32_t bytes;
  } cases[] = {{4, 5, 2, 160}, {1, 1, 1, 4}, {0, 7, 7, 0}, {-1, -1, 4, 0},
               {32767, 32767, 2, -1}, {32767, 128, 128, 2147418112}};
  for (const Case &c : cases) {
    ST_CnnLayInOut s = Shape(c.w, c.h, c.c);
    EXPECT_EQ(ZqCompute_InOutBuffers(&s), c.bytes) << c.w << "x" << c.h << "x" << c.c;
  }
  EXPECT_EQ(ZqCompute_InOutBuffers(nullptr), 0);
}

TEST_F(NetPool, FindMaxGivesFirstLargestClassAndOneMinusFirstProbability) {
  ScopedNetPool pool(256);
  struct Case {
    const char *what;
    std::vector<float> v;
    int32_t cls;
    double score;
  } cases[] = {
      {"tie takes the first", {0.2f, 1.5f, 1.5f}, 1,
       1.0 - std::exp(0.2) / (std::exp(0.2) + 2 * std::exp(1.5))},
      {"two classes: probability of class 1", {0.0f, std::log(3.0f)}, 1, 0.75},
      {"class 0", {2.0f, -1.0f}, 0, 1.0 - 1.0 / (1.0 + std::exp(-3.0))},
      {"nothing above -1e7", {-1e7f, -2e7f}, -1, 0.0},
      {"logits past expf's range", {100.0f, 101.0f}, 1, 1.0 - 1.0 / (1.0 + std::exp(1.0))},
      {"equal huge logits", {90.0f, 90.0f}, 0, 0.5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ST_CnnLayInOut t = PoolTensor(1, 1, static_cast<int>(c.v.size()), c.v);
    float score = 99.0f;
    EXPECT_EQ(ZqInOutFindMax(&score, t), c.cls);
    EXPECT_NEAR(score, c.score, 1e-6);
    Zq_SafeFree_ST_CnnLayInOut(&t);
  }
}

TEST_F(NetPool, FindMaxRefusals) {
  ScopedNetPool pool(64);
  ST_CnnLayInOut t = PoolTensor(2, 1, 1, {1.0f, 2.0f});
  float score = 9.0f;
  EXPECT_EQ(ZqInOutFindMax(nullptr, t), -1);
  ST_CnnLayInOut none = t;
  none.data = nullptr;
  EXPECT_EQ(ZqInOutFindMax(&score, none), -1);
  EXPECT_EQ(score, 9.0f);  // nothing written

  struct Case {
    int w, h, c;
  } empty_or_past_block[] = {{0, 1, 1}, {2, -1, 1}, {2, 1, 2}};
  for (const Case &c : empty_or_past_block) {
    ST_CnnLayInOut s = t;
    s.w = static_cast<int16_t>(c.w);
    s.h = static_cast<int16_t>(c.h);
    s.c = static_cast<int16_t>(c.c);
    score = 9.0f;
    EXPECT_EQ(ZqInOutFindMax(&score, s), -1);
    EXPECT_EQ(score, 0.0f);
  }
  Zq_SafeFree_ST_CnnLayInOut(&t);
}

}  // namespace
