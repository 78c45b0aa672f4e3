#include "src/image/ZqInterp3D.h"

#include "src/image/ZqCommon.h"
#include "src/image/ZqImgRow.h"

namespace {

// v(interval, row, col) of one octave.
inline float V(ST_Image **octave, int32_t i, int32_t r, int32_t c) {
  return ZqImgRow<float>(octave[i], r)[c];
}

}  // namespace

extern "C" float ZqGetPixel(const ST_Image *img, int32_t row, int32_t col) {
  ZQ_CHECK(img == NULL, 0.0f);
  return ZqImgRow<float>(img, row)[col];
}

extern "C" void ZqDeriv3D(ST_Image ***dogPyr, int32_t octave, int32_t interval, int32_t row,
                          int32_t col, float out[3]) {
  ZQ_CHECK_VOID(dogPyr == NULL);
  ZQ_CHECK_VOID(out == NULL);
  ST_Image **o = dogPyr[octave];
  const int32_t i = interval, r = row, c = col;
  out[0] = 0.5f * (V(o, i, r + 1, c) - V(o, i, r - 1, c));
  out[1] = 0.5f * (V(o, i, r, c + 1) - V(o, i, r, c - 1));
  out[2] = 0.5f * (V(o, i + 1, r, c) - V(o, i - 1, r, c));
}

extern "C" void ZqHessian3D(ST_Image ***dogPyr, int32_t octave, int32_t interval, int32_t row,
                            int32_t col, float H[9]) {
  ZQ_CHECK_VOID(dogPyr == NULL);
  ZQ_CHECK_VOID(H == NULL);
  ST_Image **o = dogPyr[octave];
  const int32_t i = interval, r = row, c = col;
  const float v = V(o, i, r, c);
  H[0] = V(o, i, r + 1, c) + V(o, i, r - 1, c) - 2.0f * v;
  H[4] = V(o, i, r, c + 1) + V(o, i, r, c - 1) - 2.0f * v;
  H[8] = V(o, i + 1, r, c) + V(o, i - 1, r, c) - 2.0f * v;
  H[1] = H[3] = 0.25f * (V(o, i, r + 1, c + 1) - V(o, i, r + 1, c - 1) - V(o, i, r - 1, c + 1) +
                         V(o, i, r - 1, c - 1));
  H[2] = H[6] = 0.25f * (V(o, i + 1, r + 1, c) - V(o, i + 1, r - 1, c) - V(o, i - 1, r + 1, c) +
                         V(o, i - 1, r - 1, c));
  H[5] = H[7] = 0.25f * (V(o, i + 1, r, c + 1) - V(o, i + 1, r, c - 1) - V(o, i - 1, r, c + 1) +
                         V(o, i - 1, r, c - 1));
}

extern "C" void ZqInvert3D(const float H[9], float Hinv[9]) {
  ZQ_CHECK_VOID((H == NULL) || (Hinv == NULL));
  const float h0 = H[0], h1 = H[1], h2 = H[2], h4 = H[4], h5 = H[5], h8 = H[8];
  const float det = 2.0f * h1 * h2 * h5 + h0 * (h4 * h8 - h5 * h5) - h4 * h2 * h2 - h1 * h1 * h8;
  const float f = 1.0f / det;  // a singular matrix gives non-finite values
  Hinv[0] = (h4 * h8 - h5 * h5) * f;
  Hinv[1] = Hinv[3] = (h2 * h5 - h1 * h8) * f;
  Hinv[2] = Hinv[6] = (h1 * h5 - h2 * h4) * f;
  Hinv[4] = (h0 * h8 - h2 * h2) * f;
  Hinv[5] = Hinv[7] = (h1 * h2 - h0 * h5) * f;
  Hinv[8] = (h0 * h4 - h1 * h1) * f;
}

extern "C" void ZqInterpStep(ST_Image ***dogPyr, int32_t octave, int32_t interval, int32_t row,
                             int32_t col, float *xi, float *xr, float *xc) {
  if (dogPyr == nullptr || xi == nullptr || xr == nullptr || xc == nullptr) return;
  float d[3], H[9], Hinv[9];
  ZqDeriv3D(dogPyr, octave, interval, row, col, d);
  ZqHessian3D(dogPyr, octave, interval, row, col, H);
  ZqInvert3D(H, Hinv);
  float X[3];
  for (int k = 0; k < 3; ++k) X[k] = -(Hinv[3 * k] * d[0] + Hinv[3 * k + 1] * d[1] + Hinv[3 * k + 2] * d[2]);
  *xr = X[0];
  *xc = X[1];
  *xi = X[2];
}

extern "C" float ZqInterpContr(ST_Image ***dogPyr, int32_t octave, int32_t interval, int32_t row,
                               int32_t col, float xi, float xr, float xc) {
  ZQ_CHECK(dogPyr == NULL, 0.0f);
  float d[3];
  ZqDeriv3D(dogPyr, octave, interval, row, col, d);
  return V(dogPyr[octave], interval, row, col) + 0.5f * (xr * d[0] + xc * d[1] + xi * d[2]);
}

extern "C" int16_t ZqMaxValueIndex(const int16_t *s, uint16_t n) {
  ZQ_CHECK(s == NULL, 0);
  const int count = n > 32768 ? 32768 : n;
  int best = 0;
  for (int k = 1; k < count; ++k) {
    if (s[k] > s[best]) best = k;
  }
  return static_cast<int16_t>(best);
}
