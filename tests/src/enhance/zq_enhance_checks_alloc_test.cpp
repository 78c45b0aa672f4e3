// Allocation failures of the no-finger, image-check and mask functions:
// every refused block gives the documented code, writes no result and
// leaks nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "src/alloc_failure.h"
#include "src/enhance/ZqGetFlag.h"
#include "src/enhance/ZqImgSimpleChecks.h"
#include "src/enhance/ZqLocalQuati.h"
#include "src/enhance/ZqMeanImage.h"
#include "src/enhance/ZqNonFingerDetect.h"
#include "src/enhance/ZqValidArea.h"
#include "src/enhance/ZqWhiteAbnormal.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::FailHeapAfter;

TEST(EnhanceChecksAlloc, EveryRefusedBlockFailsCleanly) {
  const int rows = 40, cols = 48;
  std::vector<uint8_t> img(rows * cols);
  for (int i = 0; i < rows * cols; ++i) img[i] = static_cast<uint8_t>((i % cols / 3 + i / cols / 5) % 2 ? 190 : 60);
  std::vector<uint8_t> a(img.size(), 9), b(img.size(), 9);
  float p = 42.0f;
  uint8_t pct = 222;
  struct Case {
    const char *name;
    std::function<int32_t()> call;
    std::vector<int32_t> failures;  // codes allowed when a block is refused
    std::function<bool()> kept;     // outputs untouched after a failure
  };
  const Case cases[] = {
      {"NonFingerDetect", [&] { return NonFingerDetect(img.data(), cols, rows, &p); }, {-2, -3, -4, -7},
       [&] { return p == 42.0f; }},
      {"ZqPalmDetect", [&] { return ZqPalmDetect(img.data(), rows, cols); }, {-2}, [] { return true; }},
      // Without the block means the blocks are skipped (e = 0: result 1).
      {"ZqDirtyDetect", [&] { return ZqDirtyDetect(img.data(), cols, rows, 80); }, {-2, 1},
       [] { return true; }},
      {"ZqMeanImage", [&] { return ZqMeanImage(img.data(), rows, cols, 1, a.data()); }, {-2},
       [&] { return a == std::vector<uint8_t>(img.size(), 9); }},
      {"ZqGetFlag", [&] { return ZqGetFlag(img.data(), rows, cols, a.data(), b.data()); }, {-2},
       [&] { return a == std::vector<uint8_t>(img.size(), 9) && b == a; }},
      {"ZqLocalQuati_u8", [&] { return ZqLocalQuati_u8(img.data(), rows, cols, 2, a.data()); }, {-2},
       [&] { return a == std::vector<uint8_t>(img.size(), 9); }},
      {"ZqGetConnectedArea_v6_getWhiteAbnormal",
       [&] { return ZqGetConnectedArea_v6_getWhiteAbnormal(img.data(), rows, cols, 10, 0, &pct); },
       {-2}, [&] { return pct == 222; }},
      {"ZqValidArea", [&] { return ZqValidArea(img.data(), rows, cols, &pct); }, {-2, -3},
       [&] { return pct == 222; }},
  };
  for (const Case &c : cases) {
    for (int ok = 0;; ++ok) {
      ASSERT_LT(ok, 100) << c.name;
      a.assign(img.size(), 9);
      b.assign(img.size(), 9);
      p = 42.0f;
      pct = 222;
      const int32_t start = ZqGetMallocCnts();
      int32_t ret;
      bool refused;
      {
        FailHeapAfter fail(ok);
        ret = c.call();
        refused = testing_support::RefusedAllocations() > 0;
      }
      EXPECT_EQ(ZqGetMallocCnts(), start) << c.name << " ok " << ok;
      if (!refused) break;
      EXPECT_NE(std::find(c.failures.begin(), c.failures.end(), ret), c.failures.end())
          << c.name << " ok " << ok << " ret " << ret;
      if (ret < 0) {
        EXPECT_TRUE(c.kept()) << c.name << " ok " << ok;
      }
    }
  }
}

}  // namespace
