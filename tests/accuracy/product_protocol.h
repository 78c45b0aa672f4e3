// Product protocol over a corpus, on the driver-configured algorithm: the
// first k impressions of each of the first half of the fingers (at most ten,
// one per slot) are enrolled, in order, and the finger finalised; then every
// other impression of every finger is identified. A press of an enrolled
// finger must name its slot; a press of another finger must not be
// accepted. Each identification starts at the configured far level (the
// adaptive level is reset), so the outcome of a press does not depend on
// the presses before it.
#pragma once

#include <iosfwd>
#include <vector>

#include "accuracy/driver_algorithm.h"
#include "accuracy/pgm_corpus.h"

namespace accuracy {

struct ProductResult {
  int enrolled_fingers = 0;
  int enrolled_samples = 0;       // sub-templates enrolment took
  int enrol_failures = 0;         // extraction or enrolment refused
  int genuine = 0;                // presses of enrolled fingers identified
  int genuine_named = 0;          // ... that named their own finger
  int genuine_wrong_finger = 0;   // ... accepted as another finger
  int impostor = 0;               // presses of the other fingers
  int impostor_accepted = 0;
  int failed_extractions = 0;     // identify presses without a sample
  double enrol_seconds = 0;       // extraction excluded
  std::vector<double> identify_seconds;  // per identified press, extraction excluded
};

// Runs the product protocol with k enrolment impressions per enrolled
// finger; writes "press,slot,result,finger,score,seconds" rows (slot -1 for
// an impostor press) to csv. Throws std::invalid_argument for k < 1 or a
// corpus of fewer than two fingers.
ProductResult RunProduct(const DriverAlgorithm &alg, const std::vector<CorpusEntry> &corpus,
                         int k, std::ostream &csv);

}  // namespace accuracy
