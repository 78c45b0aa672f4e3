// FVC protocol over a corpus, on the driver-configured algorithm: every
// impression becomes a sample; every pair of impressions of one finger is a
// genuine comparison (the earlier one as the template), impression 1 of
// every finger against impression 1 of every later finger an impostor
// comparison. A comparison scores as the product's identification scores
// one candidate: forward, and for a score of 1 up to below the threshold
// also reverse, keeping the higher; an impression without a sample scores 0.
#pragma once

#include <iosfwd>
#include <vector>

#include "accuracy/driver_algorithm.h"
#include "accuracy/pgm_corpus.h"

namespace accuracy {

struct FvcResult {
  std::vector<int> genuine;   // scores of the genuine comparisons
  std::vector<int> impostor;  // scores of the impostor comparisons
  int failed_extractions = 0;
  double comparison_seconds = 0;  // all comparisons together
  int threshold = 0;              // the configured far level's
};

// Runs the FVC protocol; writes "a,b,score,seconds" rows (with that header)
// to csv.
FvcResult RunFvc(const DriverAlgorithm &alg, const std::vector<CorpusEntry> &corpus,
                 std::ostream &csv);

}  // namespace accuracy
