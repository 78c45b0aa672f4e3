// Slide enrolment engines V6 and V7 on scripted slides: every frame carries
// its own rating, physical area, wet share and template answers, so that the
// grading, the diagnosis of a slide where nothing qualified, the choice of
// the enrolled image, the enrolment step and V7's speed recheck can be
// driven case by case. One test runs the real algorithm core on a swipe.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "src/FpSensorLib/live_fixture.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/FpSensorLib/slide_script.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqSubTemplate.h"

namespace sensorlib_test {
namespace {

using Engine = int (*)(uint16_t, uint8_t, uint8_t *);

// --- Grading and diagnosis: cases that differ only in data ---------------------

struct Case {
  const char *what;
  bool v7;
  std::vector<Props> slide;
  std::map<Pair, int> required;
  std::map<Pair, int> speed;
  int want;
  const char *log;  // message after the engine's name
};

TEST_F(OneImageSlideTest, GradingAndDiagnosis) {
  Props nonfinger;
  nonfinger.nonfinger = 1;
  Props wetNonfinger = With(60, 95, 10);
  wetNonfinger.nonfinger = 1;
  Props noTemplate;
  noTemplate.extract = -3;
  const Props good;
  const Case cases[] = {
      // One image left: V6 checks physical area, quality, cond, then area
      // split by the wet share.
      {"V6 single: physical area equal to the threshold", false, {With(60, 95, 60, 80)}, {}, {}, -4,
       "...5.19..area is small, ret = -4"},
      {"V6 single: quality below", false, {With(29, 95, 60)}, {}, {}, -3,
       "...5.7..quality( = 29) low (Thr = 30) , ret = -3"},
      {"V6 single: cond below", false, {With(60, 95, 19)}, {}, {}, -3,
       "...5.9..cond( = 19) low (Thr = 20) , ret = -3"},
      {"V6 single: small area, wet 3 of 2", false, {With(60, 89, 60, 90, 3)}, {}, {}, -3,
       "...5.11..ret = -3"},
      {"V6 single: small area, wet 2 of 2", false, {With(60, 89, 60, 90, 2)}, {}, {}, -4,
       "...5.11..ret = -4"},
      {"V6 single: no template", false, {noTemplate}, {}, {}, -3,
       "...5.16...ZqGetTemplateForEnroll() = -3, error, ret = -3"},
      {"V6 single: enrolled", false, {good}, {}, {}, 0, "...enroll success!, ret = 0"},
      // V7 ignores the physical area and the wet share.
      {"V7 single: small physical area and wet still enrol", true, {With(60, 95, 60, 10, 50)}, {}, {}, 0, "...enroll success!, ret = 0"},
      {"V7 single: small area although wet", true, {With(60, 89, 60, 90, 3)}, {}, {}, -4,
       "...5.11..ret = -4"},
      {"V7 single: cond below", true, {With(60, 95, 19)}, {}, {}, -3,
       "...5.10..cond( = 19) low (Thr = 20) , ret = -3"},
      {"V7 single: no template", true, {noTemplate}, {}, {}, -3,
       "...5.14...ZqGetTemplateForEnroll() = -3, error, ret = -3"},
      // Every image blank, or an empty slide: too fast.
      {"V6 all blank", false, {With(0, 0, 0), With(0, 0, 0)}, {}, {}, -8,
       "...4.2..NOT finger image, finger move too fast, ret = -8"},
      {"V7 empty slide", true, {}, {}, {}, -8,
       "...1.2..NOT finger image, finger move too fast, ret = -8"},
      // V6, nothing passes the second grading; the first and last image
      // still overlap: the best-quality image (the second) decides.
      {"V6 none passed, overlap, best too small", false,
       {With(20, 95, 60, 95), With(25, 95, 60, 80)}, {}, {}, -4,
       "..9.15..phy_area < Thr, ret = -4"},
      {"V6 none passed, overlap, best of low quality", false,
       {With(10, 95, 60, 95), With(25, 95, 60, 95)}, {}, {}, -3,
       "...9.11..quality( = 25) low (Thr = 30) , ret = -3"},
      {"V6 none passed, overlap, best wet", false,
       {With(60, 80, 60, 95, 3), With(70, 80, 60, 95, 3)}, {}, {}, -3,
       "...9.13..wetPrcent( = 3) > (Thr = 2) , ret = -3"},
      {"V6 none passed, overlap, best dry", false, {With(60, 80, 60), With(70, 80, 60)}, {}, {},
       -4, "...9.14..ret = -4"},
      // ... the first and last image do not match: speed unless wet or small.
      {"V6 none passed, no match, best of low cond", false, {With(60, 95, 10), With(20, 95, 60)},
       {{{1, 2}, 2}}, {}, -3, "..9.18..speed > thr, BUT all image are wet fingers, ret = -3"},
      {"V6 none passed, no match, small best", false, {With(60, 80, 60), With(70, 80, 60)},
       {{{1, 2}, 2}}, {}, -4, "..9.17..area is small, ret = -4"},
      {"V6 none passed, no match, best dry and large", false,
       {With(20, 95, 60), With(25, 95, 60)}, {{{1, 2}, 2}}, {}, -8,
       "..9.19..speed > thr, move too fast! ret = -8"},
      // V7, nothing passes: best quality, largest area, else -2.
      {"V7 none passed, best quality equals the threshold", true,
       {With(30, 95, 10), With(29, 95, 60)}, {}, {}, -3,
       "...8.4..maxQuality(= 30) <= thr(= 30), ret = -3"},
      {"V7 none passed, largest area equals the threshold", true,
       {With(60, 90, 10), With(29, 89, 60)}, {}, {}, -4,
       "...8.5..maxValidArea(= 90) <= thr(= 90), ret = -4"},
      {"V7 none passed, all cond low", true, {With(60, 95, 10), With(60, 95, 10)}, {}, {}, -2,
       "...8.6...ret = -2"},
      {"V7 none passed, all cond low, the slide moved", true,
       {With(60, 95, 10), With(60, 95, 10), With(60, 95, 10)}, {}, {{{2, 3}, 1}}, -8,
       "...8.6...ret = -2"},
      {"V7 none passed, last image not a finger", true, {With(60, 95, 10), wetNonfinger}, {}, {},
       -5,
       "...8.3..NOT finger image, value = 1, ret = -5"},
      // Several pass: the last two decide.
      {"V6 last two do not match", false, {good, good, good}, {{{2, 3}, 2}}, {}, -8,
       "..12.7..speed > thr, move too fast! ret = -8"},
      {"V7 last two overlap too little", true, {good, good}, {{{1, 2}, 1}}, {}, -8,
       "..12.7..speed > thr, move too fast! ret = -8"},
      {"V6 last two overlap", false, {good, With(10, 95, 60), good, good}, {{{1, 3}, 2}}, {}, 0,
       ".12.6..speed < thr, image is ok"},
      {"V7 end image not a finger", true, {good, nonfinger, good}, {}, {}, -5,
       "...11.1..NOT finger image, value = 1, ret = -5"},
      {"V7 last image not a finger", true, {good, good, nonfinger}, {}, {}, -5,
       "...12.1..NOT finger image, value = 1, ret = -5"},
      {"V7 end image without template", true, {good, noTemplate, good}, {}, {}, -3,
       "...11.3...ZqGetTemplate() = -3, error, ret = -3"},
      // One passes the second grading.
      {"V6 one passed", false, {With(10, 95, 60), good}, {}, {}, 0, "..10.7..get first tpl"},
      {"V7 one passed, not a finger", true, {With(10, 95, 60), nonfinger}, {}, {}, -5,
       "...10.4..NOT finger image, value = 1, ret = -5"},
      {"V7 one passed without template", true, {With(10, 95, 60), noTemplate}, {}, {}, -3,
       "...10.6...ZqGetTemplate() = -3, error, ret = -3"},
  };
  quorv_EnrollNonFingerDetect(1);
  for (const Case &k : cases) {
    SCOPED_TRACE(k.what);
    S() = SlideScript{};
    const std::vector<Frame> frames = Slide(k.slide);
    S().required = k.required;
    S().speed = k.speed;
    fake_sensor::PushSlide(0, frames);
    HostLog().clear();
    uint8_t out = 0;
    const char *name = k.v7 ? "quorv_SlideEnroll_V7" : "quorv_SlideEnroll_V6";
    const int got = k.v7 ? quorv_SlideEnroll_V7(1, 0, &out) : quorv_SlideEnroll_V6(1, 0, &out);
    EXPECT_EQ(got, k.want);
    EXPECT_TRUE(Logged(std::string(name) + k.log));
    EXPECT_TRUE(Logged(std::string(name) + "...16.4..leave, ret = " + std::to_string(k.want)));
    EXPECT_EQ(gQuorvActionMode, 0u);
    EXPECT_EQ(S().enroll_calls.size(), k.want == 0 ? 1u : 0u);
    quorv_DestroyEnrollImage();
    quorv_ReleaseTemplateCur();
  }
}

// --- Choice of the enrolled image and the enrolment step -----------------------

TEST_F(OneImageSlideTest, LastOfTheValidImagesIsEnrolledAfterComparingItWithItsPredecessor) {
  const Props low = With(10, 95, 60);
  const std::vector<Frame> frames = Slide({Props{}, Props{}, low, Props{}, low});
  uint8_t out = 0;
  for (Engine engine : {quorv_SlideEnroll_V6, quorv_SlideEnroll_V7}) {
    S().required_calls.clear();
    S().enroll_calls.clear();
    S().enroll_modes.clear();
    fake_sensor::PushSlide(0, frames);
    ASSERT_EQ(engine(3, 0, &out), 0);
    EXPECT_EQ(out, 42);
    // Images 1, 2 and 4 pass; 2 (end) is compared with 4 (first).
    EXPECT_EQ(S().required_calls, (std::vector<Pair>{{2, 4}}));
    EXPECT_EQ(S().enroll_calls, (std::vector<int>{4}));
    EXPECT_EQ(S().enroll_modes, (std::vector<uint32_t>{1u}));
    EXPECT_EQ(TplId(template_cur), 4);
    EXPECT_EQ(gQuorvActionMode, 0u);
  }
  EXPECT_EQ(EnrollImages(), (std::vector<Frame>{frames[3], frames[3]}));
  EXPECT_TRUE(RescanImages().empty());  // image saving is off
}

TEST_F(OneImageSlideTest, UnmovedNeighboursAreDroppedBeforeTheGrading) {
  const Frame a = Img(1), b = Img(2);
  fake_sensor::PushSlide(0, {a, a, a, b, b});
  uint8_t out = 0;
  EXPECT_EQ(quorv_SlideEnroll_V6(0, 0, &out), 0);
  // Each image is compared with the one just before it, even when that one
  // is already marked (image 3 with image 2).
  for (int k : {2, 3, 5})
    EXPECT_TRUE(Logged("quorv_SlideEnroll_V6...5.1 image " + std::to_string(k) + " is invalid"));
  EXPECT_FALSE(Logged("quorv_SlideEnroll_V6...5.1 image 4 is invalid"));
  EXPECT_TRUE(Logged("quorv_SlideEnroll_V6..5.2..get_img_num = 2, get_img_index = 2"));
  EXPECT_EQ(S().required_calls, (std::vector<Pair>{{1, 2}}));
}

TEST_F(OneImageSlideTest, TooFastSlideEnrolsNothingAndKeepsTheCurrentTemplate) {
  ST_SubTemplate *const before = ZqCreateTemp();
  template_cur = before;
  S().required[{1, 2}] = 2;
  fake_sensor::PushSlide(0, Slide({Props{}, Props{}}));
  uint8_t out = 0;
  EXPECT_EQ(quorv_SlideEnroll_V6(0, 0, &out), -8);
  EXPECT_EQ(template_cur, before);
  EXPECT_TRUE(EnrollImages().empty());
  EXPECT_EQ(RescanImages().size(), 2u);  // every raw image of the slide
}

TEST_F(OneImageSlideTest, TipsRejectionOnAMovingSlideIsReportedAsTooFast) {
  S().tips = -1;
  S().speed[{1, 2}] = 2;
  const std::vector<Frame> frames = Slide({Props{}, Props{}, Props{}});
  uint8_t out = 0;
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V7(0, 0, &out), -8);
  EXPECT_TRUE(Logged("quorv_SlideEnroll_V7...14.1..should move a little! "
                     "ZqEnrollTipsTemplate() = -1, ret = -6"));
  EXPECT_EQ(S().speed_calls, (std::vector<Pair>{{1, 2}}));  // stops at the first fast pair
  EXPECT_EQ(Frame(g_fp_image_buf->g_forceEnrollBuf, g_fp_image_buf->g_forceEnrollBuf + kCols * kRows),
            frames[2]);
  EXPECT_EQ(TplId(template_cur), 3);
  EXPECT_TRUE(S().enroll_calls.empty());
  EXPECT_TRUE(EnrollImages().empty());

  // V6 has no recheck; V7 without movement keeps -6.
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V6(0, 0, &out), -6);
  S().speed.clear();
  S().speed_calls.clear();
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V7(0, 0, &out), -6);
  EXPECT_EQ(S().speed_calls, (std::vector<Pair>{{1, 2}, {2, 3}}));
}

TEST_F(OneImageSlideTest, DuplicateFingerIsRefused) {
  quorv_EnrollmentDuplicateCheckEn(1);
  S().verify = 0;
  fake_sensor::PushSlide(0, Slide({Props{}, Props{}}));
  uint8_t out = 0;
  EXPECT_EQ(quorv_SlideEnroll_V6(0, 0, &out), -7);
  S().speed[{1, 2}] = 1;  // V7: the slide also moved
  fake_sensor::PushSlide(0, Slide({Props{}, Props{}}));
  EXPECT_EQ(quorv_SlideEnroll_V7(0, 0, &out), -8);
  S().verify = -1;
  fake_sensor::PushSlide(0, Slide({Props{}, Props{}}));
  EXPECT_EQ(quorv_SlideEnroll_V6(0, 0, &out), 0);
  EXPECT_TRUE(Logged("quorv_SlideEnroll_V6...15.2..The finger is new, not existence!, ret = 0"));
  EXPECT_TRUE(S().enroll_calls.size() == 1u);
}

TEST_F(OneImageSlideTest, FailedEnrolmentStillKeepsTheChosenImage) {
  quorv_SetImageSaveEn(1);
  S().enroll = -3;
  S().speed[{1, 2}] = 2;  // the recheck no longer sees the slide
  for (Engine engine : {quorv_SlideEnroll_V6, quorv_SlideEnroll_V7}) {
    quorv_DestroyEnrollImage();
    const std::vector<Frame> frames = Slide({Props{}, Props{}});
    fake_sensor::PushSlide(0, frames);
    uint8_t out = 0;
    EXPECT_EQ(engine(0, 0, &out), -2);
    EXPECT_EQ(EnrollImages(), (std::vector<Frame>{frames[1]}));
    EXPECT_EQ(RescanImages(), (std::vector<Frame>{frames[1]}));
    EXPECT_EQ(TplId(template_cur), 2);
  }
}

TEST_F(OneImageSlideTest, CaptureAndSizeErrors) {
  uint8_t out = 0;
  for (Engine engine : {quorv_SlideEnroll_V6, quorv_SlideEnroll_V7}) {
    fake_sensor::PushSlide(-3, Slide({Props{}}));
    EXPECT_EQ(engine(0, 0, &out), -5);
    EXPECT_EQ(gQuorvActionMode, 0u);
  }
  EXPECT_TRUE(Logged("quorv_SlideEnroll_V7...fail to get image, error, ret = -5"));
  // A configured size above the work buffers: nothing is read.
  quorv_SetFpSensorColsRows(96, 96);
  EXPECT_EQ(quorv_SlideEnroll_V6(0, 0, &out), -1);
  EXPECT_EQ(quorv_SlideEnroll_V7(0, 0, &out), -1);
  EXPECT_TRUE(Logged("quorv_SlideEnroll_V7...input error, ret = -1"));
  EXPECT_EQ(fake_sensor::Recorded().slide_enroll, 2);
}

// --- Per-image information of V6 -----------------------------------------------

TEST_F(OneImageSlideTest, V6DescribesEveryCapturedImage) {
  quorv_SetSlideEnrollGetImageCnt(6);
  ASSERT_EQ(quorv_InitFpAlg(), 0);
  S().required[{2, 4}] = 0;
  const std::vector<Frame> frames =
      Slide({With(50, 0, 40, 11), With(61, 95, 41, 91), With(10, 92, 42, 93), With(63, 96, 43, 94)});
  fake_sensor::PushSlide(0, frames);
  uint8_t out = 0;
  ASSERT_EQ(quorv_SlideEnroll_V6(0, 0, &out), 0);
  const std::vector<uint8_t> info = InfoBytes();
  ASSERT_EQ(info[0], 4);  // the blank image 1 too
  const uint8_t want[4][4] = {{0, 50, 40, 11}, {95, 61, 41, 91}, {92, 10, 42, 93}, {96, 63, 43, 94}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    for (int b = 0; b < 4; ++b) EXPECT_EQ(info[1 + 8 * i + b], want[i][b]);
    EXPECT_NE(info[1 + 8 * i + 4] | info[1 + 8 * i + 5] | info[1 + 8 * i + 6], 0);  // pixel sum
  }
  // Trailer: two images compared, answer 0; picks: the last two with area
  // above 90 and quality above 30.
  EXPECT_EQ(info[33], 2);
  EXPECT_EQ(info[34], 0);
  EXPECT_EQ(info[35], 2);
  EXPECT_EQ(info[36], 4);
  // The rescan list holds the raw images until the enrolment step.
  EXPECT_TRUE(RescanImages().empty());

  // V7 only clears the buffer.
  fake_sensor::PushSlide(0, frames);
  ASSERT_EQ(quorv_SlideEnroll_V7(0, 1, &out), 0);
  for (uint8_t v : InfoBytes()) EXPECT_EQ(v, 0);
}

// --- Images larger than 25,600 bytes -------------------------------------------

TEST_F(OneImageSlideTest, LargeImagesAreHandledWhole) {
  quorv_SetFpSensorColsRows(192, 160);  // 30,720 bytes
  ASSERT_EQ(quorv_InitFpAlg(), 0);
  S().tips = -2;
  const std::vector<Frame> frames = Slide({Props{}, Props{}});
  ASSERT_EQ(frames[1].size(), 30720u);
  uint8_t out = 0;
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V6(0, 0, &out), -6);
  EXPECT_EQ(Frame(g_fp_image_buf->g_forceEnrollBuf, g_fp_image_buf->g_forceEnrollBuf + 30720),
            frames[1]);
  S().tips = 0;
  fake_sensor::PushSlide(0, frames);
  EXPECT_EQ(quorv_SlideEnroll_V7(0, 0, &out), 0);
  ASSERT_NE(g_enrollImage, nullptr);
  EXPECT_EQ(Frame(g_enrollImage->imageRescanBuf, g_enrollImage->imageRescanBuf + 30720), frames[1]);
  EXPECT_EQ(TplId(template_cur), 2);
}

// --- The real algorithm core ---------------------------------------------------

class OneImageSlideRealTest : public LiveTest {};

// Slow slides over different parts of a finger are enrolled one image per
// slide; a press of the same finger is then identified as it.
TEST_F(OneImageSlideRealTest, EnrolledSwipesIdentifyAPressOfTheSameFinger) {
  for (uint8_t mode : {6, 7}) {
    SCOPED_TRACE(testing::Message() << "V" << static_cast<int>(mode));
    quorv_SetSlideEnrollEn(mode);
    const int finger = 50 + mode;
    int enrolled = 0;
    for (int slide = 0; slide < 4; ++slide) {
      // Each slide starts further down the finger and moves two rows a frame.
      std::vector<Frame> frames;
      for (int i = 0; i < 4; ++i) frames.push_back(FingerFrame(finger, 1, 14 * slide - 21 + 2 * i));
      fake_sensor::PushSlide(0, frames);
      uint8_t out = 0;
      if (quorv_Enroll(mode, static_cast<uint8_t>(enrolled), &out) == 0) ++enrolled;
    }
    ASSERT_GE(enrolled, 2);  // the first slide and one far enough from it
    EXPECT_EQ(ZqGetSubtemplatesNum(mode), enrolled);
    quorv_SetTplValid(mode);
    const Frame press = FingerFrame(finger, 5, 3);
    uint8_t fid = 0, update = 0;
    EXPECT_EQ(quorv_IdentifyByImage(press.data(), 2, &fid, &update), 0);
    EXPECT_EQ(fid, mode);
  }
}

}  // namespace
}  // namespace sensorlib_test
