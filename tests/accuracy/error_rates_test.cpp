// Error rates from genuine and impostor scores.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "accuracy/error_rates.h"

namespace {

TEST(ErrorRatesTest, RatesAtAThresholdCountAScoreEqualToItAsAMatch) {
  const std::vector<int> genuine = {3, 7, 7, 12};
  const std::vector<int> impostor = {0, 2, 7, 1};
  const accuracy::RatesAt r = accuracy::RatesAtThreshold(genuine, impostor, 7);
  EXPECT_EQ(r.false_non_matches, 1u);  // only the 3
  EXPECT_EQ(r.false_matches, 1u);      // the impostor 7
  EXPECT_DOUBLE_EQ(r.fnmr, 0.25);
  EXPECT_DOUBLE_EQ(r.fmr, 0.25);
}

TEST(ErrorRatesTest, FiguresOfKnownScoreSets) {
  struct Case {
    const char *what;
    std::vector<int> genuine, impostor;
    double eer, eer_low, eer_high, fmr100, fmr1000, zero_fmr;
  };
  // 200 impostors: one above the genuine floor (FMR 0.5 %), the rest 0..4.
  std::vector<int> many_impostors(199, 2);
  many_impostors.push_back(20);
  const Case cases[] = {
      {"separated", {10, 12, 15}, {0, 1, 3}, 0, 0, 0, 0, 0, 0},
      // Crossing at t = 6: FNMR(6) = 1/4 (the 4), FMR(6) = 1/4 (the 6).
      {"overlap", {4, 8, 9, 10}, {0, 1, 2, 6}, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25},
      // FNMR and FMR never meet: t1 = 4 (FNMR 0, FMR 1/2), t2 = 8 (1/4, 0);
      // the pair with the smaller sum is t2's.
      {"no crossing", {4, 8, 9, 10}, {0, 4}, 0.125, 0, 0.25, 0.25, 0.25, 0.25},
      // One impostor of 200 at 20: FMR 0.5 % is within FMR100 but not within
      // FMR1000 or zero; at t = 21 every genuine score (<= 20) is rejected.
      {"one strong impostor", {10, 15, 20, 20}, many_impostors, 0.0025, 0, 0.005, 0, 1, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const accuracy::ErrorRates e = accuracy::ComputeErrorRates(c.genuine, c.impostor);
    EXPECT_DOUBLE_EQ(e.eer, c.eer);
    EXPECT_DOUBLE_EQ(e.eer_low, c.eer_low);
    EXPECT_DOUBLE_EQ(e.eer_high, c.eer_high);
    EXPECT_DOUBLE_EQ(e.fmr100, c.fmr100);
    EXPECT_DOUBLE_EQ(e.fmr1000, c.fmr1000);
    EXPECT_DOUBLE_EQ(e.zero_fmr, c.zero_fmr);
  }
}

TEST(ErrorRatesTest, AnEmptyScoreSetHasNoFigures) {
  EXPECT_THROW(accuracy::ComputeErrorRates({}, {1}), std::invalid_argument);
  EXPECT_THROW(accuracy::ComputeErrorRates({1}, {}), std::invalid_argument);
}

}  // namespace
