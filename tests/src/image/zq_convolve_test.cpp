// Fixed-point convolution family.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/alloc_failure.h"
#include "src/image/ZqConvolve.h"

namespace {

using testing_support::FailHeapAfter;

TEST(ZqConvole, KernelShapes) {
  const std::vector<uint8_t> img(4 * 3, 10);
  std::vector<uint8_t> out(12);
  const float k[12] = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  struct Case {
    int32_t kw, kh, want;
  } cases[] = {{1, 1, -1}, {2, 2, -1}, {4, 2, -1}, {2, 4, -1}, {3, 2, 0},
               {2, 3, 0},  {1, 2, 0},  {3, 1, 0},  {3, 3, 0},  {0, 3, -1}};
  for (const Case &c : cases)
    EXPECT_EQ(ZqConvole(img.data(), 4, 3, k, c.kw, c.kh, out.data()), c.want)
        << c.kw << " x " << c.kh;
}

TEST(ZqConvole, CorrelationWithTheEdgeRepeated) {
  // Not flipped: the tap right of centre reads the pixel right of the
  // output; past the edge the edge pixel repeats.
  const std::vector<uint8_t> row = {10, 20, 30, 40};
  const float right[3] = {0, 0, 1};
  std::vector<uint8_t> out(4);
  ASSERT_EQ(ZqConvole(row.data(), 4, 1, right, 3, 1, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{20, 30, 40, 40}));
  // A 3 x 2 kernel covers image rows i - 1 and i; its upper centre tap
  // takes the row above (row 0 above the top).
  const std::vector<uint8_t> img = {1, 2, 3, 4, 5, 6};  // 3 rows x 2 columns
  const float up[6] = {0, 1, 0, 0, 0, 0};
  std::vector<uint8_t> o(6);
  ASSERT_EQ(ZqConvole(img.data(), 2, 3, up, 3, 2, o.data()), 0);
  EXPECT_EQ(o, (std::vector<uint8_t>{1, 2, 1, 2, 3, 4}));
  // In place.
  std::vector<uint8_t> inplace = img;
  ASSERT_EQ(ZqConvole(inplace.data(), 2, 3, up, 3, 2, inplace.data()), 0);
  EXPECT_EQ(inplace, o);
}

TEST(ZqConvole, RoundingOfTheFixedPointSum) {
  struct Case {
    float tap;
    int32_t pixel, want;
  } cases[] = {
      {0.5f, 1, 1},     // 32768 rounds up
      {1.0f, 7, 7},     {-1.0f, 1, -2},  // -65536 - 0x8000 >> 16
      {-1.5f, 1, -2},   {0.0f, 5, -1},   // a zero sum gives -1
      {1.0f / 3, 3, 1}, // 21845 * 3 = 65535 -> 1
      {-0.25f, 2, -1},
  };
  for (const Case &c : cases) {
    const float k[3] = {0, c.tap, 0};
    const int32_t px[3] = {c.pixel, c.pixel, c.pixel};
    int32_t out[3];
    ASSERT_EQ(ZqConvole32(px, 3, 1, k, 3, 1, out), 0);
    EXPECT_EQ(out[1], c.want) << c.tap << " * " << c.pixel;
  }
  // The unlimited members turn a black image into -1; the limited ones
  // hide it.
  const std::vector<uint8_t> black(2 * 5, 0);
  const float box[9] = {0.1f, 0.1f, 0.1f, 0.1f, 0.2f, 0.1f, 0.1f, 0.1f, 0.1f};
  std::vector<int32_t> i32(10);
  ASSERT_EQ(ZqConvoleU82Int(black.data(), 5, 2, box, 3, 3, i32.data()), 0);
  EXPECT_EQ(i32, std::vector<int32_t>(10, -1));
  std::vector<uint8_t> u8(10, 9);
  ASSERT_EQ(ZqConvole(black.data(), 5, 2, box, 3, 3, u8.data()), 0);
  EXPECT_EQ(u8, std::vector<uint8_t>(10, 0));
}

TEST(ZqConvole, UnitSumKeepsConstantsAndLimitsApply) {
  const float unit[9] = {0.0625f, 0.0625f, 0.0625f, 0.0625f, 0.5f,
                         0.0625f, 0.0625f, 0.0625f, 0.0625f};  // exactly 65536
  std::vector<uint8_t> c8(4 * 6, 201), o8(24);
  ASSERT_EQ(ZqConvole(c8.data(), 6, 4, unit, 3, 3, o8.data()), 0);
  EXPECT_EQ(o8, c8);
  std::vector<uint16_t> c16(4 * 6, 40000), o16(24);
  ASSERT_EQ(ZqConvole16(c16.data(), 6, 4, unit, 3, 3, o16.data(), 65535), 0);
  EXPECT_EQ(o16, c16);
  const float twice[3] = {0, 2, 0};
  ASSERT_EQ(ZqConvole16(c16.data(), 6, 4, twice, 1, 3, o16.data(), 65535), 0);
  EXPECT_EQ(o16, std::vector<uint16_t>(24, 65535));
  ASSERT_EQ(ZqConvole16(c16.data(), 6, 4, twice, 1, 3, o16.data(), 1000), 0);
  EXPECT_EQ(o16, std::vector<uint16_t>(24, 1000));
  std::vector<int32_t> c32(4 * 6, 40000), o32(24);
  ASSERT_EQ(ZqConvole32(c32.data(), 6, 4, twice, 3, 1, o32.data()), 0);
  EXPECT_EQ(o32, std::vector<int32_t>(24, 80000));
  // A large-valued sum needs 64 bits: 9 taps of 1.0 over 2^28.
  const float ones[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  std::vector<int32_t> big(3 * 3, 1 << 27), ob(9);
  ASSERT_EQ(ZqConvole32(big.data(), 3, 3, ones, 3, 3, ob.data()), 0);
  EXPECT_EQ(ob[4], static_cast<int32_t>(9LL * (1 << 27)));  // stored as int32
}

TEST(ZqConvole, FailuresWriteNothing) {
  const std::vector<uint8_t> img(3 * 3, 1);
  const float k[3] = {0, 1, 0};
  std::vector<uint8_t> out(9, 7);
  EXPECT_EQ(ZqConvole(nullptr, 3, 3, k, 3, 1, out.data()), -1);
  EXPECT_EQ(ZqConvole(img.data(), 3, 3, nullptr, 3, 1, out.data()), -1);
  EXPECT_EQ(ZqConvole(img.data(), 3, 3, k, 3, 1, nullptr), -1);
  EXPECT_EQ(ZqConvole(img.data(), 0, 3, k, 3, 1, out.data()), -1);
  for (int ok : {0, 1}) {
    FailHeapAfter fail(ok);
    EXPECT_EQ(ZqConvole(img.data(), 3, 3, k, 3, 1, out.data()), -2);
  }
  EXPECT_EQ(out, std::vector<uint8_t>(9, 7));
}

}  // namespace
