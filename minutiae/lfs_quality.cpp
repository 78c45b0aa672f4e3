#include "minutiae/lfs_quality.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_numeric.h"

extern "C" int gen_quality_map(int **qmap, const int *direction_map, const int *low_contrast_map,
                               const int *low_flow_map, const int *high_curve_map, int mw,
                               int mh) {
  const size_t n = static_cast<size_t>(mw) * static_cast<size_t>(mh);
  auto *q = static_cast<int *>(lfs_malloc(sizeof(int) * (n > 0 ? n : 1)));
  if (q == nullptr) return lfs_fail("ERROR : gen_quality_map : malloc : QualMap\n", -2);
  auto poor = [&](size_t i) { return low_contrast_map[i] || direction_map[i] < 0; };
  auto weak = [&](size_t i) { return low_flow_map[i] || high_curve_map[i]; };
  for (int y = 0; y < mh; ++y)
    for (int x = 0; x < mw; ++x) {
      const size_t i = static_cast<size_t>(y) * mw + x;
      if (poor(i)) {
        q[i] = 0;
        continue;
      }
      const int base = weak(i) ? 3 : 4;
      if (x < 2 || y < 2 || x > mw - 3 || y > mh - 3) {
        q[i] = 1;
        continue;
      }
      bool any_poor = false, any_weak = false;
      for (int v = y - 2; v <= y + 2; ++v)
        for (int u = x - 2; u <= x + 2; ++u) {
          const size_t j = static_cast<size_t>(v) * mw + u;
          any_poor = any_poor || poor(j);
          any_weak = any_weak || weak(j);
        }
      q[i] = any_poor ? base - 2 : any_weak ? base - 1 : base;
    }
  *qmap = q;
  return 0;
}

extern "C" int combined_miutia_quality(lfs_minutiae *minutiae, const int *qmap, int mw, int mh,
                                       int block_size, const unsigned char *idata, int iw, int ih,
                                       int id, double ppmm) {
  if (id != 8) {
    std::fputs("ERROR : combined_miutia_quality : ", stderr);
    char text[64];
    std::snprintf(text, sizeof text, "image must pixel depth = %d must be 8 ", id);
    std::fputs(text, stderr);
    return lfs_fail("to compute reliability\n", -2);
  }
  const int r = nearest_int(ppmm * 0.5586592178770949);
  int *pmap = nullptr;
  int rc = pixelize_map(&pmap, iw, ih, qmap, mw, mh, block_size);
  if (rc != 0) return rc;
  const double cells = static_cast<double>(2 * r + 1) * (2 * r + 1);
  for (int i = 0; i < minutiae->count; ++i) {
    lfs_minutia *m = minutiae->list[i];
    double mean = 0.0, stddev = 0.0;
    if (m->x >= r && m->x < iw - r && m->y >= r && m->y < ih - r) {
      double sum = 0.0, sumsq = 0.0;
      for (int y = m->y - r; y <= m->y + r; ++y) {
        const unsigned char *row = idata + static_cast<size_t>(y) * iw;
        for (int x = m->x - r; x <= m->x + r; ++x) {
          sum += row[x];
          sumsq += static_cast<double>(row[x]) * row[x];
        }
      }
      mean = sum / cells;
      const double var = sumsq / cells - mean * mean;
      stddev = var > 0.0 ? std::sqrt(var) : 0.0;
    }
    const double spread = stddev > 64.0 ? 1.0 : stddev / 64.0;
    const double level = 1.0 - std::fabs(mean - 127.0) / 127.0;
    const double g = spread < level ? spread : level;
    const int q = pmap[static_cast<size_t>(m->y) * iw + m->x];
    switch (q) {
      case 0: m->reliability = 0.01; break;
      case 1: m->reliability = 0.05 + 0.04 * g; break;
      case 2: m->reliability = 0.10 + 0.14 * g; break;
      case 3: m->reliability = 0.25 + 0.24 * g; break;
      case 4: m->reliability = 0.50 + 0.49 * g; break;
      default: {
        std::free(pmap);
        std::fputs("ERROR : combined_miutia_quality : ", stderr);
        char text[64];
        std::snprintf(text, sizeof text, "unexpected quality map value %d ", q);
        std::fputs(text, stderr);
        return lfs_fail("not in range [0..4]\n", -3);
      }
    }
  }
  std::free(pmap);
  return 0;
}
