#include <cmath>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_tables.h"

extern "C" int init_dir2rad(lfs_dir2rad **dir2rad, int ndirs) {
  auto *t = static_cast<lfs_dir2rad *>(lfs_malloc(sizeof(lfs_dir2rad)));
  if (t == nullptr) return lfs_fail("ERROR : init_dir2rad : malloc : dir2rad\n", -10);
  const size_t n = ndirs > 0 ? static_cast<size_t>(ndirs) : 1;
  t->ndirs = ndirs;
  t->cos = static_cast<double *>(lfs_malloc(sizeof(double) * n));
  if (t->cos == nullptr) {
    std::free(t);
    return lfs_fail("ERROR : init_dir2rad : malloc : dir2rad->cos\n", -11);
  }
  t->sin = static_cast<double *>(lfs_malloc(sizeof(double) * n));
  if (t->sin == nullptr) {
    std::free(t->cos);
    std::free(t);
    return lfs_fail("ERROR : init_dir2rad : malloc : dir2rad->sin\n", -12);
  }
  const double pi2 = 2.0 * M_PI;
  for (int i = 0; i < ndirs; ++i) {
    const double theta = pi2 * i / ndirs;
    t->cos[i] = snap14(std::cos(theta));
    t->sin[i] = snap14(std::sin(theta));
  }
  *dir2rad = t;
  return 0;
}

extern "C" void free_dir2rad(lfs_dir2rad *dir2rad) {
  if (dir2rad == nullptr) return;
  std::free(dir2rad->cos);
  std::free(dir2rad->sin);
  std::free(dir2rad);
}
