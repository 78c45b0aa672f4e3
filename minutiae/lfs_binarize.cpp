#include "minutiae/lfs_binarize.h"

#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_numeric.h"

extern "C" int binarize_pixel(const unsigned char *pdata, int offset,
                              const lfs_rotgrids *dirbingrids, int dir) {
  const int rows = dirbingrids->grid_h;
  const int cols = dirbingrids->grid_w;
  const int centre = nearest_int(snap14((rows - 1) / 2.0));
  const int32_t *grid = dirbingrids->grids[dir];
  const unsigned char *p = pdata + offset;
  int centre_sum = 0, total = 0;
  for (int r = 0; r < rows; ++r) {
    int sum = 0;
    for (int k = 0; k < cols; ++k) sum += p[grid[r * cols + k]];
    if (r == centre) centre_sum = sum;
    total += sum;
  }
  // A pixel row brighter than the mean row across the flow lies in a valley.
  return rows * centre_sum >= total ? 255 : 0;
}

extern "C" int binarize_image_V2(unsigned char **bdata, int *bw, int *bh,
                                 const unsigned char *pdata, int pw, int ph,
                                 const int *direction_map, int mw, int mh,
                                 const lfs_rotgrids *dirbingrids, const lfs_params *params) {
  const int pad = dirbingrids->pad;
  const int w = pw - 2 * pad;
  const int h = ph - 2 * pad;
  const size_t n = w > 0 && h > 0 ? static_cast<size_t>(w) * h : 0;
  auto *out = static_cast<unsigned char *>(lfs_malloc(n > 0 ? n : 1));
  if (out == nullptr) return lfs_fail("ERROR : binarize_image_V2 : malloc : bdata\n", -600);
  const int bs = params->block_size;
  unsigned char *q = out;
  for (int y = 0; y < h; ++y) {
    const int by = y / bs;
    for (int x = 0; x < w; ++x) {
      const int bx = x / bs;
      // A pixel outside the map (a map too small for the image) has no
      // direction.
      const int d = bx < mw && by < mh ? direction_map[by * mw + bx] : -1;
      if (d < 0 || d >= dirbingrids->ngrids)
        *q++ = 255;
      else
        *q++ = static_cast<unsigned char>(
            binarize_pixel(pdata, (y + pad) * pw + x + pad, dirbingrids, d));
    }
  }
  *bdata = out;
  *bw = w;
  *bh = h;
  return 0;
}

extern "C" void fill_single_pixel_gaps(unsigned char *bdata, int w, int h) {
  for (int y = 0; y < h; ++y) {
    unsigned char *row = bdata + static_cast<size_t>(y) * w;
    for (int x = 1; x < w - 1;) {
      if (row[x - 1] != row[x] && row[x - 1] == row[x + 1]) {
        row[x] = row[x - 1];
        x += 2;
      } else {
        ++x;
      }
    }
  }
  for (int x = 0; x < w; ++x) {
    unsigned char *col = bdata + x;
    for (int y = 1; y < h - 1;) {
      unsigned char *p = col + static_cast<size_t>(y) * w;
      if (p[-w] != p[0] && p[-w] == p[w]) {
        p[0] = p[-w];
        y += 2;
      } else {
        ++y;
      }
    }
  }
}

extern "C" int binarize_with_fill(unsigned char **bdata, int *bw, int *bh,
                                  const unsigned char *pdata, int pw, int ph,
                                  const int *direction_map, int mw, int mh,
                                  const lfs_rotgrids *dirbingrids, const lfs_params *params) {
  const int r = binarize_image_V2(bdata, bw, bh, pdata, pw, ph, direction_map, mw, mh,
                                  dirbingrids, params);
  if (r != 0) return r;
  for (int i = 0; i < params->binary_fill_passes; ++i) fill_single_pixel_gaps(*bdata, *bw, *bh);
  return 0;
}
