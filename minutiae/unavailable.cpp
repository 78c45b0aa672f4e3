// Placeholder for the minutiae detector and the Bozorth3 matcher until they
// are built: detection fails and every comparison scores 0, so the library
// links and reports "no minutiae" instead of inventing any.
#include <cstdlib>

#include "minutiae/bozorth.h"
#include "minutiae/lfs.h"

lfs_params lfs_params_V2 = {128, 1, 3, 12, 10, 8, 0.5, 2.25, 0, 10, 5, 10};

extern "C" int get_minutiae(lfs_minutiae **, int **, int **, int **, int **, int **, int *,
                            int *, unsigned char **, int *, int *, int *,
                            const unsigned char *, int, int, int, double,
                            const lfs_params *) {
  return -1;
}

extern "C" int lfs_minutia_to_xyt(int *x, int *y, int *theta, const lfs_minutia *, int,
                                  int) {
  *x = *y = *theta = 0;
  return -1;
}

extern "C" void release_minutiae(lfs_minutiae *minutiae) {
  if (minutiae == nullptr) return;
  for (int i = 0; i < minutiae->count; i++) {
    std::free(minutiae->list[i]->neighbors);
    std::free(minutiae->list[i]->ridge_counts);
    std::free(minutiae->list[i]);
  }
  std::free(minutiae->list);
  std::free(minutiae);
}

extern "C" int bz_compare_x_y(const void *a, const void *b) {
  const int *ra = static_cast<const int *>(a);
  const int *rb = static_cast<const int *>(b);
  if (ra[0] != rb[0]) return ra[0] < rb[0] ? -1 : 1;
  if (ra[1] != rb[1]) return ra[1] < rb[1] ? -1 : 1;
  return 0;
}

extern "C" int bz_prepare_probe(const xyt_record *) { return 0; }

extern "C" int bz_score_gallery(int, const xyt_record *, const xyt_record *) { return 0; }
