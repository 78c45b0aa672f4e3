// Slide samples (the reduced extraction) against full samples: the overlap
// of consecutive slide images must be measured as it is for presses.
#include <gtest/gtest.h>

#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqRequiredImage.h"
#include "zq_press_fixture.h"

namespace {

using zq_test::Crop;
using zq_test::SamplePtr;

class SlideExtractionTest : public zq_test::VerifyStoreTest {
 protected:
  void SetUp() override {
    VerifyStoreTest::SetUp();
    gQuorvActionMode = QUORV_ACTION_ENROLL;
  }
  // The slide sample of a press's image.
  static SamplePtr SlideSample(const Crop &c) {
    SamplePtr s(ZqCreateTemp());
    std::vector<uint8_t> img = c.imp.frame.gray;
    EXPECT_GE(ZqGetTemplateForEnroll(img.data(), s.get()), 0);
    return s;
  }
};

TEST_F(SlideExtractionTest, SlideSamplesCarryTheContactMaskOfTheirImage) {
  const fingers::MasterFinger m = zq_test::PressMaster(5);
  Crop c = zq_test::Press(m, 0, 0, 0);
  SamplePtr s(ZqCreateTemp());
  // A stale mask from an earlier use of the sample must not survive.
  std::fill(s->templatePixValid, s->templatePixValid + s->maskBufSize, 0xA5);
  std::vector<uint8_t> img = c.imp.frame.gray;
  for (size_t i = 0; i < 96 * 10; ++i) img[i] = 255;  // no contact in the top rows
  const std::vector<uint8_t> captured = img;
  ASSERT_GE(ZqGetTemplateForEnroll(img.data(), s.get()), 0);
  for (size_t i = 0; i < 96 * 96; ++i) {
    const bool bit = (s->templatePixValid[i / 8] >> (i % 8)) & 1;
    ASSERT_EQ(bit, captured[i] < 251) << "pixel " << i;
  }
  EXPECT_EQ(s->templatePixValid[96 * 96 / 8], 0);
}

TEST_F(SlideExtractionTest, ShiftedSlideImagesOverlapAsPressesDo) {
  const fingers::MasterFinger m = zq_test::PressMaster(7);
  const Crop ref = zq_test::Press(m, 0, 0, 0);
  const SamplePtr refSlide = SlideSample(ref);
  for (int shift : {0, 4, 10, 16, 24}) {
    SCOPED_TRACE(shift);
    const Crop smp = zq_test::Press(m, 1 + shift, shift, 0);
    const SamplePtr smpSlide = SlideSample(smp);
    const int full = ZqGetImageOverlap(ref.sample.get(), smp.sample.get());
    const int slide = ZqGetImageOverlap(refSlide.get(), smpSlide.get());
    EXPECT_GT(full, 0);
    EXPECT_NEAR(slide, full, 2);
    // The verdict on a threshold between the two shifts' overlaps.
    for (uint8_t thr : {50, 80, 95})
      EXPECT_EQ(ZqIsGetRequiredImage(refSlide.get(), smpSlide.get(), thr),
                ZqIsGetRequiredImage(ref.sample.get(), smp.sample.get(), thr))
          << "thr " << static_cast<int>(thr) << " overlap " << full << "/" << slide;
  }
}

}  // namespace
