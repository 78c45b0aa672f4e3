// The pieces of identification that stand alone: the search order from the
// match history, the classification of a failure, the extra-buffer refresh
// score and the weak-area pooling fallback.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqVerifyByTemplateParts.h"

namespace {

using zq_alg::VerifyCuts;

TEST(VerifyOrderTest, FingersByHitsWithTiesAscendingAndStaleEntriesErased) {
  uint32_t ring[ZQ_FINGER_RING_SIZE];
  for (uint32_t &e : ring) e = ZQ_RING_EMPTY;
  const uint32_t written[] = {7, 2, 4, 7, 5, 2, 42, 4, 7, 2, 9};
  std::memcpy(ring, written, sizeof written);
  bool valid[MAX_FINGERS_SUPPORTED] = {};
  for (int f : {0, 1, 2, 5, 7, 9}) valid[f] = true;
  uint8_t order[MAX_FINGERS_SUPPORTED];
  zq_alg::FingerSearchOrder(ring, valid, order);
  // 2 and 7 have three hits each, 5 and 9 one; finger 4 is not valid and
  // counts nothing, whatever its hits.
  const uint8_t expected[] = {2, 7, 5, 9, 0, 1, 3, 4, 6, 8};
  EXPECT_EQ(std::memcmp(order, expected, sizeof expected), 0);
  const uint32_t after[] = {7, 2, 255, 7, 5, 2, 42, 255, 7, 2, 9};
  EXPECT_EQ(std::memcmp(ring, after, sizeof after), 0);
  EXPECT_EQ(ring[11], ZQ_RING_EMPTY);
}

TEST(VerifyOrderTest, SubTemplatesByHitsKeepEveryHeldIndexInTheFirstRanks) {
  struct Case {
    const char *what;
    std::vector<uint32_t> ring;
    uint32_t count;
    std::vector<uint8_t> head;  // expected first ranks
    std::vector<int32_t> hits;
  };
  const Case cases[] = {
      {"empty history", {}, 4, {0, 1, 2, 3, 4}, {0, 0, 0, 0, 0}},
      {"hits first, ties ascending", {3, 1, 3, 1, 2, 3}, 5, {3, 1, 2, 0, 4}, {3, 2, 1, 0, 0}},
      // Indexes a finger no longer holds (a template reloaded smaller) must
      // not push a held one past rank count - 1.
      {"stale indexes", {40, 40, 40, 2, 95, 95, 1, 2}, 3, {2, 1, 0, 3, 4}, {2, 1, 0, 0, 0}},
      {"foreign values", {ZQ_RING_EMPTY, 96, 1000, 0}, 2, {0, 1, 2}, {1, 0, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t ring[ZQ_SUBTEMP_RING_SIZE];
    for (uint32_t &e : ring) e = ZQ_RING_EMPTY;
    for (size_t i = 0; i < c.ring.size(); ++i) ring[i] = c.ring[i];
    uint8_t order[MAX_SUBTEMPLATES_PER_FINGER];
    int32_t hits[MAX_SUBTEMPLATES_PER_FINGER];
    zq_alg::SubTemplateSearchOrder(ring, c.count, order, hits);
    for (size_t i = 0; i < c.head.size(); ++i) {
      EXPECT_EQ(order[i], c.head[i]) << "rank " << i;
      EXPECT_EQ(hits[i], c.hits[i]) << "rank " << i;
    }
    // A permutation of 0..95.
    bool seen[MAX_SUBTEMPLATES_PER_FINGER] = {};
    for (uint8_t s : order) {
      ASSERT_LT(s, MAX_SUBTEMPLATES_PER_FINGER);
      EXPECT_FALSE(seen[s]);
      seen[s] = true;
    }
  }
}

TEST(VerifyFailureTest, CutsAndTheConfiguredLevelClassifyAFailure) {
  struct Case {
    int ret;
    VerifyCuts cuts;
    int32_t best, cfgT;
    int expected;
  };
  const Case cases[] = {
      {-1, {0, 0, 0}, 3, 7, -1}, {-2, {0, 0, 0}, 0, 7, -2}, {-1, {2, 0, 0}, 3, 7, -3},
      {-1, {0, 1, 0}, 3, 7, -4}, {-1, {1, 1, 5}, 3, 7, -5}, {-1, {0, 0, 1}, 3, 7, -6},
      {-1, {3, 0, 1}, 3, 7, -3}, {-1, {0, 2, 1}, 3, 7, -4}, {-1, {1, 0, 0}, 7, 7, -7},
      {-2, {0, 0, 0}, 0, 0, -7}, {-1, {0, 0, 0}, 6, 7, -1}, {-1, {0, 0, 0}, 12, 7, -7},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(zq_alg::ClassifyVerifyFailure(c.ret, c.cuts, c.best, c.cfgT), c.expected)
        << c.ret << " cuts " << c.cuts.classifier << "/" << c.cuts.crossCheck << "/"
        << c.cuts.foreignBody << " best " << c.best << " cfgT " << c.cfgT;
  }
}

TEST(VerifyFailureTest, ExtraRefreshScoreStaysInsideTheTable) {
  EXPECT_EQ(zq_alg::ExtraRefreshScore(14), gUpdateScores[16]);
  EXPECT_EQ(zq_alg::ExtraRefreshScore(0), gUpdateScores[2]);
  EXPECT_EQ(zq_alg::ExtraRefreshScore(26), gUpdateScores[28]);
  for (uint8_t level : {27, 28, 29, 255})
    EXPECT_EQ(zq_alg::ExtraRefreshScore(level), gUpdateScores[ZQ_FAR_LEVEL_COUNT - 1]) << +level;
}

// Weak matches of a sample, as the pairwise matcher leaves them: template
// points mapped into the sample and the sample points they pair with.
class WeakPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { std::memset(&pool_, 0, sizeof pool_); }

  // Sample point i of a spread-out set.
  static ST_Point32f SamplePoint(int i) {
    return ST_Point32f{static_cast<float>(8 + (i * 37) % 80),
                       static_cast<float>(6 + (i * 53) % 84)};
  }
  // Adds an area of finger f holding pairs first..first+n-1 of one rigid
  // motion (angle a, shift dx, dy).
  // The sample points may be moved by (mx, my), the motion kept.
  void AddArea(int f, int first, int n, float ratio, float a = 0.12f, float dx = 6.0f,
               float dy = -4.0f, float mx = 0.0f, float my = 0.0f) {
    ST_QuorvMatchArea &area = pool_.areas[pool_.areaNum++];
    area.fingerId = f;
    area.pointNum = n;
    area.ratio = ratio;
    for (int k = 0; k < n; ++k) {
      ST_Point32f s = SamplePoint(first + k);
      s.x += mx;
      s.y += my;
      area.samplePoints[k] = s;
      area.tempPoints[k] = ST_Point32f{std::cos(a) * s.x - std::sin(a) * s.y + dx,
                                       std::sin(a) * s.x + std::cos(a) * s.y + dy};
    }
    pool_.totalPointNum += n;
  }
  int Pool(const zq_alg::WeakPoolRule &rule) {
    return zq_alg::PoolWeakAreas(&pool_, rule, &scores_, &finger_id_, &finger_);
  }

  ST_QuorvAreaMatchToplogy pool_;
  int32_t scores_ = 3;
  int32_t finger_id_ = 255;
  int32_t finger_ = 255;
};

TEST_F(WeakPoolTest, AreasOfOneFingerTogetherPassTheRule) {
  struct Case {
    const char *what;
    uint8_t adjust, successRun;
    float ratio;
    int expected;
  };
  const Case cases[] = {
      {"agreeing areas", 1, 0, 0.9f, 0},
      {"ratio exactly at the limit", 1, 0, 0.85f, 0},
      {"weak agreement, no success run", 1, 0, 0.8f, -1},
      {"weak agreement after successes", 1, 2, 0.8f, 0},
      {"fixed level asks for T + 2", 0, 0, 0.1f, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    scores_ = 3;
    finger_id_ = 255;
    finger_ = 255;
    AddArea(4, 0, 6, 0.75f, -0.3f, 2.0f, 9.0f);  // another finger, its own motion
    AddArea(2, 0, 5, 0.75f);
    AddArea(2, 5, 5, c.ratio);
    AddArea(2, 10, 4, 0.72f);
    EXPECT_EQ(Pool({7, c.adjust, c.successRun}), c.expected);
    EXPECT_EQ(finger_, c.expected == 0 ? 2 : 255);
    // The three areas of finger 2 register as one: 14 inliers beat the
    // kept score even when the group is not accepted.
    EXPECT_EQ(scores_, 14);
    EXPECT_EQ(finger_id_, 2);
    for (int a = 0; a < pool_.areaNum; ++a) EXPECT_EQ(pool_.areas[a].usedFlg, 1) << a;
  }
}

TEST_F(WeakPoolTest, DuplicatesAndSmallGroupsDoNotMakeAMatch) {
  // Two areas of finger 1 that saw the same seven places (within 2 px):
  // fourteen consistent pairs, seven distinct, below T + 2 = 9 with the
  // fixed level.
  AddArea(1, 0, 7, 0.9f);
  AddArea(1, 0, 7, 0.9f, 0.12f, 6.0f, -4.0f, 1.6f, -1.4f);
  // A finger whose group has fewer points than T is not registered.
  AddArea(6, 20, 6, 0.95f);
  EXPECT_EQ(Pool({7, 0, 0}), -1);
  EXPECT_EQ(scores_, 7);
  EXPECT_EQ(finger_id_, 1);
  // With the adaptive level seven inliers reach T.
  SetUp();
  scores_ = 9;
  finger_id_ = 5;
  AddArea(1, 0, 7, 0.9f);
  AddArea(1, 0, 7, 0.9f, 0.12f, 6.0f, -4.0f, -2.0f, 2.0f);
  EXPECT_EQ(Pool({7, 1, 0}), 0);
  EXPECT_EQ(finger_, 1);
  EXPECT_EQ(scores_, 9);  // a higher kept score stays
  EXPECT_EQ(finger_id_, 5);
}

TEST_F(WeakPoolTest, AreasOfDifferentMotionsDoNotAddUp) {
  // Eight points each under two unrelated motions of the same finger.
  AddArea(3, 0, 8, 0.9f, 0.1f, 5.0f, 5.0f);
  AddArea(3, 8, 8, 0.9f, -0.4f, -20.0f, 30.0f);
  EXPECT_EQ(Pool({12, 1, 1}), -1);
  EXPECT_LE(scores_, 8);
}

}  // namespace
