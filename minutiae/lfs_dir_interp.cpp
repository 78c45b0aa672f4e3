// Filling blocks without a direction from the directions around them.
#include <cstdlib>
#include <cstring>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_numeric.h"

extern "C" int search_direction_block(int *direction, int *dist, int x, int y, int dx, int dy,
                                      const int *direction_map, const int *low_contrast_map,
                                      int mw, int mh) {
  for (int steps = 1;; ++steps) {
    x += dx;
    y += dy;
    if (x < 0 || y < 0 || x >= mw || y >= mh) return 0;
    if (low_contrast_map[y * mw + x]) return 0;
    if (direction_map[y * mw + x] != -1) {
      *direction = direction_map[y * mw + x];
      *dist = steps;
      return 1;
    }
  }
}

extern "C" int interpolate_direction_map(int *direction_map, const int *low_contrast_map,
                                         int mw, int mh, const lfs_params *params) {
  const size_t n = static_cast<size_t>(mw) * mh;
  auto *omap = static_cast<int *>(lfs_malloc(sizeof(int) * (n > 0 ? n : 1)));
  if (omap == nullptr)
    return lfs_fail("ERROR : interpolate_direction_map : malloc : omap\n", -520);
  std::memcpy(omap, direction_map, sizeof(int) * n);
  // North, east, south, west.
  const int dx[4] = {0, 1, 0, -1};
  const int dy[4] = {-1, 0, 1, 0};
  for (int y = 0; y < mh; ++y) {
    for (int x = 0; x < mw; ++x) {
      const int b = y * mw + x;
      if (direction_map[b] != -1 || low_contrast_map[b]) continue;
      int dirs[4], dists[4], found = 0;
      for (int k = 0; k < 4; ++k)
        found += search_direction_block(&dirs[found], &dists[found], x, y, dx[k], dy[k],
                                        direction_map, low_contrast_map, mw, mh);
      if (found < params->interpolate_min_neighbors || found == 0) continue;
      int total = 0;
      for (int k = 0; k < found; ++k) total += dists[k];
      int wsum = 0;
      for (int k = 0; k < found; ++k) wsum += total - dists[k];
      if (wsum == 0) {
        // A single neighbour has weight 0 against itself: it is the mean.
        omap[b] = dirs[0];
        continue;
      }
      double mean = 0.0;
      for (int k = 0; k < found; ++k)
        mean += static_cast<double>(total - dists[k]) / wsum * dirs[k];
      omap[b] = nearest_int(snap14(mean));
    }
  }
  std::memcpy(direction_map, omap, sizeof(int) * n);
  std::free(omap);
  return 0;
}
