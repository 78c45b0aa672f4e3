// Live capture: what each capture result leaves in the buffers, the rescan
// list, the quality record and the last-image info.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "src/FpSensorLib/live_fixture.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_slide_capture.h"
#include "src/ZqAlg/ZqQualityWrappers.h"

namespace sensorlib_test {
namespace {

using LiveCaptureTest = LiveTest;

Frame Buffer(const uint8_t *p) { return Frame(p, p + kCols * kRows); }

TEST_F(LiveCaptureTest, GoodCaptureIsRatedCopiedAndKept) {
  const Frame press = FingerFrame(2);
  fake_sensor::PushCapture(3, press);
  uint8_t q[5];
  ASSERT_EQ(quorv_GetImageData(0, q, 7), 3);

  uint8_t expect[4] = {255, 255, 255, 255};
  Frame copy = press;
  ASSERT_GE(ZqGetImageQuality(copy.data(), expect), 0);
  EXPECT_EQ(std::vector<uint8_t>(q, q + 5),
            (std::vector<uint8_t>{expect[0], expect[1], expect[2], expect[3], 255}));
  uint8_t area = 0, quality = 0, cond = 0;
  quorv_GetImageInfo(&area, &quality, &cond);
  EXPECT_EQ(area, expect[1]);
  EXPECT_EQ(quality, expect[0]);
  EXPECT_EQ(cond, expect[2]);
  EXPECT_EQ(Buffer(g_fp_image_buf->g_fpImageBuf), press);
  EXPECT_EQ(Buffer(g_fp_image_buf->g_fpImageBufAlg), press);
  EXPECT_EQ(RescanImages(), std::vector<Frame>{press});
  EXPECT_EQ(fake_sensor::Recorded().read_modes, std::vector<uint32_t>{7});
  EXPECT_EQ(fake_sensor::Recorded().get_fp_image, 1);
}

TEST_F(LiveCaptureTest, FailedCaptureIsKeptButNotRated) {
  for (int code : {-5, -3, -8}) {
    SCOPED_TRACE(code);
    quorv_ClearImageInfo();
    memset(g_fp_image_buf->g_forceEnrollBuf, 9, kCols * kRows);
    const Frame partial = FingerFrame(1);
    fake_sensor::PushCapture(code, partial);
    uint8_t q[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(quorv_GetImageData(0, q, 0), code);
    EXPECT_EQ(std::vector<uint8_t>(q, q + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    uint8_t area = 7, quality = 7, cond = 7;
    quorv_GetImageInfo(&area, &quality, &cond);
    EXPECT_EQ(area + quality + cond, 0);
    EXPECT_EQ(RescanImages().back(), partial);
    EXPECT_EQ(Buffer(g_fp_image_buf->g_fpImageBufAlg), Frame(kCols * kRows, 0));
    EXPECT_EQ(Buffer(g_fp_image_buf->g_forceEnrollBuf), Frame(kCols * kRows, 0));
  }
  EXPECT_EQ(RescanImages().size(), 3u);
}

TEST_F(LiveCaptureTest, InterruptModeReadsWithoutScan) {
  quorv_SetMcuInterrupMode(1);
  fake_sensor::PushCapture(0, FingerFrame(0));
  uint8_t q[5];
  EXPECT_EQ(quorv_GetImageData(0, q, 0), 0);
  EXPECT_EQ(fake_sensor::Recorded().get_fp_image_simple, 1);
  EXPECT_EQ(fake_sensor::Recorded().get_fp_image, 0);
}

int g_handler_calls = 0;
uint8_t g_handler_values[4];
int Handler(uint8_t *quality, uint8_t *area, uint8_t *cond, uint8_t *contrast) {
  ++g_handler_calls;
  *quality = g_handler_values[0];
  *area = g_handler_values[1];
  *cond = g_handler_values[2];
  *contrast = g_handler_values[3];
  return 0;
}

TEST_F(LiveCaptureTest, HostRatingIsTakenOnlyWhenComplete) {
  quorv_GetImgQualityByFwHandle(Handler);
  const Frame press = FingerFrame(3);
  uint8_t measured[4] = {255, 255, 255, 255};
  Frame copy = press;
  ASSERT_GE(ZqGetImageQuality(copy.data(), measured), 0);

  const uint8_t complete[4] = {41, 42, 43, 44};
  memcpy(g_handler_values, complete, 4);
  fake_sensor::PushCapture(0, press);
  uint8_t q[5];
  ASSERT_EQ(quorv_GetImageData(0, q, 0), 0);
  EXPECT_EQ(std::vector<uint8_t>(q, q + 4), std::vector<uint8_t>(complete, complete + 4));

  const uint8_t partial[4] = {41, 255, 43, 44};
  memcpy(g_handler_values, partial, 4);
  fake_sensor::PushCapture(0, press);
  ASSERT_EQ(quorv_GetImageData(0, q, 0), 0);
  EXPECT_EQ(std::vector<uint8_t>(q, q + 4), std::vector<uint8_t>(measured, measured + 4));
  EXPECT_EQ(g_handler_calls, 2);
}

TEST_F(LiveCaptureTest, WithoutWorkBuffersNothingIsCaptured) {
  quorv_SensorResourceDestroy();
  uint8_t q[5];
  EXPECT_EQ(quorv_GetImageData(0, q, 0), -1);
  EXPECT_EQ(fake_sensor::Recorded().get_fp_image, 0);
}

TEST_F(LiveCaptureTest, SizeGrownSinceInitialisationIsRefused) {
  // The buffers hold 80 x 64; a capture of 96 x 96 would overrun them.
  quorv_SetFpSensorColsRows(96, 96);
  fake_sensor::PushCapture(0, Frame(96 * 96, 100));
  uint8_t q[5];
  EXPECT_EQ(quorv_GetImageData(0, q, 0), -1);
  EXPECT_EQ(fake_sensor::PendingCaptures(), 1u);
}

TEST_F(LiveCaptureTest, NullQualityRecordIsRefused) {
  fake_sensor::PushCapture(0, FingerFrame(0));
  EXPECT_EQ(quorv_GetImageData(0, nullptr, 0), -1);
  EXPECT_EQ(fake_sensor::PendingCaptures(), 1u);
}

TEST_F(LiveCaptureTest, PixelSumCoversTheConfiguredImage) {
  Frame f(kCols * kRows, 200);
  EXPECT_EQ(quorv_GetImagePixel(f.data()), 200u * kCols * kRows);
  EXPECT_EQ(quorv_GetImagePixel(nullptr), 0u);
}

TEST_F(LiveCaptureTest, DumpIndexListsTheSavedSlideImages) {
  fake_sensor::PushSlide(0, {FingerFrame(0), FingerFrame(1), FingerFrame(2)});
  uint8_t img[kCols * kRows];
  ASSERT_EQ(quorv_SlideEnrollReadImage(img), 0);
  uint8_t out[255] = {};
  EXPECT_EQ(quorv_GetDumpImageIndex(out), 3);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(quorv_GetDumpImageIndex(nullptr), 0);
}

}  // namespace
}  // namespace sensorlib_test
