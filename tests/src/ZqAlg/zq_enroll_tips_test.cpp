// Enrolment tips: the two decision rules, the overlap and angle measures,
// which enrolled sub-templates the dispatcher compares, and a repeated press.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqEnrollTips.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"
#include "zq_synth_keypoints.h"
#include "zq_alg_state.h"

namespace {

using zq_test::MakeSynthPair;
using zq_test::SynthPair;
using zq_test::SynthPairParams;

TEST(EnrollTipsRules, TwoThresholdRule) {
  struct Case {
    int D, ang, expected;
  } cases[] = {
      {40, 0, 0},   {0, 0, 0},    {41, 10, 0},  {41, 9, -2},
      {60, 12, 0},  {60, 5, -2},  {79, 0, -2},  {80, 30, -1}, {100, 0, -1},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqEnrollTipsTwoThresholdRule(c.D, c.ang, 40, 80, 10), c.expected)
        << "D " << c.D << " ang " << c.ang;
  // The driver's setting (40, 70, angle 0): only D >= 70 asks to move.
  EXPECT_EQ(ZqEnrollTipsTwoThresholdRule(69, 0, 40, 70, 0), 0);
  EXPECT_EQ(ZqEnrollTipsTwoThresholdRule(70, 0, 40, 70, 0), -1);
}

TEST(EnrollTipsRules, BinRuleAngleRisesWithOverlap) {
  // (40, 80, 10): bins (40, 60], (60, 70], (70, 80) need 3, 6 and 10 degrees.
  struct Case {
    int D, ang, expected;
  } cases[] = {
      {50, 2, -2}, {50, 3, 0},  {60, 2, -2}, {61, 5, -2}, {70, 6, 0},
      {71, 9, -2}, {79, 10, 0}, {80, 90, -1}, {40, 0, 0}, {10, 0, 0},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqEnrollTipsBinRule(c.D, c.ang, 40, 80, 10), c.expected)
        << "D " << c.D << " ang " << c.ang;
  // A high threshold above every bound makes six bins up to it.
  EXPECT_EQ(ZqEnrollTipsBinRule(95, 9, 40, 120, 12), -2);  // (90, 100] needs 10
  EXPECT_EQ(ZqEnrollTipsBinRule(95, 10, 40, 120, 12), 0);
  EXPECT_EQ(ZqEnrollTipsBinRule(45, 1, 40, 120, 12), -2);  // first bin needs 2
  // Low not below high: one bound at high, every overlap above it moves.
  EXPECT_EQ(ZqEnrollTipsBinRule(75, 90, 80, 70, 10), -1);
  EXPECT_EQ(ZqEnrollTipsBinRule(70, 0, 80, 70, 10), 0);
}

ST_FullHMatrix Rigid(float angle, float tx, float ty) {
  const float c = std::cos(angle), s = std::sin(angle);
  return ST_FullHMatrix{c, -s, tx, s, c, ty, 0.0f, 0.0f, 1.0f, angle};
}

TEST(EnrollTipsRules, AngleTakesHalvesUpward) {
  const float deg = 3.14159265f / 180.0f;
  struct Case {
    float rad;
    int expected;
  } cases[] = {{0.0f, 0}, {9.5f * deg, 10}, {-9.5f * deg, 10}, {9.4f * deg, 9}, {-0.4f * deg, 0}, {30.0f * deg, 30}};
  for (const Case &c : cases) {
    const ST_FullHMatrix H = Rigid(c.rad, 0, 0);
    EXPECT_EQ(ZqEnrollTipsDeltaAng(&H), c.expected) << c.rad;
  }
}

TEST(EnrollTipsRules, OverlapRoundsTowardZero) {
  struct Case {
    ST_FullHMatrix H;
    int expected;
  } cases[] = {
      {Rigid(0, 0, 0), 100},
      {Rigid(0, 48, 0), 50},
      {Rigid(0, -0.6f, 0), 100},            // column 0 lands on -0.1, converted to 0
      {Rigid(0, -1.6f, 0), 95 * 100 / 96},  // column 0 lands on -1.1: out
      {Rigid(0, 300, 0), 0},
      {Rigid(0, 1e30f, 0), 0},  // no pixel index, no undefined conversion
  };
  for (const Case &c : cases) EXPECT_EQ(ZqEnrollTipsOverlap(&c.H, 96, 96), c.expected) << c.H.a02;
  EXPECT_EQ(ZqEnrollTipsOverlap(nullptr, 96, 96), 0);
}

// A finger record of our own in slot 0 of the store: the genuine press sits
// in one slot, presses of other fingers fill the rest.
class EnrollTipsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    ZqSetSensorColRow(96, 96);
    ZqSetAlgFarLevel(14);
    ZqSetForeignBodyTest(1);
    gQuorvActionMode = QUORV_ACTION_ENROLL;
    saved_ = gEnrolledTemplate[0];
    finger_.reset(new ST_QuorvEnrollTemplate());
    gEnrolledTemplate[0] = finger_.get();
    press_ = MakeSynthPair(Params(7, 3));
    for (int i = 0; i < 6; ++i) others_.push_back(MakeSynthPair(Params(20 + i, 10 + i)));
  }
  void TearDown() override {
    gEnrolledTemplate[0] = saved_;
    Reset();
  }
  static void Reset() {
    zq_test::ResetAlgorithmState();
  }
  static SynthPairParams Params(uint64_t seed, int finger) {
    SynthPairParams p;
    p.seed = seed;
    p.finger = finger;
    p.images = true;
    return p;
  }
  // count sub-templates, the repeated press at slot `genuine`.
  void Fill(int count, int genuine) {
    for (int i = 0; i < count; ++i)
      finger_->subtemplates[i] = i == genuine ? press_->tpl : others_[i % others_.size()]->tpl;
    finger_->currentSubtemplatesNum = static_cast<uint16_t>(count);
  }
  int Tips(uint32_t mode, int16_t enrollIndex) {
    return ZqEnrollTipsTemplate(mode, &press_->tpl, 0, enrollIndex, 40, 80, 0, 10);
  }

  ST_QuorvEnrollTemplate *saved_ = nullptr;
  std::unique_ptr<ST_QuorvEnrollTemplate> finger_;
  std::unique_ptr<SynthPair> press_;
  std::vector<std::unique_ptr<SynthPair>> others_;
};

TEST_F(EnrollTipsTest, RepeatedPressMustMove) {
  Fill(1, 0);
  EXPECT_EQ(ZqEnrollTipsTemplate_v2(&press_->tpl, 0, 1, 40, 80, 0, 10), -1);
  EXPECT_EQ(ZqEnrollTipsTemplate_v3(&press_->tpl, 0, 1, 40, 80, 0, 10), -1);
  EXPECT_EQ(ZqEnrollTipsTemplate_v1(&press_->tpl, 0, 1, 0, 80, 0, 0), -1);
  EXPECT_EQ(ZqEnrollTipsTemplate_v1(&press_->tpl, 0, 1, 0, 80, 0, 10), -2);  // angle first
  EXPECT_EQ(ZqSlideEnrollTipsTemplate(1, 3, &press_->tpl, &press_->tpl, 40, 70, 0, 0), -1);
  EXPECT_EQ(ZqSlideEnrollTipsTemplate(0, 3, &press_->tpl, &press_->tpl, 40, 70, 0, 0), 0);  // n = 0
  // A press of another finger does not match: enrol whatever the overlap.
  EXPECT_EQ(ZqEnrollTipsTemplate_v2(&others_[0]->tpl, 0, 1, 40, 80, 0, 10), 0);
  EXPECT_EQ(ZqSlideEnrollTipsTemplate_v1(&press_->tpl, &others_[0]->tpl, 40, 80, 0, 10), 0);
}

TEST_F(EnrollTipsTest, DispatcherComparesTheRightSubTemplates) {
  const uint32_t kRule0 = 0, kRule1 = 1u << 16, kBins = 2u << 16;
  struct Case {
    uint32_t mode;
    int count, genuine;
    int16_t enrollIndex;
    int expected;
  } cases[] = {
      {kRule1 | 2, 5, 2, 5, -1},  // rule 1, n = 2, five enrolled: index 2
      {kRule1 | 2, 5, 4, 5, 0},   // ... not the newest
      {kRule1 | 2, 2, 1, 2, -1},  // not more than n yet: the newest
      {kRule0 | 1, 5, 4, 5, -1},  // window of one: the newest only
      {kRule0 | 1, 5, 3, 5, 0},
      {kRule0 | 2, 5, 3, 5, -1},  // window of two: indexes 3 and 4
      {kRule0 | 2, 5, 2, 5, 0},
      {kBins | 3, 5, 2, 5, -1},   // bins over indexes 2..4
      {kBins | 3, 5, 1, 5, 0},
      {kRule0 | 5, 1, 0, 0, 0},   // nothing enrolled yet: no comparison
      {kRule1 | 5, 1, 0, 0, 0},
  };
  for (const Case &c : cases) {
    Fill(c.count, c.genuine);
    EXPECT_EQ(Tips(c.mode, c.enrollIndex), c.expected)
        << "mode " << std::hex << c.mode << std::dec << " genuine " << c.genuine;
  }
}

TEST_F(EnrollTipsTest, BadArgumentsAreRefusedWithoutReadingBeyondTheFinger) {
  Fill(3, 0);
  EXPECT_EQ(ZqEnrollTipsTemplate(1, nullptr, 0, 3, 40, 80, 0, 10), -1);
  EXPECT_EQ(ZqEnrollTipsTemplate_v2(nullptr, 0, 1, 40, 80, 0, 10), -1);
  EXPECT_EQ(ZqSlideEnrollTipsTemplate_v2(nullptr, &press_->tpl, 40, 80, 0, 10), -1);
  // Slots past the count, unknown fingers and a store without the finger
  // have nothing to compare with.
  EXPECT_EQ(ZqEnrollTipsTemplate_v2(&press_->tpl, 0, 4, 40, 80, 0, 10), 0);
  EXPECT_EQ(ZqEnrollTipsTemplate_v2(&press_->tpl, 0, 200, 40, 80, 0, 10), 0);
  EXPECT_EQ(ZqEnrollTipsTemplate_v2(&press_->tpl, 12, 1, 40, 80, 0, 10), 0);
  EXPECT_EQ(ZqEnrollTipsTemplate_v2(&press_->tpl, -1, 1, 40, 80, 0, 10), 0);
  EXPECT_EQ(ZqEnrollTipsTemplate_v2(&press_->tpl, 1, 1, 40, 80, 0, 10), 0);  // no record
  EXPECT_EQ(ZqEnrollTipsTemplate(1, &press_->tpl, 0, -3, 40, 80, 0, 10), 0);
  EXPECT_EQ(ZqEnrollTipsTemplate(0, &press_->tpl, 0, 200, 40, 80, 0, 10), 0);  // n = 0: none
}

}  // namespace
