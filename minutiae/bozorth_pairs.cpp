// Pairing of probe edges with gallery edges of similar length and angles.
#include <algorithm>
#include <cstdint>

#include "minutiae/bozorth_tables.h"

namespace bozorth {
namespace {

Pair g_created[kMaxPairs];     // pairs in creation order
int32_t g_rank[kMaxPairs];     // their sorted order

// True when two relative angles agree within 11 degrees, circularly.
bool BetaAgrees(int32_t a, int32_t b) {
  const int32_t d = a - b;
  return d * d <= 121 || d * d >= 121801;
}

// The join angle with a marked edge turned by half a turn.
int32_t Unmarked(int32_t join) { return join > 219 ? join - 580 : join; }

}  // namespace

void PairEdges(const EdgeTable &probe, int probe_count, const EdgeTable &gallery,
               int gallery_count, PairTable *pairs) {
  probe_count = std::clamp(probe_count, 0, probe.count);
  gallery_count = std::clamp(gallery_count, 0, gallery.count);
  int n = 0;
  int start = 0;
  for (int i = 0; i + 1 < probe_count && n < kMaxPairs; i++) {
    const Edge &p = probe.Sorted(i);
    for (int k = start; k < gallery_count; k++) {
      const Edge &g = gallery.Sorted(k);
      const int32_t dz = g.sq_dist - p.sq_dist;
      const float f = 0.1f * static_cast<float>(g.sq_dist + p.sq_dist);
      const float fdz = static_cast<float>(dz);
      if (fdz * fdz > f * f) {
        if (dz < 0) {
          start = k + 1;  // too short for this and every later probe edge
          continue;
        }
        break;
      }
      if (!BetaAgrees(p.beta_lo, g.beta_lo) || !BetaAgrees(p.beta_hi, g.beta_hi)) continue;
      int32_t rotation = Unmarked(p.join_theta) - Unmarked(g.join_theta);
      if (rotation > 180) rotation -= 360;
      if (rotation < -179) rotation += 360;
      const bool swap = (p.join_theta > 219) != (g.join_theta > 219);
      g_created[n++] = Pair{rotation, p.first, p.second, swap ? g.second : g.first,
                              swap ? g.first : g.second};
      if (n == kMaxPairs) break;
    }
  }
  pairs->count = n;
  for (int i = 0; i < n; i++) g_rank[i] = i;
  // Equal keys stay in creation order through the creation index.
  std::sort(g_rank, g_rank + n, [](int32_t ia, int32_t ib) {
    const Pair &a = g_created[ia];
    const Pair &b = g_created[ib];
    if (a.probe_first != b.probe_first) return a.probe_first < b.probe_first;
    if (a.gallery_first != b.gallery_first) return a.gallery_first < b.gallery_first;
    if (a.probe_second != b.probe_second) return a.probe_second < b.probe_second;
    return ia < ib;
  });
  for (int i = 0; i < n; i++) pairs->rows[i] = g_created[g_rank[i]];
}

}  // namespace bozorth
