// ZqNewFeature and the median copy when the counted heap refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/alloc_failure.h"
#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqGeomMath.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::FailHeapAfter;
using testing_support::LibLogCapture;

bool Contains(const std::vector<std::string> &v, const std::string &s) {
  for (const auto &e : v) {
    if (e == s) return true;
  }
  return false;
}

TEST(NewFeature, ZeroedRecordWithZeroedData) {
  const int32_t start = ZqGetMallocCnts();
  ST_DetectFeature *f = ZqNewFeature();
  ASSERT_NE(f, nullptr);
  ASSERT_NE(f->ddata, nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), start + 2);
  EXPECT_EQ(f->x, 0.0f);
  EXPECT_EQ(f->contrast, 0.0f);
  EXPECT_EQ(f->kind, 0);
  EXPECT_EQ(f->ddata->octv, 0);
  EXPECT_EQ(f->ddata->intv, 0);
  EXPECT_EQ(f->ddata->scl_octv, 0.0f);
  ZqSafeFree(f->ddata);
  ZqSafeFree(f);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(NewFeature, EitherAllocationFailingLeavesNothing) {
  struct Case {
    int ok;
    std::string message;
  };
  for (const Case &c : {Case{0, "ZqNewFeature...feat == NULL"},
                         Case{1, "ZqNewFeature...ddata == NULL"}}) {
    const int32_t start = ZqGetMallocCnts();
    LibLogCapture log;
    {
      FailHeapAfter fail(c.ok);
      EXPECT_EQ(ZqNewFeature(), nullptr);
    }
    EXPECT_EQ(ZqGetMallocCnts(), start) << c.message;
    EXPECT_TRUE(Contains(log.Messages(), c.message)) << c.message;
  }
}

TEST(MedianAlloc, FailedCopyLeavesResultUntouched) {
  const float data[3] = {3, 1, 2};
  for (auto fn : {ZqGetMiddleValue, ZqGetMiddleValue1}) {
    const int32_t start = ZqGetMallocCnts();
    float out = -7.0f;
    {
      FailHeapAfter fail(0);
      EXPECT_EQ(fn(data, 3, &out), 0);
    }
    EXPECT_EQ(out, -7.0f);
    EXPECT_EQ(ZqGetMallocCnts(), start);
  }
}

}  // namespace
