// Contours when the counted heap refuses: empty records, logged, no leaks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/features/ZqContourProc.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::HeapFailureAt;
using testing_support::LibLogCapture;

TEST(ContourAlloc, RecordsStayEmptyAndSayWhy) {
  LibLogCapture log;
  {
    HeapFailureAt fail(0);
    const ST_Contour c = ZqInitContours(8);
    EXPECT_EQ(c.pts, nullptr);
    EXPECT_EQ(c.capacity, 0);
    ST_Contour d = {3, 4, nullptr};
    EXPECT_EQ(ZqInitContours2(&d, 8), -1);
    EXPECT_EQ(d.num, 0);
    EXPECT_EQ(d.capacity, 0);
    EXPECT_EQ(d.pts, nullptr);
  }
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 4u);  // the allocator's line and ours, twice
  EXPECT_TRUE(testing_support::IsLibErrorLine(lines[1], "ZqInitContours",
                                              "src/features/ZqContourProc.cpp",
                                              "ZqInitContours... ZqSafeAlloc() == null"))
      << lines[1];
  EXPECT_TRUE(testing_support::IsLibErrorLine(lines[3], "ZqInitContours2",
                                              "src/features/ZqContourProc.cpp",
                                              "ZqInitContours2... ZqSafeAlloc() == null"))
      << lines[3];
  // Far too many points for one allocation: refused before asking.
  EXPECT_EQ(ZqInitContours(INT32_MAX).pts, nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(ContourAlloc, OverlapsGiveUpCleanly) {
  const ST_Point32f A[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  const ST_Point32f B[4] = {{5, 5}, {15, 5}, {15, 15}, {5, 15}};
  ST_Contour c = ZqInitContours(8);
  c.num = 4;
  {
    HeapFailureAt fail(0);
    EXPECT_EQ(ZqCalcRotateRectInsection(A, B, &c), -1);
  }
  EXPECT_EQ(c.num, 0);
  ZqReleaseContours(&c);
  const ST_FullHMatrix id = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  for (int k : {0, 1}) {
    HeapFailureAt fail(k);
    EXPECT_EQ(ZqCalcInterSectionArea(&id, 36, 176), 0.0f) << k;
  }
  for (int k = 0; k < 4; ++k) {
    float a1 = -1, a2 = -1, a12 = -1;
    HeapFailureAt fail(k);
    EXPECT_EQ(ZqCalcInterSectionArea2(&id, &id, 36, 176, &a1, &a2, &a12), 0) << k;
    EXPECT_EQ(a12, 0.0f) << k;
  }
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

}  // namespace
