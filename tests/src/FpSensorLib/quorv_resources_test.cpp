// The sensor library's lifecycle: the work buffers and the information
// buffer follow the configured sizes, destroy releases everything and can
// repeat, host registrations reach the sensor access layer, and every copy
// into or out of the work buffers stays within them.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using sensorlib_test::HostLog;
using sensorlib_test::SensorLibTest;

std::vector<uint8_t *> Buffers() {
  const QuorvImgeBuf *b = g_fp_image_buf;
  return {b->g_fpImageBuf,     b->g_fpImageBufBeforeSpa, b->g_fpImageBufAfterSpa,
          b->g_fpImageBufAlg,  b->g_lastImageBuf,        b->g_forceEnrollBuf,
          b->g_fpImageBufReserve1, b->g_fpImageBufReserve2};
}

class ResourcesTest : public SensorLibTest {
 protected:
  void InitAt(uint8_t cols, uint8_t rows) {
    quorv_SetFpSensorColsRows(cols, rows);
    ASSERT_EQ(quorv_InitFpAlg(), 0);
  }
};

TEST_F(ResourcesTest, BuffersFollowTheSizeOfEachInitialisation) {
  Create();
  InitAt(80, 64);
  ASSERT_NE(g_fp_image_buf, nullptr);
  EXPECT_EQ(g_fp_image_buf->bufSize, 5120u);
  for (uint8_t *p : Buffers()) {
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::count(p, p + 5120, 0), 5120);
  }
  EXPECT_NE(template_backup, nullptr);

  memset(g_fp_image_buf->g_fpImageBuf, 7, 5120);
  InitAt(80, 128);
  EXPECT_EQ(g_fp_image_buf->bufSize, 10240u);
  for (uint8_t *p : Buffers()) EXPECT_EQ(std::count(p, p + 10240, 0), 10240) << "fresh, zeroed";
}

TEST_F(ResourcesTest, InformationBufferHoldsSixteenBytesPerImagePlusFive) {
  struct Case {
    uint8_t slide_cnt, rescan_cnt;
    uint32_t bytes;
  };
  for (const Case &c : {Case{2, 3, 53}, Case{0, 0, 5}, Case{4, 1, 69}}) {
    Create();
    quorv_SetSlideEnrollGetImageCnt(c.slide_cnt);
    quorv_SetImageRescanCnt(c.rescan_cnt);
    ASSERT_EQ(quorv_InitFpAlg(), 0);
    ASSERT_NE(imageInfoBuf, nullptr);
    EXPECT_EQ(imageInfoBufSize, c.bytes) << int(c.slide_cnt) << "," << int(c.rescan_cnt);
    EXPECT_EQ(std::count(imageInfoBuf, imageInfoBuf + c.bytes, 0), static_cast<long>(c.bytes));
    EXPECT_EQ(g_slideEnrollGetImageCnt, std::max(c.slide_cnt, c.rescan_cnt));
    quorv_SensorResourceDestroy();
  }
}

TEST_F(ResourcesTest, InitialisationNeedsARecord) {
  EXPECT_EQ(quorv_InitFpAlg(), -1);
  EXPECT_EQ(g_fp_image_buf, nullptr);
}

TEST_F(ResourcesTest, DestroyReleasesEverythingAndRepeats) {
  const int32_t baseline = gMallocCnts;
  Create();
  InitAt(80, 64);
  template_cur = ZqCreateTemp();
  g_quorvTplDataFlag = 1;
  EXPECT_GT(gMallocCnts, baseline);
  quorv_SensorResourceDestroy();
  EXPECT_EQ(gMallocCnts, baseline);
  for (const void *p : {static_cast<const void *>(g_fp_image_buf),
                        static_cast<const void *>(imageInfoBuf),
                        static_cast<const void *>(template_cur),
                        static_cast<const void *>(template_backup),
                        static_cast<const void *>(g_pQuorvConfigInfo),
                        static_cast<const void *>(quorv_get_ZqSpiObjHandle())}) {
    EXPECT_EQ(p, nullptr);
  }
  EXPECT_EQ(g_quorvTplDataFlag, 0);
  quorv_SensorResourceDestroy();
  EXPECT_EQ(gMallocCnts, baseline);
}

TEST_F(ResourcesTest, RepeatedInitialisationLeaksNothing) {
  const int32_t baseline = gMallocCnts;
  Create();
  InitAt(80, 64);
  const int32_t once = gMallocCnts;
  InitAt(80, 64);
  EXPECT_EQ(gMallocCnts, once) << "the second init replaces buffers and backup";
  quorv_SensorResourceDestroy();
  EXPECT_EQ(gMallocCnts, baseline);
}

TEST_F(ResourcesTest, CreateResetsPerDeviceStateButKeepsTheBuffers) {
  Create();
  InitAt(80, 64);
  QuorvImgeBuf *buffers = g_fp_image_buf;
  for (int f = 0; f < QUORV_FINGER_SLOTS; ++f) {
    successMachTimes[f] = 3;
    fingerMachScores[f][4] = 9;
    recentMachScores[f] = 5;
  }
  gEnrollInfo.enrollRet = 0;
  g_quorvTplDataFlag = 1;
  quorv_SetOptimizeIdentifyLevel(3, 1, 2);
  quorv_SetImageQualityScore(77);

  ASSERT_EQ(quorv_SensorResourceCreate(), 0);
  EXPECT_EQ(g_fp_image_buf, buffers) << "rebuilt only by the next init";
  EXPECT_EQ(imageInfoBuf, nullptr);
  EXPECT_EQ(g_pQuorvConfigInfo->enroll_quality, 30) << "defaults again";
  EXPECT_EQ(g_quorvTplDataFlag, 0);
  EXPECT_EQ(g_quorvOptimizeIdentify.level, 0);
  EXPECT_EQ(g_quorvOptimizeIdentify.mean_score_thr, 5);
  EXPECT_EQ(g_quorvOptimizeIdentify.quality_limit, 70);
  EXPECT_EQ(gEnrollInfo.enrollRet, -1);
  for (int f = 0; f < QUORV_FINGER_SLOTS; ++f) {
    EXPECT_EQ(successMachTimes[f] + fingerMachScores[f][4] + recentMachScores[f], 0) << f;
  }
}

TEST_F(ResourcesTest, ClearMachArrayTouchesOnlyItsSlot) {
  for (int32_t slot : {-1, 3, 10}) {
    for (int f = 0; f < QUORV_FINGER_SLOTS; ++f) {
      successMachTimes[f] = recentMachScores[f] = 1;
      for (int k = 0; k < 5; ++k) fingerMachScores[f][k] = 1;
    }
    quorv_ClearMachArray(slot);
    for (int f = 0; f < QUORV_FINGER_SLOTS; ++f) {
      const int32_t want = f == slot ? 0 : 1;
      EXPECT_EQ(successMachTimes[f], want) << slot << " " << f;
      EXPECT_EQ(recentMachScores[f], want) << slot << " " << f;
      for (int k = 0; k < 5; ++k) EXPECT_EQ(fingerMachScores[f][k], want) << slot << " " << f;
    }
  }
}

// --- Host registration --------------------------------------------------------

int FakeGetImage(uint8_t *, uint32_t) { return 0; }
void FakeStep() {}
void FakeBase(uint8_t *, uint16_t *) {}
int FakeLog(const char *, ...) { return 0; }

TEST_F(ResourcesTest, RegistrationsReachTheAccessLayerSlots) {
  quorv_InitFuncGetImage(FakeGetImage);
  quorv_InitFuncReadImageInit(FakeStep);
  quorv_InitFuncReadImageStart(FakeStep);
  quorv_InitFuncReadImageEnd(FakeStep);
  quorv_InitFuncGetImageBase(FakeBase);
  const QuorvHostCallbacks &h = g_quorvHostCallbacks;
  EXPECT_EQ(h.GetImage, FakeGetImage);
  EXPECT_EQ(h.ReadImageInit, FakeStep);
  EXPECT_EQ(h.ReadImageStart, FakeStep);
  EXPECT_EQ(h.ReadImageEnd, FakeStep);
  EXPECT_EQ(h.GetImageBase, FakeBase);
  const QuorvLogFunc before = quorv_fp_log;
  quorv_InitFuncLog(FakeLog);
  EXPECT_EQ(quorv_fp_log, FakeLog);
  quorv_InitFuncLog(before);
  quorv_InitFuncGetImage(nullptr);
  quorv_InitFuncReadImageInit(nullptr);
  quorv_InitFuncReadImageStart(nullptr);
  quorv_InitFuncReadImageEnd(nullptr);
  quorv_InitFuncGetImageBase(nullptr);
}

// --- Copies ---------------------------------------------------------------------

class ImageCopyTest : public ResourcesTest {
 protected:
  void SetUp() override {
    ResourcesTest::SetUp();
    Create();
    InitAt(96, 96);
    for (uint8_t *p : Buffers()) memset(p, 0xee, kBytes);
  }
  static constexpr uint32_t kBytes = 96 * 96;

  static std::vector<uint8_t> Ramp(size_t n) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), uint8_t{1});
    return v;
  }
  static std::vector<uint8_t> Head(const uint8_t *p, size_t n) { return {p, p + n}; }
  static bool Untouched(const uint8_t *p) {
    return std::count(p, p + kBytes, 0xee) == static_cast<long>(kBytes);
  }
};

TEST_F(ImageCopyTest, StridedCopiesPackRowsIntoBothBuffers) {
  struct Case {
    uint16_t width, height, stride;
    int ret;
  };
  const Case cases[] = {
      {80, 64, 80, 0},   // delegates to the plain copy
      {81, 64, 84, 0},   // row by row, rows packed
      {81, 64, 81, 0},   // packed rows of an odd width
      {81, 64, 85, -1},  // stride beyond width + 3
      {81, 64, 80, -1},  // stride below width
      {0, 64, 4, -1},
      {80, 0, 80, -1},
      {97, 96, 100, -1},  // larger than the buffers
      {96, 97, 96, -1},   // so is this, through the plain copy
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "/" << c.stride);
    for (uint8_t *p : Buffers()) memset(p, 0xee, kBytes);
    const std::vector<uint8_t> src = Ramp(size_t{c.stride} * (c.height + 1));
    ASSERT_EQ(quorv_CopyImageDataToAlgo(src.data(), c.width, c.height, c.stride), c.ret);
    if (c.ret != 0) {
      EXPECT_TRUE(Untouched(g_fp_image_buf->g_fpImageBuf));
      EXPECT_TRUE(Untouched(g_fp_image_buf->g_fpImageBufAlg));
      continue;
    }
    const size_t packed = size_t{c.width} * c.height;
    std::vector<uint8_t> want;
    for (uint16_t r = 0; r < c.height; ++r) {
      want.insert(want.end(), src.begin() + r * c.stride, src.begin() + r * c.stride + c.width);
    }
    EXPECT_EQ(Head(g_fp_image_buf->g_fpImageBuf, packed), want);
    EXPECT_EQ(Head(g_fp_image_buf->g_fpImageBufAlg, packed), want);
    EXPECT_EQ(g_fp_image_buf->g_fpImageBuf[packed], 0xee) << "nothing past the image";
  }
  EXPECT_EQ(quorv_CopyImageDataToAlgo(nullptr, 80, 64, 80), -1);
}

TEST_F(ImageCopyTest, PlainCopyRefusesWhatTheConfiguredSizeDoesNotHold) {
  const std::vector<uint8_t> src = Ramp(kBytes + 1);
  EXPECT_EQ(quorv_CopyImageData(src.data(), kBytes + 1), -1);
  EXPECT_EQ(quorv_CopyImageData(src.data(), 0), -1);
  EXPECT_EQ(quorv_CopyImageData(nullptr, 16), -1);
  EXPECT_TRUE(Untouched(g_fp_image_buf->g_fpImageBuf));

  // A larger size set after the buffers were built must not reach past them.
  quorv_SetFpSensorColsRows(128, 128);
  EXPECT_EQ(quorv_CopyImageData(src.data(), kBytes + 1), -1);
  EXPECT_EQ(quorv_CopyImageAlg(src.data(), kBytes + 1), -1);
  EXPECT_TRUE(Untouched(g_fp_image_buf->g_fpImageBufAlg));

  ASSERT_EQ(quorv_CopyImageData(src.data(), kBytes), 0);
  EXPECT_EQ(Head(g_fp_image_buf->g_fpImageBufAlg, kBytes), Head(src.data(), kBytes));
}

TEST_F(ImageCopyTest, CopiesOutStayWithinTheirBuffers) {
  memset(g_fp_image_buf->g_fpImageBuf, 1, kBytes);
  memset(g_fp_image_buf->g_fpImageBufAlg, 2, kBytes);
  memset(g_fp_image_buf->g_fpImageBufBeforeSpa, 3, kBytes);
  memset(g_fp_image_buf->g_fpImageBufAfterSpa, 4, kBytes);
  std::vector<uint8_t> dst(kBytes + 1, 0);
  EXPECT_EQ(quorv_GetFpImageBuffEnroll(dst.data(), kBytes + 1), nullptr);
  EXPECT_EQ(quorv_GetFpImageAlgBuff(dst.data(), kBytes + 1), nullptr);
  quorv_GetFpSpaImageBuff(dst.data(), kBytes + 1, 0);
  quorv_GetFpSpaImageBuff(dst.data(), 16, 2);
  EXPECT_EQ(std::count(dst.begin(), dst.end(), 0), static_cast<long>(kBytes + 1));

  EXPECT_EQ(quorv_GetFpImageBuffEnroll(dst.data(), kBytes), dst.data());
  EXPECT_EQ(dst[kBytes - 1], 1);
  std::fill(dst.begin(), dst.end(), 0);
  EXPECT_EQ(quorv_GetFpImageAlgBuff(dst.data(), 10), dst.data());
  EXPECT_EQ(dst[0], 2);
  quorv_GetFpSpaImageBuff(dst.data(), 10, 0);
  EXPECT_EQ(dst[0], 3);
  quorv_GetFpSpaImageBuff(dst.data(), 10, 1);
  EXPECT_EQ(dst[0], 4);
  EXPECT_EQ(dst[10], 0) << "only len bytes";
}

TEST_F(ImageCopyTest, RawDataComesFromTheSpiObjectWithinItsBuffer) {
  HostLog().clear();
  EXPECT_EQ(quorv_GetImageRawData(nullptr, 10), -1);
  EXPECT_TRUE(Logged("input buf = NULL"));
  std::vector<uint8_t> dst(QUORV_SPI_IMAGE_BUF_SIZE + 1, 0xaa);
  EXPECT_EQ(quorv_GetImageRawData(dst.data(), QUORV_SPI_IMAGE_BUF_SIZE + 1), -1);
  EXPECT_EQ(dst[0], 0xaa);
  quorv_get_ZqSpiObjHandle()->rawBuf[QUORV_SPI_IMAGE_BUF_SIZE - 1] = 5;
  EXPECT_EQ(quorv_GetImageRawData(dst.data(), QUORV_SPI_IMAGE_BUF_SIZE), 0);
  EXPECT_EQ(dst[QUORV_SPI_IMAGE_BUF_SIZE - 1], 5);
}

TEST_F(ResourcesTest, CopiesWithoutBuffersFail) {
  Create();
  uint8_t img[16] = {};
  EXPECT_EQ(quorv_CopyImageData(img, 16), -1);
  EXPECT_EQ(quorv_CopyImageDataToAlgo(img, 4, 4, 4), -1);
  EXPECT_EQ(quorv_CopyImageAlg(img, 16), -1);
  EXPECT_EQ(quorv_GetFpImageBuffEnroll(img, 16), nullptr);
}

}  // namespace
