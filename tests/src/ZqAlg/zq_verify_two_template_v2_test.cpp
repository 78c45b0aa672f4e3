// Full-homography scoring on constructed sub-templates: keypoints at the
// same places on both sides (identity transform), identical bit images and
// a sample mask that controls the overlap.
#include <gtest/gtest.h>

#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqAlgMode.h"
#include "zq_synth_keypoints.h"
#include "zq_alg_state.h"

namespace {

using Scene = zq_test::IdentityScene;

// n points spread over the left half of the sensor (hull area well above
// 100).
std::vector<std::pair<float, float>> Spread(int n) {
  std::vector<std::pair<float, float>> v;
  for (int i = 0; i < n; ++i) v.emplace_back(6.0f + 5.3f * (i % 7), 8.0f + 9.7f * i);
  return v;
}

class VerifyV2Test : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    zq_test::ResetAlgorithmState();
  }
};

TEST_F(VerifyV2Test, FiveInliersScoreFiveWithoutImageWork) {
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  Scene s(Spread(5), 48);
  ST_FullHMatrix H{};
  EXPECT_EQ(ZqVerifyTwoTemplate_v2(&s.sample, &s.tpl, &H, 1, 0), 5);
  EXPECT_EQ(static_cast<int>(gQuorvMachInfo.ransacScore), 5);
  EXPECT_EQ(static_cast<float>(gQuorvMachInfo.ration), 0.0f);
  EXPECT_EQ(static_cast<int>(gQuorvMachInfo.overlapsize), 0);
  EXPECT_NEAR(H.a00, 1.0f, 1e-4f);
  EXPECT_NEAR(H.a02, 0.0f, 1e-3f);
  EXPECT_EQ(H.a22, 1.0f);
}

// Score 8 at ovPct 50: the hull of the template inliers decides (area 99
// cuts to 1, 100 keeps 8); 12 inliers are past the confirmation rules.
TEST_F(VerifyV2Test, ConfirmationByHullAreaAndScoreRange) {
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  const std::vector<std::pair<float, float>> hull99 = {
      {10, 10}, {19, 10}, {10, 21}, {19, 21}, {12, 13}, {17, 12}, {14, 18}, {16, 16}};
  const std::vector<std::pair<float, float>> hull100 = {
      {10, 10}, {20, 10}, {10, 20}, {20, 20}, {12, 13}, {17, 12}, {14, 18}, {16, 16}};
  struct Case {
    const char *what;
    std::vector<std::pair<float, float>> xy;
    int expected;
  };
  const Case cases[] = {
      {"8 inliers, hull 99", hull99, 1},
      {"8 inliers, hull 100", hull100, 8},
      {"12 inliers", Spread(12), 12},
  };
  for (const Case &c : cases) {
    Scene s(c.xy, 48);
    ST_FullHMatrix H{};
    EXPECT_EQ(ZqVerifyTwoTemplate_v2(&s.sample, &s.tpl, &H, 1, 0), c.expected) << c.what;
    EXPECT_EQ(static_cast<int>(gQuorvMachInfo.ransacScore), static_cast<int>(c.xy.size())) << c.what;
    EXPECT_EQ(static_cast<int>(gQuorvMachInfo.overlapsize), 96 * 48) << c.what;  // ovPct 50
    EXPECT_FLOAT_EQ(static_cast<float>(gQuorvMachInfo.ration), 1.0f) << c.what;
  }
}

// A large overlap with few inliers is cut too (ovPct above 84, score <= 8).
TEST_F(VerifyV2Test, FullOverlapWithFewInliersIsCut) {
  Scene s(Spread(8), 96);
  ST_FullHMatrix H{};
  EXPECT_EQ(ZqVerifyTwoTemplate_v2(&s.sample, &s.tpl, &H, 1, 0), 1);
}

TEST_F(VerifyV2Test, RigidScorerHandsOverAndKeepsThePairRecord) {
  gSensorInfor.fullHomography = 1;
  Scene s(Spread(12), 48);
  gMatchInfoTwo.ransacNum = 33;
  gRebak = 1;
  ST_FullHMatrix H{};
  H.dtheta = 5.0f;
  EXPECT_EQ(ZqVerifyTwoTemplate(&s.sample, &s.tpl, &H, 1, 0), 12);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.ransacNum), 33);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.rebak), 1);
  EXPECT_NEAR(H.dtheta, 0.0f, 1e-3f);
}

TEST_F(VerifyV2Test, BadArgumentsAreRefused) {
  Scene s(Spread(8), 48);
  ST_FullHMatrix H{};
  EXPECT_EQ(ZqVerifyTwoTemplate_v2(nullptr, &s.tpl, &H, 1, 0), -1);
  EXPECT_EQ(ZqVerifyTwoTemplate_v2(&s.sample, nullptr, &H, 1, 0), -1);
  EXPECT_EQ(ZqVerifyTwoTemplate_v2(&s.sample, &s.tpl, nullptr, 1, 0), -1);
  s.tpl.binBufSize = 16;  // shorter than the sensor's image
  EXPECT_EQ(ZqVerifyTwoTemplate_v2(&s.sample, &s.tpl, &H, 1, 0), -1);
}

}  // namespace
