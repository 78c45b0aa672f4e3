// The final search of a score: the largest total size over sets of mutually
// compatible clusters.
//
// Enumeration order. Start clusters in creation order, skipping one whose
// potential does not exceed the best so far; below a start cluster the
// candidates are its compatibility list in ascending order, and each deeper
// level keeps the candidates after the chosen one that the chosen cluster
// also lists. A branch stops once its size plus all its remaining candidates
// cannot exceed the best, which leaves the result unchanged.
#include <algorithm>
#include <cstdint>

#include "minutiae/bozorth_tables.h"

namespace bozorth {
namespace {

constexpr int kMaxDepth = XYT_MAX_MINUTIAE + 1;

struct Search {
  const ClusterGraph *graph;
  int best;
  int16_t candidates[kMaxDepth][kSearchWidth];
};

Search g_search;

// Keeps of `from` (n entries) those listed by cluster x; both ascending.
int Intersect(const ClusterGraph &graph, const int16_t *from, int n, int x, int16_t *out) {
  const int16_t *list = graph.compat + static_cast<size_t>(x) * graph.stride;
  const int m = graph.compat_count[x];
  int i = 0, j = 0, k = 0;
  while (i < n && j < m && k < kSearchWidth - 1) {
    if (from[i] == list[j]) {
      out[k++] = from[i];
      i++;
      j++;
    } else if (from[i] < list[j]) {
      i++;
    } else {
      j++;
    }
  }
  return k;
}

void Descend(Search &s, int level, int n, int total) {
  s.best = std::max(s.best, total);
  if (level + 1 >= kMaxDepth) return;
  const ClusterGraph &graph = *s.graph;
  const int16_t *here = s.candidates[level];
  int remaining = 0;
  for (int i = 0; i < n; i++) remaining += graph.size[here[i]];
  for (int i = 0; i < n; i++) {
    if (total + remaining <= s.best) return;
    const int x = here[i];
    remaining -= graph.size[x];
    const int next = Intersect(graph, here + i + 1, n - i - 1, x, s.candidates[level + 1]);
    Descend(s, level + 1, next, total + graph.size[x]);
  }
}

}  // namespace

int BestCompatibleTotal(const ClusterGraph &graph) {
  Search &s = g_search;
  s.graph = &graph;
  s.best = 0;
  for (int c = 0; c < graph.count; c++) {
    if (graph.potential[c] <= s.best) continue;
    const int16_t *list = graph.compat + static_cast<size_t>(c) * graph.stride;
    const int n = std::min(graph.compat_count[c], kSearchWidth - 1);
    std::copy(list, list + n, s.candidates[0]);
    Descend(s, 0, n, graph.size[c]);
  }
  return s.best;
}

}  // namespace bozorth
