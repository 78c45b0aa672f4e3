// Identification under failing allocations: a failure never passes for a
// match, a failed copy of an accepted sample teaches the history nothing,
// and the pooling fallback reports -2 without keeping memory.
#include <gtest/gtest.h>

#include <cstring>

#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/ZqAlg/ZqVerifyByTemplateParts.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_press_fixture.h"

namespace {

using zq_test::Crop;
using zq_test::Press;

using VerifyAllocTest = zq_test::VerifyStoreTest;

TEST_F(VerifyAllocTest, FailuresAreNeverMatchesAndLeaveTheHistoryAlone) {
  const fingers::MasterFinger m = zq_test::PressMaster(1);
  Crop tpl = Press(m, 0, 0, 0);
  Crop probe = Press(m, 1, 10, -12, 0.1);
  Place(3, {tpl.sample.get()});
  // One clean run: the update record and the buffer now hold a sample each.
  ASSERT_EQ(Identify(probe.sample.get()).ret, 0);
  const int32_t blocks = ZqGetMallocCnts();
  const ST_QuorvMatchPriority &h = *gQuorvMatchPriority;
  bool copyFailed = false, reachedFull = false;
  for (int n = 0; n < 5000 && !reachedFull; ++n) {
    const uint32_t pos = h.fingerRingPos;
    Outcome o;
    bool fired;
    {
      testing_support::HeapFailureAt fail(n);
      o = Identify(probe.sample.get());
      fired = fail.Fired();
    }
    SCOPED_TRACE(testing::Message() << "failure at " << n << ", ret " << o.ret);
    // A sample copy that failed leaves its record without features.
    EXPECT_LE(ZqGetMallocCnts(), blocks);
    if (o.ret == 0) {
      EXPECT_EQ(o.fid, 3);
      EXPECT_EQ(h.fingerRingPos, (pos + 1) % ZQ_FINGER_RING_SIZE);
    } else {
      EXPECT_EQ(h.fingerRingPos, pos);
      if (o.fid == 3) {
        // Accepted, then the copy of the sample failed: the copy's code,
        // or -7 for a best score at the configured threshold.
        EXPECT_TRUE(o.ret == -2 || o.ret == -7);
        copyFailed = true;
      } else {
        EXPECT_EQ(o.fid, 255);
        EXPECT_TRUE(o.ret == -1 || o.ret == -2);
      }
    }
    if (!fired) {
      EXPECT_EQ(o.ret, 0);
      reachedFull = true;
    }
  }
  EXPECT_TRUE(copyFailed);
  EXPECT_TRUE(reachedFull);
  ASSERT_EQ(Identify(probe.sample.get()).ret, 0);
  EXPECT_EQ(ZqGetMallocCnts(), blocks);
}

TEST(VerifyPoolAllocTest, PoolingWorkArraysThatCannotBeMadeGiveMinusTwo) {
  ST_QuorvAreaMatchToplogy pool;
  std::memset(&pool, 0, sizeof pool);
  for (int a = 0; a < 2; ++a) {
    ST_QuorvMatchArea &area = pool.areas[pool.areaNum++];
    area.fingerId = 2;
    area.pointNum = 6;
    area.ratio = 0.9f;
    for (int k = 0; k < 6; ++k) {
      const float x = static_cast<float>(10 + 13 * k + 5 * a),
                  y = static_cast<float>(8 + 11 * ((k * 5 + a) % 7));
      area.samplePoints[k] = ST_Point32f{x, y};
      area.tempPoints[k] = ST_Point32f{x + 4.0f, y - 3.0f};
    }
  }
  const zq_alg::WeakPoolRule rule = {7, 1, 1};
  const int32_t blocks = ZqGetMallocCnts();
  for (int n = 0; n < 3; ++n) {
    ST_QuorvAreaMatchToplogy copy = pool;
    int32_t scores = 0, fid = 255, finger = 255;
    int ret;
    {
      testing_support::HeapFailureAt fail(n);
      ret = zq_alg::PoolWeakAreas(&copy, rule, &scores, &fid, &finger);
      EXPECT_TRUE(fail.Fired());
    }
    EXPECT_EQ(ret, -2) << n;
    EXPECT_EQ(scores, 0);
    EXPECT_EQ(finger, 255);
    EXPECT_EQ(ZqGetMallocCnts(), blocks);
  }
  int32_t scores = 0, fid = 255, finger = 255;
  EXPECT_EQ(zq_alg::PoolWeakAreas(&pool, rule, &scores, &fid, &finger), 0);
  EXPECT_EQ(finger, 2);
}

}  // namespace
