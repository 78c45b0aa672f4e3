// Every allocation of the binarisers and of the uniform-region checks
// refused in turn: the documented code, nothing leaked, outputs untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "src/alloc_failure.h"
#include "src/features/ZqBinImg.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::FailHeapAfter;
using testing_support::LibLogCapture;

TEST(MatchCheckAlloc, BuildersFailCleanlyAtEveryAllocation) {
  const ST_Size size = {20, 24};
  ST_Image *img = ZqCreateImage(&size, DEPTH_8U);
  ASSERT_NE(img, nullptr);
  for (int i = 0; i < img->imageSize; ++i) img->imageData[i] = static_cast<uint8_t>(i * 37);
  struct Case {
    const char *name;
    int (*build)(const ST_Image *, uint64_t **, uint16_t *);
    std::vector<int> codes;  // the failure codes allowed
  } const cases[] = {
      {"general", ZqGenBinImg, {-1}},
      {"small", ZqGenBinImgForSamllSensor, {-2, -3}},
  };
  for (const Case &c : cases) {
    for (bool own : {true, false}) {
      bool done = false;
      for (int k = 0; k < 40 && !done; ++k) {
        uint64_t callers[8] = {};
        uint64_t *p = own ? nullptr : callers;
        uint16_t count = 0;
        const int32_t live = ZqGetMallocCnts();
        int ret;
        {
          LibLogCapture log;
          FailHeapAfter fail(k);
          ret = c.build(img, &p, &count);
        }
        if (ret == 0) {
          done = true;
          if (own) ZqReleaseBinImg(&p);
          EXPECT_EQ(ZqGetMallocCnts(), live) << c.name;
          continue;
        }
        EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), ret), c.codes.end())
            << c.name << " k=" << k << " ret=" << ret;
        EXPECT_EQ(p, own ? nullptr : callers) << c.name << " k=" << k;
        EXPECT_EQ(ZqGetMallocCnts(), live) << c.name << " k=" << k;
      }
      EXPECT_TRUE(done) << c.name;
    }
  }
  ZqReleaseImage(&img);
}

TEST(MatchCheckAlloc, UniformChecksFailWithMinusTwoAndZeroSize) {
  const uint16_t rows = 16, cols = 16;
  std::vector<uint64_t> bits(4, 0x0123456789ABCDEFull);
  std::vector<uint8_t> mask(33, 0xFF);
  const ST_HMatrix H = {1, 0, 0, 0, 1, 0};
  for (auto check : {ZqGetUniformRegSizeAll, ZqGetUniformRegSizeAllInRect}) {
    bool done = false;
    for (int k = 0; k < 10 && !done; ++k) {
      int16_t f[6] = {3, 3, 3, 3, 3, 3}, u = 3;
      const int32_t live = ZqGetMallocCnts();
      int ret;
      {
        LibLogCapture log;
        FailHeapAfter fail(k);
        ret = check(bits.data(), bits.data(), mask.data(), mask.data(), &H, nullptr, &rows, &cols,
                    f, 0, 0, &u);
      }
      EXPECT_EQ(ZqGetMallocCnts(), live);
      if (ret == 0) {
        done = true;
        EXPECT_EQ(u, 256);
        continue;
      }
      EXPECT_EQ(ret, -2) << k;
      EXPECT_EQ(u, 0) << k;
      for (int16_t v : f) EXPECT_EQ(v, 3) << k;
    }
    EXPECT_TRUE(done);
  }
}

}  // namespace
