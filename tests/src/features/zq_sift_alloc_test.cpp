// The fast keypoint detector when memory runs short: a refused heap
// allocation at any point, and pools of every size around the working
// images' need. Each outcome is clean (no leak, no stale pointer) and is one
// of: -2 with the failure logged, 0 with no keypoint when a blur cannot get
// its scratch, or the full result.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "src/alloc_failure.h"
#include "src/features/ZqSift.h"
#include "src/features/zq_scale_space_fixture.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using namespace scale_space_test;  // NOLINT
using testing_support::HeapFailureAt;
using testing_support::LibLogCapture;
using testing_support::SmallPool;

const std::string kName = "ZqGetMfsFeatures_v2";

bool Contains(const std::vector<std::string> &v, const std::string &s) {
  for (const std::string &e : v)
    if (e == s) return true;
  return false;
}

struct Outcome {
  int32_t ret;
  uint32_t counts[2];
  ST_Feature *f1, *f2;
  std::vector<std::string> messages;
};

// Checks one outcome against the full result `full` and frees its arrays.
// Returns the message that names the failure ("" on success).
std::string Check(Outcome &o, const Detection &full, const std::string &where) {
  std::string failure;
  if (o.ret == -2) {
    for (const char *m :
         {"...working images malloc fail", "...image copy malloc fail", "...feat malloc fail"}) {
      if (Contains(o.messages, kName + m)) failure = kName + m;
    }
    EXPECT_FALSE(failure.empty()) << where;
    EXPECT_EQ(o.f1, nullptr) << where;
    EXPECT_EQ(o.f2, nullptr) << where;
    EXPECT_EQ(o.counts[0] + o.counts[1], 0u) << where;
  } else if (Contains(o.messages, kName + "...ZqGaussianBlur_16u fail")) {
    failure = kName + "...ZqGaussianBlur_16u fail";
    EXPECT_EQ(o.ret, 0) << where;
    EXPECT_EQ(o.f1, nullptr) << where;
    EXPECT_EQ(o.f2, nullptr) << where;
    EXPECT_EQ(o.counts[0] + o.counts[1], 0u) << where;
  } else {
    EXPECT_EQ(o.ret, 0) << where;
    EXPECT_EQ(o.counts[0], full.counts[0]) << where;
    EXPECT_EQ(o.counts[1], full.counts[1]) << where;
    if (o.counts[0] == full.counts[0] && o.counts[1] == full.counts[1]) {
      EXPECT_EQ(std::memcmp(o.f1, full.feat1.data(), full.feat1.size() * sizeof(ST_Feature)), 0)
          << where;
      EXPECT_EQ(std::memcmp(o.f2, full.feat2.data(), full.feat2.size() * sizeof(ST_Feature)), 0)
          << where;
    }
  }
  EXPECT_TRUE(Contains(o.messages, kName + "...nMaxExtremum = " + std::to_string(o.counts[0]) +
                                       ", nMinExtremum = " + std::to_string(o.counts[1])))
      << where;
  ZqSafeFree(o.f1);
  ZqSafeFree(o.f2);
  return failure;
}

// An image with padded rows (77 columns), so the packing copy is made too.
ImagePtr TestImage() {
  return BlobImage(60, 77, {{20, 24, 2.5, 90}, {50, 40, 2.5, -90}, {40, 20, 2, 60}});
}

TEST(SiftAlloc, EveryHeapFailurePointIsClean) {
  ImagePtr img = TestImage();
  ST_FeatExtractPara para{};
  para.img = img.get();
  const Detection full = Detect(ZqGetMfsFeatures_v2, para);
  ASSERT_EQ(full.ret, 0);
  ASSERT_GT(full.counts[0], 0u);
  ASSERT_GT(full.counts[1], 0u);
  std::set<std::string> seen;
  int n = 0;
  for (;; ++n) {
    const int32_t start = ZqGetMallocCnts();
    Outcome o{
        0, {9, 9}, reinterpret_cast<ST_Feature *>(0x1), reinterpret_cast<ST_Feature *>(0x1), {}};
    bool fired;
    {
      LibLogCapture log;
      HeapFailureAt fail(n);
      o.ret = ZqGetMfsFeatures_v2(&o.f1, &o.f2, o.counts, para);
      fired = fail.Fired();
      o.messages = log.Messages();
    }
    const std::string where = "allocation " + std::to_string(n);
    const std::string failure = Check(o, full, where);
    ASSERT_EQ(ZqGetMallocCnts(), start) << "leak when " << where << " fails";
    if (!fired) {
      EXPECT_TRUE(failure.empty());
      break;
    }
    EXPECT_FALSE(failure.empty()) << where;
    seen.insert(failure);
  }
  EXPECT_EQ(seen, (std::set<std::string>{
                      kName + "...working images malloc fail", kName + "...image copy malloc fail",
                      kName + "...ZqGaussianBlur_16u fail", kName + "...feat malloc fail"}));
}

TEST(SiftAlloc, PoolsOfEverySizeAroundTheNeed) {
  ImagePtr img = TestImage();
  ST_FeatExtractPara para{};
  para.img = img.get();
  const Detection full = Detect(ZqGetMfsFeatures_v2, para);
  ASSERT_EQ(full.ret, 0);
  // Four working images of 90 x 116 pixels, 2 bytes each.
  const int need = 4 * 2 * 90 * 116;
  std::set<std::string> seen;
  for (int size = need - 4096; size <= need + 65536; size += 512) {
    const int32_t start = ZqGetMallocCnts();
    Outcome o{0, {9, 9}, nullptr, nullptr, {}};
    {
      SmallPool pool(size);
      LibLogCapture log;
      o.ret = ZqGetMfsFeatures_v2(&o.f1, &o.f2, o.counts, para);
      o.messages = log.Messages();
      // Every pool block was handed back: the whole pool can be taken again.
      void *all = ZqSafeAllocInMemBlock(size - 64);
      EXPECT_NE(all, nullptr) << "pool of " << size;
      ZqSafeFreeInMemBlock(all);
    }
    seen.insert(Check(o, full, "pool of " + std::to_string(size)));
    ASSERT_EQ(ZqGetMallocCnts(), start) << "pool of " << size;
  }
  EXPECT_EQ(seen, (std::set<std::string>{kName + "...working images malloc fail",
                                         kName + "...ZqGaussianBlur_16u fail", ""}));
}

}  // namespace
