// Allocation failures of the contrast filters: each refused block gives -2,
// leaves the image as it was and leaks nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "src/alloc_failure.h"
#include "src/enhance/ZqColumnStats.h"
#include "src/enhance/ZqContrastFilters.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::FailHeapAfter;

TEST(ContrastFiltersAlloc, EveryRefusedBlockGivesMinusTwoAndKeepsTheImage) {
  const int rows = 24, cols = 30;
  std::mt19937 rng(4);
  std::vector<uint8_t> noise(rows * cols);
  for (uint8_t &p : noise) p = static_cast<uint8_t>(rng() % 250);
  std::vector<uint8_t> mask(rows * cols);
  struct Case {
    const char *name;
    std::function<int32_t(uint8_t *)> run;
  };
  const Case cases[] = {
      {"SegmentByLocalVariance",
       [&](uint8_t *p) { return ZqSegmentByLocalVariance(p, rows, cols, 9, mask.data(), 9.0f); }},
      {"GrayMeanSub", [&](uint8_t *p) { return ZqGrayMeanSub(p, rows, cols, 11); }},
      {"LocalContrastEnhance", [&](uint8_t *p) { return ZqLocalContrastEnhance(p, rows, cols, 7); }},
      {"LeeFilter", [&](uint8_t *p) { return ZqLeeFilter(p, rows, cols, 5, 10.0f); }},
      {"NormalizeAndEnhance", [&](uint8_t *p) { return ZqNormalizeAndEnhance(p, rows, cols); }},
  };
  for (const Case &c : cases) {
    bool succeeded = false;
    for (int allowed = 0; allowed < 20 && !succeeded; ++allowed) {
      const int32_t live = ZqGetMallocCnts();
      std::vector<uint8_t> img = noise;
      int32_t rc;
      {
        FailHeapAfter fail(allowed);
        rc = c.run(img.data());
      }
      EXPECT_EQ(ZqGetMallocCnts(), live) << c.name << " after " << allowed;
      if (rc == 0) {
        succeeded = true;
        continue;
      }
      // The Lee filter reports a failing box filter as -3 whatever the cause.
      EXPECT_EQ(rc, std::string(c.name) == "LeeFilter" && allowed >= 2 ? -3 : -2)
          << c.name << " after " << allowed;
      EXPECT_EQ(img, noise) << c.name << " after " << allowed;
    }
    EXPECT_TRUE(succeeded) << c.name;
  }
}

}  // namespace
