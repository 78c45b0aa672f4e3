// The press enrolment and the dispatcher by slide-enrol mode: the failure
// table, what a press leaves in imageInfoBuf, the rescan list and
// gEnrollInfo, and the pruning of saved slide images.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "src/FpSensorLib/live_fixture.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqQualityWrappers.h"

namespace sensorlib_test {
namespace {

using PressEnrollTest = LiveTest;

// The press with its lower `blank` rows replaced by the empty sensor.
Frame PartlyCovered(const Frame &press, int blank) {
  Frame f = press;
  std::fill(f.end() - blank * kCols, f.end(), 215);
  return f;
}

std::vector<uint8_t> Rate(Frame f) {
  uint8_t q[4] = {255, 255, 255, 255};
  EXPECT_GE(ZqGetImageQuality(f.data(), q), 0);
  return std::vector<uint8_t>(q, q + 4);
}

TEST_F(PressEnrollTest, FailureTable) {
  const Frame press = FingerFrame(4);
  const Frame half = PartlyCovered(press, kRows / 2);
  ASSERT_LT(Rate(half)[1], 90);  // below the default area threshold
  struct Case {
    const char *name;
    int capture;
    Frame frame;
    std::function<void()> configure;
    int expected;
  };
  const std::vector<Case> cases = {
      {"too fast", -8, press, [] {}, -8},
      {"no finger", -5, press, [] {}, -5},
      {"other capture failure", -13, press, [] {}, -13},
      {"quality and area low", 0, half, [] { quorv_SetImageQualityScore(101); }, -4},
      {"quality low", 0, press, [] { quorv_SetImageQualityScore(101); }, -3},
      {"area low", 0, half, [] {}, -4},
      {"too wet", 0, press, [] { quorv_SetImageValidCondScale(101); }, -3},
      {"not a finger", 0, EmptyFrame(),
       [] {
         quorv_SetImageValidAreaScale(0.0f);
         quorv_SetImageQualityScore(0);
         quorv_EnrollNonFingerDetect(1);
       },
       -5},
  };
  ST_SubTemplate *const before = ZqCreateTemp();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    quorv_SetImageQualityScore(30);
    quorv_SetImageValidAreaScale(0.9f);
    quorv_SetImageValidCondScale(20);
    quorv_EnrollNonFingerDetect(0);
    c.configure();
    template_cur = before;
    fake_sensor::PushCapture(c.capture, c.frame);
    uint8_t out = 0x5a;
    EXPECT_EQ(quorv_NoneSlideEnroll(0, 0, &out), c.expected);
    EXPECT_EQ(template_cur, before);  // no sample was kept
    EXPECT_EQ(out, 0x5a);
    EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
    EXPECT_EQ(gQuorvActionMode, 0u);
    EXPECT_EQ(RescanImages(), std::vector<Frame>{c.frame});
  }
}

TEST_F(PressEnrollTest, AcceptedPressIsTheOnlyImageOfTheAttempt) {
  quorv_SaveRescanImage(EmptyFrame().data());  // left from an earlier attempt
  ASSERT_EQ(quorv_SetImageInfoBuf_v2(1, 9, 9, 9, 9, 9), 0);
  const Frame press = FingerFrame(5);
  fake_sensor::PushCapture(0, press);
  uint8_t out = 0;
  ASSERT_EQ(quorv_Enroll(3, 0, &out), 0);

  EXPECT_EQ(RescanImages(), std::vector<Frame>{press});
  std::vector<uint8_t> info(quorv_ImageInfoCapacity() * 8 + 5);
  ASSERT_EQ(quorv_GetImageInfoBuf(info.data()), 0);
  const std::vector<uint8_t> q = Rate(press);
  uint32_t sum = 0;
  for (uint8_t p : press) sum += p;
  EXPECT_EQ(info[0], 1);
  EXPECT_EQ(info[1], q[1]);  // area
  EXPECT_EQ(info[2], q[0]);  // quality
  EXPECT_EQ(info[3], q[2]);  // cond
  uint32_t stored = 0;
  for (int b = 0; b < 4; ++b) stored |= static_cast<uint32_t>(info[5 + b]) << (8 * b);
  EXPECT_EQ(stored, sum);
  EXPECT_EQ(info[9], 0);  // entry 1 of the earlier attempt is gone

  EXPECT_EQ(gEnrollInfo.quality, q[0]);
  EXPECT_EQ(gEnrollInfo.area, q[1]);
  EXPECT_EQ(gEnrollInfo.reserved0, 255);
  EXPECT_EQ(gEnrollInfo.enrollRet, 0);
  EXPECT_EQ(gEnrollInfo.forceEnrollFailed, 0);
  EXPECT_EQ(gEnrollInfo.fingerId, 3);
  EXPECT_EQ(gEnrollInfo.subTplsNum, 1);
  EXPECT_EQ(ZqGetSubtemplatesNum(3), 1);
  EXPECT_NE(template_cur, nullptr);
  EXPECT_EQ(gQuorvActionMode, 0u);
}

TEST_F(PressEnrollTest, RejectionsAfterExtractionKeepThePressAsCurrentSample) {
  const Frame press = FingerFrame(6);
  fake_sensor::PushCapture(0, press);
  uint8_t out = 0;
  ASSERT_EQ(quorv_NoneSlideEnroll(0, 0, &out), 0);
  ST_SubTemplate *const first = template_cur;

  // The same press again at index 1: the tips check wants a move.
  fake_sensor::PushCapture(0, press);
  EXPECT_EQ(quorv_NoneSlideEnroll(0, 1, &out), -6);
  EXPECT_NE(template_cur, first);
  EXPECT_EQ(Frame(g_fp_image_buf->g_forceEnrollBuf, g_fp_image_buf->g_forceEnrollBuf + kCols * kRows),
            press);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 1);

  // With the duplicate check on, the finger is found in slot 0.
  quorv_SetEnrollmentTipsEn(0);
  quorv_EnrollmentDuplicateCheckEn(1);
  quorv_SetTplValid(0);
  fake_sensor::PushCapture(0, press);
  EXPECT_EQ(quorv_NoneSlideEnroll(1, 0, &out), -7);
  EXPECT_EQ(ZqGetSubtemplatesNum(1), 0);
  EXPECT_EQ(gQuorvActionMode, 0u);
}

TEST_F(PressEnrollTest, DispatchFollowsTheSlideEnrolMode) {
  // Nothing is scripted: every capture answers -1, which the press path
  // returns unchanged and the slide engines report as -5.
  struct Case {
    uint8_t mode;
    const char *line;
    int expected;
  };
  const Case cases[] = {
      {0, "quorv_Enroll...slide_enroll_en = 0, do quorv_NoneSlideEnroll", -1},
      {8, "quorv_Enroll...slide_enroll_en = 8, do quorv_NoneSlideEnroll", -1},
      {255, "quorv_Enroll...slide_enroll_en = 255, do quorv_NoneSlideEnroll", -1},
      {3, "quorv_Enroll...slide_enroll_en = 3, do quorv_SlideEnroll_V3", -5},
      {1, "quorv_Enroll...slide_enroll_en = 1, do quorv_SlideEnroll_V1", -5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    HostLog().clear();
    quorv_SetSlideEnrollEn(c.mode);
    uint8_t out = 0;
    EXPECT_EQ(quorv_Enroll(0, 0, &out), c.expected);
    EXPECT_TRUE(Logged(c.line));
    EXPECT_EQ(gEnrollInfo.enrollRet, c.expected);
    EXPECT_EQ(gEnrollInfo.forceEnrollFailed, 1);
  }
  EXPECT_EQ(fake_sensor::Recorded().get_fp_image, 4);  // the press paths and V3
  EXPECT_EQ(fake_sensor::Recorded().slide_enroll, 1);
}

TEST_F(PressEnrollTest, NullOutputChangesNothing) {
  memset(&gEnrollInfo, 0x11, sizeof(gEnrollInfo));
  EXPECT_EQ(quorv_Enroll(0, 0, nullptr), -1);
  QuorvEnrollInfo same;
  memset(&same, 0x11, sizeof(same));
  EXPECT_EQ(memcmp(&gEnrollInfo, &same, sizeof(same)), 0);
  EXPECT_EQ(fake_sensor::Recorded().get_fp_image, 0);
}

TEST_F(PressEnrollTest, SlideImageCountPrunesBlanksAndUnmovedNeighbours) {
  EXPECT_EQ(quorv_GetSlideEnrollImageCnt(), -1);  // nothing saved

  for (int i = 0; i < 3; ++i) quorv_SaveImage(EmptyFrame().data());
  EXPECT_EQ(quorv_GetSlideEnrollImageCnt(), -1);
  EXPECT_EQ(SavedSlideImages().size(), 0u);

  const Frame a = FingerFrame(7), b = FingerFrame(8);
  for (const Frame &f : {EmptyFrame(), a, a, a, b}) quorv_SaveImage(f.data());
  EXPECT_EQ(quorv_GetSlideEnrollImageCnt(), 2);
  EXPECT_EQ(SavedSlideImages(), (std::vector<Frame>{a, b}));
}

}  // namespace
}  // namespace sensorlib_test
