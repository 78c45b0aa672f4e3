#include <cmath>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_tables.h"

namespace {

// Frees the first `made` waves, the wave array and the table.
void FreeWaves(lfs_dftwaves *t, int made) {
  for (int w = 0; w < made; ++w) {
    std::free(t->waves[w]->cos);
    std::free(t->waves[w]->sin);
    std::free(t->waves[w]);
  }
  std::free(t->waves);
  std::free(t);
}

}  // namespace

extern "C" int init_dftwaves(lfs_dftwaves **dftwaves, const double *coefficients, int nwaves,
                             int blocksize) {
  auto *t = static_cast<lfs_dftwaves *>(lfs_malloc(sizeof(lfs_dftwaves)));
  if (t == nullptr) return lfs_fail("ERROR : init_dftwaves : malloc : dftwaves\n", -20);
  t->nwaves = nwaves;
  t->wavelen = blocksize;
  t->waves = static_cast<lfs_dftwave **>(
      lfs_malloc(sizeof(lfs_dftwave *) * (nwaves > 0 ? nwaves : 1)));
  if (t->waves == nullptr) {
    std::free(t);
    return lfs_fail("ERROR : init_dftwaves : malloc : dftwaves->waves\n", -21);
  }
  const size_t len = blocksize > 0 ? static_cast<size_t>(blocksize) : 1;
  const double pi_factor = 2.0 * M_PI / blocksize;
  for (int w = 0; w < nwaves; ++w) {
    auto *wave = static_cast<lfs_dftwave *>(lfs_malloc(sizeof(lfs_dftwave)));
    if (wave == nullptr) {
      FreeWaves(t, w);
      return lfs_fail("ERROR : init_dftwaves : malloc : dftwaves->waves[i]\n", -22);
    }
    t->waves[w] = wave;
    wave->sin = nullptr;
    wave->cos = static_cast<double *>(lfs_malloc(sizeof(double) * len));
    if (wave->cos == nullptr) {
      FreeWaves(t, w + 1);
      return lfs_fail("ERROR : init_dftwaves : malloc : dftwaves->waves[i]->cos\n", -23);
    }
    wave->sin = static_cast<double *>(lfs_malloc(sizeof(double) * len));
    if (wave->sin == nullptr) {
      FreeWaves(t, w + 1);
      return lfs_fail("ERROR : init_dftwaves : malloc : dftwaves->waves[i]->sin\n", -24);
    }
    const double freq = pi_factor * coefficients[w];
    for (int j = 0; j < blocksize; ++j) {
      wave->cos[j] = std::cos(freq * j);
      wave->sin[j] = std::sin(freq * j);
    }
  }
  *dftwaves = t;
  return 0;
}

extern "C" void free_dftwaves(lfs_dftwaves *dftwaves) {
  if (dftwaves == nullptr) return;
  FreeWaves(dftwaves, dftwaves->nwaves);
}
