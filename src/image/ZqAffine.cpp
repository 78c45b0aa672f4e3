// Affine fit and inverse; see ZqAffine.h.
#include "src/image/ZqAffine.h"

#include <math.h>

void ZqSolve_6x6_32f(const float *m, const float *b, ST_HMatrix *h) {
  if (m == nullptr || b == nullptr || h == nullptr) return;
  *h = ST_HMatrix{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};
  auto M = [m](int r, int c) { return m[r * 6 + c]; };
  const float f = M(0, 1) * M(1, 2) * M(2, 2) - M(1, 1) * M(0, 2) * M(2, 2);
  const float g = M(0, 0) * M(1, 2) * M(2, 2) - M(2, 0) * M(1, 2) * M(0, 2);
  const float p = M(0, 0) * M(1, 2) * M(2, 2) - M(1, 0) * M(0, 2) * M(2, 2);
  const float q = M(0, 1) * M(1, 2) * M(2, 2) - M(2, 1) * M(1, 2) * M(0, 2);
  const float hd = f * g - p * q;
  if (fabsf(hd) < 1e-6f || fabsf(M(2, 2)) < 1e-6f || fabsf(M(5, 5)) < 1e-6f) return;

  const float r1 = M(1, 2) * M(2, 2) * b[0] - M(1, 2) * M(0, 2) * b[2];
  const float s1 = M(1, 2) * M(2, 2) * b[0] - M(0, 2) * M(2, 2) * b[1];
  h->a00 = (f * r1 - s1 * q) / hd;
  h->a01 = (s1 * g - r1 * p) / hd;
  h->a02 = (b[2] - h->a00 * M(2, 0) - h->a01 * M(2, 1)) / M(2, 2);

  const float r2 = M(1, 2) * M(2, 2) * b[3] - M(0, 2) * M(1, 2) * b[5];
  const float s2 = M(1, 2) * M(2, 2) * b[3] - M(2, 2) * M(0, 2) * b[4];
  h->a10 = (f * r2 - q * s2) / hd;
  h->a11 = (g * s2 - p * r2) / hd;
  h->a12 = (b[5] - h->a10 * M(5, 3) - h->a11 * M(5, 4)) / M(5, 5);
}

void ZqGetAffineTrans_32f(const ST_Point32f *src, const ST_Point32f *dst, int32_t n,
                          ST_HMatrix *h) {
  if (h == nullptr) return;
  float m[36] = {}, b[6] = {};
  if (src != nullptr && dst != nullptr && n > 0) {
    float sxx = 0, sxy = 0, sx = 0, syy = 0, sy = 0;
    for (int32_t i = 0; i < n; ++i) {
      const float x = src[i].x, y = src[i].y, u = dst[i].x, v = dst[i].y;
      sxx += x * x;
      sxy += x * y;
      sx += x;
      syy += y * y;
      sy += y;
      b[0] += x * u;
      b[1] += y * u;
      b[2] += u;
      b[3] += x * v;
      b[4] += y * v;
      b[5] += v;
    }
    const float block[9] = {sxx, sxy, sx, sxy, syy, sy, sx, sy, static_cast<float>(n)};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) m[r * 6 + c] = m[(r + 3) * 6 + c + 3] = block[r * 3 + c];
  }
  ZqSolve_6x6_32f(m, b, h);
}

void ZqHomoInvertTrans_32f(const ST_HMatrix *src, ST_HMatrix *dst) {
  if (src == nullptr || dst == nullptr) return;
  const ST_HMatrix s = *src;
  const float det = s.a00 * s.a11 - s.a01 * s.a10;
  if (fabsf(det) < 1e-6f) {
    *dst = s;
    return;
  }
  dst->a00 = s.a11 / det;
  dst->a01 = -s.a01 / det;
  dst->a02 = (s.a01 * s.a12 - s.a02 * s.a11) / det;
  dst->a10 = -s.a10 / det;
  dst->a11 = s.a00 / det;
  dst->a12 = (s.a02 * s.a10 - s.a00 * s.a12) / det;
}
