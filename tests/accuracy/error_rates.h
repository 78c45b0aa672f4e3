// Error rates of a matcher from its genuine and impostor scores (higher
// means more alike), by the definitions of the public verification
// competitions: FMR(t) = impostor scores >= t, FNMR(t) = genuine scores < t.
#pragma once

#include <cstddef>
#include <vector>

namespace accuracy {

// FMR and FNMR at one threshold, as fractions.
struct RatesAt {
  int threshold = 0;
  double fmr = 0;
  double fnmr = 0;
  size_t false_matches = 0;      // impostor scores >= threshold
  size_t false_non_matches = 0;  // genuine scores < threshold
};

// The figures of a score set; every rate is a fraction 0..1.
struct ErrorRates {
  double eer = 0;       // equal error rate, the middle of [eer_low, eer_high]
  double eer_low = 0;
  double eer_high = 0;
  double fmr100 = 0;    // lowest FNMR with FMR <= 1 %
  double fmr1000 = 0;   // lowest FNMR with FMR <= 0.1 %
  double zero_fmr = 0;  // lowest FNMR with FMR = 0
};

// FMR and FNMR when a score of at least t counts as a match.
RatesAt RatesAtThreshold(const std::vector<int> &genuine, const std::vector<int> &impostor, int t);

// The figures over every threshold that separates the scores. Both sets
// must be non-empty (std::invalid_argument otherwise).
ErrorRates ComputeErrorRates(const std::vector<int> &genuine, const std::vector<int> &impostor);

}  // namespace accuracy
