// Allocation failures of the curved-surface removal and the adaptive
// equalisation: the documented code or a degraded image, the logged step,
// untouched outputs on refusal and no leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "src/alloc_failure.h"
#include "src/enhance/ImgAdaptHisteq.h"
#include "src/enhance/ZqDealCurveSurf.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::FailHeapAfter;

bool Contains(const std::vector<std::string> &lines, const std::string &message) {
  return std::find(lines.begin(), lines.end(), message) != lines.end();
}

TEST(DealCurveSurfDataAlloc, EveryRefusedBlockIsHandled) {
  const int rows = 48, cols = 48;
  std::vector<uint16_t> frame(rows * cols);
  for (int i = 0; i < rows * cols; ++i)
    frame[i] = static_cast<uint16_t>(900 + 40 * (i % cols) + ((i / cols / 3 + i % cols / 4) % 2) * 600);
  std::vector<uint8_t> full(frame.size());
  ASSERT_EQ(DealCurveSurfData(frame.data(), rows, cols, full.data()), 0);

  bool sawColumnStep = false;
  for (int ok = 0;; ++ok) {
    ASSERT_LT(ok, 100);
    std::vector<uint8_t> out(frame.size(), 7);
    const int32_t start = ZqGetMallocCnts();
    int32_t ret;
    bool refused;
    std::vector<std::string> messages;
    {
      testing_support::LibLogCapture log;
      FailHeapAfter fail(ok);
      ret = DealCurveSurfData(frame.data(), rows, cols, out.data());
      refused = testing_support::RefusedAllocations() > 0;
      messages = log.Messages();
    }
    EXPECT_EQ(ZqGetMallocCnts(), start) << "ok " << ok;
    if (!refused) {
      EXPECT_EQ(ret, 0);
      EXPECT_EQ(out, full);
      break;
    }
    if (ok < 3) {
      // The mask and the two 8-bit images.
      EXPECT_EQ(ret, -2) << "ok " << ok;
      EXPECT_EQ(out, std::vector<uint8_t>(frame.size(), 7)) << "ok " << ok;
      EXPECT_TRUE(Contains(messages, "DealCurveSurfData...meanImg malloc fail, ret = -2"))
          << "ok " << ok;
      continue;
    }
    // Later steps degrade the image but the call completes.
    EXPECT_EQ(ret, 0) << "ok " << ok;
    if (Contains(messages, "ZqRemoveCurveSurf...colsDiff malloc fail, ret = -2")) {
      sawColumnStep = true;
    }
  }
  EXPECT_TRUE(sawColumnStep);
}

TEST(ImgAdaptHisteqAlloc, RefusedMapArrayLeavesTheImage) {
  std::vector<uint8_t> img(96 * 96);
  for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint8_t>(i * 37 % 251);
  const std::vector<uint8_t> before = img;
  const int32_t start = ZqGetMallocCnts();
  {
    FailHeapAfter fail(0);
    EXPECT_EQ(ImgAdaptHisteq(img.data(), 96, 96, 0, 255, 12, 0.04f, 12, 256), -2);
  }
  EXPECT_EQ(img, before);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

}  // namespace
