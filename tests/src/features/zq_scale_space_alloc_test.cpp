// The scale-space detectors when the counted heap refuses one allocation
// and every later one: every stage fails cleanly, nothing leaks, and the log
// tells allocation failures from "no keypoint".
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/features/zq_scale_space_fixture.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using namespace scale_space_test;  // NOLINT
using testing_support::HeapFailureAt;
using testing_support::LibLogCapture;

bool Contains(const std::vector<std::string> &v, const std::string &s) {
  for (const std::string &e : v)
    if (e == s) return true;
  return false;
}

TEST(ScaleSpaceAlloc, EveryFailurePointIsCleanAndReported) {
  ZqAlgModeResetForTest();
  ImagePtr img = BlobImage(40, 40, {{14, 14, 2.5, 80}, {26, 25, 2.5, -80}});
  struct Det {
    std::string name;
    DetectorFn fn;
  };
  for (const Det &d : {Det{"ZqGetMfsFeatures", ZqGetMfsFeatures}, Det{"ZqGetMfbFeatures", ZqGetMfbFeatures}}) {
    std::set<std::string> seen;
    int n = 0;
    for (;; ++n) {
      const int32_t start = ZqGetMallocCnts();
      ST_Feature *f1 = nullptr, *f2 = nullptr;
      uint32_t counts[2] = {9, 9};
      int32_t ret;
      bool fired;
      std::vector<std::string> messages;
      {
        LibLogCapture log;
        HeapFailureAt fail(n);
        ret = d.fn(&f1, &f2, counts, DefaultPara(img.get()));
        fired = fail.Fired();
        messages = log.Messages();
      }
      if (!fired) {
        EXPECT_EQ(ret, 0) << d.name;
        EXPECT_GT(counts[0], 0u);
        EXPECT_GT(counts[1], 0u);
        ZqSafeFree(f1);
        ZqSafeFree(f2);
        EXPECT_EQ(ZqGetMallocCnts(), start);
        break;
      }
      // Failures inside the orientation and descriptor stages only degrade
      // the records; everything before them ends the call with -2.
      ASSERT_TRUE(ret == 0 || ret == -2) << d.name << " at " << n << ": " << ret;
      for (const std::string &m : messages) seen.insert(m);
      if (ret == -2) {
        const bool feat2Failed = Contains(messages, d.name + "...*feat2 malloc fail");
        EXPECT_EQ(counts[1], 0u) << d.name << " at " << n;
        if (feat2Failed) {
          EXPECT_GT(counts[0], 0u) << d.name << " at " << n;
          EXPECT_NE(f1, nullptr);
        } else {
          EXPECT_EQ(counts[0], 0u) << d.name << " at " << n;
          EXPECT_EQ(f1, nullptr) << d.name << " at " << n;
        }
        EXPECT_EQ(f2, nullptr) << d.name << " at " << n;
        EXPECT_FALSE(Contains(messages, d.name + "...no keypoint found, ret = -2")) << d.name << " at " << n;
        EXPECT_TRUE(Contains(messages, d.name + "...ret = -2, nMaxExtremum = " + std::to_string(counts[0]) +
                                           ", nMinExtremum = 0"))
            << d.name << " at " << n;
      }
      ZqSafeFree(f1);
      ZqSafeFree(f2);
      ASSERT_EQ(ZqGetMallocCnts(), start) << d.name << " leaks when allocation " << n << " fails";
    }
    EXPECT_GT(n, 40) << d.name;
    for (const std::string &text :
         {d.name + "...ZqCreateInitImg init_img == NULL, ret = -2",
          d.name + "...ZqBuildGaussPyr return gaussPyr==NULL, ret = -2",
          d.name + "...ZqBuildDogPyr return dogPyr==NULL, ret = -2",
          d.name + "...ZqCreateMemStorage malloc fail, ret = -2", d.name + "...feat malloc fail, ret = -2",
          d.name + "...*feat1 malloc fail", d.name + "...*feat2 malloc fail",
          std::string("ZqScaleSpaceExtrema...featureMat == NULL"),
          std::string("ZqBuildGaussPyr...gaussPyr == NULL"), std::string("ZqBuildDogPyr...dogPyr == NULL"),
          std::string("ZqConvertToGray32...ZqCreateImage gray32==NULL")}) {
      EXPECT_TRUE(seen.count(text)) << text;
    }
  }
}

}  // namespace
