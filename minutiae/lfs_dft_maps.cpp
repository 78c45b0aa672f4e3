// The per-block DFT analysis: contrast test, directional wave powers, their
// statistics and the two direction tests.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_numeric.h"

namespace {

constexpr int kGreyLevels = 64;  // the maps see 6-bit grey values

// Rows and columns that the grids reach relative to the window's corner.
struct Reach {
  int top = 0, bottom = 0, left = 0, right = 0;
};

// Every grid pixel lies within half the grid's diagonal of the grid's
// centre: the window's centre in corner mode, the pixel itself otherwise.
Reach GridReach(const lfs_rotgrids *grids) {
  const double hw = (grids->grid_w - 1) / 2.0, hh = (grids->grid_h - 1) / 2.0;
  const double radius = std::sqrt(hw * hw + hh * hh);
  const bool corner = grids->relative2 == LFS_RELATIVE_TO_CORNER;
  const double cx = corner ? hw : 0.0, cy = corner ? hh : 0.0;
  Reach r;
  r.top = nearest_int(snap14(cy - radius));
  r.bottom = nearest_int(snap14(cy + radius));
  r.left = nearest_int(snap14(cx - radius));
  r.right = nearest_int(snap14(cx + radius));
  return r;
}

// Offset of the DFT window of the block at `blkoff`: dft_window_offset up and
// left of the block, kept at least `pad` from the top and left edges and one
// row and column more than `pad` from the bottom and right ones. A window
// whose grids would still reach outside the image (an image too small for
// its window) is moved inside; -1 when it does not fit at all.
int WindowOffset(int blkoff, int pw, int ph, int pad, const Reach &reach, const lfs_params *p) {
  const int s = p->dft_window_size;
  const int o = blkoff - p->dft_window_offset * pw - p->dft_window_offset;
  int row = o / pw;
  int col = o % pw;
  const int row_max = std::max(ph - pad - s - 1, 0);
  const int col_max = std::max(pw - pad - s - 1, 0);
  row = std::min(std::max(row, pad), row_max);
  col = std::min(std::max(col, pad), col_max);
  // The window itself and every grid pixel must lie in the image.
  const int row_lo = std::max(0, -reach.top), row_hi = std::min(ph - s, ph - 1 - reach.bottom);
  const int col_lo = std::max(0, -reach.left), col_hi = std::min(pw - s, pw - 1 - reach.right);
  if (row_lo > row_hi || col_lo > col_hi) return -1;
  row = std::min(std::max(row, row_lo), row_hi);
  col = std::min(std::max(col, col_lo), col_hi);
  return row * pw + col;
}

}  // namespace

extern "C" int low_contrast_block(int *low_contrast, int offset, int s,
                                  const unsigned char *pdata, int pw, const lfs_params *params) {
  int histogram[kGreyLevels] = {0};
  const unsigned char *row = pdata + offset;
  for (int y = 0; y < s; ++y, row += pw) {
    for (int x = 0; x < s; ++x) {
      // Values above six bits are counted in the top bin.
      const int v = row[x] < kGreyLevels ? row[x] : kGreyLevels - 1;
      histogram[v]++;
    }
  }
  const int n = nearest_int(snap14(params->contrast_percentile / 100.0 * (s * s - 1)));
  int low = 0, count = 0;
  for (; low < kGreyLevels; ++low) {
    count += histogram[low];
    if (count >= n) break;
  }
  if (low == kGreyLevels)
    return lfs_fail("ERROR : low_contrast_block : min percentile pixel not found\n", -510);
  int high = kGreyLevels - 1;
  count = 0;
  for (; high >= 0; --high) {
    count += histogram[high];
    if (count >= n) break;
  }
  if (high < 0)
    return lfs_fail("ERROR : low_contrast_block : max percentile pixel not found\n", -511);
  *low_contrast = high - low < params->contrast_range_min ? 1 : 0;
  return 0;
}

extern "C" int dft_dir_powers(double **powers, const unsigned char *pdata, int offset, int pw,
                              const lfs_dftwaves *dftwaves, const lfs_rotgrids *dftgrids) {
  (void)pw;
  if (dftgrids->grid_w != dftgrids->grid_h)
    return lfs_fail("ERROR : dft_dir_powers : DFT grids must be square\n", -90);
  const int w = dftgrids->grid_w;
  auto *rowsums = static_cast<double *>(lfs_malloc(sizeof(double) * (w > 0 ? w : 1)));
  if (rowsums == nullptr) return lfs_fail("ERROR : dft_dir_powers : malloc : rowsums\n", -91);
  const unsigned char *window = pdata + offset;
  // Each wave is sampled over the window's length; never past the rows.
  const int len = dftwaves->wavelen < w ? dftwaves->wavelen : w;
  for (int d = 0; d < dftgrids->ngrids; ++d) {
    const int32_t *grid = dftgrids->grids[d];
    for (int j = 0; j < w; ++j) {
      int sum = 0;
      for (int k = 0; k < w; ++k) sum += window[grid[j * w + k]];
      rowsums[j] = sum;
    }
    for (int wv = 0; wv < dftwaves->nwaves; ++wv) {
      const lfs_dftwave *wave = dftwaves->waves[wv];
      double re = 0.0, im = 0.0;
      for (int j = 0; j < len; ++j) {
        re += wave->cos[j] * rowsums[j];
        im += wave->sin[j] * rowsums[j];
      }
      powers[wv][d] = re * re + im * im;
    }
  }
  std::free(rowsums);
  return 0;
}

extern "C" void sort_dft_waves(int *wis, const double *powmaxs, const double *pownorms,
                               int nstats) {
  // Exchange sort on the products, largest first: a pair is swapped only
  // when strictly out of order.
  for (int end = nstats; end > 1; --end) {
    bool swapped = false;
    for (int i = 0; i + 1 < end; ++i) {
      const double a = powmaxs[wis[i]] * pownorms[wis[i]];
      const double b = powmaxs[wis[i + 1]] * pownorms[wis[i + 1]];
      if (a < b) {
        const int t = wis[i];
        wis[i] = wis[i + 1];
        wis[i + 1] = t;
        swapped = true;
      }
    }
    if (!swapped) break;
  }
}

extern "C" void dft_power_stats(int *wis, double *powmaxs, int *powmax_dirs, double *pownorms,
                                double **powers, int nwaves, int ndirs) {
  for (int w = 1; w < nwaves; ++w) {
    const int i = w - 1;
    double peak = powers[w][0];
    int peak_dir = 0;
    double sum = 0.0;
    for (int d = 0; d < ndirs; ++d) {
      sum += powers[w][d];
      if (powers[w][d] > peak) {
        peak = powers[w][d];
        peak_dir = d;
      }
    }
    powmaxs[i] = peak;
    powmax_dirs[i] = peak_dir;
    pownorms[i] = peak / ((sum > 10.0 ? sum : 10.0) / ndirs);
    wis[i] = i;
  }
  sort_dft_waves(wis, powmaxs, pownorms, nwaves - 1);
}

extern "C" int primary_dir_test(double **powers, const int *wis, const double *powmaxs,
                                const int *powmax_dirs, const double *pownorms, int nstats,
                                const lfs_params *params) {
  for (int k = 0; k < nstats; ++k) {
    const int i = wis[k];
    if (powmaxs[i] > params->power_peak_min && pownorms[i] > params->power_norm_min &&
        powers[0][powmax_dirs[i]] <= params->low_wave_power_max)
      return powmax_dirs[i];
  }
  return -1;
}

extern "C" int fork_dir_test(double **powers, const int *wis, const double *powmaxs,
                             const int *powmax_dirs, const double *pownorms,
                             const lfs_params *params) {
  const int i = wis[0];
  const int d = powmax_dirs[i];
  if (!(powmaxs[i] > params->power_peak_min) ||
      !(pownorms[i] >= params->fork_norm_fraction * params->power_norm_min) ||
      !(powers[0][d] <= params->low_wave_power_max))
    return -1;
  const int n = params->direction_count;
  const double t = powmaxs[i] * params->fork_peak_fraction;
  const double *wave = powers[i + 1];
  const double left = wave[((d + n - params->fork_step) % n + n) % n];
  const double right = wave[((d + params->fork_step) % n + n) % n];
  return (left > t) != (right > t) ? d : -1;
}

extern "C" int gen_initial_maps(int **direction_map, int **low_contrast_map, int **low_flow_map,
                                const int *blkoffs, int mw, int mh, const unsigned char *pdata,
                                int pw, int ph, const lfs_dftwaves *dftwaves,
                                const lfs_rotgrids *dftgrids, const lfs_params *params) {
  const size_t nblocks = static_cast<size_t>(mw) * mh;
  const size_t bytes = sizeof(int) * (nblocks > 0 ? nblocks : 1);
  auto *dmap = static_cast<int *>(lfs_malloc(bytes));
  if (dmap == nullptr) return lfs_fail("ERROR : gen_initial_maps : malloc : direction_map\n", -550);
  auto *lcmap = static_cast<int *>(lfs_malloc(bytes));
  if (lcmap == nullptr) {
    std::free(dmap);
    return lfs_fail("ERROR : gen_initial_maps : malloc : low_contrast_map\n", -551);
  }
  auto *lfmap = static_cast<int *>(lfs_malloc(bytes));
  if (lfmap == nullptr) {
    std::free(dmap);
    std::free(lcmap);
    return lfs_fail("ERROR : gen_initial_maps : malloc : low_flow_map\n", -552);
  }
  for (size_t b = 0; b < nblocks; ++b) {
    dmap[b] = -1;
    lcmap[b] = 0;
    lfmap[b] = 0;
  }
  const int nwaves = dftwaves->nwaves;
  const int nstats = nwaves - 1;
  double **powers = nullptr;
  int *wis = nullptr, *powmax_dirs = nullptr;
  double *powmaxs = nullptr, *pownorms = nullptr;
  int r = alloc_dir_powers(&powers, nwaves, dftgrids->ngrids);
  if (r == 0) {
    r = alloc_power_stats(&wis, &powmaxs, &powmax_dirs, &pownorms, nstats);
    if (r != 0) free_dir_powers(powers, nwaves);
  }
  if (r != 0) {
    std::free(dmap);
    std::free(lcmap);
    std::free(lfmap);
    return r;
  }

  const Reach reach = GridReach(dftgrids);
  for (size_t b = 0; b < nblocks && r == 0; ++b) {
    const int offset = WindowOffset(blkoffs[b], pw, ph, dftgrids->pad, reach, params);
    if (offset < 0) {
      // No window fits: nothing to measure, as with a flat window.
      lcmap[b] = 1;
      continue;
    }
    int low = 0;
    r = low_contrast_block(&low, offset, params->dft_window_size, pdata, pw, params);
    if (r != 0) break;
    if (low) {
      lcmap[b] = 1;
      continue;
    }
    r = dft_dir_powers(powers, pdata, offset, pw, dftwaves, dftgrids);
    if (r != 0) break;
    if (nstats < 1) {
      lfmap[b] = 1;
      continue;
    }
    dft_power_stats(wis, powmaxs, powmax_dirs, pownorms, powers, nwaves, dftgrids->ngrids);
    int d = primary_dir_test(powers, wis, powmaxs, powmax_dirs, pownorms, nstats, params);
    if (d < 0) d = fork_dir_test(powers, wis, powmaxs, powmax_dirs, pownorms, params);
    if (d < 0)
      lfmap[b] = 1;
    else
      dmap[b] = d;
  }

  free_dir_powers(powers, nwaves);
  std::free(wis);
  std::free(powmaxs);
  std::free(powmax_dirs);
  std::free(pownorms);
  if (r != 0) {
    std::free(dmap);
    std::free(lcmap);
    std::free(lfmap);
    return r;
  }
  *direction_map = dmap;
  *low_contrast_map = lcmap;
  *low_flow_map = lfmap;
  return 0;
}
