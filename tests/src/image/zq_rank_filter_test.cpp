// Running minimum and maximum, shell sort, cross median and square median.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "src/alloc_failure.h"
#include "src/image/ZqRankFilter.h"
#include "src/image/ZqSmooth.h"

namespace {

using testing_support::FailHeapAfter;

TEST(ZqGetMaxMin16, ClippedWindowsByHand) {
  const std::vector<uint16_t> img = {1, 9, 2, 3, 4, 0, 5, 6, 7, 8, 10, 11};  // 3 x 4
  std::vector<uint16_t> mn(12), mx(12);
  ASSERT_EQ(ZqGetMaxMin16(img.data(), 3, 4, 1, mn.data(), mx.data()), 0);
  EXPECT_EQ(mn, (std::vector<uint16_t>{0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 5}));
  EXPECT_EQ(mx, (std::vector<uint16_t>{9, 9, 9, 6, 9, 10, 11, 11, 8, 10, 11, 11}));
  ASSERT_EQ(ZqGetMaxMin16(img.data(), 3, 4, 0, mn.data(), mx.data()), 0);
  EXPECT_EQ(mn, img);
  EXPECT_EQ(mx, img);
  EXPECT_EQ(ZqGetMaxMin16(img.data(), 3, 4, 1, nullptr, mx.data()), -1);
  FailHeapAfter fail(0);
  EXPECT_EQ(ZqGetMaxMin16(img.data(), 3, 4, 1, mn.data(), mx.data()), -1);
}

TEST(ZqBoxMinMaxFilterU8, ReflectedWindowsAndSkippedOutputs) {
  const std::vector<uint8_t> img = {5, 1, 7, 3, 0, 9, 2, 8};  // 2 x 4
  std::vector<uint8_t> mx(8), mn(8);
  ASSERT_EQ(ZqBoxMinMaxFilter_u8(img.data(), 4, 2, 1, 0, mx.data(), mn.data()), 0);
  EXPECT_EQ(mx, (std::vector<uint8_t>{5, 7, 7, 7, 9, 9, 9, 8}));
  EXPECT_EQ(mn, (std::vector<uint8_t>{1, 1, 1, 3, 0, 0, 2, 2}));
  std::vector<uint8_t> only(8, 42);
  ASSERT_EQ(ZqBoxMinMaxFilter_u8(img.data(), 4, 2, 0, 1, nullptr, only.data()), 0);
  EXPECT_EQ(only, (std::vector<uint8_t>{0, 1, 2, 3, 0, 1, 2, 3}));
  EXPECT_EQ(ZqBoxMinMaxFilter_u8(nullptr, 4, 2, 1, 1, mx.data(), mn.data()), -1);
}

TEST(ZqShellSort, SortsLikeTheStandardLibrary) {
  std::mt19937 rng(7);
  for (int n : {0, 1, 2, 5, 16, 33, 100}) {
    std::vector<int32_t> v(n);
    for (auto &x : v) x = static_cast<int32_t>(rng() % 50) - 25;
    std::vector<int32_t> want = v;
    std::sort(want.begin(), want.end());
    ASSERT_EQ(ZqShellSort(v.data(), n), 0);
    EXPECT_EQ(v, want) << n;
  }
}

TEST(ZqMedianCrossFilter, OppositeNeighboursAtTheBorder) {
  const std::vector<uint8_t> img = {10, 20, 30, 40, 50, 60};  // 2 x 3
  std::vector<uint8_t> out(6);
  ASSERT_EQ(ZqMedianCrossFilter(img.data(), 3, 2, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{20, 30, 30, 40, 40, 50}));

  // A two-pixel-wide vertical line stays; a lone dot goes.
  const int w = 7, h = 5;
  std::vector<uint8_t> line(w * h, 0), dot(w * h, 0), o(w * h);
  for (int y = 0; y < h; ++y) line[y * w + 3] = line[y * w + 4] = 255;
  ASSERT_EQ(ZqMedianCrossFilter(line.data(), w, h, o.data()), 0);
  EXPECT_EQ(o, line);
  dot[2 * w + 3] = 255;
  ASSERT_EQ(ZqMedianCrossFilter(dot.data(), w, h, o.data()), 0);
  EXPECT_EQ(o, std::vector<uint8_t>(w * h, 0));

  EXPECT_EQ(ZqMedianCrossFilter(img.data(), 1, 6, out.data()), -1);
  EXPECT_EQ(ZqMedianCrossFilter(img.data(), 6, 1, out.data()), -1);
  EXPECT_EQ(ZqMedianCrossFilter(nullptr, 3, 2, out.data()), -1);
}

// Median of the (2r + 1)^2 window with reflect-101 borders, by sorting.
std::vector<uint8_t> SortedMedian(const std::vector<uint8_t> &img, int w, int h, int r) {
  std::vector<uint8_t> out(img.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::vector<uint8_t> win;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx)
          win.push_back(img[ZqBorderInterpolate(y + dy, h, 4) * w + ZqBorderInterpolate(x + dx, w, 4)]);
      std::nth_element(win.begin(), win.begin() + win.size() / 2, win.end());
      out[y * w + x] = win[win.size() / 2];
    }
  return out;
}

TEST(ZqMedianFilter, MatchesSortedWindows) {
  std::mt19937 rng(23);
  const int w = 13, h = 8;
  std::vector<uint8_t> img(w * h);
  for (auto &v : img) v = static_cast<uint8_t>(rng() % 7 * 40);  // many ties
  // r = 130: a window of 68121 pixels, beyond 16-bit counts.
  for (uint16_t r : {0, 1, 2, 3, 130}) {
    std::vector<uint8_t> out(w * h, 1);
    ASSERT_EQ(ZqMedianFilter(img.data(), w, h, r, out.data()), 0);
    EXPECT_EQ(out, SortedMedian(img, w, h, r)) << r;
  }
  std::vector<uint8_t> inplace = img;
  ASSERT_EQ(ZqMedianFilter(inplace.data(), w, h, 1, inplace.data()), 0);
  EXPECT_EQ(inplace, SortedMedian(img, w, h, 1));
}

TEST(ZqMedianFilter, RemovesALoneSpikeAndReportsFailures) {
  std::vector<uint8_t> img(4 * 6, 0), out(24, 9);
  img[2 * 6 + 3] = 255;
  ASSERT_EQ(ZqMedianFilter(img.data(), 6, 4, 1, out.data()), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(24, 0));

  std::fill(out.begin(), out.end(), 9);
  EXPECT_EQ(ZqMedianFilter(nullptr, 6, 4, 1, out.data()), -3);
  EXPECT_EQ(ZqMedianFilter(img.data(), 0, 4, 1, out.data()), 0);
  for (int ok : {0, 1, 2}) {
    FailHeapAfter fail(ok);
    EXPECT_EQ(ZqMedianFilter(img.data(), 6, 4, 1, out.data()), -2) << ok;
  }
  EXPECT_EQ(out, std::vector<uint8_t>(24, 9));  // failures write nothing
}

}  // namespace
