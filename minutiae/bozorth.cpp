// The matcher's entry points: probe preparation and gallery scoring.
#include "minutiae/bozorth.h"

#include <algorithm>

#include "minutiae/bozorth_tables.h"

namespace {

bozorth::EdgeTable g_probe_edges;
bozorth::EdgeTable g_gallery_edges;
bozorth::PairTable g_pairs;

}  // namespace

extern "C" int bz_prepare_probe(const xyt_record *probe) {
  bozorth::BuildEdges(*probe, &g_probe_edges);
  return bozorth::EdgesToUse(g_probe_edges);
}

extern "C" int bz_score_gallery(int probe_edges, const xyt_record *probe,
                                const xyt_record *gallery) {
  if (probe->count < bozorth::kMinMinutiae || gallery->count < bozorth::kMinMinutiae) return 0;
  bozorth::BuildEdges(*gallery, &g_gallery_edges);
  const int gallery_edges = bozorth::EdgesToUse(g_gallery_edges);
  bozorth::PairEdges(g_probe_edges, probe_edges, g_gallery_edges, gallery_edges, &g_pairs);
  return bozorth::MatchScore(g_pairs, *probe, *gallery);
}
