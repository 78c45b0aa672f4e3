// The minutia scan: feature patterns in row and column pairs, candidate
// directions, the rival rules of the list, high-curvature refinement, loop
// minutiae, and features painted on grey ridge patterns.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "binary_image.h"
#include "detect_steps.h"
#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_scan.h"
#include "support/stderr_capture.h"

namespace {

using minutiae_test::BinaryImage;
using minutiae_test::Draw;
using minutiae_test::GreyImage;
using minutiae_test::RunScan;
using minutiae_test::Scan;
using testing_support::StderrCapture;

const lfs_params &P() { return lfs_params_V2; }

// Owns a minutiae list.
struct List {
  lfs_minutiae *list = nullptr;
  List() { EXPECT_EQ(alloc_minutiae(&list, 1000), 0); }
  ~List() { release_minutiae(list); }
  int size() const { return list->count; }
  const lfs_minutia &operator[](int i) const { return *list->list[i]; }
  // Adds a minutia as the scan would have, without the rival rules.
  void Push(int x, int y, int ex, int ey, int dir, int type) {
    lfs_minutia *m;
    ASSERT_EQ(create_minutia(&m, x, y, ex, ey, dir, 0.99, type, 0, 0), 0);
    list->list[list->count++] = m;
  }
};

// Block maps of one value over the whole image.
struct UniformMaps {
  int mw, mh;
  std::vector<int> direction, low_flow, high_curve;
  UniformMaps(const BinaryImage &img, int d, int lf = 0, int hc = 0)
      : mw((img.width + 7) / 8),
        mh((img.height + 7) / 8),
        direction(mw * mh, d),
        low_flow(mw * mh, lf),
        high_curve(mw * mh, hc) {}
};

int ScanInto(List &out, BinaryImage &img, const UniformMaps &maps) {
  return scan_for_minutiae(out.list, img.data(), img.width, img.height, maps.direction.data(),
                           maps.low_flow.data(), maps.high_curve.data(), maps.mw, maps.mh, &P());
}

// A 16 x 8 image whose row pair (3, 4) holds a pattern: its first pair in
// columns 0..10, its second pair in columns 11..12, its third in 13..15.
// Every other row repeats its neighbour, so no other pair matches. With
// `columns` the image is turned: column pair (3, 4), rows 0..15.
BinaryImage PatternImage(const lfs_feature_pattern &p, bool columns) {
  std::string a, b;
  for (int i = 0; i < 16; ++i) {
    const int *pair = i <= 10 ? p.first : i <= 12 ? p.second : p.third;
    a += pair[0] ? '#' : '.';
    b += pair[1] ? '#' : '.';
  }
  std::vector<std::string> rows;
  if (!columns) {
    rows.assign(4, a);
    rows.insert(rows.end(), 4, b);
  } else {
    for (int y = 0; y < 16; ++y) rows.push_back(std::string(4, a[y]) + std::string(4, b[y]));
  }
  return Draw(rows);
}

TEST(LfsScanTest, EveryPatternGivesOneCandidateOnItsOwnColour) {
  // id, type, appearing as the pattern table gives them.
  const int expected[10][3] = {{0, 1, 1}, {1, 1, 0}, {2, 0, 0}, {3, 0, 1}, {4, 0, 0},
                               {5, 0, 0}, {6, 0, 1}, {7, 0, 1}, {8, 0, 0}, {9, 0, 1}};
  for (bool columns : {false, true}) {
    for (const auto &e : expected) {
      SCOPED_TRACE(testing::Message() << (columns ? "columns" : "rows") << ", pattern " << e[0]);
      BinaryImage img = PatternImage(pair_patterns[e[0]], columns);
      List list;
      ASSERT_EQ(ScanInto(list, img, UniformMaps(img, 0)), 0);
      ASSERT_EQ(list.size(), 1);
      const lfs_minutia &m = list[0];
      EXPECT_EQ(m.pattern_id, e[0]);
      EXPECT_EQ(m.type, e[1]);
      EXPECT_EQ(m.appearing, e[2]);
      // The run of the second pair is 11..12 and the third pair at 13: the
      // minutia sits at 12, on the pixel of the pair with its own colour.
      const int own = e[2] ? 4 : 3, other = e[2] ? 3 : 4;
      if (columns) {
        EXPECT_EQ((std::vector<int>{m.x, m.y, m.edge_x, m.edge_y}),
                  (std::vector<int>{own, 12, other, 12}));
      } else {
        EXPECT_EQ((std::vector<int>{m.x, m.y, m.edge_x, m.edge_y}),
                  (std::vector<int>{12, own, 12, other}));
      }
      EXPECT_EQ(img.at(m.x, m.y), m.type);
      EXPECT_NE(img.at(m.edge_x, m.edge_y), m.type);
      EXPECT_DOUBLE_EQ(m.reliability, 0.99);
    }
  }
}

TEST(LfsScanTest, ARidgeDotInARowPairIsAnAppearingRidgeEnding) {
  // Rows 0,0 / 0,1 / 0,1 / 0,0 at columns 10..13 of row pair (3, 4).
  BinaryImage img = Draw({
      "................",
      "................",
      "................",
      "................",
      "...........##...",
      "................",
      "................",
      "................",
  });
  List list;
  ASSERT_EQ(ScanInto(list, img, UniformMaps(img, 0)), 0);
  bool found = false;
  for (int i = 0; i < list.size(); ++i) {
    const lfs_minutia &m = list[i];
    if (m.pattern_id != 0 || m.y != 4) continue;
    found = true;
    EXPECT_EQ((std::vector<int>{m.x, m.y, m.edge_x, m.edge_y, m.type, m.appearing}),
              (std::vector<int>{12, 4, 12, 3, 1, 1}));
  }
  EXPECT_TRUE(found);
}

TEST(LfsScanTest, CandidateDirectionsFollowTheBlockDirectionAndTheScan) {
  // Pattern 0 appears, pattern 1 disappears.
  const struct {
    bool columns;
    int pattern, d, direction;
  } cases[] = {
      {false, 0, 0, 16}, {false, 1, 0, 0},  {false, 0, 8, 24},  {false, 1, 8, 8},
      {false, 0, 9, 9},  {false, 1, 9, 25}, {false, 0, 15, 15}, {false, 1, 15, 31},
      {true, 0, 0, 0},   {true, 1, 0, 16},  {true, 0, 8, 8},    {true, 1, 8, 24},
      {true, 0, 9, 9},   {true, 1, 9, 25},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << (c.columns ? "columns" : "rows") << ", pattern "
                                    << c.pattern << ", d " << c.d);
    BinaryImage img = PatternImage(pair_patterns[c.pattern], c.columns);
    List list;
    ASSERT_EQ(ScanInto(list, img, UniformMaps(img, c.d)), 0);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].direction, c.direction);
  }
}

TEST(LfsScanTest, BlockFlagsDecideWhetherAndHowReliably) {
  BinaryImage img = PatternImage(pair_patterns[0], false);
  {
    List list;  // no direction: no minutia
    ASSERT_EQ(ScanInto(list, img, UniformMaps(img, -1)), 0);
    EXPECT_EQ(list.size(), 0);
  }
  {
    List list;  // low flow: half the reliability
    ASSERT_EQ(ScanInto(list, img, UniformMaps(img, 0, 1)), 0);
    ASSERT_EQ(list.size(), 1);
    EXPECT_DOUBLE_EQ(list[0].reliability, 0.5);
  }
  {
    List list;  // maps of the wrong size are refused by the pixel maps
    const UniformMaps small(Draw({"........"}), 0);
    StderrCapture err;
    EXPECT_EQ(scan_for_minutiae(list.list, img.data(), img.width, img.height,
                                small.direction.data(), small.low_flow.data(),
                                small.high_curve.data(), 1, 1, &P()),
              -591);
    EXPECT_EQ(list.size(), 0);
  }
}

// A horizontal ridge, rows 4..6, from x = 2 to the right edge.
BinaryImage HorizontalRidge() {
  return Draw({
      "....................",
      "....................",
      "....................",
      "....................",
      "..##################",
      "..##################",
      "..##################",
      "....................",
      "....................",
      "....................",
      "....................",
      "..........##########",  // a second ridge, apart from the first
      "....................",
  });
}

TEST(LfsScanRivalTest, ARivalOnTheSameContourGivesWayOnlyToThePreferredScan) {
  // The rival (direction 6) sits on the top edge of the ridge at x = 5; the
  // candidate 3 pixels along the same edge.
  const struct {
    const char *name;
    int cand_x, cand_y, cand_edge_y, cand_dir, cand_type, scan, d;
    int result;
    std::vector<int> xs;  // x of the minutiae left, in list order
  } cases[] = {
      {"column scan in a block of direction 8 replaces", 8, 4, 3, 8, 1, LFS_SCAN_COLUMNS, 8, 0,
       {8}},
      {"row scan in a block of direction 8 is refused", 8, 4, 3, 8, 1, LFS_SCAN_ROWS, 8, 2, {5}},
      {"row scan in a block of direction 0 replaces", 8, 4, 3, 8, 1, LFS_SCAN_ROWS, 0, 0, {8}},
      {"rows are preferred just past a quarter turn", 8, 4, 3, 8, 1, LFS_SCAN_ROWS, 13, 0, {8}},
      {"columns are preferred at three quarters", 8, 4, 3, 8, 1, LFS_SCAN_COLUMNS, 12, 0, {8}},
      {"columns are not preferred at a quarter", 8, 4, 3, 8, 1, LFS_SCAN_COLUMNS, 4, 2, {5}},
      {"a block without direction refuses", 8, 4, 3, 8, 1, LFS_SCAN_COLUMNS, -1, 2, {5}},
      {"the same pixel is refused whatever the scan", 5, 4, 3, 8, 1, LFS_SCAN_COLUMNS, 8, 2,
       {5}},
      {"another type is no rival", 8, 4, 3, 8, 0, LFS_SCAN_ROWS, 8, 0, {5, 8}},
      {"a direction 5 steps away is no rival", 8, 4, 3, 11, 1, LFS_SCAN_ROWS, 8, 0, {5, 8}},
      {"4 steps away is", 8, 4, 3, 2, 1, LFS_SCAN_ROWS, 8, 2, {5}},
      {"10 pixels away is no rival", 15, 4, 3, 8, 1, LFS_SCAN_ROWS, 8, 0, {5, 15}},
      {"a close pixel on another contour is no rival", 11, 11, 10, 8, 1, LFS_SCAN_ROWS, 8, 0,
       {5, 11}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    BinaryImage img = HorizontalRidge();
    List list;
    list.Push(5, 4, 5, 3, 6, 1);
    lfs_minutia *m;
    ASSERT_EQ(create_minutia(&m, c.cand_x, c.cand_y, c.cand_x, c.cand_edge_y, c.cand_dir, 0.99,
                             c.cand_type, 1, 0),
              0);
    const int r = add_scan_minutia(list.list, m, c.scan, c.d, img.data(), img.width,
                                   img.height, &P());
    EXPECT_EQ(r, c.result);
    if (r != 0) release_minutia(m);
    std::vector<int> xs;
    for (int i = 0; i < list.size(); ++i) xs.push_back(list[i].x);
    EXPECT_EQ(xs, c.xs);
  }
}

TEST(LfsScanRivalTest, LoopMinutiaeNeverReplaceARival) {
  const struct {
    const char *name;
    int x, y, ey;
    int result;
  } cases[] = {
      {"on the rival's contour", 8, 4, 3, 2},
      {"at the rival's pixel", 5, 4, 3, 2},
      {"on another contour", 11, 11, 10, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    BinaryImage img = HorizontalRidge();
    List list;
    list.Push(5, 4, 5, 3, 8, 1);
    lfs_minutia *m;
    ASSERT_EQ(create_minutia(&m, c.x, c.y, c.x, c.ey, 8, 0.99, 1, 1, LFS_LOOP_PATTERN_ID), 0);
    const int r = add_loop_minutia(list.list, m, img.data(), img.width, img.height, &P());
    EXPECT_EQ(r, c.result);
    if (r != 0) release_minutia(m);
    EXPECT_EQ(list.size(), c.result == 0 ? 2 : 1);
    EXPECT_EQ(list[0].x, 5);
  }
}

TEST(LfsScanRivalTest, AFullListGrowsByAThousand) {
  BinaryImage img = HorizontalRidge();
  lfs_minutiae *list = nullptr;
  ASSERT_EQ(alloc_minutiae(&list, 1), 0);
  for (int i = 0; i < 2; ++i) {
    lfs_minutia *m;
    ASSERT_EQ(create_minutia(&m, 2 + 15 * i, 4, 2 + 15 * i, 3, 8, 0.99, 1, 1, 0), 0);
    ASSERT_EQ(add_scan_minutia(list, m, LFS_SCAN_COLUMNS, 8, img.data(), img.width, img.height,
                               &P()),
              0);
  }
  EXPECT_EQ(list->count, 2);
  EXPECT_EQ(list->capacity, 1001);
  release_minutiae(list);
}

// Follows the loop round an island from its top-left pixel: the start, then
// the rest of the boundary.
struct Loop {
  std::vector<int> x, y, ex, ey;
  explicit Loop(const BinaryImage &img, int sx, int sy) {
    int *cx, *cy, *cex, *cey, n = 0;
    EXPECT_EQ(follow_contour(&cx, &cy, &cex, &cey, &n, 200, sx, sy, sx, sy, sx, sy - 1,
                             LFS_SCAN_CLOCKWISE, img.data(), img.width, img.height),
              LFS_LOOP_FOUND);
    x = {sx};
    y = {sy};
    ex = {sx};
    ey = {sy - 1};
    x.insert(x.end(), cx, cx + n);
    y.insert(y.end(), cy, cy + n);
    ex.insert(ex.end(), cex, cex + n);
    ey.insert(ey.end(), cey, cey + n);
    release_contour(cx, cy, cex, cey);
  }
  int n() const { return static_cast<int>(x.size()); }
};

TEST(LfsLoopMinutiaeTest, ShortOrRoundLoopsAreFilled) {
  const struct {
    const char *name;
    std::vector<std::string> rows;
  } cases[] = {
      {"a loop of 20 pixels or fewer", {"........", ".#####..", ".#####..", ".#####..", "........"}},
      {"a round loop", {"..........", ".#######..", ".#######..", ".#######..", ".#######..",
                        ".#######..", ".#######..", ".#######..", ".........."}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    BinaryImage img = Draw(c.rows);
    const Loop loop(img, 1, 1);
    std::vector<int> lf(img.pixels.size(), 0);
    List list;
    ASSERT_EQ(loop_to_minutiae(loop.x.data(), loop.y.data(), loop.ex.data(), loop.ey.data(),
                               loop.n(), list.list, img.data(), img.width, img.height, lf.data(),
                               &P()),
              0);
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(img.pixels, std::vector<unsigned char>(img.pixels.size(), 0));
  }
}

TEST(LfsLoopMinutiaeTest, ALongThinLoopGivesTwoOppositeMinutiae) {
  BinaryImage img = Draw({
      "......................",
      ".###################..",
      ".###################..",
      "......................",
  });
  const BinaryImage before = img;
  const Loop loop(img, 1, 1);
  ASSERT_GT(loop.n(), 20);
  std::vector<int> lf(img.pixels.size(), 0);
  lf[2 * img.width + 19] = 1;  // low flow at the right end
  List list;
  ASSERT_EQ(loop_to_minutiae(loop.x.data(), loop.y.data(), loop.ex.data(), loop.ey.data(),
                             loop.n(), list.list, img.data(), img.width, img.height, lf.data(),
                             &P()),
            0);
  EXPECT_EQ(img.pixels, before.pixels);  // nothing filled
  ASSERT_EQ(list.size(), 2);
  const lfs_minutia &a = list[0], &b = list[1];
  EXPECT_EQ(a.pattern_id, LFS_LOOP_PATTERN_ID);
  EXPECT_EQ(b.pattern_id, LFS_LOOP_PATTERN_ID);
  EXPECT_EQ(a.type, 1);  // the loop is of ridge colour
  EXPECT_EQ(b.type, 1);
  EXPECT_EQ((a.direction + 16) % 32, b.direction);
  // The widest pair joins the two ends of the island.
  EXPECT_EQ(std::min(a.x, b.x), 1);
  EXPECT_EQ(std::max(a.x, b.x), 19);
  const lfs_minutia &right = a.x == 19 ? a : b;
  const lfs_minutia &left = a.x == 19 ? b : a;
  EXPECT_EQ(right.y, 2);
  EXPECT_DOUBLE_EQ(right.reliability, 0.5);
  EXPECT_DOUBLE_EQ(left.reliability, 0.99);
  EXPECT_EQ(left.direction, 8);  // from the left end towards the right one
}

TEST(LfsHighCurvatureTest, ACandidateMovesToTheTipOfASharpTurn) {
  // A ridge 3 pixels thick ending at x = 12; the scan found a candidate on
  // its top edge, in a high-curvature block.
  BinaryImage img = Draw({
      "........................",
      "........................",
      "........................",
      "...##########...........",
      "...###########..........",
      "...##########...........",
      "........................",
      "........................",
  });
  std::vector<int> pdir(img.pixels.size(), 8), plow(img.pixels.size(), 0),
      phigh(img.pixels.size(), 1);
  const lfs_scan_image scan = {img.data(), img.width, img.height, pdir.data(), plow.data(),
                               phigh.data()};
  List list;
  int x = 10, y = 3, ex = 10, ey = 2, direction = -1;
  ASSERT_EQ(refine_high_curvature_minutia(&x, &y, &ex, &ey, &direction, list.list, &scan, &P()),
            0);
  EXPECT_EQ((std::vector<int>{x, y}), (std::vector<int>{13, 4}));  // the tip
  EXPECT_NE(img.at(ex, ey), 1);
  EXPECT_EQ(std::abs(ex - x) + std::abs(ey - y), 1);
  EXPECT_EQ(direction, 24);  // into the ridge, towards decreasing x

  // A straight edge has no turn sharp enough.
  BinaryImage straight = Draw({
      "..................................",
      "..................................",
      "##################################",
      "##################################",
      "..................................",
  });
  std::vector<int> sdir(straight.pixels.size(), 8), slow(straight.pixels.size(), 0),
      shigh(straight.pixels.size(), 1);
  const lfs_scan_image s2 = {straight.data(), straight.width, straight.height, sdir.data(),
                             slow.data(), shigh.data()};
  x = 17, y = 2, ex = 17, ey = 1;
  EXPECT_EQ(refine_high_curvature_minutia(&x, &y, &ex, &ey, &direction, list.list, &s2, &P()),
            2);
  EXPECT_EQ(x, 17);
}

// A narrow valley slit cut into a wide ridge turns just as sharply at its
// bottom as a ridge ending does at its tip, but the chord across the turn
// lies in the valley: the turn is the valley's, so the ridge pixel on the
// slit's wall yields no minutia and stays where it was.
TEST(LfsHighCurvatureTest, ATurnWhoseChordLiesInTheValleyIsNoMinutia) {
  std::vector<std::string> rows(16, std::string(34, '.'));
  for (int y = 3; y <= 12; ++y)
    for (int x = 2; x <= 31; ++x) rows[y][x] = '#';
  for (int y = 3; y <= 9; ++y) rows[y][16] = '.';
  BinaryImage img = Draw(rows);
  std::vector<int> pdir(img.pixels.size(), 8), plow(img.pixels.size(), 0),
      phigh(img.pixels.size(), 1);
  const lfs_scan_image scan = {img.data(), img.width, img.height, pdir.data(), plow.data(),
                               phigh.data()};
  List list;
  int x = 15, y = 6, ex = 16, ey = 6, direction = -1;
  EXPECT_EQ(refine_high_curvature_minutia(&x, &y, &ex, &ey, &direction, list.list, &scan, &P()),
            2);
  EXPECT_EQ((std::vector<int>{x, y, ex, ey}), (std::vector<int>{15, 6, 16, 6}));
  EXPECT_EQ(list.size(), 0);
}

TEST(LfsHighCurvatureTest, AnIslandInAHighCurvatureBlockIsFilledDuringTheScan) {
  BinaryImage img = Draw({
      "................",
      "................",
      "................",
      "......####......",
      "......####......",
      "................",
      "................",
      "................",
  });
  List list;
  ASSERT_EQ(ScanInto(list, img, UniformMaps(img, 8, 0, 1)), 0);
  EXPECT_EQ(list.size(), 0);
  EXPECT_EQ(img.pixels, std::vector<unsigned char>(img.pixels.size(), 0));
}

// Horizontal ridges of period 8 with a fork at (x0, y0): the phase winds once
// round it, so one side has a ridge more. phase0 = 0 makes the dark ridges
// fork there, pi makes one of them end there.
GreyImage Fork(int w, int h, int x0, int y0, double phase0) {
  GreyImage img{w, h, std::vector<unsigned char>(static_cast<size_t>(w) * h)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double phase =
          2.0 * M_PI * y / 8.0 + std::atan2(y - y0 + 0.5, x - x0 + 0.5) + phase0;
      img.at(x, y) = static_cast<unsigned char>(std::lround(127.0 + 120.0 * std::cos(phase)));
    }
  return img;
}

// Horizontal ridges of period 8 (dark rows at y = 4 + 8k) with the ridge at
// row `ridge` painted over by valley from x0 to the right edge (or, with
// `left`, from the left edge to x0).
GreyImage CutRidge(int w, int h, int ridge, int x0, bool left) {
  GreyImage img = minutiae_test::Grating(w, h, 90.0, 8.0);
  for (int y = ridge - 3; y <= ridge + 3; ++y)
    for (int x = left ? 0 : x0; x < (left ? x0 : w); ++x) img.at(x, y) = 247;
  return img;
}

// The minutiae within `radius` pixels of (x, y) on both axes.
std::vector<lfs_minutia> Near(const Scan &s, int x, int y, int radius) {
  std::vector<lfs_minutia> out;
  for (const lfs_minutia &m : s.minutiae)
    if (std::abs(m.x - x) <= radius && std::abs(m.y - y) <= radius) out.push_back(m);
  return out;
}

TEST(LfsScanFeaturesTest, PaintedFeaturesAreFoundWithTheirType) {
  const struct {
    const char *name;
    GreyImage img;
    int x, y, type;
  } cases[] = {
      {"fork of dark ridges", Fork(160, 160, 80, 80, 0.0), 80, 80, 0},
      {"the same with ridges and valleys swapped", Fork(160, 160, 80, 80, M_PI), 80, 80, 1},
      {"fork off-centre", Fork(160, 160, 64, 96, 0.0), 64, 96, 0},
      {"a cut ridge", CutRidge(160, 160, 84, 100, false), 100, 84, 1},
      {"a cut ridge, mirrored", CutRidge(160, 160, 84, 60, true), 60, 84, 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const Scan s = RunScan(c.img);
    ASSERT_EQ(s.maps.rc, 0);
    ASSERT_EQ(s.rc, 0);
    const std::vector<lfs_minutia> near = Near(s, c.x, c.y, 10);
    ASSERT_EQ(near.size(), 1u);
    EXPECT_EQ(near[0].type, c.type);
    EXPECT_LE(std::abs(near[0].x - c.x), 3);
    EXPECT_LE(std::abs(near[0].y - c.y), 3);
  }
}

TEST(LfsScanFeaturesTest, ARidgeEndingPointsAlongItsRidge) {
  // The ridge runs left of a cut on the right and right of a cut on the
  // left: directions half a turn apart, along the ridge's axis.
  const Scan right = RunScan(CutRidge(160, 160, 84, 100, false));
  const Scan left = RunScan(CutRidge(160, 160, 84, 60, true));
  const std::vector<lfs_minutia> a = Near(right, 100, 84, 10), b = Near(left, 60, 84, 10);
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].direction, 24);
  EXPECT_EQ(b[0].direction, 8);
  EXPECT_DOUBLE_EQ(a[0].reliability, 0.99);
}

TEST(LfsScanFeaturesTest, TheScanIsRepeatable) {
  const GreyImage img = Fork(128, 144, 60, 70, 0.0);
  const Scan a = RunScan(img), b = RunScan(img);
  EXPECT_EQ(a.binary, b.binary);
  ASSERT_EQ(a.minutiae.size(), b.minutiae.size());
  for (size_t i = 0; i < a.minutiae.size(); ++i) {
    EXPECT_EQ(a.minutiae[i].x, b.minutiae[i].x);
    EXPECT_EQ(a.minutiae[i].y, b.minutiae[i].y);
    EXPECT_EQ(a.minutiae[i].direction, b.minutiae[i].direction);
  }
}

}  // namespace
