// False-minutia removal on small drawn images: islands and holes, minutiae
// pointing to or lying near blocks without a direction, side minutiae moved
// to their tip, ridge breaks, and the perimeter pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binary_image.h"
#include "minutiae/lfs_common.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_remove.h"
#include "support/stderr_capture.h"

namespace {

using minutiae_test::BinaryImage;
using minutiae_test::Draw;
using testing_support::StderrCapture;

const lfs_params &P() { return lfs_params_V2; }

// Owns a minutiae list.
struct List {
  lfs_minutiae *list = nullptr;
  List() { EXPECT_EQ(alloc_minutiae(&list, 1000), 0); }
  ~List() { release_minutiae(list); }
  int size() const { return list->count; }
  const lfs_minutia &operator[](int i) const { return *list->list[i]; }
  void Push(int x, int y, int ex, int ey, int dir, int type) {
    lfs_minutia *m;
    ASSERT_EQ(create_minutia(&m, x, y, ex, ey, dir, 0.99, type, 0, 0), 0);
    list->list[list->count++] = m;
  }
  std::vector<std::pair<int, int>> Positions() const {
    std::vector<std::pair<int, int>> v;
    for (int i = 0; i < size(); ++i) v.emplace_back((*this)[i].x, (*this)[i].y);
    return v;
  }
};

// Block maps of mw x mh blocks, every block with direction d unless set.
struct Maps {
  int mw, mh;
  std::vector<int> direction, low_flow, high_curve;
  Maps(int w, int h, int d = 0)
      : mw(w), mh(h), direction(w * h, d), low_flow(w * h, 0), high_curve(w * h, 0) {}
  void Invalidate(int bx, int by) { direction[by * mw + bx] = -1; }
  lfs_block_maps View() const {
    return {direction.data(), low_flow.data(), high_curve.data(), mw, mh};
  }
};

// A vertical ridge two pixels wide (columns 8 and 9) from row top to row
// bottom, in a 18 x h valley.
BinaryImage VerticalRidges(int h, const std::vector<std::pair<int, int>> &runs) {
  std::vector<std::string> rows(h, std::string(18, '.'));
  for (const auto &[top, bottom] : runs)
    for (int y = top; y <= bottom; ++y) rows[y][8] = rows[y][9] = '#';
  return Draw(rows);
}

TEST(LfsRemoveTest, BothEndsOfAShortIslandGoAndTheIslandIsFilled) {
  BinaryImage img = VerticalRidges(30, {{8, 19}});  // 12 rows long
  List list;
  list.Push(8, 8, 8, 7, 16, 1);    // top end, the ridge below it
  list.Push(8, 19, 8, 20, 0, 1);   // bottom end, the ridge above it
  list.Push(14, 10, 14, 9, 0, 1);  // claims a ridge on a valley pixel
  ASSERT_EQ(sort_minutiae_y_x(list.list, img.width), 0);
  ASSERT_EQ(remove_islands_and_lakes(list.list, img.data(), img.width, img.height, &P()), 0);
  EXPECT_EQ(list.size(), 0);
  for (unsigned char v : img.pixels) EXPECT_EQ(v, 0);
}

TEST(LfsRemoveTest, ARidgeBreakIsNoIslandButAnOverlap) {
  const BinaryImage img = VerticalRidges(40, {{0, 14}, {18, 39}});
  struct Case {
    const char *name;
    int lower_type;
    int expected_overlaps_left;
  };
  for (const Case &c : {Case{"same type", 1, 0}, Case{"types differ", 0, 2}}) {
    SCOPED_TRACE(c.name);
    BinaryImage work = img;
    List list;
    list.Push(8, 14, 8, 15, 0, 1);  // the upper piece's end, its ridge above
    list.Push(8, 18, 8, 17, 16, 1);
    list.list->list[1]->type = c.lower_type;
    if (c.lower_type == 0) list.list->list[1]->y = 17;  // a valley pixel for its colour
    ASSERT_EQ(remove_islands_and_lakes(list.list, work.data(), 18, 40, &P()), 0);
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(work.pixels, img.pixels);
    ASSERT_EQ(remove_overlaps(list.list, work.data(), 18, 40, &P()), 0);
    EXPECT_EQ(list.size(), c.expected_overlaps_left);
  }
}

TEST(LfsRemoveTest, HolePassRemovesBifurcationsOnSmallLoopsOnly) {
  // A 2 x 2 valley hole inside a ridge blob.
  const BinaryImage img = Draw({
      "..........",
      ".########.",
      ".########.",
      ".###..###.",
      ".###..###.",
      ".########.",
      ".########.",
      "..........",
  });
  List list;
  list.Push(4, 3, 3, 3, 0, 0);  // bifurcation on the hole
  list.Push(3, 3, 4, 3, 0, 1);  // ridge ending beside it: not examined
  ASSERT_EQ(remove_holes(list.list, img.data(), img.width, img.height, &P()), 0);
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(list[0].type, 1);
}

TEST(LfsRemoveTest, PointingPassLooksFourPixelsBehindTheDirection) {
  struct Case {
    int x, y, direction;
    int bx, by;  // the block without a direction
    bool removed;
  };
  const Case cases[] = {
      {20, 20, 0, 2, 3, true},    // looks at (20, 24)
      {20, 20, 16, 2, 3, false},  // looks at (20, 16)
      {19, 20, 8, 1, 2, true},    // looks at (15, 20)
      {20, 20, 8, 1, 2, false},   // looks at (16, 20), still block (2, 2)
      {20, 20, 24, 3, 2, true},   // looks at (24, 20)
      {20, 20, 24, 1, 2, false},
      {1, 1, 8, 0, 0, true},      // (-3, 1) clamps into block (0, 0)
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " dir " << c.direction);
    Maps maps(5, 5);
    maps.Invalidate(c.bx, c.by);
    const lfs_block_maps view = maps.View();
    List list;
    list.Push(c.x, c.y, c.x, c.y - 1, c.direction, 1);
    ASSERT_EQ(remove_pointing_invblock(list.list, &view, &P()), 0);
    EXPECT_EQ(list.size(), c.removed ? 0 : 1);
  }
}

TEST(LfsRemoveTest, NearInvalidBlockPassTestsTheNeighboursOfTheCornerZone) {
  // A minutia at (5, 2) inside block (2, 2) tests N, NE and E.
  struct Case {
    const char *name;
    int dx, dy;
    bool removed;
  };
  const Case cases[] = {{"N", 0, -1, true},  {"NE", 1, -1, true}, {"E", 1, 0, true},
                        {"SE", 1, 1, false}, {"S", 0, 1, false},  {"SW", -1, 1, false},
                        {"W", -1, 0, false}, {"NW", -1, -1, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Maps maps(5, 5);
    // The neighbour and the blocks beyond it lose their direction, so the
    // neighbour has fewer than 7 neighbours with one.
    const int nx = 2 + c.dx, ny = 2 + c.dy;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) {
        const bool ring2 = std::max(std::abs(x - 2), std::abs(y - 2)) == 2;
        if ((x == nx && y == ny) || (ring2 && std::abs(x - nx) <= 1 && std::abs(y - ny) <= 1))
          maps.Invalidate(x, y);
      }
    const lfs_block_maps view = maps.View();
    List list;
    list.Push(16 + 5, 16 + 2, 21, 17, 0, 1);
    ASSERT_EQ(remove_near_invblock_V2(list.list, &view, &P()), 0);
    EXPECT_EQ(list.size(), c.removed ? 0 : 1);
  }
}

TEST(LfsRemoveTest, NearInvalidBlockPassEdgesAndRefusals) {
  Maps maps(5, 5);
  const lfs_block_maps view = maps.View();
  {
    // A lone block without a direction keeps 8 neighbours with one.
    Maps lone(5, 5);
    lone.Invalidate(2, 1);
    const lfs_block_maps lone_view = lone.View();
    List list;
    list.Push(21, 18, 21, 17, 0, 1);
    ASSERT_EQ(remove_near_invblock_V2(list.list, &lone_view, &P()), 0);
    EXPECT_EQ(list.size(), 1);
  }
  {
    // In the top row of blocks the N neighbour lies outside the map.
    List list;
    list.Push(21, 2, 21, 1, 0, 1);
    list.Push(21, 5, 21, 4, 0, 1);  // bottom zone of the same block: S, SE, E
    ASSERT_EQ(remove_near_invblock_V2(list.list, &view, &P()), 0);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].y, 5);
  }
  {
    lfs_params params = P();
    params.invalid_block_margin = 5;
    List list;
    list.Push(21, 18, 21, 17, 0, 1);
    StderrCapture err;
    EXPECT_EQ(remove_near_invblock_V2(list.list, &view, &params), -620);
    EXPECT_EQ(err.Text(), "ERROR : remove_near_invblock_V2 : margin too large for blocksize\n");
    EXPECT_EQ(list.size(), 1);
  }
}

TEST(LfsRemoveTest, SidePassMovesAMinutiaToItsTipOrDropsAShortFeature) {
  const BinaryImage ridge = VerticalRidges(40, {{5, 39}});
  {
    const Maps maps(3, 5);
    const lfs_block_maps view = maps.View();
    List list;
    list.Push(8, 8, 7, 8, 16, 1);  // on the ridge's left side, below its tip
    ASSERT_EQ(remove_or_adjust_side_minutiae_V2(list.list, ridge.data(), 18, 40, &view, &P()),
              0);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].y, 5);
    EXPECT_EQ(ridge.at(list[0].x, list[0].y), 1);
    EXPECT_EQ(ridge.at(list[0].edge_x, list[0].edge_y), 0);
  }
  {
    // Moved into a block without a direction: removed.
    Maps maps(3, 5);
    maps.Invalidate(1, 0);
    const lfs_block_maps view = maps.View();
    List list;
    list.Push(8, 8, 7, 8, 16, 1);
    ASSERT_EQ(remove_or_adjust_side_minutiae_V2(list.list, ridge.data(), 18, 40, &view, &P()),
              0);
    EXPECT_EQ(list.size(), 0);
  }
  {
    // A blob whose outline closes within 7 steps each way.
    const BinaryImage blob = Draw({".....", ".###.", ".###.", ".###.", "....."});
    Maps maps(1, 1);
    const lfs_block_maps view = maps.View();
    List list;
    list.Push(1, 2, 0, 2, 8, 1);
    ASSERT_EQ(remove_or_adjust_side_minutiae_V2(list.list, blob.data(), 5, 5, &view, &P()), 0);
    EXPECT_EQ(list.size(), 0);
  }
}

// A ridge region from column 20 to 50 on rows 10..39 of a 60 x 40 image.
BinaryImage Slab() {
  std::vector<std::string> rows(40, std::string(60, '.'));
  for (int y = 10; y < 40; ++y)
    for (int x = 20; x <= 50; ++x) rows[y][x] = '#';
  return Draw(rows);
}

TEST(LfsRemoveTest, PerimeterPassTruncatesTheDistanceToTheOutline) {
  const BinaryImage img = Slab();
  List list;
  list.Push(10, 10, 9, 10, 0, 0);   // exactly 10 from (20, 10): stays
  list.Push(13, 3, 13, 2, 0, 0);    // 9.9 from (20, 10): removed
  list.Push(35, 25, 35, 24, 0, 1);  // 15 from both sides: stays
  list.Push(59, 20, 58, 20, 0, 0);  // 9 from (50, 20): removed
  ASSERT_EQ(remove_perimeter_pts(list.list, img.data(), img.width, img.height, &P()), 0);
  EXPECT_EQ(list.Positions(), (std::vector<std::pair<int, int>>{{10, 10}, {35, 25}}));
}

TEST(LfsRemoveTest, PerimeterPassRefusesCleanlyWhenMemoryRunsOut) {
  const BinaryImage img = Slab();
  for (int ok = 0; ok < 2; ++ok) {
    SCOPED_TRACE(ok);
    List list;
    list.Push(13, 3, 13, 2, 0, 0);
    StderrCapture err;
    LfsFailAllocationsAfterForTest(ok);
    const int r = remove_perimeter_pts(list.list, img.data(), img.width, img.height, &P());
    LfsFailAllocationsAfterForTest(-1);
    EXPECT_EQ(r, -690);
    EXPECT_EQ(err.Text(), "ERROR : remove_perimeter_pts : malloc : outline\n");
    EXPECT_EQ(list.size(), 1);
  }
}

}  // namespace
