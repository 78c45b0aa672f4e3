// Thinning and branch points; see ZqThinning.h.
#include "src/image/ZqThinning.h"

#include <stdlib.h>
#include <string.h>

#include "src/image/ZqScratch.h"

namespace {

// The 3 x 3 neighbourhood of an interior pixel: bits N, NE, E, SE, S, SW,
// W, NW (bit 0 = N).
int Code(const uint8_t *img, int32_t cols, int32_t y, int32_t x) {
  const uint8_t *up = img + int64_t{y - 1} * cols, *mid = img + int64_t{y} * cols,
                *dn = img + int64_t{y + 1} * cols;
  const int n[8] = {up[x], up[x + 1], mid[x + 1], dn[x + 1],
                    dn[x], dn[x - 1], mid[x - 1], up[x - 1]};
  int code = 0;
  for (int i = 0; i < 8; ++i) code |= (n[i] != 0) << i;
  return code;
}

int Ones(int code) { return __builtin_popcount(static_cast<unsigned>(code)); }

int Transitions(int code) {
  int a = 0;
  for (int i = 0; i < 8; ++i) a += !((code >> i) & 1) && ((code >> ((i + 1) % 8)) & 1);
  return a;
}

bool ExtraCode(int code) {
  static const int kCodes[] = {5, 13, 20, 22, 52, 54, 65, 80, 133, 141};
  for (int c : kCodes)
    if (c == code) return true;
  return false;
}

enum { kN = 1, kE = 4, kS = 16, kW = 64 };

bool AllSet(int code, int bits) { return (code & bits) == bits; }

}  // namespace

int32_t ZqThinImage(const uint8_t *src, int32_t rows, int32_t cols, uint8_t *dst) {
  if (src == nullptr || dst == nullptr || rows <= 0 || cols <= 0 || rows > 32767 || cols > 32767)
    return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  ST_Point16s *cand = scratch.Take<ST_Point16s>(n);
  if (cand == nullptr) return -2;
  if (dst != src) memcpy(dst, src, static_cast<size_t>(n));

  bool done = rows <= 2;
  while (!done) {
    for (int sub = 0; sub < 2 && !done; ++sub) {
      int64_t k = 0;
      for (int32_t y = 1; y < rows - 1; ++y) {
        for (int32_t x = 1; x < cols - 1; ++x) {
          if (dst[int64_t{y} * cols + x] != 1) continue;
          const int code = Code(dst, cols, y, x);
          const int b = Ones(code);
          if (b < 2 || b > 6) continue;
          if (Transitions(code) != 1 && !ExtraCode(code)) continue;
          const bool keep = sub == 0 ? AllSet(code, kN | kS | kW) || AllSet(code, kE | kS | kW)
                                     : AllSet(code, kN | kE | kS) || AllSet(code, kN | kE | kW);
          if (keep) continue;
          cand[k++] = ST_Point16s{static_cast<int16_t>(x), static_cast<int16_t>(y)};
        }
      }
      if (k == 0) done = true;
      for (int64_t i = 0; i < k; ++i) dst[int64_t{cand[i].y} * cols + cand[i].x] = 0;
    }
  }
  memset(dst, 0, static_cast<size_t>(cols));
  memset(dst + (n - cols), 0, static_cast<size_t>(cols));
  for (int32_t y = 0; y < rows; ++y) dst[int64_t{y} * cols] = dst[int64_t{y} * cols + cols - 1] = 0;
  return 0;
}

int32_t ZqGetIPoints(const uint8_t *skeleton, int32_t rows, int32_t cols, ST_Point16s *out,
                     int32_t *count, int32_t maxCount, int32_t margin) {
  if (skeleton == nullptr || out == nullptr || count == nullptr || maxCount < 0) return 0;
  *count = 0;
  const int32_t m = margin > 0 ? margin : 1;
  if (m >= rows - m || rows > 32767 || cols > 32767) return 0;
  for (int32_t y = m; y < rows - m; ++y) {
    for (int32_t x = m; x < cols - m; ++x) {
      if (*count >= maxCount) return *count;
      if (skeleton[int64_t{y} * cols + x] != 1) continue;
      const int code = Code(skeleton, cols, y, x);
      const int b = Ones(code);
      if (b < 2 || b > 6 || Transitions(code) < 3) continue;
      out[(*count)++] = ST_Point16s{static_cast<int16_t>(x), static_cast<int16_t>(y)};
    }
  }
  return *count;
}

int32_t ZqCountSkeletonBranches(uint8_t *img, int32_t rows, int32_t cols, int32_t *count) {
  if (count == nullptr) return -1;
  const int32_t rc = ZqThinImage(img, rows, cols, img);
  if (rc != 0) return rc;
  ST_Point16s pts[100];
  int32_t n = 0;
  ZqGetIPoints(img, rows, cols, pts, &n, 100, 4);
  int32_t kept = 0;
  for (int32_t i = 0; i < n; ++i) {
    bool near = false;
    for (int32_t j = 0; j < kept && !near; ++j)
      near = abs(pts[i].x - pts[j].x) <= 5 && abs(pts[i].y - pts[j].y) <= 5;
    if (!near) pts[kept++] = pts[i];
  }
  *count = kept;
  return 0;
}

int32_t ZqGetMinutiaInfo(uint8_t *img, int32_t rows, int32_t cols, int32_t *count) {
  if (img == nullptr || count == nullptr || rows <= 0 || cols <= 0) return -1;
  const int64_t n = int64_t{rows} * cols;
  for (int64_t i = 0; i < n; ++i) img[i] = img[i] == 0 ? 1 : 0;
  return ZqCountSkeletonBranches(img, rows, cols, count);
}
