// Registration when working memory is short: every allocation in turn
// refused, from the heap and from the pool.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "src/alloc_failure.h"
#include "src/features/ZqRansac.h"
#include "src/features/ZqRansacLegacy.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::HeapFailureAt;
using testing_support::LibLogCapture;
using testing_support::SmallPool;

const ST_FullHMatrix kUntouched = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};

bool Contains(const std::vector<std::string> &v, const std::string &s) {
  for (const auto &e : v) {
    if (e == s) return true;
  }
  return false;
}

// Ten pairs under a small rotation and shift.
template <class Point>
void TenPairs(std::vector<Point> *ref, std::vector<Point> *test) {
  const double pts[10][2] = {{10, 12}, {85, 20}, {40, 90}, {70, 75}, {20, 55},
                             {95, 60}, {55, 35}, {30, 25}, {80, 95}, {5, 85}};
  for (const auto &p : pts) {
    Point r{}, t{};
    r.x = static_cast<decltype(r.x)>(p[0]);
    r.y = static_cast<decltype(r.y)>(p[1]);
    t.x = static_cast<decltype(t.x)>(p[0] + 4);
    t.y = static_cast<decltype(t.y)>(p[1] - 2);
    ref->push_back(r);
    test->push_back(t);
  }
}

// Refuses heap allocation k = 0, 1, ... until the call succeeds: each refusal
// gives -2 with the outputs untouched and nothing left allocated.
template <class Point, class Fn>
void EveryHeapFailure(const char *name, Fn fn, int rowMessageAt) {
  SCOPED_TRACE(name);
  std::vector<Point> ref, test;
  TenPairs(&ref, &test);
  const int32_t start = ZqGetMallocCnts();
  int k = 0;
  for (;; ++k) {
    ST_FullHMatrix h = kUntouched;
    uint16_t cons[10] = {0xBEEF};
    LibLogCapture log;
    int r;
    bool fired;
    {
      HeapFailureAt fail(k);
      r = fn(ref.data(), test.data(), 10, &h, cons);
      fired = fail.Fired();
    }
    EXPECT_EQ(ZqGetMallocCnts(), start) << k;
    if (!fired) {
      EXPECT_EQ(r, 10);
      break;
    }
    EXPECT_EQ(r, -2) << k;
    EXPECT_EQ(std::memcmp(&h, &kUntouched, sizeof h), 0) << k;
    EXPECT_EQ(cons[0], 0xBEEF) << k;
    if (k == rowMessageAt) {
      EXPECT_TRUE(Contains(log.Messages(), "ZqRansacNew...pDArray[0] == NULL"));
    }
  }
  // Row array, ten rows, importances and two lists.
  EXPECT_EQ(k, 14);
}

TEST(RegistrationAlloc, EveryHeapRefusalGivesMinusTwo) {
  EveryHeapFailure<ST_MatchPoint>("ZqRansacAngle_32f", ZqRansacAngle_32f, -1);
  EveryHeapFailure<ST_MatchPoint>("ZqRansacEdage_32f", ZqRansacEdage_32f, -1);
  // With the pool switched off the pool variant takes its memory from the heap.
  EveryHeapFailure<ST_MatchPoint>("ZqRansacEdage_32f_ZQ4850", ZqRansacEdage_32f_ZQ4850, -1);
  EveryHeapFailure<ST_Point16s>("ZqRansacNew", ZqRansacNew, 1);
}

TEST(RegistrationAlloc, ShortPoolGivesMinusTwoAndARoomyOneWorks) {
  std::vector<ST_MatchPoint> ref, test;
  TenPairs(&ref, &test);
  // 14 blocks of at most 24 + 80 bytes each, plus the pool's own overhead.
  for (int size : {64, 300, 600}) {
    SCOPED_TRACE(size);
    SmallPool pool(size);
    ST_FullHMatrix h = kUntouched;
    EXPECT_EQ(ZqRansacEdage_32f_ZQ4850(ref.data(), test.data(), 10, &h, nullptr), -2);
    EXPECT_EQ(std::memcmp(&h, &kUntouched, sizeof h), 0);
  }
  SmallPool pool(8192);
  EXPECT_EQ(ZqRansacEdage_32f_ZQ4850(ref.data(), test.data(), 10, nullptr, nullptr), 10);
  // Everything went back: the whole pool is free for the next call.
  EXPECT_EQ(ZqRansacEdage_32f_ZQ4850(ref.data(), test.data(), 10, nullptr, nullptr), 10);
}

TEST(LegacyRegistrationAlloc, RefusalsWriteTheIdentityAndLeakNothing) {
  std::vector<ST_Point16s> ref, test;
  TenPairs(&ref, &test);
  const int32_t start = ZqGetMallocCnts();
  int k = 0;
  for (;; ++k) {
    ST_FullHMatrix h = kUntouched;
    int r;
    bool fired;
    {
      HeapFailureAt fail(k);
      r = ZqRansac(ref.data(), test.data(), 10, &h, nullptr);
      fired = fail.Fired();
    }
    EXPECT_EQ(ZqGetMallocCnts(), start) << k;
    if (!fired) break;
    if (k < 7) {
      // Own working memory: the identity is written.
      EXPECT_EQ(r, 0) << k;
      const float id[10] = {1, -0.0f, 0, 0, 1, 0, 0, 0, 1, 0};
      for (int i = 0; i < 10; ++i) EXPECT_EQ((&h.a00)[i], id[i]) << k;
    }
  }
  EXPECT_GT(k, 7);
}

TEST(LegacyRegistrationAlloc, HelpersLeaveTheirInputsUnchanged) {
  uint16_t index[4] = {0, 3, 5, 7};
  int16_t imp[4] = {4, 3, 2, 1};
  uint8_t d[16];
  for (int i = 0; i < 16; ++i) d[i] = static_cast<uint8_t>(i % 5 == 0 ? 0 : 1);
  uint8_t d0[16];
  std::memcpy(d0, d, sizeof d);
  uint16_t left = 4;
  const uint16_t cons[2] = {0, 5};
  {
    HeapFailureAt fail(0);
    ZqUpdateItems(imp, index, 4, &left, d, 2, cons);
  }
  EXPECT_EQ(left, 4);
  EXPECT_EQ(index[0], 0);
  EXPECT_EQ(std::memcmp(d, d0, sizeof d), 0);

  std::vector<ST_Point16s> ref, test;
  TenPairs(&ref, &test);
  ST_Point16s r2[2], t2[2];
  for (int k : {0, 1}) {
    HeapFailureAt fail(k);
    EXPECT_EQ(ZqFindCandi2Pts(r2, t2, ref.data(), test.data(), d, imp, index, 4, &left), 0);
  }
  EXPECT_EQ(left, 4);
  EXPECT_EQ(std::memcmp(d, d0, sizeof d), 0);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

}  // namespace
