// Edge construction and the edge count of a print, the row order of the
// comparator, and the pairing of probe and gallery edges.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <tuple>
#include <vector>

#include "minutiae/bozorth.h"
#include "minutiae/bozorth_tables.h"
#include "xyt_prints.h"

namespace {

using bozorth::Edge;
using bozorth::EdgeTable;
using bozorth::Pair;
using bozorth::PairTable;
using minutiae_test::MakeRecord;
using minutiae_test::QuarterTurned;
using minutiae_test::SpreadPoints;
using minutiae_test::XytPoint;

// The tables are large: keep them off the stack.
std::unique_ptr<EdgeTable> Edges(const xyt_record &print) {
  auto table = std::make_unique<EdgeTable>();
  bozorth::BuildEdges(print, table.get());
  return table;
}

TEST(BozorthCompare, OrdersByXThenY) {
  struct Case {
    int a[4], b[4];
    int expected;
  };
  const Case cases[] = {
      {{5, 9, 0, 0}, {6, 0, 0, 0}, -1},  {{6, 0, 0, 0}, {5, 9, 0, 0}, 1},
      {{5, 1, 0, 0}, {5, 9, 0, 0}, -1},  {{5, 9, 0, 0}, {5, 1, 0, 0}, 1},
      {{5, 9, 30, 1}, {5, 9, -90, 7}, 0},
      {{-2147483647 - 1, 0, 0, 0}, {2147483647, 0, 0, 0}, -1},
  };
  for (const Case &c : cases) EXPECT_EQ(bz_compare_x_y(c.a, c.b), c.expected);
}

TEST(BozorthEdges, HandBuiltPairs) {
  struct Case {
    XytPoint j, k;
    Edge expected;
  };
  // join 45; betas 45 and 135 in order, or exchanged (marked +400).
  const Case cases[] = {
      {{0, 0, 0}, {10, 10, 90}, {200, 45, 135, 1, 2, 45}},
      {{0, 0, 90}, {10, 10, 0}, {200, -135, -45, 1, 2, 445}},
      // vertical: join 90; b1 = 90 - 30, b2 = 90 - (-60) > 0 gives -30
      {{4, 0, 30}, {4, 50, -60}, {2500, -30, 60, 1, 2, 490}},
      // downwards slope: join -27 (atan(-0.5)); b2 = -27 - 170 + 180
      {{0, 20, 10}, {40, 0, 170}, {2000, -37, -17, 1, 2, -27}},
      // join 0: b1 = -100, b2 = 0 + 30 - 180, exchanged
      {{0, 0, 100}, {10, 0, -30}, {100, -150, -100, 1, 2, 400}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.k.theta);
    auto t = Edges(MakeRecord({c.j, c.k}));
    ASSERT_EQ(t->count, 1);
    const Edge &e = t->rows[0];
    EXPECT_EQ(e.sq_dist, c.expected.sq_dist);
    EXPECT_EQ(e.beta_lo, c.expected.beta_lo);
    EXPECT_EQ(e.beta_hi, c.expected.beta_hi);
    EXPECT_EQ(e.first, c.expected.first);
    EXPECT_EQ(e.second, c.expected.second);
    EXPECT_EQ(e.join_theta, c.expected.join_theta);
  }
}

TEST(BozorthEdges, OppositeDirectionsAndFarPointsGiveNoEdge) {
  struct Case {
    XytPoint j, k;
    int edges;
  };
  const Case cases[] = {
      {{0, 0, 0}, {10, 10, 180}, 0},    {{0, 0, 180}, {10, 10, 0}, 0},
      {{0, 0, -90}, {10, 10, 90}, 0},   {{0, 0, 90}, {10, 10, -90}, 0},
      {{0, 0, 45}, {10, 10, -135}, 0},  {{0, 0, 45}, {10, 10, -134}, 1},
      {{0, 0, 0}, {130, 0, 0}, 0},      {{0, 0, 0}, {120, 50, 0}, 0},
      {{0, 0, 0}, {125, 0, 0}, 1},      {{0, 0, 0}, {0, 125, 0}, 1},
      {{0, 0, 0}, {100, 75, 0}, 1},     {{0, 0, 0}, {100, 76, 0}, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.k.x << "," << c.k.y << "," << c.k.theta);
    EXPECT_EQ(Edges(MakeRecord({c.j, c.k}))->count, c.edges);
  }
}

TEST(BozorthEdges, FarPartnerDoesNotEndTheSearchOfItsMinutia) {
  // 130 apart (120, 50) is skipped, but the nearer partner beyond it in x
  // still gives an edge; one 130 apart in x ends the search.
  auto t = Edges(MakeRecord({{0, 0, 0}, {120, 50, 0}, {124, 0, 0}, {300, 0, 0}, {310, 0, 5}}));
  std::vector<std::pair<int, int>> got;
  for (int i = 0; i < t->count; i++) got.push_back({t->rows[i].first, t->rows[i].second});
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {4, 5}}));
}

TEST(BozorthEdges, SortedByLengthThenAnglesThenCreation) {
  auto t = Edges(MakeRecord(SpreadPoints(5, 60)));
  ASSERT_GT(t->count, 100);
  for (int i = 1; i < t->count; i++) {
    const Edge &a = t->Sorted(i - 1);
    const Edge &b = t->Sorted(i);
    const auto ka = std::make_tuple(a.sq_dist, a.beta_lo, a.beta_hi, t->order[i - 1]);
    const auto kb = std::make_tuple(b.sq_dist, b.beta_lo, b.beta_hi, t->order[i]);
    EXPECT_LT(ka, kb) << i;
  }
}

TEST(BozorthEdges, DamagedRecordStaysInRange) {
  xyt_record r = MakeRecord(SpreadPoints(9, 30));
  r.x[3] = 2147483647;
  r.y[4] = -2147483647 - 1;
  r.theta[5] = 2147483647;
  r.theta[6] = -2147483647 - 1;
  r.count = 500;  // clamped to the 200 rows a record holds
  auto t = Edges(r);
  for (int i = 0; i < t->count; i++) {
    const Edge &e = t->rows[i];
    EXPECT_GE(e.beta_lo, -179);
    EXPECT_LE(e.beta_hi, 180);
    EXPECT_LE(e.sq_dist, 15625);
    EXPECT_LE(e.second, 200);
  }
}

// Edges a print has, counted pair by pair; `short_edges` those of 75 px or
// less.
void BruteForceEdges(const xyt_record &r, int *edges, int *short_edges) {
  *edges = *short_edges = 0;
  for (int j = 0; j < r.count; j++) {
    for (int k = j + 1; k < r.count; k++) {
      const int tj = r.theta[j], tk = r.theta[k];
      if ((tj - tk + 360) % 360 == 180) continue;
      const long dx = r.x[k] - r.x[j], dy = r.y[k] - r.y[j];
      const long d = dx * dx + dy * dy;
      if (d > 125 * 125) continue;
      ++*edges;
      if (d <= 75 * 75) ++*short_edges;
    }
  }
}

int ExpectedCount(int edges, int short_edges) {
  const int t = std::min(edges, short_edges + 1);
  return t >= 500 ? t : std::min(edges, 500);
}

// A layout of tight rows of points (every pair short) and rows with four
// satellites 100 px away (long edges to the row, none between satellites),
// every structure far from the others; all directions equal.
struct Layout {
  std::vector<XytPoint> points;
  int next_x = 0;
  void Row(int n, bool satellites) {
    const int x0 = next_x, cx = x0 + n / 2;
    for (int i = 0; i < n; i++) points.push_back({x0 + i, 0, 0});
    if (satellites) {
      for (XytPoint s : {XytPoint{cx - 100, 0, 0}, XytPoint{cx + 100, 0, 0},
                         XytPoint{cx, 100, 0}, XytPoint{cx, -100, 0}})
        points.push_back(s);
    }
    next_x += 1000;
  }
};

TEST(BozorthEdgeCount, ShortEdgesAndTheFirstLongOneOrAtLeast500) {
  struct Case {
    std::vector<int> tight, with_satellites;
    int edges, short_edges, expected;
  };
  const Case cases[] = {
      {{25, 8, 2, 2}, {20}, 600, 520, 521},
      {{16, 6, 6}, std::vector<int>(15, 5), 600, 300, 500},
      {{35, 3, 2, 2}, {}, 600, 600, 600},
      {{10}, {}, 45, 45, 45},
      {{33}, {}, 528, 528, 528},
  };
  for (const Case &c : cases) {
    Layout layout;
    for (int n : c.tight) layout.Row(n, false);
    for (int n : c.with_satellites) layout.Row(n, true);
    const xyt_record r = MakeRecord(layout.points);
    ASSERT_EQ(static_cast<size_t>(r.count), layout.points.size());
    int edges, short_edges;
    BruteForceEdges(r, &edges, &short_edges);
    ASSERT_EQ(edges, c.edges);
    ASSERT_EQ(short_edges, c.short_edges);
    EXPECT_EQ(bz_prepare_probe(&r), c.expected) << c.edges << " " << c.short_edges;
  }
}

TEST(BozorthEdgeCount, AgreesWithBruteForceCounter) {
  struct Case {
    uint64_t seed;
    int count, width, height, spacing;
  };
  const Case cases[] = {{1, 40, 300, 400, 15},  {2, 120, 300, 400, 8},
                        {3, 200, 250, 250, 3},  {4, 200, 120, 120, 0},
                        {5, 200, 1000, 1000, 0}, {6, 12, 60, 60, 2}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.seed);
    std::vector<XytPoint> pts = SpreadPoints(c.seed, c.count, c.width, c.height, c.spacing);
    // Some exactly opposite directions.
    for (size_t i = 1; i < pts.size(); i += 7) pts[i].theta = minutiae_test::WrapDegrees(pts[i - 1].theta + 180);
    const xyt_record r = MakeRecord(pts);
    int edges, short_edges;
    BruteForceEdges(r, &edges, &short_edges);
    EXPECT_EQ(Edges(r)->count, edges);
    EXPECT_EQ(bz_prepare_probe(&r), ExpectedCount(edges, short_edges));
  }
}

TEST(BozorthPairs, EveryEdgeMeetsItselfAndItsTurnedCopy) {
  const std::vector<XytPoint> pts = SpreadPoints(11, 40);
  const xyt_record print = MakeRecord(pts);
  const xyt_record turned = MakeRecord(QuarterTurned(pts));
  auto probe = Edges(print);
  const int used = bozorth::EdgesToUse(*probe);
  for (const xyt_record *gallery : {&print, &turned}) {
    const bool self = gallery == &print;
    SCOPED_TRACE(self ? "self" : "turned");
    auto g = Edges(*gallery);
    auto pairs = std::make_unique<PairTable>();
    bozorth::PairEdges(*probe, used, *g, bozorth::EdgesToUse(*g), pairs.get());
    ASSERT_GT(pairs->count, 0);
    int true_pairs = 0;
    for (int i = 0; i < pairs->count; i++) {
      const Pair &p = pairs->rows[i];
      if (i > 0) {
        const Pair &q = pairs->rows[i - 1];
        EXPECT_LE(std::make_tuple(q.probe_first, q.gallery_first, q.probe_second),
                  std::make_tuple(p.probe_first, p.gallery_first, p.probe_second));
      }
      EXPECT_GE(p.rotation, -179);
      EXPECT_LE(p.rotation, 180);
      // The same minutiae on both sides: the rotation of the copy.
      const auto key = [&](const xyt_record &r, int m) {
        return std::make_pair(r.x[m - 1], r.y[m - 1]);
      };
      const auto as_probe = [&](int m) {
        const auto [x, y] = key(print, m);
        return self ? std::make_pair(x, y) : std::make_pair(400 - y, x);
      };
      if (as_probe(p.probe_first) == key(*gallery, p.gallery_first) &&
          as_probe(p.probe_second) == key(*gallery, p.gallery_second)) {
        ++true_pairs;
        EXPECT_EQ(p.rotation, self ? 0 : -90);
      }
    }
    // Every probe edge but the last sorted one finds its own copy.
    EXPECT_GE(true_pairs, used - 1);
  }
}

// One probe edge against one gallery edge at the limits of the pairing
// rules: lengths within 10 % of their sum, both relative angles within 11
// degrees (or 349 or more apart), the rotation between the join angles
// with the exchange mark taken off, and the gallery endpoints swapped when
// exactly one edge carries the mark. A long second probe edge, which takes
// no part itself, lets the first one pair.
TEST(BozorthPairs, LengthAndAngleLimitsOfOnePair) {
  struct Case {
    const char *name;
    Edge probe, gallery;
    bool paired;
    Pair expected;
  };
  const Edge p{1000, 20, 60, 1, 2, 10};
  const Case cases[] = {
      {"identical", p, {1000, 20, 60, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"beta_lo 11 above", p, {1000, 31, 60, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"beta_lo 11 below", p, {1000, 9, 60, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"beta_lo 12 above", p, {1000, 32, 60, 3, 4, 10}, false, {}},
      {"beta_hi 11 above", p, {1000, 20, 71, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"beta_hi 11 below", p, {1000, 20, 49, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"beta_hi 12 below", p, {1000, 20, 48, 3, 4, 10}, false, {}},
      {"both 11 apart", p, {1000, 9, 71, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"349 apart across the half turn", {1000, -170, 60, 1, 2, 10},
       {1000, 179, 60, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"348 apart", {1000, -170, 60, 1, 2, 10}, {1000, 178, 60, 3, 4, 10}, false, {}},
      // dz = 200 against f = 0.1 x 2000: equal is near enough.
      {"longer by exactly 10 % of the sum", {900, 20, 60, 1, 2, 10},
       {1100, 20, 60, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"longer by more", {900, 20, 60, 1, 2, 10}, {1101, 20, 60, 3, 4, 10}, false, {}},
      {"shorter by exactly 10 % of the sum", {1100, 20, 60, 1, 2, 10},
       {900, 20, 60, 3, 4, 10}, true, {0, 1, 2, 3, 4}},
      {"shorter by more", {1100, 20, 60, 1, 2, 10}, {899, 20, 60, 3, 4, 10}, false, {}},
      {"rotation", p, {1000, 20, 60, 3, 4, -25}, true, {35, 1, 2, 3, 4}},
      {"rotation wraps to -179..180", {1000, 20, 60, 1, 2, -90},
       {1000, 20, 60, 3, 4, 90}, true, {180, 1, 2, 3, 4}},
      // Marked join 445 is 45 - 180 = -135 unmarked; the endpoints swap.
      {"one edge marked", p, {1000, 20, 60, 3, 4, 445}, true, {145, 1, 2, 4, 3}},
      {"both edges marked", {1000, 20, 60, 1, 2, 410}, {1000, 20, 60, 3, 4, 445}, true,
       {-35, 1, 2, 3, 4}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    auto probe = std::make_unique<EdgeTable>();
    probe->count = 2;
    probe->rows[0] = c.probe;
    probe->rows[1] = Edge{100000, 0, 0, 5, 6, 0};
    probe->order[0] = 0;
    probe->order[1] = 1;
    auto gallery = std::make_unique<EdgeTable>();
    gallery->count = 1;
    gallery->rows[0] = c.gallery;
    gallery->order[0] = 0;
    auto pairs = std::make_unique<PairTable>();
    bozorth::PairEdges(*probe, 2, *gallery, 1, pairs.get());
    ASSERT_EQ(pairs->count, c.paired ? 1 : 0);
    if (!c.paired) continue;
    const Pair &got = pairs->rows[0];
    EXPECT_EQ(got.rotation, c.expected.rotation);
    EXPECT_EQ(std::make_tuple(got.probe_first, got.probe_second, got.gallery_first,
                              got.gallery_second),
              std::make_tuple(c.expected.probe_first, c.expected.probe_second,
                              c.expected.gallery_first, c.expected.gallery_second));
  }
}

TEST(BozorthPairs, FewerThanTwoProbeEdgesPairNothing) {
  const xyt_record print = MakeRecord(SpreadPoints(12, 40));
  auto t = Edges(print);
  auto pairs = std::make_unique<PairTable>();
  for (int used : {-5, 0, 1}) {
    bozorth::PairEdges(*t, used, *t, t->count, pairs.get());
    EXPECT_EQ(pairs->count, 0);
  }
  // A count beyond the table is held to it.
  bozorth::PairEdges(*t, 1000000, *t, 1000000, pairs.get());
  EXPECT_GT(pairs->count, 0);
}

}  // namespace
