// Product protocol over a corpus, on the driver-configured algorithm: the
// first k impressions of each of the first half of the fingers (at most ten,
// one per slot) are enrolled, in order, and the finger finalised; then every
// other impression of every finger is identified. A press of an enrolled
// finger must name its slot; a press of another finger must not be
// accepted. Each identification starts at the configured far level (the
// adaptive level is reset), so without updates the outcome of a press does
// not depend on the presses before it. With updates, every accepted
// identification is followed by ZqTemplateUpdate with the update flag it
// reported, as the sensor library runs it, so the enrolled fingers grow (or
// replace sub-templates) in the order of the presses.
#pragma once

#include <iosfwd>
#include <vector>

#include "accuracy/driver_algorithm.h"
#include "accuracy/pgm_corpus.h"
#include "accuracy/stage_trace.h"

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
  int updates_added = 0;          // updates that added a sub-template
  int updates_replaced = 0;       // updates that replaced one
  int updates_refused = 0;        // accepted presses the update did not take
  int updates_wrong_finger = 0;   // updates of a finger the press is not of
  double enrol_seconds = 0;       // extraction excluded
  std::vector<double> identify_seconds;  // per identified press, extraction excluded
  double update_seconds = 0;      // all updates
  // With a truth: per genuine press, the probe's skin and where it was lost
  // (the figures of its best comparison with its own finger's
  // sub-templates); per impostor press its skin and whether it was accepted.
  std::vector<TracedComparison> genuine_traced;
  std::vector<TracedComparison> impostor_traced;
};

// Runs the product protocol with k enrolment impressions per enrolled
// finger, updating the identified finger after each accepted press when
// update is set; writes "press,slot,result,finger,score,seconds,update"
// rows (slot -1 for an impostor press; update the path the update took,
// 1 added, 2..6 the replacement rule, 0 none) to csv. Throws
// std::invalid_argument for k < 1 or a corpus of fewer than two fingers.
ProductResult RunProduct(const DriverAlgorithm &alg, const std::vector<CorpusEntry> &corpus,
                         int k, bool update, std::ostream &csv,
                         const std::map<std::string, PressTruth> *truth = nullptr);

}  // namespace accuracy
