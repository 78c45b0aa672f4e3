// Search order of identification, learned from the match history.
#include <algorithm>

#include "src/ZqAlg/ZqVerifyByTemplateParts.h"

namespace zq_alg {

namespace {

constexpr uint32_t kStaleEntry = 255;

// ids[0..n) sorted by hits, highest first; equal counts keep their order
// (the stable neighbour-swap sort of the history).
template <typename Id>
void SortByHits(Id *ids, const int32_t *hitsById, int n) {
  std::stable_sort(ids, ids + n, [hitsById](Id a, Id b) { return hitsById[a] > hitsById[b]; });
}

}  // namespace

void FingerSearchOrder(uint32_t ring[ZQ_FINGER_RING_SIZE], const bool valid[MAX_FINGERS_SUPPORTED],
                       uint8_t order[MAX_FINGERS_SUPPORTED]) {
  int32_t hits[MAX_FINGERS_SUPPORTED] = {};
  for (int i = 0; i < ZQ_FINGER_RING_SIZE; ++i) {
    const uint32_t f = ring[i];
    if (f >= MAX_FINGERS_SUPPORTED) continue;
    if (valid[f])
      ++hits[f];
    else
      ring[i] = kStaleEntry;
  }
  for (int f = 0; f < MAX_FINGERS_SUPPORTED; ++f) order[f] = static_cast<uint8_t>(f);
  SortByHits(order, hits, MAX_FINGERS_SUPPORTED);
}

void SubTemplateSearchOrder(const uint32_t ring[ZQ_SUBTEMP_RING_SIZE], uint32_t count,
                            uint8_t order[MAX_SUBTEMPLATES_PER_FINGER],
                            int32_t hits[MAX_SUBTEMPLATES_PER_FINGER]) {
  int32_t byIndex[MAX_SUBTEMPLATES_PER_FINGER] = {};
  for (int i = 0; i < ZQ_SUBTEMP_RING_SIZE; ++i) {
    // An index the finger no longer holds would push a held one out of the
    // first count ranks, where the search never reaches it.
    if (ring[i] < count && ring[i] < MAX_SUBTEMPLATES_PER_FINGER) ++byIndex[ring[i]];
  }
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) order[i] = static_cast<uint8_t>(i);
  SortByHits(order, byIndex, MAX_SUBTEMPLATES_PER_FINGER);
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) hits[i] = byIndex[order[i]];
}

}  // namespace zq_alg
