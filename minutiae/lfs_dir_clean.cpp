// Consistency of the direction map: neighbourhood means, removal of
// directions that disagree with them, and smoothing.
#include <cmath>

#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_numeric.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMeanStrengthMin = 0.2;  // weaker means count as no mean

const int kNbrDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
const int kNbrDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};

// Tests block (x, y) when it has a direction and removes it when the test
// says so; true when it was removed.
bool TestAndRemove(int *dmap, int x, int y, int mw, int mh, const lfs_dir2rad *dir2rad,
                   const lfs_params *params) {
  int *d = &dmap[y * mw + x];
  if (*d == -1) return false;
  if (check_block_direction(x, y, dmap, mw, mh, dir2rad, params) == 0) return false;
  *d = -1;
  return true;
}

}  // namespace

extern "C" void neighbour_mean_direction(int *mean, double *strength, int *count, int x, int y,
                                         const int *direction_map, int mw, int mh,
                                         const lfs_dir2rad *dir2rad) {
  double cs = 0.0, sn = 0.0;
  int n = 0;
  for (int k = 0; k < 8; ++k) {
    const int nx = x + kNbrDx[k], ny = y + kNbrDy[k];
    if (nx < 0 || ny < 0 || nx >= mw || ny >= mh) continue;
    const int d = direction_map[ny * mw + nx];
    if (d < 0 || d >= dir2rad->ndirs) continue;
    cs += dir2rad->cos[d];
    sn += dir2rad->sin[d];
    ++n;
  }
  *count = n;
  if (n == 0) {
    *mean = -1;
    *strength = 0.0;
    return;
  }
  cs /= n;
  sn /= n;
  const double s = snap14(cs * cs + sn * sn);
  if (s < kMeanStrengthMin) {
    *mean = -1;
    *strength = 0.0;
    return;
  }
  const int ndirs = dir2rad->ndirs;
  const double theta = std::fmod(std::atan2(sn, cs) + 2.0 * kPi, 2.0 * kPi);
  *mean = nearest_int(snap14(theta / (2.0 * kPi / ndirs))) % ndirs;
  *strength = s;
}

extern "C" int check_block_direction(int x, int y, const int *direction_map, int mw, int mh,
                                     const lfs_dir2rad *dir2rad, const lfs_params *params) {
  int mean, n;
  double strength;
  neighbour_mean_direction(&mean, &strength, &n, x, y, direction_map, mw, mh, dir2rad);
  if (n < params->keep_dir_min_neighbors) return 1;
  if (strength < params->dir_strength_min) return 0;
  const int gap = direction_gap(mean, direction_map[y * mw + x], params->direction_count);
  return gap > params->dir_deviation_max ? 2 : 0;
}

extern "C" void remove_inconsistent_directions(int *direction_map, int mw, int mh,
                                               const lfs_dir2rad *dir2rad,
                                               const lfs_params *params) {
  const int cx = mw / 2, cy = mh / 2;
  int removed;
  do {
    removed = 0;
    removed += TestAndRemove(direction_map, cx, cy, mw, mh, dir2rad, params);
    for (int r = 1;; ++r) {
      const int left = cx - r, right = cx + r, top = cy - r, bottom = cy + r;
      const bool has_top = top >= 0, has_right = right < mw;
      const bool has_bottom = bottom < mh, has_left = left >= 0;
      if (!has_top && !has_right && !has_bottom && !has_left) break;
      if (has_top) {
        const int end = (right < mw ? right : mw) - 1;
        for (int x = left > 0 ? left : 0; x <= end; ++x)
          removed += TestAndRemove(direction_map, x, top, mw, mh, dir2rad, params);
      }
      if (has_right) {
        const int end = (bottom < mh ? bottom : mh) - 1;
        for (int y = top > 0 ? top : 0; y <= end; ++y)
          removed += TestAndRemove(direction_map, right, y, mw, mh, dir2rad, params);
      }
      if (has_bottom) {
        const int end = left - 1 > 0 ? left - 1 : 0;
        for (int x = right < mw - 1 ? right : mw - 1; x >= end; --x)
          removed += TestAndRemove(direction_map, x, bottom, mw, mh, dir2rad, params);
      }
      if (has_left) {
        const int end = top - 1 > 0 ? top - 1 : 0;
        for (int y = bottom < mh - 1 ? bottom : mh - 1; y >= end; --y)
          removed += TestAndRemove(direction_map, left, y, mw, mh, dir2rad, params);
      }
    }
  } while (removed > 0);
}

extern "C" void smooth_directions(int *direction_map, const int *low_contrast_map, int mw,
                                  int mh, const lfs_dir2rad *dir2rad,
                                  const lfs_params *params) {
  for (int y = 0; y < mh; ++y) {
    for (int x = 0; x < mw; ++x) {
      if (low_contrast_map[y * mw + x]) continue;
      int mean, n;
      double strength;
      neighbour_mean_direction(&mean, &strength, &n, x, y, direction_map, mw, mh, dir2rad);
      if (strength < params->dir_strength_min) continue;
      int *d = &direction_map[y * mw + x];
      if (*d == -1) {
        if (n >= params->smooth_fill_min_neighbors) *d = mean;
      } else if (n >= params->keep_dir_min_neighbors) {
        *d = mean;
      }
    }
  }
}
