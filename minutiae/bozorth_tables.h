// The Bozorth3 matcher's working records: edge tables of one print, the pair
// table of two prints, and the steps that fill them and score them. All
// tables are process-wide static storage; one comparison runs at a time.
#ifndef MINUTIAE_BOZORTH_TABLES_H_
#define MINUTIAE_BOZORTH_TABLES_H_

#include <cstdint>

#include "minutiae/bozorth.h"

namespace bozorth {

constexpr int kMaxEdges = 19999;      // edges kept per print
constexpr int kMaxPairs = 19999;      // pairs kept per comparison
constexpr int kMaxClusters = 2000;    // clusters per comparison
constexpr int kQueueSize = 4000;      // probe minutiae queued while growing a web
constexpr int kMaxGroups = 10;        // conflict groups per seed
constexpr int kGroupEntries = 10;     // entries of one conflict group
constexpr int kSearchWidth = 1000;    // candidates of one level of the final search
constexpr int kMinMinutiae = 10;      // fewer minutiae in a print scores 0
constexpr int kShortEdgeSqDist = 5625;   // 75 px: edges always taken
constexpr int kMinEdgeCount = 500;       // edges taken when there are enough
constexpr int kMaxEdgeSqDist = 15625;    // 125 px: longer pairs give no edge
constexpr int kMarked = 400;             // join_theta mark of exchanged betas

// One minutia pair of a print.
struct Edge {
  int32_t sq_dist;     // dx * dx + dy * dy
  int32_t beta_lo;     // smaller relative angle, degrees -179..180
  int32_t beta_hi;     // larger relative angle
  int32_t first;       // 1-based row of the first minutia
  int32_t second;      // 1-based row of the second minutia, > first
  int32_t join_theta;  // line angle -90..90, +400 when the betas were exchanged
};

// The edges of one print: rows in creation order, `order` sorted by
// (sq_dist, beta_lo, beta_hi), equal keys in creation order.
struct EdgeTable {
  int count;
  Edge rows[kMaxEdges];
  int32_t order[kMaxEdges];
  // The i-th edge of the sorted order.
  const Edge &Sorted(int i) const { return rows[order[i]]; }
};

// A probe edge matched with a gallery edge.
struct Pair {
  int32_t rotation;        // degrees -179..180
  int32_t probe_first;     // 1-based probe minutiae
  int32_t probe_second;
  int32_t gallery_first;   // 1-based gallery minutiae, lined up with the probe's
  int32_t gallery_second;
};

// Pairs sorted by (probe_first, gallery_first, probe_second), equal keys in
// creation order.
struct PairTable {
  int count;
  Pair rows[kMaxPairs];
};

// Fills `table` with the edges of `print` (rows assumed ordered by x, then
// y); returns the edge count.
int BuildEdges(const xyt_record &print, EdgeTable *table);

// The number of leading sorted edges that take part in matching.
int EdgesToUse(const EdgeTable &table);

// Fills `pairs` from the first `probe_count` probe edges and the first
// `gallery_count` gallery edges (sorted order).
void PairEdges(const EdgeTable &probe, int probe_count, const EdgeTable &gallery,
               int gallery_count, PairTable *pairs);

// The score of a filled pair table: the largest consistent set of pair
// correspondences, 0 when either print has fewer than 10 minutiae or the
// search queue overflows.
int MatchScore(const PairTable &pairs, const xyt_record &probe, const xyt_record &gallery);

// The mean of rotations (degrees -179..180) with the wrap rule of the
// matcher: the negative ones move by a turn when the two signs lie more than
// half a turn apart; the result is in -179..180.
int MeanRotation(const int32_t *rotations, int n);

// True when two angles (degrees) lie within 11 degrees of each other,
// circularly.
bool WithinTolerance(int a, int b);

// Steps a conflict odometer: the counter of the last group advances first; an
// exhausted group returns to its first entry and the group before it
// advances. False when the first group is exhausted (all counters 0 again).
bool AdvanceOdometer(int groups, const int *entry_counts, int *counters);

// Clusters and their compatibility lists for the final search: cluster i has
// size[i] pairs and lists compat_count[i] later clusters (ascending) in
// compat[i * stride ...].
struct ClusterGraph {
  int count;
  const int *size;
  const int *potential;  // size plus the sizes of the listed clusters
  const int *compat_count;
  const int16_t *compat;
  int stride;
};

// The largest sum of sizes over sets of mutually compatible clusters, each
// set searched from a cluster whose potential exceeds the best so far. Each
// level of the search keeps at most kSearchWidth - 1 candidates.
int BestCompatibleTotal(const ClusterGraph &graph);

// Test-only: the queue holds at most `size` entries (kQueueSize when <= 0).
void BozorthSetQueueSizeForTest(int size);

// Test-only: the number of webs grown by the last MatchScore (seeds and
// their conflict settings together).
int BozorthWebsGrownForTest();

}  // namespace bozorth

#endif  // MINUTIAE_BOZORTH_TABLES_H_
