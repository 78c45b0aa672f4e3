// Allocation failures of the enhancement operations: each failing
// allocation is reported with the operation's code, releases every block
// taken so far and leaves the outputs untouched where the operation
// promises it.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "src/alloc_failure.h"
#include "src/enhance/ZqImageEnhance16u.h"
#include "src/enhance/ZqLocalNormalize.h"
#include "src/enhance/ZqLogFilter.h"
#include "src/enhance/ZqMeanAndStd.h"
#include "src/enhance/ZqOriRepair.h"
#include "src/enhance/ZqTextureRepair.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::FailHeapAfter;

constexpr int kRows = 24, kCols = 20, kN = kRows * kCols;

// A ridge-like test image, 8-bit values in 16 bits.
std::vector<uint16_t> Ridges() {
  std::vector<uint16_t> img(kN);
  for (int i = 0; i < kN; ++i) img[i] = static_cast<uint16_t>(40 + ((i % kCols + i / kCols) * 23) % 180);
  return img;
}

struct Op {
  const char *name;
  std::set<int> codes;  // results allowed when an allocation fails
  bool keepsOutput;     // output untouched on failure
  // Runs the operation; *out is its (16-bit or 8-bit) output as integers.
  std::function<int(std::vector<int> *out)> run;
};

template <typename T>
std::vector<int> Ints(const std::vector<T> &v) {
  return std::vector<int>(v.begin(), v.end());
}

TEST(EnhanceAllocation, EveryFailureIsReportedAndReleased) {
  const std::vector<uint16_t> img = Ridges();
  const std::vector<Op> ops = {
      {"ZqCalcMeanAndStd", {-2}, false,
       [&](std::vector<int> *out) {
         std::vector<uint8_t> mask(kN, 1);
         std::vector<int32_t> mean(kN, 9), dev(kN, 9);
         const int r = ZqCalcMeanAndStd(img.data(), mask.data(), kRows, kCols, 9, mean.data(), dev.data());
         *out = Ints(mean);
         return r;
       }},
      {"ZqLocalNormalize", {-2, -3}, true,
       [&](std::vector<int> *out) {
         std::vector<uint16_t> dst(kN, 9);
         const int r = ZqLocalNormalize(img.data(), kRows, kCols, 9, dst.data());
         *out = Ints(dst);
         return r;
       }},
      {"ZqLogFilter", {-2, -3, -4}, true,
       [&](std::vector<int> *out) {
         std::vector<uint16_t> dst(kN, 9);
         const int r = ZqLogFilter(img.data(), kRows, kCols, 9, dst.data());
         *out = Ints(dst);
         return r;
       }},
      {"ZqTextureRepair_v2", {-2}, true,
       [&](std::vector<int> *out) {
         std::vector<uint16_t> dst(kN, 9);
         const int r = ZqTextureRepair_v2(img.data(), img.data(), kRows, kCols, 7, dst.data());
         *out = Ints(dst);
         return r;
       }},
      {"ZqTextureRepair", {-2}, true,
       [&](std::vector<int> *out) {
         std::vector<uint16_t> dst(kN, 9);
         const int r = ZqTextureRepair(img.data(), img.data(), kRows, kCols, 7, dst.data());
         *out = Ints(dst);
         return r;
       }},
      {"ZqImageEnhance_16u_v2", {-2, -4, -5}, true,
       [&](std::vector<int> *out) {
         std::vector<uint16_t> dst(img);
         const int r = ZqImageEnhance_16u_v2(dst.data(), kRows, kCols, dst.data());
         *out = Ints(dst);
         return r;
       }},
      {"ZqImageEnhance_16u", {-2, -3, -4, -5}, true,
       [&](std::vector<int> *out) {
         std::vector<uint16_t> dst(kN, 9);
         const int r = ZqImageEnhance_16u(img.data(), kRows, kCols, dst.data());
         *out = Ints(dst);
         return r;
       }},
      {"ZqGetOriGraph", {-2, -3}, false,
       [&](std::vector<int> *out) {
         std::vector<uint16_t> ori(kN, 999);
         const int r = ZqGetOriGraph(img.data(), kRows, kCols, 19, 1, ori.data());
         *out = Ints(ori);
         return r;
       }},
      {"ZqOriRepair", {-2, -3, -4}, true,
       [&](std::vector<int> *out) {
         std::vector<uint16_t> dst(img);
         const int r = ZqOriRepair(dst.data(), kRows, kCols, 3, 3, dst.data());
         *out = Ints(dst);
         return r;
       }},
      {"f4851_image_enhance", {-2, -3}, true,
       [&](std::vector<int> *out) {
         std::vector<uint8_t> pix(img.begin(), img.end());
         const int r = f4851_image_enhance(pix.data(), kRows, kCols);
         *out = Ints(pix);
         return r;
       }},
  };
  for (const Op &op : ops) {
    std::vector<int> clean;
    ASSERT_EQ(op.run(&clean), 0) << op.name;
    // The untouched output: the operation's starting buffer.
    std::vector<int> before;
    {
      FailHeapAfter none(0);
      op.run(&before);
    }
    std::set<int> seen;
    for (int ok = 0;; ++ok) {
      ASSERT_LT(ok, 200) << op.name << " never succeeds";
      const int live = ZqGetMallocCnts();
      std::vector<int> out;
      int r;
      {
        FailHeapAfter fail(ok);
        r = op.run(&out);
      }
      EXPECT_EQ(ZqGetMallocCnts(), live) << op.name << " leaks after " << ok;
      if (r == 0) {
        EXPECT_EQ(out, clean) << op.name;
        break;
      }
      seen.insert(r);
      EXPECT_TRUE(op.codes.count(r)) << op.name << " returned " << r << " after " << ok;
      if (op.keepsOutput) {
        EXPECT_EQ(out, before) << op.name << " wrote after " << ok;
      }
    }
    // Every failure code of the operation is reached by some allocation.
    EXPECT_EQ(seen, op.codes) << op.name;
  }
}

}  // namespace
