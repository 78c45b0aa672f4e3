// Sample extraction: a sensor image becomes a sample sub-template.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fingers/nonfinger.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/enhance/ZqGetFlag.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_finger_image.h"

namespace {

// The driver's keypoint settings for a sensor size (curvature, contrast).
void ConfigureSensor(int cols, int rows, int curv, float contr) {
  ZqSetSensorColRow(static_cast<int16_t>(cols), static_cast<int16_t>(rows));
  ZqAlgInfoSet(static_cast<uint32_t>(curv), contr);
  ZqMaxFeatNumSet(160);
}

class GetTemplateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
    ZqGetTemplateResetForTest();
    ASSERT_EQ(ZqInitAlgorithm(), 0);
  }
  void TearDown() override {
    ZqReleaseTemp(sample_);
    sample_ = nullptr;
    ZqDestroyIntiAlg();
    ZqGetTemplateResetForTest();
    ZqAlgModeResetForTest();
    ZqAlgSettingsResetForTest();
  }
  // A sample set up for the configured size (make it after configuring).
  ST_SubTemplate *Sample() {
    if (sample_ == nullptr) sample_ = ZqCreateTemp();
    return sample_;
  }
  ST_SubTemplate *sample_ = nullptr;
};

int CountBits(const uint8_t *p, size_t bytes) {
  int n = 0;
  for (size_t i = 0; i < bytes; ++i) n += __builtin_popcount(p[i]);
  return n;
}

TEST_F(GetTemplateTest, FingerAtEverySensorSizeObeysTheSampleInvariants) {
  struct Case {
    int cols, rows, curv;
    float contr;
  };
  const Case cases[] = {{96, 96, 10, 0.08f},  {80, 64, 15, 0.02f},  {64, 80, 15, 0.02f},
                        {64, 64, 15, 0.02f},  {80, 128, 15, 0.02f}, {128, 80, 15, 0.02f},
                        {88, 88, 15, 0.02f},  {56, 56, 20, 0.02f},  {52, 52, 20, 0.01f},
                        {50, 50, 20, 0.01f},  {80, 120, 15, 0.02f}, {128, 128, 10, 0.01f}};
  const uint8_t quality[4] = {80, 95, 70, 0};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.cols << "x" << c.rows);
    ConfigureSensor(c.cols, c.rows, c.curv, c.contr);
    ST_SubTemplate *s = ZqCreateTemp();
    ASSERT_NE(s, nullptr);
    s->coinFlg[3] = 0x5a;
    s->simpleHmatrix[7].tx = 4;
    s->rootIndex = 9;
    std::vector<uint8_t> img = zq_test::FingerImage(c.rows, c.cols, 2);
    const int32_t blocks = ZqGetMallocCnts();
    ASSERT_EQ(ZqGetTemplate(img.data(), s, quality), 0);
    EXPECT_EQ(ZqGetMallocCnts(), blocks + 1);  // the feature block only
    const int n0 = s->nFeatureNum[0], n1 = s->nFeatureNum[1];
    EXPECT_EQ(s->classNum, 2);
    EXPECT_GT(n0 + n1, 0);
    EXPECT_LE(n0 + n1, 160);
    EXPECT_EQ(s->featBufSize, 44u * static_cast<uint32_t>(n0 + n1));
    EXPECT_EQ(maxNum, n0);
    EXPECT_EQ(minNum, n1);
    EXPECT_EQ(s->templateQuality, 80);
    EXPECT_EQ(s->templateArea, 95);
    EXPECT_EQ(s->templateCond, 70);
    EXPECT_EQ(s->templateExtra, 0);
    EXPECT_EQ(gQuorvTempupdateInfor->imageArea, 95);
    const int pixels = c.cols * c.rows;
    EXPECT_EQ(s->binWordCnt & 0xFFFF, (pixels + 63) / 64);
    // Valid bits: most of a full press, none past the last pixel.
    const int valid = CountBits(s->templatePixValid, s->maskBufSize);
    EXPECT_GT(valid, pixels / 2);
    EXPECT_LE(valid, pixels);
    EXPECT_EQ(s->templatePixValid[pixels / 8] >> (pixels % 8), 0);
    for (int i = 0; i < n0 + n1; ++i) {
      const ST_Feature &f = s->pTemplateFeature[i];
      EXPECT_TRUE(f.x >= 0 && f.x < c.cols && f.y >= 0 && f.y < c.rows) << i;
    }
    EXPECT_EQ(s->coinFlg[3], 0);
    EXPECT_EQ(s->simpleHmatrix[7].tx, 0);
    EXPECT_EQ(s->rootIndex, 9);  // relations other than coincidence are kept
    // A second extraction into the same sample releases the first block.
    std::vector<uint8_t> again = zq_test::FingerImage(c.rows, c.cols, 2);
    ASSERT_EQ(ZqGetTemplate(again.data(), s, quality), 0);
    EXPECT_EQ(ZqGetMallocCnts(), blocks + 1);
    ZqReleaseTemp(s);
  }
}

// The valid mask by the three rules of modes 0 to 3, from the flag masks of
// the image as extraction receives it.
std::vector<uint8_t> ExpectedValidBits(const std::vector<uint8_t> &img, int rows, int cols) {
  const size_t n = img.size();
  std::vector<uint8_t> a(n), b(n), bits(n / 8 + 1, 0);
  EXPECT_EQ(ZqGetFlag(img.data(), rows, cols, a.data(), b.data()), 0);
  size_t valid = 0, both = 0, bOnly = 0;
  for (size_t i = 0; i < n; ++i) {
    valid += img[i] < 251;
    both += a[i] == 1 && b[i] == 1;
    bOnly += b[i] == 1;
  }
  const size_t w = n * 9 / 10, d = n / 5;
  const size_t diff = valid > both ? valid - both : both - valid;
  for (size_t i = 0; i < n; ++i) {
    bool set;
    if ((valid < w && both < w) || diff > d)
      set = img[i] < 251;
    else if (bOnly < w)
      set = a[i] == 1 && b[i] == 1;
    else
      set = a[i] == 1;
    if (set) bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | (1u << (i % 8)));
  }
  return bits;
}

TEST_F(GetTemplateTest, ValidMaskFollowsTheFlagRulesInModeTwo) {
  ZqSetAlgoMode(2);
  const uint8_t quality[4] = {60, 90, 50, 0};
  std::vector<uint8_t> full = zq_test::FingerImage(96, 96, 9);
  // Three inputs, one for each rule: a full press (flag A alone), a
  // saturated band (the plain threshold), a light press (flags A and B).
  std::vector<uint8_t> banded = full;
  for (size_t i = 20 * 96; i < 50 * 96; ++i) banded.at(i) = 255;
  std::vector<uint8_t> bright = full;
  for (uint8_t &v : bright) v = static_cast<uint8_t>(std::min(250, v + 60));
  for (const std::vector<uint8_t> *src : {&full, &banded, &bright}) {
    std::vector<uint8_t> img = *src;
    const std::vector<uint8_t> want = ExpectedValidBits(img, 96, 96);
    ASSERT_EQ(ZqGetTemplate(img.data(), Sample(), quality), 0);
    EXPECT_EQ(std::vector<uint8_t>(Sample()->templatePixValid,
                                   Sample()->templatePixValid + Sample()->maskBufSize),
              want);
  }
}

TEST_F(GetTemplateTest, SaturatedImageHasNoValidPixelAndNoKeypoints) {
  ZqSetAlgoMode(1);
  ST_SubTemplate *s = Sample();
  std::memset(s->templatePixValid, 0xff, s->maskBufSize);
  std::vector<uint8_t> img(96 * 96, 251);
  const int32_t blocks = ZqGetMallocCnts();
  EXPECT_EQ(ZqGetTemplate(img.data(), s, nullptr), -3);
  EXPECT_EQ(ZqGetMallocCnts(), blocks);
  EXPECT_EQ(s->pTemplateFeature, nullptr);
  // The detector was handed only background.
  EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](uint8_t v) { return v == 128; }));
  std::vector<uint8_t> white(96 * 96, 255);
  EXPECT_EQ(ZqGetTemplate(white.data(), s, nullptr), -3);
}

TEST_F(GetTemplateTest, NullArgumentsAndFreshQuality) {
  ST_SubTemplate *s = Sample();
  std::vector<uint8_t> img = zq_test::FingerImage(96, 96, 1);
  EXPECT_EQ(ZqGetTemplate(nullptr, s, nullptr), -1);
  EXPECT_EQ(ZqGetTemplate(img.data(), nullptr, nullptr), -1);
  // Without the caller's bytes the sample carries the measurement.
  uint8_t q[4] = {};
  ASSERT_EQ(ZqGetImageQualityInter(img.data(), nullptr, q), 0);
  ASSERT_EQ(ZqGetTemplate(img.data(), s, nullptr), 0);
  EXPECT_EQ(s->templateQuality, q[0]);
  EXPECT_EQ(s->templateArea, q[1]);
  EXPECT_EQ(s->templateCond, q[2]);
}

// The rating can exceed 100 (the condition scale reaches 255), while every
// blob reader refuses a record whose quality or condition is above 100: the
// sample stores such a rating as 100 and its record reads back.
TEST_F(GetTemplateTest, RatingsAboveAHundredAreStoredAsAHundred) {
  struct Case {
    uint8_t given[4];
    uint8_t quality, cond;
  };
  const Case cases[] = {
      {{101, 90, 255, 7}, 100, 100},
      {{255, 90, 101, 7}, 100, 100},
      {{100, 90, 100, 7}, 100, 100},
      {{60, 90, 50, 7}, 60, 50},
  };
  std::vector<uint8_t> img = zq_test::FingerImage(96, 96, 1);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::vector<int>(c.given, c.given + 4)));
    ST_SubTemplate *s = Sample();
    std::vector<uint8_t> frame = img;
    ASSERT_EQ(ZqGetTemplate(frame.data(), s, c.given), 0);
    EXPECT_EQ(s->templateQuality, c.quality);
    EXPECT_EQ(s->templateArea, c.given[1]);
    EXPECT_EQ(s->templateCond, c.cond);
    EXPECT_EQ(s->templateExtra, c.given[3]);
    std::vector<uint8_t> rec(ZqGetSubTplDataSize(s));
    uint32_t off = 0;
    ASSERT_EQ(ZqQuorvTemplateToData(s, &off, rec.data()), 0);
    ST_SubTemplate *back = ZqCreateTemp();
    EXPECT_EQ(ZqDataToQuorvTemplate(rec.data(), static_cast<uint16_t>(rec.size()), back), 0);
    ZqReleaseTemp(back);
  }
}

TEST_F(GetTemplateTest, OtherModesExtractInTheSensorGrid) {
  const uint8_t quality[4] = {60, 90, 50, 1};
  for (uint8_t mode : {0, 2, 3, 4, 5}) {
    SCOPED_TRACE(static_cast<int>(mode));
    ZqSetAlgoMode(mode);
    ST_SubTemplate *s = Sample();
    std::vector<uint8_t> img = zq_test::FingerImage(96, 96, 3);
    const int32_t blocks = ZqGetMallocCnts() - (s->pTemplateFeature != nullptr ? 1 : 0);
    ASSERT_EQ(ZqGetTemplate(img.data(), s, quality), 0);
    EXPECT_EQ(ZqGetMallocCnts(), blocks + 1);
    const int n = s->nFeatureNum[0] + s->nFeatureNum[1];
    EXPECT_GT(n, 0);
    // Modes 4 and 5 detect on a 144x144 enlargement and report in the
    // sensor grid.
    for (int i = 0; i < n; ++i) {
      const ST_Feature &f = s->pTemplateFeature[i];
      EXPECT_TRUE(f.x >= 0 && f.x < 96 && f.y >= 0 && f.y < 96) << i;
    }
    EXPECT_EQ(ZqJudgeIsNeedToReIdentify(), mode >= 4 ? 1 : 0);
  }
}

TEST_F(GetTemplateTest, ImproveFrrFlagSkipsNormalisationOnlyInModeFour) {
  const uint8_t quality[4] = {60, 90, 50, 1};
  auto extract = [&](uint8_t mode, uint8_t flag) {
    ZqSetAlgoMode(mode);
    ZqSetImproveFRRFlag(flag);
    std::vector<uint8_t> img = zq_test::FingerImage(96, 96, 4);
    EXPECT_EQ(ZqGetTemplate(img.data(), Sample(), quality), 0);
    return img;  // the image as the detector saw it
  };
  EXPECT_NE(extract(4, 0), extract(4, 1));
  EXPECT_EQ(extract(2, 0), extract(2, 1));
}

TEST_F(GetTemplateTest, SlideEnrolmentCapsAndRestoresDetectorSettings) {
  ST_SubTemplate *s = Sample();
  ZqKpNumSet(120);
  ZqObtainKeyPointInValidRegion(1);
  ZqSetBadPixInValidRegion(1);
  std::vector<uint8_t> img = zq_test::FingerImage(96, 96, 5);
  ASSERT_GE(ZqGetTemplateForEnroll(img.data(), s), 0);
  EXPECT_LE(s->nFeatureNum[0] + s->nFeatureNum[1], 50);
  EXPECT_GT(s->nFeatureNum[0] + s->nFeatureNum[1], 0);
  EXPECT_EQ(s->binWordCnt & 0xFFFF, 96 * 96 / 64);
  EXPECT_EQ(ZqGetKpNum(), 120);
  EXPECT_EQ(ZqGetKpValidRegionSwitch(), 1);
  EXPECT_EQ(ZqGetBadPixInValidRegion(), 1);

  // Mode 5 runs no detector: -1, and the settings are still restored.
  ZqSetAlgoMode(5);
  std::vector<uint8_t> img5 = zq_test::FingerImage(96, 96, 5);
  EXPECT_EQ(ZqGetTemplateForEnroll(img5.data(), s), -1);
  EXPECT_EQ(s->pTemplateFeature, nullptr);
  EXPECT_EQ(ZqGetKpNum(), 120);
  EXPECT_EQ(ZqGetKpValidRegionSwitch(), 1);
  EXPECT_EQ(ZqGetBadPixInValidRegion(), 1);
  EXPECT_EQ(ZqGetTemplateForEnroll(nullptr, s), -1);
}

TEST_F(GetTemplateTest, NonFingerFramesAreRefusedByTheImageGates) {
  for (fingers::NonFingerKind kind : {fingers::NonFingerKind::kEmpty,
                                      fingers::NonFingerKind::kFlatObject,
                                      fingers::NonFingerKind::kWhite}) {
    SCOPED_TRACE(fingers::NonFingerKindName(kind));
    fingers::NonFingerParams p;
    p.kind = kind;
    std::vector<uint8_t> img = fingers::RenderNonFinger(p).gray;
    uint8_t q[4] = {};
    ZqGetImageQuality(img.data(), q);
    const int32_t detect = ZqIdentifyNonFingerDetect(img.data());
    // Either the no-finger check or the quality gate turns the frame away.
    // Both the no-finger check and the area gate turn the frame away.
    EXPECT_EQ(detect, -5);
    EXPECT_LT(q[1], 40);
  }
  std::vector<uint8_t> finger = zq_test::FingerImage(96, 96, 6);
  uint8_t q[4] = {};
  ZqGetImageQuality(finger.data(), q);
  EXPECT_EQ(ZqIdentifyNonFingerDetect(finger.data()), 0);
  EXPECT_GT(q[1], 40);
}

}  // namespace

namespace {

// A lattice of small bright dots on a dark ground: keypoints of one kind.
std::vector<uint8_t> DotLattice(int rows, int cols, int step) {
  std::vector<uint8_t> img(rows * cols, 60);
  for (int y = step / 2; y < rows; y += step)
    for (int x = step / 2; x < cols; x += step) {
      img[y * cols + x] = 200;
      if (x + 1 < cols) img[y * cols + x + 1] = 170;
      if (y + 1 < rows) img[(y + 1) * cols + x] = 170;
    }
  return img;
}

TEST_F(GetTemplateTest, KeypointGroupAboveAByteIsRefused) {
  // A cap above 255 lets one group outgrow its byte count: the sample
  // would silently lose keypoints, so the extraction is refused.
  ConfigureSensor(128, 128, 29, 0.002f);
  ZqSpaFilterEn(0);
  const uint8_t quality[4] = {60, 100, 50, 0};
  std::vector<uint8_t> lattice = DotLattice(128, 128, 8);
  for (size_t i = 0; i < lattice.size(); ++i)
    lattice[i] = static_cast<uint8_t>(lattice[i] + (i * 7919 % 13));
  ST_SubTemplate *s = Sample();
  ZqMaxFeatNumSet(300);
  std::vector<uint8_t> img = lattice;
  EXPECT_EQ(ZqGetTemplate(img.data(), s, quality), ZQ_ERR_FEATURE_COUNT);
  EXPECT_GT(std::max(maxNum, minNum), 255);
  EXPECT_EQ(s->pTemplateFeature, nullptr);
  EXPECT_EQ(s->featBufSize, 0u);
  ZqMaxFeatNumSet(160);
  img = lattice;
  ASSERT_EQ(ZqGetTemplate(img.data(), s, quality), 0);
  EXPECT_EQ(s->nFeatureNum[0] + s->nFeatureNum[1], 160);
  EXPECT_EQ(s->featBufSize, 160u * 44u);
}

}  // namespace
