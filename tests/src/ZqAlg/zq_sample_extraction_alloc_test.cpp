// Refused allocations in the image checks, the pre-filters and sample
// extraction: each reports its code and leaves no block behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <functional>
#include <vector>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqImageChecks.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_finger_image.h"

namespace {

using testing_support::HeapFailureAt;

// Runs op with heap allocation k refused, k = 0, 1, ... 63, then in steps
// of an eighth (the detector allocates thousands of blocks), until op no longer
// reaches it; each run must give okCode (a step whose failure is ignored)
// or one of `codes`, and leave no block behind once `after` has released
// what a success hands to the caller.
void SweepFailures(const char *name, const std::function<int32_t()> &op, int32_t okCode,
                   std::vector<int32_t> codes, const std::function<void()> &after = [] {}) {
  codes.push_back(okCode);
  for (int k = 0; k < 1000000; k += k < 64 ? 1 : k / 8) {
    const int32_t blocks = ZqGetMallocCnts();
    int32_t ret;
    bool fired;
    {
      HeapFailureAt fail(k);
      ret = op();
      fired = fail.Fired();
    }
    after();
    EXPECT_EQ(ZqGetMallocCnts(), blocks) << name << " failing at " << k;
    if (!fired) {
      EXPECT_EQ(ret, okCode) << name;
      return;
    }
    EXPECT_NE(std::find(codes.begin(), codes.end(), ret), codes.end())
        << name << " failing at " << k << " gave " << ret;
  }
  ADD_FAILURE() << name << " never ran without a refusal";
}

TEST(SampleExtractionAllocTest, ChecksAndFiltersReportRefusedMemory) {
  ZqAlgSettingsResetForTest();
  const std::vector<uint8_t> finger = zq_test::FingerImage(64, 80);
  std::vector<uint8_t> img, out(64 * 80);
  std::vector<uint16_t> raw(64 * 80);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint16_t>(900 + finger[i] * 10);
  auto fresh = [&] { img = finger; return img.data(); };
  SweepFailures("ZqErosion", [&] { return ZqErosion(fresh(), 80, 64, 2); }, 0, {-2});
  SweepFailures("ZqLogoImageEnhance", [&] { return ZqLogoImageEnhance(fresh(), 80, 64); }, 0,
                {-2, -3});
  SweepFailures("ZqWetImageAreaPercent", [&] { return ZqWetImageAreaPercent(fresh(), 80, 64); },
                0, {-1, -2});
  SweepFailures("ZqBadPixselDetect",
                [&] { return ZqBadPixselDetect(fresh(), 64, 80, out.data()); }, 0, {-2, -3});
  uint8_t area = 0;
  SweepFailures("ZqGetWhiteAbnormal",
                [&] { return ZqGetWhiteAbnormal(fresh(), 80, 64, 200, 250, &area); }, 0, {-2, -3});
  SweepFailures("ZqBadPixRepair", [&] { return ZqBadPixRepair(fresh(), 80, 64); }, 0, {-2});
  SweepFailures("ZqNonLinearStretch_U8",
                [&] { return ZqNonLinearStretch_U8(fresh(), 64, 80, out.data()); }, 9,
                {-2, -3, -4, -5});
  SweepFailures("ZqNonLinearStretch",
                [&] { return ZqNonLinearStretch(raw.data(), 64, 80, out.data()); }, 9,
                {-2, -3, -4, -5});
  SweepFailures("ZqRootFilter", [&] { return ZqRootFilter(fresh(), 80, 64, 3, out.data()); }, 0,
                {-2, -3, -4, -6});
  SweepFailures("ZqImgAdaptHisteq",
                [&] { return ZqImgAdaptHisteq(fresh(), 80, 64, 0, 255, 12, 0.01f, 8, 256); }, 0,
                {-2});
}

TEST(SampleExtractionAllocTest, ExtractionFreesEverythingOnEveryFailure) {
  ZqAlgSettingsResetForTest();
  ZqAlgModeResetForTest();
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  ZqAlgBadPixBitRefSet(1);
  ZqSetImageStretch(1);
  ST_SubTemplate *s = ZqCreateTemp();
  ASSERT_NE(s, nullptr);
  const std::vector<uint8_t> finger = zq_test::FingerImage(96, 96, 7);
  std::vector<uint8_t> img;
  const uint8_t quality[4] = {70, 90, 60, 0};
  SweepFailures("ZqGetTemplate",
                [&] {
                  img = finger;
                  const int32_t ret = ZqGetTemplate(img.data(), s, quality);
                  if (ret != 0) {
                    EXPECT_EQ(s->pTemplateFeature, nullptr);
                    EXPECT_EQ(s->featBufSize, 0u);
                  }
                  return ret;
                },
                0, {-2, -3},
                // The feature block of a success belongs to the sample.
                [&] {
                  ZqSafeFree(s->pTemplateFeature);
                  s->pTemplateFeature = nullptr;
                });
  ZqReleaseTemp(s);
  ZqDestroyIntiAlg();
  ZqAlgModeResetForTest();
  ZqAlgSettingsResetForTest();
}

}  // namespace
