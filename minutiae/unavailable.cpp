// Placeholder for the Bozorth3 matcher until it is built: every comparison
// scores 0, so the library links and reports "no match" instead of
// inventing one.
#include "minutiae/bozorth.h"

extern "C" int bz_compare_x_y(const void *a, const void *b) {
  const int *ra = static_cast<const int *>(a);
  const int *rb = static_cast<const int *>(b);
  if (ra[0] != rb[0]) return ra[0] < rb[0] ? -1 : 1;
  if (ra[1] != rb[1]) return ra[1] < rb[1] ? -1 : 1;
  return 0;
}

extern "C" int bz_prepare_probe(const xyt_record *) { return 0; }

extern "C" int bz_score_gallery(int, const xyt_record *, const xyt_record *) { return 0; }
