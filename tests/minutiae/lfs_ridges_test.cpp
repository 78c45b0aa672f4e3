// Neighbour search and ridge counting on drawn binary images.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "binary_image.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_ridges.h"

namespace {

using minutiae_test::BinaryImage;
using minutiae_test::Draw;

const lfs_params &P() { return lfs_params_V2; }

struct List {
  lfs_minutiae *list = nullptr;
  List() { EXPECT_EQ(alloc_minutiae(&list, 1000), 0); }
  ~List() { release_minutiae(list); }
  int size() const { return list->count; }
  const lfs_minutia &operator[](int i) const { return *list->list[i]; }
  void Push(int x, int y, int type = 1) {
    lfs_minutia *m;
    ASSERT_EQ(create_minutia(&m, x, y, x, y - 1, 0, 0.99, type, 0, 0), 0);
    list->list[list->count++] = m;
  }
  std::vector<int> Neighbours(int i) const {
    const lfs_minutia &m = (*this)[i];
    return std::vector<int>(m.neighbors, m.neighbors + m.neighbor_count);
  }
  std::vector<int> Counts(int i) const {
    const lfs_minutia &m = (*this)[i];
    return std::vector<int>(m.ridge_counts, m.ridge_counts + m.neighbor_count);
  }
};

std::vector<int> Neighbours(const List &list, int first, int max = 5) {
  int *nbrs = nullptr, n = -1;
  EXPECT_EQ(find_neighbors(&nbrs, &n, max, first, list.list), 0);
  std::vector<int> v(nbrs, nbrs + n);
  std::free(nbrs);
  return v;
}

TEST(LfsRidgesTest, NeighbourSearchKeepsTheNearestLaterMinutiaeNearestFirst) {
  struct Case {
    const char *name;
    std::vector<std::pair<int, int>> points;  // sorted by x, the first is searched from
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"squared distances 1 to 36", {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}},
       {1, 2, 3, 4, 5}},
      {"nearer ones arrive later",
       {{0, 50}, {1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 45}, {6, 48}, {7, 50}},
       {6, 7, 5, 4, 3}},
      {"equal distances keep list order", {{0, 5}, {3, 1}, {3, 9}, {4, 5}}, {3, 1, 2}},
      {"fewer than five", {{0, 0}, {9, 9}}, {1}},
      {"none later", {{0, 0}}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    List list;
    for (const auto &[x, y] : c.points) list.Push(x, y);
    EXPECT_EQ(Neighbours(list, 0), c.expected);
  }
}

TEST(LfsRidgesTest, NeighboursAreOrderedClockwiseFromUp) {
  const BinaryImage blank = Draw(std::vector<std::string>(20, std::string(20, '.')));
  List list;
  for (const auto &[x, y] : std::vector<std::pair<int, int>>{
           {15, 15}, {10, 10}, {15, 5}, {10, 15}, {15, 10}})
    list.Push(x, y, 0);
  ASSERT_EQ(count_minutia_ridges(list.list, blank.data(), 20, 20, &P()), 0);
  // Sorted by x then y: (10,10) (10,15) (15,5) (15,10) (15,15).
  ASSERT_EQ(list[0].x, 10);
  ASSERT_EQ(list[0].y, 10);
  // Up-right, right, down-right, down.
  EXPECT_EQ(list.Neighbours(0), (std::vector<int>{2, 3, 4, 1}));
  EXPECT_EQ(list.Counts(0), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(list[4].neighbor_count, 0);
  EXPECT_EQ(list[4].neighbors, nullptr);
}

// Seven minutiae: the first has six later ones at squared distances 1, 4,
// 9, 16, 25 and 36 (to the right and below). It keeps the nearest five,
// right before down, each direction nearest first; the later minutiae keep
// every later one up to five.
TEST(LfsRidgesTest, EachMinutiaKeepsAtMostFiveNeighbours) {
  const BinaryImage blank = Draw(std::vector<std::string>(30, std::string(30, '.')));
  List list;
  for (const auto &[x, y] : std::vector<std::pair<int, int>>{
           {10, 10}, {11, 10}, {10, 12}, {13, 10}, {10, 14}, {15, 10}, {16, 10}})
    list.Push(x, y, 0);
  ASSERT_EQ(count_minutia_ridges(list.list, blank.data(), 30, 30, &P()), 0);
  // Sorted by x then y: 0 (10,10) 1 (10,12) 2 (10,14) 3 (11,10) 4 (13,10)
  // 5 (15,10) 6 (16,10).
  ASSERT_EQ(list.size(), 7);
  ASSERT_EQ(list[3].x, 11);
  EXPECT_EQ(list.Neighbours(0), (std::vector<int>{3, 4, 5, 1, 2}));
  EXPECT_EQ(list.Counts(0), (std::vector<int>(5, 0)));
  const int counts[] = {5, 5, 4, 3, 2, 1, 0};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(list[i].neighbor_count, counts[i]) << "minutia " << i;
}

TEST(LfsRidgesTest, DuplicatesGoBeforeTheSearchAndLoneMinutiaeGetNone) {
  const BinaryImage blank = Draw(std::vector<std::string>(8, std::string(8, '.')));
  List list;
  list.Push(3, 3, 0);
  list.Push(3, 3, 1);
  ASSERT_EQ(count_minutia_ridges(list.list, blank.data(), 8, 8, &P()), 0);
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(list[0].type, 1);  // the later one stays
  EXPECT_EQ(list[0].neighbor_count, 0);
}

// Row 10 of a 30-wide image: a ridge ending at x = 3 (ridge 2..3), full
// ridges at 8..9 and 14..15, valley up to x = 25.
BinaryImage Crossing(bool fragment) {
  std::vector<std::string> rows(21, std::string(30, '.'));
  for (int y = 0; y < 21; ++y) {
    if (y >= 10) rows[y][2] = rows[y][3] = '#';
    rows[y][8] = rows[y][9] = '#';
    rows[y][14] = rows[y][15] = '#';
  }
  if (fragment)  // a short ridge fragment across the line
    for (int y = 9; y <= 11; ++y) rows[y][20] = rows[y][21] = '#';
  return Draw(rows);
}

TEST(LfsRidgesTest, RidgeCountCrossesFullRidgesAndSkipsShortFragments) {
  struct Case {
    const char *name;
    bool fragment;
    int to_x;
    int expected;
  };
  const Case cases[] = {
      {"two full ridges", false, 25, 2},
      {"a fragment on the way", true, 25, 2},
      {"ending inside the second ridge", false, 15, 1},
      {"next pixel", false, 4, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const BinaryImage img = Crossing(c.fragment);
    List list;
    list.Push(3, 10, 1);
    list.Push(c.to_x, 10, 0);
    EXPECT_EQ(ridge_count(0, 1, list.list, img.data(), img.width, img.height, &P()),
              c.expected);
  }
}

TEST(LfsRidgesTest, ABifurcationDoesNotCountTheRidgeItSitsBeside) {
  const BinaryImage img = Crossing(false);
  List list;
  list.Push(7, 10, 0);  // valley pixel just left of the ridge at 8..9
  list.Push(25, 10, 0);
  EXPECT_EQ(ridge_count(0, 1, list.list, img.data(), img.width, img.height, &P()), 1);
}

TEST(LfsRidgesTest, NextColourChangeFindsTheTransitionAfterTheIndex) {
  const BinaryImage img = Draw({"..##..##"});
  const int xs[] = {0, 1, 2, 3, 4, 5, 6, 7};
  const int ys[] = {0, 0, 0, 0, 0, 0, 0, 0};
  int i = 0;
  EXPECT_EQ(next_colour_change(&i, 0, 1, xs, ys, 8, img.data(), 8), 1);
  EXPECT_EQ(i, 2);
  EXPECT_EQ(next_colour_change(&i, 0, 1, xs, ys, 8, img.data(), 8), 1);
  EXPECT_EQ(i, 6);
  EXPECT_EQ(next_colour_change(&i, 0, 1, xs, ys, 8, img.data(), 8), 0);
  EXPECT_EQ(i, 8);
}

}  // namespace
