// Composition and inversion of the transforms the template store keeps
// between sub-templates.
#ifndef SRC_ZQALG_ZQHMATRIXOPS_H_
#define SRC_ZQALG_ZQHMATRIXOPS_H_

#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// dst = the transform applying a first and then b (3 x 3 product b x a of
// the first nine floats), dtheta = a.dtheta + b.dtheta brought into
// (-pi, pi] by one turn. dst may be a or b. Nothing when a pointer is NULL.
void ZqHmatrixConverse(ST_FullHMatrix *dst, const ST_FullHMatrix *a, const ST_FullHMatrix *b);

// dst = the inverse of src: the general affine inverse when fullHomography
// is 1, else the rigid closed form; a20, a21, a22 copied, dtheta negated.
// dst may be src. Nothing when a pointer is NULL.
void ZqHmatrixInv(ST_FullHMatrix *dst, const ST_FullHMatrix *src);

#ifdef __cplusplus
}

namespace zq_hmatrix {

// Value forms for the C++ callers. The transform applying a first and then b.
inline ST_FullHMatrix Then(const ST_FullHMatrix &a, const ST_FullHMatrix &b) {
  ST_FullHMatrix d{};
  ZqHmatrixConverse(&d, &a, &b);
  return d;
}

// The inverse of a.
inline ST_FullHMatrix Inv(const ST_FullHMatrix &a) {
  ST_FullHMatrix d{};
  ZqHmatrixInv(&d, &a);
  return d;
}

}  // namespace zq_hmatrix
#endif

#endif  // SRC_ZQALG_ZQHMATRIXOPS_H_
