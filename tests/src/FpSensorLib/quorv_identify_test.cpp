// Identification of a supplied image on a scripted algorithm core: the
// gates, the retries and their action modes, the exit classification and
// the refusal mapping, the abnormal-image run, the outputs of a match, and
// the factory variant's differences.
#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_identify.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/FpSensorLib/sensorlib_script.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"

namespace {

using sensorlib_test::HostLog;
using sensorlib_test::Script;
using sensorlib_test::ScriptedLibTest;

constexpr size_t kPixels = 80 * 64;

class IdentifyTest : public ScriptedLibTest {
 protected:
  void SetUp() override {
    ScriptedLibTest::SetUp();
    image_.assign(kPixels, 120);
    image_[7] = 33;
  }
  void Rating(uint8_t quality, uint8_t area, uint8_t cond) {
    Script().rating[0] = quality;
    Script().rating[1] = area;
    Script().rating[2] = cond;
  }
  int Identify() { return quorv_IdentifyByImage(image_.data(), 2, &fid_, &upd_); }

  std::vector<uint8_t> image_;
  uint8_t fid_ = 0;
  uint8_t upd_ = 9;
};

// Good values (60/80/60 against 30/30/30): the kept refusal reason of the
// first match decides the code when the later attempts fail plainly.
TEST_F(IdentifyTest, RefusalReasonOfTheFirstMatchIsMapped) {
  struct Case {
    int first;
    uint8_t quality;
    int expected;
  } cases[] = {
      {-3, 60, -6}, {-4, 60, -7}, {-5, 60, -9}, {-6, 60, -11}, {-7, 60, -12},
      {-1, 60, -2},  // a plain no-match everywhere
      {-3, 10, -6},  // the mapping overrides the low-quality classification
      {-1, 10, -3},  // without a reason the classification stays
  };
  for (const Case &c : cases) {
    Script() = sensorlib_test::CoreScript{};
    Script().verify = {c.first};
    Rating(c.quality, 80, 60);
    EXPECT_EQ(Identify(), c.expected) << "first match " << c.first << " quality " << +c.quality;
    EXPECT_EQ(fid_, QUORV_NO_FINGER);
    EXPECT_EQ(upd_, 0);
    EXPECT_EQ(savedVerifyRet, c.expected);
    EXPECT_EQ(gVerifyRet, c.expected) << "handed to the match report";
    EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
    EXPECT_EQ(Script().extra_calls, 1) << "the extra-template attempt ran";
  }
}

// A later reason replaces the kept one; a later plain failure does not.
TEST_F(IdentifyTest, LaterRefusalReplacesTheKeptReason) {
  quorv_SetImproveFeatureEn(1);
  Script().judge = 1;
  Script().verify = {-3, -7};
  EXPECT_EQ(Identify(), -12);
  Script() = sensorlib_test::CoreScript{};
  Script().judge = 1;
  Script().verify = {-5, -1};
  EXPECT_EQ(Identify(), -9);
}

// Re-identify runs with the FRR flag at mode 4 and the verify-quickly
// option; the first match ran at the caller's mode with option 1.
TEST_F(IdentifyTest, RetriesRunInModeFourAfterTheCallersMode) {
  quorv_SetImproveFeatureEn(1);
  quorv_VerifyQuicklyEn(0);
  Script().judge = 1;
  Script().verify = {-1, 0};
  EXPECT_EQ(quorv_IdentifyByImage(image_.data(), 5, &fid_, &upd_), 0);
  EXPECT_EQ(Script().verify_modes, (std::vector<uint32_t>{5, 4}));
  EXPECT_EQ(Script().verify_options, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(Script().template_had_record, (std::vector<bool>{true, true}));
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);

  Script() = sensorlib_test::CoreScript{};
  Script().judge = 0;  // algorithm mode not 4/5: no re-identify
  EXPECT_EQ(Identify(), -2);
  EXPECT_EQ(Script().verify_modes.size(), 1u);
}

TEST_F(IdentifyTest, MatchReportsTheFingerAndKeepsTheImage) {
  Script().verify = {0};
  Script().fid = 0x0107;  // only the low byte is reported
  Script().upd = 1;
  ASSERT_EQ(Identify(), 0);
  EXPECT_EQ(fid_, 7);
  EXPECT_EQ(upd_, 1);
  EXPECT_EQ(savedVerifyRet, 0);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
  EXPECT_EQ(std::vector<uint8_t>(g_fp_image_buf->g_fpImageBufReserve1,
                                 g_fp_image_buf->g_fpImageBufReserve1 + kPixels),
            image_);
  EXPECT_EQ(std::vector<uint8_t>(g_fp_image_buf->g_fpImageBufReserve2,
                                 g_fp_image_buf->g_fpImageBufReserve2 + kPixels),
            image_);
  EXPECT_EQ(g_quorvLastImageInfo.quality, 60);
  EXPECT_EQ(Script().extra_calls, 0);

  quorv_SetAdjustMatchEn(1);
  const uint8_t successes = gAutoMatchLevel.continueSucessMatchNum;
  quorv_UpdateAutoLevel();
  EXPECT_EQ(gAutoMatchLevel.continueSucessMatchNum, successes + 1) << "0 was handed on";
  EXPECT_EQ(savedVerifyRet, -2);
}

TEST_F(IdentifyTest, ExtraTemplateAttemptCanMatchAndIsSwitchable) {
  Script().extra = 0;
  Script().fid = 4;
  EXPECT_EQ(Identify(), 0);
  EXPECT_EQ(fid_, 4);
  quorv_SetTemplateExtraEn(0);
  Script() = sensorlib_test::CoreScript{};
  Script().extra = 0;
  EXPECT_EQ(Identify(), -2);
  EXPECT_EQ(Script().extra_calls, 0);
}

// Force-identify zeroes the first gates; the exit classification still
// judges the image against the configured thresholds.
TEST_F(IdentifyTest, FirstGatesAndTheExitClassification) {
  struct Case {
    uint8_t force;
    uint8_t quality, area, cond;
    int expected;
    size_t matches;
  } cases[] = {
      {1, 10, 80, 60, -3, 1}, {1, 10, 10, 60, -4, 1}, {1, 60, 10, 60, -4, 1},
      {1, 60, 80, 29, -3, 1},  // cond below its threshold
      {1, 60, 80, 30, -2, 1},  // equal passes
      {0, 10, 80, 60, -3, 0}, {0, 10, 10, 60, -4, 0}, {0, 60, 10, 60, -4, 0},
      {0, 30, 30, 60, -2, 1},  // equal to both gates: on to the match
      {0, 29, 80, 60, -3, 0},
  };
  for (const Case &c : cases) {
    Script() = sensorlib_test::CoreScript{};
    quorv_SetForceIdentifyEnable(c.force);
    Rating(c.quality, c.area, c.cond);
    EXPECT_EQ(Identify(), c.expected)
        << "force " << +c.force << " q/a/c " << +c.quality << "/" << +c.area << "/" << +c.cond;
    EXPECT_EQ(Script().verify_modes.size(), c.matches);
  }
}

TEST_F(IdentifyTest, RatingFailuresAndTheHostHandler) {
  struct Case {
    int ret;
    uint8_t quality, area;
    int expected;
  } cases[] = {{-2, 60, 80, -1}, {-1, 60, 80, -5}, {-3, 60, 80, -5},
               // -5 for a zero value, which the exit classification then
               // judges like any other rating
               {0, 0, 80, -3}, {0, 60, 0, -4}, {0, 0, 0, -4}};
  for (const Case &c : cases) {
    Script() = sensorlib_test::CoreScript{};
    Script().quality_ret = c.ret;
    Rating(c.quality, c.area, 60);
    EXPECT_EQ(Identify(), c.expected) << c.ret << " " << +c.quality << " " << +c.area;
    EXPECT_TRUE(Script().verify_modes.empty());
  }

  // A handler leaving a byte unset is ignored, with a warning naming -1.
  static uint8_t handler_quality;
  handler_quality = 90;
  quorv_GetImgQualityByFwHandle([](uint8_t *q, uint8_t *a, uint8_t *, uint8_t *contrast) {
    *q = handler_quality;
    *a = 90;
    *contrast = 1;  // cond left at 255
    return 0;
  });
  Script() = sensorlib_test::CoreScript{};
  HostLog().clear();
  Identify();
  EXPECT_EQ(Script().quality_calls, 1);
  EXPECT_EQ(g_quorvLastImageInfo.quality, 60) << "the core's rating";
  EXPECT_TRUE(Logged("quorv_IdentifyByImage...quorv_GetImgQualityByFw() = -1, area = 90, "
                     "quality = 90, cond = 255, contrast = 1"))
      << ::testing::PrintToString(HostLog());

  // A complete rating from the handler is taken.
  quorv_GetImgQualityByFwHandle([](uint8_t *q, uint8_t *a, uint8_t *c, uint8_t *contrast) {
    *q = 77;
    *a = 66;
    *c = 55;
    *contrast = 0;
    return 0;
  });
  Script() = sensorlib_test::CoreScript{};
  Identify();
  EXPECT_EQ(Script().quality_calls, 0);
  EXPECT_EQ(g_quorvLastImageInfo.quality, 77);
  EXPECT_EQ(g_quorvLastImageInfo.area, 66);
  EXPECT_EQ(g_quorvLastImageInfo.cond, 55);
}

TEST_F(IdentifyTest, BadPixelRepairAndExtractionFailures) {
  quorv_SetBadPixBitRef(2);
  for (const auto &[repair, expected] : {std::pair{-2, -1}, {-1, -2}, {-3, -2}}) {
    Script() = sensorlib_test::CoreScript{};
    Script().repair = repair;
    EXPECT_EQ(Identify(), expected) << "repair " << repair;
    EXPECT_EQ(Script().quality_calls, 0);
    EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
  }
  quorv_SetBadPixBitRef(0);
  for (const auto &[extract, expected] : {std::pair{-2, -1}, {-3, -2}, {-1, -2}}) {
    Script() = sensorlib_test::CoreScript{};
    Script().template_ret = extract;
    EXPECT_EQ(Identify(), expected) << "extraction " << extract;
    EXPECT_TRUE(Script().verify_modes.empty());
  }
}

// With filter enhance 1 and the wet threshold at 50, cond 60 skips the
// enhancement; cond 50 gets the root filter and an extraction that
// measures the enhanced image itself.
TEST_F(IdentifyTest, EnhancementRetryRunsOnlyAtOrBelowTheWetCond) {
  quorv_FilterEnhanceEn(1);
  quorv_SetImageWetCondThr(50);
  Rating(60, 80, 60);
  EXPECT_EQ(Identify(), -2);
  EXPECT_EQ(Script().root_calls, 0);
  EXPECT_EQ(Script().verify_modes.size(), 1u);

  Script() = sensorlib_test::CoreScript{};
  Rating(60, 80, 50);
  Script().verify = {-1, 0};
  EXPECT_EQ(Identify(), 0);
  EXPECT_EQ(Script().root_calls, 1);
  EXPECT_EQ(Script().template_had_record, (std::vector<bool>{true, false}));
  EXPECT_EQ(Script().verify_modes, (std::vector<uint32_t>{2, 4}));

  // A work-allocation failure of the enhancement match is a resource
  // failure, and it drops the first match's reason.
  Script() = sensorlib_test::CoreScript{};
  Rating(60, 80, 50);
  Script().verify = {-3, -2};
  EXPECT_EQ(Identify(), -1);
  EXPECT_EQ(Script().extra_calls, 0);
}

TEST_F(IdentifyTest, ContrastEnhanceNormalisesTheImageBeforeTheRetry) {
  quorv_SetImageContrastEnhance(1, 0, 0);
  Rating(60, 80, 40);
  image_.assign(kPixels, 100);  // flat: normalises to all 0
  Script().verify = {-1, 0};
  ASSERT_EQ(Identify(), 0);
  EXPECT_EQ(Script().root_calls, 0) << "filter enhance is off";
  EXPECT_EQ(std::vector<uint8_t>(g_fp_image_buf->g_fpImageBufReserve1,
                                 g_fp_image_buf->g_fpImageBufReserve1 + kPixels),
            std::vector<uint8_t>(kPixels, 0))
      << "the kept image is the enhanced one";
}

// While a hold is on, a frame extracted before is not extracted again: the
// first extraction, the re-identification's and the enhancement's are each
// keyed by the image, the quality record, the re-identify flag and the
// action mode. Without a hold, or after it, every call extracts.
// The first extraction runs in the caller's mode, the later two in the retry
// mode, the re-identification's alone with the flag set; a first pass in the
// retry mode (a later rescan) differs from the re-identification by the flag
// only.
TEST_F(IdentifyTest, HeldExtractionsAreReusedForTheSameFrameOnly) {
  quorv_SetImproveFeatureEn(1);
  quorv_FilterEnhanceEn(1);
  quorv_SetImageWetCondThr(60);
  Script().judge = 1;
  std::vector<uint8_t> other = image_;
  other[100] = 7;
  struct Step {
    const char *what;
    int hold;  // -1: leave as it is
    const std::vector<uint8_t> *image;
    uint8_t cond;
    int mode;            // action mode of the identification, 2 unless named
    size_t extractions;  // new GetTemplate calls of this identification
  } steps[] = {
      {"no hold", 0, &image_, 60, 2, 3},
      {"no hold, again", -1, &image_, 60, 2, 3},
      {"first in a hold", 1, &image_, 60, 2, 3},
      {"same frame", -1, &image_, 60, 2, 0},
      {"another frame", -1, &other, 60, 2, 3},
      {"the first frame again", -1, &image_, 60, 2, 0},
      // The rating record differs: the first two extractions are new, the
      // enhancement's (no record) is held.
      {"another rating", -1, &image_, 59, 2, 2},
      // Another mode: only the first extraction is new.
      {"another action mode", -1, &image_, 60, QUORV_ACTION_IDENTIFY_RESCAN, 1},
      // Same frame, record and mode as the re-identification: the flag
      // alone keeps the two apart.
      {"a first pass in the retry mode", 1, &image_, 60, QUORV_ACTION_IDENTIFY_RETRY, 3},
      {"a new hold drops the kept ones", 1, &image_, 60, 2, 3},
      {"hold off", 0, &image_, 60, 2, 3},
  };
  for (const Step &st : steps) {
    if (st.hold >= 0) quorv_HoldIdentifySamples(st.hold);
    Rating(60, 80, st.cond);
    const size_t before = Script().template_had_record.size();
    const size_t matches = Script().verify_modes.size();
    EXPECT_EQ(quorv_IdentifyByImage(st.image->data(), st.mode, &fid_, &upd_), -2) << st.what;
    EXPECT_EQ(Script().template_had_record.size() - before, st.extractions) << st.what;
    EXPECT_EQ(Script().verify_modes.size() - matches, 3u) << st.what << ": every match runs";
  }

  // A failed extraction is not kept.
  quorv_HoldIdentifySamples(1);
  Script().template_ret = -1;
  EXPECT_EQ(Identify(), -2);
  Script().template_ret = 0;
  const size_t before = Script().template_had_record.size();
  EXPECT_EQ(Identify(), -2);
  EXPECT_EQ(Script().template_had_record.size() - before, 3u);
  quorv_HoldIdentifySamples(0);
}

TEST_F(IdentifyTest, FifthAbnormalImageInARowRaisesTheMatchLevel) {
  quorv_SetAdjustMatchEn(1);
  quorv_SetAbnormalImgDetectMode(1);
  gAutoMatchLevel.recallEn = 1;
  Script().abnormal = 0x100;  // only the low byte counts: normal
  Identify();
  EXPECT_EQ(abnormalImageCount, 0u);
  Script().abnormal = 1;
  for (int i = 1; i <= 4; ++i) Identify();
  EXPECT_EQ(abnormalImageCount, 4u);
  EXPECT_EQ(gAutoMatchLevel.recallEn, 1) << "four in a row change nothing";
  Identify();
  EXPECT_EQ(gAutoMatchLevel.recallEn, 0) << "the fifth raises the level";
  Script().abnormal = 0;
  Identify();
  EXPECT_EQ(abnormalImageCount, 0u) << "a normal image starts the run again";
  quorv_SetAbnormalImgDetectMode(0);
  Script().abnormal = 1;
  Identify();
  EXPECT_EQ(abnormalImageCount, 0u) << "mode 0 leaves the count alone";
}

TEST_F(IdentifyTest, AbnormalMatchAsksForNoUpdateOnlyInModeTwo) {
  Script().abnormal = 1;
  Script().upd = 1;
  for (const auto &[mode, expected_upd] : {std::pair<uint8_t, uint8_t>{2, 0}, {1, 1}}) {
    quorv_SetAbnormalImgDetectMode(mode);
    Script().verify = {0};
    Script().verify_modes.clear();
    ASSERT_EQ(Identify(), 0);
    EXPECT_EQ(upd_, expected_upd) << "mode " << +mode;
  }
  // A match in the extra-template attempt keeps the matcher's flag.
  quorv_SetAbnormalImgDetectMode(2);
  Script().verify = {};
  Script().verify_modes.clear();
  Script().extra = 0;
  ASSERT_EQ(Identify(), 0);
  EXPECT_EQ(upd_, 1);
}

TEST_F(IdentifyTest, NullArgumentsReturnAtOnce) {
  quorv_SetVerifyRet(5);
  gQuorvActionMode = 7;
  template_cur = ZqCreateTemp();
  quorv_SaveRescanImage(image_.data());
  EXPECT_EQ(quorv_IdentifyByImage(image_.data(), 2, nullptr, &upd_), -1);
  EXPECT_EQ(quorv_IdentifyByImage(nullptr, 2, &fid_, &upd_), -1);
  EXPECT_EQ(gQuorvActionMode, 7u);
  EXPECT_EQ(savedVerifyRet, 5);
  EXPECT_EQ(template_cur, nullptr) << "released before the check";
  EXPECT_EQ(g_imageRescan, nullptr);
  gQuorvActionMode = QUORV_ACTION_IDLE;
}

// The sensor size changed after the buffers were made: refused instead of
// copying past them.
TEST_F(IdentifyTest, SizeLargerThanTheWorkBuffersIsRefused) {
  quorv_SetFpSensorColsRows(96, 96);
  std::vector<uint8_t> big(96 * 96, 120);
  EXPECT_EQ(quorv_IdentifyByImage(big.data(), 2, &fid_, &upd_), -1);
  EXPECT_TRUE(Script().verify_modes.empty());
}

TEST_F(IdentifyTest, FactoryVariantDiffers) {
  // No refusal mapping, no extra attempt, no classification.
  Script().verify = {-3};
  Rating(60, 80, 10);
  EXPECT_EQ(quorv_Identify_frr_far(image_.data()), -2);
  EXPECT_EQ(Script().extra_calls, 0);
  EXPECT_EQ(Script().verify_modes, (std::vector<uint32_t>{2}));

  // Always the configured gates; the extraction's own code.
  Script() = sensorlib_test::CoreScript{};
  Rating(10, 80, 60);
  EXPECT_EQ(quorv_Identify_frr_far(image_.data()), -3);
  Script() = sensorlib_test::CoreScript{};
  Script().template_ret = -3;
  EXPECT_EQ(quorv_Identify_frr_far(image_.data()), -3);
  Script().quality_ret = -2;
  EXPECT_EQ(quorv_Identify_frr_far(image_.data()), -5);

  // A NULL image goes through the exit.
  gQuorvActionMode = 9;
  EXPECT_EQ(quorv_Identify_frr_far(nullptr), -1);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
  EXPECT_EQ(savedVerifyRet, -1);

  // template_cur survives it.
  template_cur = ZqCreateTemp();
  Script() = sensorlib_test::CoreScript{};
  Script().verify = {0};
  EXPECT_EQ(quorv_Identify_frr_far(image_.data()), 0);
  EXPECT_NE(template_cur, nullptr);
}

TEST_F(IdentifyTest, AccessorsReadAndClear) {
  detectRate = 0.25f;
  EXPECT_EQ(quorv_GetDetectRate(), 0.25f);
  EXPECT_EQ(quorv_GetDetectRate(), 0.0f);
  imageOverlap = 200;
  int overlap = 0;
  EXPECT_EQ(quorv_GetImageOverlap(&overlap), 200);
  EXPECT_EQ(overlap, 200);
  quorv_ClearImageOverlap();
  EXPECT_EQ(quorv_GetImageOverlap(&overlap), 0);
  uint8_t a = 7, b = 7, c = 7;
  EXPECT_EQ(quorv_GetSampleVerifyScore(&a, nullptr, &c), -1);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(c, 7);
  quorv_GetSampleVerifyScore(&a, &b, &c);
  EXPECT_EQ(a, 0);
}

}  // namespace
