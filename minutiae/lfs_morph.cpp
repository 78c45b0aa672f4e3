// Closing of a block flag map.
#include <cstdlib>
#include <cstring>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_maps.h"

namespace {

// True when a 4-neighbour of (x, y) inside the map has value zero (want_zero)
// or a nonzero value (otherwise).
bool HasNeighbour(const unsigned char *img, int x, int y, int w, int h, bool want_zero) {
  const int dx[4] = {0, 1, 0, -1};
  const int dy[4] = {-1, 0, 1, 0};
  for (int k = 0; k < 4; ++k) {
    const int nx = x + dx[k], ny = y + dy[k];
    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
    if ((img[ny * w + nx] == 0) == want_zero) return true;
  }
  return false;
}

// One pass from `in` into `out`: dilation turns a 0 pixel with a set
// neighbour on; erosion turns a set pixel with a 0 neighbour off.
void Pass(unsigned char *out, const unsigned char *in, int w, int h, bool dilate) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned char v = in[y * w + x];
      if (dilate)
        out[y * w + x] = v != 0 || HasNeighbour(in, x, y, w, h, false) ? (v ? v : 1) : 0;
      else
        out[y * w + x] = v != 0 && HasNeighbour(in, x, y, w, h, true) ? 0 : v;
    }
  }
}

}  // namespace

extern "C" int morph_TF_map(int *map, int mw, int mh) {
  const size_t n = static_cast<size_t>(mw) * mh;
  auto *cimage = static_cast<unsigned char *>(lfs_malloc(n > 0 ? n : 1));
  if (cimage == nullptr) return lfs_fail("ERROR : morph_TF_map : malloc : cimage\n", -660);
  auto *mimage = static_cast<unsigned char *>(lfs_malloc(n > 0 ? n : 1));
  if (mimage == nullptr) {
    std::free(cimage);
    return lfs_fail("ERROR : morph_TF_map : malloc : mimage\n", -661);
  }
  for (size_t i = 0; i < n; ++i) cimage[i] = static_cast<unsigned char>(map[i] != 0);
  Pass(mimage, cimage, mw, mh, true);
  Pass(cimage, mimage, mw, mh, true);
  Pass(mimage, cimage, mw, mh, false);
  Pass(cimage, mimage, mw, mh, false);
  for (size_t i = 0; i < n; ++i) map[i] = cimage[i];
  std::free(cimage);
  std::free(mimage);
  return 0;
}
