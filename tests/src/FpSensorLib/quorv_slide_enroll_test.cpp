// Slide enrolment engines V1 to V5 and the bulk enrolment: pruning, even
// sampling, the speed rule, the 8-bit remaining count, and enrolment of a
// synthetic swipe that then identifies a press of the same finger.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "src/FpSensorLib/live_fixture.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqSubTemplate.h"

namespace sensorlib_test {
namespace {

// Frames of `n` different fingers that cover the sensor, each chosen so
// that it does not correlate with the one before (needs the library's
// configuration for the cover-area threshold).
std::vector<Frame> DistinctFrames(int n, int first_finger = 20) {
  std::vector<Frame> frames;
  for (int finger = first_finger; static_cast<int>(frames.size()) < n; ++finger) {
    Frame f = FingerFrame(finger);
    if (!frames.empty() && quorv_CoverArea(frames.back().data(), f.data(), kRows, kCols, 5) != 0)
      continue;
    frames.push_back(std::move(f));
  }
  return frames;
}

// Whether two frames differ, without printing megabytes when they do.
::testing::AssertionResult SameFrames(const std::vector<Frame> &got,
                                      const std::vector<Frame> &want) {
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << got.size() << " images, want " << want.size();
  for (size_t i = 0; i < got.size(); ++i)
    if (got[i] != want[i]) return ::testing::AssertionFailure() << "image " << i << " differs";
  return ::testing::AssertionSuccess();
}

std::vector<Frame> Pick(const std::vector<Frame> &frames, const std::vector<int> &positions) {
  std::vector<Frame> out;
  for (int p : positions) out.push_back(frames[p - 1]);
  return out;
}

class SlideEnrollTest : public LiveTest {
 protected:
  // The frames shared by the tests that need a long slide (rendered once).
  static const std::vector<Frame> &Thirty() {
    static const std::vector<Frame> frames = DistinctFrames(30);
    return frames;
  }
};

TEST(SlideSamplingTest, PositionsSpreadEvenlyOverTheSlide) {
  struct Case {
    uint32_t m, limit;
    std::vector<uint8_t> positions;
  };
  const Case cases[] = {
      {30, 12, {1, 4, 6, 9, 11, 14, 16, 19, 21, 24, 26, 29}},
      {20, 5, {1, 5, 9, 13, 17}},
      {4, 12, {1, 2, 3, 4}},
      {7, 0, {}},
      {3, 2, {1, 3}},  // step 1.5: 2.5 rounds up to 3
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.m << " of " << c.limit);
    std::vector<uint8_t> got(c.m, 0);
    const int n = quorv_SlideSamplePositions(c.m, c.limit, got.data());
    got.resize(n);
    EXPECT_EQ(got, c.positions);
  }
}

TEST_F(SlideEnrollTest, V1EnrolsTheEvenlySampledImages) {
  quorv_SetImageSaveEn(1);  // the sampled images also go to the rescan list
  fake_sensor::PushSlide(0, Thirty());
  uint8_t out = 0;
  EXPECT_EQ(quorv_SlideEnroll_V1(2, 0, &out), 12);
  EXPECT_TRUE(SameFrames(RescanImages(), Pick(Thirty(), {1, 4, 6, 9, 11, 14, 16, 19, 21, 24, 26, 29})));
  EXPECT_EQ(ZqGetSubtemplatesNum(2), 12);
  EXPECT_TRUE(SavedSlideImages().empty());
  EXPECT_EQ(gQuorvActionMode, 0u);
}

TEST_F(SlideEnrollTest, V1StopsWhenTheRemainingCountIsReached) {
  quorv_SetImageSaveEn(1);
  const std::vector<Frame> frames = DistinctFrames(4, 60);
  uint8_t out = 0;
  // The finger's first ten sub-templates, one slide each: two remain, and
  // the per-slide cap is 12.
  for (uint8_t i = 0; i < 10; ++i) {
    fake_sensor::PushSlide(0, {Thirty()[i]});
    ASSERT_EQ(quorv_SlideEnroll_V1(0, i, &out), 1);
  }
  quorv_DestroyRescanImage();
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V1(0, 10, &out), 2);
  EXPECT_TRUE(SameFrames(RescanImages(), Pick(frames, {1, 3})));  // step 2
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 12);
}

TEST_F(SlideEnrollTest, RemainingCountIsEightBits) {
  const std::vector<Frame> frames = DistinctFrames(3);
  uint8_t out = 0;
  // enrollIndex equal to the maximum: nothing to sample.
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V1(0, 12, &out), 0);
  // One past the maximum: remain wraps to 255, the slide is sampled and
  // every enrolment is refused.
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V2(0, 13, &out), -2);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
}

TEST_F(SlideEnrollTest, UnmovedNeighboursAreDroppedInCaptureOrder) {
  quorv_SetImageSaveEn(1);
  const Frame a = FingerFrame(9), b = FingerFrame(10);
  fake_sensor::PushSlide(0, {a, a, a, b});
  uint8_t out = 0;
  EXPECT_EQ(quorv_SlideEnroll_V1(0, 0, &out), 2);
  EXPECT_TRUE(SameFrames(RescanImages(), {a, b}));
}

TEST_F(SlideEnrollTest, SlideWithoutFingerIsRefused) {
  const std::vector<Frame> blank(5, EmptyFrame());
  uint8_t out = 0;
  for (auto engine : {quorv_SlideEnroll_V1, quorv_SlideEnroll_V2, quorv_SlideEnroll_V5}) {
    fake_sensor::PushSlide(0, blank);
    EXPECT_EQ(engine(0, 0, &out), -1);
    EXPECT_TRUE(EnrollImages().empty());
  }
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
  fake_sensor::PushSlide(-3, blank);  // a read error
  EXPECT_EQ(quorv_SlideEnroll_V1(0, 0, &out), -5);
  // Buffers smaller than the configured size: nothing is read.
  quorv_SetFpSensorColsRows(96, 96);
  for (auto engine : {quorv_SlideEnroll_V1, quorv_SlideEnroll_V2, quorv_SlideEnroll_V3,
                      quorv_SlideEnroll_V4, quorv_SlideEnroll_V5}) {
    EXPECT_EQ(engine(0, 0, &out), -1);
  }
  EXPECT_EQ(fake_sensor::Recorded().slide_enroll, 4);
  EXPECT_EQ(fake_sensor::Recorded().get_fp_image, 0);
}

TEST_F(SlideEnrollTest, V2DropsImagesLikeTheEmptySensorAfterTheSlide) {
  quorv_SetImageSaveEn(1);
  const Frame a = FingerFrame(11), b = FingerFrame(12);
  // The last frame read (left in the capture buffer) is b itself: b matches
  // it exactly and is dropped in "5.1".
  fake_sensor::PushSlide(0, {a, b});
  uint8_t out = 0;
  EXPECT_EQ(quorv_SlideEnroll_V2(0, 0, &out), 1);
  EXPECT_TRUE(SameFrames(RescanImages(), {a}));
}

TEST_F(SlideEnrollTest, V5FastSlideIsSampledOrRefused) {
  const std::vector<Frame> frames = DistinctFrames(20);
  uint8_t out = 0;
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V5(0, 7, &out), -8);  // fast-slide enrolment off
  EXPECT_TRUE(EnrollImages().empty());
  EXPECT_EQ(template_cur, nullptr);

  quorv_SetFastSlideNeedEnroll(1);
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V5(0, 7, &out), 5);  // 12 - 7 remain
  EXPECT_TRUE(SameFrames(EnrollImages(), Pick(frames, {1, 5, 9, 13, 17})));
  EXPECT_NE(template_cur, nullptr);
  EXPECT_FALSE(SavedSlideImages().empty());  // V5 leaves the slide
}

TEST_F(SlideEnrollTest, V5SingleImageCountsTwiceWhileTwoRemain) {
  const Frame a = FingerFrame(13);
  uint8_t out = 0;
  fake_sensor::PushSlide(0, {a});
  EXPECT_EQ(quorv_SlideEnroll_V5(0, 0, &out), 2);
  ST_SubTemplate *const kept = template_cur;
  EXPECT_NE(kept, nullptr);
  quorv_SetEnrollmentTipsEn(0);  // no overlap check against the first
  fake_sensor::PushSlide(0, {a});
  EXPECT_EQ(quorv_SlideEnroll_V5(0, 11, &out), 1);
  EXPECT_TRUE(SameFrames(EnrollImages(), {a, a}));
}

TEST_F(SlideEnrollTest, V4CollectsPressesWithoutEnrolling) {
  const Frame a = FingerFrame(15), b = FingerFrame(16);
  uint8_t out = 0;
  fake_sensor::PushCapture(0, a);
  EXPECT_EQ(quorv_SlideEnroll_V4(0, 0, &out), 0);
  ST_SubTemplate *const first = template_cur;
  ASSERT_NE(first, nullptr);
  fake_sensor::PushCapture(0, b);
  EXPECT_EQ(quorv_SlideEnroll_V4(0, 1, &out), 0);
  EXPECT_NE(template_cur, first);
  fake_sensor::PushCapture(-5, a);
  EXPECT_EQ(quorv_SlideEnroll_V4(0, 2, &out), -5);
  quorv_SetImageQualityScore(101);
  fake_sensor::PushCapture(0, a);
  EXPECT_EQ(quorv_SlideEnroll_V4(0, 2, &out), -3);
  EXPECT_TRUE(SameFrames(EnrollImages(), {a, b}));  // the raw presses
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);            // V4 enrols nothing itself
  EXPECT_EQ(gQuorvActionMode, 0u);
}

TEST_F(SlideEnrollTest, BulkEnrolmentSkipsImagesThatFailExtraction) {
  const Frame a = FingerFrame(16), b = FingerFrame(16, 2, 8);
  for (const Frame &f : {a, EmptyFrame(), b}) quorv_SaveEnrollImage(f.data());
  template_cur = ZqCreateTemp();
  EXPECT_EQ(quorv_SlideEnrollAllImage(4), 2);
  EXPECT_EQ(ZqGetSubtemplatesNum(4), 2);
  EXPECT_TRUE(EnrollImages().empty());
  EXPECT_EQ(template_cur, nullptr);
  EXPECT_EQ(quorv_SlideEnrollAllImage(4), -1);  // nothing collected

  // Only images that fail: the extraction's own result, logged in the
  // bulk enrolment's name.
  quorv_SaveEnrollImage(EmptyFrame().data());
  template_cur = ZqCreateTemp();
  HostLog().clear();
  const int r = quorv_SlideEnrollAllImage(5);
  EXPECT_LT(r, 0);
  EXPECT_NE(r, -1);
  const std::string code = std::to_string(r);
  EXPECT_TRUE(Logged("quorv_SlideEnrollAllImage...ZqGetTemplate() = " + code + ", error, ret = " +
                     code));
  EXPECT_EQ(ZqGetSubtemplatesNum(5), 0);
}

// With the duplicate check on, every engine refuses a finger that is
// already enrolled (-7), enrols nothing into the new slot and reports the
// refusal in its own name; V5 marks the line as its step 7.
TEST_F(SlideEnrollTest, EveryEngineRefusesAFingerAlreadyEnrolled) {
  const Frame press = FingerFrame(17), other = FingerFrame(18);
  uint8_t out = 0;
  fake_sensor::PushCapture(0, press);
  ASSERT_EQ(quorv_SlideEnroll_V3(0, 0, &out), 0);
  quorv_SetTplValid(0);
  quorv_SetEnrollmentTipsEn(0);
  quorv_EnrollmentDuplicateCheckEn(1);

  using Engine = int (*)(uint16_t, uint8_t, uint8_t *);
  struct Case {
    Engine engine;
    bool slide;
    const char *line;
  };
  const Case cases[] = {
      {quorv_SlideEnroll_V1, true,
       "quorv_SlideEnroll_V1...The finger already existence, enroll failed!, ret = -7"},
      {quorv_SlideEnroll_V2, true,
       "quorv_SlideEnroll_V2...The finger already existence, enroll failed!, ret = -7"},
      {quorv_SlideEnroll_V3, false,
       "quorv_SlideEnroll_V3...The finger already existence, enroll failed!, ret = -7"},
      {quorv_SlideEnroll_V4, false,
       "quorv_SlideEnroll_V4...The finger already existence, enroll failed!, ret = -7"},
      {quorv_SlideEnroll_V5, true,
       "quorv_SlideEnroll_V5..7.The finger already existence, enroll failed!, ret = -7"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    HostLog().clear();
    if (c.slide) {
      fake_sensor::PushSlide(0, {press, other});  // V2 drops the last frame read
    } else {
      fake_sensor::PushCapture(0, press);
    }
    EXPECT_EQ(c.engine(1, 0, &out), -7);
    EXPECT_TRUE(Logged(c.line));
    EXPECT_EQ(ZqGetSubtemplatesNum(1), 0);
    EXPECT_TRUE(EnrollImages().empty());
    EXPECT_EQ(gQuorvActionMode, 0u);
  }
}

// Each engine enrols a swipe of one finger; a press of that finger is then
// identified as it.
TEST_F(SlideEnrollTest, EnrolledSwipeIdentifiesAPressOfTheSameFinger) {
  quorv_SetEnrollmentTipsEn(0);
  quorv_SetFastSlideNeedEnroll(1);
  for (uint8_t engine = 1; engine <= 5; ++engine) {
    SCOPED_TRACE(testing::Message() << "V" << static_cast<int>(engine));
    const int finger = 40 + engine;
    const std::vector<Frame> swipe = SwipeFrames(finger, 12, 6);
    const Frame press = FingerFrame(finger, 5, 3);
    quorv_SetSlideEnrollEn(engine);
    uint8_t out = 0;
    int got = 0;
    if (engine == 3 || engine == 4) {
      for (int i = 0; i < 6; ++i) {
        fake_sensor::PushCapture(0, swipe[2 * i]);
        if (quorv_Enroll(engine, static_cast<uint8_t>(got), &out) == 0) ++got;
      }
    } else {
      fake_sensor::PushSlide(0, swipe);
      got = quorv_Enroll(engine, 0, &out);
    }
    ASSERT_GT(got, 0);
    if (engine >= 4) {
      ASSERT_GT(quorv_SlideEnrollAllImage(engine), 0);
    }
    ASSERT_GT(ZqGetSubtemplatesNum(engine), 0);
    quorv_SetTplValid(engine);
    uint8_t fid = 0, update = 0;
    EXPECT_EQ(quorv_IdentifyByImage(press.data(), 2, &fid, &update), 0);
    EXPECT_EQ(fid, engine);
  }
}

}  // namespace
}  // namespace sensorlib_test
