// Overlap of consecutive presses: the accumulated pixel count and the two
// verdicts on synthetic pairs.
#include <gtest/gtest.h>

#include <cmath>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqRequiredImage.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"
#include "zq_synth_keypoints.h"
#include "zq_alg_state.h"

namespace {

ST_FullHMatrix Rigid(float angle, float tx, float ty) {
  const float c = std::cos(angle), s = std::sin(angle);
  return ST_FullHMatrix{c, -s, tx, s, c, ty, 0.0f, 0.0f, 1.0f, angle};
}

TEST(RequiredImageCount, CountsPositionsMappedInsideWithoutRounding) {
  struct Case {
    ST_FullHMatrix H;
    uint32_t expected;
  } cases[] = {
      {Rigid(0, 0, 0), 96 * 96},
      {Rigid(0, 0.5f, 0), 96 * 96},    // 95.5 is still inside
      {Rigid(0, -0.5f, 0), 95 * 96},   // -0.5 is not: no rounding
      {Rigid(0, 48, -24), 48 * 72},
      {Rigid(0, 96, 0), 0},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqRequiredImageOverlapCount(&c.H, 96, 96), c.expected) << c.H.a02 << "," << c.H.a12;
}

class RequiredImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    ZqSetSensorColRow(96, 96);
    ZqSetAlgFarLevel(14);
    ZqSetForeignBodyTest(1);
    gQuorvActionMode = QUORV_ACTION_ENROLL;
  }
  void TearDown() override { Reset(); }
  static void Reset() {
    zq_test::ResetAlgorithmState();
  }
  static zq_test::SynthPairParams Params(uint64_t seed, int finger, float angle, float tx, float ty) {
    zq_test::SynthPairParams p;
    p.seed = seed;
    p.finger = finger;
    p.angle = angle;
    p.tx = tx;
    p.ty = ty;
    p.images = true;
    return p;
  }
};

TEST_F(RequiredImageTest, VerdictsFollowMatchAndOverlap) {
  auto same = zq_test::MakeSynthPair(Params(3, 3, 0.1f, 30, 8));
  auto other = zq_test::MakeSynthPair(Params(4, 9, 0.0f, 0, 0));
  // Same press twice: (nearly) full overlap; the fitted transform is not
  // exactly the identity, and the border is not rounded back in.
  const int self = ZqGetImageOverlap(&same->tpl, &same->tpl);
  EXPECT_GE(self, 98);
  EXPECT_EQ(ZqIsGetRequiredImage(&same->tpl, &same->tpl, static_cast<uint8_t>(self)), 0);
  // A press moved by (30, 8) and turned: the overlap of the true motion.
  const ST_FullHMatrix truth = Rigid(0.1f, 30, 8);
  const int expected = static_cast<int>(ZqRequiredImageOverlapCount(&truth, 96, 96) * 100 / (96 * 96));
  const int got = ZqGetImageOverlap(&same->tpl, &same->sample);
  EXPECT_NEAR(got, expected, 2);
  EXPECT_EQ(ZqIsGetRequiredImage(&same->tpl, &same->sample, static_cast<uint8_t>(got + 1)), 1);
  EXPECT_EQ(ZqIsGetRequiredImage(&same->tpl, &same->sample, static_cast<uint8_t>(got)), 0);
  // Another finger: no match.
  EXPECT_EQ(ZqIsGetRequiredImage(&same->tpl, &other->tpl, 10), 2);
  EXPECT_EQ(ZqGetImageOverlap(&same->tpl, &other->tpl), 0);
  EXPECT_EQ(ZqIsGetRequiredImage(nullptr, &same->tpl, 10), -1);
  EXPECT_EQ(ZqGetImageOverlap(&same->tpl, nullptr), -1);
}

}  // namespace
