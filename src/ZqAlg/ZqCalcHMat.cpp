#include "src/ZqAlg/ZqCalcHMat.h"

#include <math.h>
#include <string.h>

#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/enhance/ZqFastAtan2.h"
#include "src/image/ZqAffine.h"

namespace {

// Shape limits of an accepted transform: scale deviations of both axes,
// their difference, and the shear in degrees.
struct ShapeLimits {
  float scale;
  float scaleDiff;
  float shear;
};

constexpr ShapeLimits kStrictMode4 = {0.12f, 0.12f, 3.5f};
constexpr ShapeLimits kLooseMode4 = {0.1f, 0.1f, 5.0f};
constexpr ShapeLimits kStrict = {0.08f, 0.06f, 3.5f};
constexpr ShapeLimits kLoose = {0.08f, 0.06f, 3.5f};

constexpr float kOriTolerance = 0.261799f;  // 15 degrees
constexpr float kThird = 0.333333f;
constexpr float kLenRatioLow = 0.833333f;  // on squared lengths
constexpr float kLenRatioHigh = 1.2f;
constexpr float kInlierErr2 = 4.5f;
constexpr int kEnoughInliers = 19;
constexpr float kErrMargin = 0.01f;

bool Within(float sx, float sy, float shear, const ShapeLimits &l) {
  return fabsf(sx) < l.scale && fabsf(sy) < l.scale && fabsf(sx - sy) < l.scaleDiff &&
         shear < l.shear;
}

float Dist2(const ST_MatchPoint &p, const ST_MatchPoint &q) {
  const float dx = p.x - q.x, dy = p.y - q.y;
  return dx * dx + dy * dy;
}

// Squared lengths of the two sides agree within the ratio band.
bool LengthsAgree(const ST_MatchPoint *A, const ST_MatchPoint *B, int i, int j) {
  const float la = Dist2(A[i], A[j]), lb = Dist2(B[i], B[j]);
  return la > kLenRatioLow * lb && la < kLenRatioHigh * lb;
}

}  // namespace

extern "C" {

void ZqGetAffineTrans(const ST_MatchPoint *src, const ST_MatchPoint *dst, int n, ST_HMatrix *out) {
  if (out == nullptr) return;
  ST_Point32f s[3], d[3];
  if (src == nullptr || dst == nullptr || n < 0) n = 0;
  if (n > 3) n = 3;
  for (int i = 0; i < n; ++i) {
    s[i].x = src[i].x;
    s[i].y = src[i].y;
    d[i].x = dst[i].x;
    d[i].y = dst[i].y;
  }
  ZqGetAffineTrans_32f(s, d, n, out);
}

void ZqCalcHMat(const ST_MatchPoint *A, const ST_MatchPoint *B, uint16_t n, ST_HMatrix *out,
                uint8_t inlierFlags[ZQ_HMAT_MAX_PAIRS], int16_t *inlierCount) {
  if (out == nullptr || inlierFlags == nullptr || inlierCount == nullptr) return;
  int np = n < ZQ_HMAT_MAX_PAIRS ? n : ZQ_HMAT_MAX_PAIRS;
  if (A == nullptr || B == nullptr) np = 0;
  const bool mode4 = gSensorInfor.algoMode == 4;
  const ShapeLimits &strict = mode4 ? kStrictMode4 : kStrict;
  const ShapeLimits &loose = mode4 ? kLooseMode4 : kLoose;

  float d[ZQ_HMAT_MAX_PAIRS];
  for (int i = 0; i < np; ++i) d[i] = A[i].ori - B[i].ori;

  ST_HMatrix best;
  memset(&best, 0, sizeof(best));
  int bestCount = 0;
  float bestErr = 0.0f;
  uint8_t flags[ZQ_HMAT_MAX_PAIRS];
  memset(inlierFlags, 0, ZQ_HMAT_MAX_PAIRS);

  for (int i = 0; i + 2 < np && bestCount <= kEnoughInliers; ++i) {
    for (int j = i + 1; j + 1 < np && bestCount <= kEnoughInliers; ++j) {
      if (!LengthsAgree(A, B, i, j)) continue;
      for (int k = j + 1; k < np && bestCount <= kEnoughInliers; ++k) {
        const float m = (d[i] + d[j] + d[k]) * kThird;
        if (!(fabsf(d[i] - m) < kOriTolerance && fabsf(d[j] - m) < kOriTolerance &&
              fabsf(d[k] - m) < kOriTolerance))
          continue;
        if (!LengthsAgree(A, B, i, k) || !LengthsAgree(A, B, j, k)) continue;
        const ST_MatchPoint a3[3] = {A[i], A[j], A[k]};
        const ST_MatchPoint b3[3] = {B[i], B[j], B[k]};
        ST_HMatrix t;
        ZqGetAffineTrans(a3, b3, 3, &t);
        float angle, shear, sx, sy;
        ZqCalcMatrixInfo(&t, &angle, &shear, &sx, &sy);
        if (!Within(sx, sy, shear, strict) && !Within(sx, sy, shear, loose)) continue;

        int c = 0;
        float errSum = 0.0f;
        for (int l = 0; l < np; ++l) {
          flags[l] = 0;
          if (!(fabsf(d[l] - m) <= kOriTolerance)) continue;
          const float ex = t.a00 * A[l].x + t.a01 * A[l].y + t.a02 - B[l].x;
          const float ey = t.a10 * A[l].x + t.a11 * A[l].y + t.a12 - B[l].y;
          const float e2 = ex * ex + ey * ey;
          if (!(e2 < kInlierErr2)) continue;
          flags[l] = 1;
          ++c;
          errSum += e2;
        }
        const float e = c > 0 ? errSum / static_cast<float>(c) : 0.0f;
        if (c > bestCount || (c == bestCount && c > 0 && e < bestErr - kErrMargin)) {
          bestCount = c;
          bestErr = e;
          best = t;
          memcpy(inlierFlags, flags, static_cast<size_t>(np));
          memset(inlierFlags + np, 0, static_cast<size_t>(ZQ_HMAT_MAX_PAIRS - np));
        }
      }
    }
  }
  *out = best;
  *inlierCount = static_cast<int16_t>(bestCount);
}

}  // extern "C"
