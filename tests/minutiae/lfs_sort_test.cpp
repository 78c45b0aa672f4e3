// Exchange sorts, index sorts, local extremes and the small list routines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "minutiae/lfs_seq.h"
#include "minutiae/lfs_sort.h"

namespace {

using Ints = std::vector<int32_t>;

TEST(LfsSortTest, ExchangeSortsCarryIndicesAndKeepEqualKeysInOrder) {
  {
    Ints keys = {5, 1, 5, 0, 1};
    Ints idx = {0, 1, 2, 3, 4};
    exchange_sort_int_inc_idx(keys.data(), idx.data(), 5);
    EXPECT_EQ(keys, (Ints{0, 1, 1, 5, 5}));
    EXPECT_EQ(idx, (Ints{3, 1, 4, 0, 2}));
  }
  {
    std::vector<double> keys = {0.5, -1.0, 0.5, 2.0};
    Ints idx = {0, 1, 2, 3};
    exchange_sort_double_inc_idx(keys.data(), idx.data(), 4);
    EXPECT_EQ(keys, (std::vector<double>{-1.0, 0.5, 0.5, 2.0}));
    EXPECT_EQ(idx, (Ints{1, 0, 2, 3}));
  }
  {
    std::vector<double> keys = {0.5, -1.0, 0.5, 2.0};
    Ints idx = {0, 1, 2, 3};
    exchange_sort_double_dec_idx(keys.data(), idx.data(), 4);
    EXPECT_EQ(keys, (std::vector<double>{2.0, 0.5, 0.5, -1.0}));
    EXPECT_EQ(idx, (Ints{3, 0, 2, 1}));
  }
  {
    Ints keys = {3, -2, 7, -2, 0};
    exchange_sort_int_inc(keys.data(), 5);
    EXPECT_EQ(keys, (Ints{-2, -2, 0, 3, 7}));
    Ints one = {4};
    exchange_sort_int_inc(one.data(), 1);
    exchange_sort_int_inc(nullptr, 0);
    EXPECT_EQ(one, Ints{4});
  }
}

TEST(LfsSortTest, SortIndicesHandsOutTheOrder) {
  Ints keys = {30, 10, 20, 10};
  int32_t *order = nullptr;
  ASSERT_EQ(sort_indices_int_inc(&order, keys.data(), 4), 0);
  EXPECT_EQ(Ints(order, order + 4), (Ints{1, 3, 2, 0}));
  EXPECT_EQ(keys, (Ints{10, 10, 20, 30}));
  std::free(order);

  std::vector<double> dkeys = {0.3, 0.1, 0.2};
  ASSERT_EQ(sort_indices_double_inc(&order, dkeys.data(), 3), 0);
  EXPECT_EQ(Ints(order, order + 3), (Ints{1, 2, 0}));
  std::free(order);
}

struct Extreme {
  int32_t value, kind, index;
  bool operator==(const Extreme &o) const {
    return value == o.value && kind == o.kind && index == o.index;
  }
};

void PrintTo(const Extreme &e, std::ostream *os) {
  *os << "{" << e.value << "," << e.kind << "," << e.index << "}";
}

TEST(LfsSortTest, MinmaxsRecordsExtremesAtRunMidpoints) {
  const struct {
    Ints items;
    std::vector<Extreme> expected;
  } cases[] = {
      {{5, 4, 3, 4, 5}, {{4, -1, 1}}},               // the minimum at 3 is recorded one early
      {{5, 5, 5, 4}, {{5, 1, 1}}},                   // a flat start counts when long enough
      {{1, 2}, {}},
      {{1, 2, 1}, {{1, 1, 0}}},                      // single sample at 1 recorded at 0
      {{0, 1, 2, 3, 2, 1}, {{2, 1, 2}}},
      {{0, 1, 1, 1, 1, 0}, {{1, 1, 2}}},             // plateau from 1 to 4
      {{3, 3, 4}, {}},                               // a flat start of one step is no minimum
      {{3, 3, 3}, {}},
      {{0, 2, 0, 2, 0}, {{0, 1, 0}, {2, -1, 1}, {0, 1, 2}}},
  };
  for (const auto &c : cases) {
    int32_t *values, *kinds, *indices;
    int count = -1;
    ASSERT_EQ(minmaxs(&values, &kinds, &indices, &count, c.items.data(),
                      static_cast<int>(c.items.size())),
              0);
    std::vector<Extreme> got;
    for (int i = 0; i < count; ++i) got.push_back({values[i], kinds[i], indices[i]});
    EXPECT_EQ(got, c.expected) << testing::PrintToString(c.items);
    std::free(values);
    std::free(kinds);
    std::free(indices);
  }
}

TEST(LfsSortTest, SmallListRoutines) {
  const Ints list = {4, -7, 9, 4, 0};
  EXPECT_EQ(largest_int(list.data(), 5), 9);
  EXPECT_EQ(smallest_int(list.data(), 5), -7);
  EXPECT_EQ(int_list_index(4, list.data(), 5), 0);
  EXPECT_EQ(int_list_index(0, list.data(), 5), 4);
  EXPECT_EQ(int_list_index(5, list.data(), 5), -1);

  const std::vector<double> sorted = {1.0, 2.0, 2.0, 5.0};
  EXPECT_EQ(insert_position(0.5, sorted.data(), 4), 0);
  EXPECT_EQ(insert_position(2.0, sorted.data(), 4), 3);  // after equal entries
  EXPECT_EQ(insert_position(9.0, sorted.data(), 4), 4);
  EXPECT_EQ(insert_position(1.0, sorted.data(), 0), 0);

  Ints r = {1, 2, 3, 4};
  EXPECT_EQ(remove_from_int_list(1, r.data(), 4), 0);
  EXPECT_EQ(Ints(r.begin(), r.begin() + 3), (Ints{1, 3, 4}));
  testing::internal::CaptureStderr();
  EXPECT_EQ(remove_from_int_list(3, r.data(), 3), -370);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR : remove_from_int_list : index out of range\n");
}

}  // namespace
