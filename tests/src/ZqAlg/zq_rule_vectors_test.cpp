// The observer of the rule vectors: off by default; when set it sees the
// vectors of every rescue look-up whose gate holds, and the comparison's
// score and pair record stay as without it.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqRuleVectors.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqAlgMode.h"
#include "zq_alg_state.h"
#include "zq_synth_keypoints.h"

namespace {

void Keep(const ZqRuleVector *v, void *user) { static_cast<std::vector<ZqRuleVector> *>(user)->push_back(*v); }

class RuleVectorsTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    ZqSetRuleVectorObserverForTest(nullptr, nullptr);
    zq_test::ResetAlgorithmState();
  }
};

struct Outcome {
  int score;
  ST_MatchInfoTwo record;
};

Outcome Compare(const zq_test::SynthPair &pair) {
  ZqMatchInfoTwoResetForTest();
  ST_FullHMatrix H{};
  const int score = ZqVerifyTwoTemplate(&pair.sample, &pair.tpl, &H, 1, 0);
  return {score, gMatchInfoTwo};
}

// Near misses on sensor type 9 in identification, over pairs of several
// sizes: with the observer the scores and pair records are those without
// it, and each vector is one of a rescue look-up of this comparison.
TEST_F(RuleVectorsTest, RescueVectorsSeenWithoutChangingTheComparison) {
  ZqSetAlgFarLevel(28);  // t = 20
  ZqSensorTypeSet(9);
  ZqSetClassifierOn(1);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  EXPECT_EQ(ZqRuleVectorObserved(), 0);
  std::map<int, int> kinds;
  int raisedWithTable7Gate = 0;
  for (int seed = 1; seed <= 12; ++seed) {
    for (int count : {8, 12, 16}) {
      zq_test::SynthPairParams p;
      p.seed = static_cast<uint64_t>(seed);
      p.trueCount = count;
      p.images = true;
      auto pair = zq_test::MakeSynthPair(p);
      SCOPED_TRACE(::testing::Message() << "seed " << seed << " count " << count);
      const Outcome plain = Compare(*pair);
      std::vector<ZqRuleVector> seen;
      ZqSetRuleVectorObserverForTest(Keep, &seen);
      ASSERT_EQ(ZqRuleVectorObserved(), 1);
      const Outcome observed = Compare(*pair);
      ZqSetRuleVectorObserverForTest(nullptr, nullptr);
      EXPECT_EQ(observed.score, plain.score);
      EXPECT_EQ(std::memcmp(&observed.record, &plain.record, sizeof plain.record), 0);
      // The record is byte-packed: its fields are read by value.
      const int32_t ransacNum = plain.record.ransacNum, overlapSize = plain.record.overlapSize;
      const int32_t overlapPct = plain.record.overlapPct;
      for (const ZqRuleVector &v : seen) {
        ++kinds[v.kind];
        EXPECT_EQ(v.threshold, 20);
        EXPECT_LT(v.score, 20);
        EXPECT_EQ(v.list, 0);
        EXPECT_EQ(v.vec[0], ransacNum) << "kind " << v.kind;
        if (v.kind == ZQ_RULE_TABLE7) {
          EXPECT_EQ(v.n, 7);
          EXPECT_EQ(v.vec[2], overlapPct);
        } else {
          EXPECT_TRUE(v.kind == ZQ_RULE_FR_LIST0 || v.kind == ZQ_RULE_FR_LIST1) << v.kind;
          EXPECT_EQ(v.n, 6);
          EXPECT_EQ(v.vec[1], overlapSize);  // compared pixels
        }
      }
      // A raise by a rule needs its vector.
      const int32_t code = plain.record.rescueCode;
      // Raised by a list with the agreement and overlap that table 7 asks: the
      // observer had its measurements taken, and the record compared equal above.
      const int32_t uniformPct = plain.record.uniformPct;
      if ((code == 21 || code == 22) && uniformPct > 65 && overlapPct > 30) ++raisedWithTable7Gate;
      if (code != 0) {
        const int kind = code == 21 ? ZQ_RULE_FR_LIST0 : code == 22 ? ZQ_RULE_FR_LIST1 : ZQ_RULE_TABLE7;
        bool found = false;
        for (const ZqRuleVector &v : seen) found = found || v.kind == kind;
        EXPECT_TRUE(found) << "rescue code " << code;
      }
    }
  }
  EXPECT_GT(kinds[ZQ_RULE_FR_LIST0], 0);
  EXPECT_GT(kinds[ZQ_RULE_FR_LIST1], 0);
  EXPECT_GT(raisedWithTable7Gate, 0);
}

// Eight keypoints at the same places on both sides, identical bit images,
// the sample's mask over the left half: a full-homography score of 8 that
// the confirmation rules keep, so the false-accept list of the chip is
// looked up.
struct Scene : zq_test::IdentityScene {
  Scene()
      : IdentityScene({{10, 10}, {20, 10}, {10, 20}, {20, 20}, {12, 13}, {17, 12}, {14, 18}, {16, 16}},
                      48) {}
};

// The false-accept list vector of the full-homography scorer, by chip and
// mode; none where no list applies or the classifier is off.
TEST_F(RuleVectorsTest, FalseAcceptListVectorByChipAndMode) {
  struct Case {
    uint16_t chip;
    uint8_t mode, classifierOn;
    int list;  // 0: nothing looked up
  };
  const Case cases[] = {{10, 4, 1, 1}, {14, 5, 1, 2}, {16, 5, 1, 3}, {14, 4, 1, 0}, {12, 5, 1, 0}, {14, 5, 0, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << "chip " << c.chip << " mode " << int(c.mode) << " classifier "
                                      << int(c.classifierOn));
    Reset();
    gQuorvActionMode = QUORV_ACTION_IDENTIFY;
    ZqSensorTypeSet(c.chip);
    ZqSetAlgoMode(c.mode);
    ZqSetClassifierOn(c.classifierOn);
    Scene scene;
    ST_FullHMatrix H{};
    const int plain = ZqVerifyTwoTemplate_v2(&scene.sample, &scene.tpl, &H, 1, 0);
    std::vector<ZqRuleVector> seen;
    ZqSetRuleVectorObserverForTest(Keep, &seen);
    EXPECT_EQ(ZqVerifyTwoTemplate_v2(&scene.sample, &scene.tpl, &H, 1, 0), plain);
    ZqSetRuleVectorObserverForTest(nullptr, nullptr);
    EXPECT_EQ(plain, 8);  // no list row holds a similarity of 100
    if (c.list == 0) {
      EXPECT_TRUE(seen.empty());
      continue;
    }
    ASSERT_EQ(seen.size(), 1u);
    const ZqRuleVector &v = seen[0];
    EXPECT_EQ(v.kind, ZQ_RULE_FA_LIST);
    EXPECT_EQ(v.list, c.list);
    EXPECT_EQ(v.n, 6);
    EXPECT_EQ(v.score, 8);
    EXPECT_EQ(v.threshold, 0);
    EXPECT_EQ(v.vec[0], 8);    // inliers
    EXPECT_EQ(v.vec[2], 100);  // similarity x 100
    EXPECT_EQ(v.vec[3], 50);   // overlap percent
  }
}

// Cleared, the observer hears nothing more.
TEST_F(RuleVectorsTest, ClearedObserverHearsNothing) {
  ZqSetAlgFarLevel(28);
  ZqSensorTypeSet(9);
  ZqSetClassifierOn(1);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  std::vector<ZqRuleVector> seen;
  ZqSetRuleVectorObserverForTest(Keep, &seen);
  ZqSetRuleVectorObserverForTest(nullptr, &seen);
  EXPECT_EQ(ZqRuleVectorObserved(), 0);
  for (int seed = 1; seed <= 4; ++seed) {
    zq_test::SynthPairParams p;
    p.seed = static_cast<uint64_t>(seed);
    p.trueCount = 12;
    p.images = true;
    Compare(*zq_test::MakeSynthPair(p));
  }
  EXPECT_TRUE(seen.empty());
  ZqRuleVectorNotify(nullptr);  // no observer, no vector: nothing happens
}

}  // namespace
