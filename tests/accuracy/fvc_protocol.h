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
#include "accuracy/stage_trace.h"

namespace accuracy {

struct FvcResult {
  std::vector<int> genuine;   // scores of the genuine comparisons
  std::vector<int> impostor;  // scores of the impostor comparisons
  int failed_extractions = 0;
  double comparison_seconds = 0;  // all comparisons together
  int threshold = 0;              // the configured far level's
  // Corpus indices (template, probe) of each genuine and impostor score.
  std::vector<std::pair<size_t, size_t>> genuine_pairs;
  std::vector<std::pair<size_t, size_t>> impostor_pairs;
  // With a truth: the figures of each genuine comparison (the direction
  // that gave its score), common-area keypoints from the truth's poses.
  std::vector<StageFigures> genuine_figures;
};

// Runs the FVC protocol; writes "a,b,score,seconds" rows (with that header)
// to csv. With truth (not null) the genuine comparisons are traced.
FvcResult RunFvc(const DriverAlgorithm &alg, const std::vector<CorpusEntry> &corpus,
                 std::ostream &csv, const std::map<std::string, PressTruth> *truth = nullptr);

}  // namespace accuracy
