// Scores of constructed prints: identical, moved, turned, unrelated and
// partial copies, too few minutiae, internal limits, and the determinism of
// the process-wide tables.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "minutiae/bozorth.h"
#include "minutiae/bozorth_tables.h"
#include "support/stderr_capture.h"
#include "fingers/rng.h"
#include "xyt_prints.h"

namespace {

using minutiae_test::MakeRecord;
using minutiae_test::QuarterTurned;
using minutiae_test::Shifted;
using minutiae_test::SpreadPoints;
using minutiae_test::Subset;
using minutiae_test::XytPoint;
using testing_support::StderrCapture;

int Score(const xyt_record &probe, const xyt_record &gallery) {
  const int edges = bz_prepare_probe(&probe);
  return bz_score_gallery(edges, &probe, &gallery);
}

// The prints of one seed: a 40-minutia print and its relatives.
struct Family {
  std::vector<XytPoint> points;
  xyt_record print;
  int self;
  explicit Family(uint64_t seed)
      : points(SpreadPoints(seed, 40)), print(MakeRecord(points)), self(Score(print, print)) {}
};

class SeededPrints : public testing::TestWithParam<uint64_t> {};

TEST_P(SeededPrints, SelfScoreIsHighAndRepeatable) {
  Family f(GetParam());
  ASSERT_EQ(f.print.count, 40);
  EXPECT_GT(f.self, 8);
  EXPECT_EQ(Score(f.print, f.print), f.self);
}

TEST_P(SeededPrints, ShiftedCopyScoresTheSame) {
  Family f(GetParam());
  const xyt_record moved = MakeRecord(Shifted(f.points, 20, 20));
  EXPECT_EQ(Score(f.print, moved), f.self);
  EXPECT_EQ(Score(moved, f.print), f.self);
}

TEST_P(SeededPrints, QuarterTurnedCopyScoresClose) {
  Family f(GetParam());
  const xyt_record turned = MakeRecord(QuarterTurned(f.points));
  const int s = Score(f.print, turned);
  EXPECT_GE(s * 10, f.self * 7);
  EXPECT_LE(s, f.self + f.self / 10);
}

TEST_P(SeededPrints, UnrelatedPrintScoresLow) {
  Family f(GetParam());
  const xyt_record other = MakeRecord(SpreadPoints(GetParam() + 1000, 40));
  const int s = Score(f.print, other);
  EXPECT_LT(s * 5, f.self);
}

TEST_P(SeededPrints, SubsetScoresBetweenUnrelatedAndSelf) {
  Family f(GetParam());
  const xyt_record part = MakeRecord(Subset(f.points, 25, GetParam()));
  const xyt_record other = MakeRecord(SpreadPoints(GetParam() + 1000, 40));
  const int s = Score(part, f.print);
  EXPECT_LT(s, f.self);
  EXPECT_GT(s, Score(f.print, other));
  EXPECT_GT(s, 8);
}

INSTANTIATE_TEST_SUITE_P(Seeds, SeededPrints, testing::Values(1u, 2u, 3u, 17u, 4242u));

}  // namespace

namespace {

// Every point moved by up to +-2 px and turned by up to +-6 degrees.
std::vector<XytPoint> Jittered(std::vector<XytPoint> points, uint64_t seed) {
  fingers::Rng rng(seed);
  for (XytPoint &p : points) {
    p.x += static_cast<int>(rng.Below(5)) - 2;
    p.y += static_cast<int>(rng.Below(5)) - 2;
    p.theta = minutiae_test::WrapDegrees(p.theta + static_cast<int>(rng.Below(13)) - 6);
  }
  return points;
}

TEST_P(SeededPrints, JitteredCopyStillMatches) {
  Family f(GetParam());
  const xyt_record noisy = MakeRecord(Shifted(Jittered(f.points, GetParam()), 7, -5));
  const int s = Score(noisy, f.print);
  EXPECT_GE(s, 24);
}

}  // namespace

namespace {

TEST(BozorthScore, FewerThanTenMinutiaeScoreZero) {
  const std::vector<XytPoint> pts = SpreadPoints(21, 40);
  const xyt_record full = MakeRecord(pts);
  const xyt_record nine = MakeRecord(std::vector<XytPoint>(pts.begin(), pts.begin() + 9));
  const xyt_record ten = MakeRecord(std::vector<XytPoint>(pts.begin(), pts.begin() + 10));
  xyt_record none = full;
  none.count = 0;
  EXPECT_EQ(Score(nine, nine), 0);
  EXPECT_EQ(Score(nine, full), 0);
  EXPECT_EQ(Score(full, nine), 0);
  EXPECT_EQ(Score(none, full), 0);
  EXPECT_GT(Score(ten, ten), 0);
}

TEST(BozorthScore, ScoringAnotherGalleryLeavesTheProbeAlone) {
  const xyt_record a = MakeRecord(SpreadPoints(31, 40));
  const xyt_record b = MakeRecord(SpreadPoints(32, 40));
  const int edges = bz_prepare_probe(&a);
  const int self = bz_score_gallery(edges, &a, &a);
  bz_score_gallery(edges, &a, &b);
  EXPECT_EQ(bz_score_gallery(edges, &a, &a), self);
  // Preparing another probe and back gives the same again.
  bz_prepare_probe(&b);
  EXPECT_EQ(bz_score_gallery(bz_prepare_probe(&a), &a, &a), self);
}

// A crowded lattice of equal directions: every edge has many look-alikes, so
// the pair table, the conflict groups and the clusters reach their limits.
TEST(BozorthScore, AmbiguousLatticeStaysWithinItsLimits) {
  std::vector<XytPoint> lattice;
  for (int i = 0; i < 200; i++) lattice.push_back({(i % 14) * 9, (i / 14) * 9, 45});
  const xyt_record r = MakeRecord(lattice);
  {
    auto edges = std::make_unique<bozorth::EdgeTable>();
    auto pairs = std::make_unique<bozorth::PairTable>();
    bozorth::BuildEdges(r, edges.get());
    const int used = bozorth::EdgesToUse(*edges);
    bozorth::PairEdges(*edges, used, *edges, used, pairs.get());
    ASSERT_EQ(pairs->count, bozorth::kMaxPairs);
  }
  const int first = Score(r, r);
  EXPECT_GT(first, 8);
  EXPECT_EQ(Score(r, r), first);
  EXPECT_LE(bozorth::BozorthWebsGrownForTest(), bozorth::kMaxPairs * 1025);
}

TEST(BozorthScore, QueueOverflowIsNoMatch) {
  const xyt_record r = MakeRecord(SpreadPoints(41, 40));
  ASSERT_GT(Score(r, r), 24);
  for (int size : {1, 3, 10}) {
    bozorth::BozorthSetQueueSizeForTest(size);
    StderrCapture err;
    EXPECT_EQ(Score(r, r), 0) << size;
    const std::string text = err.Text();
    EXPECT_NE(text.find(": ERROR: bz_sift(): qq[] overflow #"), std::string::npos) << text;
    EXPECT_NE(text.find(": WARNING: bz_match_score(): qq[] overflow from bz_sift() #"),
              std::string::npos)
        << text;
  }
  bozorth::BozorthSetQueueSizeForTest(0);
  EXPECT_GT(Score(r, r), 24);
}

TEST(BozorthRotation, MeanWrapsAcrossHalfATurn) {
  struct Case {
    std::vector<int32_t> rotations;
    int mean;
  };
  const Case cases[] = {
      {{1, 2, 3}, 2},          {{10, -10}, 0},          {{179, -179}, 180},
      {{170, -170, 180}, 180}, {{-179, -178}, -179},    {{-170, 175}, -178},
      {{0, 0, 1}, 0},          {{-1, -2}, -2},          {{90}, 90},
      {{}, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(bozorth::MeanRotation(c.rotations.data(), static_cast<int>(c.rotations.size())),
              c.mean)
        << testing::PrintToString(c.rotations);
  }
}

TEST(BozorthRotation, ToleranceIsElevenDegreesCircularly) {
  struct Case {
    int a, b;
    bool within;
  };
  const Case cases[] = {{0, 11, true},     {0, 12, false},   {0, -11, true},
                        {-179, 180, true}, {175, -175, true}, {170, -179, true},
                        {168, -180, false}, {0, 348, false},  {-90, 90, false}};
  for (const Case &c : cases) {
    EXPECT_EQ(bozorth::WithinTolerance(c.a, c.b), c.within) << c.a << " " << c.b;
    EXPECT_EQ(bozorth::WithinTolerance(c.b, c.a), c.within) << c.b << " " << c.a;
  }
}

// The exploration order of conflict alternatives: the last group turns
// fastest, every combination once, and the odometer ends back at zero.
TEST(BozorthOdometer, VisitsEveryCombinationLastGroupFastest) {
  const int counts[3] = {2, 3, 2};
  int counters[3] = {0, 0, 0};
  std::vector<std::vector<int>> seen;
  while (bozorth::AdvanceOdometer(3, counts, counters))
    seen.push_back({counters[0], counters[1], counters[2]});
  ASSERT_EQ(seen.size(), 11u);
  EXPECT_EQ(seen[0], (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(seen[1], (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(seen[5], (std::vector<int>{1, 0, 0}));
  EXPECT_EQ(seen.back(), (std::vector<int>{1, 2, 1}));
  for (size_t i = 1; i < seen.size(); i++) EXPECT_LT(seen[i - 1], seen[i]);
  EXPECT_EQ(counters[0] + counters[1] + counters[2], 0);
  int none[1] = {0};
  EXPECT_FALSE(bozorth::AdvanceOdometer(0, counts, none));
}

// Clusters with sizes and "later clusters compatible with me" lists.
struct Graph {
  std::vector<int> size, potential, count;
  std::vector<int16_t> compat;
  int stride;
  explicit Graph(int n) : size(n, 3), potential(n), count(n), compat(size_t(n) * n), stride(n) {}
  void Link(int a, int b) { compat[size_t(a) * stride + count[a]++] = int16_t(b); }
  bool Linked(int a, int b) const {
    for (int i = 0; i < count[a]; i++)
      if (compat[size_t(a) * stride + i] == b) return true;
    return false;
  }
  int Best() {
    for (size_t c = 0; c < size.size(); c++) {
      potential[c] = size[c];
      for (int i = 0; i < count[c]; i++) potential[c] += size[compat[c * stride + i]];
    }
    const bozorth::ClusterGraph g{static_cast<int>(size.size()), size.data(), potential.data(),
                                  count.data(), compat.data(), stride};
    return bozorth::BestCompatibleTotal(g);
  }
};

TEST(BozorthSearch, FindsTheHeaviestMutuallyCompatibleSet) {
  for (uint64_t seed = 1; seed <= 40; seed++) {
    fingers::Rng rng(seed);
    const int n = 4 + static_cast<int>(rng.Below(9));
    Graph g(n);
    for (int i = 0; i < n; i++) g.size[i] = 3 + static_cast<int>(rng.Below(30));
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++)
        if (rng.Chance(0.5)) g.Link(a, b);
    int brute = 0;
    for (uint32_t set = 1; set < (1u << n); set++) {
      bool clique = true;
      int total = 0;
      for (int a = 0; a < n && clique; a++) {
        if (!(set >> a & 1)) continue;
        total += g.size[a];
        for (int b = a + 1; b < n && clique; b++)
          if ((set >> b & 1) && !g.Linked(a, b)) clique = false;
      }
      if (clique) brute = std::max(brute, total);
    }
    EXPECT_EQ(g.Best(), brute) << seed;
  }
}

TEST(BozorthSearch, LongCompatibilityListIsCutNotOverrun) {
  Graph g(1501);
  g.size[0] = 50;
  for (int b = 1; b <= 1500; b++) g.Link(0, b);
  g.size[1500] = 100;  // beyond the 999 candidates a level keeps
  EXPECT_EQ(g.Best(), 100);
  g.size[999] = 100;  // the last candidate kept
  EXPECT_EQ(g.Best(), 150);
}

}  // namespace
