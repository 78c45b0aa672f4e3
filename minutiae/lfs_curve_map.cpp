// The outer ring of the direction map and the high-curvature map.
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_numeric.h"

namespace {

// The 8 neighbours in turning order: NW, N, NE, E, SE, S, SW, W.
const int kNbrDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
const int kNbrDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};

// Direction of neighbour k of (x, y), or -1 outside the map.
int NeighbourDir(const int *dmap, int x, int y, int k, int mw, int mh) {
  const int nx = x + kNbrDx[k], ny = y + kNbrDy[k];
  if (nx < 0 || ny < 0 || nx >= mw || ny >= mh) return -1;
  return dmap[ny * mw + nx];
}

}  // namespace

extern "C" void clear_map_border(int *direction_map, int mw, int mh) {
  for (int x = 0; x < mw; ++x) {
    direction_map[x] = -1;
    direction_map[(mh - 1) * mw + x] = -1;
  }
  for (int y = 0; y < mh; ++y) {
    direction_map[y * mw] = -1;
    direction_map[y * mw + mw - 1] = -1;
  }
}

extern "C" int block_vorticity(int x, int y, const int *direction_map, int mw, int mh,
                               int ndirs) {
  int sum = 0;
  for (int k = 0; k < 8; ++k) {
    const int first = NeighbourDir(direction_map, x, y, k, mw, mh);
    const int second = NeighbourDir(direction_map, x, y, (k + 1) % 8, mw, mh);
    if (first < 0 || second < 0 || first == second) continue;
    int diff = second - first;
    if (diff < 0) diff += ndirs;
    sum += diff > ndirs / 2 ? -1 : 1;
  }
  return sum;
}

extern "C" int block_curvature(int x, int y, const int *direction_map, int mw, int mh,
                               int ndirs) {
  const int d = direction_map[y * mw + x];
  int largest = 0;
  for (int k = 0; k < 8; ++k) {
    const int gap = direction_gap(d, NeighbourDir(direction_map, x, y, k, mw, mh), ndirs);
    if (gap > largest) largest = gap;
  }
  return largest;
}

extern "C" int gen_high_curve_map(int **high_curve_map, const int *direction_map, int mw,
                                  int mh, const lfs_params *params) {
  const size_t n = static_cast<size_t>(mw) * mh;
  auto *hmap = static_cast<int *>(lfs_calloc(n > 0 ? n : 1, sizeof(int)));
  if (hmap == nullptr)
    return lfs_fail("ERROR: gen_high_curve_map : malloc : high_curve_map\n", -530);
  const int ndirs = params->direction_count;
  for (int y = 0; y < mh; ++y) {
    for (int x = 0; x < mw; ++x) {
      int valid = 0;
      for (int k = 0; k < 8; ++k) valid += NeighbourDir(direction_map, x, y, k, mw, mh) >= 0;
      if (valid == 0) continue;
      if (direction_map[y * mw + x] < 0) {
        if (valid >= params->vorticity_min_neighbors &&
            block_vorticity(x, y, direction_map, mw, mh, ndirs) >= params->vorticity_min)
          hmap[y * mw + x] = 1;
      } else if (block_curvature(x, y, direction_map, mw, mh, ndirs) >= params->curvature_min) {
        hmap[y * mw + x] = 1;
      }
    }
  }
  *high_curve_map = hmap;
  return 0;
}
