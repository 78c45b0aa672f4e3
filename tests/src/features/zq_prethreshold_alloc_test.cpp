// Allocation failures of the orientation, oriented-filter, pre-threshold,
// small-sensor binarisation and enhancement functions: every refused block
// gives one of the documented codes, leaves the outputs as they were and
// leaks nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "src/alloc_failure.h"
#include "src/enhance/ZqCalcDirection.h"
#include "src/enhance/ZqEnHanceImg.h"
#include "src/enhance/ZqGaussDirConvol.h"
#include "src/enhance/ZqGaussFilterQ16.h"
#include "src/enhance/ZqImageGaborU16.h"
#include "src/enhance/ZqLocalRangeNormalize.h"
#include "src/enhance/ZqOriMaxFilter.h"
#include "src/enhance/ZqPreThreshold.h"
#include "src/features/ZqRepairGenBinImg.h"
#include "src/enhance/ZqWarpAffine.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::FailHeapAfter;

TEST(PreThresholdAlloc, EveryRefusedBlockFailsCleanly) {
  const int rows = 40, cols = 36;
  std::vector<uint16_t> img(rows * cols);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      img[y * cols + x] = static_cast<uint16_t>(128 + 70 * std::cos((x * 0.8 + y * 0.6) * 0.7) + (x * y) % 11);
  const std::vector<uint8_t> img8(img.begin(), img.end());
  const std::vector<uint16_t> ori(img.size(), 30);
  const ST_Size size = {rows, cols};
  ST_Image *st = ZqCreateImage(&size, DEPTH_8U);
  ASSERT_NE(st, nullptr);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) st->imageData[y * st->rowBytes + x] = img8[y * cols + x];

  std::vector<uint16_t> out16(img.size(), 4242), inplace;
  std::vector<uint8_t> map(img.size(), 201);
  uint64_t *words = nullptr;
  uint16_t count = 0;
  ST_Image *enhanced = nullptr;
  std::vector<uint8_t> out8(img.size(), 201);
  struct Case {
    const char *name;
    std::function<int32_t()> call;
    std::vector<int32_t> failures;  // codes allowed when a block is refused
    std::function<bool()> kept;     // outputs untouched after a failure
  };
  const auto out16Kept = [&] { return out16 == std::vector<uint16_t>(img.size(), 4242); };
  const auto inplaceKept = [&] { return inplace == img; };
  const Case cases[] = {
      {"ZqCalcDirection", [&] { return ZqCalcDirection(img.data(), rows, cols, 2, map.data()); },
       {-1}, [&] { return map == std::vector<uint8_t>(img.size(), 201); }},
      {"ZqGaussDirConvol", [&] { return ZqGaussDirConvol(img.data(), cols, rows, 5, out16.data(), 1.2f, 0.1f); },
       {-1}, out16Kept},
      {"ZqGaussDirConvol in place",
       [&] { return ZqGaussDirConvol(inplace.data(), cols, rows, 3, inplace.data(), 1.2f, 0.1f); },
       {-1, -2}, inplaceKept},
      {"ZqImageGaborU16", [&] { return ZqImageGaborU16(img8.data(), rows, cols, out16.data()); },
       {-2}, out16Kept},
      {"ZqGaussFilterQ16_16u", [&] { return ZqGaussFilterQ16_16u(img.data(), rows, cols, 262144, 25, out16.data()); },
       {-3}, out16Kept},
      {"ZqWhiteStrech", [&] { return ZqWhiteStrech(img.data(), rows, cols, out16.data()); }, {-2}, out16Kept},
      {"ZqLocalRangeNormalize_16u", [&] { return ZqLocalRangeNormalize_16u(img.data(), rows, cols, 4, out16.data()); },
       {-1}, out16Kept},
      {"ZqOriMaxFilter_16u in place", [&] { return ZqOriMaxFilter_16u(inplace.data(), ori.data(), rows, cols, inplace.data()); },
       {-1}, inplaceKept},
      {"ZqPreThresholdProcess", [&] { return ZqPreThresholdProcess(img.data(), rows, cols, out16.data(), nullptr); },
       {-2, -3, -5}, out16Kept},
      {"ZqPreThresholdProcess in place",
       [&] { return ZqPreThresholdProcess(inplace.data(), rows, cols, inplace.data(), nullptr); },
       {-2, -3, -5}, inplaceKept},
      {"ZqRepairGenBinImgForSamllSensor", [&] { return ZqRepairGenBinImgForSamllSensor(st, &words, &count); },
       {-2, -3}, [&] { return words == nullptr; }},
      {"ZqRepairToGenBinImg", [&] { return ZqRepairToGenBinImg(st, &words, &count); },
       {-1, -2}, [&] { return words == nullptr; }},
      {"ZqEnHanceImg_u8", [&] { return ZqEnHanceImg_u8(st, &enhanced); }, {-2},
       [&] { return enhanced == nullptr; }},
      {"ZqWarpAffine", [&] { return ZqWarpAffine(img8.data(), cols, rows, out8.data(), 0.3f); }, {-1},
       [&] { return out8 == std::vector<uint8_t>(img.size(), 201); }},
  };
  for (const Case &c : cases) {
    bool succeeded = false;
    for (int n = 0; n < 400 && !succeeded; ++n) {
      std::fill(out16.begin(), out16.end(), 4242);
      std::fill(map.begin(), map.end(), 201);
      inplace = img;
      words = nullptr;
      std::fill(out8.begin(), out8.end(), 201);
      const int32_t live = ZqGetMallocCnts();
      int32_t ret;
      {
        FailHeapAfter fail(n);
        ret = c.call();
      }
      if (ret == 0) {
        succeeded = true;
      } else {
        EXPECT_NE(std::find(c.failures.begin(), c.failures.end(), ret), c.failures.end())
            << c.name << " after " << n << ": " << ret;
        EXPECT_TRUE(c.kept()) << c.name << " after " << n;
      }
      ZqSafeFree(words);
      words = nullptr;
      ZqReleaseImage(&enhanced);
      EXPECT_EQ(ZqGetMallocCnts(), live) << c.name << " after " << n;
    }
    EXPECT_TRUE(succeeded) << c.name;
  }
  ZqReleaseImage(&st);
}

}  // namespace
