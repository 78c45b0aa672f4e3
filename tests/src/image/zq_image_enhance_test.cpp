// The enhancement switch and the algorithm core's filter entry.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/alloc_failure.h"
#include "src/image/ZqImageFilterEnhance.h"
#include "src/image/ZqImageEnhance.h"

namespace {

using testing_support::FailHeapAfter;

// 3 x 4, left half 0 and right half 90: the median keeps it, the mean
// gives 0 30 60 90 per row, the stretch 254 / 90 gives 0 84 169 254.
const std::vector<uint8_t> kStep = {0, 0, 90, 90, 0, 0, 90, 90, 0, 0, 90, 90};

TEST(ZqImageEnhance, TypesByHand) {
  struct Case {
    uint8_t type;
    std::vector<uint8_t> row;
  } cases[] = {
      {2, {0, 0, 90, 90}}, {3, {0, 84, 169, 254}}, {0, {0, 30, 60, 90}},
      {1, {0, 30, 60, 90}}, {255, {0, 30, 60, 90}},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> out(12, 7);
    ASSERT_EQ(ZqImageEnhance(kStep.data(), 3, 4, c.type, out.data()), 0);
    for (int y = 0; y < 3; ++y)
      EXPECT_EQ(std::vector<uint8_t>(out.begin() + 4 * y, out.begin() + 4 * y + 4), c.row)
          << int{c.type} << " row " << y;
  }
  std::vector<uint8_t> inplace = kStep;
  ASSERT_EQ(ZqImageEnhance(inplace.data(), 3, 4, 3, inplace.data()), 0);
  EXPECT_EQ(inplace[1], 84);
}

TEST(ZqImageEnhance, FlatAndTinyImagesStretchToZero) {
  std::vector<uint8_t> flat(5 * 6, 123), out(30, 7);
  ASSERT_EQ(ZqImageEnhance(flat.data(), 5, 6, 3, out.data()), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(30, 0));
  uint8_t one = 200, o = 7;
  ASSERT_EQ(ZqImageEnhance(&one, 1, 1, 3, &o), 0);
  EXPECT_EQ(o, 0);
}

TEST(ZqImageEnhance, FailuresAreReported) {
  std::vector<uint8_t> out(12, 7);
  EXPECT_EQ(ZqImageEnhance(nullptr, 3, 4, 2, out.data()), -1);
  EXPECT_EQ(ZqImageEnhance(kStep.data(), 3, 4, 2, nullptr), -1);
  for (uint8_t type : {2, 3, 0}) {
    FailHeapAfter fail(0);
    EXPECT_EQ(ZqImageEnhance(kStep.data(), 3, 4, type, out.data()), -2) << int{type};
  }
  EXPECT_EQ(out, std::vector<uint8_t>(12, 7));
  // Type 3 whose mean step fails after the median has run.
  FailHeapAfter fail(3);
  EXPECT_EQ(ZqImageEnhance(kStep.data(), 3, 4, 3, out.data()), -2);
}

TEST(ZqImageFilterEnhance, PassesTheFilterThroughWithoutTruncation) {
  // A lone spike: the median removes it, the mean spreads it (255 / 9).
  std::vector<uint8_t> spike(5 * 5, 0), out(25, 7);
  spike[12] = 255;
  ASSERT_EQ(ZqImageFilterEnhance(spike.data(), 5, 5, 2, out.data()), 0);
  EXPECT_EQ(out[12], 0);
  ASSERT_EQ(ZqImageFilterEnhance(spike.data(), 5, 5, 0, out.data()), 0);
  EXPECT_EQ(out[12], 28);
  // 258 is "any other value" (the mean), not 2 after a cut to 8 bits.
  ASSERT_EQ(ZqImageFilterEnhance(spike.data(), 5, 5, 258, out.data()), 0);
  EXPECT_EQ(out[12], 28);
  std::vector<uint8_t> step = kStep;
  ASSERT_EQ(ZqImageFilterEnhance(step.data(), 3, 4, 3, out.data()), 0);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 4),
            (std::vector<uint8_t>{0, 84, 169, 254}));
  EXPECT_EQ(ZqImageFilterEnhance(nullptr, 5, 5, 2, out.data()), -1);
  EXPECT_EQ(ZqImageFilterEnhance(spike.data(), 65536 + 5, 5, 2, out.data()), -1);
  EXPECT_EQ(ZqImageFilterEnhance(spike.data(), 5, -1, 2, out.data()), -1);
}

}  // namespace
