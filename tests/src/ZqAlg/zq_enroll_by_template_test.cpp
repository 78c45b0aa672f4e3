// Enrolment: the argument checks and what they leave in the finger, and
// crops of one synthetic master enrolled end to end (coincidence codes,
// added areas, root groups against the crops' true geometry).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/FpSensorLib/quorv_action_mode.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqOverlap.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "zq_alg_state.h"

namespace {

const int kSide = 96;

struct SampleDeleter {
  void operator()(ST_SubTemplate *t) const { ZqReleaseTemp(t); }
};
using Sample = std::unique_ptr<ST_SubTemplate, SampleDeleter>;

// One press of a master with the sample extracted from it.
struct Crop {
  fingers::Impression imp;
  Sample sample;
};

// The driver's configuration for a 96 x 96 sensor; the store set up.
class EnrollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zq_test::ResetAlgorithmState();
    ZqSetSensorColRow(kSide, kSide);
    ZqSetAlgFarLevel(14);
    ZqSetUpdateTemplateFarLevel(16);
    ZqSetForeignBodyTest(1);
    ZqSetAlgMaxTplCnt(96);
    ZqSetFpEnrollMaxTplCnt(48);
    ASSERT_EQ(ZqInitAlgorithm(), 0);
    gQuorvActionMode = QUORV_ACTION_ENROLL;
  }
  void TearDown() override {
    ZqDestroyIntiAlg();
    zq_test::ResetAlgorithmState();
  }

  static ST_QuorvEnrollTemplate &Finger(int f) { return *gEnrolledTemplate[f]; }

  // A press of master m with its window centre at the pattern centre +
  // (dx, dy), turned by rotation.
  static Crop Press(const fingers::MasterFinger &m, int press, double dx, double dy,
                    double rotation = 0.0) {
    fingers::ImpressionParams ip;
    ip.seed = fingers::PressSeed(m, press);
    ip.width = ip.height = kSide;
    const fingers::Point c = m.PatternCenter();
    ip.center = fingers::Point{c.x + dx, c.y + dy};
    ip.rotation = rotation;
    ip.distortion = 0.2;
    ip.contact.radius = 1.6;  // full contact
    Crop crop{fingers::Render(m, ip), Sample(ZqCreateTemp())};
    EXPECT_NE(crop.sample, nullptr);
    std::vector<uint8_t> img = crop.imp.frame.gray;
    const uint8_t quality[4] = {80, 95, 70, 0};
    EXPECT_EQ(ZqGetTemplate(img.data(), crop.sample.get(), quality), 0);
    return crop;
  }
  static fingers::MasterFinger Master(int finger) {
    return fingers::MakeMaster(fingers::PopulationFinger(40, finger));
  }
};

TEST_F(EnrollTest, FirstSampleStartsTheFingerAfresh) {
  const fingers::MasterFinger m = Master(0);
  Crop a = Press(m, 0, 0, 0);
  // What an earlier use of the sample record may have left in it.
  a.sample->rootIndex = 7;
  a.sample->rootHmatrix = ST_FullHMatrix{1, 0, 5, 0, 1, 5, 0, 0, 1, 0};
  std::memset(a.sample->coinFlg, 0xAA, sizeof a.sample->coinFlg);
  a.sample->simpleHmatrix[3].tx = 9;
  ST_QuorvEnrollTemplate &f = Finger(2);
  f.currentSubtemplatesNum = 5;
  f.validFlg = 1;
  f.coverageArea = 250;
  f.enrollResult = 0x1234;
  uint8_t out = 0;
  ASSERT_EQ(ZqEnrollByTemplate(a.sample.get(), 2, 0, &out), 0);
  EXPECT_EQ(out, 0x34);
  EXPECT_EQ(f.currentSubtemplatesNum, 1);
  EXPECT_EQ(f.validFlg, 0);
  const ST_SubTemplate &s = f.subtemplates[0];
  EXPECT_EQ(s.rootIndex, 0);
  const ST_FullHMatrix zero{};
  EXPECT_EQ(std::memcmp(&s.rootHmatrix, &zero, sizeof zero), 0);
  for (int i = 0; i < ZQ_COIN_FLG_BYTES; ++i) EXPECT_EQ(s.coinFlg[i], 0) << i;
  EXPECT_EQ(s.simpleHmatrix[3].tx, 0);
  // The whole valid area is new: its share of the sensor, truncated.
  const uint32_t valid = ZqGetTemplateValidPixelNum(&s);
  EXPECT_GT(valid, 0u);
  EXPECT_EQ(s.extendArea, valid * 100 / (kSide * kSide));
  EXPECT_EQ(f.coverageArea, s.extendArea);  // the earlier coverage is gone
  // The sample's keypoints went into the slot.
  EXPECT_EQ(s.featBufSize, a.sample->featBufSize);
  EXPECT_EQ(std::memcmp(s.pTemplateFeature, a.sample->pTemplateFeature, s.featBufSize), 0);
}

TEST_F(EnrollTest, ChecksRefuseAndLeaveTheFingerAsItWas) {
  const fingers::MasterFinger m = Master(1);
  Crop a = Press(m, 0, 0, 0);
  ZqSetFpEnrollMaxTplCnt(16);
  ST_QuorvEnrollTemplate &f = Finger(0);
  struct Case {
    const char *what;
    bool nullSample;
    int16_t finger, index;
    uint16_t countBefore;
    int expected;
    uint16_t countAfter;
  } cases[] = {
      {"null sample at index 0 still resets", true, 0, 0, 4, -1, 0},
      {"null sample", true, 0, 4, 4, -1, 4},
      {"finger above 9", false, 10, 4, 4, -1, 4},
      {"negative finger", false, -1, 4, 4, -1, 4},
      {"negative index", false, 0, -1, 4, -1, 4},
      {"most negative index", false, 0, INT16_MIN, 4, -1, 4},
      {"index above 95", false, 0, 96, 4, -3, 4},
      {"index above the enrol maximum", false, 0, 16, 16, -4, 16},
      {"finger full", false, 0, 15, 16, -5, 16},
      {"gap after the count", false, 0, 6, 4, -1, 4},
      {"slot already held", false, 0, 3, 4, -1, 4},
      {"last slot", false, 0, 15, 15, 0, 16},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ZqClearErollTemplate(0);
    f.currentSubtemplatesNum = c.countBefore;
    f.coverageArea = 40;
    uint8_t out = 0x5A;
    EXPECT_EQ(ZqEnrollByTemplate(c.nullSample ? nullptr : a.sample.get(), c.finger, c.index, &out),
              c.expected);
    EXPECT_EQ(f.currentSubtemplatesNum, c.countAfter);
    if (c.expected != 0) {
      EXPECT_EQ(out, 0x5A);  // written only on success
    }
    if (c.index == 0) {
      EXPECT_EQ(f.coverageArea, 0);
    }
  }
}

TEST_F(EnrollTest, OverlappingCropsOfOneMasterRelateToEachOther) {
  const fingers::MasterFinger m = Master(2);
  std::vector<Crop> crops;
  crops.push_back(Press(m, 0, 0, 0));
  crops.push_back(Press(m, 1, 20, 0));
  crops.push_back(Press(m, 2, 0, 20));
  ST_QuorvEnrollTemplate &f = Finger(3);
  for (int k = 0; k < 3; ++k) {
    uint8_t out = 0xFF;
    ASSERT_EQ(ZqEnrollByTemplate(crops[k].sample.get(), 3, static_cast<int16_t>(k), &out), 0) << k;
    EXPECT_EQ(out, 0);
  }
  EXPECT_EQ(f.currentSubtemplatesNum, 3);
  for (int k = 1; k < 3; ++k) {
    for (int i = 0; i < k; ++i)
      EXPECT_GE(ZqGetCoinFlg(f.subtemplates[k].coinFlg, static_cast<uint8_t>(i)), 2) << k << "/" << i;
    // All three in one group under crop 0.
    EXPECT_EQ(f.subtemplates[k].rootIndex, 0) << k;
  }
}

}  // namespace
