// The DFT power table and its per-wave statistics.
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_tables.h"

extern "C" int alloc_dir_powers(double ***powers, int nwaves, int ndirs) {
  auto **rows = static_cast<double **>(lfs_malloc(sizeof(double *) * (nwaves > 0 ? nwaves : 1)));
  if (rows == nullptr) return lfs_fail("ERROR : alloc_dir_powers : malloc : powers\n", -40);
  for (int w = 0; w < nwaves; ++w) {
    rows[w] = static_cast<double *>(lfs_malloc(sizeof(double) * (ndirs > 0 ? ndirs : 1)));
    if (rows[w] == nullptr) {
      free_dir_powers(rows, w);
      return lfs_fail("ERROR : alloc_dir_powers : malloc : powers[w]\n", -41);
    }
  }
  *powers = rows;
  return 0;
}

extern "C" void free_dir_powers(double **powers, int nwaves) {
  if (powers == nullptr) return;
  for (int w = 0; w < nwaves; ++w) std::free(powers[w]);
  std::free(powers);
}

extern "C" int alloc_power_stats(int32_t **wis, double **powmaxs, int32_t **powmax_dirs,
                                 double **pownorms, int nstats) {
  const size_t n = nstats > 0 ? static_cast<size_t>(nstats) : 1;
  auto *w = static_cast<int32_t *>(lfs_malloc(sizeof(int32_t) * n));
  if (w == nullptr) return lfs_fail("ERROR : alloc_power_stats : malloc : wis\n", -50);
  auto *pm = static_cast<double *>(lfs_malloc(sizeof(double) * n));
  if (pm == nullptr) {
    std::free(w);
    return lfs_fail("ERROR : alloc_power_stats : malloc : powmaxs\n", -51);
  }
  auto *pd = static_cast<int32_t *>(lfs_malloc(sizeof(int32_t) * n));
  if (pd == nullptr) {
    std::free(w);
    std::free(pm);
    return lfs_fail("ERROR : alloc_power_stats : malloc : powmax_dirs\n", -52);
  }
  auto *pn = static_cast<double *>(lfs_malloc(sizeof(double) * n));
  if (pn == nullptr) {
    std::free(w);
    std::free(pm);
    std::free(pd);
    return lfs_fail("ERROR : alloc_power_stats : malloc : pownorms\n", -53);
  }
  *wis = w;
  *powmaxs = pm;
  *powmax_dirs = pd;
  *pownorms = pn;
  return 0;
}
