#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_tables.h"

namespace {

void FreeGrids(lfs_rotgrids *t, int made) {
  for (int i = 0; i < made; ++i) std::free(t->grids[i]);
  std::free(t->grids);
  std::free(t);
}

}  // namespace

extern "C" int init_rotgrids(lfs_rotgrids **rotgrids, int iw, int /*ih*/, int pad,
                             double start_angle, int ngrids, int grid_w, int grid_h,
                             int relative2) {
  double diag = std::sqrt(static_cast<double>(grid_w) * grid_w +
                          static_cast<double>(grid_h) * grid_h);
  if (relative2 == LFS_RELATIVE_TO_CORNER) {
    diag -= grid_w < grid_h ? grid_w : grid_h;
  } else if (relative2 == LFS_RELATIVE_TO_CENTER) {
    diag -= 1.0;
  } else {
    char text[80];
    std::snprintf(text, sizeof text, "ERROR : init_rotgrids : Illegal relative flag : %d\n",
                  relative2);
    return lfs_fail(text, -31);
  }
  const int min_pad = nearest_int(snap14(diag / 2.0));
  if (pad == -1) {
    pad = min_pad;
  } else if (pad < min_pad) {
    return lfs_fail("ERROR : init_rotgrids : Pad passed is too small\n", -32);
  }

  auto *t = static_cast<lfs_rotgrids *>(lfs_malloc(sizeof(lfs_rotgrids)));
  if (t == nullptr) return lfs_fail("ERROR : init_rotgrids : malloc : rotgrids\n", -30);
  t->pad = pad;
  t->relative2 = relative2;
  t->start_angle = start_angle;
  t->ngrids = ngrids;
  t->grid_w = grid_w;
  t->grid_h = grid_h;
  t->grids = static_cast<int32_t **>(lfs_malloc(sizeof(int32_t *) * (ngrids > 0 ? ngrids : 1)));
  if (t->grids == nullptr) {
    std::free(t);
    return lfs_fail("ERROR : init_rotgrids : malloc : rotgrids->grids\n", -33);
  }

  const double cx = (grid_w - 1) / 2.0;
  const double cy = (grid_h - 1) / 2.0;
  const int padded_w = iw + 2 * pad;
  const size_t cells = grid_w > 0 && grid_h > 0 ? static_cast<size_t>(grid_w) * grid_h : 1;
  for (int i = 0; i < ngrids; ++i) {
    int32_t *grid = static_cast<int32_t *>(lfs_malloc(sizeof(int32_t) * cells));
    if (grid == nullptr) {
      FreeGrids(t, i);
      return lfs_fail("ERROR : init_rotgrids : malloc : rotgrids->grids[dir]\n", -34);
    }
    t->grids[i] = grid;
    const double theta = start_angle + i * M_PI / ngrids;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    int32_t *out = grid;
    for (int j = 0; j < grid_h; ++j) {
      const double u = j - cy;
      for (int k = 0; k < grid_w; ++k) {
        double px, py;
        if (relative2 == LFS_RELATIVE_TO_CORNER) {
          px = (k - cx) * c + (cx - u * s);
          py = (k - cx) * s + (u * c + cy);
        } else {
          px = (k - cx) * c - u * s;
          py = (k - cx) * s + u * c;
        }
        *out++ = nearest_int(snap14(px)) + padded_w * nearest_int(snap14(py));
      }
    }
  }
  *rotgrids = t;
  return 0;
}

extern "C" void free_rotgrids(lfs_rotgrids *rotgrids) {
  if (rotgrids == nullptr) return;
  FreeGrids(rotgrids, rotgrids->ngrids);
}
