// The block grid and the spreading of block maps over pixels.
#include <cstdio>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_maps.h"

extern "C" int block_offsets(int **offsets, int *mw, int *mh, int iw, int ih, int pad,
                             int bs) {
  if (bs <= 0 || iw < bs || ih < bs) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "ERROR : block_offsets : image must be at least %d by %d in size\n", bs, bs);
    return lfs_fail(text, -80);
  }
  const int bw = (iw + bs - 1) / bs;
  const int bh = (ih + bs - 1) / bs;
  auto *offs = static_cast<int *>(lfs_malloc(sizeof(int) * static_cast<size_t>(bw) * bh));
  if (offs == nullptr) return lfs_fail("ERROR : block_offsets : malloc : blkoffs\n", -81);
  const int pw = iw + 2 * pad;
  int *out = offs;
  for (int by = 0; by < bh; ++by) {
    // The last row and column are pulled back inside the image and overlap
    // their neighbours when the side is not a multiple of the block size.
    const int y = by == bh - 1 ? ih - bs : by * bs;
    for (int bx = 0; bx < bw; ++bx) {
      const int x = bx == bw - 1 ? iw - bs : bx * bs;
      *out++ = (y + pad) * pw + x + pad;
    }
  }
  *offsets = offs;
  *mw = bw;
  *mh = bh;
  return 0;
}

extern "C" int pixelize_map(int **pmap, int iw, int ih, const int *map, int mw, int mh,
                            int bs) {
  int *offs = nullptr;
  int bw = 0, bh = 0;
  const int r = block_offsets(&offs, &bw, &bh, iw, ih, 0, bs);
  if (r != 0) return r;
  if (bw != mw || bh != mh) {
    std::free(offs);
    return lfs_fail("ERROR : pixelize_map : block dimensions do not match\n", -591);
  }
  auto *pixels = static_cast<int *>(lfs_malloc(sizeof(int) * static_cast<size_t>(iw) * ih));
  if (pixels == nullptr) {
    std::free(offs);
    return lfs_fail("ERROR : pixelize_map : malloc : pmap\n", -590);
  }
  for (int b = 0; b < mw * mh; ++b) {
    int *row = pixels + offs[b];
    for (int y = 0; y < bs; ++y, row += iw)
      for (int x = 0; x < bs; ++x) row[x] = map[b];
  }
  std::free(offs);
  *pmap = pixels;
  return 0;
}
