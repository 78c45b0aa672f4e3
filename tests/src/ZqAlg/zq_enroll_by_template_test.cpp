// Enrolment: the argument checks and what they leave in the finger, and
// crops of one synthetic master enrolled end to end (coincidence codes,
// added areas, root groups against the crops' true geometry).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqOverlap.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_press_fixture.h"
#include "zq_synth_keypoints.h"

namespace {

const int kSide = 96;

using zq_test::Crop;
using zq_test::Press;

// The identification fixture's store, in the enrol action mode.
class EnrollTest : public zq_test::VerifyStoreTest {
 protected:
  void SetUp() override {
    VerifyStoreTest::SetUp();
    gQuorvActionMode = QUORV_ACTION_ENROLL;
  }

  static ST_QuorvEnrollTemplate &Finger(int f) { return *gEnrolledTemplate[f]; }

  static fingers::MasterFinger Master(int finger) { return zq_test::PressMaster(finger, 40); }
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

TEST_F(EnrollTest, CodesFollowTheScoreThresholdsAndTheLowestIndexWinsATie) {
  zq_test::SynthPairParams p;
  p.trueCount = 13;
  p.tx = -10;  // an overlap of about 70 %
  p.ty = -20;
  p.images = true;
  auto pair = zq_test::MakeSynthPair(p);
  ST_FullHMatrix H{};
  const int s = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 0, 1);
  ASSERT_GT(s, 5);
  ASSERT_LT(s, 20);  // so that an update level has exactly this score
  const uint8_t atScore = static_cast<uint8_t>(s + 8);
  ASSERT_EQ(gUpdateScores[atScore], s);
  struct Case {
    uint8_t verifyLevel, updateLevel;
    int code;
  } cases[] = {
      {14, atScore, 2},                               // exactly the update score
      {14, static_cast<uint8_t>(atScore + 1), 1},     // one short: the verify level's lower score
      {0, static_cast<uint8_t>(atScore + 1), 0},      // verify level 0 never gives 1
      {static_cast<uint8_t>(atScore + 1), 28, 1},     // gUpdateScores[L - 1] == s
  };
  ST_QuorvEnrollTemplate &f = Finger(4);
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << "levels " << int(c.verifyLevel) << "/" << int(c.updateLevel));
    ZqSetAlgFarLevel(c.verifyLevel);
    ZqSetUpdateTemplateFarLevel(c.updateLevel);
    uint8_t out = 0;
    ASSERT_EQ(ZqEnrollByTemplate(&pair->tpl, 4, 0, &out), 0);
    ASSERT_EQ(ZqEnrollByTemplate(&pair->sample, 4, 1, &out), 0);
    EXPECT_EQ(ZqGetCoinFlg(f.subtemplates[1].coinFlg, 0), c.code);
    EXPECT_EQ(f.subtemplates[1].rootIndex, c.code == 2 ? 0 : 1);
  }
  // Two equal best scores: two roots holding the same press.
  ZqSetAlgFarLevel(14);
  ZqSetUpdateTemplateFarLevel(16);
  uint8_t out = 0;
  ASSERT_EQ(ZqEnrollByTemplate(&pair->tpl, 4, 0, &out), 0);
  ASSERT_EQ(ZqSubTemplateCopy(&f.subtemplates[1], &pair->tpl), 0);
  f.subtemplates[1].rootIndex = 1;
  f.currentSubtemplatesNum = 2;
  ASSERT_EQ(ZqEnrollByTemplate(&pair->sample, 4, 2, &out), 0);
  EXPECT_EQ(ZqGetCoinFlg(f.subtemplates[2].coinFlg, 0), 2);
  EXPECT_EQ(ZqGetCoinFlg(f.subtemplates[2].coinFlg, 1), 2);
  EXPECT_EQ(f.subtemplates[2].rootIndex, 0);
}

// Keeps the first `valid` pixels of t's mask (row-major) and clears the rest.
void KeepValidPixels(ST_SubTemplate *t, uint32_t valid) {
  std::memset(t->templatePixValid, 0, t->maskBufSize);
  for (uint32_t i = 0; i < valid; ++i) t->templatePixValid[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
}

TEST_F(EnrollTest, CodeThreeOnlyAboveEightyPercentOverlap) {
  // The same press twice maps every pixel onto itself: the pair overlap is
  // the valid pixels. On an 80 x 80 sensor, 80 % is 5120 pixels.
  const int side = 80;
  ZqSetSensorColRow(side, side);
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  const fingers::MasterFinger m = Master(5);
  Crop a = Press(m, 0, 0, 0, 0.0, side);
  struct Case {
    uint32_t valid;
    int code;
  } cases[] = {{5120, 2}, {5121, 3}, {side * side, 3}};
  ST_QuorvEnrollTemplate &f = Finger(1);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.valid);
    KeepValidPixels(a.sample.get(), c.valid);
    uint8_t out = 0;
    ASSERT_EQ(ZqEnrollByTemplate(a.sample.get(), 1, 0, &out), 0);
    ASSERT_EQ(ZqEnrollByTemplate(a.sample.get(), 1, 1, &out), 0);
    EXPECT_EQ(ZqGetCoinFlg(f.subtemplates[1].coinFlg, 0), c.code);
    // Nothing of the repeat is new.
    EXPECT_EQ(f.subtemplates[1].extendArea, 0);
    EXPECT_EQ(f.coverageArea, static_cast<int32_t>(c.valid * 100 / (side * side)));
  }
}

// A rigid pose: pixel coordinates of one press onto a common plane.
struct Pose {
  double angle, tx, ty;
};

ST_FullHMatrix PoseMatrix(const Pose &p) {
  const float c = static_cast<float>(std::cos(p.angle)), s = static_cast<float>(std::sin(p.angle));
  return ST_FullHMatrix{c, -s, static_cast<float>(p.tx), s, c, static_cast<float>(p.ty),
                        0, 0, 1, static_cast<float>(p.angle)};
}

// The transform from press a onto press b.
ST_FullHMatrix Between(const Pose &a, const Pose &b) {
  ST_FullHMatrix inv, out;
  const ST_FullHMatrix pa = PoseMatrix(a), pb = PoseMatrix(b);
  ZqHmatrixInv(&inv, &pb);
  ZqHmatrixConverse(&out, &pa, &inv);
  return out;
}

// Largest distance between where H and truth send the corners and centre
// of the sensor.
double MapError(const ST_FullHMatrix &H, const ST_FullHMatrix &truth) {
  double worst = 0;
  const double pts[5][2] = {{0, 0}, {95, 0}, {0, 95}, {95, 95}, {48, 48}};
  for (const auto &q : pts) {
    const double x = q[0], y = q[1];
    worst = std::fmax(worst, std::hypot(H.a00 * x + H.a01 * y + H.a02 -
                                            (truth.a00 * x + truth.a01 * y + truth.a02),
                                        H.a10 * x + H.a11 * y + H.a12 -
                                            (truth.a10 * x + truth.a11 * y + truth.a12)));
  }
  return worst;
}

TEST_F(EnrollTest, RootRefreshMovesEveryWellMatchedGroupUnderTheNewRoot) {
  // Groups before: {0: 1, 2}, {3: 4, 7}, {5: 6}, {8}, {9}. The sample
  // joined root 0; it matched 4 and 5 well, 8 with score 7 and 9 with code 1.
  const Pose poses[10] = {{0.0, 0, 0},     {0.1, 20, 5},  {-0.2, -15, 10}, {0.3, 60, -20},
                          {0.25, 45, -5},  {-0.1, 10, 50}, {0.05, 25, 60},  {0.35, 70, 0},
                          {0.0, -40, -40}, {0.2, 5, -30}};
  const Pose sample{0.15, 30, 20};
  const int roots[10] = {0, 0, 0, 3, 3, 5, 5, 3, 8, 9};
  ST_QuorvEnrollTemplate &f = Finger(6);
  f.currentSubtemplatesNum = 10;
  for (int k = 0; k < 10; ++k) {
    f.subtemplates[k].rootIndex = static_cast<uint16_t>(roots[k]);
    f.subtemplates[k].rootHmatrix = roots[k] == k ? ST_FullHMatrix{} : Between(poses[k], poses[roots[k]]);
  }
  uint8_t codes[ZQ_COIN_FLG_BYTES] = {};
  uint8_t scores[MAX_SUBTEMPLATES_PER_FINGER] = {};
  std::vector<ST_FullHMatrix> toTpl(10);
  std::vector<ST_FullHMatrix *> toTplPtr(10);
  for (int k = 0; k < 10; ++k) {
    toTpl[k] = Between(sample, poses[k]);
    toTplPtr[k] = &toTpl[k];
  }
  struct Rel {
    int index, code, score;
  } rels[] = {{1, 2, 12}, {4, 2, 8}, {5, 3, 30}, {8, 2, 7}, {9, 1, 30}};
  for (const Rel &r : rels) {
    ZqSetCoinFlg(codes, static_cast<uint8_t>(r.index), static_cast<uint8_t>(r.code));
    scores[r.index] = static_cast<uint8_t>(r.score);
  }
  const ST_FullHMatrix toRoot = Between(sample, poses[0]);
  const ST_QuorvEnrollTemplate before = f;
  // Also with a count larger than the finger holds: only its slots move.
  for (uint32_t n : {10u, 96u, 1000u}) {
    SCOPED_TRACE(n);
    for (int k = 0; k < 10; ++k) {
      f.subtemplates[k].rootIndex = before.subtemplates[k].rootIndex;
      f.subtemplates[k].rootHmatrix = before.subtemplates[k].rootHmatrix;
    }
    ASSERT_EQ(ZqEnrollTempateRootRefresh(6, codes, scores, toTplPtr.data(), n, 0, &toRoot), 0);
    const bool movedExpected[10] = {false, false, false, true, true, true, true, true, false, false};
    for (int k = 0; k < 10; ++k) {
      SCOPED_TRACE(k);
      const ST_SubTemplate &s = f.subtemplates[k];
      if (!movedExpected[k]) {
        EXPECT_EQ(s.rootIndex, before.subtemplates[k].rootIndex);
        EXPECT_EQ(std::memcmp(&s.rootHmatrix, &before.subtemplates[k].rootHmatrix,
                              sizeof s.rootHmatrix), 0);
        continue;
      }
      EXPECT_EQ(s.rootIndex, 0);
      const ST_FullHMatrix truth = Between(poses[k], poses[0]);
      EXPECT_LT(MapError(s.rootHmatrix, truth), 1e-3);
      EXPECT_NEAR(s.rootHmatrix.dtheta, poses[k].angle - poses[0].angle, 1e-5);
    }
  }
  // Missing inputs and unknown fingers change nothing.
  const ST_QuorvEnrollTemplate after = f;
  EXPECT_EQ(ZqEnrollTempateRootRefresh(6, nullptr, scores, toTplPtr.data(), 10, 0, &toRoot), 0);
  EXPECT_EQ(ZqEnrollTempateRootRefresh(6, codes, scores, toTplPtr.data(), 10, 0, nullptr), 0);
  EXPECT_EQ(ZqEnrollTempateRootRefresh(10, codes, scores, toTplPtr.data(), 10, 0, &toRoot), 0);
  EXPECT_EQ(ZqEnrollTempateRootRefresh(-1, codes, scores, toTplPtr.data(), 10, 0, &toRoot), 0);
  EXPECT_EQ(std::memcmp(&after, &f, sizeof f), 0);
}

// Largest distance between where H sends pixels of crop `from` and where
// they truly lie in crop `to`, over a grid of pixels seen in both.
double CropMapError(const ST_FullHMatrix &H, const fingers::Impression &from,
                    const fingers::Impression &to, int *checked) {
  double worst = 0;
  *checked = 0;
  for (int y = 4; y < kSide; y += 8) {
    for (int x = 4; x < kSide; x += 8) {
      const fingers::Point t = to.FromMaster(from.ToMaster(x, y));
      if (t.x < 0 || t.y < 0 || t.x > kSide - 1 || t.y > kSide - 1) continue;
      ++*checked;
      const double X = H.a00 * x + H.a01 * y + H.a02, Y = H.a10 * x + H.a11 * y + H.a12;
      worst = std::fmax(worst, std::hypot(X - t.x, Y - t.y));
    }
  }
  return worst;
}

// Pixels of crop a inside crop b's window (as a share of the sensor, in
// percent), and of those inside none of `earlier`'s windows.
bool Inside(const fingers::Impression &a, const fingers::Impression &b, int x, int y) {
  const fingers::Point t = b.FromMaster(a.ToMaster(x, y));
  return t.x >= -0.5 && t.y >= -0.5 && t.x < kSide - 0.5 && t.y < kSide - 0.5;
}

int TrueOverlap(const fingers::Impression &a, const fingers::Impression &b) {
  int n = 0;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) n += Inside(a, b, x, y);
  return n * 100 / (kSide * kSide);
}

int TrueNewArea(const fingers::Impression &a, const std::vector<const fingers::Impression *> &earlier) {
  int n = 0;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      bool seen = false;
      for (const fingers::Impression *e : earlier) seen = seen || Inside(a, *e, x, y);
      n += !seen;
    }
  }
  return n * 100 / (kSide * kSide);
}

TEST_F(EnrollTest, EightCropsOfOneMasterEndToEnd) {
  // Two rows of crops 80 px apart at first (no relation across), then crops
  // between them that tie the groups together; the last one nearly repeats
  // the first.
  const fingers::MasterFinger m = Master(7);
  const double grid[8][2] = {{-40, -16}, {40, -16}, {-40, 16}, {40, 16},
                             {0, -16},   {0, 16},   {-20, 0},  {-30, -16}};
  std::vector<Crop> crops;
  for (int k = 0; k < 8; ++k) crops.push_back(Press(m, k, grid[k][0], grid[k][1]));
  ST_QuorvEnrollTemplate &f = Finger(5);
  std::vector<const fingers::Impression *> earlier;
  bool merged = false;
  int32_t coverage = 0;
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE(::testing::Message() << "crop " << k);
    uint16_t rootsBefore[8];
    for (int i = 0; i < k; ++i) rootsBefore[i] = f.subtemplates[i].rootIndex;
    uint8_t out = 0xFF;
    ASSERT_EQ(ZqEnrollByTemplate(crops[k].sample.get(), 5, static_cast<int16_t>(k), &out), 0);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(f.currentSubtemplatesNum, k + 1);
    const ST_SubTemplate &s = f.subtemplates[k];
    for (int i = 0; i < k; ++i) {
      merged = merged || f.subtemplates[i].rootIndex != rootsBefore[i];
      const int overlap = TrueOverlap(crops[k].imp, crops[i].imp);
      const int code = ZqGetCoinFlg(s.coinFlg, static_cast<uint8_t>(i));
      SCOPED_TRACE(::testing::Message() << "against " << i << ", overlap " << overlap);
      if (overlap >= 30) {
        EXPECT_GE(code, 2);
      }
      if (overlap >= 85) {
        EXPECT_EQ(code, 3);
      } else if (overlap <= 75) {
        EXPECT_NE(code, 3);
      }
    }
    // The area nothing earlier covered, and only that, is added.
    EXPECT_NEAR(s.extendArea, TrueNewArea(crops[k].imp, earlier), 3);
    EXPECT_EQ(f.coverageArea, coverage + s.extendArea);
    coverage = f.coverageArea;
    earlier.push_back(&crops[k].imp);
  }
  // The two rows became one group, by moving a group under another root.
  EXPECT_TRUE(merged);
  const uint16_t root = f.subtemplates[0].rootIndex;
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE(::testing::Message() << "crop " << k);
    const ST_SubTemplate &s = f.subtemplates[k];
    EXPECT_EQ(s.rootIndex, root);
    if (s.rootIndex == k) continue;
    int checked = 0;
    EXPECT_LT(CropMapError(s.rootHmatrix, crops[k].imp, crops[s.rootIndex].imp, &checked), 1.5);
    EXPECT_GE(checked, 8);
  }
}

TEST_F(EnrollTest, AddedAreaCountsRootsAndGroupMembersTheSampleWasNotComparedWith) {
  // A at (0, 0) with B at (40, 0) and D at (0, 40) in its group; A and D
  // lose their keypoints, so a sample C matches B only.
  // - C at (20, 30) joins the group through B: it adds C less B (45 %)
  //   unless A counts through B's root transform (31 %) and D through the
  //   group (6 %).
  // - C at (-30, 20) overlaps B by 21 %; with the update score set above
  //   its score it is a weak match: C stays a root of its own and adds C
  //   less B (78 %) unless A counts through B's root transform (45 %).
  const fingers::MasterFinger m = Master(8);
  Crop a = Press(m, 0, 0, 0), b = Press(m, 1, 40, 0), d = Press(m, 2, 0, 40);
  Crop joins = Press(m, 3, 20, 30), apart = Press(m, 4, -30, 20);
  struct Case {
    Crop *sample;
    int code, root;
    std::vector<const fingers::Impression *> covering;
  } cases[] = {
      {&joins, 2, 0, {&a.imp, &b.imp, &d.imp}},
      {&apart, 1, 3, {&a.imp, &b.imp}},
  };
  ST_QuorvEnrollTemplate &f = Finger(9);
  for (const Case &k : cases) {
    SCOPED_TRACE(::testing::Message() << "sample " << (k.sample == &joins ? "joins" : "apart"));
    uint8_t out = 0;
    ASSERT_EQ(ZqEnrollByTemplate(a.sample.get(), 9, 0, &out), 0);
    ASSERT_EQ(ZqEnrollByTemplate(b.sample.get(), 9, 1, &out), 0);
    ASSERT_EQ(ZqEnrollByTemplate(d.sample.get(), 9, 2, &out), 0);
    ASSERT_EQ(f.subtemplates[1].rootIndex, 0);
    ASSERT_EQ(f.subtemplates[2].rootIndex, 0);
    for (int slot : {0, 2}) {
      ST_SubTemplate &t = f.subtemplates[slot];
      ZqSafeFree(t.pTemplateFeature);
      t.pTemplateFeature = nullptr;
      t.featBufSize = 0;
      t.nFeatureNum[0] = t.nFeatureNum[1] = 0;
    }
    if (k.code == 1) {
      ST_FullHMatrix H{};
      const int score = ZqVerifyTwoTemplate(k.sample->sample.get(), &f.subtemplates[1], &H, 0, 1);
      ASSERT_GE(score, gUpdateScores[13]);
      ASSERT_LT(score, 20);
      ZqSetUpdateTemplateFarLevel(static_cast<uint8_t>(score + 9));
    }
    ASSERT_EQ(ZqEnrollByTemplate(k.sample->sample.get(), 9, 3, &out), 0);
    ZqSetUpdateTemplateFarLevel(16);
    const ST_SubTemplate &s = f.subtemplates[3];
    EXPECT_EQ(ZqGetCoinFlg(s.coinFlg, 0), 0);
    EXPECT_EQ(ZqGetCoinFlg(s.coinFlg, 1), k.code);
    EXPECT_EQ(ZqGetCoinFlg(s.coinFlg, 2), 0);
    EXPECT_EQ(s.rootIndex, k.root);
    EXPECT_NEAR(s.extendArea, TrueNewArea(k.sample->imp, k.covering), 2);
  }
}

}  // namespace
