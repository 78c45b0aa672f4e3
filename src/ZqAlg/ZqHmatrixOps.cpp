#include "src/ZqAlg/ZqHmatrixOps.h"

#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/image/ZqAffine.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;

}  // namespace

extern "C" {

void ZqHmatrixConverse(ST_FullHMatrix *dst, const ST_FullHMatrix *a, const ST_FullHMatrix *b) {
  if (dst == nullptr || a == nullptr || b == nullptr) return;
  const float *pa = &a->a00;
  const float *pb = &b->a00;
  float r[9];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      r[i * 3 + j] = pb[i * 3] * pa[j] + pb[i * 3 + 1] * pa[3 + j] + pb[i * 3 + 2] * pa[6 + j];
    }
  }
  float theta = a->dtheta + b->dtheta;
  if (theta > kPi) {
    theta -= kTwoPi;
  } else if (theta <= -kPi) {
    theta += kTwoPi;
  }
  ST_FullHMatrix out = {r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], theta};
  *dst = out;
}

void ZqHmatrixInv(ST_FullHMatrix *dst, const ST_FullHMatrix *src) {
  if (dst == nullptr || src == nullptr) return;
  const ST_FullHMatrix s = *src;
  ST_FullHMatrix out = s;
  if (gSensorInfor.fullHomography == 1) {
    ST_HMatrix h = {s.a00, s.a01, s.a02, s.a10, s.a11, s.a12};
    ZqHomoInvertTrans_32f(&h, &h);
    out.a00 = h.a00;
    out.a01 = h.a01;
    out.a02 = h.a02;
    out.a10 = h.a10;
    out.a11 = h.a11;
    out.a12 = h.a12;
  } else {
    out.a00 = s.a00;
    out.a01 = -s.a01;
    out.a02 = -(s.a02 * s.a11 - s.a01 * s.a12);
    out.a10 = -s.a10;
    out.a11 = s.a11;
    out.a12 = s.a02 * s.a10 - s.a12 * s.a00;
  }
  out.dtheta = -s.dtheta;
  *dst = out;
}

}  // extern "C"
