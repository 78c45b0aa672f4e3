// Allocation failures of the movement-speed check: refused peak lists,
// peak-search buffers and pairs give -1; a refused pair search is logged
// and judged on its zeroed pairs; nothing leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "src/alloc_failure.h"
#include "src/features/ZqSpeedMove.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::FailHeapAfter;

// Diagonal stripes of period 12 (plenty of peaks), shifted right by dx.
std::vector<uint8_t> Stripes(int dx) {
  std::vector<uint8_t> img(64 * 64);
  for (int r = 0; r < 64; ++r)
    for (int c = 0; c < 64; ++c) img[r * 64 + c] = ((c - dx + 2 * r) / 6) % 2 ? 190 : 50;
  return img;
}

TEST(SpeedMoveAlloc, EveryRefusedBlockIsHandled) {
  // The frames are the same stripes 20 px apart. The stripes repeat, so the
  // best pair may be any repeat; what matters is the failure handling.
  const std::vector<uint8_t> a = Stripes(0), b = Stripes(20);
  const int32_t normal = ZqSpeedFastJustifyExampProcess(a.data(), b.data(), 64, 64);
  ASSERT_GE(normal, 0);
  bool sawPairFailure = false;
  for (int ok = 0;; ++ok) {
    ASSERT_LT(ok, 200);
    const int32_t start = ZqGetMallocCnts();
    int32_t ret;
    bool refused;
    std::vector<std::string> messages;
    {
      testing_support::LibLogCapture log;
      FailHeapAfter fail(ok);
      ret = ZqSpeedFastJustifyExampProcess(a.data(), b.data(), 64, 64);
      refused = testing_support::RefusedAllocations() > 0;
      messages = log.Messages();
    }
    EXPECT_EQ(ZqGetMallocCnts(), start) << "ok " << ok;
    if (!refused) {
      EXPECT_EQ(ret, normal);
      break;
    }
    const bool pairFailure =
        std::find(messages.begin(), messages.end(),
                  "ZqSpeedFastJustifyExampProcess...ZqSearchFeatPair failed, ret = -2") !=
        messages.end();
    if (pairFailure) {
      // Zeroed pairs: cost 0 at distance 0, read as "still" (equal areas).
      sawPairFailure = true;
      EXPECT_EQ(ret, ZQ_SPEED_STILL) << "ok " << ok;
    } else {
      // A refused no-finger decision only clears that image's flag.
      EXPECT_TRUE(ret == ZQ_SPEED_FAIL || ret == normal || ret == ZQ_SPEED_MOVED)
          << "ok " << ok << " ret " << ret;
    }
  }
  EXPECT_TRUE(sawPairFailure);
}

}  // namespace
