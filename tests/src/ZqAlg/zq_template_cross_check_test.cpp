// Cross-check of a weak match against the rest of its group: the verdicts
// of constructed groups, the keypoint cap of the cut-down copies, the mask
// count and the placement agreement ratio.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateCrossCheck.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"
#include "zq_synth_keypoints.h"
#include "zq_alg_state.h"

namespace {

using zq_test::MakeSynthPair;
using zq_test::SynthPair;
using zq_test::SynthPairParams;

std::vector<std::string> gLines;

int CollectLog(const char *fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  gLines.emplace_back(buf);
  return 0;
}

int CountLines(const char *needle) {
  int n = 0;
  for (const std::string &l : gLines) n += l.find(needle) != std::string::npos;
  return n;
}

ST_FullHMatrix Rigid(float angle, float tx, float ty) {
  const float c = std::cos(angle), s = std::sin(angle);
  return ST_FullHMatrix{c, -s, tx, s, c, ty, 0.0f, 0.0f, 1.0f, angle};
}

class CrossCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    ZqSetSensorColRow(96, 96);
    ZqSetAlgFarLevel(14);
    ZqSetForeignBodyTest(1);
    gQuorvActionMode = QUORV_ACTION_IDENTIFY;
    finger_.reset(new ST_QuorvEnrollTemplate());
    order_.resize(96);
    for (int i = 0; i < 96; ++i) order_[i] = static_cast<uint8_t>(i);
    allocsBefore_ = ZqGetMallocCnts();
  }
  void TearDown() override {
    EXPECT_EQ(ZqGetMallocCnts(), allocsBefore_);  // copies and contours released
    Reset();
  }
  static void Reset() {
    zq_test::ResetAlgorithmState();
    g_debuginfo = 0;
    quorv_fp_log = nullptr;
    gLines.clear();
  }
  // Puts t into slot k of the finger, in group root with transform toRoot.
  void Place(int k, const ST_SubTemplate &t, int root, const ST_FullHMatrix &toRoot) {
    finger_->subtemplates[k] = t;
    finger_->subtemplates[k].rootIndex = static_cast<uint16_t>(root);
    finger_->subtemplates[k].rootHmatrix = toRoot;
    if (finger_->currentSubtemplatesNum <= k) finger_->currentSubtemplatesNum = static_cast<uint16_t>(k + 1);
  }
  int Run(const ST_SubTemplate &sample, const ST_CrossCheckMatch &cand, int16_t *reason) {
    return ZqTemplate2TemplateMatch(&sample, finger_.get(), order_.data(), 0, 96, 96, cand, 6, reason);
  }

  std::unique_ptr<ST_QuorvEnrollTemplate> finger_;
  std::vector<uint8_t> order_;
  int32_t allocsBefore_ = 0;
};

SynthPairParams Pair(uint64_t seed, int finger, int trueCount, float angle, float tx, float ty) {
  SynthPairParams p;
  p.seed = seed;
  p.finger = finger;
  p.trueCount = trueCount;
  p.angle = angle;
  p.tx = tx;
  p.ty = ty;
  p.images = true;
  return p;
}

// The matched sub-template (slot 0, the root) lies wholly off the sample,
// so the other members are judged on their own comparison alone.
ST_CrossCheckMatch OffSampleCandidate(const ST_FullHMatrix &sampleToRoot) {
  ST_CrossCheckMatch cand{};
  cand.rootIndex = 0;
  cand.subIndex = 0;
  cand.matchScore = 7;
  cand.toRootHmatrix = sampleToRoot;
  cand.matchHmatrix = Rigid(0.0f, 200.0f, 0.0f);
  return cand;
}

TEST_F(CrossCheckTest, NullInputIsRefusedAndLeavesTheReason) {
  auto p = MakeSynthPair(Pair(1, 3, 40, 0.1f, 5, 5));
  ST_CrossCheckMatch cand{};
  int16_t reason = 10;
  EXPECT_EQ(ZqTemplate2TemplateMatch(nullptr, finger_.get(), order_.data(), 0, 96, 96, cand, 6, &reason), -1);
  EXPECT_EQ(ZqTemplate2TemplateMatch(&p->sample, nullptr, order_.data(), 0, 96, 96, cand, 6, &reason), -1);
  EXPECT_EQ(ZqTemplate2TemplateMatch(&p->sample, finger_.get(), nullptr, 0, 96, 96, cand, 6, &reason), -1);
  EXPECT_EQ(reason, 10);
}

// Only members of the matched one's group other than itself are compared:
// a strong genuine member of another group, or the matched slot itself,
// changes nothing.
TEST_F(CrossCheckTest, GroupWithOnlyTheMatchedMemberRaisesNoObjection) {
  auto p = MakeSynthPair(Pair(2, 3, 40, 0.1f, 6, -4));
  const ST_FullHMatrix id = Rigid(0, 0, 0);
  Place(0, p->tpl, 0, id);
  Place(1, p->tpl, 1, id);  // own group
  Place(2, p->tpl, 2, id);  // own group
  ST_CrossCheckMatch cand = OffSampleCandidate(Rigid(0.1f, 6, -4));
  int16_t reason = 10;
  EXPECT_EQ(Run(p->sample, cand, &reason), 0);
  EXPECT_EQ(reason, 10);
  // Entries of the order at or beyond the count are skipped too.
  finger_->currentSubtemplatesNum = 1;
  Place(1, p->tpl, 0, id);
  finger_->currentSubtemplatesNum = 1;
  EXPECT_EQ(Run(p->sample, cand, &reason), 0);
  EXPECT_EQ(reason, 10);
}

TEST_F(CrossCheckTest, GenuineMemberWithAStrongCutDownScoreConfirms) {
  // Fewer shared keypoints keep the cut-down score from the "very strong"
  // stop (more than 12), so the strong-score rung decides.
  int seen81 = 0;
  for (int trueCount : {9, 10, 11, 12}) {
    auto p = MakeSynthPair(Pair(30 + trueCount, 3, trueCount, 0.15f, 10, -8));
    const ST_FullHMatrix motion = Rigid(0.15f, 10, -8);
    // Slot 1 is the root's neighbour: root -> slot 1 is identity here, so
    // the group places the sample on slot 1 by the true motion.
    Place(0, p->tpl, 0, Rigid(0, 0, 0));
    Place(1, p->tpl, 0, Rigid(0, 0, 0));
    ST_CrossCheckMatch cand = OffSampleCandidate(motion);
    cand.subIndex = 0;
    ST_SubTemplate sample = p->sample;
    sample.templateQuality = 80;
    ST_FullHMatrix H{};
    const int s1 = ZqVerifyTwoTemplate(&sample, &p->tpl, &H, 1, 1);
    const int m1 = GetMachScore();
    int16_t reason = 10;
    const int r = Run(sample, cand, &reason);
    SCOPED_TRACE(::testing::Message() << "true " << trueCount << " s1 " << s1 << " m1 " << m1);
    if (s1 >= 6 && m1 <= 12) {
      EXPECT_EQ(r, 1);
      EXPECT_EQ(reason, 81);
      ++seen81;
    } else if (m1 > 12) {
      EXPECT_EQ(r, 1);
      EXPECT_EQ(reason, 11);
    }
  }
  EXPECT_GT(seen81, 0);
}

// Members of other fingers that share a long strip of the sample (wider
// than 15 pixels) each count as weak support.
TEST_F(CrossCheckTest, TwoWeakMembersGiveWeakSupport) {
  auto genuine = MakeSynthPair(Pair(3, 3, 40, 0.05f, 40, 2));
  auto other1 = MakeSynthPair(Pair(4, 7, 40, 0.05f, 40, 2));
  auto other2 = MakeSynthPair(Pair(5, 8, 40, 0.05f, 40, 2));
  Place(0, genuine->tpl, 0, Rigid(0, 0, 0));
  Place(1, other1->tpl, 0, Rigid(0, 0, 0));
  ST_SubTemplate sample = genuine->sample;
  sample.templateQuality = 80;
  ST_CrossCheckMatch cand = OffSampleCandidate(Rigid(0.05f, 40, 2));
  int16_t reason = 10;
  EXPECT_EQ(Run(sample, cand, &reason), 0);  // one weak member is no verdict
  EXPECT_EQ(reason, 10);
  Place(2, other2->tpl, 0, Rigid(0, 0, 0));
  EXPECT_EQ(Run(sample, cand, &reason), 2);
  EXPECT_EQ(reason, 12);
}

TEST_F(CrossCheckTest, CopyKeepsAtMost250KeypointsAndLogsEachExtraOne) {
  g_debuginfo = 2;
  g_loglevel = 0;
  quorv_fp_log = CollectLog;
  // 130 + 130 keypoints inside the frame, plus some outside the margins.
  std::vector<ST_Feature> feats;
  for (int g = 0; g < 2; ++g) {
    for (int i = 0; i < 130; ++i) {
      ST_Feature f{};
      f.x = static_cast<float>(i % 90);
      f.y = static_cast<float>(i / 2);
      f.descr[0] = static_cast<uint32_t>(g * 1000 + i);
      feats.push_back(f);
    }
  }
  ST_SubTemplate src = zq_test::SubTemplateOver(&feats, 130, 130);
  ST_SubTemplate *copy = ZqSafeAllocTemplateForCopy();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->featBufSize, 11000u);
  const ST_FullHMatrix id = Rigid(0, 0, 0);
  ASSERT_EQ(ZqInitCrossTemplate(&src, &id, 96, 96, copy), 0);
  EXPECT_EQ(CountLines("leak out of range"), 10);
  EXPECT_EQ(copy->nFeatureNum[0], 130);
  EXPECT_EQ(copy->nFeatureNum[1], 120);
  EXPECT_EQ(copy->pTemplateFeature[249].descr[0], 1119u);  // order kept
  EXPECT_EQ(copy->featBufSize, 11000u);                    // still its own buffer
  ZqReleaseTemp(copy);
}

TEST_F(CrossCheckTest, CopyKeepsKeypointsInsideTheWidenedFrame) {
  struct Case {
    float x, y;
    bool kept;
  } cases[] = {
      {-5.0f, 10.0f, true},  {-5.5f, 10.0f, false}, {101.0f, 10.0f, true}, {101.5f, 10.0f, false},
      {10.0f, -5.0f, true},  {10.0f, 100.9f, true}, {10.0f, 101.0f, false},
  };
  // Shifted by (-20, +30): source (x + 20, y - 30) lands on (x, y).
  const ST_FullHMatrix H = Rigid(0, -20, 30);
  std::vector<ST_Feature> feats;
  for (const Case &c : cases) {
    ST_Feature f{};
    f.x = c.x + 20.0f;
    f.y = c.y - 30.0f;
    feats.push_back(f);
  }
  ST_SubTemplate src = zq_test::SubTemplateOver(&feats, 3, static_cast<int>(feats.size()) - 3);
  ST_SubTemplate *copy = ZqSafeAllocTemplateForCopy();
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(ZqInitCrossTemplate(&src, &H, 96, 96, copy), 0);
  std::vector<bool> got(feats.size(), false);
  for (int i = 0; i < copy->nFeatureNum[0] + copy->nFeatureNum[1]; ++i)
    for (size_t j = 0; j < feats.size(); ++j)
      if (copy->pTemplateFeature[i].x == feats[j].x && copy->pTemplateFeature[i].y == feats[j].y) got[j] = true;
  for (size_t j = 0; j < feats.size(); ++j)
    EXPECT_EQ(got[j], cases[j].kept) << "case " << j;
  EXPECT_EQ(copy->nFeatureNum[0], 2);  // group boundaries follow what was kept
  // Bad input: no copy buffer, source counts beyond its buffer.
  EXPECT_EQ(ZqInitCrossTemplate(&src, &H, 96, 96, nullptr), -1);
  ST_SubTemplate lying = src;
  lying.nFeatureNum[1] = 200;
  EXPECT_EQ(ZqInitCrossTemplate(&lying, &H, 96, 96, copy), -1);
  ZqReleaseTemp(copy);
}

TEST_F(CrossCheckTest, MaskCountFollowsTheRigidPlacement) {
  std::vector<uint8_t> full(96 * 96 / 8 + 1, 0xFF);
  struct Case {
    ST_FullHMatrix H;
    int margin;
    int expected;
  } cases[] = {
      {Rigid(0, 0, 0), 3, 96 * 96},
      {Rigid(0, 20, 0), 3, (96 + 3 - 20 + 1) * 96},   // columns 0..79 land at 20..99
      {Rigid(0, -30, -10), 0, (96 - 30) * (96 - 10)},
      {Rigid(0, 200, 0), 3, 0},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqGetMaskValidCorrdingHmatrix(full.data(), 96, 96, &c.H, c.margin), c.expected)
        << c.H.a02 << "," << c.H.a12;
  // Larger sensors do not wrap the count into the error value.
  std::vector<uint8_t> big(200 * 200 / 8 + 1, 0xFF);
  const ST_FullHMatrix id = Rigid(0, 0, 0);
  EXPECT_EQ(ZqGetMaskValidCorrdingHmatrix(big.data(), 200, 200, &id, 3), 32767);
  EXPECT_EQ(ZqGetMaskValidCorrdingHmatrix(nullptr, 96, 96, &id, 3), -1);
  EXPECT_EQ(ZqGetMaskValidCorrdingHmatrix(full.data(), 96, 96, nullptr, 3), -1);
}

TEST_F(CrossCheckTest, OverlapRatioOfAgreeingAndDisagreeingPlacements) {
  for (const ST_FullHMatrix &H : {Rigid(0, 0, 0), Rigid(0.3f, 12, -7)})
    EXPECT_NEAR(ZqCalcOverlapRatio(&H, &H, 96, 80), 95.0f * 79.0f / (96.0f * 80.0f), 1e-4f);
  const ST_FullHMatrix A = Rigid(0, 10, 0), B = Rigid(0, 0, 0);
  EXPECT_NEAR(ZqCalcOverlapRatio(&A, &B, 96, 96), 85.0f * 95.0f / (96.0f * 96.0f), 1e-3f);
}

}  // namespace
