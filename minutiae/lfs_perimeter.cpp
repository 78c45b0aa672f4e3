// The perimeter pass of false-minutia removal: the print's left and right
// outline, traced from the top and from the bottom, and the minutiae close
// to it.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_remove.h"

namespace {

// One sweep over the rows, top-down or bottom-up: the left and right
// limits only move outwards, so the outline is the hull seen from the sweep's
// start.
void Sweep(int32_t *left, int32_t *right, const unsigned char *bdata, int iw, int ih,
           bool bottom_up) {
  int l = iw - 1, r = 0;
  for (int i = 0; i < ih; ++i) {
    const int y = bottom_up ? ih - 1 - i : i;
    const unsigned char *row = bdata + static_cast<size_t>(y) * iw;
    if (l > 0)
      for (int x = 0; x < l; ++x)
        if (row[x]) {
          l = x;
          break;
        }
    left[y] = l == iw - 1 ? -1 : l;
    if (r <= iw - 1)
      for (int x = iw - 1; x >= r; --x)
        if (row[x]) {
          r = x;
          break;
        }
    right[y] = r == 0 ? -1 : r;
  }
}

}  // namespace

extern "C" int remove_perimeter_pts(lfs_minutiae *minutiae, const unsigned char *bdata, int iw,
                                    int ih, const lfs_params *params) {
  if (ih <= 0 || iw <= 0) return 0;
  const size_t rows = static_cast<size_t>(ih);
  auto *outline = static_cast<int32_t *>(lfs_malloc(sizeof(int32_t) * rows * 4));
  auto *to_remove = static_cast<int *>(
      lfs_calloc(minutiae->count > 0 ? minutiae->count : 1, sizeof(int)));
  if (outline == nullptr || to_remove == nullptr) {
    std::free(outline);
    std::free(to_remove);
    return lfs_fail("ERROR : remove_perimeter_pts : malloc : outline\n", -690);
  }
  int32_t *left1 = outline, *right1 = outline + rows, *left2 = outline + 2 * rows,
          *right2 = outline + 3 * rows;
  Sweep(left1, right1, bdata, iw, ih, false);
  Sweep(left2, right2, bdata, iw, ih, true);
  const int32_t last_left = left1[ih - 1], last_right = right1[ih - 1];
  const int n = minutiae->count;
  for (int y = 0; y < ih; ++y) {
    const int32_t left = left1[y] == last_left ? left2[y] : left1[y];
    const int32_t right = right1[y] == last_right ? right2[y] : right1[y];
    for (const int32_t ox : {left, right}) {
      if (ox == -1) continue;
      for (int i = 0; i < n; ++i) {
        if (to_remove[i]) continue;
        const lfs_minutia *m = minutiae->list[i];
        const int64_t dx = m->x - ox, dy = m->y - y;
        const int d = static_cast<int>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
        if (d < params->perimeter_distance) to_remove[i] = 1;
      }
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    if (!to_remove[i]) continue;
    const int r = remove_minutia(i, minutiae);
    if (r != 0) {
      std::free(outline);
      std::free(to_remove);
      return r;
    }
  }
  std::free(outline);
  std::free(to_remove);
  return 0;
}
