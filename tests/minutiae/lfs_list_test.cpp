// Minutiae lists: growth, removal, duplicates, positional sorts and the
// conversion to print rows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "minutiae/lfs_list.h"

namespace {

// A list owning minutiae at the given points; pattern_id records the order
// of creation so that stability can be seen.
class MinutiaeList {
 public:
  explicit MinutiaeList(const std::vector<std::pair<int, int>> &points, int capacity = 1000) {
    EXPECT_EQ(alloc_minutiae(&list_, capacity), 0);
    for (const auto &[x, y] : points) Add(x, y);
  }
  ~MinutiaeList() { release_minutiae(list_); }
  MinutiaeList(const MinutiaeList &) = delete;
  MinutiaeList &operator=(const MinutiaeList &) = delete;

  void Add(int x, int y) {
    lfs_minutia *m = nullptr;
    ASSERT_EQ(create_minutia(&m, x, y, x, y - 1, 0, 0.99, 1, 0, list_->count), 0);
    if (list_->count == list_->capacity) {
      ASSERT_EQ(realloc_minutiae(list_, 1000), 0);
    }
    list_->list[list_->count++] = m;
  }
  lfs_minutiae *get() { return list_; }
  std::vector<std::pair<int, int>> Points() const {
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < list_->count; ++i) out.emplace_back(list_->list[i]->x, list_->list[i]->y);
    return out;
  }
  std::vector<int> CreationOrder() const {
    std::vector<int> out;
    for (int i = 0; i < list_->count; ++i) out.push_back(list_->list[i]->pattern_id);
    return out;
  }

 private:
  lfs_minutiae *list_ = nullptr;
};

using Points = std::vector<std::pair<int, int>>;

TEST(LfsListTest, CreateMinutiaKeepsEveryFieldAndHasNoNeighbours) {
  lfs_minutia *m = nullptr;
  ASSERT_EQ(create_minutia(&m, 3, 4, 2, 4, 25, 0.5, 0, 1, 7), 0);
  EXPECT_EQ(m->x, 3);
  EXPECT_EQ(m->y, 4);
  EXPECT_EQ(m->edge_x, 2);
  EXPECT_EQ(m->edge_y, 4);
  EXPECT_EQ(m->direction, 25);
  EXPECT_EQ(m->reliability, 0.5);
  EXPECT_EQ(m->type, 0);
  EXPECT_EQ(m->appearing, 1);
  EXPECT_EQ(m->pattern_id, 7);
  EXPECT_EQ(m->neighbors, nullptr);
  EXPECT_EQ(m->ridge_counts, nullptr);
  EXPECT_EQ(m->neighbor_count, 0);
  release_minutia(m);
}

TEST(LfsListTest, ListGrowsByItsIncrementAndKeepsItsMinutiae) {
  MinutiaeList list({}, 2);
  for (int i = 0; i < 5; ++i) list.Add(i, 10 * i);
  EXPECT_EQ(list.get()->count, 5);
  EXPECT_EQ(list.get()->capacity, 1002);  // one growth of 1000
  EXPECT_EQ(list.Points(), (Points{{0, 0}, {1, 10}, {2, 20}, {3, 30}, {4, 40}}));
}

TEST(LfsListTest, ReleaseFreesNeighbourArraysToo) {
  // Leak-checked under the sanitizers.
  MinutiaeList list({{1, 1}, {2, 2}});
  lfs_minutia *m = list.get()->list[0];
  m->neighbors = static_cast<int32_t *>(std::calloc(5, sizeof(int32_t)));
  m->ridge_counts = static_cast<int32_t *>(std::calloc(5, sizeof(int32_t)));
  m->neighbor_count = 5;
  release_minutiae(nullptr);
}

TEST(LfsListTest, RemoveMinutiaMovesLaterOnesDown) {
  const struct {
    int index;
    Points expected;
  } cases[] = {
      {0, {{2, 2}, {3, 3}}},
      {1, {{1, 1}, {3, 3}}},
      {2, {{1, 1}, {2, 2}}},
  };
  for (const auto &c : cases) {
    MinutiaeList list({{1, 1}, {2, 2}, {3, 3}});
    ASSERT_EQ(remove_minutia(c.index, list.get()), 0);
    EXPECT_EQ(list.Points(), c.expected) << c.index;
  }
}

TEST(LfsListTest, RemoveMinutiaRefusesAnIndexOutsideTheList) {
  for (int index : {-1, 3}) {
    MinutiaeList list({{1, 1}, {2, 2}, {3, 3}});
    testing::internal::CaptureStderr();
    EXPECT_EQ(remove_minutia(index, list.get()), -380);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR : remove_minutia : index out of range\n");
    EXPECT_EQ(list.get()->count, 3);
  }
}

TEST(LfsListTest, RemoveDuplicatesKeepsTheLastOfEachRun) {
  const struct {
    Points in;
    Points expected;
    std::vector<int> kept;  // creation order of the survivors
  } cases[] = {
      {{{5, 5}, {5, 5}, {5, 5}, {6, 1}}, {{5, 5}, {6, 1}}, {2, 3}},
      {{{1, 1}, {2, 2}, {2, 2}, {3, 3}, {3, 3}}, {{1, 1}, {2, 2}, {3, 3}}, {0, 2, 4}},
      {{{5, 5}, {5, 6}, {6, 5}}, {{5, 5}, {5, 6}, {6, 5}}, {0, 1, 2}},  // x or y alone differ
      {{{4, 4}}, {{4, 4}}, {0}},
      {{}, {}, {}},
  };
  for (const auto &c : cases) {
    MinutiaeList list(c.in);
    ASSERT_EQ(remove_duplicate_minutiae(list.get()), 0);
    EXPECT_EQ(list.Points(), c.expected);
    EXPECT_EQ(list.CreationOrder(), c.kept);
  }
}

TEST(LfsListTest, SortsUseTheLinearKeyAndAreStable) {
  const struct {
    const char *name;
    int (*sort)(lfs_minutiae *, int);
    int width;
    Points in;
    Points expected;
    std::vector<int> order;
  } cases[] = {
      {"y_x rows first", sort_minutiae_y_x, 100,
       {{7, 2}, {3, 1}, {1, 2}, {9, 0}}, {{9, 0}, {3, 1}, {1, 2}, {7, 2}}, {3, 1, 2, 0}},
      {"x_y columns first", sort_minutiae_x_y, 100,
       {{7, 2}, {3, 1}, {3, 0}, {9, 0}}, {{3, 0}, {3, 1}, {7, 2}, {9, 0}}, {2, 1, 0, 3}},
      // The key is width * x + y: 256 * 1 + 300 = 556 > 512 = 256 * 2 + 0.
      {"x_y key beyond the width", sort_minutiae_x_y, 256,
       {{1, 300}, {2, 0}}, {{2, 0}, {1, 300}}, {1, 0}},
      {"equal keys keep their order", sort_minutiae_y_x, 10,
       {{4, 4}, {1, 1}, {4, 4}, {4, 4}}, {{1, 1}, {4, 4}, {4, 4}, {4, 4}}, {1, 0, 2, 3}},
      // (10, 0) and (0, 1) share the key 10 in a 10-pixel-wide image.
      {"colliding keys keep their order", sort_minutiae_y_x, 10,
       {{0, 1}, {10, 0}}, {{0, 1}, {10, 0}}, {0, 1}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    MinutiaeList list(c.in);
    ASSERT_EQ(c.sort(list.get(), c.width), 0);
    EXPECT_EQ(list.Points(), c.expected);
    EXPECT_EQ(list.CreationOrder(), c.order);
  }
}

TEST(LfsListTest, MinutiaToXytTurnsDirectionIntoDegreesAndFlipsY) {
  const struct {
    int y, direction, height;
    int expected_y, expected_theta;
  } cases[] = {
      {10, 0, 360, 350, 270},
      {10, 8, 360, 350, 180},
      {10, 25, 360, 350, 349},  // 270 - 281 wraps into 0..359
      {0, 24, 100, 100, 0},
      {99, 31, 100, 1, 281},    // 270 - 349 (348.75 rounded up)
      {50, 1, 100, 50, 259},    // 11.25 rounds to 11
      {50, 2, 100, 50, 247},    // 22.5 rounds up to 23
  };
  for (const auto &c : cases) {
    lfs_minutia m{};
    m.x = 42;
    m.y = c.y;
    m.direction = c.direction;
    int x = -1, y = -1, theta = -1;
    EXPECT_EQ(lfs_minutia_to_xyt(&x, &y, &theta, &m, 256, c.height), 0);
    EXPECT_EQ(x, 42);
    EXPECT_EQ(y, c.expected_y) << c.direction;
    EXPECT_EQ(theta, c.expected_theta) << c.direction;
  }
}

}  // namespace
